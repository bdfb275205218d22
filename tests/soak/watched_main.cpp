// The program as it ships, plus a watch for the soak scripts: every 2 s it appends
// "SECONDS GDI_OBJECTS" to the file named by VORLA_RESOURCE_LOG, the first line at once, and
// with glibc the heap's bytes in use in KiB, which tell a leak from memory the heap keeps.
// The count leaves stock objects out (see tests/harness/gdi_count_win32.h for Wine).
#include "platform/win32.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include "harness/gdi_count_win32.h"
#else
#include "platform/posix/heap_thresholds.h"
#include "platform/posix/large_pages.h"
#include "platform/qt/qt_backend.h"

#include <QTimer>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

using watch_clock = std::chrono::steady_clock;

std::FILE* watch_log;
watch_clock::time_point watch_start;

// On our layer the counts are only read on the thread that owns the objects; on Windows the
// count is one system call (or one read of the handle table), so a thread of its own does it.
void write_count(DWORD gdi_objects) {
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(watch_clock::now() - watch_start);
    std::fprintf(watch_log, "%lld %lu", static_cast<long long>(seconds.count()),
                 static_cast<unsigned long>(gdi_objects));
#if defined(__GLIBC__)
    const struct mallinfo2 heap = mallinfo2();
    std::fprintf(watch_log, " %zu", (heap.uordblks + heap.hblkhd) / 1024);
#endif
    std::fputc('\n', watch_log);
    std::fflush(watch_log);
}

bool open_watch_log() {
    const char* path = std::getenv("VORLA_RESOURCE_LOG");
    if (path == nullptr || *path == '\0') {
        return false;
    }
    watch_log = std::fopen(path, "wb"); // "\n" on Windows too
    watch_start = watch_clock::now();
    return watch_log != nullptr;
}

} // namespace

#if defined(_WIN32)

namespace {

DWORD WINAPI watch_thread(void*) {
    for (;;) {
        write_count(gdi_object_count());
        Sleep(2000);
    }
}

} // namespace

int main() {
    if (open_watch_log()) {
        CloseHandle(CreateThread(nullptr, 0, watch_thread, nullptr, 0, nullptr));
    }
    return WinMain(GetModuleHandleW(nullptr), nullptr, const_cast<char*>(""), SW_SHOWDEFAULT);
}

#else

int main(int argc, char** argv) {
    vorla::platform::prefer_large_pages_for_static_data();
    vorla::platform::fix_heap_thresholds();
    vorla::platform::qt_session session(argc, argv);
    QTimer watch;
    if (open_watch_log()) {
        const auto sample = [] {
            write_count(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
        };
        QObject::connect(&watch, &QTimer::timeout, sample);
        sample();
        watch.start(2000);
    }
    return WinMain(GetModuleHandleW(nullptr), nullptr, const_cast<char*>(""), SW_SHOWDEFAULT);
}

#endif
