// Pressure to colour: red positive, blue negative, white silence, black walls, saturating at
// a magnitude of 0.2; and the copy of the field window into a bottom-up 32-bit frame.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int frame_width = 768;
inline constexpr int frame_height = 576;
inline constexpr std::size_t frame_pixel_count = std::size_t{frame_width} * frame_height;
inline constexpr std::size_t frame_byte_count = frame_pixel_count * 4;

// The colour of one medium cell of pressure p (NaN: returns previous).
uint32_t pressure_color(double p, uint32_t previous);

// Writes cell_color for x 128..895, y 146..722, with the engine's kernels (solver/engine.h).
void color_field();

// Copies cell_color of the field window into frame (768 x 576, bottom row first).
void copy_frame(uint32_t* frame);
