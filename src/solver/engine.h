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
    shipped // the widest this processor runs: what the program uses
};

inline constexpr engine every_engine[] = {engine::reference, engine::portable, engine::sse2,
                                          engine::avx2, engine::avx512};

// Sees every single step of advance_field and fdtd_step: after each one, the time step just
// reached and the pressure of each watched cell, in the order of cells. Today a watch with a
// callback makes the steps run one at a time; because it names the cells it reads rather than
// reading the grids itself, the kernels may later sample them inside the fused wavefront.
struct step_watch {
    const point* cells = nullptr;
    int cell_count = 0;
    void (*after_step)(void* context, int32_t time_step, const double* pressures) = nullptr;
    void* context = nullptr;
};

// From now on, every advance_field, fdtd_step, color_field and copy_frame uses these kernels,
// and the steps are shown to watch (nothing watches by default). Returns false and changes
// nothing when this processor cannot run the kernels. Until the first call: shipped, unwatched.
bool use_engine(engine kernels, const step_watch& watch = {});

// The kernels in use; never shipped, but what it stood for.
engine active_engine();
const step_watch& active_step_watch();

bool engine_supported(engine kernels);
engine shipped_engine();

// "reference", "portable", "sse2", "avx2", "avx512", "shipped"; and back.
const char* engine_name(engine kernels);
std::optional<engine> engine_named(std::string_view name);
