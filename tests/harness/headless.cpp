// The test harness on the headless backend: the real window procedure, our Win32 layer, no
// display, the clock standing still unless a test moves it.
#include "harness/harness.h"

#include "app/app_state.h"
#include "app/program.h"
#include "platform/headless/headless.h"
#include "state/simulation_state.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

HWND current_window = nullptr;
fs::path previous_folder;
fs::path work_folder;

fs::path fresh_folder() {
    std::string pattern = (fs::temp_directory_path() / "vorla-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        return fs::temp_directory_path();
    }
    return fs::path(pattern);
}

} // namespace

HWND test_start_window() {
    test_stop_window();
    vorla::headless::install();
    reset_app_state();
    previous_folder = fs::current_path();
    work_folder = fresh_folder();
    fs::current_path(work_folder);
    HWND window = nullptr;
    if (start_program(GetModuleHandleW(nullptr), &window) != 0) {
        fs::current_path(previous_folder);
        return nullptr;
    }
    current_window = window;
    return window;
}

void test_stop_window() {
    stop_program(current_window);
    current_window = nullptr;
    if (!work_folder.empty()) {
        std::error_code ignored;
        fs::current_path(previous_folder, ignored);
        fs::remove_all(work_folder, ignored);
        work_folder.clear();
    }
}

int test_pump() {
    int paints = 0;
    MSG message;
    while (vorla::headless::dispatch_next(&message)) {
        if (message.message == WM_PAINT) {
            ++paints;
        }
    }
    return paints;
}

void test_answer_next_open_dialog(const std::string& path) {
    if (path.empty()) {
        vorla::headless::answer_open_dialog(std::nullopt);
    } else {
        vorla::headless::answer_open_dialog(fs::path(path).wstring());
    }
}

std::vector<std::wstring> test_message_box_texts() {
    std::vector<std::wstring> texts;
    for (const auto& box : vorla::headless::message_boxes_shown()) {
        texts.push_back(box.text);
    }
    return texts;
}

COLORREF test_client_pixel(int x, int y) {
    return vorla::headless::client_pixel(current_window, x, y);
}

std::string test_work_folder() {
    return work_folder.string();
}
