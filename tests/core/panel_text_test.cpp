// The status panel's texts: formats, values, layout and the 100-character limit.
#include "display/panel_text.h"

#include "state/simulation_state.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>

namespace {

auto& st = simulation_state;

std::wstring line(panel_line_id id, const frame_ticks* ticks = nullptr,
                  const judged_summary* summary = nullptr) {
    wchar_t buffer[panel_buffer_size];
    const int written = format_panel_line(buffer, id, ticks, summary);
    EXPECT_EQ(written, static_cast<int>(std::wcslen(buffer)));
    return buffer;
}

const std::wstring shape_lead = std::wstring(12, L'\u3000') + std::wstring(6, L' ');

TEST(PanelFormats, LengthsOfEveryFormatString) {
    const std::pair<panel_line_id, size_t> lengths[] = {
        {panel_line_id::help_1, 41},   {panel_line_id::help_2, 27}, {panel_line_id::help_3, 64},
        {panel_line_id::help_4, 44},   {panel_line_id::help_5, 50}, {panel_line_id::help_6, 59},
        {panel_line_id::settings, 80}, {panel_line_id::tool, 88},   {panel_line_id::cursor, 76},
        {panel_line_id::shape, 59},    {panel_line_id::count, 30},  {panel_line_id::time_step, 68},
        {panel_line_id::timing, 73},   {panel_line_id::wait, 56},   {panel_line_id::judged, 58},
    };
    for (const auto& [id, length] : lengths) {
        EXPECT_EQ(std::wcslen(panel_layout(id).format), length) << static_cast<int>(id);
    }
}

TEST(PanelFormats, HelpLinesPrintAsWritten) {
    prepare_start_state();
    EXPECT_EQ(line(panel_line_id::help_1), L"Left clickdown : Set boundary start point");
    EXPECT_EQ(line(panel_line_id::help_4), L"Keyboard control: Del   ---> Erase boundary ");
    EXPECT_EQ(line(panel_line_id::help_5), L"Keyboard control: Esc   ---> Clear sound pressure ");
    EXPECT_EQ(line(panel_line_id::help_6),
              L"Keyboard control: Space ---> Pause and restart calculation ");
    EXPECT_EQ(line(panel_line_id::wait),
              L" Wait please. Judging Sources (displayed by yellow dots)");
}

TEST(PanelLines, SettingsAndToolWithStartValues) {
    prepare_start_state();
    EXPECT_EQ(line(panel_line_id::settings),
              L"[Process: 1 ] [Source type: T ] [Frequency: 1 ]  Source position ( 0 , 0 ) ");
    EXPECT_EQ(line(panel_line_id::tool), L" Kind of drawing : J   [ J =>Free, L => Line, R "
                                         L"=>Rectangle, E =>Ellipse, S =>Bmp.file]");
    st.is_running = 0;
    st.source_type = 'F';
    st.frequency_key = '3';
    st.source_pos = {65535, 146};
    EXPECT_EQ(line(panel_line_id::settings), L"[Process: 0 ] [Source type: F ] [Frequency: 3 ]  "
                                             L"Source position ( 65535 , 146 ) ");
}

TEST(PanelLines, ToolLineAfterAnImportShowsABlank) {
    prepare_start_state();
    st.draw_kind = ' ';
    const std::wstring text = line(panel_line_id::tool);
    EXPECT_EQ(text.substr(0, 24), L" Kind of drawing :     [");
}

TEST(PanelLines, CursorLinePadsToFiveColumns) {
    prepare_start_state();
    st.cursor_pos = {300, 200};
    EXPECT_EQ(line(panel_line_id::cursor), L"  Cursor position(  300,  200 )     Start(    0,    0 "
                                           L")   End(    0,    0 ) [L-0, R-0]");
    st.drag_start = {65535, 12};
    st.drag_end = {1, 65535};
    st.left_button_down = 1;
    st.source_placed = 1;
    EXPECT_EQ(line(panel_line_id::cursor), L"  Cursor position(  300,  200 )     Start(65535,   12 "
                                           L")   End(    1,65535 ) [L-1, R-1]");
}

TEST(PanelLines, ShapeLineStartsWithWideBlanksAndShowsSignedSizes) {
    prepare_start_state();
    EXPECT_EQ(line(panel_line_id::shape),
              shape_lead + L"Center(    0,    0 ) Size(XL:     0, YL:     0 ) ");
    st.drag_start = {200, 300};
    st.drag_end = {101, 300};
    EXPECT_EQ(line(panel_line_id::shape),
              shape_lead + L"Center(  150,  300 ) Size(XL:   -99, YL:     0 ) ");
    // Truncation toward zero, not flooring.
    st.drag_start = {-3, 10};
    st.drag_end = {0, 0};
    EXPECT_EQ(line(panel_line_id::shape),
              shape_lead + L"Center(   -1,    5 ) Size(XL:     3, YL:   -10 ) ");
}

TEST(PanelLines, CountAndTimeStep) {
    prepare_start_state();
    st.right_click_count = 3;
    st.source_placed = 1;
    st.bitmap_load_count = 2;
    EXPECT_EQ(line(panel_line_id::count), L"  Rcount=3,Rpush=1 Scount=2");
    st.time_step = 7;
    st.source_pos = {138, 166};
    EXPECT_EQ(line(panel_line_id::time_step),
              L"  Time step =     7 Source( 138 , 166 )" + std::wstring(34, L' '));
    st.time_step = 1234567;
    EXPECT_EQ(line(panel_line_id::time_step),
              L"  Time step =1234567 Source( 138 , 166 )" + std::wstring(34, L' '));
}

TEST(PanelLines, TimingDividesUnsignedAndWraps) {
    prepare_start_state();
    frame_ticks ticks{1000, 1047, 2000, 2012, 3000, 3003};
    EXPECT_EQ(line(panel_line_id::timing, &ticks),
              L" [FD step]     5 ms/step,  [STORE color step]    12 ms,  [DRAW step]     3 ms  ");
    ticks = {1000, 1007, 0, 0, 0, 0};
    EXPECT_EQ(line(panel_line_id::timing, &ticks),
              L" [FD step]     0 ms/step,  [STORE color step]     0 ms,  [DRAW step]     0 ms  ");
    // Across the tick counter's wrap: 55 ms over eight steps.
    ticks = {0xFFFFFFF0u, 0x27u, 0xFFFFFFFFu, 4u, 5u, 5u};
    EXPECT_EQ(line(panel_line_id::timing, &ticks),
              L" [FD step]     6 ms/step,  [STORE color step]     5 ms,  [DRAW step]     0 ms  ");
    // A clock that went backwards: the unsigned quotient stays positive, the others show
    // the wrapped span as a signed number.
    ticks = {8, 0, 10, 5, 0, 0x80000000u};
    EXPECT_EQ(line(panel_line_id::timing, &ticks),
              L" [FD step] 536870911 ms/step,  [STORE color step]    -5 ms,  [DRAW step] "
              L"-2147483648 ms  ");
}

TEST(PanelLines, JudgedLine) {
    prepare_start_state();
    const judged_summary one{1, 1.0};
    EXPECT_EQ(line(panel_line_id::judged, nullptr, &one),
              L" Judging Source END  Num. Source: 1  Maximum pressure:1.000000");
    const judged_summary none{0, 0.0};
    EXPECT_EQ(line(panel_line_id::judged, nullptr, &none),
              L" Judging Source END  Num. Source: 0  Maximum pressure:0.000000");
}

TEST(PanelLayout, RowsColumnsAndColours) {
    prepare_start_state();
    const panel_line_layout& help = panel_layout(panel_line_id::help_1);
    const panel_rect help_rect = panel_line_rect(help);
    EXPECT_EQ(help_rect.left, 610);
    EXPECT_EQ(help_rect.top, 10);
    EXPECT_EQ(help_rect.right, 1110);
    EXPECT_EQ(help_rect.bottom, 28);

    const panel_rect count_rect = panel_line_rect(panel_layout(panel_line_id::count));
    EXPECT_EQ(count_rect.left, 10);
    EXPECT_EQ(count_rect.top, 28);
    EXPECT_EQ(count_rect.right, 510);
    EXPECT_EQ(count_rect.bottom, 46);

    const panel_rect tool_rect = panel_line_rect(panel_layout(panel_line_id::tool));
    EXPECT_EQ(tool_rect.top, 100);
    EXPECT_EQ(tool_rect.right, 610);
    EXPECT_EQ(tool_rect.bottom, 118);

    struct expected_colours {
        panel_line_id id;
        uint32_t text;
        uint32_t background;
    };
    const expected_colours colours[] = {
        {panel_line_id::tool, 0xFFFFFF, 0xFF0000},     {panel_line_id::timing, 0xFFFFFF, 0x0000FF},
        {panel_line_id::wait, 0xFFFFFF, 0x0000FF},     {panel_line_id::judged, 0x000000, 0xFFFFFF},
        {panel_line_id::settings, 0x000000, 0xFFFFFF},
    };
    for (const auto& c : colours) {
        EXPECT_EQ(panel_layout(c.id).text_color, c.text) << static_cast<int>(c.id);
        EXPECT_EQ(panel_layout(c.id).background_color, c.background) << static_cast<int>(c.id);
    }
    const int rows[] = {1, 2, 3, 4, 5, 6, 5, 6, 1, 2, 2, 3, 4, 3, 3};
    for (int i = 0; i <= static_cast<int>(panel_line_id::judged); ++i) {
        EXPECT_EQ(panel_layout(static_cast<panel_line_id>(i)).row, rows[i]) << i;
    }
}

// A buffer with a guard band behind its 100 characters.
struct guarded_buffer {
    wchar_t text[panel_buffer_size];
    wchar_t guard[32];
};

bool guard_intact(const guarded_buffer& b) {
    for (wchar_t c : b.guard) {
        if (c != L'#') {
            return false;
        }
    }
    return true;
}

TEST(PanelOverflow, LongTextIsCutAt99Characters) {
    prepare_start_state();
    guarded_buffer b;
    std::wmemset(b.guard, L'#', 32);

    st.cursor_pos = {INT32_MIN, INT32_MIN};
    st.drag_start = {INT32_MIN, INT32_MIN};
    st.drag_end = {INT32_MIN, INT32_MIN};
    EXPECT_EQ(format_panel_line(b.text, panel_line_id::cursor), 99);
    EXPECT_EQ(std::wcslen(b.text), 99u);
    EXPECT_EQ(std::wstring(b.text).substr(0, 54),
              L"  Cursor position(-2147483648,-2147483648 )     Start(");
    EXPECT_TRUE(guard_intact(b));

    const judged_summary huge{INT32_MIN, 1e300};
    EXPECT_EQ(format_panel_line(b.text, panel_line_id::judged, nullptr, &huge), 99);
    EXPECT_EQ(std::wstring(b.text).substr(0, 46),
              L" Judging Source END  Num. Source: -2147483648 ");
    EXPECT_TRUE(guard_intact(b));

    // Longer than any scratch room: still terminated inside the buffer.
    const std::wstring long_text(5000, L'x');
    const int written = format_panel_text(b.text, L"%ls", long_text.c_str());
    EXPECT_LE(written, 99);
    EXPECT_EQ(static_cast<int>(std::wcslen(b.text)), written);
    EXPECT_TRUE(guard_intact(b));

    EXPECT_EQ(format_panel_text(b.text, L"%d|%ls", 42, L"ok"), 5);
    EXPECT_EQ(std::wstring(b.text), L"42|ok");
}

} // namespace
