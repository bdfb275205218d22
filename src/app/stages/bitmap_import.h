// Walls and sources from a bitmap file chosen in the open dialog.
#pragma once

#include "platform/win32.h"

// Runs in the repaint after 'S' and ends that repaint itself (EndPaint on paint) on every
// exit. Cancelling the dialog closes the window.
void import_bitmap(HWND window, const PAINTSTRUCT* paint);
