// The FDTD time step: leapfrog pressure/velocity update on a staggered grid, rigid walls
// through the mask, open outer edges. Operates on simulation_state.
#pragma once

#include <cstdint>

// Millisecond clock supplied by the caller (GetTickCount in the program, a virtual clock in
// tests), so that the solver needs no platform header.
using tick_clock = uint32_t (*)();

struct solver_ticks {
    uint32_t start;
    uint32_t end;
};

inline constexpr double update_coefficient = 0.5;

// The solver block of one repaint: steps_per_frame steps, each with its sine excitation,
// timed by the clock before the first and after the last step. The kernels, and what watches
// the steps, are the engine's (solver/engine.h).
solver_ticks advance_field(double pi, tick_clock clock);

// One time step: the seven phases, in order.
void fdtd_step(double pi);
