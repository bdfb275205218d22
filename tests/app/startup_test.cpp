// Start-up: the state, the frame header, the log and the window that start_program leaves.
#include "app/app_state.h"
#include "app/program.h"
#include "window_fixture.h"

#include <filesystem>
#include <fstream>

namespace {

using startup = window_test;

TEST_F(startup, leaves_fresh_grids_frame_header_and_an_empty_log) {
    const auto& s = state();
    EXPECT_EQ(s.medium_mask[0][300], 0);
    EXPECT_EQ(s.medium_mask[300][0], 0);
    EXPECT_EQ(s.medium_mask[1][1], 1);
    EXPECT_EQ(s.medium_mask[1023][767], 1);
    EXPECT_EQ(s.is_running, 1);
    EXPECT_EQ(s.draw_kind, 'J');
    EXPECT_EQ(s.time_step, 0);

    const BITMAPINFOHEADER& h = frame_bitmap_info.bmiHeader;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 768);
    EXPECT_EQ(h.biHeight, 576);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression, DWORD{BI_RGB});
    EXPECT_EQ(h.biSizeImage, 0u);
    EXPECT_EQ(h.biClrUsed, 0u);

    EXPECT_TRUE(std::filesystem::exists(in_work_folder("test.txt")));
    EXPECT_EQ(std::filesystem::file_size(in_work_folder("test.txt")), 0u);
}

TEST_F(startup, window_title_size_and_class) {
    wchar_t title[64];
    GetWindowTextW(window, title, 64);
    EXPECT_STREQ(title, L"Realtime Vorla");
    RECT r;
    GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 1024);
    EXPECT_EQ(r.bottom - r.top, 768);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetClassLongPtrW(window, GCL_STYLE), ULONG_PTR{CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS});
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)) & WS_OVERLAPPEDWINDOW,
              DWORD{WS_OVERLAPPEDWINDOW});
}

TEST_F(startup, closing_the_window_posts_quit_and_finish_returns_zero) {
    EXPECT_EQ(send(WM_CLOSE), 0);
    EXPECT_FALSE(IsWindow(window));
    MSG message;
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 0u);
    EXPECT_EQ(finish_program(), 0);
    EXPECT_EQ(state().frame_pixels, nullptr);
}

// fopen_s opens unshared on Windows, so a second instance in the same folder gets no log and
// ends with code 1 instead of emptying this one's.
TEST_F(startup, the_log_is_not_shared_while_the_program_runs) {
#ifdef _WIN32
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
        // Wine's msvcrt opens fopen_s streams shared (_SH_DENYNO); Windows does not: "Files
        // opened by fopen_s and _wfopen_s aren't sharable" (learn.microsoft.com, fopen_s).
        GTEST_SKIP() << "known Wine difference: fopen_s is sharable under Wine";
    }
#endif
    std::fputs("( 1, 2)\n", state().log_file);
    std::fflush(state().log_file);
    FILE* second = nullptr;
    EXPECT_NE(fopen_s(&second, "test.txt", "w"), 0);
    EXPECT_EQ(second, nullptr);
    if (second != nullptr) {
        std::fclose(second);
    }
    std::fclose(state().log_file); // Windows lets nobody read it while it is open
    state().log_file = nullptr;
    std::ifstream log(in_work_folder("test.txt"));
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line, "( 1, 2)");
}

TEST(startup_failure, a_log_that_cannot_be_created_ends_with_code_1_and_no_window) {
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    const fs::path folder = fs::temp_directory_path() / "vorla-test-no-log";
    fs::remove_all(folder);
    fs::create_directories(folder / "test.txt"); // a folder where the log would be
    fs::current_path(folder);
    HWND window = reinterpret_cast<HWND>(1);
    const int code = start_program(GetModuleHandleW(nullptr), &window);
    fs::current_path(previous);
    fs::remove_all(folder);
    EXPECT_EQ(code, 1);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(FindWindowW(main_window_class_name, nullptr), nullptr);
}

} // namespace
