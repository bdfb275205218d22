// The message queue: posted messages and input in Win32's order, WM_PAINT and WM_TIMER made
// when the queue is otherwise empty (from the windows' pending repaint and the timers' due
// times, never stored), input from the backend turned into messages, and the calls that take,
// send, post and dispatch them.
#include "platform/posix/internal.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>

namespace vorla::platform {

namespace {

struct last_press_record {
    std::uintptr_t window = 0;
    mouse_button button = mouse_button::left;
    std::uint64_t time = 0;
    int x = 0, y = 0;
    bool valid = false;
};

unsigned buttons_down = 0; // MK_ flags of the buttons held, as the layer has seen them
last_press_record last_press;
// The characters of the queued key presses, in queue order, and of the press last taken
// from the queue: what TranslateMessage turns into WM_CHAR.
std::deque<wchar_t> queued_key_characters;
std::pair<WPARAM, wchar_t> taken_key_character{0, 0};
bool alt_alone = false; // Alt is down and no other key has come since it went down

DWORD tick_now() {
    return static_cast<DWORD>(current_backend().now_ms());
}

MSG make_message(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = w_param;
    msg.lParam = l_param;
    msg.time = tick_now();
    return msg;
}

bool passes_filter(const MSG& msg, HWND window, UINT filter_min, UINT filter_max) {
    if (window == reinterpret_cast<HWND>(-1)) {
        if (msg.hwnd != nullptr) {
            return false;
        }
    } else if (window != nullptr && msg.hwnd != window) {
        return false;
    }
    if (filter_min == 0 && filter_max == 0) {
        return true;
    }
    return msg.message >= filter_min && msg.message <= filter_max;
}

std::optional<MSG> take_first(std::deque<MSG>& list, HWND window, UINT filter_min, UINT filter_max,
                              bool remove) {
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (passes_filter(*it, window, filter_min, filter_max)) {
            MSG msg = *it;
            if (remove) {
                list.erase(it);
            }
            return msg;
        }
    }
    return std::nullopt;
}

bool window_matches(std::uintptr_t id, HWND filter) {
    if (filter == reinterpret_cast<HWND>(-1)) {
        return false;
    }
    return filter == nullptr || value_of(filter) == id;
}

bool range_has(UINT message, UINT filter_min, UINT filter_max) {
    return (filter_min == 0 && filter_max == 0) || (message >= filter_min && message <= filter_max);
}

// The queue, in Win32's order: posted messages, input, quit, then a repaint when a window needs
// one, then a due timer. The last two are made here, never stored.
bool peek_message(MSG* out, HWND window, UINT filter_min, UINT filter_max, bool remove) {
    current_backend().poll_events();
    message_queue& q = queue();
    {
        std::lock_guard<std::mutex> guard(q.lock);
        if (auto msg = take_first(q.posted, window, filter_min, filter_max, remove)) {
            *out = *msg;
            return true;
        }
        if (auto msg = take_first(q.input, window, filter_min, filter_max, remove)) {
            *out = *msg;
            if (remove && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) &&
                !queued_key_characters.empty()) {
                taken_key_character = {msg->wParam, queued_key_characters.front()};
                queued_key_characters.pop_front();
            }
            return true;
        }
        if (q.quit_posted) {
            *out = make_message(nullptr, WM_QUIT, static_cast<WPARAM>(q.quit_code), 0);
            if (remove) {
                q.quit_posted = false;
            }
            return true;
        }
    }
    if (range_has(WM_PAINT, filter_min, filter_max)) {
        for (auto& [id, w] : windows().all()) {
            if (w->queue == &q && w->visible && w->invalid && !w->destroying &&
                window_matches(id, window)) {
                *out = make_message(hwnd_of(id), WM_PAINT, 0, 0);
                return true;
            }
        }
    }
    if (range_has(WM_TIMER, filter_min, filter_max)) {
        const std::uint64_t now = current_backend().now_ms();
        timer_entry* best = nullptr;
        std::uintptr_t best_id = 0;
        for (auto& [id, w] : windows().all()) {
            if (w->queue != &q || !window_matches(id, window) || w->destroying) {
                continue;
            }
            for (auto& t : w->timers) {
                if (t.due <= now && (best == nullptr || t.due < best->due)) {
                    best = &t;
                    best_id = id;
                }
            }
        }
        if (best != nullptr) {
            *out = make_message(hwnd_of(best_id), WM_TIMER, best->id,
                                reinterpret_cast<LPARAM>(best->proc));
            if (remove) {
                best->due = now + best->period;
            }
            return true;
        }
    }
    return false;
}

unsigned button_flag(mouse_button b) {
    switch (b) {
    case mouse_button::left:
        return MK_LBUTTON;
    case mouse_button::right:
        return MK_RBUTTON;
    case mouse_button::middle:
        return MK_MBUTTON;
    }
    return 0;
}

UINT button_message(mouse_button b, int which) { // which: 0 down, 1 up, 2 double click
    static const UINT table[3][3] = {{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK},
                                     {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK},
                                     {WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK}};
    return table[static_cast<int>(b)][which];
}

void queue_input(const MSG& msg) {
    window_object* w = find_window(msg.hwnd);
    if (w == nullptr) {
        return;
    }
    std::lock_guard<std::mutex> guard(w->queue->lock);
    auto& input = w->queue->input;
    // Like Windows, only the latest position of a run of moves is kept.
    if (msg.message == WM_MOUSEMOVE && !input.empty() && input.back().message == WM_MOUSEMOVE &&
        input.back().hwnd == msg.hwnd && input.back().wParam == msg.wParam) {
        input.back() = msg;
        return;
    }
    input.push_back(msg);
}

void deliver_mouse(const input_event& e) {
    std::uintptr_t target = e.window;
    int x = e.x;
    int y = e.y;
    window_object* w = find_window(hwnd_of(target));
    if (w == nullptr) {
        return;
    }
    if (capture_window != 0 && capture_window != target) {
        window_object* c = find_window(hwnd_of(capture_window));
        if (c == nullptr) {
            return;
        }
        x += w->x - c->x;
        y += w->y - c->y;
        target = capture_window;
        w = c;
    }
    const bool inside = x >= 0 && y >= 0 && x < w->width && y < w->height;
    if (capture_window == 0 && !inside) {
        return; // without capture, the window only hears about the mouse over it
    }
    if (e.type == input_event::kind::mouse_press) {
        buttons_down |= button_flag(e.button);
    } else if (e.type == input_event::kind::mouse_release) {
        buttons_down &= ~button_flag(e.button);
    }
    WPARAM keys = buttons_down;
    if (e.shift) {
        keys |= MK_SHIFT;
    }
    if (e.control) {
        keys |= MK_CONTROL;
    }
    // Positions travel as two 16-bit words: left of or above the window reads as 65535 and down.
    const LPARAM position = MAKELPARAM(x, y);
    UINT message = WM_MOUSEMOVE;
    const std::uint64_t now = current_backend().now_ms();
    if (e.type == input_event::kind::mouse_press) {
        message = button_message(e.button, 0);
        const int half_x = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
        const int half_y = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
        if ((w->class_style & CS_DBLCLKS) != 0 && last_press.valid && last_press.window == target &&
            last_press.button == e.button &&
            now - last_press.time < current_backend().double_click_time_ms() &&
            std::abs(x - last_press.x) <= half_x && std::abs(y - last_press.y) <= half_y) {
            message = button_message(e.button, 2);
            last_press.valid = false; // a third press starts over
        } else {
            last_press = last_press_record{target, e.button, now, x, y, true};
        }
    } else if (e.type == input_event::kind::mouse_release) {
        message = button_message(e.button, 1);
    }
    queue_input(make_message(hwnd_of(target), message, keys, position));
}

// Keys pressed or released while Alt is held, and F10, are system keys, as Windows' raw input
// thread decides: Alt itself is one unless Control is down, and its release only if no other
// key came between (Alt alone opens the window menu); Control+Alt (AltGr) types ordinary keys.
UINT key_message(const input_event& e) {
    const bool press = e.type == input_event::kind::key_press;
    switch (e.virtual_key) {
    case VK_MENU:
        if (press) {
            alt_alone = !e.control;
            return e.control ? WM_KEYDOWN : WM_SYSKEYDOWN;
        }
        if (alt_alone) {
            alt_alone = false;
            return WM_SYSKEYUP;
        }
        return WM_KEYUP;
    case VK_CONTROL:
        if (!press && e.alt) {
            alt_alone = false;
            return WM_SYSKEYUP;
        }
        return press ? WM_KEYDOWN : WM_KEYUP;
    default:
        if ((e.alt && !e.control) || e.virtual_key == VK_F10) {
            alt_alone = false;
            return press ? WM_SYSKEYDOWN : WM_SYSKEYUP;
        }
        return press ? WM_KEYDOWN : WM_KEYUP;
    }
}

void deliver_key(const input_event& e) {
    if (find_window(hwnd_of(e.window)) == nullptr) {
        return;
    }
    const bool alt_held =
        e.alt || (e.virtual_key == VK_MENU && !e.control && e.type == input_event::kind::key_press);
    const unsigned scan = 0;
    LPARAM flags = static_cast<LPARAM>(1u | (scan << 16));
    if (alt_held && !e.control) {
        flags |= LPARAM{KF_ALTDOWN} << 16; // the context code
    }
    if (e.type == input_event::kind::key_press) {
        if (e.auto_repeat) {
            flags |= LPARAM{KF_REPEAT} << 16;
        }
        queued_key_characters.push_back(e.character);
        queue_input(make_message(hwnd_of(e.window), key_message(e), e.virtual_key, flags));
    } else {
        if (e.auto_repeat) {
            return; // a held key acts once, on its real release
        }
        flags |= LPARAM{KF_REPEAT | KF_UP} << 16;
        queue_input(make_message(hwnd_of(e.window), key_message(e), e.virtual_key,
                                 static_cast<LPARAM>(static_cast<DWORD>(flags))));
    }
}

} // namespace

message_queue& queue() {
    thread_local message_queue q;
    return q;
}

std::optional<std::uint64_t> next_timer_due(HWND window) {
    std::optional<std::uint64_t> due;
    for (auto& [id, w] : windows().all()) {
        if (w->queue != &queue() || !window_matches(id, window)) {
            continue;
        }
        for (auto& t : w->timers) {
            if (!due || t.due < *due) {
                due = t.due;
            }
        }
    }
    return due;
}

void deliver_input(const input_event& e) {
    switch (e.type) {
    case input_event::kind::resize:
        if (window_object* w = windows().find(static_cast<std::uintptr_t>(e.window))) {
            resize_client(static_cast<std::uintptr_t>(e.window), *w, e.width, e.height);
        }
        return;
    case input_event::kind::close_request:
        if (find_window(hwnd_of(e.window)) != nullptr) {
            queue_input(make_message(hwnd_of(e.window), WM_SYSCOMMAND, SC_CLOSE, 0));
        }
        return;
    default:
        break;
    }
    if (modal_depth > 0) {
        return;
    }
    if (e.type == input_event::kind::key_press || e.type == input_event::kind::key_release) {
        deliver_key(e);
    } else {
        deliver_mouse(e);
    }
}

void discard_messages_of(HWND window) {
    auto drop = [window](std::deque<MSG>& list) {
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [window](const MSG& m) { return m.hwnd == window; }),
                   list.end());
    };
    if (window_object* w = find_window(window)) {
        std::lock_guard<std::mutex> guard(w->queue->lock);
        drop(w->queue->posted);
        drop(w->queue->input);
    }
    queued_key_characters.clear();
    if (last_press.window == value_of(window)) {
        last_press.valid = false;
    }
}

} // namespace vorla::platform

using namespace vorla::platform;

BOOL WINAPI GetMessageW(LPMSG message, HWND window, UINT filter_min, UINT filter_max) {
    if (message == nullptr) {
        return -1;
    }
    for (;;) {
        if (peek_message(message, window, filter_min, filter_max, true)) {
            return message->message == WM_QUIT ? FALSE : TRUE;
        }
        flush_windows();
        current_backend().wait_events(next_timer_due(window));
    }
}

BOOL WINAPI PeekMessageW(LPMSG message, HWND window, UINT filter_min, UINT filter_max,
                         UINT remove) {
    if (message == nullptr) {
        return FALSE;
    }
    return peek_message(message, window, filter_min, filter_max, (remove & PM_REMOVE) != 0) ? TRUE
                                                                                            : FALSE;
}

BOOL WINAPI TranslateMessage(const MSG* message) {
    if (message == nullptr ||
        (message->message != WM_KEYDOWN && message->message != WM_SYSKEYDOWN)) {
        return FALSE;
    }
    if (taken_key_character.first != message->wParam || taken_key_character.second == 0) {
        return FALSE;
    }
    PostMessageW(message->hwnd, message->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR,
                 static_cast<WPARAM>(taken_key_character.second), message->lParam);
    return TRUE;
}

LRESULT WINAPI DispatchMessageW(const MSG* message) {
    if (message == nullptr) {
        return 0;
    }
    if (message->message == WM_TIMER && message->lParam != 0) {
        auto proc = reinterpret_cast<TIMERPROC>(message->lParam);
        proc(message->hwnd, WM_TIMER, message->wParam, tick_now());
        return 0;
    }
    window_object* w = find_window(message->hwnd);
    if (w == nullptr) {
        return 0;
    }
    return w->proc(message->hwnd, message->message, message->wParam, message->lParam);
}

LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return 0;
    }
    return w->proc(window, message, w_param, l_param);
}

BOOL WINAPI PostMessageW(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    // The caller may be another thread: the window is looked up, and its queue reached, under
    // the table's lock, so it cannot go away in between.
    std::lock_guard<std::mutex> table_guard(window_table_lock());
    if (window != nullptr && find_window(window) == nullptr) {
        return FALSE;
    }
    // To the queue of the window's thread, or of this thread for a thread message.
    message_queue& target = window != nullptr ? *find_window(window)->queue : queue();
    std::lock_guard<std::mutex> guard(target.lock);
    target.posted.push_back(make_message(window, message, w_param, l_param));
    return TRUE;
}

void WINAPI PostQuitMessage(int exit_code) {
    message_queue& q = queue();
    std::lock_guard<std::mutex> guard(q.lock);
    q.quit_posted = true;
    q.quit_code = exit_code;
}

LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM w_param, LPARAM l_param) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return 0;
    }
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window; other system keys (Alt+letter, F10, Alt alone) would open
        // a menu, and the window has none but the system menu, which this layer does not show.
        if (w_param == VK_F4 && ((l_param >> 16) & KF_ALTDOWN) != 0) {
            PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        }
        return 0;
    case WM_SYSCOMMAND:
        if ((w_param & 0xFFF0) == SC_CLOSE) {
            SendMessageW(window, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND: {
        if (w->background == nullptr) {
            return 0;
        }
        const HDC dc = reinterpret_cast<HDC>(w_param);
        RECT all{0, 0, w->width, w->height};
        FillRect(dc, &all, w->background);
        return 1;
    }
    case WM_SETTEXT:
        return SetWindowTextW(window, reinterpret_cast<LPCWSTR>(l_param));
    default:
        return 0;
    }
}
