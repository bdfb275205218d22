#include "app/stages/frame_blit.h"

#include "app/app_state.h"
#include "display/coloring.h"
#include "platform/win32.h"
#include "state/simulation_state.h"

#include <cstring>

void fill_frame_bitmap_info() {
    std::memset(&frame_bitmap_info, 0, sizeof frame_bitmap_info);
    BITMAPINFOHEADER& header = frame_bitmap_info.bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = frame_width;
    header.biHeight = frame_height; // positive: rows stored bottom-up
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
}

void blit_frame(HDC dc) {
    auto& s = simulation_state;
    s.frame_pixels =
        static_cast<uint32_t*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, frame_byte_count));
    if (s.frame_pixels == nullptr) {
        return; // this repaint leaves the last image on screen
    }
    copy_frame(s.frame_pixels);
    StretchDIBits(dc, field_origin_x, field_origin_y, frame_width, frame_height, 0, 0, frame_width,
                  frame_height, s.frame_pixels, &frame_bitmap_info, DIB_RGB_COLORS, SRCCOPY);
    HeapFree(GetProcessHeap(), 0, s.frame_pixels);
    s.frame_pixels = nullptr;
}
