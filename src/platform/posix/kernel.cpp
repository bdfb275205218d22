// The kernel32 and C runtime pieces: the tick count from the backend's clock, the process
// heap, the module handle and fopen_s.
#include "platform/posix/internal.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace vorla::platform;

DWORD WINAPI GetTickCount() {
    return static_cast<DWORD>(current_backend().now_ms()); // wraps every 2^32 ms, as on Windows
}

HANDLE WINAPI GetCurrentProcess() {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)); // the pseudo handle
}

// From /proc/self/status: VmHWM is the peak resident set, VmRSS the present one, VmPeak and
// VmSize the address space (what Windows calls the pagefile usage is closest to VmSize).
BOOL WINAPI GetProcessMemoryInfo(HANDLE process, PPROCESS_MEMORY_COUNTERS counters, DWORD cb) {
    if (process != GetCurrentProcess() || counters == nullptr ||
        cb < sizeof(PROCESS_MEMORY_COUNTERS)) {
        return FALSE;
    }
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return FALSE;
    }
    std::memset(counters, 0, sizeof *counters);
    counters->cb = sizeof *counters;
    char line[256];
    int found = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        unsigned long long kib = 0;
        const auto field = [&](const char* name, SIZE_T& into) {
            const std::size_t n = std::strlen(name);
            if (std::strncmp(line, name, n) == 0 && std::sscanf(line + n, "%llu", &kib) == 1) {
                into = static_cast<SIZE_T>(kib * 1024);
                ++found;
            }
        };
        field("VmHWM:", counters->PeakWorkingSetSize);
        field("VmRSS:", counters->WorkingSetSize);
        field("VmPeak:", counters->PeakPagefileUsage);
        field("VmSize:", counters->PagefileUsage);
    }
    std::fclose(status);
    return found >= 2 ? TRUE : FALSE;
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

// Windows opens fopen_s streams unshared: while one is open for writing, a second opener
// fails instead of emptying the file under the first (read-only opens share with each other).
// An advisory lock, taken before anything is truncated, gives the same answer between the
// programs that ask for it.
errno_t fopen_s(std::FILE** stream, const char* file_name, const char* mode) {
    if (stream == nullptr) {
        return EINVAL;
    }
    *stream = nullptr;
    if (file_name == nullptr || mode == nullptr) {
        return EINVAL;
    }
    int flags = 0;
    bool truncate = false;
    switch (mode[0]) {
    case 'r':
        flags = O_RDONLY;
        break;
    case 'w':
        flags = O_WRONLY | O_CREAT;
        truncate = true;
        break;
    case 'a':
        flags = O_WRONLY | O_CREAT | O_APPEND;
        break;
    default:
        return EINVAL;
    }
    std::string stdio_mode(1, mode[0]);
    for (const char* m = mode + 1; *m != '\0'; ++m) {
        if (*m == '+') {
            flags = (flags & ~(O_RDONLY | O_WRONLY)) | O_RDWR;
            stdio_mode += '+';
        } else if (*m != 'b' && *m != 't') {
            return EINVAL;
        }
    }
    const int fd = ::open(file_name, flags | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    const int lock = (flags & (O_WRONLY | O_RDWR)) != 0 ? LOCK_EX : LOCK_SH;
    if (::flock(fd, lock | LOCK_NB) != 0 || (truncate && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return EACCES;
    }
    *stream = ::fdopen(fd, stdio_mode.c_str());
    if (*stream == nullptr) {
        const int error = errno;
        ::close(fd);
        return error != 0 ? error : EINVAL;
    }
    return 0;
}
