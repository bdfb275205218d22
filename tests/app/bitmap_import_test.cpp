// The import from generated bitmaps through the real open dialog, loader and memory DC.
#include "app/app_state.h"
#include "bmp_file.h"
#include "harness/driver.h"
#include "window_fixture.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string read_log() {
    std::ifstream file(in_work_folder("test.txt"));
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string write_bitmap(const test_bitmap& bitmap, const std::string& name) {
    const std::string path = in_work_folder(name);
    EXPECT_TRUE(bitmap.write(path));
    return path;
}

class BitmapImport : public window_test {
  protected:
    // 'S', then the repaint that a mouse move would request; the dialog gets path.
    void import(const std::string& path) {
        test_answer_next_open_dialog(path);
        key('S');
        InvalidateRect(window, nullptr, FALSE);
        test_pump();
    }
};

TEST_F(BitmapImport, SmallBitmapWithOneYellowPixel) {
    test_bitmap bitmap(100, 50, white_pixel);
    for (int y = 0; y < 50; ++y) {
        bitmap.set(50, y, black_pixel);
    }
    bitmap.set(10, 20, yellow_pixel);
    bitmap.set(60, 5, rgb{1, 1, 1});     // near black: medium
    bitmap.set(70, 5, rgb{255, 255, 1}); // near yellow: no source
    state().medium_mask[150][150] = 0;   // inside the bitmap's rectangle: overwritten
    state().medium_mask[400][400] = 0;   // outside: kept

    import(write_bitmap(bitmap, "small.bmp"));

    EXPECT_EQ(read_log(), "( 100, 50)\n");
    EXPECT_EQ(state().draw_kind, ' ');
    EXPECT_EQ(state().bitmap_load_count, 1);
    EXPECT_EQ(state().source_pos, (point{138, 166}));
    EXPECT_EQ(state().right_click_count, 1);
    EXPECT_EQ(state().source_placed, 0);
    EXPECT_EQ(state().pressure[138][166], 1.0);
    EXPECT_NEAR(state().pressure[143][166], std::exp(-25.0 / 50.0), 1e-12);

    const auto& mask = state().medium_mask;
    EXPECT_EQ(mask[178][146], 0);
    EXPECT_EQ(mask[178][195], 0);
    EXPECT_EQ(mask[178][196], 1);
    EXPECT_EQ(mask[188][151], 1);
    EXPECT_EQ(mask[150][150], 1);
    EXPECT_EQ(mask[400][400], 0);
    EXPECT_TRUE(test_message_box_texts().empty());

    // The bitmap is on screen at (128, 146), not yet covered by a field image.
    EXPECT_EQ(test_client_pixel(138, 166), COLORREF{0x00FFFF});
    EXPECT_EQ(test_client_pixel(178, 170), COLORREF{0x000000});
    EXPECT_EQ(test_client_pixel(130, 150), COLORREF{0xFFFFFF});

    // The next import opens the dialog on the previous path.
    EXPECT_NE(std::wstring(state().bitmap_path).find(L"small.bmp"), std::wstring::npos);
}

TEST_F(BitmapImport, BitmapBeyondTheGridIsCutAtItsEdge) {
    test_bitmap bitmap(900, 700, white_pixel);
    bitmap.set(899, 699, yellow_pixel); // would be cell (1027, 845): outside the grid
    bitmap.set(895, 621, black_pixel);  // cell (1023, 767), the grid's last
    bitmap.set(896, 600, black_pixel);  // cell (1024, 746): outside
    state().source_pos = point{7, 9};

    import(write_bitmap(bitmap, "large.bmp"));

    EXPECT_EQ(read_log(), "( 900, 700)\n");
    EXPECT_EQ(state().medium_mask[1023][767], 0);
    EXPECT_EQ(state().medium_mask[1023][746], 1);
    EXPECT_EQ(state().source_pos, (point{7, 9})); // no source judged
    EXPECT_EQ(state().right_click_count, 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(BitmapImport, AFileThatIsNotABitmapEndsTheImportAfterTheWarning) {
    const std::string path = in_work_folder("notes.bmp");
    {
        std::ofstream file(path);
        file << "this is text, not a bitmap\n";
    }
    state().medium_mask[200][200] = 0;
    import(path);

    ASSERT_EQ(test_message_box_texts().size(), 1u);
    EXPECT_EQ(test_message_box_texts()[0], L"ビットマップのロードに失敗しました");
    EXPECT_EQ(state().bitmap_load_count, 1);
    EXPECT_EQ(state().draw_kind, ' ');
    EXPECT_EQ(read_log(), "");
    EXPECT_EQ(state().medium_mask[200][200], 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(BitmapImport, SourcesWithTypeFAddNoPulseAndTheLastOneWins) {
    test_bitmap bitmap(40, 30, white_pixel);
    bitmap.set(5, 25, yellow_pixel);
    bitmap.set(30, 2, yellow_pixel);
    bitmap.set(30, 10, yellow_pixel);
    key('F');
    import(write_bitmap(bitmap, "sources.bmp"));
    EXPECT_EQ(state().source_pos, (point{158, 156}));
    EXPECT_EQ(state().right_click_count, 1);
    EXPECT_EQ(state().pressure[158][156], 0.0);
}

TEST_F(BitmapImport, CancellingTheDialogClosesTheProgram) {
    test_answer_next_open_dialog("");
    key('S');
    InvalidateRect(window, nullptr, FALSE);
    test_pump();
    ASSERT_EQ(test_message_box_texts().size(), 1u);
    EXPECT_EQ(test_message_box_texts()[0], L"エラー");
    EXPECT_EQ(state().bitmap_load_count, 0);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(BitmapImport, SKeyTwiceBeforeARepaintStartsOneImport) {
    test_bitmap bitmap(10, 10, white_pixel);
    const std::string path = write_bitmap(bitmap, "tiny.bmp");
    key('S');
    import(path);
    EXPECT_EQ(state().bitmap_load_count, 1);
    EXPECT_EQ(read_log(), "( 10, 10)\n");
}

TEST_F(BitmapImport, EachImportReleasesThePreviousImportsDcAndBitmap) {
    test_bitmap bitmap(10, 10, white_pixel);
    const std::string path = write_bitmap(bitmap, "again.bmp");
    import(path);
    const HBITMAP first = loaded_bitmap;
    // Wine's open dialog keeps a few objects of its own after its first openings: counted
    // from the second import on.
    import(path);
    const DWORD gdi_after_second = driver_gdi_objects();
    for (int i = 0; i < 19; ++i) {
        import(path);
    }
    BITMAP size;
    EXPECT_EQ(GetObjectW(first, sizeof size, &size), 0);
    ASSERT_NE(GetObjectW(loaded_bitmap, sizeof size, &size), 0);
    EXPECT_EQ(driver_gdi_objects(), gdi_after_second);
    EXPECT_EQ(state().bitmap_load_count, 21);
}

TEST_F(BitmapImport, StoppingTheProgramReleasesWhatTheImportKept) {
    test_bitmap bitmap(10, 10, white_pixel);
    import(write_bitmap(bitmap, "kept.bmp"));
    const HBITMAP kept = loaded_bitmap;
    BITMAP size;
    ASSERT_NE(bitmap_dc, nullptr);
    ASSERT_NE(GetObjectW(kept, sizeof size, &size), 0); // the import's DeleteObject was refused
    test_stop_window();
    EXPECT_EQ(GetObjectW(kept, sizeof size, &size), 0);
    EXPECT_EQ(bitmap_dc, nullptr);
    EXPECT_EQ(state().log_file, nullptr);
}

} // namespace
