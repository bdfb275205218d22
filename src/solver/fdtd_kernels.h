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

// A region cell whose pressure is copied out after every step.
struct probe_cell {
    int x;
    int y;
};

// Where a run stopped: the first front whose step 0 found the mask changed.
struct wavefront_stop {
    bool stopped;
    int band;
    int front;
};

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
    // The double grids hold 0.5 f instead of f; set exactly while every product f is 0.0 or
    // 1.0 (the face terms are then d (0.5 f), see fdtd_wavefront.inl).
    bool halved_factors;
    // For each column, entry g of group_count_stride counts the eight-row groups before g
    // (rows 0..8g-1) with a face whose product is not 1.0 or that lies outside the region
    // (the right face of the last column does not count). Two equal entries mean every
    // face in between is open. Null to use the products everywhere.
    const unsigned char* walled_groups_before;
    int steps;       // 1..max_steps
    int band_rows;   // rows per band; a multiple of 8
    int step_skew;   // rows each step lags the one before; a positive multiple of 8
    int column_skew; // rows each column lags the one left of it; a multiple of 8 up to step_skew
    int sine_x;      // region cell that gets sine_samples[k] after step k; -1 for none
    int sine_y;
    double sine_samples[max_steps];
    // The pressure of probes[i] after step k (sine sample included) goes to
    // probe_pressures[k * probe_count + i], taken as the wavefront leaves the cell.
    const probe_cell* probes;
    int probe_count;
    double* probe_pressures;
    // The mask itself, beside the one the products were built from (mask_seen; its region
    // 1-cells as bits in mask_ones, sixteen rows a word, while the factor bits are valid).
    // Before step 0 works on column x over rows ya..yb-1, the kernel compares the cells of
    // columns x and x + 1 in rows ya..yb, all that the step's products there come from; at
    // the first difference it stops, before using them, and says where in *stop. Every
    // later step uses only cells that step 0 compared, as long as
    // step_skew * (steps - 1) <= band_rows. Null mask: the caller compared.
    const int32_t* mask;
    const int32_t* mask_seen;
    const uint16_t* mask_ones;
    wavefront_stop* stop;
    // A run that resumes where another stopped: its band and front; resume_band -1 runs
    // the whole wavefront.
    int resume_band;
    int resume_front;
};

void run_wavefront_portable(const wavefront_job& job);
void run_wavefront_sse2(const wavefront_job& job);
void run_wavefront_avx2(const wavefront_job& job);
void run_wavefront_avx512(const wavefront_job& job); // needs factor bits
void run_wavefront_wasm_simd128(const wavefront_job& job);
void run_wavefront_neon(const wavefront_job& job);

} // namespace fdtd_kernel
