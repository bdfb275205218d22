// The status panel in the font a new device context draws with: every line fits its column,
// with the largest values a session in the 1024 x 768 window shows.
#include "display/panel_text.h"
#include "window_fixture.h"

namespace {

using StatusPanel = window_test;

TEST_F(StatusPanel, EveryLineFitsItsColumnInTheDefaultFont) {
    auto& s = state();
    s.cursor_pos = {1023, 767};
    s.drag_start = {1023, 767};
    s.drag_end = {0, 0}; // centre 511, sizes -1023
    s.left_button_down = 1;
    s.source_placed = 1;
    s.source_pos = {1023, 767};
    s.right_click_count = 99999;
    s.bitmap_load_count = 9999;
    s.time_step = 999999;
    const frame_ticks ticks{0, 8 * 99999, 0, 99999, 0, 99999};
    const judged_summary summary{99999, 1.0};

    HDC dc = GetDC(window);
    for (int i = 0; i <= static_cast<int>(panel_line_id::judged); ++i) {
        const auto id = static_cast<panel_line_id>(i);
        for (char kind : {'J', 'L', 'R', 'E', 'S', ' '}) {
            s.draw_kind = kind;
            wchar_t line[panel_buffer_size];
            format_panel_line(line, id, &ticks, &summary);
            RECT extent{0, 0, 0, 0};
            DrawTextW(dc, line, -1, &extent, DT_CALCRECT | DT_SINGLELINE);
            const panel_line_layout& layout = panel_layout(id);
            EXPECT_LE(extent.right - extent.left, layout.right_offset - layout.left_offset)
                << "line " << i << " does not fit its column: \"" << line << "\"";
        }
    }
    ReleaseDC(window, dc);
}

} // namespace
