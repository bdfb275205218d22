#include "editing/judge.h"

#include "editing/walls.h"
#include "solver/sources.h"
#include "state/simulation_state.h"

#include <algorithm>
#include <cmath>

namespace {

// The bitmap is laid at [128][146]; pixels that would land beyond the grid are never read,
// however large the header claims the bitmap to be.
int columns_on_grid(int width) {
    return std::clamp(width, 0, grid_width - field_origin_x);
}

int rows_on_grid(int height) {
    return std::clamp(height, 0, grid_height - field_origin_y);
}

} // namespace

void judge_walls(const pixel_reader& read, int width, int height) {
    auto& st = simulation_state;
    const int columns = columns_on_grid(width);
    const int rows = rows_on_grid(height);
    for (int x = 0; x < columns; ++x) {
        for (int y = 0; y < rows; ++y) {
            const int gx = x + field_origin_x;
            const int gy = y + field_origin_y;
            if (read(x, y) == colorref_black) {
                make_wall_cell(gx, gy);
            } else {
                st.medium_mask[gx][gy] = 1;
            }
        }
    }
}

int32_t judge_sources(const pixel_reader& read, int width, int height) {
    auto& st = simulation_state;
    const int columns = columns_on_grid(width);
    const int rows = rows_on_grid(height);
    int32_t found = 0;
    for (int x = 0; x < columns; ++x) {
        for (int y = 0; y < rows; ++y) {
            if (read(x, y) != colorref_yellow) {
                continue;
            }
            st.source_pos = point{x + field_origin_x, y + field_origin_y};
            st.right_click_count = 1;
            ++found;
            if (st.source_type == 'T') {
                add_gaussian_pulse(st.source_pos);
            }
        }
    }
    return found;
}

double normalize_pressure() {
    auto& st = simulation_state;
    double peak = 0.0;
    for (int gx = field_origin_x; gx <= region_last_x; ++gx) {
        for (int gy = field_origin_y; gy <= region_last_y; ++gy) {
            // A NaN compares false, so it never becomes the peak.
            const double magnitude = std::fabs(st.pressure[gx][gy]);
            if (magnitude > peak) {
                peak = magnitude;
            }
        }
    }
    if (peak > 0.0) {
        for (int gx = field_origin_x; gx <= region_last_x; ++gx) {
            for (int gy = field_origin_y; gy <= region_last_y; ++gy) {
                const double masked = st.pressure[gx][gy] * st.medium_mask[gx][gy];
                st.pressure[gx][gy] = masked / peak;
            }
        }
    }
    return peak;
}
