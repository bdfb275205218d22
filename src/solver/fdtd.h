// The FDTD time step: leapfrog pressure/velocity update on a staggered grid, rigid walls
// through the mask, open outer edges. Operates on simulation_state.
#pragma once

#include <cstdint>

// Millisecond clock supplied by the caller (GetTickCount in the program, a virtual clock in
// tests), so that the solver needs no platform header.
using tick_clock = uint32_t (*)();

// Called after every single step when the caller wants to watch the field step by step.
struct step_observer {
    void (*after_step)(void* context);
    void* context;
};

struct solver_ticks {
    uint32_t start;
    uint32_t end;
};

inline constexpr double update_coefficient = 0.5;

// The solver block of one repaint: steps_per_frame steps, each with its sine excitation,
// timed by the clock before the first and after the last step.
solver_ticks advance_field(double pi, tick_clock clock, const step_observer* observer = nullptr);

// One time step: the seven phases, in order.
void fdtd_step(double pi);

// Watches every step of every later advance_field that is given no observer of its own
// (vorla-replay's probes); null stops watching.
void set_step_observer(const step_observer* observer);

// Runs every later advance_field step by step through this function instead of the shipped
// kernel, so whole sessions can be replayed on the straightforward loops; null restores it.
using step_function = void (*)(double pi);
void set_step_function_override(step_function step);
