#include "solver/engine.h"

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

engine detect() {
#if VORLA_X86_KERNELS
    if (cpu_has_avx512()) {
        return engine::avx512;
    }
    if (cpu_has_avx2()) {
        return engine::avx2;
    }
    return engine::sse2;
#else
    return engine::portable;
#endif
}

struct choice {
    engine kernels = shipped_engine();
    step_watch watch{};
};

choice& current() {
    static choice c;
    return c;
}

} // namespace

engine shipped_engine() {
    static const engine best = detect();
    return best;
}

bool engine_supported(engine kernels) {
    return static_cast<int>(kernels) <= static_cast<int>(shipped_engine()) ||
           kernels == engine::shipped;
}

bool use_engine(engine kernels, const step_watch& watch) {
    if (!engine_supported(kernels)) {
        return false;
    }
    current() = choice{kernels == engine::shipped ? shipped_engine() : kernels, watch};
    return true;
}

engine active_engine() {
    return current().kernels;
}

const step_watch& active_step_watch() {
    return current().watch;
}

const char* engine_name(engine kernels) {
    switch (kernels) {
    case engine::reference:
        return "reference";
    case engine::portable:
        return "portable";
    case engine::sse2:
        return "sse2";
    case engine::avx2:
        return "avx2";
    case engine::avx512:
        return "avx512";
    case engine::shipped:
        return "shipped";
    }
    return "?";
}

std::optional<engine> engine_named(std::string_view name) {
    for (engine e : {engine::reference, engine::portable, engine::sse2, engine::avx2,
                     engine::avx512, engine::shipped}) {
        if (name == engine_name(e)) {
            return e;
        }
    }
    return std::nullopt;
}
