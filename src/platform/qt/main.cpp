// The Linux program's entry: Qt first, then the same WinMain as on Windows.
#include "platform/posix/heap_thresholds.h"
#include "platform/posix/large_pages.h"
#include "platform/qt/qt_backend.h"
#include "platform/win32.h"

#include <string>

int main(int argc, char** argv) {
    vorla::platform::prefer_large_pages_for_static_data();
    vorla::platform::fix_heap_thresholds();
    vorla::platform::qt_session session(argc, argv);
    // The narrow command line as Windows hands it over: the arguments after the program name.
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            command_line += ' ';
        }
        command_line += argv[i];
    }
    return WinMain(GetModuleHandleW(nullptr), nullptr, command_line.data(), SW_SHOWDEFAULT);
}
