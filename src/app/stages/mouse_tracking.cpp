#include "app/stages/mouse_tracking.h"

#include "editing/walls.h"
#include "platform/win32.h"
#include "state/simulation_state.h"

namespace {

constexpr COLORREF tool_color = 0x800000; // dark blue

point position_of(LPARAM l_param) {
    return point_from_position_word(static_cast<uint32_t>(l_param));
}

// A pen selected into the DC for one block; the block releases it by selecting the DC's
// previous pen back before deleting it (a selected pen would not be deleted).
struct selected_pen {
    HPEN pen;
    HGDIOBJ previous;
};

selected_pen select_new_pen(HDC dc, int style) {
    HPEN pen = CreatePen(style, 1, tool_color);
    return selected_pen{pen, SelectObject(dc, pen)};
}

void release_pen(HDC dc, const selected_pen& selected) {
    SelectObject(dc, selected.previous);
    DeleteObject(selected.pen);
}

enum class shape { line, rectangle, ellipse };

void draw_shape(HDC dc, shape kind, point from, point to) {
    switch (kind) {
    case shape::line:
        MoveToEx(dc, from.x, from.y, nullptr);
        LineTo(dc, to.x, to.y);
        break;
    case shape::rectangle:
        Rectangle(dc, from.x, from.y, to.x, to.y);
        break;
    case shape::ellipse:
        Ellipse(dc, from.x, from.y, to.x, to.y);
        break;
    }
}

void free_hand_segment(HDC dc) {
    auto& s = simulation_state;
    const selected_pen trace_pen = select_new_pen(dc, PS_SOLID);
    MoveToEx(dc, s.drag_start.x, s.drag_start.y, nullptr);
    LineTo(dc, s.drag_end.x, s.drag_end.y);
    release_pen(dc, trace_pen);
    write_wall_segment(s.drag_start, s.drag_end);
    s.drag_start = s.drag_end;
}

// The dotted outline under R2_NOT: drawing last repaint's outline again inverts it away,
// then the new one is drawn.
void rubber_band(HDC dc, shape kind) {
    auto& s = simulation_state;
    SetROP2(dc, R2_NOT);
    selected_pen preview_pen = select_new_pen(dc, PS_DOT);
    HGDIOBJ previous_brush = nullptr;
    if (kind != shape::line) {
        previous_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    }
    const bool guarded = start_point_guard();
    if (guarded) {
        draw_shape(dc, kind, s.drag_start, s.drag_prev_end);
    }
    if (kind == shape::line) {
        release_pen(dc, preview_pen);
        preview_pen = select_new_pen(dc, PS_DOT);
    }
    if (guarded) {
        draw_shape(dc, kind, s.drag_start, s.drag_end);
    }
    release_pen(dc, preview_pen);
    if (previous_brush != nullptr) {
        SelectObject(dc, previous_brush);
    }
    s.drag_prev_end = s.drag_end;
}

void draw_cross(HDC dc, point at) {
    MoveToEx(dc, at.x - 5, at.y, nullptr);
    LineTo(dc, at.x + 5, at.y);
    MoveToEx(dc, at.x, at.y - 5, nullptr);
    LineTo(dc, at.x, at.y + 5);
}

} // namespace

void request_repaint(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
}

LRESULT begin_drag(HWND window, LPARAM l_param) {
    auto& s = simulation_state;
    SetCapture(window);
    s.drag_start = position_of(l_param);
    s.drag_end = s.drag_start;
    s.drag_prev_end = s.drag_start;
    s.left_button_down = 1;
    return 0;
}

LRESULT track_mouse_move(HWND window, LPARAM l_param) {
    auto& s = simulation_state;
    request_repaint(window);
    s.cursor_pos = position_of(l_param);
    if (s.left_button_down != 0) {
        s.drag_end = position_of(l_param);
        request_repaint(window);
    }
    return 0;
}

LRESULT end_drag(HWND window, LPARAM l_param) {
    auto& s = simulation_state;
    s.drag_end = position_of(l_param);
    s.left_button_down = 0;
    request_repaint(window);
    ReleaseCapture();
    return 0;
}

void commit_line(HDC dc) {
    auto& s = simulation_state;
    const selected_pen trace_pen = select_new_pen(dc, PS_SOLID);
    if (start_point_guard()) {
        draw_shape(dc, shape::line, s.drag_start, s.drag_end);
    }
    release_pen(dc, trace_pen);
    s.drag_prev_end = s.drag_end;
    if (start_point_guard()) {
        write_wall_segment(s.drag_start, s.drag_end);
    }
    s.drag_start = s.drag_end;
}

namespace {

// The solid outline of a committed rectangle or ellipse over the hollow brush; returns
// whether the start-point guard held.
bool draw_committed_outline(HDC dc, shape kind) {
    auto& s = simulation_state;
    const selected_pen trace_pen = select_new_pen(dc, PS_SOLID);
    HGDIOBJ previous_brush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const bool guarded = start_point_guard();
    if (guarded) {
        draw_shape(dc, kind, s.drag_start, s.drag_end);
    }
    release_pen(dc, trace_pen);
    SelectObject(dc, previous_brush);
    return guarded;
}

} // namespace

void commit_rectangle(HDC dc) {
    auto& s = simulation_state;
    if (draw_committed_outline(dc, shape::rectangle)) {
        write_rectangle_walls(s.drag_start, s.drag_end);
        s.drag_end = s.drag_start;
    }
}

void commit_ellipse(HDC dc) {
    auto& s = simulation_state;
    if (draw_committed_outline(dc, shape::ellipse)) {
        set_ellipse_from_drag(s.drag_start, s.drag_end);
        draw_focus_marks(dc);
        write_ellipse_walls();
    }
    s.drag_end = s.drag_start;
}

void draw_focus_marks(HDC dc) {
    const focus_marks marks = ellipse_focus_marks();
    if (marks.count == 0) {
        return;
    }
    const selected_pen trace_pen = select_new_pen(dc, PS_SOLID);
    for (int i = 0; i < marks.count; ++i) {
        draw_cross(dc, marks.marks[i]);
    }
    release_pen(dc, trace_pen);
}

void paint_drawing_tool(HDC dc) {
    auto& s = simulation_state;
    const bool held = s.left_button_down != 0;
    if (s.draw_kind == 'J' && held) {
        free_hand_segment(dc);
    }
    if (s.draw_kind == 'J' && !held) {
        s.drag_start = s.drag_end;
    }
    if (s.draw_kind == 'L' && held) {
        rubber_band(dc, shape::line);
    }
    if (s.draw_kind == 'L' && !held) {
        commit_line(dc);
    }
    if (s.draw_kind == 'R' && held) {
        rubber_band(dc, shape::rectangle);
    }
    if (s.draw_kind == 'R' && !held) {
        commit_rectangle(dc);
    }
    if (s.draw_kind == 'E' && held) {
        rubber_band(dc, shape::ellipse);
    }
    if (s.draw_kind == 'E' && !held) {
        commit_ellipse(dc);
    }
}
