#include "app/app_state.h"
#include "app/program.h"
#include "app/stages/bitmap_import.h"
#include "app/stages/frame_blit.h"
#include "app/stages/mouse_tracking.h"
#include "app/stages/status_panel.h"
#include "display/coloring.h"
#include "display/panel_text.h"
#include "editing/walls.h"
#include "platform/win32.h"
#include "solver/fdtd.h"
#include "solver/sources.h"
#include "state/simulation_state.h"

#include <cmath>
#include <cstring>

namespace {

// Four strings, each null-terminated, and the list ended by a second null.
const wchar_t open_file_filter[] = L"bitmap(*.bmp)\0*.bmp\0All files(*.*)\0*.*\0";

void fill_open_file_params(HWND window) {
    std::memset(&open_file_params, 0, sizeof open_file_params);
    open_file_params.lStructSize = sizeof(OPENFILENAMEW);
    open_file_params.hwndOwner = window;
    open_file_params.lpstrFilter = open_file_filter;
    open_file_params.lpstrFile = simulation_state.bitmap_path;
    open_file_params.nMaxFile = path_capacity;
    open_file_params.lpstrFileTitle = simulation_state.bitmap_file_title;
    open_file_params.nMaxFileTitle = path_capacity;
    open_file_params.lpstrTitle = L"ファイルを開く";
    open_file_params.Flags = OFN_FILEMUSTEXIST;
    open_file_params.lpstrDefExt = L"bmp";
}

// The key table of WM_KEYUP; rows tested in order, at most one matches.
LRESULT handle_key_release(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    auto& s = simulation_state;
    if (w_param == VK_DELETE) {
        erase_walls();
        return DefWindowProcW(window, message, w_param, l_param);
    }
    if (w_param == VK_ESCAPE) {
        clear_field();
        return DefWindowProcW(window, message, w_param, l_param);
    }
    if (w_param == VK_SPACE) {
        toggle_running();
        return 0;
    }
    if (w_param == 0x46) { // F
        select_source_type('F');
        return 0;
    }
    if (w_param == 0x54) { // T
        select_source_type('T');
        return 0;
    }
    if (w_param == 0x31 || w_param == 0x32 || w_param == 0x33) { // 1, 2, 3 of the main row
        select_frequency(static_cast<char>(w_param));
        return 0;
    }
    const char tools[] = {'R', 'E', 'J', 'L', 'S'};
    for (char tool : tools) {
        if (w_param == static_cast<WPARAM>(tool)) {
            s.draw_kind = tool;
            return 0;
        }
    }
    return DefWindowProcW(window, message, w_param, l_param);
}

void paint_cycle(HWND window, double pi) {
    auto& s = simulation_state;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    SetTextColor(dc, 0x000000);
    SetBkColor(dc, 0xFFFFFF);
    draw_status_panel(dc);
    paint_drawing_tool(dc);

    if (s.draw_kind == 'S') {
        import_bitmap(window, &paint); // ends the repaint itself
        return;
    }
    if (s.source_placed != 0 && s.left_button_down == 0) {
        excite_source(dc);
        if (s.is_running != 0) {
            frame_ticks ticks{};
            const solver_ticks solver =
                advance_field(pi, []() -> uint32_t { return GetTickCount(); });
            ticks.solver_start = solver.start;
            ticks.solver_end = solver.end;
            draw_panel_line(dc, panel_line_id::time_step);
            ticks.color_start = GetTickCount();
            color_field();
            ticks.color_end = GetTickCount();
            ticks.draw_start = GetTickCount();
            blit_frame(dc);
            ticks.draw_end = GetTickCount();
            draw_panel_line(dc, panel_line_id::timing, &ticks);
        }
    }
    EndPaint(window, &paint);
}

} // namespace

LRESULT place_source(HWND window, LPARAM l_param) {
    SetCapture(window);
    place_source_at(point_from_position_word(static_cast<uint32_t>(l_param)));
    return 0;
}

void excite_source(HDC dc) {
    draw_panel_line(dc, panel_line_id::count); // the values before the parity test
    excite_pending_click();
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    const double pi = 4.0 * std::atan(1.0);
    fill_open_file_params(window);

    switch (message) {
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT:
        paint_cycle(window, pi);
        return 0;
    case WM_KEYUP:
        return handle_key_release(window, message, w_param, l_param);
    case WM_TIMER:
        if (w_param != repaint_timer_id) {
            break;
        }
        if (simulation_state.source_placed != 0) {
            request_repaint(window);
        }
        return 0;
    case WM_MOUSEMOVE:
        return track_mouse_move(window, l_param);
    case WM_LBUTTONDOWN:
        return begin_drag(window, l_param);
    case WM_LBUTTONUP:
        return end_drag(window, l_param);
    case WM_RBUTTONDOWN:
        return place_source(window, l_param);
    case WM_RBUTTONUP:
        request_repaint(window);
        ReleaseCapture();
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, w_param, l_param);
}
