// A plain window on the headless backend whose procedure records the messages it gets, for
// checking message sequences the way Wine's user32 tests do.
#pragma once

#include "platform/headless/headless.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct recorded_message {
    UINT message;
    WPARAM w_param;
    LPARAM l_param;
};

class platform_test : public ::testing::Test {
  protected:
    static inline std::vector<recorded_message> log;
    static inline LRESULT (*paint_handler)(HWND) = nullptr;

    static LRESULT CALLBACK recording_proc(HWND window, UINT message, WPARAM w_param,
                                           LPARAM l_param) {
        log.push_back({message, w_param, l_param});
        if (message == WM_PAINT && paint_handler != nullptr) {
            return paint_handler(window);
        }
        return DefWindowProcW(window, message, w_param, l_param);
    }

    void SetUp() override {
        vorla::headless::install();
        log.clear();
        paint_handler = nullptr;
        window = make_window(L"platform test class", CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS);
        ASSERT_NE(window, nullptr);
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
        vorla::headless::run_until_idle();
        log.clear();
    }

    void TearDown() override {
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
        ReleaseCapture();
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

    // The messages the procedure got since the last call, and forget them.
    std::vector<UINT> take_log() {
        std::vector<UINT> ids;
        for (const auto& m : log) {
            ids.push_back(m.message);
        }
        log.clear();
        return ids;
    }

    // Dispatches everything the queue gives without moving the clock.
    std::vector<UINT> pump() {
        vorla::headless::run_until_idle();
        return take_log();
    }

    static int count_of(const std::vector<UINT>& ids, UINT message) {
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
