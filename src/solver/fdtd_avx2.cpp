// AVX2 kernel: four cells per instruction. Built with -mavx2 (and no FMA).
#include "solver/fdtd_kernels.h"

#include <immintrin.h>

namespace {
struct avx2_ops {
    using reg = __m256d;
    static constexpr int width = 4;
    static reg load(const double* p) {
        return _mm256_load_pd(p);
    }
    static reg loadu(const double* p) {
        return _mm256_loadu_pd(p);
    }
    static void store(double* p, reg v) {
        _mm256_store_pd(p, v);
    }
    static reg factor(const double* f, const unsigned char*, int y) {
        return _mm256_load_pd(f + y);
    }
    static reg set1(double v) {
        return _mm256_set1_pd(v);
    }
    static reg sub(reg a, reg b) {
        return _mm256_sub_pd(a, b);
    }
    static reg mul(reg a, reg b) {
        return _mm256_mul_pd(a, b);
    }
    // a first: when both are NaN the sum is a's. The compiler may swap the operands of its
    // own addition, so the instruction is written out.
    static reg add(reg a, reg b) {
#if defined(__GNUC__)
        reg sum;
        asm("vaddpd %2, %1, %0" : "=x"(sum) : "x"(a), "x"(b));
        return sum;
#else
        return _mm256_add_pd(a, b);
#endif
    }
    static reg neg(reg a) {
        return _mm256_xor_pd(a, _mm256_set1_pd(-0.0));
    }
    // b in the lanes named by the bits of lanes, a elsewhere
    template <int lanes> static reg blend(reg a, reg b) {
        return _mm256_blend_pd(a, b, lanes);
    }
    template <int lanes> static void store_lanes(double* p, reg v) {
        const __m256i which = _mm256_set_epi64x((lanes & 8) ? -1 : 0, (lanes & 4) ? -1 : 0,
                                                (lanes & 2) ? -1 : 0, (lanes & 1) ? -1 : 0);
        _mm256_maskstore_pd(p, which, v);
    }
    // [cur1, cur2, cur3, next0]
    static reg below(reg cur, reg next) {
        const reg straddle = _mm256_permute2f128_pd(cur, next, 0x21); // cur2 cur3 next0 next1
        return _mm256_shuffle_pd(cur, straddle, 0x5);
    }
    // [prev3, cur0, cur1, cur2]
    static reg carry(reg prev, reg cur) {
        const reg straddle = _mm256_permute2f128_pd(prev, cur, 0x21); // prev2 prev3 cur0 cur1
        return _mm256_shuffle_pd(straddle, cur, 0x5);
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

void fdtd_kernel::run_wavefront_avx2(const wavefront_job& job) {
    run_wavefront<avx2_ops>(job);
}
