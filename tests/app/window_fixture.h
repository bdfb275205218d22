// A started main window per test, driven by messages as the system would send them.
#pragma once

#include "harness/harness.h"
#include "platform/win32.h"
#include "state/simulation_state.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// A file in the running test's folder, with the folder's own separator.
inline std::string in_work_folder(const std::string& name) {
    const std::string folder = test_work_folder();
    const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
    return folder + separator + name;
}

class window_test : public ::testing::Test {
  protected:
    void SetUp() override {
        window = test_start_window();
        ASSERT_NE(window, nullptr);
        test_pump();
    }
    void TearDown() override {
        test_stop_window();
    }

    LRESULT send(UINT message, WPARAM w_param = 0, LPARAM l_param = 0) {
        return SendMessageW(window, message, w_param, l_param);
    }
    static LPARAM at(int x, int y) {
        return static_cast<LPARAM>(static_cast<uint32_t>(x & 0xFFFF) |
                                   (static_cast<uint32_t>(y & 0xFFFF) << 16));
    }
    LRESULT key(WPARAM code) {
        return send(WM_KEYUP, code, 0);
    }
    // A timer tick as the system delivers it, then whatever it set off.
    int tick() {
        send(WM_TIMER, 10, 0);
        return test_pump();
    }
    void right_click(int x, int y) {
        send(WM_RBUTTONDOWN, MK_RBUTTON, at(x, y));
        send(WM_RBUTTONUP, 0, at(x, y));
    }
    bool repaint_pending() {
        RECT r;
        return GetUpdateRect(window, &r, FALSE) != FALSE;
    }

    static simulation_state_record& state() {
        return simulation_state;
    }

    // cell_color is 0x00RRGGBB, GetPixel answers 0x00BBGGRR.
    static COLORREF as_colorref(int32_t rgb) {
        const uint32_t c = static_cast<uint32_t>(rgb);
        return ((c >> 16) & 0xFF) | (c & 0xFF00) | ((c & 0xFF) << 16);
    }

    HWND window = nullptr;
};
