#include "app/stages/status_panel.h"

#include "display/panel_text.h"
#include "platform/win32.h"

void draw_panel_line(HDC dc, panel_line_id id, const frame_ticks* ticks,
                     const judged_summary* summary) {
    const panel_line_layout& layout = panel_layout(id);
    SetTextColor(dc, layout.text_color);
    SetBkColor(dc, layout.background_color);
    wchar_t buffer[panel_buffer_size];
    format_panel_line(buffer, id, ticks, summary);
    const panel_rect where = panel_line_rect(layout);
    RECT rect;
    SetRect(&rect, where.left, where.top, where.right, where.bottom);
    DrawTextW(dc, buffer, -1, &rect, 0);
}

void draw_status_panel(HDC dc) {
    const panel_line_id lines[] = {
        panel_line_id::help_1,   panel_line_id::help_2, panel_line_id::help_3,
        panel_line_id::help_4,   panel_line_id::help_5, panel_line_id::help_6,
        panel_line_id::settings, panel_line_id::tool,   panel_line_id::cursor,
        panel_line_id::shape,
    };
    for (panel_line_id id : lines) {
        draw_panel_line(dc, id);
    }
}
