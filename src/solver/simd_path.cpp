#include "solver/simd_path.h"

#if VORLA_X86_KERNELS && defined(_MSC_VER)
#include <intrin.h>
#endif

namespace {

#if VORLA_X86_KERNELS && defined(__GNUC__)
bool cpu_has_avx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
bool cpu_has_avx512() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
}
#elif VORLA_X86_KERNELS && defined(_MSC_VER)
// cpuid says what the processor has; xgetbv says whether the system saves those registers.
bool os_saves(unsigned long long mask) {
    int regs[4];
    __cpuid(regs, 1);
    const bool osxsave = (regs[2] & (1 << 27)) != 0;
    return osxsave && (_xgetbv(0) & mask) == mask;
}
bool cpu_has_avx2() {
    int regs[4];
    __cpuidex(regs, 7, 0);
    return (regs[1] & (1 << 5)) != 0 && os_saves(0x6);
}
bool cpu_has_avx512() {
    int regs[4];
    __cpuidex(regs, 7, 0);
    return (regs[1] & (1 << 16)) != 0 && (regs[1] & (1 << 17)) != 0 && os_saves(0xE6);
}
#endif

simd_path detect() {
#if VORLA_X86_KERNELS
    if (cpu_has_avx512()) {
        return simd_path::avx512;
    }
    if (cpu_has_avx2()) {
        return simd_path::avx2;
    }
    return simd_path::sse2;
#else
    return simd_path::portable;
#endif
}

simd_path& current() {
    static simd_path path = detect();
    return path;
}

} // namespace

simd_path best_simd_path() {
    static const simd_path best = detect();
    return best;
}

bool simd_path_supported(simd_path path) {
    return static_cast<int>(path) <= static_cast<int>(best_simd_path());
}

simd_path active_simd_path() {
    return current();
}

bool force_simd_path(simd_path path) {
    if (!simd_path_supported(path)) {
        return false;
    }
    current() = path;
    return true;
}

const char* simd_path_name(simd_path path) {
    switch (path) {
    case simd_path::portable:
        return "portable";
    case simd_path::sse2:
        return "sse2";
    case simd_path::avx2:
        return "avx2";
    case simd_path::avx512:
        return "avx512";
    }
    return "?";
}
