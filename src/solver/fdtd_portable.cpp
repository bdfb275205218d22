// Plain C++ kernel: any processor, one cell at a time.
#include "solver/fdtd_kernels.h"

namespace {
struct scalar_ops {
    using reg = double;
    static constexpr int width = 1;
    static reg load(const double* p) {
        return *p;
    }
    static reg loadu(const double* p) {
        return *p;
    }
    static void store(double* p, reg v) {
        *p = v;
    }
    static reg factor(const double* f, const unsigned char*, int y) {
        return f[y];
    }
    static reg set1(double v) {
        return v;
    }
    static reg sub(reg a, reg b) {
        return a - b;
    }
    static reg mul(reg a, reg b) {
        return a * b;
    }
    // a first: on x86 and AArch64, when both are (quiet) NaNs the sum is a's, and the
    // compiler may swap the operands of its own addition, so there the instruction is
    // written out.
    static reg add(reg a, reg b) {
#if defined(__GNUC__) && defined(__SSE2_MATH__)
        asm("addsd %1, %0" : "+x"(a) : "x"(b));
        return a;
#elif defined(__GNUC__) && defined(__aarch64__)
        double sum;
        asm("fadd %d0, %d1, %d2" : "=w"(sum) : "w"(a), "w"(b));
        return sum;
#else
        return a + b;
#endif
    }
    static reg below(reg, reg next) {
        return next;
    }
    static reg carry(reg prev, reg) {
        return prev;
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

void fdtd_kernel::run_wavefront_portable(const wavefront_job& job) {
    run_wavefront<scalar_ops>(job);
}
