// The drawing paths a running repaint leans on, checked against plain per-pixel expectations:
// the one-to-one image copy, text cut by its rectangle, and what the headless screen keeps.
#include "platform/headless/headless.h"
#include "platform/platform_fixture.h"

#include <cstdint>
#include <vector>

namespace {

constexpr int surface_width = 120, surface_height = 80;
constexpr std::uint32_t background = 0x00102030; // 0x00RRGGBB

class FastPaths : public platform_test {
  protected:
    void SetUp() override {
        platform_test::SetUp();
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(nullptr, surface_width, surface_height);
        ASSERT_NE(bitmap, nullptr);
        old_bitmap = SelectObject(dc, bitmap);
    }
    void TearDown() override {
        SelectObject(dc, old_bitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
        platform_test::TearDown();
    }
    void clear() {
        HBRUSH brush = CreateSolidBrush(RGB(0x10, 0x20, 0x30));
        RECT all{0, 0, surface_width, surface_height};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
    }
    // The memory DC's pixels as 0x00RRGGBB, rows top-down.
    std::vector<std::uint32_t> snapshot() {
        std::vector<std::uint32_t> out;
        for (int y = 0; y < surface_height; ++y) {
            for (int x = 0; x < surface_width; ++x) {
                const COLORREF c = GetPixel(dc, x, y);
                out.push_back((c & 0xFFu) << 16 | (c & 0xFF00u) | (c >> 16 & 0xFFu));
            }
        }
        return out;
    }
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old_bitmap = nullptr;
};

// A 32-bit picture whose every pixel differs, with junk in the unused top byte.
struct picture {
    int width, height;
    bool bottom_up;
    std::vector<std::uint32_t> memory; // as it lies in memory
    BITMAPINFO info{};

    picture(int w, int h, bool up) : width(w), height(h), bottom_up(up), memory(w * h) {
        for (int i = 0; i < w * h; ++i) {
            memory[i] = 0xA5000000u | (static_cast<std::uint32_t>(i) * 2654435761u >> 8);
        }
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = up ? h : -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
    }
    // The pixel at column x, row y counted from the picture's top.
    std::uint32_t at(int x, int y) const {
        const int memory_row = bottom_up ? height - 1 - y : y;
        return memory[static_cast<std::size_t>(memory_row) * width + x] & 0x00FFFFFFu;
    }
};

TEST_F(FastPaths, OneToOneStretchDIBitsMatchesAPerPixelCopyWhereverItIsCut) {
    struct placement {
        int x, y, x_src, y_src, width, height;
    };
    // Inside; hanging over each edge; over all of them; a source window off the picture.
    const placement cases[] = {
        {5, 6, 0, 0, 37, 23},   {-9, 10, 0, 0, 37, 23},   {100, 10, 0, 0, 37, 23},
        {10, -7, 0, 0, 37, 23}, {10, 70, 0, 0, 37, 23},   {-3, -2, 2, 1, 130, 90},
        {20, 20, 5, 4, 20, 12}, {20, 20, -4, -3, 20, 12}, {20, 20, 30, 18, 20, 12},
    };
    for (bool bottom_up : {true, false}) {
        const picture p(37, 23, bottom_up);
        for (const placement& c : cases) {
            clear();
            const int lines =
                StretchDIBits(dc, c.x, c.y, c.width, c.height, c.x_src, c.y_src, c.width, c.height,
                              p.memory.data(), &p.info, DIB_RGB_COLORS, SRCCOPY);
            EXPECT_EQ(lines, c.height);
            // A bottom-up picture counts y_src from its bottom line.
            const int top_row = bottom_up ? p.height - (c.y_src + c.height) : c.y_src;
            const std::vector<std::uint32_t> got = snapshot();
            int copied = 0;
            for (int y = 0; y < surface_height; ++y) {
                for (int x = 0; x < surface_width; ++x) {
                    const int sx = x - c.x + c.x_src;
                    const int sy = y - c.y + top_row;
                    const bool covered = x >= c.x && x < c.x + c.width && y >= c.y &&
                                         y < c.y + c.height && sx >= 0 && sx < p.width && sy >= 0 &&
                                         sy < p.height;
                    const std::uint32_t expected = covered ? p.at(sx, sy) : background;
                    copied += covered ? 1 : 0;
                    ASSERT_EQ(got[static_cast<std::size_t>(y) * surface_width + x], expected)
                        << "bottom_up " << bottom_up << " at " << c.x << "," << c.y << " src "
                        << c.x_src << "," << c.y_src << " pixel " << x << "," << y;
                }
            }
            EXPECT_GT(copied, 0);
        }
    }
}

// A frame-sized copy takes the streaming path: rows start at every alignment.
TEST_F(FastPaths, ALargeOneToOneCopyLandsEveryPixelAtEveryRowAlignment) {
    constexpr int width = 300, height = 200;
    HDC big = CreateCompatibleDC(nullptr);
    HBITMAP big_bitmap = CreateCompatibleBitmap(nullptr, width, height);
    ASSERT_NE(big_bitmap, nullptr);
    HGDIOBJ old = SelectObject(big, big_bitmap);
    const picture p(257, 150, true);
    for (int x : {-5, 0, 1, 2, 3, 45}) {
        RECT all{0, 0, width, height};
        FillRect(big, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        const int y = x + 7;
        ASSERT_EQ(StretchDIBits(big, x, y, p.width, p.height, 0, 0, p.width, p.height,
                                p.memory.data(), &p.info, DIB_RGB_COLORS, SRCCOPY),
                  p.height);
        for (int ty = 0; ty < height; ++ty) {
            for (int tx = 0; tx < width; ++tx) {
                const bool covered = tx >= x && tx < x + p.width && ty >= y && ty < y + p.height;
                const std::uint32_t v = covered ? p.at(tx - x, ty - y) : 0;
                const COLORREF expected = (v & 0xFFu) << 16 | (v & 0xFF00u) | (v >> 16 & 0xFFu);
                ASSERT_EQ(GetPixel(big, tx, ty), expected) << "at " << x << ": " << tx << "," << ty;
            }
        }
    }
    SelectObject(big, old);
    DeleteObject(big_bitmap);
    DeleteDC(big);
}

TEST_F(FastPaths, OneToOneStretchDIBitsInAPaintStaysInsideTheUpdateRectangle) {
    static const picture p(200, 150, true);
    paint_handler = [](HWND w) -> LRESULT {
        PAINTSTRUCT ps;
        HDC paint_dc = BeginPaint(w, &ps);
        StretchDIBits(paint_dc, 0, 0, p.width, p.height, 0, 0, p.width, p.height, p.memory.data(),
                      &p.info, DIB_RGB_COLORS, SRCCOPY);
        EndPaint(w, &ps);
        return 0;
    };
    const RECT update{30, 40, 90, 55};
    InvalidateRect(window, &update, FALSE);
    ASSERT_TRUE(vorla::headless::deliver_pending_paint(window));
    for (int y = 0; y < 150; y += 1) {
        for (int x = 0; x < 200; x += 1) {
            const bool inside =
                x >= update.left && x < update.right && y >= update.top && y < update.bottom;
            const std::uint32_t v = p.at(x, y);
            const COLORREF painted = (v & 0xFFu) << 16 | (v & 0xFF00u) | (v >> 16 & 0xFFu);
            ASSERT_EQ(vorla::headless::client_pixel(window, x, y),
                      inside ? painted : RGB(255, 255, 255))
                << x << "," << y;
        }
    }
}

// Text drawn into a small rectangle is the same text drawn into a large one, cut to the small
// one: cuts at every column through the glyphs, from the right and (right-aligned) from the left.
TEST_F(FastPaths, DrawTextCutByItsRectangleIsTheUncutTextMasked) {
    const wchar_t text[] = L"Wg|j 0.5 \x00e9W\nline two, jq";
    const auto check_cut = [&](const std::vector<std::uint32_t>& uncut, const RECT& cut) {
        const std::vector<std::uint32_t> got = snapshot();
        for (int y = 0; y < surface_height; ++y) {
            for (int x = 0; x < surface_width; ++x) {
                const bool in = x >= cut.left && x < cut.right && y >= cut.top && y < cut.bottom;
                const std::size_t i = static_cast<std::size_t>(y) * surface_width + x;
                ASSERT_EQ(got[i], in ? uncut[i] : background)
                    << "cut " << cut.left << ".." << cut.right << " x " << cut.top << ".."
                    << cut.bottom << " pixel " << x << "," << y;
            }
        }
    };
    for (int mode : {OPAQUE, TRANSPARENT}) {
        SetBkMode(dc, mode);
        SetTextColor(dc, RGB(250, 0, 7));
        SetBkColor(dc, RGB(0, 200, 100));
        // Left-aligned: the rectangle's left and top place the text, its right and bottom cut.
        clear();
        RECT whole{-3, 2, surface_width, surface_height};
        DrawTextW(dc, text, -1, &whole, 0);
        const std::vector<std::uint32_t> uncut = snapshot();
        int changed = 0;
        for (std::uint32_t v : uncut) {
            changed += v != background ? 1 : 0;
        }
        ASSERT_GT(changed, 100);
        for (int right = -2; right < 90; right += 3) {
            RECT cut{whole.left, whole.top, right, 2 + (right + 30) % 33};
            clear();
            DrawTextW(dc, text, -1, &cut, 0);
            check_cut(uncut, RECT{0, cut.top, cut.right, cut.bottom});
        }
        // Right-aligned on one line: the right edge places the text, the left edge cuts.
        clear();
        RECT whole_right{-200, 10, 100, 40};
        DrawTextW(dc, text, 8, &whole_right, DT_RIGHT | DT_SINGLELINE);
        const std::vector<std::uint32_t> uncut_right = snapshot();
        for (int left = 30; left < 100; left += 2) {
            RECT cut{left, whole_right.top, whole_right.right, whole_right.bottom};
            clear();
            DrawTextW(dc, text, 8, &cut, DT_RIGHT | DT_SINGLELINE);
            check_cut(uncut_right, cut);
        }
    }
}

// Inside a paint the update rectangle cuts text on every side at once.
TEST_F(FastPaths, DrawTextInAPaintChangesOnlyTheUpdateRectangle) {
    static COLORREF ink = RGB(0, 0, 0);
    paint_handler = [](HWND w) -> LRESULT {
        PAINTSTRUCT ps;
        HDC paint_dc = BeginPaint(w, &ps);
        SetTextColor(paint_dc, ink);
        SetBkColor(paint_dc, RGB(255, 255, 0));
        RECT r{7, 5, 200, 100};
        DrawTextW(paint_dc, L"Mmmm jjjj\nWWWW ||||\ngap", -1, &r, 0);
        EndPaint(w, &ps);
        return 0;
    };
    InvalidateRect(window, nullptr, TRUE);
    ASSERT_TRUE(vorla::headless::deliver_pending_paint(window));
    const std::vector<std::uint32_t> first = vorla::headless::client_image(window);
    ink = RGB(0, 0, 255);
    const RECT update{12, 9, 61, 30};
    InvalidateRect(window, &update, FALSE);
    ASSERT_TRUE(vorla::headless::deliver_pending_paint(window));
    const std::vector<std::uint32_t> second = vorla::headless::client_image(window);
    ASSERT_EQ(first.size(), second.size());
    const int width = vorla::headless::client_width(window);
    int recoloured = 0;
    for (std::size_t i = 0; i < first.size(); ++i) {
        const int x = static_cast<int>(i % width), y = static_cast<int>(i / width);
        const bool in =
            x >= update.left && x < update.right && y >= update.top && y < update.bottom;
        const std::uint32_t expected = in && first[i] == 0 ? 0x000000FFu : first[i];
        recoloured += expected != first[i] ? 1 : 0;
        ASSERT_EQ(second[i], expected) << x << "," << y;
    }
    EXPECT_GT(recoloured, 20);
}

// The headless screen of a window that is gone keeps what it last showed.
TEST_F(FastPaths, ADestroyedWindowKeepsItsLastImageOnTheHeadlessScreen) {
    paint_handler = [](HWND w) -> LRESULT {
        PAINTSTRUCT ps;
        HDC paint_dc = BeginPaint(w, &ps);
        SetPixel(paint_dc, 3, 4, RGB(1, 2, 3));
        EndPaint(w, &ps);
        return 0;
    };
    const std::uint64_t frames = vorla::headless::presented_frames(window);
    InvalidateRect(window, nullptr, FALSE);
    ASSERT_TRUE(vorla::headless::deliver_pending_paint(window));
    EXPECT_EQ(vorla::headless::presented_frames(window), frames + 1);
    const int width = vorla::headless::client_width(window);
    const int height = vorla::headless::client_height(window);
    DestroyWindow(window);
    EXPECT_EQ(vorla::headless::client_pixel(window, 3, 4), RGB(1, 2, 3));
    EXPECT_EQ(vorla::headless::client_pixel(window, 4, 4), RGB(255, 255, 255));
    EXPECT_EQ(vorla::headless::client_image(window).size(),
              static_cast<std::size_t>(width) * height);
    // One that never showed has nothing to keep.
    HWND hidden = CreateWindowExW(0, classes.front().c_str(), L"hidden", WS_OVERLAPPEDWINDOW, 0, 0,
                                  100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(hidden, nullptr);
    DestroyWindow(hidden);
    EXPECT_EQ(vorla::headless::client_pixel(hidden, 1, 1), CLR_INVALID);
}

} // namespace
