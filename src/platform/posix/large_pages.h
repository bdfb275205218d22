// Huge pages for the program's static data, where the system hands them out on request.
// The grids (about 40 MiB with the solver's own tables) live there, and the kernels walk
// every page of them in every band of rows: with 4 KiB pages their translations do not
// fit the TLB, and each miss costs a page walk (twice over in a virtual machine). Linux
// only; elsewhere this does nothing. Call it first thing in main, before the grids are
// written: pages already touched stay small until the system collapses them.
#pragma once

#if defined(__linux__)
#include <sys/mman.h>

#include <cstdint>

// The linker's bounds of the executable's zero-initialised data.
extern "C" char __bss_start;
extern "C" char _end;
#endif

namespace vorla::platform {

inline void prefer_large_pages_for_static_data() {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t page = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(&__bss_start) + page - 1) & ~(page - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(&_end) & ~(page - 1);
    if (end > begin) {
        // Only a hint: without huge pages the program runs the same, a little slower.
        (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#endif
}

} // namespace vorla::platform
