// AVX2 colouring (eight cells a round) and 8 x 8 transposing frame copy. Built with -mavx2.
#include "display/coloring_kernels.h"

#include <cstdint>
#include <immintrin.h>

namespace {

// Truncated, saturated intensity of four pressures: min(1275 |p|, 255), then toward zero.
__m128i intensity4(__m256d p) {
    const __m256d magnitude = _mm256_andnot_pd(_mm256_set1_pd(-0.0), p);
    const __m256d scaled = _mm256_mul_pd(_mm256_set1_pd(1275.0), magnitude);
    return _mm256_cvttpd_epi32(_mm256_min_pd(scaled, _mm256_set1_pd(255.0)));
}

// Four 64-bit lane masks and four more, as eight 32-bit lane masks in order.
__m256i narrow_masks(__m256d a, __m256d b) {
    const __m256 mixed = _mm256_shuffle_ps(_mm256_castpd_ps(a), _mm256_castpd_ps(b), 0x88);
    return _mm256_castpd_si256(_mm256_permute4x64_pd(_mm256_castps_pd(mixed), 0xD8));
}

__m256i load8(const int32_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

void store8(uint32_t* p, __m256i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

} // namespace

void coloring_kernel::color_column_avx2(const double* pressure, const int32_t* mask,
                                        int32_t* color) {
    const __m256d zero = _mm256_setzero_pd();
    int y = first_y;
    for (; y + 8 <= first_y + color_rows; y += 8) {
        const __m256d pa = _mm256_loadu_pd(pressure + y);
        const __m256d pb = _mm256_loadu_pd(pressure + y + 4);
        const __m256i c = _mm256_set_m128i(intensity4(pb), intensity4(pa));
        const __m256i v = _mm256_sub_epi32(_mm256_set1_epi32(255), c);
        const __m256i v8 = _mm256_slli_epi32(v, 8);
        const __m256i positive =
            _mm256_or_si256(_mm256_or_si256(v, v8), _mm256_set1_epi32(0xFF0000));
        const __m256i negative =
            _mm256_or_si256(_mm256_or_si256(_mm256_slli_epi32(v, 16), v8), _mm256_set1_epi32(0xFF));
        const __m256i is_negative =
            narrow_masks(_mm256_cmp_pd(pa, zero, _CMP_LT_OQ), _mm256_cmp_pd(pb, zero, _CMP_LT_OQ));
        const __m256i is_number =
            narrow_masks(_mm256_cmp_pd(pa, pa, _CMP_ORD_Q), _mm256_cmp_pd(pb, pb, _CMP_ORD_Q));
        const __m256i m = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(mask + y));
        const __m256i is_medium = _mm256_cmpeq_epi32(m, _mm256_set1_epi32(1));
        const __m256i is_wall = _mm256_cmpeq_epi32(m, _mm256_setzero_si256());
        const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(color + y));
        const __m256i shade = _mm256_blendv_epi8(positive, negative, is_negative);
        const __m256i take_shade = _mm256_and_si256(is_medium, is_number);
        __m256i result = _mm256_blendv_epi8(old, shade, take_shade);
        result = _mm256_andnot_si256(is_wall, result);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(color + y), result);
    }
    for (; y < first_y + color_rows; ++y) {
        color_one_cell(pressure[y], mask[y], color[y]);
    }
}

namespace {

// Grid rows y0..y0+7 of columns first_x+col0..+7 into frame rows 721-y0 down to 714-y0.
inline void copy_block8(const int32_t* color, uint32_t* frame, int y0, int col0) {
    const int32_t* src = color + (coloring_kernel::first_x + col0) * coloring_kernel::stride + y0;
    constexpr int stride = coloring_kernel::stride;
    constexpr int frame_columns = coloring_kernel::frame_columns;
    // Named registers rather than arrays, so nothing is spilled to the stack.
    const __m256i r0 = load8(src);
    const __m256i r1 = load8(src + stride);
    const __m256i r2 = load8(src + 2 * stride);
    const __m256i r3 = load8(src + 3 * stride);
    const __m256i r4 = load8(src + 4 * stride);
    const __m256i r5 = load8(src + 5 * stride);
    const __m256i r6 = load8(src + 6 * stride);
    const __m256i r7 = load8(src + 7 * stride);
    const __m256i t0 = _mm256_unpacklo_epi32(r0, r1);
    const __m256i t1 = _mm256_unpackhi_epi32(r0, r1);
    const __m256i t2 = _mm256_unpacklo_epi32(r2, r3);
    const __m256i t3 = _mm256_unpackhi_epi32(r2, r3);
    const __m256i t4 = _mm256_unpacklo_epi32(r4, r5);
    const __m256i t5 = _mm256_unpackhi_epi32(r4, r5);
    const __m256i t6 = _mm256_unpacklo_epi32(r6, r7);
    const __m256i t7 = _mm256_unpackhi_epi32(r6, r7);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
    const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
    const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
    const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
    const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
    // Grid row y0 + j goes to frame row 721 - y0 - j.
    uint32_t* dst =
        frame + (coloring_kernel::first_y + coloring_kernel::frame_rows - 1 - y0) * frame_columns +
        col0;
    store8(dst, _mm256_permute2x128_si256(u0, u4, 0x20));
    store8(dst - frame_columns, _mm256_permute2x128_si256(u1, u5, 0x20));
    store8(dst - 2 * frame_columns, _mm256_permute2x128_si256(u2, u6, 0x20));
    store8(dst - 3 * frame_columns, _mm256_permute2x128_si256(u3, u7, 0x20));
    store8(dst - 4 * frame_columns, _mm256_permute2x128_si256(u0, u4, 0x31));
    store8(dst - 5 * frame_columns, _mm256_permute2x128_si256(u1, u5, 0x31));
    store8(dst - 6 * frame_columns, _mm256_permute2x128_si256(u2, u6, 0x31));
    store8(dst - 7 * frame_columns, _mm256_permute2x128_si256(u3, u7, 0x31));
}

} // namespace

void coloring_kernel::copy_frame_avx2(const int32_t* color, uint32_t* frame) {
    // Sixteen rows are one cache line of a column: blocks of sixteen rows that start on a
    // line read every line once. The rows before the first and after the last such block
    // are copied as 8-row blocks that overlap their neighbours (writing the same values).
    constexpr int last_y = first_y + frame_rows - 1;       // 721
    constexpr int first_line_y = (first_y + 15) / 16 * 16; // 160
    constexpr int end_line_y = (last_y + 1) / 16 * 16;     // 720
    static_assert(first_line_y - first_y <= 16 && last_y + 1 - end_line_y <= 8);
    // Heaps hand out 16-byte aligned buffers: the 8-column blocks start where their 32-byte
    // stores are aligned, since a store across two cache lines costs twice. The columns left
    // at either end are covered by a block at each end that overlaps the aligned ones.
    const int skip =
        static_cast<int>((32 - (reinterpret_cast<std::uintptr_t>(frame) & 31)) & 31) / 4;
    const auto copy_rows = [&](int y0) {
        if (skip != 0) {
            copy_block8(color, frame, y0, 0);
            copy_block8(color, frame, y0, frame_columns - 8);
        }
        for (int col0 = skip; col0 + 8 <= frame_columns; col0 += 8) {
            copy_block8(color, frame, y0, col0);
        }
    };
    copy_rows(first_y);
    copy_rows(first_line_y - 8);
    for (int y0 = first_line_y; y0 < end_line_y; y0 += 16) {
        if (skip != 0) {
            copy_block8(color, frame, y0, 0);
            copy_block8(color, frame, y0 + 8, 0);
            copy_block8(color, frame, y0, frame_columns - 8);
            copy_block8(color, frame, y0 + 8, frame_columns - 8);
        }
        for (int col0 = skip; col0 + 8 <= frame_columns; col0 += 8) {
            copy_block8(color, frame, y0, col0);
            copy_block8(color, frame, y0 + 8, col0);
        }
    }
    copy_rows(last_y - 7);
}
