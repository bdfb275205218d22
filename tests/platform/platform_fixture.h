// A plain window whose procedure records the messages it gets, for checking message
// sequences the way Wine's user32 tests do. The same source runs on our layer and on Win32.
#pragma once

#include "harness/driver.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

// A sequence of message identifiers, printed by name when a check fails.
struct message_list : std::vector<UINT> {
    using std::vector<UINT>::vector;
};
void PrintTo(const message_list& list, std::ostream* out);

struct recorded_message {
    UINT message;
    WPARAM w_param;
    LPARAM l_param;
};

// The messages the program acts on. Windows also sends activation, focus, cursor and
// non-client messages, which our layer leaves out and the program passes to DefWindowProcW;
// they are not recorded.
inline bool recorded(UINT message) {
    switch (message) {
    case WM_NCCREATE:
    case WM_CREATE:
    case WM_SHOWWINDOW:
    case WM_SIZE:
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_TIMER:
    case WM_CLOSE:
    case WM_DESTROY:
    case WM_NCDESTROY:
    case WM_CAPTURECHANGED:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_SYSCHAR:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_SYSCOMMAND:
        return true;
    default:
        return message >= WM_USER && message < 0x8000;
    }
}

class platform_test : public ::testing::Test {
  protected:
    static inline std::vector<recorded_message> log;
    static inline LRESULT (*paint_handler)(HWND) = nullptr;
    static inline bool invalidate_on_timer = false;

    // Where each window last heard the pointer. A move to that same point is not recorded:
    // Windows sends those when windows change under a resting pointer, Wine also when X
    // reports back a move Wine made; they tell the program nothing new.
    struct pointer_seen {
        HWND window;
        WPARAM w_param;
        LPARAM l_param;
    };
    static inline std::vector<pointer_seen> pointers;

    static bool repeats_the_pointer(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
        if (message < WM_MOUSEMOVE || message > WM_RBUTTONDBLCLK) {
            return false;
        }
        for (pointer_seen& seen : pointers) {
            if (seen.window == window) {
                const bool same =
                    message == WM_MOUSEMOVE && seen.w_param == w_param && seen.l_param == l_param;
                seen = {window, w_param, l_param};
                return same;
            }
        }
        pointers.push_back({window, w_param, l_param});
        return false;
    }

    static LRESULT CALLBACK recording_proc(HWND window, UINT message, WPARAM w_param,
                                           LPARAM l_param) {
        if (recorded(message) && !repeats_the_pointer(window, message, w_param, l_param)) {
            log.push_back({message, w_param, l_param});
        }
        switch (message) {
        case WM_PAINT:
            if (paint_handler != nullptr) {
                return paint_handler(window);
            }
            break;
        case WM_TIMER:
            if (invalidate_on_timer) {
                InvalidateRect(window, nullptr, FALSE);
            }
            break;
        case WM_SYSKEYUP:
        case WM_SYSCHAR:
            return 0; // kept from the system menu, which would open on these
        default:
            break;
        }
        return DefWindowProcW(window, message, w_param, l_param);
    }

    void SetUp() override {
        driver_reset();
        log.clear();
        pointers.clear();
        paint_handler = nullptr;
        invalidate_on_timer = false;
        window = make_window(L"platform test class", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS);
        ASSERT_NE(window, nullptr);
        show(window);
        log.clear();
    }

    void TearDown() override {
        ReleaseCapture();
        for (HWND w : windows) {
            if (IsWindow(w)) {
                DestroyWindow(w);
            }
        }
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        }
        for (const std::wstring& name : classes) {
            UnregisterClassW(name.c_str(), nullptr);
        }
        driver_reset();
    }

    HWND make_window(const wchar_t* class_name, UINT style) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.style = style;
        wc.lpfnWndProc = recording_proc;
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = class_name;
        if (RegisterClassExW(&wc) == 0) {
            return nullptr;
        }
        classes.push_back(class_name);
        HWND w = CreateWindowExW(0, class_name, L"test", WS_OVERLAPPEDWINDOW, 10, 20, 320, 240,
                                 nullptr, nullptr, nullptr, nullptr);
        windows.push_back(w);
        return w;
    }

    // Shown and painted, and whatever else the system had to say about it handled.
    static void show(HWND w) {
        ShowWindow(w, SW_SHOW);
        UpdateWindow(w);
        driver_settle();
    }

    // The messages the procedure got since the last call, and forget them.
    message_list take_log() {
        message_list ids;
        for (const auto& m : log) {
            ids.push_back(m.message);
        }
        log.clear();
        return ids;
    }

    // Dispatches everything the queue gives, time standing still.
    message_list pump() {
        driver_pump();
        return take_log();
    }

    // The log with parameters, for failure messages.
    static std::string log_text() {
        std::string text;
        for (const auto& m : log) {
            text += ::testing::PrintToString(message_list{m.message}) +
                    " w=" + std::to_string(m.w_param) + " l=(" + std::to_string(LOWORD(m.l_param)) +
                    "," + std::to_string(HIWORD(m.l_param)) + ")\n";
        }
        return text;
    }

    static int count_of(const message_list& ids, UINT message) {
        int n = 0;
        for (UINT id : ids) {
            n += id == message ? 1 : 0;
        }
        return n;
    }

    HWND window = nullptr;
    std::vector<HWND> windows;
    std::vector<std::wstring> classes;
};
