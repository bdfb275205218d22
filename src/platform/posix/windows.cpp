// The backend in use, handles, window classes and windows: the part of user32 that makes,
// shows, sizes and destroys them.
#include "platform/posix/internal.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cwchar>
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
    ATOM atom = 0;
};

std::map<std::wstring, window_class_entry>& window_classes() {
    static std::map<std::wstring, window_class_entry> classes;
    return classes;
}

ATOM next_atom = 0xC000;

} // namespace

handle_table<window_object>& windows() {
    static handle_table<window_object> table;
    return table;
}

std::mutex& window_table_lock() {
    static std::mutex lock;
    return lock;
}

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

} // namespace vorla::platform

using namespace vorla::platform;

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
    std::uintptr_t id = 0;
    {
        std::lock_guard<std::mutex> guard(window_table_lock());
        id = windows().add(std::move(object));
    }
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
    discard_messages_of(window);
    release_window_dcs(id);
    current_backend().destroy_window(id);
    {
        std::lock_guard<std::mutex> guard(window_table_lock());
        windows().remove(id);
    }
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
