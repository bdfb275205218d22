// AArch64 Advanced SIMD kernel: two cells per instruction.
#include "solver/fdtd_kernels.h"

#include <arm_neon.h>

namespace {
struct neon_ops {
    using reg = float64x2_t;
    static constexpr int width = 2;
    static reg load(const double* p) {
        return vld1q_f64(p);
    }
    static reg loadu(const double* p) {
        return vld1q_f64(p);
    }
    static void store(double* p, reg v) {
        vst1q_f64(p, v);
    }
    static reg factor(const double* f, const unsigned char*, int y) {
        return vld1q_f64(f + y);
    }
    static reg set1(double v) {
        return vdupq_n_f64(v);
    }
    static reg sub(reg a, reg b) {
        return vsubq_f64(a, b);
    }
    static reg mul(reg a, reg b) {
        return vmulq_f64(a, b);
    }
    // a first: of two quiet NaNs the sum is a's. The compiler may swap the operands of its
    // own addition, so the instruction is written out.
    static reg add(reg a, reg b) {
#if defined(__GNUC__)
        reg sum;
        asm("fadd %0.2d, %1.2d, %2.2d" : "=w"(sum) : "w"(a), "w"(b));
        return sum;
#else
        return vaddq_f64(a, b);
#endif
    }
    // [cur1, next0]
    static reg below(reg cur, reg next) {
        return vextq_f64(cur, next, 1);
    }
    // [prev1, cur0]
    static reg carry(reg prev, reg cur) {
        return vextq_f64(prev, cur, 1);
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

void fdtd_kernel::run_wavefront_neon(const wavefront_job& job) {
    run_wavefront<neon_ops>(job);
}
