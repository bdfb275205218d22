#include "app/stages/bitmap_import.h"

#include "app/app_state.h"
#include "app/stages/status_panel.h"
#include "display/panel_text.h"
#include "editing/judge.h"
#include "platform/win32.h"
#include "state/simulation_state.h"

#include <cstdio>

void release_imported_bitmap() {
    // The import's DeleteObject was refused while the bitmap was selected; once the DC is
    // gone it goes too.
    if (bitmap_dc != nullptr) {
        SelectObject(bitmap_dc, previous_bitmap);
        DeleteDC(bitmap_dc);
    }
    if (loaded_bitmap != nullptr) {
        DeleteObject(loaded_bitmap);
    }
    bitmap_dc = nullptr;
    loaded_bitmap = nullptr;
    previous_bitmap = nullptr;
}

void import_bitmap(HWND window, const PAINTSTRUCT* paint) {
    auto& s = simulation_state;
    // Before the dialog: the repaints it dispatches must not start a second import.
    s.draw_kind = ' ';

    if (GetOpenFileNameW(&open_file_params) == 0) {
        MessageBoxW(window, L"エラー", L"エラー", MB_OK);
        SendMessageW(window, WM_CLOSE, 0, 0);
        EndPaint(window, paint);
        return;
    }
    s.bitmap_load_count = wrapping_increment(s.bitmap_load_count);
    release_imported_bitmap();

    loaded_bitmap = static_cast<HBITMAP>(
        LoadImageW(nullptr, s.bitmap_path, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (loaded_bitmap == nullptr) {
        MessageBoxW(window, L"ビットマップのロードに失敗しました", L"エラー", MB_ICONWARNING);
        // Nothing to measure or judge without a bitmap: the field stays as it was.
        EndPaint(window, paint);
        return;
    }

    BITMAP size;
    size.bmWidth = 0;
    size.bmHeight = 0;
    GetObjectW(loaded_bitmap, sizeof size, &size);
    const int width = size.bmWidth;
    const int height = size.bmHeight;
    if (s.log_file != nullptr) {
        std::fprintf(s.log_file, "( %d, %d)\n", width, height);
        std::fflush(s.log_file); // the line is on disk even if the program is killed later
    }

    HDC window_dc = GetDC(window);
    bitmap_dc = CreateCompatibleDC(window_dc);
    previous_bitmap = SelectObject(bitmap_dc, loaded_bitmap);
    // Refused while the bitmap is selected, so it stays readable through the judging.
    DeleteObject(loaded_bitmap);
    BitBlt(window_dc, field_origin_x, field_origin_y, width, height, bitmap_dc, 0, 0, SRCCOPY);

    HDC pixels_dc = bitmap_dc;
    const pixel_reader read = [pixels_dc](int x, int y) -> uint32_t {
        return GetPixel(pixels_dc, x, y);
    };
    judge_walls(read, width, height);

    judged_summary summary{0, 0.0};
    draw_panel_line(window_dc, panel_line_id::wait);
    summary.judged_source_count = judge_sources(read, width, height);
    summary.peak_abs_pressure = normalize_pressure();
    draw_panel_line(window_dc, panel_line_id::judged, nullptr, &summary);

    ReleaseDC(window, window_dc);
    EndPaint(window, paint);
}
