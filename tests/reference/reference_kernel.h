// The straightforward loops of the time step, the sources and the colouring, written as
// plainly as possible. Every faster kernel must reproduce their grids bit for bit.
#pragma once

#include "state/simulation_state.h"

#include <cstdint>

// One time step on simulation_state: the three sweeps, the edge rules, the sine, the count.
void reference_fdtd_step(double pi);

// steps_per_frame reference steps.
void reference_advance_field(double pi);

void reference_inject_sine_source(double pi);
void reference_add_gaussian_pulse(point center);

void reference_color_field();
void reference_copy_frame(uint32_t* frame);
