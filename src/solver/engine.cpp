#include "solver/engine.h"

#if VORLA_X86_KERNELS && defined(_MSC_VER)
#include <intrin.h>
#elif VORLA_X86_KERNELS && defined(__GNUC__)
#include <cpuid.h>
#elif defined(__aarch64__) && defined(__linux__)
#include <unistd.h>
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
#elif defined(__wasm_simd128__)
    return engine::wasm_simd128; // the page loads this build only where the browser has it
#elif VORLA_NEON_KERNELS
    return engine::neon; // Advanced SIMD is part of every AArch64 processor
#else
    return engine::portable;
#endif
}

#if VORLA_X86_KERNELS
bool cpuid(unsigned leaf, unsigned subleaf, unsigned (&regs)[4]) {
#if defined(_MSC_VER)
    int r[4];
    __cpuid(r, static_cast<int>(leaf & 0x80000000u));
    if (static_cast<unsigned>(r[0]) < leaf) {
        return false;
    }
    __cpuidex(r, static_cast<int>(leaf), static_cast<int>(subleaf));
    for (int i = 0; i < 4; ++i) {
        regs[i] = static_cast<unsigned>(r[i]);
    }
    return true;
#else
    return __get_cpuid_count(leaf, subleaf, &regs[0], &regs[1], &regs[2], &regs[3]) != 0;
#endif
}

// The deterministic cache parameters (leaf 4 on Intel, 0x8000001D on AMD): the first-level
// data cache's ways x partitions x line size x sets.
int level_one_data_bytes(unsigned leaf) {
    for (unsigned index = 0; index < 16; ++index) {
        unsigned r[4];
        if (!cpuid(leaf, index, r)) {
            return 0;
        }
        const unsigned type = r[0] & 0x1F;
        if (type == 0) {
            return 0;
        }
        if (type == 1 && ((r[0] >> 5) & 7) == 1) {
            const unsigned ways = (r[1] >> 22) + 1;
            const unsigned partitions = ((r[1] >> 12) & 0x3FF) + 1;
            const unsigned line = (r[1] & 0xFFF) + 1;
            const unsigned sets = r[2] + 1;
            return static_cast<int>(ways * partitions * line * sets);
        }
    }
    return 0;
}

int detect_data_cache() {
    int bytes = level_one_data_bytes(4);
    if (bytes == 0) {
        bytes = level_one_data_bytes(0x8000001Du);
    }
    unsigned r[4];
    if (bytes == 0 && cpuid(0x80000005u, 0, r)) {
        bytes = static_cast<int>((r[2] >> 24) * 1024); // AMD's older leaf, in KiB
    }
    return bytes;
}
#elif defined(__aarch64__) && defined(__linux__)
// Arm lets no user program read the cache geometry; glibc asks the kernel, and says 0 (or
// fails) where it cannot.
int detect_data_cache() {
    const long bytes = sysconf(_SC_LEVEL1_DCACHE_SIZE);
    return bytes > 0 && bytes <= (1 << 24) ? static_cast<int>(bytes) : 0;
}
#else
int detect_data_cache() {
    return 0;
}
#endif

struct choice {
    engine kernels = shipped_engine();
    step_watch watch{};
    tile_shape tiles = tile_shape_for(detected_data_cache_bytes());
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
    if (kernels == engine::shipped || kernels == engine::reference || kernels == engine::portable ||
        kernels == shipped_engine()) {
        return true;
    }
    // The x86 kernels nest: each runs wherever a wider one does.
    const auto x86 = [](engine e) {
        return e == engine::sse2 || e == engine::avx2 || e == engine::avx512;
    };
    return x86(kernels) && x86(shipped_engine()) &&
           static_cast<int>(kernels) <= static_cast<int>(shipped_engine());
}

int detected_data_cache_bytes() {
    static const int bytes = detect_data_cache();
    return bytes;
}

// A front of a band keeps about 27 pieces of band_rows rows in use (the three grids of its
// eight step columns and their neighbours); the band is as tall as lets them fill about
// 85 % of the first-level cache: 128 rows for 32 KiB, 192 for 48 KiB. The skews stay one
// vector of rows per step and per column, which needs one new line per grid and step from
// one front to the next. Kept between 64 rows (the in-kernel mask comparison needs at
// least seven steps' skew) and 256.
tile_shape tile_shape_for(int data_cache_bytes) {
    constexpr int pieces = 27;
    const int bytes = data_cache_bytes > 0 ? data_cache_bytes : 32 * 1024;
    int rows = static_cast<int>(static_cast<long long>(bytes) * 85 / 100 / (pieces * 8)) / 64 * 64;
    rows = rows < 64 ? 64 : rows > 256 ? 256 : rows;
    return tile_shape{rows, 8, 8};
}

bool use_engine(engine kernels, const step_watch& watch, int data_cache_bytes) {
    if (!engine_supported(kernels)) {
        return false;
    }
    const int cache = data_cache_bytes > 0 ? data_cache_bytes : detected_data_cache_bytes();
    current() = choice{kernels == engine::shipped ? shipped_engine() : kernels, watch,
                       tile_shape_for(cache)};
    return true;
}

tile_shape active_tile_shape() {
    return current().tiles;
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
    case engine::wasm_simd128:
        return "wasm-simd128";
    case engine::neon:
        return "neon";
    case engine::shipped:
        return "shipped";
    }
    return "?";
}

std::optional<engine> engine_named(std::string_view name) {
    for (engine e : {engine::reference, engine::portable, engine::sse2, engine::avx2,
                     engine::avx512, engine::wasm_simd128, engine::neon, engine::shipped}) {
        if (name == engine_name(e)) {
            return e;
        }
    }
    return std::nullopt;
}
