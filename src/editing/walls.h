// Writing walls into medium_mask: two-cell-wide segments, the committed line, rectangle and
// ellipse, and Del's erase. No cell outside the grid is ever written.
#pragma once

#include "state/simulation_state.h"

// Makes cell [x][y] (on the grid) a wall. A medium cell that becomes one also stops the flow
// on its four faces: the step never changes a face that touches a wall, so a velocity left
// there would feed the medium beside it for ever.
void make_wall_cell(int x, int y);

// Four passes shifted by (0,0), (0,1), (1,0), (1,1); cells outside the grid are left out.
void write_wall_segment(point a, point b);

// Line, rectangle and ellipse tools draw and write only while drag_start is off row 0 and
// column 0.
bool start_point_guard();

// The two doubled horizontal and two doubled vertical edges from s to e.
void write_rectangle_walls(point s, point e);

// ellipse_center, ellipse_half_x and ellipse_half_y from the box s..e (truncating halves).
void set_ellipse_from_drag(point s, point e);

// The elliptic outline of ellipse_center / half axes over the rows of drag_start..drag_end.
void write_ellipse_walls();

struct focus_marks {
    int count; // 0 or 2
    point marks[2];
};

// Where draw_focus_marks puts its two crosses for the current ellipse members.
focus_marks ellipse_focus_marks();

// Del: medium over x 128..895, y 146..722.
void erase_walls();
