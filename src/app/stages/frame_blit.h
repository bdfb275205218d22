// Puts the coloured field on the window: a bottom-up 32-bit frame from the process heap,
// stretched one to one onto the client area at (128, 146).
#pragma once

#include "platform/win32.h"

// frame_bitmap_info: 768 x 576, 32 bits, BI_RGB, positive height (bottom-up), all else 0.
void fill_frame_bitmap_info();

// Allocates the frame, copies cell_color into it, StretchDIBits, releases it. A failed
// allocation skips the copy and the transfer; frame_pixels is null again on return.
void blit_frame(HDC dc);
