// The reference engine's colouring and frame copy: plain loops over simulation_state, sharing
// no code with the other kernels, so that they can be checked against it.
#pragma once

#include <cstdint>

void reference_color_field();
void reference_copy_frame(uint32_t* frame);
