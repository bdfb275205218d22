#include "display/coloring.h"

#include "display/coloring_kernels.h"
#include "display/coloring_reference.h"
#include "solver/engine.h"
#include "state/simulation_state.h"

#include <cmath>

namespace {

// 1275 * magnitude truncated toward zero and limited to 255. The limit is applied before the
// conversion, so infinities and huge products never reach the integer conversion.
uint32_t color_intensity(double magnitude) {
    const double scaled = 1275.0 * magnitude;
    if (scaled >= 255.0) {
        return 255;
    }
    return static_cast<uint32_t>(static_cast<int32_t>(scaled));
}

} // namespace

uint32_t pressure_color(double p, uint32_t previous) {
    if (p >= 0.0) {
        const uint32_t v = 255 - color_intensity(p);
        return 0xFF0000u + v * 0x101u;
    }
    if (p < 0.0) {
        const uint32_t v = 255 - color_intensity(std::fabs(p));
        return v * 0x10100u + 0xFFu;
    }
    return previous; // not a number
}

namespace {

void color_column_portable(const double* pressure, const int32_t* mask, int32_t* color) {
    for (int y = field_origin_y; y <= region_last_y; ++y) {
        if (mask[y] == 1) {
            color[y] =
                static_cast<int32_t>(pressure_color(pressure[y], static_cast<uint32_t>(color[y])));
        } else if (mask[y] == 0) {
            color[y] = 0;
        }
    }
}

void copy_frame_portable(const int32_t* color, uint32_t* frame) {
    for (int x = field_origin_x; x <= field_last_x; ++x) {
        for (int y = field_origin_y; y <= field_last_y; ++y) {
            frame[(field_last_y - y) * frame_width + (x - field_origin_x)] =
                static_cast<uint32_t>(color[x * grid_height + y]);
        }
    }
}

coloring_kernel::column_function column_kernel() {
    switch (active_engine()) {
#if VORLA_X86_KERNELS
    case engine::avx512:
        return coloring_kernel::color_column_avx512;
    case engine::avx2:
        return coloring_kernel::color_column_avx2;
    case engine::sse2:
        return coloring_kernel::color_column_sse2;
#endif
#if VORLA_NEON_KERNELS
    case engine::neon:
        return coloring_kernel::color_column_neon;
#endif
    default:
        return color_column_portable;
    }
}

coloring_kernel::copy_function copy_kernel() {
    switch (active_engine()) {
#if VORLA_X86_KERNELS
    case engine::avx512:
    case engine::avx2:
        return coloring_kernel::copy_frame_avx2;
    case engine::sse2:
        return coloring_kernel::copy_frame_sse2;
#endif
#if VORLA_NEON_KERNELS
    case engine::neon:
        return coloring_kernel::copy_frame_neon;
#endif
    default:
        return copy_frame_portable;
    }
}

} // namespace

// Medium cells from their pressure, walls black, a NaN pressure keeps the old colour; over
// x 128..895, y 146..722.
void color_field() {
    if (active_engine() == engine::reference) {
        reference_color_field();
        return;
    }
    auto& s = simulation_state;
    const coloring_kernel::column_function color_column = column_kernel();
    for (int x = field_origin_x; x <= field_last_x; ++x) {
        color_column(s.pressure[x], s.medium_mask[x], s.cell_color[x]);
    }
}

// Grid row 721 becomes memory row 0 (the bottom line of the bottom-up picture).
void copy_frame(uint32_t* frame) {
    if (frame == nullptr) {
        return;
    }
    if (active_engine() == engine::reference) {
        reference_copy_frame(frame);
        return;
    }
    copy_kernel()(&simulation_state.cell_color[0][0], frame);
}
