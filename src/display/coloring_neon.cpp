// AArch64 Advanced SIMD colouring (four cells a round) and 4 x 4 transposing frame copy.
#include "display/coloring_kernels.h"

#include <arm_neon.h>

namespace {

// Truncated, saturated intensity of two pressures. A NaN's lane is never used.
int32x2_t intensity2(float64x2_t p) {
    const float64x2_t scaled = vmulq_f64(vdupq_n_f64(1275.0), vabsq_f64(p));
    return vmovn_s64(vcvtq_s64_f64(vminq_f64(scaled, vdupq_n_f64(255.0))));
}

// Two 64-bit lane masks and two more, as four 32-bit lane masks in order.
uint32x4_t narrow_masks(uint64x2_t a, uint64x2_t b) {
    return vcombine_u32(vmovn_u64(a), vmovn_u64(b));
}

} // namespace

void coloring_kernel::color_column_neon(const double* pressure, const int32_t* mask,
                                        int32_t* color) {
    const float64x2_t zero = vdupq_n_f64(0.0);
    int y = first_y;
    for (; y + 4 <= first_y + color_rows; y += 4) {
        const float64x2_t pa = vld1q_f64(pressure + y);
        const float64x2_t pb = vld1q_f64(pressure + y + 2);
        const uint32x4_t c = vreinterpretq_u32_s32(vcombine_s32(intensity2(pa), intensity2(pb)));
        const uint32x4_t v = vsubq_u32(vdupq_n_u32(255), c);
        const uint32x4_t v8 = vshlq_n_u32(v, 8);
        const uint32x4_t positive = vorrq_u32(vorrq_u32(v, v8), vdupq_n_u32(0xFF0000));
        const uint32x4_t negative = vorrq_u32(vorrq_u32(vshlq_n_u32(v, 16), v8), vdupq_n_u32(0xFF));
        const uint32x4_t is_negative = narrow_masks(vcltq_f64(pa, zero), vcltq_f64(pb, zero));
        const uint32x4_t is_number = narrow_masks(vceqq_f64(pa, pa), vceqq_f64(pb, pb));
        const int32x4_t m = vld1q_s32(mask + y);
        const uint32x4_t is_medium = vceqq_s32(m, vdupq_n_s32(1));
        const uint32x4_t is_wall = vceqq_s32(m, vdupq_n_s32(0));
        const uint32x4_t old = vreinterpretq_u32_s32(vld1q_s32(color + y));
        const uint32x4_t shade = vbslq_u32(is_negative, negative, positive);
        uint32x4_t result = vbslq_u32(vandq_u32(is_medium, is_number), shade, old);
        result = vbicq_u32(result, is_wall);
        vst1q_s32(color + y, vreinterpretq_s32_u32(result));
    }
    for (; y < first_y + color_rows; ++y) {
        color_one_cell(pressure[y], mask[y], color[y]);
    }
}

void coloring_kernel::copy_frame_neon(const int32_t* color, uint32_t* frame) {
    for (int row0 = 0; row0 < frame_rows; row0 += 4) {
        const int y0 = first_y + frame_rows - 4 - row0; // grid rows y0..y0+3
        for (int col0 = 0; col0 < frame_columns; col0 += 4) {
            const uint32_t* src =
                reinterpret_cast<const uint32_t*>(color) + (first_x + col0) * stride + y0;
            const uint32x4_t r0 = vld1q_u32(src);
            const uint32x4_t r1 = vld1q_u32(src + stride);
            const uint32x4_t r2 = vld1q_u32(src + 2 * stride);
            const uint32x4_t r3 = vld1q_u32(src + 3 * stride);
            const uint64x2_t t0 = vreinterpretq_u64_u32(vzip1q_u32(r0, r1));
            const uint64x2_t t1 = vreinterpretq_u64_u32(vzip2q_u32(r0, r1));
            const uint64x2_t t2 = vreinterpretq_u64_u32(vzip1q_u32(r2, r3));
            const uint64x2_t t3 = vreinterpretq_u64_u32(vzip2q_u32(r2, r3));
            // Grid row y0 + j goes to frame row row0 + 3 - j.
            uint32_t* dst = frame + (row0 + 3) * frame_columns + col0;
            vst1q_u32(dst, vreinterpretq_u32_u64(vzip1q_u64(t0, t2)));
            vst1q_u32(dst - frame_columns, vreinterpretq_u32_u64(vzip2q_u64(t0, t2)));
            vst1q_u32(dst - 2 * frame_columns, vreinterpretq_u32_u64(vzip1q_u64(t1, t3)));
            vst1q_u32(dst - 3 * frame_columns, vreinterpretq_u32_u64(vzip2q_u64(t1, t3)));
        }
    }
}
