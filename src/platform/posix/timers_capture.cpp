// Window timers and mouse capture. Timers only keep their due times here; the queue makes
// WM_TIMER from them when it has nothing else.
#include "platform/posix/internal.h"

#include <algorithm>

namespace vorla::platform {

std::uintptr_t capture_window = 0;

void send_capture_changed(std::uintptr_t losing, std::uintptr_t gaining) {
    if (losing != 0 && losing != gaining && find_window(hwnd_of(losing)) != nullptr) {
        SendMessageW(hwnd_of(losing), WM_CAPTURECHANGED, 0,
                     reinterpret_cast<LPARAM>(hwnd_of(gaining)));
    }
}

} // namespace vorla::platform

using namespace vorla::platform;

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timer_proc) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return 0; // thread timers are not needed by anything here
    }
    timer_entry entry;
    entry.id = id;
    // As on Windows: no timer ticks more often than every USER_TIMER_MINIMUM milliseconds.
    entry.period = std::clamp<UINT>(elapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    entry.due = current_backend().now_ms() + entry.period;
    entry.proc = timer_proc;
    auto it = std::find_if(w->timers.begin(), w->timers.end(),
                           [id](const timer_entry& t) { return t.id == id; });
    if (it != w->timers.end()) {
        *it = entry; // replaced and restarted
    } else {
        w->timers.push_back(entry);
    }
    return id != 0 ? id : 1;
}

BOOL WINAPI KillTimer(HWND window, UINT_PTR id) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    auto it = std::find_if(w->timers.begin(), w->timers.end(),
                           [id](const timer_entry& t) { return t.id == id; });
    if (it == w->timers.end()) {
        return FALSE;
    }
    w->timers.erase(it);
    return TRUE;
}

HWND WINAPI SetCapture(HWND window) {
    const std::uintptr_t previous = capture_window;
    if (find_window(window) == nullptr) {
        return hwnd_of(previous);
    }
    const std::uintptr_t id = value_of(window);
    if (previous != id) {
        if (previous != 0) {
            current_backend().set_capture(previous, false);
        }
        capture_window = id;
        current_backend().set_capture(id, true);
        send_capture_changed(previous, id);
    }
    return hwnd_of(previous);
}

BOOL WINAPI ReleaseCapture() {
    const std::uintptr_t previous = capture_window;
    if (previous != 0) {
        capture_window = 0;
        current_backend().set_capture(previous, false);
        send_capture_changed(previous, 0);
    }
    return TRUE;
}

HWND WINAPI GetCapture() {
    return hwnd_of(capture_window);
}
