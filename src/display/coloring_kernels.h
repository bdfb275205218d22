// Colouring of one column and the row-flipping frame copy, one version per instruction set,
// each built in its own file with its own flags. Internal to coloring.cpp.
#pragma once

#include <cstdint>

namespace coloring_kernel {

inline constexpr int stride = 768; // cells per grid column
inline constexpr int first_y = 146;
inline constexpr int color_rows = 577; // rows 146..722
inline constexpr int frame_columns = 768;
inline constexpr int frame_rows = 576; // grid rows 146..721, bottom row first
inline constexpr int first_x = 128;

// Colours rows 146..722 of one column: medium (1) from the pressure, wall (0) black, and
// anything else, or a NaN pressure, keeps its colour.
using column_function = void (*)(const double* pressure, const int32_t* mask, int32_t* color);
// frame[(721 - y) * 768 + (x - 128)] = color[x][y] over the field window; color is
// &cell_color[0][0].
using copy_function = void (*)(const int32_t* color, uint32_t* frame);

void color_column_sse2(const double* pressure, const int32_t* mask, int32_t* color);
void color_column_avx2(const double* pressure, const int32_t* mask, int32_t* color);
void color_column_avx512(const double* pressure, const int32_t* mask, int32_t* color);
void copy_frame_sse2(const int32_t* color, uint32_t* frame);
void copy_frame_avx2(const int32_t* color, uint32_t* frame);
void color_column_neon(const double* pressure, const int32_t* mask, int32_t* color);
void copy_frame_neon(const int32_t* color, uint32_t* frame);

} // namespace coloring_kernel

namespace {

// The one-cell rule, for the rows left over after the vectors (internal to each file).
[[maybe_unused]] inline void color_one_cell(double p, int32_t mask, int32_t& color) {
    if (mask == 1) {
        if (p >= 0.0 || p < 0.0) {
            const double scaled = 1275.0 * (p < 0.0 ? -p : p);
            const int32_t c = scaled >= 255.0 ? 255 : static_cast<int32_t>(scaled);
            const int32_t v = 255 - c;
            color = p >= 0.0 ? 0xFF0000 + v * 0x101 : v * 0x10100 + 0xFF;
        }
    } else if (mask == 0) {
        color = 0;
    }
}

} // namespace
