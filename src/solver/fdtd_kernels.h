// The fused, tiled time-step kernels behind advance_field, one per instruction set. Each is
// built in its own file with its own compiler flags and sees only this header, so no code
// compiled for a wider instruction set can leak into the rest of the program.
#pragma once

namespace fdtd_kernel {

inline constexpr int stride = 768; // cells per column of every grid
inline constexpr int first_x = 128;
inline constexpr int last_x = 896;
inline constexpr int first_y = 146;
inline constexpr int last_y = 722;
inline constexpr int max_steps = 8;

// Several time steps of the region, run as one skewed wavefront over bands of rows.
struct wavefront_job {
    double* pressure; // the grids, element [x][y] at x * stride + y
    double* velocity_x;
    double* velocity_y;
    const double* factor_x; // mask product of the face right of [x][y], as a double
    const double* factor_y; // mask product of the face below [x][y], as a double
    int steps;              // 1..max_steps
    int band_rows;          // rows per band; a multiple of 8
    int sine_x;             // region cell that gets sine_samples[k] after step k; -1 for none
    int sine_y;
    double sine_samples[max_steps];
};

void run_wavefront_portable(const wavefront_job& job);
void run_wavefront_sse2(const wavefront_job& job);
void run_wavefront_avx2(const wavefront_job& job);
void run_wavefront_avx512(const wavefront_job& job);

} // namespace fdtd_kernel
