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
    static reg add(reg a, reg b) {
        return a + b;
    }
    static reg carry(reg prev, reg) {
        return prev;
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

void fdtd_kernel::run_wavefront_portable(const wavefront_job& job) {
    wavefront<scalar_ops>::run(job);
}
