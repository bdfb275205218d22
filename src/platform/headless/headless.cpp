// The headless backend and its caller-facing controls.
#include "platform/headless/headless.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>

namespace vorla::headless {

namespace {

using platform::input_event;
using platform::window_id;

struct screen_window {
    std::wstring title;
    bool visible = false;
    int width = 0, height = 0;
    std::vector<std::uint32_t> shown; // the image when the window went away
    std::uint64_t frames = 0;
};

class headless_backend final : public platform::backend {
  public:
    std::uint64_t clock = 0;
    bool wait_advances_clock = true;
    std::function<bool()> idle_handler;
    int screen_w = 1920, screen_h = 1080;
    std::map<window_id, screen_window> screens;
    std::deque<std::optional<std::wstring>> dialog_answers;
    std::deque<message_box_answer> box_answers;
    std::vector<open_dialog_request> dialogs;
    std::vector<message_box_request> boxes;
    int modal_rounds = 0;
    std::function<void(const modal_pump&)> modal_hook;
    bool shift_held = false, control_held = false, alt_held = false;

    std::uint64_t now_ms() override {
        return clock;
    }
    void wait_events(std::optional<std::uint64_t> deadline_ms) override {
        if (deadline_ms && wait_advances_clock) {
            if (*deadline_ms > clock) {
                clock = *deadline_ms;
            }
            return;
        }
        if (idle_handler && idle_handler()) {
            return;
        }
        std::fprintf(stderr,
                     "headless: GetMessageW would wait forever: nothing queued, no timer due, "
                     "and the idle handler had nothing to give\n");
        std::abort();
    }
    void poll_events() override {}
    int screen_width() override {
        return screen_w;
    }
    int screen_height() override {
        return screen_h;
    }
    std::pair<int, int> create_window(window_id id, const std::wstring& title, int, int, int width,
                                      int height, bool) override {
        screen_window& s = screens[id];
        s = screen_window{};
        s.title = title;
        s.width = width;
        s.height = height;
        return {width, height}; // no frame: the client area is the whole window
    }
    // The layer still holds the framebuffer here: what the window showed last stays readable.
    void destroy_window(window_id id) override {
        auto it = screens.find(id);
        if (it == screens.end()) {
            return;
        }
        screen_window& s = it->second;
        s.visible = false;
        int width = 0, height = 0;
        const std::uint32_t* pixels = platform::window_pixels(id, &width, &height);
        if (s.frames > 0 && pixels != nullptr) {
            s.width = width;
            s.height = height;
            s.shown.assign(pixels, pixels + static_cast<std::size_t>(width) * height);
        }
    }
    void show_window(window_id id, bool visible) override {
        screens[id].visible = visible;
    }
    void set_title(window_id id, const std::wstring& title) override {
        screens[id].title = title;
    }
    // A frame is only counted here: the screen of a live window is its framebuffer, which
    // holds what was presented, so copying every frame would buy nothing.
    void present(window_id id, const std::uint32_t*, int width, int height,
                 platform::rect_i) override {
        screen_window& s = screens[id];
        s.width = width;
        s.height = height;
        ++s.frames;
    }
    void set_capture(window_id, bool) override {}

    void run_modal(const modal_pump& pump) {
        if (modal_hook) {
            modal_hook(pump);
            return;
        }
        for (int i = 0; i < modal_rounds; ++i) {
            pump();
        }
    }
    std::optional<std::wstring> open_file_dialog(const open_dialog_request& request,
                                                 const modal_pump& pump) override {
        dialogs.push_back(request);
        run_modal(pump);
        if (dialog_answers.empty()) {
            return std::nullopt;
        }
        auto answer = dialog_answers.front();
        dialog_answers.pop_front();
        return answer;
    }
    message_box_answer message_box(const message_box_request& request,
                                   const modal_pump& pump) override {
        boxes.push_back(request);
        run_modal(pump);
        if (box_answers.empty()) {
            return request.buttons == platform::message_box_buttons::yes_no
                       ? message_box_answer::yes
                       : message_box_answer::ok;
        }
        const message_box_answer answer = box_answers.front();
        box_answers.pop_front();
        return answer;
    }
};

headless_backend& the_backend() {
    static headless_backend b;
    return b;
}

window_id id_of(HWND window) {
    return static_cast<window_id>(reinterpret_cast<std::uintptr_t>(window));
}

void send(input_event e) {
    platform::deliver_input(e);
}

input_event mouse_event(input_event::kind kind, HWND window, mouse_button button, int x, int y) {
    input_event e;
    e.type = kind;
    e.window = id_of(window);
    e.button = button;
    e.x = x;
    e.y = y;
    return e;
}

// The character a key types without Shift, for WM_CHAR.
wchar_t character_of(unsigned vk) {
    if (vk >= 'A' && vk <= 'Z') {
        return static_cast<wchar_t>(vk - 'A' + 'a');
    }
    if ((vk >= '0' && vk <= '9') || vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE ||
        vk == VK_BACK || vk == VK_TAB) {
        return static_cast<wchar_t>(vk);
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) {
        return static_cast<wchar_t>('0' + (vk - VK_NUMPAD0));
    }
    return 0;
}

} // namespace

void install() {
    headless_backend& b = the_backend();
    b.clock = 0;
    b.wait_advances_clock = true;
    b.idle_handler = nullptr;
    b.screen_w = 1920;
    b.screen_h = 1080;
    b.screens.clear();
    b.dialog_answers.clear();
    b.box_answers.clear();
    b.dialogs.clear();
    b.boxes.clear();
    b.modal_rounds = 0;
    b.modal_hook = nullptr;
    b.shift_held = b.control_held = b.alt_held = false;
    platform::set_backend(&b);
}

std::uint64_t clock_ms() {
    return the_backend().clock;
}
void set_clock_ms(std::uint64_t ms) {
    the_backend().clock = ms;
}
void advance_clock_ms(std::uint64_t ms) {
    the_backend().clock += ms;
}
void set_wait_advances_clock(bool advance) {
    the_backend().wait_advances_clock = advance;
}
void set_idle_handler(std::function<bool()> handler) {
    the_backend().idle_handler = std::move(handler);
}
void set_screen_size(int width, int height) {
    the_backend().screen_w = width;
    the_backend().screen_h = height;
}

void mouse_move(HWND window, int x, int y, bool shift, bool control) {
    input_event e = mouse_event(input_event::kind::mouse_move, window, mouse_button::left, x, y);
    e.shift = shift;
    e.control = control;
    send(e);
}
void mouse_press(HWND window, mouse_button button, int x, int y) {
    send(mouse_event(input_event::kind::mouse_press, window, button, x, y));
}
void mouse_release(HWND window, mouse_button button, int x, int y) {
    send(mouse_event(input_event::kind::mouse_release, window, button, x, y));
}
namespace {

// A key event with the modifiers held at that moment; Shift, Control and Alt are held from
// their press to their release, as the keyboard's state is on Windows.
void send_key(input_event::kind kind, HWND window, unsigned virtual_key, bool auto_repeat) {
    headless_backend& b = the_backend();
    input_event e;
    e.type = kind;
    e.window = id_of(window);
    e.virtual_key = virtual_key;
    e.auto_repeat = auto_repeat;
    e.shift = b.shift_held;
    e.control = b.control_held;
    e.alt = b.alt_held;
    const bool press = kind == input_event::kind::key_press;
    if (press) {
        e.character = character_of(virtual_key);
    }
    if (virtual_key == VK_SHIFT) {
        b.shift_held = press;
    } else if (virtual_key == VK_CONTROL) {
        b.control_held = press;
    } else if (virtual_key == VK_MENU) {
        b.alt_held = press;
    }
    send(e);
}

} // namespace

void key_press(HWND window, unsigned virtual_key, bool auto_repeat) {
    send_key(input_event::kind::key_press, window, virtual_key, auto_repeat);
}
void key_release(HWND window, unsigned virtual_key, bool auto_repeat) {
    send_key(input_event::kind::key_release, window, virtual_key, auto_repeat);
}
void key_tap(HWND window, unsigned virtual_key) {
    key_press(window, virtual_key);
    key_release(window, virtual_key);
}
void resize_client(HWND window, int width, int height) {
    input_event e;
    e.type = input_event::kind::resize;
    e.window = id_of(window);
    e.width = width;
    e.height = height;
    send(e);
}
void request_close(HWND window) {
    input_event e;
    e.type = input_event::kind::close_request;
    e.window = id_of(window);
    send(e);
}

void answer_open_dialog(std::optional<std::wstring> path) {
    the_backend().dialog_answers.push_back(std::move(path));
}
void answer_message_box(message_box_answer answer) {
    the_backend().box_answers.push_back(answer);
}
const std::vector<open_dialog_request>& open_dialogs_shown() {
    return the_backend().dialogs;
}
const std::vector<message_box_request>& message_boxes_shown() {
    return the_backend().boxes;
}
void set_modal_pump_rounds(int rounds) {
    the_backend().modal_rounds = rounds;
}
void set_modal_hook(std::function<void(const modal_pump&)> hook) {
    the_backend().modal_hook = std::move(hook);
}

bool dispatch_next(MSG* message) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        return false;
    }
    if (message != nullptr) {
        *message = msg;
    }
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam)); // left for the program's loop
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

int run_until_idle(int limit) {
    int count = 0;
    while (count < limit && dispatch_next()) {
        ++count;
    }
    return count;
}

bool deliver_pending_paint(HWND window) {
    RECT r;
    if (!IsWindow(window) || !GetUpdateRect(window, &r, FALSE)) {
        return false;
    }
    UpdateWindow(window);
    return true;
}

void run_for_ms(std::uint64_t ms) {
    for (std::uint64_t i = 0; i < ms; ++i) {
        advance_clock_ms(1);
        run_until_idle();
    }
}

int client_width(HWND window) {
    RECT r;
    if (GetClientRect(window, &r)) {
        return r.right;
    }
    auto it = the_backend().screens.find(id_of(window));
    return it == the_backend().screens.end() ? 0 : it->second.width;
}

int client_height(HWND window) {
    RECT r;
    if (GetClientRect(window, &r)) {
        return r.bottom;
    }
    auto it = the_backend().screens.find(id_of(window));
    return it == the_backend().screens.end() ? 0 : it->second.height;
}

std::vector<std::uint32_t> client_image(HWND window) {
    int width = 0, height = 0;
    if (const std::uint32_t* pixels = platform::window_pixels(id_of(window), &width, &height)) {
        return std::vector<std::uint32_t>(pixels,
                                          pixels + static_cast<std::size_t>(width) * height);
    }
    auto it = the_backend().screens.find(id_of(window));
    return it == the_backend().screens.end() ? std::vector<std::uint32_t>{} : it->second.shown;
}

COLORREF client_pixel(HWND window, int x, int y) {
    int width = 0, height = 0;
    const std::uint32_t* pixels = platform::window_pixels(id_of(window), &width, &height);
    if (pixels == nullptr) {
        auto it = the_backend().screens.find(id_of(window));
        if (it == the_backend().screens.end()) {
            return CLR_INVALID;
        }
        width = it->second.width;
        height = it->second.height;
        pixels = it->second.shown.data();
        if (it->second.shown.size() != static_cast<std::size_t>(width) * height) {
            return CLR_INVALID;
        }
    }
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return CLR_INVALID;
    }
    const std::uint32_t p = pixels[static_cast<std::size_t>(y) * width + x];
    return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

std::wstring window_title(HWND window) {
    auto it = the_backend().screens.find(id_of(window));
    return it == the_backend().screens.end() ? std::wstring() : it->second.title;
}

bool window_visible(HWND window) {
    auto it = the_backend().screens.find(id_of(window));
    return it != the_backend().screens.end() && it->second.visible;
}

std::uint64_t presented_frames(HWND window) {
    auto it = the_backend().screens.find(id_of(window));
    return it == the_backend().screens.end() ? 0 : it->second.frames;
}

} // namespace vorla::headless
