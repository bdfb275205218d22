// The Win32-typed members of the program-wide record. They live here, beside the window
// procedure, so that src/state stays free of platform headers.
#pragma once

#include "platform/win32.h"

extern HINSTANCE app_instance;
extern BITMAPINFO frame_bitmap_info;   // the frame buffer as StretchDIBits sees it
extern OPENFILENAMEW open_file_params; // refilled on every window-procedure call
extern HBITMAP loaded_bitmap;
extern HDC bitmap_dc;
extern HGDIOBJ previous_bitmap;

// Back to the values of a fresh process (all zero / null).
void reset_app_state();
