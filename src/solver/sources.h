// Sound sources and the keys that steer them: the Gaussian pulse, the sine source, the
// click-count parity, Esc's clearing of the field, and the T/F/1/2/3/Space settings.
#pragma once

#include "state/simulation_state.h"

// Adds exp(-(dx^2 + dy^2) / 50) x mask to every cell of the simulated region.
void add_gaussian_pulse(point center);

// One step's sine sample at source_pos while source_type is 'F'; cells outside the grid
// are skipped.
void inject_sine_source(double pi);

// What inject_sine_source would add at the given time_step (0.0 unless the type is 'F'), and
// whether it writes a cell at all; lets a kernel that runs several steps at once place the
// samples itself.
double sine_source_sample(double pi, int32_t step);
bool sine_source_active();

// The computing side of a right button press: move the source and count the click.
void place_source_at(point position);

// The parity test of the source excitation: a positive odd right_click_count is made even
// and, with source type 'T', a pulse is added at source_pos. Returns whether it passed.
bool excite_pending_click();

// Esc: zero the pressure and both velocities over x 128..895, y 146..722; stop running.
void clear_field();

void select_source_type(char type); // 'T' or 'F'
void select_frequency(char key);    // '1', '2' or '3'; only while the type is 'F'
void toggle_running();              // Space
