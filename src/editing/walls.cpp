#include "editing/walls.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// Mouse points reach 65535 and the arithmetic below stays exact in 64 bits for any int32
// input, so nothing here can overflow whatever point arrives.
using wide = int64_t;

void set_wall(wide x, wide y) {
    if (x >= 0 && x < grid_width && y >= 0 && y < grid_height) {
        make_wall_cell(static_cast<int>(x), static_cast<int>(y));
    }
}

// Steps i (of 1..n) whose truncated coordinate origin + i * step can land in [0, limit):
// solved in double, then widened by a few steps so that rounding never drops a cell. Every
// step kept is still checked exactly, so this only saves the walk over cells off the grid.
void clip_steps(double origin, double step, int limit, wide& first, wide& last) {
    constexpr double margin = 2.0;
    if (step == 0.0) {
        if (!(origin > -1.0 && origin < limit)) {
            last = first - 1;
        }
        return;
    }
    double lo = (-1.0 - origin) / step;
    double hi = (limit - origin) / step;
    if (lo > hi) {
        std::swap(lo, hi);
    }
    lo = std::floor(lo) - margin;
    hi = std::ceil(hi) + margin;
    if (lo > static_cast<double>(first)) {
        first = lo > static_cast<double>(last) ? last + 1 : static_cast<wide>(lo);
    }
    if (hi < static_cast<double>(last)) {
        last = hi < static_cast<double>(first) ? first - 1 : static_cast<wide>(hi);
    }
}

// One pass: the cells at i = 1..n along the segment, each coordinate truncated toward zero.
void trace_pass(wide ax, wide ay, wide bx, wide by) {
    const wide dx = bx - ax;
    const wide dy = by - ay;
    const double length =
        std::sqrt(std::pow(static_cast<double>(dx), 2.0) + std::pow(static_cast<double>(dy), 2.0));
    const wide n = static_cast<wide>(length);
    if (n < 1) {
        return;
    }
    const double step_x = static_cast<double>(dx) / length;
    const double step_y = static_cast<double>(dy) / length;
    const double x0 = static_cast<double>(ax);
    const double y0 = static_cast<double>(ay);
    wide first = 1;
    wide last = n;
    clip_steps(x0, step_x, grid_width, first, last);
    clip_steps(y0, step_y, grid_height, first, last);
    for (wide i = first; i <= last; ++i) {
        const double product_x = static_cast<double>(i) * step_x;
        const double product_y = static_cast<double>(i) * step_y;
        const double x = x0 + product_x;
        const double y = y0 + product_y;
        // Range test before the conversion: trunc lands in the grid iff -1 < v < limit.
        if (x > -1.0 && x < grid_width && y > -1.0 && y < grid_height) {
            make_wall_cell(static_cast<int>(x), static_cast<int>(y));
        }
    }
}

void write_segment(wide ax, wide ay, wide bx, wide by) {
    for (wide k = 0; k <= 1; ++k) {
        for (wide l = 0; l <= 1; ++l) {
            trace_pass(ax + k, ay + l, bx + k, by + l);
        }
    }
}

// Single-precision row parameter of the ellipse outline; hy is never 0 here.
float row_parameter(wide r, wide cy, int32_t hy) {
    const float numerator = static_cast<float>(r - cy);
    const float denominator = static_cast<float>(hy);
    return numerator / denominator;
}

bool within_unit(float t) {
    return t >= -1.0f && t <= 1.0f;
}

wide side_column(wide cx, int s, int32_t hx, float t) {
    const double w = static_cast<double>(hx) * std::cos(std::asin(static_cast<double>(t)));
    return cx + s * static_cast<wide>(w);
}

} // namespace

void make_wall_cell(int x, int y) {
    auto& s = simulation_state;
    if (s.medium_mask[x][y] == 0) {
        return;
    }
    s.medium_mask[x][y] = 0;
    // velocity_x[x][y] and velocity_y[x][y] are the right and lower faces; the left and upper
    // ones belong to the previous column and row, which column 0 and row 0 do not have.
    s.velocity_x[x][y] = 0.0;
    s.velocity_y[x][y] = 0.0;
    if (x > 0) {
        s.velocity_x[x - 1][y] = 0.0;
    }
    if (y > 0) {
        s.velocity_y[x][y - 1] = 0.0;
    }
}

void write_wall_segment(point a, point b) {
    write_segment(a.x, a.y, b.x, b.y);
}

bool start_point_guard() {
    return simulation_state.drag_start.x != 0 && simulation_state.drag_start.y != 0;
}

void write_rectangle_walls(point s, point e) {
    // Edges through s are doubled toward smaller coordinates, those through e toward larger
    // ones, whichever way the drag went. Columns or rows off the grid write nothing, so the
    // loops start and stop at the grid's edge.
    const wide x_lo = std::max<wide>(std::min(s.x, e.x), 0);
    const wide x_hi = std::min<wide>(std::max(s.x, e.x), grid_width - 1);
    for (wide i = x_lo; i <= x_hi; ++i) {
        set_wall(i, s.y);
        set_wall(i, wide{s.y} - 1);
        set_wall(i, e.y);
        set_wall(i, wide{e.y} + 1);
    }
    const wide y_lo = std::max<wide>(std::min(s.y, e.y), 0);
    const wide y_hi = std::min<wide>(std::max(s.y, e.y), grid_height - 1);
    for (wide j = y_lo; j <= y_hi; ++j) {
        set_wall(s.x, j);
        set_wall(wide{s.x} - 1, j);
        set_wall(e.x, j);
        set_wall(wide{e.x} + 1, j);
    }
}

void set_ellipse_from_drag(point s, point e) {
    auto& st = simulation_state;
    // Sums and differences of two int32 need 33 bits; their halves fit back into 32.
    st.ellipse_center = point{static_cast<int32_t>((wide{s.x} + e.x) / 2),
                              static_cast<int32_t>((wide{s.y} + e.y) / 2)};
    st.ellipse_half_x = static_cast<int32_t>((wide{e.x} - s.x) / 2);
    st.ellipse_half_y = static_cast<int32_t>((wide{e.y} - s.y) / 2);
}

void write_ellipse_walls() {
    const auto& st = simulation_state;
    const wide cx = st.ellipse_center.x;
    const wide cy = st.ellipse_center.y;
    const int32_t hx = st.ellipse_half_x;
    const int32_t hy = st.ellipse_half_y;
    // With hy = 0 every t is infinite or not a number: no row pair is defined.
    if (hy == 0) {
        return;
    }
    // Pair j writes only on rows j - 1 .. j + 1 (the passes shift by one row), so rows that
    // cannot touch the grid are skipped.
    auto write_rows = [&](wide top, wide bottom) {
        const wide first = std::max<wide>(top + 1, -1);
        const wide last = std::min<wide>(bottom, grid_height);
        for (wide j = first; j <= last; ++j) {
            const wide r0 = j - 1;
            const wide r1 = j;
            const float t0 = row_parameter(r0, cy, hy);
            const float t1 = row_parameter(r1, cy, hy);
            if (!within_unit(t0) || !within_unit(t1)) {
                continue;
            }
            for (int s = -1; s <= 1; s += 2) {
                const wide x0 = side_column(cx, s, hx, t0);
                const wide x1 = side_column(cx, s, hx, t1);
                write_segment(x0, r0, x1, r1);
            }
        }
    };
    const point s = st.drag_start;
    const point e = st.drag_end;
    if (s.y <= e.y) {
        write_rows(s.y, e.y);
    }
    if (s.y >= e.y) {
        write_rows(e.y, s.y);
    }
}

focus_marks ellipse_focus_marks() {
    const auto& st = simulation_state;
    const wide cx = st.ellipse_center.x;
    const wide cy = st.ellipse_center.y;
    const wide a = std::abs(wide{st.ellipse_half_x});
    const wide b = std::abs(wide{st.ellipse_half_y});
    focus_marks result{};
    if (a == b) {
        return result;
    }
    const wide difference = a > b ? a * a - b * b : b * b - a * a;
    const wide f = static_cast<wide>(std::sqrt(static_cast<double>(difference)));
    result.count = 2;
    for (int index = 0; index < 2; ++index) {
        const wide s = index == 0 ? -1 : 1;
        const wide x = a > b ? cx + s * f : cx;
        const wide y = a > b ? cy : cy + s * f;
        result.marks[index] = point{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    }
    return result;
}

void erase_walls() {
    for (int x = field_origin_x; x <= field_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            simulation_state.medium_mask[x][y] = 1;
        }
    }
}
