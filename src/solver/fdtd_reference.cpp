// Written as plainly as possible and never to be made faster: every other engine must give
// its grids bit for bit.
#include "solver/fdtd_reference.h"

#include "state/simulation_state.h"

#include <cmath>

namespace {

auto& s = simulation_state;

double mask_product(int32_t a, int32_t b) {
    return static_cast<double>(
        static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b)));
}

void inject_sine_source(double pi) {
    const int sx = s.source_pos.x;
    const int sy = s.source_pos.y;
    if (!inside_grid(sx, sy)) {
        return;
    }
    const double n = static_cast<double>(s.time_step);
    if (s.source_type == 'F' && s.frequency_key == '1') {
        s.pressure[sx][sy] = s.pressure[sx][sy] + 5.0 * std::sin(((2.0 * pi) * n) / 20.0);
    }
    if (s.source_type == 'F' && s.frequency_key == '2') {
        s.pressure[sx][sy] = s.pressure[sx][sy] + 10.0 * std::sin(((2.0 * pi) * n) / 80.0);
    }
    if (s.source_type == 'F' && s.frequency_key == '3') {
        s.pressure[sx][sy] = s.pressure[sx][sy] + 20.0 * std::sin(((2.0 * pi) * n) / 320.0);
    }
}

} // namespace

void reference_fdtd_step(double pi) {
    const double c = 0.5;
    // 1. x-velocity sweep
    for (int x = 128; x <= 895; ++x) {
        for (int y = 146; y <= 722; ++y) {
            s.velocity_x[x][y] =
                s.velocity_x[x][y] - (c * (s.pressure[x + 1][y] - s.pressure[x][y])) *
                                         mask_product(s.medium_mask[x][y], s.medium_mask[x + 1][y]);
        }
    }
    // 2. x-edge rule
    for (int y = 146; y <= 722; ++y) {
        s.velocity_x[127][y] = -s.pressure[128][y];
        s.velocity_x[896][y] = s.pressure[896][y];
    }
    // 3. y-velocity sweep
    for (int x = 128; x <= 896; ++x) {
        for (int y = 146; y <= 721; ++y) {
            s.velocity_y[x][y] =
                s.velocity_y[x][y] - (c * (s.pressure[x][y + 1] - s.pressure[x][y])) *
                                         mask_product(s.medium_mask[x][y], s.medium_mask[x][y + 1]);
        }
    }
    // 4. y-edge rule
    for (int x = 128; x <= 896; ++x) {
        s.velocity_y[x][145] = -s.pressure[x][146];
        s.velocity_y[x][722] = s.pressure[x][722];
    }
    // 5. pressure sweep
    for (int x = 128; x <= 896; ++x) {
        for (int y = 146; y <= 722; ++y) {
            s.pressure[x][y] =
                s.pressure[x][y] - c * ((s.velocity_x[x][y] - s.velocity_x[x - 1][y]) +
                                        (s.velocity_y[x][y] - s.velocity_y[x][y - 1]));
        }
    }
    // 6. sine excitation, 7. step count
    inject_sine_source(pi);
    s.time_step = wrapping_increment(s.time_step);
}
