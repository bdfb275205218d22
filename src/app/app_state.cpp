#include "app/app_state.h"

#include <cstring>

HINSTANCE app_instance;
BITMAPINFO frame_bitmap_info;
OPENFILENAMEW open_file_params;
HBITMAP loaded_bitmap;
HDC bitmap_dc;
HGDIOBJ previous_bitmap;

void reset_app_state() {
    app_instance = nullptr;
    std::memset(&frame_bitmap_info, 0, sizeof frame_bitmap_info);
    std::memset(&open_file_params, 0, sizeof open_file_params);
    loaded_bitmap = nullptr;
    bitmap_dc = nullptr;
    previous_bitmap = nullptr;
}
