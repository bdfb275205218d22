// The engine: which kernels run the time step, the colouring and the frame copy, and what
// watches the steps. One call chooses both, for the program, the tests, the benchmarks and
// vorla-replay alike. Every engine gives the same bits; the reference engine is the
// straightforward loops that the others are checked against.
#pragma once

#include "state/simulation_state.h"

#include <optional>
#include <string_view>

enum class engine {
    reference, // the plain loops of the update rules, nothing fused or vectorised
    portable,  // the fused wavefront in plain C++
    sse2,
    avx2,
    avx512,
    wasm_simd128, // the browser build with wasm SIMD
    neon,         // AArch64 Advanced SIMD, on every 64-bit Arm processor
    shipped       // the widest this processor runs: what the program uses
};

inline constexpr engine every_engine[] = {engine::reference, engine::portable, engine::sse2,
                                          engine::avx2,      engine::avx512,   engine::wasm_simd128,
                                          engine::neon};

// Sees every single step of advance_field: after each one, the time step just reached and
// the pressure of each watched cell, in the order of cells. The kernels sample the cells
// inside their wavefront as each step leaves them, so watching costs no extra pass; the
// calls come once the frame's steps are done, each with simulation_state.time_step at the
// step it reports, so a watch reads the cells it names and never the grids themselves.
struct step_watch {
    const point* cells = nullptr;
    int cell_count = 0;
    void (*after_step)(void* context, int32_t time_step, const double* pressures) = nullptr;
    void* context = nullptr;
};

// How the kernels cut the region into tiles: bands of band_rows rows, each step step_skew
// rows and each column column_skew rows behind the one before it. Every shape gives the
// same bits; the best one depends on how much the first-level data cache holds.
struct tile_shape {
    int band_rows;
    int step_skew;
    int column_skew;
};
tile_shape tile_shape_for(int data_cache_bytes);

// The first-level data cache of one core as the processor (cpuid) or the system reports it;
// 0 where nothing says.
int detected_data_cache_bytes();

// From now on, every advance_field, fdtd_step, color_field and copy_frame uses these kernels,
// and the steps are shown to watch (nothing watches by default). Returns false and changes
// nothing when this processor cannot run the kernels. Until the first call: shipped, unwatched.
// The tiles are cut for data_cache_bytes, or for this processor's cache when it is 0.
bool use_engine(engine kernels, const step_watch& watch = {}, int data_cache_bytes = 0);

// The kernels in use; never shipped, but what it stood for.
engine active_engine();
const step_watch& active_step_watch();
tile_shape active_tile_shape();

bool engine_supported(engine kernels);
engine shipped_engine();

// "reference", "portable", "sse2", "avx2", "avx512", "wasm-simd128", "neon", "shipped"; and
// back.
const char* engine_name(engine kernels);
std::optional<engine> engine_named(std::string_view name);
