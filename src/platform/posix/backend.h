// What the posix Win32 layer needs from the system it runs on: a place to show each window's
// client framebuffer, input, a clock, a way to wait, and the modal dialogs. One backend is
// current at a time (Qt for the desktop program, headless for tests and replays). Backends
// see no Win32 type: windows are plain numbers, pixels are 0x00RRGGBB.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorla::platform {

using window_id = std::uint64_t;

enum class mouse_button { left, right, middle };

// Input as the backend sees it; the Win32 layer turns it into window messages.
struct input_event {
    enum class kind {
        mouse_move,
        mouse_press,
        mouse_release,
        key_press,
        key_release,
        resize,
        close_request
    };
    kind type = kind::mouse_move;
    window_id window = 0;
    int x = 0, y = 0; // client coordinates, may lie outside the client area
    mouse_button button = mouse_button::left;
    bool shift = false, control = false, alt = false; // held during the event
    unsigned virtual_key = 0; // Win32 virtual-key code
    wchar_t character = 0;    // the text the key produces, 0 if none
    bool auto_repeat = false;
    int width = 0, height = 0; // new client size, for resize
};

struct rect_i {
    int left = 0, top = 0, right = 0, bottom = 0;
};

struct open_dialog_request {
    window_id owner = 0;
    std::wstring title; // empty: the system's default
    std::vector<std::pair<std::wstring, std::wstring>>
        filters;          // (display text, patterns "*.a;*.b")
    int filter_index = 0; // 0-based
    std::wstring initial_path;
    std::wstring default_extension;
    bool file_must_exist = false;
};

enum class message_box_icon { none, error, question, warning, information };
enum class message_box_buttons { ok, ok_cancel, yes_no };
enum class message_box_answer { ok, cancel, yes, no };

struct message_box_request {
    window_id owner = 0;
    std::wstring text;
    std::wstring caption;
    message_box_icon icon = message_box_icon::none;
    message_box_buttons buttons = message_box_buttons::ok;
};

// Handles the program's pending messages (timers, repaints) without blocking; modal dialogs
// call it repeatedly while they are open, as Windows' modal loops do.
using modal_pump = std::function<void()>;

class backend {
  public:
    virtual ~backend() = default;

    // Milliseconds of a monotonic clock; the layer's GetTickCount is its low 32 bits.
    virtual std::uint64_t now_ms() = 0;

    // Hands every pending system event to deliver_input(). With a deadline in the future and
    // nothing pending, sleeps until an event arrives or the deadline passes; without one,
    // until an event arrives.
    virtual void wait_events(std::optional<std::uint64_t> deadline_ms) = 0;
    // The same without sleeping.
    virtual void poll_events() = 0;

    virtual int screen_width() = 0;
    virtual int screen_height() = 0;
    virtual unsigned double_click_time_ms() {
        return 500;
    }

    // Creates the window hidden; (x, y, width, height) is its outer rectangle. Returns the
    // client size it got.
    virtual std::pair<int, int> create_window(window_id id, const std::wstring& title, int x, int y,
                                              int width, int height, bool resizable) = 0;
    virtual void destroy_window(window_id id) = 0;
    virtual void show_window(window_id id, bool visible) = 0;
    virtual void set_title(window_id id, const std::wstring& title) = 0;

    // Shows the client framebuffer (0x00RRGGBB, rows top-down, width x height); only the
    // dirty part changed since the last call.
    virtual void present(window_id id, const std::uint32_t* pixels, int width, int height,
                         rect_i dirty) = 0;

    // Mouse capture: while on, mouse events keep coming when the pointer leaves the window.
    virtual void set_capture(window_id id, bool captured) = 0;

    // Modal dialogs; pump is called repeatedly while they are open.
    virtual std::optional<std::wstring> open_file_dialog(const open_dialog_request& request,
                                                         const modal_pump& pump) = 0;
    virtual message_box_answer message_box(const message_box_request& request,
                                           const modal_pump& pump) = 0;
};

// The backend the Win32 layer draws and waits through. Until one is set, a minimal one stands
// in: a real clock, no screen, dialogs cancelled, message boxes answered OK.
void set_backend(backend* current);
backend& current_backend();

// Called by the backend (from wait_events or poll_events) for every input event.
void deliver_input(const input_event& event);

// Presents every window's framebuffer where it changed since the last presentation.
void flush_windows();

// The client framebuffer of a window as the layer holds it (0x00RRGGBB, top-down); null
// when the window does not exist.
const std::uint32_t* window_pixels(window_id id, int* width, int* height);

} // namespace vorla::platform
