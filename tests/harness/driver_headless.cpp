// The test driver on our layer over the headless backend: the clock is virtual, input is
// handed to the backend, and modal dialogs are answered by the backend itself.
#include "harness/driver.h"

#include "platform/headless/headless.h"

#include <cstdlib>
#include <set>
#include <utility>

namespace {

namespace fs = std::filesystem;
namespace headless = vorla::headless;

struct hold_request {
    unsigned open_ms = 0;
    std::function<void()> while_open;
};

struct driver_state {
    std::vector<driver_dialog> shown;
    std::vector<hold_request> holds; // for the next dialogs, in order
    std::set<unsigned> keys_down;
    bool pointer_known = false;
    HWND pointer_window = nullptr;
    int pointer_x = 0, pointer_y = 0;
    std::vector<fs::path> folders;
    std::size_t dialogs_seen = 0, boxes_seen = 0;
};

driver_state state;

headless::mouse_button button_of(driver_button b) {
    return b == driver_button::left ? headless::mouse_button::left : headless::mouse_button::right;
}

// Records what the backend was asked, in order, and keeps a held dialog open while its time
// passes on the virtual clock.
void on_modal(const headless::modal_pump& pump) {
    driver_dialog record;
    if (headless::open_dialogs_shown().size() > state.dialogs_seen) {
        const auto& asked = headless::open_dialogs_shown()[state.dialogs_seen++];
        record.owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(asked.owner));
        record.caption = asked.title;
        for (const auto& [name, patterns] : asked.filters) {
            record.filters.push_back(name);
        }
        record.file_name = asked.initial_path;
    } else if (headless::message_boxes_shown().size() > state.boxes_seen) {
        const auto& asked = headless::message_boxes_shown()[state.boxes_seen++];
        record.is_message_box = true;
        record.owner = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(asked.owner));
        record.caption = asked.caption;
        record.text = asked.text;
    }
    state.shown.push_back(std::move(record));
    if (state.holds.empty()) {
        return;
    }
    hold_request hold = std::move(state.holds.front());
    state.holds.erase(state.holds.begin());
    if (hold.while_open) {
        hold.while_open();
    }
    for (unsigned i = 0; i < hold.open_ms; ++i) {
        headless::advance_clock_ms(1);
        pump();
    }
}

// Installing the backend (as the program harness does for each window) drops the hook.
void hook_modal_loops() {
    if (headless::open_dialogs_shown().empty() && headless::message_boxes_shown().empty()) {
        state.dialogs_seen = 0;
        state.boxes_seen = 0;
    }
    headless::set_modal_hook(on_modal);
}

void bring_pointer(HWND window, int x, int y) {
    if (!state.pointer_known || state.pointer_window != window || state.pointer_x != x ||
        state.pointer_y != y) {
        driver_mouse_move(window, x, y);
    }
}

} // namespace

void driver_reset() {
    headless::install();
    std::error_code ignored;
    for (const fs::path& folder : state.folders) {
        fs::remove_all(folder, ignored);
    }
    state = driver_state{};
    hook_modal_loops();
}

bool driver_on_win32() {
    return false;
}

bool driver_under_wine() {
    return false;
}

DWORD driver_gdi_objects() {
    return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
}

int driver_pump() {
    return headless::run_until_idle();
}

bool driver_dispatch_next(MSG* message) {
    return headless::dispatch_next(message);
}

void driver_settle() {
    headless::run_until_idle();
}

void driver_sleep_ms(unsigned ms) {
    headless::advance_clock_ms(ms);
}

unsigned driver_run_for_ms(unsigned ms) {
    headless::run_for_ms(ms);
    return ms;
}

void driver_mouse_move(HWND window, int x, int y) {
    headless::mouse_move(window, x, y);
    state.pointer_known = true;
    state.pointer_window = window;
    state.pointer_x = x;
    state.pointer_y = y;
}

void driver_mouse_press(HWND window, driver_button button, int x, int y) {
    bring_pointer(window, x, y);
    headless::mouse_press(window, button_of(button), x, y);
}

void driver_mouse_release(HWND window, driver_button button, int x, int y) {
    bring_pointer(window, x, y);
    headless::mouse_release(window, button_of(button), x, y);
}

void driver_key_press(HWND window, unsigned virtual_key) {
    // A key pressed again before its release is the keyboard's auto-repeat.
    const bool repeat = !state.keys_down.insert(virtual_key).second;
    headless::key_press(window, virtual_key, repeat);
}

void driver_key_release(HWND window, unsigned virtual_key) {
    state.keys_down.erase(virtual_key);
    headless::key_release(window, virtual_key);
}

void driver_resize_client(HWND window, int width, int height) {
    headless::resize_client(window, width, height);
}

void driver_click_close_box(HWND window) {
    headless::request_close(window);
}

void driver_answer_open_dialog(const std::optional<fs::path>& file) {
    hook_modal_loops();
    if (file && !file->empty()) {
        headless::answer_open_dialog(file->wstring());
    } else {
        headless::answer_open_dialog(std::nullopt);
    }
}

void driver_answer_message_box(int button_id) {
    hook_modal_loops();
    headless::answer_message_box(button_id == IDCANCEL ? headless::message_box_answer::cancel
                                                       : headless::message_box_answer::ok);
}

void driver_hold_next_dialog(unsigned open_ms, std::function<void()> while_open) {
    hook_modal_loops();
    state.holds.push_back(hold_request{open_ms, std::move(while_open)});
}

std::vector<driver_dialog> driver_dialogs_shown() {
    return state.shown;
}

COLORREF driver_client_pixel(HWND window, int x, int y) {
    return headless::client_pixel(window, x, y);
}

fs::path driver_fresh_folder() {
    std::string pattern = (fs::temp_directory_path() / "vorla-layer-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    state.folders.emplace_back(pattern);
    return state.folders.back();
}

std::wstring driver_native_path(const std::string& posix_path) {
    return fs::path(posix_path).wstring();
}
