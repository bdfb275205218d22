// The left button and the mouse: drag points, capture, repaint requests, and the tool step
// of every repaint (free-hand trace, inverting rubber bands, committed shapes).
#pragma once

#include "platform/win32.h"

// Asks for a repaint that erases nothing: whatever it does not draw over stays on screen.
void request_repaint(HWND window);

LRESULT begin_drag(HWND window, LPARAM l_param);       // WM_LBUTTONDOWN
LRESULT track_mouse_move(HWND window, LPARAM l_param); // WM_MOUSEMOVE
LRESULT end_drag(HWND window, LPARAM l_param);         // WM_LBUTTONUP

// The eight blocks, chosen by draw_kind and left_button_down; none for 'S' and ' '.
void paint_drawing_tool(HDC dc);

void commit_line(HDC dc);
void commit_rectangle(HDC dc);
void commit_ellipse(HDC dc);

// Crosses on the foci of the last committed ellipse; screen only.
void draw_focus_marks(HDC dc);
