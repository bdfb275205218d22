// The browser backend: each Win32 window is a canvas of the page (page.js), drawn with
// putImageData where its framebuffer changed; the page's mouse and key events, its clock,
// and its <dialog>s for the file dialog and message boxes. Waits hand the thread back to the
// browser (ASYNCIFY), so a blocking GetMessageW loop runs as it does on Windows.
#pragma once

#include <memory>

namespace vorla::platform {

// Makes the web backend current for as long as it lives.
class web_session {
  public:
    web_session();
    ~web_session();
    web_session(const web_session&) = delete;
    web_session& operator=(const web_session&) = delete;
};

// Tells the page that the program has ended, with its exit code.
void report_program_end(int exit_code);

} // namespace vorla::platform
