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

// Writes cell_color for x 128..895, y 146..722.
void color_field();

// Makes color_field run this instead (the straightforward loops, for whole-session
// comparisons); null restores the shipped colouring.
using color_function = void (*)();
void set_color_function_override(color_function color);

// Copies cell_color of the field window into frame (768 x 576, bottom row first).
void copy_frame(uint32_t* frame);
