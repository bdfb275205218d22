// Draws the panel's lines with the texts, rows and colours of the line table.
#pragma once

#include "display/panel_text.h"
#include "platform/win32.h"

// One line: its colours, its text formatted into a 100-character buffer, DrawTextW into
// its rectangle with flags 0.
void draw_panel_line(HDC dc, panel_line_id id, const frame_ticks* ticks = nullptr,
                     const judged_summary* summary = nullptr);

// The six help lines and the four status lines; leaves black text on white.
void draw_status_panel(HDC dc);
