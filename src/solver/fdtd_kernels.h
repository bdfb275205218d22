// The fused, tiled time-step kernels behind advance_field, one per instruction set. Each is
// built in its own file with its own compiler flags and sees only this header, so no code
// compiled for a wider instruction set can leak into the rest of the program.
#pragma once

#include <cstdint>

namespace fdtd_kernel {

inline constexpr int stride = 768; // cells per column of every grid
inline constexpr int first_x = 128;
inline constexpr int last_x = 896;
inline constexpr int first_y = 146;
inline constexpr int last_y = 722;
inline constexpr int max_steps = 8;
inline constexpr int bit_stride = stride / 8;
inline constexpr int group_stride = stride / 16;          // 16-row groups per column
inline constexpr int group_count_stride = stride / 8 + 1; // counts per column, see below

// Several time steps of the region, run as one skewed wavefront over bands of rows.
struct wavefront_job {
    double* pressure; // the grids, element [x][y] at x * stride + y
    double* velocity_x;
    double* velocity_y;
    const double* factor_x; // mask product of the face right of [x][y], as a double
    const double* factor_y; // mask product of the face below [x][y], as a double
    // The same products as bits, for kernels that expand them: bit y % 8 of byte
    // x * bit_stride + y / 8 is set where the product is 1.0. Valid only while every product
    // is 0.0 or 1.0, and only the AVX-512 kernel reads them, only then.
    const unsigned char* factor_bits_x;
    const unsigned char* factor_bits_y;
    // For each column, entry g of group_count_stride counts the eight-row groups before g
    // (rows 0..8g-1) with a face whose product is not 1.0 or that lies outside the region
    // (the right face of the last column does not count). Two equal entries mean every
    // face in between is open. Null to use the products everywhere.
    const unsigned char* walled_groups_before;
    int steps;     // 1..max_steps
    int band_rows; // rows per band; a multiple of 8
    int sine_x;    // region cell that gets sine_samples[k] after step k; -1 for none
    int sine_y;
    double sine_samples[max_steps];
};

void run_wavefront_portable(const wavefront_job& job);
void run_wavefront_sse2(const wavefront_job& job);
void run_wavefront_avx2(const wavefront_job& job);
void run_wavefront_avx512(const wavefront_job& job); // needs factor bits
void run_wavefront_wasm_simd128(const wavefront_job& job);

// Whether every region cell of mask (element [x][y] at x * stride + y) is 0 or 1 and is 1
// exactly where bit y % 16 of ones[x * group_stride + y / 16] is set.
bool mask_matches_ones_avx512(const int32_t* mask, const uint16_t* ones);

} // namespace fdtd_kernel
