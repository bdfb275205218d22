// The browser program's entry: the web backend, then the same WinMain as on Windows.
#include "platform/web/web_backend.h"
#include "platform/win32.h"

#include <string>

int main(int argc, char** argv) {
    vorla::platform::web_session session;
    std::string command_line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            command_line += ' ';
        }
        command_line += argv[i];
    }
    const int code =
        WinMain(GetModuleHandleW(nullptr), nullptr, command_line.data(), SW_SHOWDEFAULT);
    vorla::platform::report_program_end(code);
    return code;
}
