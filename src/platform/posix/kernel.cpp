// The kernel32 and C runtime pieces: the tick count from the backend's clock, the process
// heap, the module handle and fopen_s.
#include "platform/posix/internal.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace vorla::platform;

DWORD WINAPI GetTickCount() {
    return static_cast<DWORD>(current_backend().now_ms()); // wraps every 2^32 ms, as on Windows
}

HANDLE WINAPI GetProcessHeap() {
    static int heap_marker;
    return &heap_marker;
}

LPVOID WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap != GetProcessHeap()) {
        return nullptr;
    }
    const SIZE_T size = bytes == 0 ? 1 : bytes;
    return (flags & HEAP_ZERO_MEMORY) != 0 ? std::calloc(1, size) : std::malloc(size);
}

BOOL WINAPI HeapFree(HANDLE heap, DWORD, LPVOID memory) {
    if (heap != GetProcessHeap()) {
        return FALSE;
    }
    std::free(memory);
    return TRUE;
}

HMODULE WINAPI GetModuleHandleW(LPCWSTR module_name) {
    if (module_name != nullptr) {
        return nullptr; // no modules but the program itself
    }
    return reinterpret_cast<HMODULE>(static_cast<std::uintptr_t>(0x400000));
}

void WINAPI Sleep(DWORD milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

errno_t fopen_s(std::FILE** stream, const char* file_name, const char* mode) {
    if (stream == nullptr) {
        return EINVAL;
    }
    *stream = nullptr;
    if (file_name == nullptr || mode == nullptr) {
        return EINVAL;
    }
    errno = 0;
    *stream = std::fopen(file_name, mode);
    if (*stream == nullptr) {
        return errno != 0 ? errno : EINVAL;
    }
    return 0;
}
