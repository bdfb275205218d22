// SSE2 colouring (four cells a round) and 4 x 4 transposing frame copy.
#include "display/coloring_kernels.h"

#include <emmintrin.h>

namespace {

// Truncated, saturated intensity of two pressures, in the low two lanes.
__m128i intensity2(__m128d p) {
    const __m128d magnitude = _mm_andnot_pd(_mm_set1_pd(-0.0), p);
    const __m128d scaled = _mm_mul_pd(_mm_set1_pd(1275.0), magnitude);
    return _mm_cvttpd_epi32(_mm_min_pd(scaled, _mm_set1_pd(255.0)));
}

// Two 64-bit lane masks and two more, as four 32-bit lane masks in order.
__m128i narrow_masks(__m128d a, __m128d b) {
    return _mm_castps_si128(_mm_shuffle_ps(_mm_castpd_ps(a), _mm_castpd_ps(b), 0x88));
}

__m128i select(__m128i when, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(when, yes), _mm_andnot_si128(when, no));
}

} // namespace

void coloring_kernel::color_column_sse2(const double* pressure, const int32_t* mask,
                                        int32_t* color) {
    const __m128d zero = _mm_setzero_pd();
    int y = first_y;
    for (; y + 4 <= first_y + color_rows; y += 4) {
        const __m128d pa = _mm_loadu_pd(pressure + y);
        const __m128d pb = _mm_loadu_pd(pressure + y + 2);
        const __m128i c = _mm_unpacklo_epi64(intensity2(pa), intensity2(pb));
        const __m128i v = _mm_sub_epi32(_mm_set1_epi32(255), c);
        const __m128i v8 = _mm_slli_epi32(v, 8);
        const __m128i positive = _mm_or_si128(_mm_or_si128(v, v8), _mm_set1_epi32(0xFF0000));
        const __m128i negative =
            _mm_or_si128(_mm_or_si128(_mm_slli_epi32(v, 16), v8), _mm_set1_epi32(0xFF));
        const __m128i is_negative = narrow_masks(_mm_cmplt_pd(pa, zero), _mm_cmplt_pd(pb, zero));
        const __m128i is_number = narrow_masks(_mm_cmpord_pd(pa, pa), _mm_cmpord_pd(pb, pb));
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + y));
        const __m128i is_medium = _mm_cmpeq_epi32(m, _mm_set1_epi32(1));
        const __m128i is_wall = _mm_cmpeq_epi32(m, _mm_setzero_si128());
        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(color + y));
        const __m128i shade = select(is_negative, negative, positive);
        __m128i result = select(_mm_and_si128(is_medium, is_number), shade, old);
        result = _mm_andnot_si128(is_wall, result);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(color + y), result);
    }
    for (; y < first_y + color_rows; ++y) {
        color_one_cell(pressure[y], mask[y], color[y]);
    }
}

void coloring_kernel::copy_frame_sse2(const int32_t* color, uint32_t* frame) {
    for (int row0 = 0; row0 < frame_rows; row0 += 4) {
        const int y0 = first_y + frame_rows - 4 - row0; // grid rows y0..y0+3
        for (int col0 = 0; col0 < frame_columns; col0 += 4) {
            const int32_t* src = color + (first_x + col0) * stride + y0;
            const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
            const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + stride));
            const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * stride));
            const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * stride));
            const __m128i t0 = _mm_unpacklo_epi32(r0, r1);
            const __m128i t1 = _mm_unpackhi_epi32(r0, r1);
            const __m128i t2 = _mm_unpacklo_epi32(r2, r3);
            const __m128i t3 = _mm_unpackhi_epi32(r2, r3);
            // Grid row y0 + j goes to frame row row0 + 3 - j.
            uint32_t* dst = frame + (row0 + 3) * frame_columns + col0;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi64(t0, t2));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst - frame_columns),
                             _mm_unpackhi_epi64(t0, t2));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst - 2 * frame_columns),
                             _mm_unpacklo_epi64(t1, t3));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst - 3 * frame_columns),
                             _mm_unpackhi_epi64(t1, t3));
        }
    }
}
