// Walls and sources from a bitmap file chosen in the open dialog.
#pragma once

#include "platform/win32.h"

// Runs in the repaint after 'S' and ends that repaint itself (EndPaint on paint) on every
// exit. Cancelling the dialog closes the window.
void import_bitmap(HWND window, const PAINTSTRUCT* paint);

// Frees the memory DC and bitmap that the last import kept, if any. The pixels it put on
// screen stay; only the next import or the end of the program needs the handles gone, or a
// long session of imports would run out of GDI handles.
void release_imported_bitmap();
