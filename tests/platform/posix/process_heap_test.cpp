// The process heap of our layer: blocks come zeroed when asked, and a large block (the frame
// buffer of every repaint) goes back to the system when freed, every time, so that a long
// session does not keep memory it no longer uses.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

SIZE_T resident_bytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    EXPECT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters));
    EXPECT_GE(counters.PeakWorkingSetSize, counters.WorkingSetSize);
    return counters.WorkingSetSize;
}

TEST(ProcessHeap, BlocksComeZeroedAndLargeOnesGoBackToTheSystemEachTime) {
    constexpr SIZE_T large = 16u << 20;
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        auto* block =
            static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, large));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block[0] | block[large / 2] | block[large - 1], 0);
        std::memset(block, 0x5A, large);
        const SIZE_T in_use = resident_bytes();
        EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
        EXPECT_LT(resident_bytes() + (12u << 20), in_use);
    }
    for (const SIZE_T size : {SIZE_T{0}, SIZE_T{24}, SIZE_T{100000}}) {
        auto* block =
            static_cast<unsigned char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size));
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(block[size == 0 ? 0 : size - 1], 0);
        EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, block));
    }
    EXPECT_EQ(HeapAlloc(GetProcessHeap(), 0, ~SIZE_T{0}), nullptr);
}

} // namespace
