// The window procedure's dispatch and the gates of the paint cycle, checked on the state
// and on the pixels the window shows.
#include "window_fixture.h"

#include "app/app_state.h"

#include <cmath>
#include <cstdio>
#include <cwchar>

namespace {

constexpr int sx = 500;
constexpr int sy = 400;

using paint_cycle = window_test;

bool any_pixel_in(int left, int top, int right, int bottom, COLORREF color) {
    for (int y = top; y < bottom; y += 1) {
        for (int x = left; x < right; x += 1) {
            if (test_client_pixel(x, y) == color) {
                return true;
            }
        }
    }
    return false;
}

TEST_F(paint_cycle, first_paint_draws_help_and_tool_lines_and_leaves_the_field_white) {
    // Help line 1 starts at x 610 in row 1; black glyph pixels must be there.
    EXPECT_TRUE(any_pixel_in(610, 10, 700, 28, 0x000000));
    // The tool line is white on blue; its leading blank is a blue cell.
    EXPECT_EQ(test_client_pixel(12, 108), COLORREF{0xFF0000});
    // Row 4 (timing line) stays blank before the first right click.
    EXPECT_FALSE(any_pixel_in(10, 64, 300, 82, 0x0000FF));
    EXPECT_EQ(test_client_pixel(sx, sy), COLORREF{0xFFFFFF});
}

TEST_F(paint_cycle, timer_ticks_before_a_source_request_no_repaint) {
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(send(WM_TIMER, 10, 0), 0);
        EXPECT_FALSE(repaint_pending());
    }
    EXPECT_EQ(test_pump(), 0);
    EXPECT_EQ(state().time_step, 0);
}

TEST_F(paint_cycle, a_mouse_move_without_a_source_paints_only_panel_and_tool_stage) {
    send(WM_MOUSEMOVE, 0, at(300, 200));
    EXPECT_EQ(test_pump(), 1);
    EXPECT_EQ(state().time_step, 0);
    EXPECT_EQ(state().cursor_pos, (point{300, 200}));
    EXPECT_EQ(test_client_pixel(sx, sy), COLORREF{0xFFFFFF});
}

TEST_F(paint_cycle, right_click_runs_pulse_steps_colouring_and_blit) {
    // Black walls on the field's edges and one row inside mark where the frame lands.
    for (int x = 128; x <= 200; ++x) {
        state().medium_mask[x][146] = 0;
        state().medium_mask[x][721] = 0;
    }
    for (int y = 600; y <= 721; ++y) {
        state().medium_mask[895][y] = 0;
    }
    for (int x = 400; x <= 420; ++x) {
        state().medium_mask[x][300] = 0;
    }
    right_click(sx, sy);
    EXPECT_EQ(state().right_click_count, 1);
    EXPECT_EQ(test_pump(), 1);
    EXPECT_EQ(state().right_click_count, 2);
    EXPECT_EQ(state().time_step, 8);
    EXPECT_GT(state().pressure[sx][sy], 0.2);

    // The frame lands one to one: client pixel (x, y) shows cell_color[x][y].
    const int xs[] = {128, 300, sx, sx + 7, 895};
    const int ys[] = {146, 250, sy, sy - 5, 721};
    for (int x : xs) {
        for (int y : ys) {
            EXPECT_EQ(test_client_pixel(x, y), as_colorref(state().cell_color[x][y]))
                << x << "," << y;
        }
    }
    EXPECT_EQ(test_client_pixel(sx, sy), COLORREF{0x0000FF}); // saturated red
    EXPECT_EQ(test_client_pixel(128, 146), COLORREF{0x000000});
    EXPECT_EQ(test_client_pixel(150, 145), COLORREF{0xFFFFFF});
    EXPECT_EQ(test_client_pixel(150, 721), COLORREF{0x000000});
    EXPECT_EQ(test_client_pixel(150, 722), COLORREF{0xFFFFFF});
    EXPECT_EQ(test_client_pixel(127, 300), COLORREF{0xFFFFFF});
    EXPECT_EQ(test_client_pixel(895, 650), COLORREF{0x000000});
    EXPECT_EQ(test_client_pixel(896, 650), COLORREF{0xFFFFFF});
    EXPECT_EQ(test_client_pixel(410, 300), COLORREF{0x000000});
    EXPECT_NE(test_client_pixel(410, 299), COLORREF{0x000000});
    EXPECT_NE(test_client_pixel(410, 301), COLORREF{0x000000});
    EXPECT_EQ(state().frame_pixels, nullptr);
    // The timing line is white on red in row 4.
    EXPECT_EQ(test_client_pixel(12, 70), COLORREF{0x0000FF});
}

TEST_F(paint_cycle, timer_keeps_repaints_coming_once_a_source_is_placed) {
    right_click(sx, sy);
    test_pump();
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(tick(), 1);
        EXPECT_EQ(state().time_step, 8 + 8 * i);
    }
    // Another timer's tick goes to DefWindowProcW and requests nothing.
    send(WM_TIMER, 11, 0);
    EXPECT_FALSE(repaint_pending());
}

TEST_F(paint_cycle, held_left_button_stops_the_field_but_not_the_panel) {
    right_click(sx, sy);
    test_pump();
    const double before = state().pressure[sx][sy];
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(300, 300));
    EXPECT_EQ(tick(), 1);
    EXPECT_EQ(tick(), 1);
    EXPECT_EQ(state().time_step, 8);
    EXPECT_EQ(state().pressure[sx][sy], before);
    send(WM_LBUTTONUP, 0, at(300, 300));
    EXPECT_EQ(test_pump(), 1);
    EXPECT_EQ(state().time_step, 16);
}

TEST_F(paint_cycle, paused_repaints_keep_field_and_timing_line_but_still_count_clicks) {
    right_click(sx, sy);
    test_pump();
    EXPECT_EQ(key(VK_SPACE), 0);
    EXPECT_EQ(state().is_running, 0);
    const COLORREF field_pixel = test_client_pixel(sx + 10, sy);
    tick();
    EXPECT_EQ(state().time_step, 8);
    EXPECT_EQ(test_client_pixel(sx + 10, sy), field_pixel);

    right_click(600, 500);
    EXPECT_EQ(state().right_click_count, 3);
    EXPECT_EQ(test_pump(), 1);
    EXPECT_EQ(state().right_click_count, 4);
    EXPECT_EQ(state().time_step, 8);
    EXPECT_NEAR(state().pressure[600][500], 1.0, 0.02); // the pulse waits, unspread

    key(VK_SPACE);
    tick();
    EXPECT_EQ(state().time_step, 16);
}

TEST_F(paint_cycle, count_parity_across_repaints) {
    right_click(sx, sy);
    EXPECT_EQ(state().right_click_count, 1);
    test_pump();
    EXPECT_EQ(state().right_click_count, 2);
    tick();
    tick();
    EXPECT_EQ(state().right_click_count, 2);

    // Two clicks with no repaint of the simulation branch between them cancel out: the left
    // button held keeps the paint out of that branch.
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(200, 200));
    right_click(300, 300);
    test_pump();
    EXPECT_EQ(state().right_click_count, 3);
    right_click(310, 300);
    test_pump();
    EXPECT_EQ(state().right_click_count, 4);
    EXPECT_EQ(state().source_pos, (point{310, 300}));
    send(WM_LBUTTONUP, 0, at(200, 200));
    test_pump();
    EXPECT_EQ(state().right_click_count, 4);
    EXPECT_LT(std::fabs(state().pressure[310][300]), 0.05); // no pulse there
}

TEST_F(paint_cycle, s_key_runs_the_import_instead_of_the_simulation_block) {
    right_click(sx, sy);
    test_pump();
    EXPECT_EQ(key('S'), 0);
    EXPECT_FALSE(repaint_pending()); // keys request nothing
    EXPECT_EQ(state().draw_kind, 'S');

    // A file the dialog accepts but the loader refuses: the import ends after the warning.
    {
        FILE* f = std::fopen((in_work_folder("plain.txt")).c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("not a bitmap\n", f);
        std::fclose(f);
    }
    test_answer_next_open_dialog(in_work_folder("plain.txt"));
    const int32_t steps_before = state().time_step;
    InvalidateRect(window, nullptr, FALSE);
    test_pump();
    EXPECT_EQ(state().draw_kind, ' ');
    EXPECT_EQ(state().bitmap_load_count, 1);
    ASSERT_FALSE(test_message_box_texts().empty());
    EXPECT_EQ(test_message_box_texts().back(), L"ビットマップのロードに失敗しました");
    // Nested ticks inside the dialog may advance the field, the import's own repaint does not;
    // the next plain repaint does.
    const int32_t after_import = state().time_step;
    EXPECT_GE(after_import, steps_before);
    EXPECT_EQ(tick(), 1);
    EXPECT_EQ(state().time_step, after_import + 8);
}

TEST_F(paint_cycle, every_call_refills_the_open_dialog_parameters) {
    open_file_params.hwndOwner = nullptr;
    open_file_params.Flags = 0;
    send(WM_NULL);
    EXPECT_EQ(open_file_params.hwndOwner, window);
    EXPECT_EQ(open_file_params.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(open_file_params.Flags, DWORD{OFN_FILEMUSTEXIST});
    EXPECT_EQ(open_file_params.nMaxFile, 260u);
    EXPECT_EQ(open_file_params.lpstrFile, state().bitmap_path);
    EXPECT_STREQ(open_file_params.lpstrTitle, L"ファイルを開く");
    EXPECT_STREQ(open_file_params.lpstrDefExt, L"bmp");
    const wchar_t* filter = open_file_params.lpstrFilter;
    EXPECT_STREQ(filter, L"bitmap(*.bmp)");
    filter += wcslen(filter) + 1;
    EXPECT_STREQ(filter, L"*.bmp");
    filter += wcslen(filter) + 1;
    EXPECT_STREQ(filter, L"All files(*.*)");
    filter += wcslen(filter) + 1;
    EXPECT_STREQ(filter, L"*.*");
    filter += wcslen(filter) + 1;
    EXPECT_EQ(*filter, L'\0');
}

using key_table = window_test;

TEST_F(key_table, settings_keys) {
    EXPECT_EQ(key('2'), 0); // ignored while the type is 'T'
    EXPECT_EQ(state().frequency_key, '1');
    EXPECT_EQ(key('F'), 0);
    EXPECT_EQ(state().source_type, 'F');
    EXPECT_EQ(key('3'), 0);
    EXPECT_EQ(state().frequency_key, '3');
    EXPECT_EQ(key('T'), 0);
    EXPECT_EQ(key('2'), 0);
    EXPECT_EQ(state().frequency_key, '3');
    EXPECT_EQ(key(VK_NUMPAD1), 0);
    EXPECT_EQ(state().frequency_key, '3');

    for (char tool : {'R', 'E', 'L', 'S', 'J'}) {
        EXPECT_EQ(key(static_cast<WPARAM>(tool)), 0);
        EXPECT_EQ(state().draw_kind, tool);
    }
    key(VK_LEFT);
    key('A');
    key(VK_SHIFT);
    EXPECT_EQ(state().draw_kind, 'J');
    EXPECT_EQ(state().source_type, 'T');
    EXPECT_FALSE(repaint_pending()); // no key requests a repaint
}

// Keys released with Alt held go to the default handling and change nothing (Alt+S starts no
// import). Alt+Space and F10 would open the system menu's modal loop on Windows.
TEST_F(key_table, system_keys_do_nothing) {
    for (WPARAM code : {WPARAM{'S'}, WPARAM{'R'}, WPARAM{'F'}}) {
        send(WM_SYSKEYUP, code, static_cast<LPARAM>(0xE0000001u)); // Alt down, key up
    }
    EXPECT_EQ(state().draw_kind, 'J');
    EXPECT_EQ(state().source_type, 'T');
    EXPECT_FALSE(repaint_pending());
}

TEST_F(key_table, space_toggles_and_escape_stops_and_clears) {
    key(VK_SPACE);
    EXPECT_EQ(state().is_running, 0);
    key(VK_SPACE);
    EXPECT_EQ(state().is_running, 1);

    state().pressure[300][300] = 0.5;
    state().pressure[896][300] = 0.25; // column 896 is outside Esc's area
    state().velocity_x[300][300] = 0.1;
    key(VK_ESCAPE);
    EXPECT_EQ(state().is_running, 0);
    EXPECT_EQ(state().pressure[300][300], 0.0);
    EXPECT_EQ(state().velocity_x[300][300], 0.0);
    EXPECT_EQ(state().pressure[896][300], 0.25);
    key(VK_ESCAPE);
    EXPECT_EQ(state().is_running, 0);
    key(VK_SPACE);
    EXPECT_EQ(state().is_running, 1);
    EXPECT_FALSE(repaint_pending());
}

TEST_F(key_table, delete_restores_medium_over_the_field_only) {
    state().medium_mask[128][146] = 0;
    state().medium_mask[895][722] = 0;
    state().medium_mask[896][300] = 0;
    state().medium_mask[127][300] = 0;
    key(VK_DELETE);
    EXPECT_EQ(state().medium_mask[128][146], 1);
    EXPECT_EQ(state().medium_mask[895][722], 1);
    EXPECT_EQ(state().medium_mask[896][300], 0);
    EXPECT_EQ(state().medium_mask[127][300], 0);
    EXPECT_FALSE(repaint_pending());
}

} // namespace
