// The harness on the real Win32 API (Windows itself, or Wine). Modal dialogs are answered
// from a thread timer: its callback runs inside their nested message loops, finds the dialog
// among the thread's windows, and either fills in the open dialog's file name and presses
// OK, or reads a message box's text and presses OK.
#include "harness.h"

#include "app/app_state.h"
#include "app/program.h"
#include "state/simulation_state.h"

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr int file_name_edit_id = 0x480;  // edt1
constexpr int file_name_combo_id = 0x47c; // cmb13

struct harness_state {
    HWND window = nullptr;
    UINT_PTR answer_timer = 0;
    std::wstring previous_folder;
    std::wstring work_folder;
    bool dialog_answer_pending = false;
    std::wstring dialog_answer; // empty: cancel
    std::vector<std::wstring> message_box_texts;
    std::vector<HWND> answered;
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

std::wstring window_text(HWND window) {
    wchar_t buffer[512];
    const int n = GetWindowTextW(window, buffer, 512);
    return std::wstring(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
}

std::wstring class_of(HWND window) {
    wchar_t buffer[64];
    const int n = GetClassNameW(window, buffer, 64);
    return std::wstring(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
}

BOOL CALLBACK collect_static_text(HWND child, LPARAM context) {
    auto* texts = reinterpret_cast<std::wstring*>(context);
    if (class_of(child) == L"Static") {
        const std::wstring text = window_text(child);
        if (!text.empty()) {
            if (!texts->empty()) {
                texts->push_back(L'\n');
            }
            *texts += text;
        }
    }
    return TRUE;
}

void answer_dialog(HWND dialog) {
    if (std::find(harness.answered.begin(), harness.answered.end(), dialog) !=
        harness.answered.end()) {
        return;
    }
    HWND file_name = GetDlgItem(dialog, file_name_edit_id);
    if (file_name == nullptr) {
        file_name = GetDlgItem(dialog, file_name_combo_id);
    }
    if (file_name != nullptr) {
        harness.answered.push_back(dialog);
        if (harness.dialog_answer_pending && !harness.dialog_answer.empty()) {
            SetWindowTextW(file_name, harness.dialog_answer.c_str());
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
        } else {
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDCANCEL)));
        }
        harness.dialog_answer_pending = false;
        return;
    }
    // A message box: its text is the one non-empty static control.
    std::wstring text;
    EnumChildWindows(dialog, collect_static_text, reinterpret_cast<LPARAM>(&text));
    harness.answered.push_back(dialog);
    harness.message_box_texts.push_back(text);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
}

BOOL CALLBACK find_dialog(HWND window, LPARAM) {
    if (IsWindowVisible(window) && class_of(window) == L"#32770") {
        answer_dialog(window);
    }
    return TRUE;
}

void CALLBACK answer_dialogs(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), find_dialog, 0);
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
    reset_app_state();
    harness.message_box_texts.clear();
    harness.answered.clear();
    harness.dialog_answer_pending = false;

    wchar_t current[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, current);
    harness.previous_folder = current;
    harness.work_folder = fresh_folder();
    SetCurrentDirectoryW(harness.work_folder.c_str());

    harness.answer_timer = SetTimer(nullptr, 0, 20, answer_dialogs);
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
    if (harness.answer_timer != 0) {
        KillTimer(nullptr, harness.answer_timer);
        harness.answer_timer = 0;
    }
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
    harness.dialog_answer = widen(path);
    harness.dialog_answer_pending = true;
}

std::vector<std::wstring> test_message_box_texts() {
    return harness.message_box_texts;
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
