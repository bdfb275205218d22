// The harness on the real Win32 API (Windows itself, or Wine). Modal dialogs are answered by
// the test driver, from inside their own modal loops.
#include "harness.h"

#include "harness/driver.h"

#include "app/app_state.h"
#include "app/program.h"
#include "state/simulation_state.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct harness_state {
    HWND window = nullptr;
    std::wstring previous_folder;
    std::wstring work_folder;
};

harness_state harness;

std::wstring widen(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), n,
                        nullptr, nullptr);
    return utf8;
}

std::wstring fresh_folder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned serial = 0;
    for (;;) {
        wchar_t name[MAX_PATH + 64];
        swprintf(name, MAX_PATH + 64, L"%lsvorla-test-%lu-%u", temp,
                 static_cast<unsigned long>(GetCurrentProcessId()), ++serial);
        if (CreateDirectoryW(name, nullptr)) {
            return name;
        }
    }
}

// Left out of the pump: real timer ticks (tests send WM_TIMER themselves, and a 1 ms timer
// would keep the pump going forever) and input from the real pointer and keyboard (the tests
// are the only user; a pointer resting over the window would move the drag points).
bool left_out(const MSG& message) {
    return message.message == WM_QUIT || message.message == WM_TIMER ||
           (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST) ||
           (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST);
}

} // namespace

HWND test_start_window() {
    driver_reset();
    reset_app_state();

    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    harness.previous_folder = current;
    harness.work_folder = fresh_folder();
    SetCurrentDirectoryW(harness.work_folder.c_str());

    HWND window = nullptr;
    if (start_program(GetModuleHandleW(nullptr), &window) != 0) {
        return nullptr;
    }
    harness.window = window;
    return window;
}

void test_stop_window() {
    stop_program(harness.window);
    harness.window = nullptr;
    SetCurrentDirectoryW(harness.previous_folder.c_str());
}

int test_pump() {
    int paints = 0;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (left_out(message)) {
            continue;
        }
        if (message.message == WM_PAINT && message.hwnd == harness.window) {
            ++paints;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return paints;
}

void test_answer_next_open_dialog(const std::string& path) {
    if (path.empty()) {
        driver_answer_open_dialog(std::nullopt);
    } else {
        driver_answer_open_dialog(std::filesystem::path(widen(path)));
    }
}

std::vector<std::wstring> test_message_box_texts() {
    std::vector<std::wstring> texts;
    for (const driver_dialog& shown : driver_dialogs_shown()) {
        if (shown.is_message_box) {
            texts.push_back(shown.text);
        }
    }
    return texts;
}

COLORREF test_client_pixel(int x, int y) {
    HDC dc = GetDC(harness.window);
    const COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(harness.window, dc);
    return color;
}

std::string test_work_folder() {
    return narrow(harness.work_folder);
}
