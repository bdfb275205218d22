// AVX-512 kernel: eight cells per instruction, one cache line. Built with -mavx512f.
#include "solver/fdtd_kernels.h"

#include <immintrin.h>

// GCC 12 warns about the deliberately undefined pass-through operand inside its own
// AVX-512 intrinsics.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {
struct factor_table {
    alignas(64) double rows[256][8];
};
constexpr factor_table make_factors() {
    factor_table t{};
    for (int byte = 0; byte < 256; ++byte) {
        for (int lane = 0; lane < 8; ++lane) {
            t.rows[byte][lane] = (byte >> lane) & 1 ? 1.0 : 0.0;
        }
    }
    return t;
}
constexpr factor_table face_factors = make_factors();

struct avx512_ops {
    using reg = __m512d;
    static constexpr int width = 8;
    static reg load(const double* p) {
        return _mm512_load_pd(p);
    }
    static reg loadu(const double* p) {
        return _mm512_loadu_pd(p);
    }
    static void store(double* p, reg v) {
        _mm512_store_pd(p, v);
    }
    // Eight face products (1.0 or 0.0) from one byte of bits (fewer bytes to carry through
    // the caches), as a vector looked up in a table: a plain load, where a mask register
    // would cost a move on the vector port that the arithmetic keeps busy. Few bytes occur in
    // a field, so few lines of the table are ever touched.
    static reg factor(const double*, const unsigned char* bits, int y) {
        return _mm512_load_pd(face_factors.rows[bits[y / 8]]);
    }
    static reg set1(double v) {
        return _mm512_set1_pd(v);
    }
    static reg sub(reg a, reg b) {
        return _mm512_sub_pd(a, b);
    }
    static reg mul(reg a, reg b) {
        return _mm512_mul_pd(a, b);
    }
    // a first: when both are NaN the sum is a's. The compiler may swap the operands of its
    // own addition, so the instruction is written out.
    static reg add(reg a, reg b) {
#if defined(__GNUC__)
        reg sum;
        asm("vaddpd %2, %1, %0" : "=v"(sum) : "v"(a), "v"(b));
        return sum;
#else
        return _mm512_add_pd(a, b);
#endif
    }
    static reg neg(reg a) {
        return _mm512_castsi512_pd(
            _mm512_xor_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(_mm512_set1_pd(-0.0))));
    }
    // b in the lanes named by the bits of lanes, a elsewhere
    template <int lanes> static reg blend(reg a, reg b) {
        return _mm512_mask_mov_pd(a, static_cast<__mmask8>(lanes), b);
    }
    template <int lanes> static void store_lanes(double* p, reg v) {
        _mm512_mask_store_pd(p, static_cast<__mmask8>(lanes), v);
    }
    // [prev7, cur0 .. cur6]; valignq leaves both sources intact.
    static reg carry(reg prev, reg cur) {
        return _mm512_castsi512_pd(
            _mm512_alignr_epi64(_mm512_castpd_si512(cur), _mm512_castpd_si512(prev), 7));
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

using fdtd_kernel::group_stride;

void fdtd_kernel::run_wavefront_avx512(const wavefront_job& job) {
    wavefront<avx512_ops>::run(job);
}

bool fdtd_kernel::mask_matches_ones_avx512(const int32_t* mask, const uint16_t* ones) {
    static_assert(first_y / 16 * 16 + 2 == first_y && last_y % 16 == 2);
    constexpr int first_group = first_y / 16;
    constexpr int last_group = last_y / 16;
    const __m512i one = _mm512_set1_epi32(1);
    const __m512i not_one = _mm512_set1_epi32(~1);
    for (int x = first_x; x <= last_x; ++x) {
        const int32_t* column = mask + static_cast<long>(x) * stride;
        const uint16_t* expected = ones + x * group_stride;
        __mmask16 differ = 0;
        for (int g = first_group; g <= last_group; ++g) {
            // Rows 144, 145 and 723..735 lie outside the region.
            const __mmask16 rows = g == first_group  ? __mmask16(0xFFFC)
                                   : g == last_group ? __mmask16(0x0007)
                                                     : __mmask16(0xFFFF);
            const __m512i m = _mm512_load_si512(column + 16 * g);
            const __mmask16 is_one = _mm512_mask_cmpeq_epi32_mask(rows, m, one);
            const __mmask16 odd = _mm512_mask_test_epi32_mask(rows, m, not_one);
            differ |= static_cast<__mmask16>(is_one ^ expected[g]) | odd;
        }
        if (differ != 0) {
            return false;
        }
    }
    return true;
}
