// libFuzzer target over the bitmap loader: whatever the bytes, a bitmap loads or the load
// fails; nothing is read or written out of bounds (built with AddressSanitizer), and a loaded
// bitmap is no larger than the loader allows and reads back through GetPixel.
#include "platform/posix/internal.h"
#include "platform/win32.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<char> bytes(reinterpret_cast<const char*>(data),
                                  reinterpret_cast<const char*>(data) + size);
    HANDLE handle = vorla::platform::load_bitmap_bytes(bytes);
    if (handle == nullptr) {
        return 0;
    }
    HBITMAP bitmap = static_cast<HBITMAP>(handle);
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof info, &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0 ||
        static_cast<long long>(info.bmWidth) * info.bmHeight > (1LL << 24)) {
        std::abort();
    }
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const COLORREF corner = GetPixel(dc, info.bmWidth - 1, info.bmHeight - 1);
    if (corner == CLR_INVALID || GetPixel(dc, info.bmWidth, 0) != CLR_INVALID) {
        std::abort();
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return 0;
}
