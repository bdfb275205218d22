// The Qt backend as the desktop program runs it (on Qt's offscreen platform): what
// QApplication changes behind the program's back, and how Qt's key events reach the window.
#include "display/panel_text.h"
#include "platform/qt/qt_backend.h"
#include "platform/win32.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <clocale>
#include <cwchar>
#include <locale.h>
#include <memory>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<UINT, WPARAM>> key_messages;

LRESULT CALLBACK recording_proc(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    if (message >= WM_KEYDOWN && message <= WM_SYSCHAR) {
        key_messages.push_back({message, w_param});
    }
    return DefWindowProcW(window, message, w_param, l_param);
}

class qt_session_test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "vorla_qt_tests";
        static char* argv[] = {name, nullptr};
        session = std::make_unique<vorla::platform::qt_session>(argc, argv);
    }
    static void TearDownTestSuite() {
        session.reset();
    }
    static inline std::unique_ptr<vorla::platform::qt_session> session;
};

// QApplication switches the C library to the user's locale (here de_DE, which the test set-up
// installs and the test runs under); the program's numbers must not follow it.
TEST_F(qt_session_test, NumbersPrintAsInTheCLocaleUnderAGermanLocale) {
    const locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", nullptr);
    ASSERT_NE(german, locale_t{}) << "the de_DE.UTF-8 locale is not installed";
    const locale_t before = uselocale(german);
    wchar_t text[32];
    std::swprintf(text, 32, L"%lf", 1.0);
    uselocale(before);
    freelocale(german);
    EXPECT_STREQ(text, L"1,000000"); // what the user's locale alone would print
    EXPECT_STREQ(std::setlocale(LC_CTYPE, nullptr), "de_DE.UTF-8"); // QApplication took it

    const judged_summary summary{1, 1.0};
    wchar_t line[panel_buffer_size];
    format_panel_line(line, panel_line_id::judged, nullptr, &summary);
    EXPECT_STREQ(line, L" Judging Source END  Num. Source: 1  Maximum pressure:1.000000");
}

// Qt's key events become the messages Windows sends: Alt+S is a system key, and a Cyrillic
// letter is the virtual key of its US position.
TEST_F(qt_session_test, KeyEventsBecomeWindowsKeyMessages) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = recording_proc;
    wc.lpszClassName = L"qt key test";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    HWND window = CreateWindowExW(0, L"qt key test", L"keys", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ShowWindow(window, SW_SHOW);
    QWidget* widget = nullptr;
    for (QWidget* candidate : QApplication::topLevelWidgets()) {
        if (candidate->windowTitle() == QStringLiteral("keys")) {
            widget = candidate;
        }
    }
    ASSERT_NE(widget, nullptr);

    constexpr quint32 keycode_s = 39, keycode_t = 28;
    QKeyEvent alt_s_down(QEvent::KeyPress, Qt::Key_S, Qt::AltModifier, keycode_s, 0, 0, "s");
    QKeyEvent alt_s_up(QEvent::KeyRelease, Qt::Key_S, Qt::AltModifier, keycode_s, 0, 0, "s");
    QKeyEvent cyrillic_up(QEvent::KeyRelease, 0x0415, Qt::NoModifier, keycode_t, 0, 0,
                          QStringLiteral("\u0435"));
    QApplication::sendEvent(widget, &alt_s_down);
    QApplication::sendEvent(widget, &alt_s_up);
    QApplication::sendEvent(widget, &cyrillic_up);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
    const std::vector<std::pair<UINT, WPARAM>> expected{
        {WM_SYSKEYDOWN, 'S'}, {WM_SYSCHAR, 's'}, {WM_SYSKEYUP, 'S'}, {WM_KEYUP, 'T'}};
    EXPECT_EQ(key_messages, expected);
    DestroyWindow(window);
    UnregisterClassW(L"qt key test", nullptr);
}

} // namespace
