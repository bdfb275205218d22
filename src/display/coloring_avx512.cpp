// AVX-512 colouring: sixteen cells a round. Built with -mavx512f.
#include "display/coloring_kernels.h"

#include <immintrin.h>

// GCC 12 warns about the deliberately undefined pass-through operand inside its own
// AVX-512 intrinsics.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// Truncated, saturated intensity of eight pressures: min(1275 |p|, 255), then toward zero.
__m256i intensity8(__m512d p) {
    const __m512d magnitude = _mm512_castsi512_pd(
        _mm512_andnot_si512(_mm512_castpd_si512(_mm512_set1_pd(-0.0)), _mm512_castpd_si512(p)));
    const __m512d scaled = _mm512_mul_pd(_mm512_set1_pd(1275.0), magnitude);
    return _mm512_cvttpd_epi32(_mm512_min_pd(scaled, _mm512_set1_pd(255.0)));
}

} // namespace

void coloring_kernel::color_column_avx512(const double* pressure, const int32_t* mask,
                                          int32_t* color) {
    const __m512d zero = _mm512_setzero_pd();
    int y = first_y;
    for (; y + 16 <= first_y + color_rows; y += 16) {
        const __m512d pa = _mm512_loadu_pd(pressure + y);
        const __m512d pb = _mm512_loadu_pd(pressure + y + 8);
        const __m512i c =
            _mm512_inserti64x4(_mm512_castsi256_si512(intensity8(pa)), intensity8(pb), 1);
        const __m512i v = _mm512_sub_epi32(_mm512_set1_epi32(255), c);
        const __m512i v8 = _mm512_slli_epi32(v, 8);
        const __m512i positive =
            _mm512_or_si512(_mm512_or_si512(v, v8), _mm512_set1_epi32(0xFF0000));
        const __m512i negative =
            _mm512_or_si512(_mm512_or_si512(_mm512_slli_epi32(v, 16), v8), _mm512_set1_epi32(0xFF));
        const __mmask16 is_negative = _mm512_kunpackb(_mm512_cmp_pd_mask(pb, zero, _CMP_LT_OQ),
                                                      _mm512_cmp_pd_mask(pa, zero, _CMP_LT_OQ));
        const __mmask16 is_number = _mm512_kunpackb(_mm512_cmp_pd_mask(pb, pb, _CMP_ORD_Q),
                                                    _mm512_cmp_pd_mask(pa, pa, _CMP_ORD_Q));
        const __m512i m = _mm512_loadu_si512(mask + y);
        const __mmask16 is_medium = _mm512_cmpeq_epi32_mask(m, _mm512_set1_epi32(1));
        const __mmask16 is_wall = _mm512_cmpeq_epi32_mask(m, _mm512_setzero_si512());
        const __m512i shade = _mm512_mask_blend_epi32(is_negative, positive, negative);
        __m512i result = _mm512_loadu_si512(color + y);
        result = _mm512_mask_mov_epi32(result, _mm512_kand(is_medium, is_number), shade);
        result = _mm512_mask_mov_epi32(result, is_wall, _mm512_setzero_si512());
        _mm512_storeu_si512(color + y, result);
    }
    for (; y < first_y + color_rows; ++y) {
        color_one_cell(pressure[y], mask[y], color[y]);
    }
}
