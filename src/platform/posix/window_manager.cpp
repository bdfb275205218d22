// Window classes, windows, the message queue, timers, capture, invalidation and painting,
// and the modal dialogs: the user32 part of the layer, with the Win32 behaviour the program
// relies on. WM_PAINT and WM_TIMER are never queued; they are made when the queue is
// otherwise empty, from the windows' pending repaint and the timers' due times.
#include "platform/posix/internal.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <mutex>
#include <thread>

namespace vorla::platform {

namespace {

// Used until a backend is chosen: a real clock, no screen, dialogs cancelled.
class null_backend final : public backend {
  public:
    std::uint64_t now_ms() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    void wait_events(std::optional<std::uint64_t> deadline_ms) override {
        if (deadline_ms) {
            const std::uint64_t now = now_ms();
            if (*deadline_ms > now) {
                std::this_thread::sleep_for(std::chrono::milliseconds(*deadline_ms - now));
            }
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    void poll_events() override {}
    int screen_width() override {
        return 1920;
    }
    int screen_height() override {
        return 1080;
    }
    std::pair<int, int> create_window(window_id, const std::wstring&, int, int, int width,
                                      int height, bool) override {
        return {width, height};
    }
    void destroy_window(window_id) override {}
    void show_window(window_id, bool) override {}
    void set_title(window_id, const std::wstring&) override {}
    void present(window_id, const std::uint32_t*, int, int, rect_i) override {}
    void set_capture(window_id, bool) override {}
    std::optional<std::wstring> open_file_dialog(const open_dialog_request&,
                                                 const modal_pump&) override {
        return std::nullopt;
    }
    message_box_answer message_box(const message_box_request&, const modal_pump&) override {
        return message_box_answer::ok;
    }
};

backend* active_backend = nullptr;

struct window_class_entry {
    WNDCLASSEXW info{};
    std::wstring name;
    std::wstring menu_name;
    ATOM atom = 0;
};

struct last_press_record {
    std::uintptr_t window = 0;
    mouse_button button = mouse_button::left;
    std::uint64_t time = 0;
    int x = 0, y = 0;
    bool valid = false;
};

std::map<std::wstring, window_class_entry>& window_classes() {
    static std::map<std::wstring, window_class_entry> classes;
    return classes;
}

handle_table<window_object>& windows() {
    static handle_table<window_object> table;
    return table;
}

message_queue& queue() {
    thread_local message_queue q;
    return q;
}

std::uintptr_t capture_window = 0;
int modal_depth = 0;
unsigned buttons_down = 0; // MK_ flags of the buttons held, as the layer has seen them
last_press_record last_press;
ATOM next_atom = 0xC000;
// The characters of the queued key presses, in queue order, and of the press last taken
// from the queue: what TranslateMessage turns into WM_CHAR.
std::deque<wchar_t> queued_key_characters;
std::pair<WPARAM, wchar_t> taken_key_character{0, 0};

std::uintptr_t value_of(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
}
HWND hwnd_of(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}

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

bool rect_empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (rect_empty(r)) {
        r = RECT{0, 0, 0, 0};
    }
    return r;
}

RECT unite(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

void invalidate(window_object& w, const RECT* area, bool erase) {
    RECT client{0, 0, w.width, w.height};
    RECT r = area ? intersect(*area, client) : client;
    if (rect_empty(r)) {
        return;
    }
    w.invalid_rect = w.invalid ? unite(w.invalid_rect, r) : r;
    w.invalid = true;
    if (erase) {
        w.erase_pending = true;
    }
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
            if (remove && msg->message == WM_KEYDOWN && !queued_key_characters.empty()) {
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
        window_object* best_window = nullptr;
        timer_entry* best = nullptr;
        std::uintptr_t best_id = 0;
        for (auto& [id, w] : windows().all()) {
            if (w->queue != &q || !window_matches(id, window) || w->destroying) {
                continue;
            }
            for (auto& t : w->timers) {
                if (t.due <= now && (best == nullptr || t.due < best->due)) {
                    best = &t;
                    best_window = w.get();
                    best_id = id;
                }
            }
        }
        if (best != nullptr) {
            (void)best_window;
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

void send_capture_changed(std::uintptr_t losing, std::uintptr_t gaining) {
    if (losing != 0 && losing != gaining && find_window(hwnd_of(losing)) != nullptr) {
        SendMessageW(hwnd_of(losing), WM_CAPTURECHANGED, 0,
                     reinterpret_cast<LPARAM>(hwnd_of(gaining)));
    }
}

void resize_client(std::uintptr_t id, window_object& w, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == w.width && height == w.height) {
        return;
    }
    std::vector<std::uint32_t> pixels(
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0x00FFFFFFu);
    for (int y = 0; y < std::min(height, w.height); ++y) {
        std::memcpy(&pixels[static_cast<std::size_t>(y) * width],
                    &w.pixels[static_cast<std::size_t>(y) * w.width],
                    sizeof(std::uint32_t) * static_cast<std::size_t>(std::min(width, w.width)));
    }
    const int old_width = w.width;
    const int old_height = w.height;
    w.pixels = std::move(pixels);
    w.width = width;
    w.height = height;
    w.outer_width += width - old_width;
    w.outer_height += height - old_height;
    // These class styles make a size change redraw (and erase) the whole client area;
    // otherwise only what was uncovered.
    if ((w.class_style & (CS_HREDRAW | CS_VREDRAW)) != 0) {
        invalidate(w, nullptr, true);
    } else {
        RECT right{old_width, 0, width, height};
        RECT below{0, old_height, width, height};
        invalidate(w, &right, true);
        invalidate(w, &below, true);
    }
    mark_dirty(w, RECT{0, 0, width, height});
    SendMessageW(hwnd_of(id), WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
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

void deliver_key(const input_event& e) {
    if (find_window(hwnd_of(e.window)) == nullptr) {
        return;
    }
    const unsigned scan = 0;
    if (e.type == input_event::kind::key_press) {
        LPARAM flags = 1 | (scan << 16);
        if (e.auto_repeat) {
            flags |= LPARAM{1} << 30;
        }
        queued_key_characters.push_back(e.character);
        queue_input(make_message(hwnd_of(e.window), WM_KEYDOWN, e.virtual_key, flags));
    } else {
        if (e.auto_repeat) {
            return; // a held key acts once, on its real release
        }
        const LPARAM flags = static_cast<LPARAM>(1u | (scan << 16) | (1u << 30) | (1u << 31));
        queue_input(make_message(hwnd_of(e.window), WM_KEYUP, e.virtual_key, flags));
    }
}

void pump_once() {
    // Bounded, so a backend's own loop (the dialog's) gets its turn between two calls.
    MSG msg;
    for (int budget = 4; budget > 0 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); --budget) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // leave it for the outer loop
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// While a modal dialog is open its owner takes no input, as on Windows.
struct modal_scope {
    modal_scope() {
        ++modal_depth;
    }
    ~modal_scope() {
        --modal_depth;
    }
};

std::wstring text_or_empty(LPCWSTR text) {
    return text ? std::wstring(text) : std::wstring();
}

} // namespace

std::uintptr_t next_handle_value() {
    static std::uintptr_t next = 0x10000;
    next += 4;
    return next;
}

void set_backend(backend* current) {
    active_backend = current;
}

backend& current_backend() {
    static null_backend fallback;
    return active_backend ? *active_backend : fallback;
}

window_object* find_window(HWND window) {
    return windows().find(window);
}

void mark_dirty(window_object& w, const RECT& area) {
    RECT r = intersect(area, RECT{0, 0, w.width, w.height});
    if (rect_empty(r)) {
        return;
    }
    w.dirty_rect = w.dirty ? unite(w.dirty_rect, r) : r;
    w.dirty = true;
}

void present_window(std::uintptr_t id, window_object& w) {
    if (!w.dirty) {
        return;
    }
    w.dirty = false;
    current_backend().present(
        id, w.pixels.data(), w.width, w.height,
        rect_i{w.dirty_rect.left, w.dirty_rect.top, w.dirty_rect.right, w.dirty_rect.bottom});
}

void flush_windows() {
    for (auto& [id, w] : windows().all()) {
        present_window(id, *w);
    }
}

const std::uint32_t* window_pixels(window_id id, int* width, int* height) {
    window_object* w = windows().find(static_cast<std::uintptr_t>(id));
    if (w == nullptr) {
        return nullptr;
    }
    *width = w->width;
    *height = w->height;
    return w->pixels.data();
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

std::string utf8_from_wide(const std::wstring& text) {
    std::string out;
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x110000) {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring wide_from_utf8(const std::string& text) {
    std::wstring out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b = static_cast<unsigned char>(text[i]);
        int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
        if (extra < 0 ||
            i + static_cast<std::size_t>(extra) >= text.size() + (extra == 0 ? 1 : 0)) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? b : (b & (0x3F >> extra));
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const auto n = static_cast<unsigned char>(text[i + k]);
            if ((n & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | (n & 0x3F);
        }
        out += ok ? static_cast<wchar_t>(c) : L'\xFFFD';
        i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
    }
    return out;
}

} // namespace vorla::platform

using namespace vorla::platform;

// ---- classes and windows

ATOM WINAPI RegisterClassExW(const WNDCLASSEXW* window_class) {
    if (window_class == nullptr || window_class->cbSize != sizeof(WNDCLASSEXW) ||
        window_class->lpfnWndProc == nullptr || window_class->lpszClassName == nullptr ||
        IS_INTRESOURCE(window_class->lpszClassName)) {
        return 0;
    }
    std::wstring name = window_class->lpszClassName;
    auto& classes = window_classes();
    if (classes.count(name) != 0) {
        return 0; // already registered
    }
    window_class_entry entry;
    entry.info = *window_class;
    entry.name = name;
    entry.atom = next_atom++;
    entry.info.lpszClassName = nullptr;
    entry.info.lpszMenuName = nullptr;
    const ATOM atom = entry.atom;
    classes.emplace(name, std::move(entry));
    return atom;
}

BOOL WINAPI UnregisterClassW(LPCWSTR class_name, HINSTANCE) {
    if (class_name == nullptr || IS_INTRESOURCE(class_name)) {
        return FALSE;
    }
    const std::wstring name = class_name;
    for (auto& [id, w] : windows().all()) {
        if (w->class_name == name) {
            return FALSE; // still in use
        }
    }
    return window_classes().erase(name) != 0 ? TRUE : FALSE;
}

HWND WINAPI CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style,
                            int x, int y, int width, int height, HWND parent, HMENU menu,
                            HINSTANCE instance, LPVOID param) {
    if (class_name == nullptr || IS_INTRESOURCE(class_name)) {
        return nullptr;
    }
    auto found = window_classes().find(class_name);
    if (found == window_classes().end()) {
        return nullptr;
    }
    const WNDCLASSEXW& cls = found->second.info;
    if (x == CW_USEDEFAULT) {
        x = y = 0;
    }
    if (width == CW_USEDEFAULT) {
        width = 1024;
        height = 768;
    }
    auto object = std::make_unique<window_object>();
    object->class_name = found->first;
    object->class_style = cls.style;
    object->proc = cls.lpfnWndProc;
    object->background = cls.hbrBackground;
    object->title = text_or_empty(window_name);
    object->style = style & ~static_cast<DWORD>(WS_VISIBLE);
    object->x = x;
    object->y = y;
    object->outer_width = std::max(width, 0);
    object->outer_height = std::max(height, 0);
    object->queue = &queue();
    window_object* w = object.get();
    const std::uintptr_t id = windows().add(std::move(object));
    const auto client = current_backend().create_window(
        id, w->title, x, y, w->outer_width, w->outer_height, (style & WS_THICKFRAME) != 0);
    w->width = std::max(client.first, 0);
    w->height = std::max(client.second, 0);
    w->pixels.assign(static_cast<std::size_t>(w->width) * static_cast<std::size_t>(w->height),
                     0x00FFFFFFu);

    CREATESTRUCTW create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parent;
    create.cx = width;
    create.cy = height;
    create.x = x;
    create.y = y;
    create.style = static_cast<LONG>(style);
    create.lpszName = window_name;
    create.lpszClass = class_name;
    create.dwExStyle = ex_style;
    const HWND handle = hwnd_of(id);
    if (SendMessageW(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == 0 ||
        SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    if (find_window(handle) == nullptr) {
        return nullptr; // destroyed during creation
    }
    if ((style & WS_VISIBLE) != 0) {
        ShowWindow(handle, SW_SHOW);
    }
    return handle;
}

BOOL WINAPI ShowWindow(HWND window, int show_command) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    const bool was_visible = w->visible;
    const bool visible = show_command != SW_HIDE;
    if (visible == was_visible) {
        return was_visible ? TRUE : FALSE;
    }
    SendMessageW(window, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
    if ((w = find_window(window)) == nullptr) {
        return was_visible ? TRUE : FALSE;
    }
    w->visible = visible;
    if (visible) {
        w->style |= WS_VISIBLE;
        current_backend().show_window(value_of(window), true);
        if (!w->shown_once) {
            w->shown_once = true;
            SendMessageW(window, WM_SIZE, SIZE_RESTORED, MAKELPARAM(w->width, w->height));
            if ((w = find_window(window)) == nullptr) {
                return FALSE;
            }
        }
        // Becoming visible exposes the whole client area.
        invalidate(*w, nullptr, true);
        mark_dirty(*w, RECT{0, 0, w->width, w->height});
        present_window(value_of(window), *w);
    } else {
        w->style &= ~static_cast<DWORD>(WS_VISIBLE);
        current_backend().show_window(value_of(window), false);
    }
    return was_visible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND window) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (w->visible && w->invalid) {
        SendMessageW(window, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL WINAPI DestroyWindow(HWND window) {
    window_object* w = find_window(window);
    if (w == nullptr || w->destroying) {
        return FALSE;
    }
    w->destroying = true;
    const std::uintptr_t id = value_of(window);
    if (w->visible) {
        w->visible = false;
        current_backend().show_window(id, false);
    }
    if (capture_window == id) {
        capture_window = 0;
        current_backend().set_capture(id, false);
        send_capture_changed(id, 0);
    }
    SendMessageW(window, WM_DESTROY, 0, 0);
    SendMessageW(window, WM_NCDESTROY, 0, 0);
    auto drop = [window](std::deque<MSG>& list) {
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [window](const MSG& m) { return m.hwnd == window; }),
                   list.end());
    };
    {
        std::lock_guard<std::mutex> guard(w->queue->lock);
        drop(w->queue->posted);
        drop(w->queue->input);
    }
    queued_key_characters.clear();
    if (last_press.window == id) {
        last_press.valid = false;
    }
    release_window_dcs(id);
    current_backend().destroy_window(id);
    windows().remove(id);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND window) {
    window_object* w = find_window(window);
    return w != nullptr && !w->destroying ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND window) {
    window_object* w = find_window(window);
    return w != nullptr && w->visible ? TRUE : FALSE;
}

HWND WINAPI FindWindowW(LPCWSTR class_name, LPCWSTR window_name) {
    for (auto& [id, w] : windows().all()) {
        if (w->destroying) {
            continue;
        }
        if (class_name != nullptr && !IS_INTRESOURCE(class_name) && w->class_name != class_name) {
            continue;
        }
        if (window_name != nullptr && w->title != window_name) {
            continue;
        }
        return hwnd_of(id);
    }
    return nullptr;
}

int WINAPI GetWindowTextW(HWND window, LPWSTR text, int max_count) {
    window_object* w = find_window(window);
    if (text == nullptr || max_count <= 0) {
        return 0;
    }
    text[0] = 0;
    if (w == nullptr) {
        return 0;
    }
    const std::size_t n =
        std::min<std::size_t>(w->title.size(), static_cast<std::size_t>(max_count) - 1);
    std::wmemcpy(text, w->title.c_str(), n);
    text[n] = 0;
    return static_cast<int>(n);
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND window, int index) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return 0;
    }
    if (index == GWL_STYLE) {
        return static_cast<LONG_PTR>(w->style);
    }
    return 0;
}

ULONG_PTR WINAPI GetClassLongPtrW(HWND window, int index) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return 0;
    }
    if (index == GCL_STYLE) {
        return w->class_style;
    }
    return 0;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect) {
    window_object* w = find_window(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{0, 0, w->width, w->height};
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect) {
    window_object* w = find_window(window);
    if (w == nullptr || rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{w->x, w->y, w->x + w->outer_width, w->y + w->outer_height};
    return TRUE;
}

BOOL WINAPI SetWindowTextW(HWND window, LPCWSTR text) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    w->title = text_or_empty(text);
    current_backend().set_title(value_of(window), w->title);
    return TRUE;
}

int WINAPI GetSystemMetrics(int index) {
    switch (index) {
    case SM_CXSCREEN:
        return current_backend().screen_width();
    case SM_CYSCREEN:
        return current_backend().screen_height();
    case SM_CXDOUBLECLK:
    case SM_CYDOUBLECLK:
        return 4;
    default:
        return 0;
    }
}

UINT WINAPI GetDoubleClickTime() {
    return current_backend().double_click_time_ms();
}

// ---- the message loop

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
    if (message == nullptr || message->message != WM_KEYDOWN) {
        return FALSE;
    }
    if (taken_key_character.first != message->wParam || taken_key_character.second == 0) {
        return FALSE;
    }
    PostMessageW(message->hwnd, WM_CHAR, static_cast<WPARAM>(taken_key_character.second),
                 message->lParam);
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

// ---- timers and capture

UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC timer_proc) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return 0; // thread timers are not needed by anything here
    }
    timer_entry entry;
    entry.id = id;
    entry.period = std::max(elapse, 1u);
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

// ---- invalidation and painting

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (window == nullptr) {
        for (auto& [id, w] : windows().all()) {
            invalidate(*w, nullptr, erase != FALSE);
        }
        return TRUE;
    }
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    invalidate(*w, rect, erase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND window, const RECT* rect) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (!w->invalid) {
        return TRUE;
    }
    RECT& r = w->invalid_rect;
    if (rect == nullptr || (rect->left <= r.left && rect->top <= r.top && rect->right >= r.right &&
                            rect->bottom >= r.bottom)) {
        w->invalid = false;
        w->erase_pending = false;
        return TRUE;
    }
    // The pending area is kept as one rectangle: cut off a validated band that spans it.
    if (rect->top <= r.top && rect->bottom >= r.bottom) {
        if (rect->left <= r.left && rect->right > r.left) {
            r.left = rect->right;
        } else if (rect->right >= r.right && rect->left < r.right) {
            r.right = rect->left;
        }
    } else if (rect->left <= r.left && rect->right >= r.right) {
        if (rect->top <= r.top && rect->bottom > r.top) {
            r.top = rect->bottom;
        } else if (rect->bottom >= r.bottom && rect->top < r.bottom) {
            r.bottom = rect->top;
        }
    }
    if (rect_empty(r)) {
        w->invalid = false;
        w->erase_pending = false;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND window, LPRECT rect, BOOL) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (rect != nullptr) {
        *rect = w->invalid ? w->invalid_rect : RECT{0, 0, 0, 0};
    }
    return w->invalid ? TRUE : FALSE;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    window_object* w = find_window(window);
    if (w == nullptr || paint == nullptr) {
        return nullptr;
    }
    std::memset(paint, 0, sizeof *paint);
    const RECT area = w->invalid ? w->invalid_rect : RECT{0, 0, 0, 0};
    const bool erase = w->invalid && w->erase_pending;
    w->invalid = false;
    w->erase_pending = false;
    const HDC dc = create_window_dc(value_of(window), area);
    paint->hdc = dc;
    paint->rcPaint = area;
    paint->fErase = TRUE;
    if (erase) {
        paint->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0
                            ? FALSE
                            : TRUE;
    } else {
        paint->fErase = FALSE;
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint == nullptr) {
        return FALSE;
    }
    dc_object* dc = device_contexts().find(paint->hdc);
    if (dc != nullptr && dc->paint_dc) {
        DeleteDC(paint->hdc);
    }
    if (window_object* w = find_window(window)) {
        present_window(value_of(window), *w); // frames reach the screen as soon as they are done
    }
    return TRUE;
}

HDC WINAPI GetDC(HWND window) {
    if (find_window(window) == nullptr) {
        return nullptr;
    }
    return create_window_dc(value_of(window), std::nullopt);
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    dc_object* object = device_contexts().find(dc);
    if (object == nullptr || object->window == 0 || object->paint_dc) {
        return 0;
    }
    const std::uintptr_t id = object->window;
    DeleteDC(dc);
    if (window_object* w = windows().find(id)) {
        present_window(id, *w);
    }
    (void)window;
    return 1;
}

// ---- dialogs

BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW params) {
    if (params == nullptr || params->lStructSize != sizeof(OPENFILENAMEW) ||
        params->lpstrFile == nullptr || params->nMaxFile == 0) {
        return FALSE;
    }
    open_dialog_request request;
    request.owner = value_of(params->hwndOwner);
    request.title = text_or_empty(params->lpstrTitle);
    if (const wchar_t* f = params->lpstrFilter) {
        // Pairs of null-terminated strings, ended by an empty one.
        while (*f != 0) {
            std::wstring display = f;
            f += display.size() + 1;
            if (*f == 0) {
                break;
            }
            std::wstring patterns = f;
            f += patterns.size() + 1;
            request.filters.emplace_back(std::move(display), std::move(patterns));
        }
    }
    request.filter_index =
        params->nFilterIndex > 0 ? static_cast<int>(params->nFilterIndex) - 1 : 0;
    request.initial_path.assign(params->lpstrFile, wcsnlen(params->lpstrFile, params->nMaxFile));
    request.default_extension = text_or_empty(params->lpstrDefExt);
    request.file_must_exist = (params->Flags & OFN_FILEMUSTEXIST) != 0;

    std::optional<std::wstring> answer;
    {
        flush_windows(); // what the program drew before asking stays visible behind the dialog
        modal_scope scope;
        answer = current_backend().open_file_dialog(request, pump_once);
    }
    if (!answer || answer->empty()) {
        return FALSE;
    }
    std::wstring path = *answer;
    std::size_t name_start = path.find_last_of(L'/');
    name_start = name_start == std::wstring::npos ? 0 : name_start + 1;
    std::size_t dot = path.find_last_of(L'.');
    if ((dot == std::wstring::npos || dot < name_start) && !request.default_extension.empty() &&
        !std::filesystem::exists(std::filesystem::path(utf8_from_wide(path)))) {
        path += L"." + request.default_extension;
        dot = path.find_last_of(L'.');
    }
    if (path.size() + 1 > params->nMaxFile || path.size() > 0xFFFF) {
        return FALSE; // the buffer cannot hold the name
    }
    std::wmemcpy(params->lpstrFile, path.c_str(), path.size() + 1);
    const std::wstring title = path.substr(name_start);
    if (params->lpstrFileTitle != nullptr && params->nMaxFileTitle > 0) {
        const std::size_t n = std::min<std::size_t>(title.size(), params->nMaxFileTitle - 1);
        std::wmemcpy(params->lpstrFileTitle, title.c_str(), n);
        params->lpstrFileTitle[n] = 0;
    }
    params->nFileOffset = static_cast<WORD>(name_start);
    params->nFileExtension =
        static_cast<WORD>(dot != std::wstring::npos && dot >= name_start ? dot + 1 : path.size());
    return TRUE;
}

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    message_box_request request;
    request.owner = value_of(owner);
    request.text = text_or_empty(text);
    request.caption = caption ? std::wstring(caption) : std::wstring(L"Error");
    switch (type & 0xF0u) {
    case MB_ICONHAND:
        request.icon = message_box_icon::error;
        break;
    case MB_ICONQUESTION:
        request.icon = message_box_icon::question;
        break;
    case MB_ICONWARNING:
        request.icon = message_box_icon::warning;
        break;
    case MB_ICONINFORMATION:
        request.icon = message_box_icon::information;
        break;
    default:
        break;
    }
    switch (type & 0xFu) {
    case MB_OKCANCEL:
        request.buttons = message_box_buttons::ok_cancel;
        break;
    case MB_YESNO:
        request.buttons = message_box_buttons::yes_no;
        break;
    default:
        request.buttons = message_box_buttons::ok;
        break;
    }
    message_box_answer answer;
    {
        flush_windows();
        modal_scope scope;
        answer = current_backend().message_box(request, pump_once);
    }
    switch (answer) {
    case message_box_answer::cancel:
        return IDCANCEL;
    case message_box_answer::yes:
        return IDYES;
    case message_box_answer::no:
        return IDNO;
    default:
        return IDOK;
    }
}
