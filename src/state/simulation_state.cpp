#include "state/simulation_state.h"

#include <cstring>

// Zero-filled as a static (in .bss, not in the executable); the settings follow below.
simulation_state_record simulation_state;

namespace {

void set_start_values(simulation_state_record& s) {
    s.is_running = 1;
    s.steps_per_frame = 8;
    s.panel_left = 10;
    s.panel_top = 10;
    s.line_height = 18;
    s.source_type = 'T';
    s.frequency_key = '1';
    s.draw_kind = 'J';
}

// The start values are in place before any code runs, as for a static initialiser.
const bool start_values_set = [] {
    set_start_values(simulation_state);
    return true;
}();

} // namespace

void reset_simulation_state() {
    std::memset(static_cast<void*>(&simulation_state), 0, sizeof simulation_state);
    set_start_values(simulation_state);
}

void initialize_field_grids() {
    auto& s = simulation_state;
    for (int x = 1; x < grid_width; ++x) {
        for (int y = 1; y < grid_height; ++y) {
            s.medium_mask[x][y] = 1;
            s.velocity_y[x][y] = 0.0;
            s.velocity_x[x][y] = 0.0;
            s.pressure[x][y] = 0.0;
        }
    }
}

void prepare_start_state() {
    reset_simulation_state();
    initialize_field_grids();
}
