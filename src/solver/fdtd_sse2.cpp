// SSE2 kernel: two cells per instruction.
#include "solver/fdtd_kernels.h"

#include <emmintrin.h>

namespace {
struct sse2_ops {
    using reg = __m128d;
    static constexpr int width = 2;
    static reg load(const double* p) {
        return _mm_load_pd(p);
    }
    static reg loadu(const double* p) {
        return _mm_loadu_pd(p);
    }
    static void store(double* p, reg v) {
        _mm_store_pd(p, v);
    }
    static reg factor(const double* f, const unsigned char*, int y) {
        return _mm_load_pd(f + y);
    }
    static reg set1(double v) {
        return _mm_set1_pd(v);
    }
    static reg sub(reg a, reg b) {
        return _mm_sub_pd(a, b);
    }
    static reg mul(reg a, reg b) {
        return _mm_mul_pd(a, b);
    }
    // a first: when both are NaN the sum is a's. The compiler may swap the operands of its
    // own addition, so the instruction is written out.
    static reg add(reg a, reg b) {
#if defined(__GNUC__)
        asm("addpd %1, %0" : "+x"(a) : "x"(b));
        return a;
#else
        return _mm_add_pd(a, b);
#endif
    }
    // [cur1, next0]
    static reg below(reg cur, reg next) {
        return _mm_shuffle_pd(cur, next, 1);
    }
    // [prev1, cur0]
    static reg carry(reg prev, reg cur) {
        return _mm_shuffle_pd(prev, cur, 1);
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

void fdtd_kernel::run_wavefront_sse2(const wavefront_job& job) {
    run_wavefront<sse2_ops>(job);
}
