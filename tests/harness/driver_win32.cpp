// The test driver on the real Win32 API (Windows itself, or Wine). Time is the wall clock,
// input is SendInput with the window in the foreground, as Wine's own user32 tests give it,
// and modal dialogs are answered from a timer on the dialog itself: a thread hook sees each
// dialog being created, and the timer's callback runs inside the dialog's modal loop.
//
// Under Wine the suite runs with the X pointer held by another X client (wine_suite.sh does
// that). Otherwise Wine moves the X pointer along with every SendInput move, and X's reports
// of those moves come back as input, late and at points the test has already left.
#include "harness/driver.h"
#include "harness/gdi_count_win32.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <set>
#include <utility>

namespace {

namespace fs = std::filesystem;

constexpr int file_name_edit_id = 0x480;  // edt1
constexpr int file_name_combo_id = 0x47c; // cmb13
constexpr int file_type_combo_id = 0x470; // cmb1
constexpr UINT_PTR answer_timer_id = 0x7A11;
constexpr UINT answer_period_ms = 10;
// A dialog still open this long after its answer did not take it (say, a file that is not
// there): it is cancelled rather than left hanging the run.
constexpr DWORD give_up_ms = 3000;

struct hold_request {
    unsigned open_ms = 0;
    std::function<void()> while_open;
};

struct dialog_progress {
    HWND dialog = nullptr;
    std::size_t record = 0; // index in shown
    bool held = false;
    hold_request hold;
    std::chrono::steady_clock::time_point seen;
    bool answered = false;
    std::chrono::steady_clock::time_point answered_at;
};

struct driver_state {
    HHOOK hook = nullptr;
    std::vector<std::optional<fs::path>> open_answers;
    std::vector<int> box_answers;
    std::vector<hold_request> holds;
    std::vector<driver_dialog> shown;
    std::vector<dialog_progress> open_dialogs;
    std::set<unsigned> keys_down;
    std::set<driver_button> buttons_down;
    std::vector<fs::path> folders;
};

driver_state state;

std::wstring window_text(HWND window) {
    wchar_t buffer[1024];
    const int n = GetWindowTextW(window, buffer, 1024);
    return std::wstring(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
}

std::wstring class_of(HWND window) {
    wchar_t buffer[64];
    const int n = GetClassNameW(window, buffer, 64);
    return std::wstring(buffer, static_cast<std::size_t>(n > 0 ? n : 0));
}

BOOL CALLBACK collect_static_text(HWND child, LPARAM context) {
    auto* text = reinterpret_cast<std::wstring*>(context);
    if (class_of(child) == L"Static") {
        const std::wstring part = window_text(child);
        if (!part.empty()) {
            if (!text->empty()) {
                text->push_back(L'\n');
            }
            *text += part;
        }
    }
    return TRUE;
}

HWND file_name_control(HWND dialog) {
    HWND control = GetDlgItem(dialog, file_name_edit_id);
    return control != nullptr ? control : GetDlgItem(dialog, file_name_combo_id);
}

driver_dialog describe(HWND dialog) {
    driver_dialog record;
    record.owner = GetWindow(dialog, GW_OWNER);
    record.caption = window_text(dialog);
    if (HWND name = file_name_control(dialog)) {
        record.file_name = window_text(name);
        if (HWND types = GetDlgItem(dialog, file_type_combo_id)) {
            const LRESULT count = SendMessageW(types, CB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i) {
                wchar_t item[256] = {};
                if (SendMessageW(types, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0) < 256) {
                    SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                 reinterpret_cast<LPARAM>(item));
                }
                record.filters.emplace_back(item);
            }
        }
    } else {
        record.is_message_box = true;
        EnumChildWindows(dialog, collect_static_text, reinterpret_cast<LPARAM>(&record.text));
    }
    return record;
}

void press_button(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void answer(HWND dialog, const driver_dialog& record) {
    if (record.is_message_box) {
        int id = IDOK;
        if (!state.box_answers.empty()) {
            id = state.box_answers.front();
            state.box_answers.erase(state.box_answers.begin());
        }
        press_button(dialog, id);
        return;
    }
    std::optional<fs::path> file;
    if (!state.open_answers.empty()) {
        file = state.open_answers.front();
        state.open_answers.erase(state.open_answers.begin());
    }
    if (file && !file->empty()) {
        SetWindowTextW(file_name_control(dialog), file->wstring().c_str());
        press_button(dialog, IDOK);
    } else {
        press_button(dialog, IDCANCEL);
    }
}

void CALLBACK on_dialog_timer(HWND dialog, UINT, UINT_PTR, DWORD) {
    auto find = [dialog]() -> dialog_progress* {
        for (dialog_progress& p : state.open_dialogs) {
            if (p.dialog == dialog) {
                return &p;
            }
        }
        return nullptr;
    };
    dialog_progress* progress = find();
    if (progress == nullptr) {
        state.open_dialogs.push_back(dialog_progress{});
        progress = &state.open_dialogs.back();
        progress->dialog = dialog;
    }
    const auto now = std::chrono::steady_clock::now();
    if (progress->answered) {
        if (now - progress->answered_at > std::chrono::milliseconds(give_up_ms)) {
            std::fprintf(stderr, "driver: a dialog stayed open after its answer; cancelled\n");
            press_button(dialog, IDCANCEL);
            progress->answered_at = now;
        }
        return;
    }
    if (!IsWindowVisible(dialog)) {
        return; // not up yet
    }
    if (!progress->held) {
        progress->held = true;
        progress->seen = now;
        progress->record = state.shown.size();
        state.shown.push_back(describe(dialog));
        if (!state.holds.empty()) {
            progress->hold = std::move(state.holds.front());
            state.holds.erase(state.holds.begin());
        }
        if (progress->hold.while_open) {
            const std::function<void()> callback = std::move(progress->hold.while_open);
            callback();
            // Whatever it did may have ended the dialog or moved the records.
            if (!IsWindow(dialog) || (progress = find()) == nullptr) {
                return;
            }
        }
    }
    if (now - progress->seen < std::chrono::milliseconds(progress->hold.open_ms)) {
        return;
    }
    progress->answered = true;
    progress->answered_at = now;
    answer(dialog, state.shown[progress->record]);
}

LRESULT CALLBACK on_window_event(int code, WPARAM w_param, LPARAM l_param) {
    if (code == HCBT_CREATEWND) {
        const HWND created = reinterpret_cast<HWND>(w_param);
        const auto* info = reinterpret_cast<CBT_CREATEWNDW*>(l_param);
        if ((info->lpcs->style & WS_CHILD) == 0 && class_of(created) == L"#32770") {
            SetTimer(created, answer_timer_id, answer_period_ms, on_dialog_timer);
        }
    } else if (code == HCBT_DESTROYWND) {
        const HWND gone = reinterpret_cast<HWND>(w_param);
        state.open_dialogs.erase(
            std::remove_if(state.open_dialogs.begin(), state.open_dialogs.end(),
                           [gone](const dialog_progress& p) { return p.dialog == gone; }),
            state.open_dialogs.end());
    }
    return CallNextHookEx(nullptr, code, w_param, l_param);
}

unsigned elapsed_ms(std::chrono::steady_clock::time_point since) {
    return static_cast<unsigned>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - since)
                                     .count());
}

void send(INPUT input) {
    SendInput(1, &input, sizeof input);
}

POINT screen_point(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    return p;
}

// A move reaches this thread's queue through the system, under Wine through wineserver. When
// one of this thread's windows is to hear it, wait until it is there, so that the test's next
// pump takes it; it usually is at once.
void wait_for_move(POINT p) {
    HWND hearer = GetCapture();
    if (hearer == nullptr) {
        hearer = WindowFromPoint(p);
    }
    if (hearer == nullptr || !IsWindowEnabled(hearer) ||
        GetWindowThreadProcessId(hearer, nullptr) != GetCurrentThreadId()) {
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    while (elapsed_ms(start) < 200) {
        for (UINT move : {UINT{WM_MOUSEMOVE}, UINT{WM_NCMOUSEMOVE}}) {
            MSG queued;
            if (PeekMessageW(&queued, nullptr, move, move, PM_NOREMOVE) && queued.pt.x == p.x &&
                queued.pt.y == p.y) {
                return;
            }
        }
        Sleep(1);
    }
}

void move_pointer_to(POINT p) {
    POINT before{};
    const bool moves = !GetCursorPos(&before) || before.x != p.x || before.y != p.y;
    // Normalised coordinates, rounded up so that they land on the pixel itself.
    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = static_cast<LONG>((static_cast<long long>(p.x) * 65536 + width - 1) / width);
    input.mi.dy = static_cast<LONG>((static_cast<long long>(p.y) * 65536 + height - 1) / height);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    send(input);
    POINT now;
    if (GetCursorPos(&now) && (now.x != p.x || now.y != p.y)) { // rounded elsewhere
        SetCursorPos(p.x, p.y);
    }
    if (moves) {
        wait_for_move(p);
    }
}

void bring_pointer(HWND window, int x, int y) {
    const POINT target = screen_point(window, x, y);
    POINT now;
    if (!GetCursorPos(&now) || now.x != target.x || now.y != target.y) {
        move_pointer_to(target);
    }
}

void send_button(driver_button button, bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    if (button == driver_button::left) {
        input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    } else {
        input.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    }
    send(input);
    if (down) {
        state.buttons_down.insert(button);
    } else {
        state.buttons_down.erase(button);
    }
}

void send_key(unsigned virtual_key, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = static_cast<WORD>(virtual_key);
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    send(input);
    if (down) {
        state.keys_down.insert(virtual_key);
    } else {
        state.keys_down.erase(virtual_key);
    }
}

// Keys go to the focus window of the foreground window.
void focus(HWND window) {
    if (GetForegroundWindow() != window) {
        SetForegroundWindow(window);
    }
    if (GetFocus() != window) {
        SetFocus(window);
    }
}

int pump_queue() {
    int count = 0;
    MSG message;
    while (count < 100000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // left for the caller's loop
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
        ++count;
    }
    return count;
}

} // namespace

void driver_reset() {
    if (state.hook == nullptr) {
        state.hook = SetWindowsHookExW(WH_CBT, on_window_event, nullptr, GetCurrentThreadId());
    }
    for (unsigned key : std::set<unsigned>(state.keys_down)) {
        send_key(key, false);
    }
    for (driver_button button : std::set<driver_button>(state.buttons_down)) {
        send_button(button, false);
    }
    ReleaseCapture();
    // Away from where test windows open, so that no window finds the pointer over it.
    move_pointer_to(POINT{GetSystemMetrics(SM_CXSCREEN) - 2, GetSystemMetrics(SM_CYSCREEN) - 2});
    pump_queue();
    std::error_code ignored;
    for (const fs::path& folder : state.folders) {
        fs::remove_all(folder, ignored);
    }
    const HHOOK hook = state.hook;
    state = driver_state{};
    state.hook = hook;
}

bool driver_on_win32() {
    return true;
}

bool driver_under_wine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

DWORD driver_gdi_objects() {
    return gdi_object_count();
}

int driver_pump() {
    return pump_queue();
}

bool driver_dispatch_next(MSG* message) {
    MSG got;
    if (!PeekMessageW(&got, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (message != nullptr) {
        *message = got;
    }
    if (got.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(got.wParam));
        return false;
    }
    TranslateMessage(&got);
    DispatchMessageW(&got);
    return true;
}

void driver_settle() {
    const auto start = std::chrono::steady_clock::now();
    do {
        pump_queue();
    } while (MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) != WAIT_TIMEOUT &&
             elapsed_ms(start) < 2000);
    pump_queue();
}

void driver_sleep_ms(unsigned ms) {
    Sleep(ms);
}

unsigned driver_run_for_ms(unsigned ms) {
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        pump_queue();
        const unsigned passed = elapsed_ms(start);
        if (passed >= ms) {
            return passed;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - passed, QS_ALLINPUT);
    }
}

void driver_mouse_move(HWND window, int x, int y) {
    move_pointer_to(screen_point(window, x, y));
}

void driver_mouse_press(HWND window, driver_button button, int x, int y) {
    bring_pointer(window, x, y);
    send_button(button, true);
}

void driver_mouse_release(HWND window, driver_button button, int x, int y) {
    bring_pointer(window, x, y);
    send_button(button, false);
}

void driver_key_press(HWND window, unsigned virtual_key) {
    focus(window);
    send_key(virtual_key, true);
}

void driver_key_release(HWND window, unsigned virtual_key) {
    focus(window);
    send_key(virtual_key, false);
}

// The size-move loop of a border drag ends in SetWindowPos with the new outer size.
void driver_resize_client(HWND window, int width, int height) {
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void driver_click_close_box(HWND window) {
    RECT outer;
    GetWindowRect(window, &outer);
    for (int y = outer.top; y < outer.top + 48; ++y) {
        for (int x = outer.right - 1; x > outer.right - 96; --x) {
            if (SendMessageW(window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE) {
                move_pointer_to(POINT{x, y});
                send_button(driver_button::left, true);
                send_button(driver_button::left, false);
                return;
            }
        }
    }
    std::fprintf(stderr, "driver: no close box found on the window\n");
}

void driver_answer_open_dialog(const std::optional<fs::path>& file) {
    state.open_answers.push_back(file);
}

void driver_answer_message_box(int button_id) {
    state.box_answers.push_back(button_id);
}

void driver_hold_next_dialog(unsigned open_ms, std::function<void()> while_open) {
    state.holds.push_back(hold_request{open_ms, std::move(while_open)});
}

std::vector<driver_dialog> driver_dialogs_shown() {
    return state.shown;
}

COLORREF driver_client_pixel(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF color = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return color;
}

fs::path driver_fresh_folder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t name[MAX_PATH + 64];
        swprintf(name, MAX_PATH + 64, L"%lsvorla-layer-%lu-%u", temp,
                 static_cast<unsigned long>(GetCurrentProcessId()), ++serial);
        if (CreateDirectoryW(name, nullptr)) {
            state.folders.emplace_back(name);
            return state.folders.back();
        }
    }
    return {};
}

// Wine shows the POSIX file system as drive Z:.
std::wstring driver_native_path(const std::string& posix_path) {
    std::wstring wide;
    for (unsigned char c : posix_path) {
        wide.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c)); // the test data is ASCII
    }
    return driver_under_wine() ? L"Z:" + wide : wide;
}
