#include "solver/sources.h"

#include <cmath>

namespace {

// One sample of a sine of the given period and amplitude at step n; at n = 0 it is 0.0.
double sine_sample(double pi, double n, double period, double amplitude) {
    return amplitude * std::sin(((2.0 * pi) * n) / period);
}

} // namespace

// p[x][y] += exp(-(dx^2 + dy^2) / 50) * mask[x][y] over the simulated region; the loops are
// fixed, so any centre is safe.
void add_gaussian_pulse(point center) {
    auto& s = simulation_state;
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            const double dx = static_cast<double>(wrapping_difference(center.x, x));
            const double dy = static_cast<double>(wrapping_difference(center.y, y));
            const double distance_squared = dx * dx + dy * dy;
            const double g = std::exp(-distance_squared / 50.0);
            s.pressure[x][y] = s.pressure[x][y] + g * static_cast<double>(s.medium_mask[x][y]);
        }
    }
}

double sine_source_sample(double pi, int32_t step) {
    const auto& s = simulation_state;
    if (s.source_type != 'F') {
        return 0.0;
    }
    const double n = static_cast<double>(step);
    switch (s.frequency_key) {
    case '1':
        return sine_sample(pi, n, 20.0, 5.0);
    case '2':
        return sine_sample(pi, n, 80.0, 10.0);
    case '3':
        return sine_sample(pi, n, 320.0, 20.0);
    default:
        return 0.0;
    }
}

bool sine_source_active() {
    const auto& s = simulation_state;
    return s.source_type == 'F' &&
           (s.frequency_key == '1' || s.frequency_key == '2' || s.frequency_key == '3') &&
           inside_grid(s.source_pos.x, s.source_pos.y);
}

// No mask and no region test: a source in a wall or in the panel still gets its sample. A
// cell outside the grid gets nothing, since there is no such cell to write.
void inject_sine_source(double pi) {
    auto& s = simulation_state;
    if (!sine_source_active()) {
        return;
    }
    double& cell = s.pressure[s.source_pos.x][s.source_pos.y];
    cell = cell + sine_source_sample(pi, s.time_step);
}

void place_source_at(point position) {
    auto& s = simulation_state;
    s.source_pos = position;
    s.source_placed = 1;
    s.right_click_count = wrapping_increment(s.right_click_count);
}

bool excite_pending_click() {
    auto& s = simulation_state;
    if (s.right_click_count % 2 != 1) {
        return false; // even, or negative: nothing due
    }
    s.right_click_count = wrapping_increment(s.right_click_count);
    if (s.source_type == 'T') {
        add_gaussian_pulse(s.source_pos);
    }
    return true;
}

// Stops at column 895, like Del's erase; column 896 and the left and top edge faces keep
// their values.
void clear_field() {
    auto& s = simulation_state;
    for (int x = field_origin_x; x <= field_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            s.velocity_y[x][y] = 0.0;
            s.velocity_x[x][y] = 0.0;
            s.pressure[x][y] = 0.0;
        }
    }
    s.is_running = 0;
}

void select_source_type(char type) {
    if (type == 'T' || type == 'F') {
        simulation_state.source_type = type;
    }
}

void select_frequency(char key) {
    auto& s = simulation_state;
    if (s.source_type == 'F' && (key == '1' || key == '2' || key == '3')) {
        s.frequency_key = key;
    }
}

void toggle_running() {
    auto& s = simulation_state;
    s.is_running = s.is_running != 0 ? 0 : 1;
}
