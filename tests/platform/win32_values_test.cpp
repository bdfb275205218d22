// Every value of the posix layer's Win32 table against <windows.h> itself: compiled only in
// the Windows build, where a drifted value stops the build.
#include "platform/win32.h"

#include <gtest/gtest.h>

#define X(name, value) static_assert((name) == (value), #name " differs from <windows.h>");
#define R(name, value)
#include "platform/posix/win32_values.def"
#undef X
#undef R

namespace {

TEST(Win32Values, ResourceIdentifiersMatch) {
#define X(name, value)
#define R(name, value)                                                                             \
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(name), static_cast<ULONG_PTR>(value)) << #name;
#include "platform/posix/win32_values.def"
#undef X
#undef R
}

TEST(Win32Values, RecordLayoutsMatch) {
    EXPECT_EQ(sizeof(BITMAPINFOHEADER), 40u);
    EXPECT_EQ(sizeof(RGBQUAD), 4u);
    EXPECT_EQ(sizeof(RECT), 16u);
    EXPECT_EQ(sizeof(POINT), 8u);
    EXPECT_EQ(sizeof(DWORD), 4u);
    EXPECT_EQ(sizeof(LONG), 4u);
    EXPECT_EQ(sizeof(WCHAR), 2u);
}

} // namespace
