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
            t.rows[byte][lane] = (byte >> lane) & 1 ? 0.5 : 0.0;
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
    // Eight halved face products (0.5 or 0.0) from one byte of bits (fewer bytes to carry through
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
    // Whether rows ya..y_last (region rows) of a mask column hold 1 exactly where the bits
    // of ones (sixteen rows a word) are set and 0 elsewhere: the bits spread into a vector of
    // ones and zeros, and one comparison finds every other value too.
    static bool mask_rows_match(const int32_t* column, const uint16_t* ones, int ya, int y_last) {
        static_assert(fdtd_kernel::first_y % 16 == 2 && fdtd_kernel::last_y % 16 == 2);
        const __m512i one = _mm512_set1_epi32(1);
        __mmask16 differ = 0;
        for (int g = ya / 16; g <= y_last / 16; ++g) {
            // Rows 144, 145 and 723..735 lie outside the region.
            const __mmask16 rows = g == fdtd_kernel::first_y / 16  ? __mmask16(0xFFFC)
                                   : g == fdtd_kernel::last_y / 16 ? __mmask16(0x0007)
                                                                   : __mmask16(0xFFFF);
            const __m512i expected = _mm512_maskz_mov_epi32(ones[g], one);
            differ = _kor_mask16(differ, _mm512_mask_cmpneq_epi32_mask(
                                             rows, _mm512_load_si512(column + 16 * g), expected));
        }
        return differ == 0;
    }
    // [cur1 .. cur7, next0]
    static reg below(reg cur, reg next) {
        return _mm512_castsi512_pd(
            _mm512_alignr_epi64(_mm512_castpd_si512(next), _mm512_castpd_si512(cur), 1));
    }
    // [prev7, cur0 .. cur6]; valignq leaves both sources intact.
    static reg carry(reg prev, reg cur) {
        return _mm512_castsi512_pd(
            _mm512_alignr_epi64(_mm512_castpd_si512(cur), _mm512_castpd_si512(prev), 7));
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

void fdtd_kernel::run_wavefront_avx512(const wavefront_job& job) {
    wavefront<avx512_ops, true>::run(job); // the bits exist only while the products are 0 or 1
}
