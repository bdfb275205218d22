// The desktop backend: a Qt 6 Widgets window per Win32 window, Qt's input, timers, file
// dialog and message boxes. No Qt header here, so the program's entry can include it beside
// the Win32 names.
#pragma once

#include <memory>

namespace vorla::platform {

// Creates the QApplication and makes the Qt backend current for as long as it lives.
class qt_session {
  public:
    qt_session(int& argc, char** argv);
    ~qt_session();
    qt_session(const qt_session&) = delete;
    qt_session& operator=(const qt_session&) = delete;

  private:
    struct parts;
    std::unique_ptr<parts> parts_;
};

} // namespace vorla::platform
