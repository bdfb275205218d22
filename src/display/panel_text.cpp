#include "display/panel_text.h"

#include "state/simulation_state.h"

#include <cstdarg>
#include <cstring>
#include <cwchar>

namespace {

// Room for any line this program formats (a %lf of the largest double takes 317
// characters), so that the cut below always sees the whole text.
constexpr int scratch_size = 1024;

constexpr uint32_t black = 0x000000;
constexpr uint32_t white = 0xFFFFFF;
constexpr uint32_t blue = 0xFF0000;
constexpr uint32_t red = 0x0000FF;

// Indexed by panel_line_id.
const panel_line_layout layouts[] = {
    {1, 600, 1100, black, white, L"Left clickdown : Set boundary start point"},
    {2, 600, 1100, black, white, L"Mouse drag : Draw boundary "},
    {3, 600, 1100, black, white,
     L"Right click : Set sound source point and start FDTD calculation "},
    {4, 600, 1100, black, white, L"Keyboard control: Del   ---> Erase boundary "},
    {5, 600, 1100, black, white, L"Keyboard control: Esc   ---> Clear sound pressure "},
    {6, 600, 1100, black, white, L"Keyboard control: Space ---> Pause and restart calculation "},
    {5, 0, 600, black, white,
     L"[Process: %d ] [Source type: %c ] [Frequency: %c ]  Source position ( %d , %d ) "},
    {6, 0, 600, white, blue,
     L" Kind of drawing : %c   [ J =>Free, L => Line, R =>Rectangle, E =>Ellipse, "
     L"S =>Bmp.file]"},
    {1, 0, 600, black, white,
     L"  Cursor position(%5d,%5d )     Start(%5d,%5d )   End(%5d,%5d ) [L-%d, R-%d]"},
    // Twelve ideographic spaces, then six plain ones.
    {2, 0, 600, black, white,
     L"\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000\u3000"
     L"      Center(%5d,%5d ) Size(XL: %5d, YL: %5d ) "},
    {2, 0, 500, black, white, L"  Rcount=%d,Rpush=%d Scount=%d"},
    // The trailing blanks cover what a longer text left in row 3.
    {3, 0, 500, black, white,
     L"  Time step =%6d Source( %d , %d )"
     L"                                  "},
    {4, 0, 600, white, red,
     L" [FD step] %5d ms/step,  [STORE color step] %5d ms,  [DRAW step] %5d ms  "},
    {3, 0, 500, white, red, L" Wait please. Judging Sources (displayed by yellow dots)"},
    {3, 0, 500, black, white, L" Judging Source END  Num. Source: %d  Maximum pressure:%lf"},
};

static_assert(sizeof layouts / sizeof layouts[0] == static_cast<int>(panel_line_id::judged) + 1);

// %c takes the 8-bit members widened to int.
int as_char_argument(char c) {
    return static_cast<unsigned char>(c);
}

int truncating_midpoint(int32_t a, int32_t b) {
    return static_cast<int32_t>((int64_t{a} + b) / 2);
}

} // namespace

int format_panel_text(wchar_t* buffer, const wchar_t* format, ...) {
    wchar_t scratch[scratch_size] = {};
    va_list args;
    va_start(args, format);
    const int produced = std::vswprintf(scratch, scratch_size, format, args);
    va_end(args);
    // A negative result means the text did not fit the scratch (or could not be encoded):
    // keep what was written, which the zeroed scratch keeps terminated.
    scratch[scratch_size - 1] = L'\0';
    int length = produced >= 0 ? produced : static_cast<int>(std::wcslen(scratch));
    if (length > panel_buffer_size - 1) {
        length = panel_buffer_size - 1;
    }
    std::memcpy(buffer, scratch, sizeof(wchar_t) * length);
    buffer[length] = L'\0';
    return length;
}

const panel_line_layout& panel_layout(panel_line_id id) {
    return layouts[static_cast<int>(id)];
}

int format_panel_line(wchar_t* buffer, panel_line_id id, const frame_ticks* ticks,
                      const judged_summary* summary) {
    const auto& st = simulation_state;
    const wchar_t* format = panel_layout(id).format;
    switch (id) {
    case panel_line_id::settings:
        return format_panel_text(buffer, format, st.is_running, as_char_argument(st.source_type),
                                 as_char_argument(st.frequency_key), st.source_pos.x,
                                 st.source_pos.y);
    case panel_line_id::tool:
        return format_panel_text(buffer, format, as_char_argument(st.draw_kind));
    case panel_line_id::cursor:
        return format_panel_text(buffer, format, st.cursor_pos.x, st.cursor_pos.y, st.drag_start.x,
                                 st.drag_start.y, st.drag_end.x, st.drag_end.y, st.left_button_down,
                                 st.source_placed);
    case panel_line_id::shape:
        return format_panel_text(buffer, format,
                                 truncating_midpoint(st.drag_start.x, st.drag_end.x),
                                 truncating_midpoint(st.drag_start.y, st.drag_end.y),
                                 wrapping_difference(st.drag_end.x, st.drag_start.x),
                                 wrapping_difference(st.drag_end.y, st.drag_start.y));
    case panel_line_id::count:
        return format_panel_text(buffer, format, st.right_click_count, st.source_placed,
                                 st.bitmap_load_count);
    case panel_line_id::time_step:
        return format_panel_text(buffer, format, st.time_step, st.source_pos.x, st.source_pos.y);
    case panel_line_id::timing: {
        const frame_ticks t = ticks ? *ticks : frame_ticks{};
        // Tick counts wrap; the per-step time is an unsigned division of the wrapped span.
        const uint32_t steps =
            st.steps_per_frame > 0 ? static_cast<uint32_t>(st.steps_per_frame) : 1u;
        const uint32_t per_step = (t.solver_end - t.solver_start) / steps;
        const uint32_t coloring = t.color_end - t.color_start;
        const uint32_t drawing = t.draw_end - t.draw_start;
        return format_panel_text(buffer, format, static_cast<int>(per_step),
                                 static_cast<int>(coloring), static_cast<int>(drawing));
    }
    case panel_line_id::judged: {
        const judged_summary j = summary ? *summary : judged_summary{};
        return format_panel_text(buffer, format, j.judged_source_count, j.peak_abs_pressure);
    }
    default:
        // The help lines and the wait line carry no values.
        return format_panel_text(buffer, format);
    }
}

panel_rect panel_line_rect(const panel_line_layout& layout) {
    const auto& st = simulation_state;
    return panel_rect{
        st.panel_left + layout.left_offset, st.panel_top + (layout.row - 1) * st.line_height,
        st.panel_left + layout.right_offset, st.panel_top + layout.row * st.line_height};
}
