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
    // Eight products from one byte of bits: fewer bytes to carry through the caches.
    static reg factor(const double*, const unsigned char* bits, int y) {
        return _mm512_maskz_mov_pd(_cvtu32_mask8(bits[y / 8]), _mm512_set1_pd(1.0));
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
    static reg add(reg a, reg b) {
        return _mm512_add_pd(a, b);
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
    // [prev7, cur0 .. cur6]
    static reg carry(reg prev, reg cur) {
        const __m512i lanes = _mm512_set_epi64(14, 13, 12, 11, 10, 9, 8, 7);
        return _mm512_permutex2var_pd(prev, lanes, cur);
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

void fdtd_kernel::run_wavefront_avx512(const wavefront_job& job) {
    wavefront<avx512_ops>::run(job);
}
