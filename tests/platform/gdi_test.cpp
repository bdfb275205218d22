// Pixels read back after each drawing call, on a memory DC and on the window.
#include "platform_fixture.h"

#include <set>
#include <utility>

namespace {

using pixel_set = std::set<std::pair<int, int>>;

class Gdi : public platform_test {
  protected:
    void SetUp() override {
        platform_test::SetUp();
        HDC window_dc = GetDC(window);
        dc = CreateCompatibleDC(window_dc);
        bitmap = CreateCompatibleBitmap(window_dc, 40, 30); // the screen's colours, not mono
        ReleaseDC(window, window_dc);
        ASSERT_NE(bitmap, nullptr);
        old_bitmap = SelectObject(dc, bitmap);
        clear(RGB(255, 255, 255));
    }
    void TearDown() override {
        SelectObject(dc, old_bitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        platform_test::TearDown();
    }
    void clear(COLORREF color) {
        HBRUSH brush = CreateSolidBrush(color);
        RECT all{0, 0, 40, 30};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    // The pixels that are not the given colour.
    pixel_set marked(COLORREF background = RGB(255, 255, 255)) {
        pixel_set out;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                if (GetPixel(dc, x, y) != background) {
                    out.insert({x, y});
                }
            }
        }
        return out;
    }
    std::vector<COLORREF> snapshot() {
        std::vector<COLORREF> out;
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                out.push_back(GetPixel(dc, x, y));
            }
        }
        return out;
    }
    // A background where every pixel differs, so an inversion shows everywhere.
    void fill_pattern() {
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < 40; ++x) {
                SetPixel(dc, x, y, RGB(x * 6, y * 8, (x * y) & 0xFF));
            }
        }
    }
    void select_pen(int style, COLORREF color) {
        HGDIOBJ previous = SelectObject(dc, CreatePen(style, 1, color));
        if (previous != GetStockObject(BLACK_PEN)) {
            DeleteObject(previous);
        }
    }

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old_bitmap = nullptr;
};

TEST_F(Gdi, LineDrawsItsStartAndLeavesOutItsEnd) {
    MoveToEx(dc, 2, 3, nullptr);
    LineTo(dc, 6, 3);
    EXPECT_EQ(marked(), (pixel_set{{2, 3}, {3, 3}, {4, 3}, {5, 3}}));
    EXPECT_EQ(GetPixel(dc, 2, 3), RGB(0, 0, 0)); // the default pen is black
    clear(RGB(255, 255, 255));
    MoveToEx(dc, 10, 10, nullptr);
    LineTo(dc, 7, 7);
    EXPECT_EQ(marked(), (pixel_set{{10, 10}, {9, 9}, {8, 8}}));
    clear(RGB(255, 255, 255));
    MoveToEx(dc, 5, 5, nullptr);
    LineTo(dc, 5, 5);
    EXPECT_EQ(marked(), pixel_set{});
}

TEST_F(Gdi, LineToMovesTheCurrentPositionAndJoinsWithoutDoublePixels) {
    select_pen(PS_SOLID, RGB(0, 0, 255));
    SetROP2(dc, R2_NOT);
    MoveToEx(dc, 1, 1, nullptr);
    LineTo(dc, 8, 1);
    LineTo(dc, 8, 6);
    LineTo(dc, 1, 1);
    // Under R2_NOT a pixel drawn twice would vanish; every corner is drawn once.
    const pixel_set got = marked();
    EXPECT_TRUE(got.count({1, 1}));
    EXPECT_TRUE(got.count({8, 1}));
    EXPECT_TRUE(got.count({8, 6}));
    POINT where;
    MoveToEx(dc, 0, 0, &where);
    EXPECT_EQ(where.x, 1);
    EXPECT_EQ(where.y, 1);
}

TEST_F(Gdi, RectangleOutlinesTheRightBottomExclusiveBoxInEitherOrder) {
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 2, 3, 6, 6);
    const pixel_set expected{{2, 3}, {3, 3}, {4, 3}, {5, 3}, {2, 4},
                             {5, 4}, {2, 5}, {3, 5}, {4, 5}, {5, 5}};
    EXPECT_EQ(marked(), expected);
    clear(RGB(255, 255, 255));
    Rectangle(dc, 6, 6, 2, 3);
    EXPECT_EQ(marked(), expected);
    clear(RGB(255, 255, 255));
    Rectangle(dc, 4, 4, 4, 10); // empty: nothing
    EXPECT_EQ(marked(), pixel_set{});
}

TEST_F(Gdi, RectangleInteriorTakesTheBrushAndTheNullBrushLeavesIt) {
    clear(RGB(10, 20, 30));
    Rectangle(dc, 2, 2, 7, 7); // the DC's default brush is the stock white one
    EXPECT_EQ(GetPixel(dc, 4, 4), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(0, 0, 0));
    clear(RGB(10, 20, 30));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 2, 2, 7, 7);
    EXPECT_EQ(GetPixel(dc, 4, 4), RGB(10, 20, 30));
}

TEST_F(Gdi, EllipseStaysInsideItsBoxTouchesEachSideAndIsSymmetric) {
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Ellipse(dc, 20, 18, 5, 4); // reversed corners: the box 5..19 x 4..17
    const pixel_set got = marked();
    ASSERT_FALSE(got.empty());
    int min_x = 99, max_x = -1, min_y = 99, max_y = -1;
    for (auto [x, y] : got) {
        min_x = std::min(min_x, x);
        max_x = std::max(max_x, x);
        min_y = std::min(min_y, y);
        max_y = std::max(max_y, y);
        EXPECT_TRUE(got.count({5 + 19 - x, y})) << x << "," << y;
        EXPECT_TRUE(got.count({x, 4 + 17 - y})) << x << "," << y;
    }
    EXPECT_EQ(min_x, 5);
    EXPECT_EQ(max_x, 19);
    EXPECT_EQ(min_y, 4);
    EXPECT_EQ(max_y, 17);
    EXPECT_FALSE(got.count({12, 10})); // the centre stays empty
    clear(RGB(255, 255, 255));
    Ellipse(dc, 5, 5, 5, 9);
    EXPECT_EQ(marked(), pixel_set{});
}

TEST_F(Gdi, DottedPenIsThreeOnThreeOffWithGapsInTheBackgroundColour) {
    select_pen(PS_DOT, RGB(0, 0, 128));
    SetBkColor(dc, RGB(0, 255, 0));
    MoveToEx(dc, 0, 1, nullptr);
    LineTo(dc, 12, 1);
    const COLORREF pen = RGB(0, 0, 128), gap = RGB(0, 255, 0);
    const COLORREF expected[12] = {pen, pen, pen, gap, gap, gap, pen, pen, pen, gap, gap, gap};
    for (int x = 0; x < 12; ++x) {
        EXPECT_EQ(GetPixel(dc, x, 1), expected[x]) << "x " << x;
    }
    SetBkMode(dc, TRANSPARENT);
    MoveToEx(dc, 0, 2, nullptr);
    LineTo(dc, 12, 2);
    EXPECT_EQ(GetPixel(dc, 1, 2), pen);
    EXPECT_EQ(GetPixel(dc, 4, 2), RGB(255, 255, 255)); // transparent gaps leave the pixel
}

TEST_F(Gdi, R2NotInvertsAndDrawingTwiceRestores) {
    fill_pattern();
    const std::vector<COLORREF> before = snapshot();
    SetROP2(dc, R2_NOT);
    select_pen(PS_DOT, RGB(0, 0, 128));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    auto shapes = [this] {
        MoveToEx(dc, 3, 4, nullptr);
        LineTo(dc, 35, 21);
        Rectangle(dc, 30, 25, 2, 2);
        Ellipse(dc, 1, 1, 39, 29);
        Rectangle(dc, 7, 7, 8, 20); // one pixel wide: each pixel still once
    };
    const COLORREF at = GetPixel(dc, 3, 4);
    shapes();
    EXPECT_EQ(GetPixel(dc, 3, 4), ~at & 0xFFFFFFu);
    EXPECT_NE(snapshot(), before);
    shapes();
    EXPECT_EQ(snapshot(), before);
}

// Whatever the font: the extent DT_CALCRECT measures is what an opaque background fills.
TEST_F(Gdi, TextFillsOnlyItsCharacterCellsAndClipsToItsRectangle) {
    clear(RGB(1, 2, 3));
    SetTextColor(dc, RGB(255, 255, 255));
    SetBkColor(dc, RGB(255, 0, 0));
    RECT extent{0, 0, 0, 0};
    const int line = DrawTextW(dc, L"Hi", -1, &extent, DT_LEFT | DT_TOP | DT_CALCRECT);
    EXPECT_EQ(marked(RGB(1, 2, 3)), pixel_set{}); // measuring draws nothing
    EXPECT_EQ(extent.bottom, line);
    const int width = extent.right;
    ASSERT_GT(line, 10);
    ASSERT_GT(width, 4);
    ASSERT_LT(width, 30);

    // Wider than the text, shorter than its line.
    RECT r{2, 2, 2 + width + 6, 12};
    EXPECT_EQ(DrawTextW(dc, L"Hi", -1, &r, DT_LEFT | DT_TOP), line);
    int cells = 0, red = 0;
    for (auto [x, y] : marked(RGB(1, 2, 3))) {
        EXPECT_TRUE(x >= 2 && x < 2 + width && y >= 2 && y < 12) << x << "," << y;
        ++cells;
        red += GetPixel(dc, x, y) == RGB(255, 0, 0) ? 1 : 0;
    }
    EXPECT_EQ(cells, width * 10); // every cell pixel inside the rectangle, nothing else
    EXPECT_GT(red, 20);
    EXPECT_GT(cells - red, 5); // the letters, in white or smoothed towards it

    // Narrower than the text: cut at its right edge.
    clear(RGB(1, 2, 3));
    RECT narrow{2, 2, 2 + width / 2, 2 + line};
    DrawTextW(dc, L"Hi", -1, &narrow, DT_LEFT | DT_TOP);
    int inside = 0;
    for (auto [x, y] : marked(RGB(1, 2, 3))) {
        EXPECT_TRUE(x >= 2 && x < 2 + width / 2 && y >= 2 && y < 2 + line) << x << "," << y;
        ++inside;
    }
    EXPECT_EQ(inside, (width / 2) * line);

    clear(RGB(1, 2, 3));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, L"Hi", -1, &r, DT_LEFT | DT_TOP);
    EXPECT_EQ(GetPixel(dc, 2, 2), RGB(1, 2, 3));
    EXPECT_GT(marked(RGB(1, 2, 3)).size(), 5u);
}

TEST_F(Gdi, TextIsTheSameBytesEveryTimeAndJapaneseHasGlyphs) {
    RECT r{0, 0, 40, 30};
    DrawTextW(dc, L"エラー", -1, &r, 0);
    const std::vector<COLORREF> first = snapshot();
    EXPECT_GT(marked().size(), 30u);
    clear(RGB(255, 255, 255));
    DrawTextW(dc, L"エラー", -1, &r, 0);
    EXPECT_EQ(snapshot(), first);
}

TEST_F(Gdi, BitBltCopiesAMemoryBitmapToTheWindowAndGetPixelAnswersBgr) {
    SetPixel(dc, 0, 0, RGB(255, 255, 0));
    SetPixel(dc, 39, 29, RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(dc, 0, 0), COLORREF{0x00FFFF});
    HDC window_dc = GetDC(window);
    EXPECT_TRUE(BitBlt(window_dc, 100, 50, 40, 30, dc, 0, 0, SRCCOPY));
    ReleaseDC(window, window_dc);
    EXPECT_EQ(driver_client_pixel(window, 100, 50), COLORREF{0x00FFFF});
    EXPECT_EQ(driver_client_pixel(window, 139, 79), RGB(1, 2, 3));
    EXPECT_EQ(driver_client_pixel(window, 140, 79), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 40, 0), CLR_INVALID);
}

TEST_F(Gdi, StretchDIBitsOfABottomUpImageLandsOneToOne) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 3; // bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> pixels(12);
    for (int i = 0; i < 12; ++i) {
        pixels[i] = 0x00010000u * static_cast<std::uint32_t>(i + 1); // red channel = index + 1
    }
    HDC window_dc = GetDC(window);
    EXPECT_EQ(StretchDIBits(window_dc, 10, 20, 4, 3, 0, 0, 4, 3, pixels.data(), &info,
                            DIB_RGB_COLORS, SRCCOPY),
              3);
    ReleaseDC(window, window_dc);
    // Memory row 0 is the bottom line of the picture.
    EXPECT_EQ(driver_client_pixel(window, 10, 22), RGB(1, 0, 0));
    EXPECT_EQ(driver_client_pixel(window, 13, 22), RGB(4, 0, 0));
    EXPECT_EQ(driver_client_pixel(window, 10, 20), RGB(9, 0, 0));
    EXPECT_EQ(driver_client_pixel(window, 14, 20), RGB(255, 255, 255));
}

TEST_F(Gdi, StretchDIBitsClipsOffsetsAndScales) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = -2; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const std::uint32_t pixels[8] = {0x0000FF01, 0x0000FF02, 0x0000FF03, 0x0000FF04,
                                     0x0000FF05, 0x0000FF06, 0x0000FF07, 0x0000FF08};
    auto blue_of = [this](int x, int y) { return static_cast<int>(GetPixel(dc, x, y) >> 16); };
    // Source columns 1..3 at x -1: column 1 falls off the left edge.
    StretchDIBits(dc, -1, 0, 3, 2, 1, 0, 3, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(blue_of(0, 0), 3);
    EXPECT_EQ(blue_of(1, 0), 4);
    EXPECT_EQ(blue_of(0, 1), 7);
    EXPECT_EQ(GetPixel(dc, 2, 0), RGB(255, 255, 255));
    // Twice the size: each source pixel covers two by two.
    StretchDIBits(dc, 10, 10, 8, 4, 0, 0, 4, 2, pixels, &info, DIB_RGB_COLORS, SRCCOPY);
    EXPECT_EQ(blue_of(10, 10), 1);
    EXPECT_EQ(blue_of(11, 11), 1);
    EXPECT_EQ(blue_of(12, 10), 2);
    EXPECT_EQ(blue_of(17, 13), 8);
    EXPECT_EQ(GetPixel(dc, 18, 13), RGB(255, 255, 255));
}

// What DeleteObject answers for a bitmap that a DC holds differs: zero as documented (our
// layer), or nonzero with the deletion put off until the DC lets go (Wine). Either way the
// bitmap lives on while it is selected, and is gone once it is out and deleted.
TEST_F(Gdi, ASelectedBitmapSurvivesDeleteObject) {
    SetPixel(dc, 1, 1, RGB(9, 8, 7));
    DeleteObject(bitmap);
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(9, 8, 7));
    BITMAP info{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 40);
    EXPECT_EQ(info.bmHeight, 30);
    HDC window_dc = GetDC(window);
    HBITMAP other = CreateCompatibleBitmap(window_dc, 2, 2);
    ReleaseDC(window, window_dc);
    EXPECT_EQ(SelectObject(dc, other), bitmap);
    DeleteObject(bitmap);
    EXPECT_EQ(GetObjectW(bitmap, sizeof info, &info), 0);
    bitmap = other;
}

TEST_F(Gdi, APenDeletedWhileSelectedDrawsUntilReplaced) {
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 255));
    SelectObject(dc, pen);
    EXPECT_TRUE(DeleteObject(pen));
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 3, 0);
    EXPECT_EQ(GetPixel(dc, 1, 0), RGB(0, 0, 255));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    EXPECT_FALSE(DeleteObject(pen)); // gone now
}

TEST_F(Gdi, StockObjectsAndFreshDcDefaults) {
    EXPECT_NE(GetStockObject(WHITE_BRUSH), nullptr);
    EXPECT_NE(GetStockObject(NULL_BRUSH), nullptr);
    EXPECT_NE(GetStockObject(WHITE_BRUSH), GetStockObject(NULL_BRUSH));
    EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH))); // ignored
    HDC window_dc = GetDC(window);
    EXPECT_EQ(GetROP2(window_dc), R2_COPYPEN);
    SetROP2(window_dc, R2_NOT);
    ReleaseDC(window, window_dc);
    window_dc = GetDC(window);
    EXPECT_EQ(GetROP2(window_dc), R2_COPYPEN); // no private DC: every DC starts afresh
    ReleaseDC(window, window_dc);
}

} // namespace
