// The reference engine's time step: the update rules as plain loops over simulation_state,
// sharing no code with the fused kernels, so that they can be checked against it.
#pragma once

// One time step: the three sweeps, the edge rules, the sine, the count.
void reference_fdtd_step(double pi);
