// The texts of the status panel: every line's format, row, column and colours, and the
// values it shows, formatted into the 100-character line buffer.
#pragma once

#include <cstdint>

inline constexpr int panel_buffer_size = 100;

// Formats wide text into buffer (panel_buffer_size characters including the terminator);
// a text that would not fit is cut at 99 characters. Returns the characters written.
int format_panel_text(wchar_t* buffer, const wchar_t* format, ...);

enum class panel_line_id {
    help_1,
    help_2,
    help_3,
    help_4,
    help_5,
    help_6,
    settings,
    tool,
    cursor,
    shape,
    count,
    time_step,
    timing,
    wait,
    judged,
};

struct panel_line_layout {
    int row;                   // from 1
    int left_offset;           // from panel_left
    int right_offset;          // from panel_left
    uint32_t text_color;       // COLORREF 0x00BBGGRR
    uint32_t background_color; // COLORREF 0x00BBGGRR
    const wchar_t* format;
};

const panel_line_layout& panel_layout(panel_line_id id);

// The six tick counts of a running repaint.
struct frame_ticks {
    uint32_t solver_start;
    uint32_t solver_end;
    uint32_t color_start;
    uint32_t color_end;
    uint32_t draw_start;
    uint32_t draw_end;
};

// What the bitmap import reports on its last line.
struct judged_summary {
    int32_t judged_source_count;
    double peak_abs_pressure;
};

// Formats line id with its values from simulation_state (and ticks for the timing line,
// summary for the judged line). Returns the characters written.
int format_panel_line(wchar_t* buffer, panel_line_id id, const frame_ticks* ticks = nullptr,
                      const judged_summary* summary = nullptr);

struct panel_rect {
    int left;
    int top;
    int right;
    int bottom;
};

// The rectangle of a line: row and column offsets on the panel geometry of the state.
panel_rect panel_line_rect(const panel_line_layout& layout);
