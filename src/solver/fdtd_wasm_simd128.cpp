// wasm SIMD kernel: two cells per instruction, for browsers that run wasm SIMD.
#include "solver/fdtd_kernels.h"

#include <wasm_simd128.h>

namespace {
struct wasm_simd128_ops {
    using reg = v128_t;
    static constexpr int width = 2;
    static reg load(const double* p) {
        return wasm_v128_load(p);
    }
    static reg loadu(const double* p) {
        return wasm_v128_load(p);
    }
    static void store(double* p, reg v) {
        wasm_v128_store(p, v);
    }
    static reg factor(const double* f, const unsigned char*, int y) {
        return wasm_v128_load(f + y);
    }
    static reg set1(double v) {
        return wasm_f64x2_splat(v);
    }
    static reg sub(reg a, reg b) {
        return wasm_f64x2_sub(a, b);
    }
    static reg mul(reg a, reg b) {
        return wasm_f64x2_mul(a, b);
    }
    // a first, as on every path; which NaN a sum of two NaNs gives is the engine's choice.
    static reg add(reg a, reg b) {
        return wasm_f64x2_add(a, b);
    }
    // [cur1, next0]
    static reg below(reg cur, reg next) {
        return wasm_i64x2_shuffle(cur, next, 1, 2);
    }
    // [prev1, cur0]
    static reg carry(reg prev, reg cur) {
        return wasm_i64x2_shuffle(prev, cur, 1, 2);
    }
};
} // namespace

#include "solver/fdtd_wavefront.inl"

void fdtd_kernel::run_wavefront_wasm_simd128(const wavefront_job& job) {
    run_wavefront<wasm_simd128_ops>(job);
}
