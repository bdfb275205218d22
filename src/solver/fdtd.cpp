#include "solver/fdtd.h"

#include "solver/sources.h"
#include "state/simulation_state.h"

namespace {

// Mask product of a face: the two cells' mask values multiplied as 32-bit integers, then
// taken as a double (1.0 between two medium cells, 0.0 at a wall).
double face_factor(int32_t a, int32_t b) {
    const auto product = static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
    return static_cast<double>(product);
}

} // namespace

// vx[x][y] -= (0.5 (p[x+1][y] - p[x][y])) m[x][y] m[x+1][y]; vx[127] = -p[128], vx[896] = p[896]
// vy[x][y] -= (0.5 (p[x][y+1] - p[x][y])) m[x][y] m[x][y+1]; vy[145] = -p[146], vy[722] = p[722]
// p[x][y]  -= 0.5 ((vx[x][y] - vx[x-1][y]) + (vy[x][y] - vy[x][y-1]))
void fdtd_step(double pi) {
    auto& s = simulation_state;
    const double c = update_coefficient;
    for (int x = field_origin_x; x <= field_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            s.velocity_x[x][y] =
                s.velocity_x[x][y] - (c * (s.pressure[x + 1][y] - s.pressure[x][y])) *
                                         face_factor(s.medium_mask[x][y], s.medium_mask[x + 1][y]);
        }
    }
    for (int y = field_origin_y; y <= region_last_y; ++y) {
        s.velocity_x[field_origin_x - 1][y] = -s.pressure[field_origin_x][y];
        s.velocity_x[region_last_x][y] = s.pressure[region_last_x][y];
    }
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        for (int y = field_origin_y; y <= field_last_y; ++y) {
            s.velocity_y[x][y] =
                s.velocity_y[x][y] - (c * (s.pressure[x][y + 1] - s.pressure[x][y])) *
                                         face_factor(s.medium_mask[x][y], s.medium_mask[x][y + 1]);
        }
    }
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        s.velocity_y[x][field_origin_y - 1] = -s.pressure[x][field_origin_y];
        s.velocity_y[x][region_last_y] = s.pressure[x][region_last_y];
    }
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            s.pressure[x][y] =
                s.pressure[x][y] - c * ((s.velocity_x[x][y] - s.velocity_x[x - 1][y]) +
                                        (s.velocity_y[x][y] - s.velocity_y[x][y - 1]));
        }
    }
    inject_sine_source(pi);
    s.time_step = wrapping_increment(s.time_step);
}

solver_ticks advance_field(double pi, tick_clock clock, const step_observer* observer) {
    auto& s = simulation_state;
    solver_ticks ticks{};
    ticks.start = clock != nullptr ? clock() : 0;
    for (int step = 1; step <= s.steps_per_frame; ++step) {
        fdtd_step(pi);
        if (observer != nullptr && observer->after_step != nullptr) {
            observer->after_step(observer->context);
        }
    }
    ticks.end = clock != nullptr ? clock() : 0;
    return ticks;
}
