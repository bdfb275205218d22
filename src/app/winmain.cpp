#include "app/app_state.h"
#include "app/program.h"
#include "app/stages/bitmap_import.h"
#include "app/stages/frame_blit.h"
#include "platform/win32.h"
#include "state/simulation_state.h"

#include <cstdio>

namespace {

constexpr int window_width = 1024;
constexpr int window_height = 768;

HWND main_window;

} // namespace

HWND create_main_window(HINSTANCE instance) {
    WNDCLASSEXW window_class;
    window_class.cbSize = sizeof(WNDCLASSEXW);
    window_class.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    window_class.lpfnWndProc = main_window_proc;
    window_class.cbClsExtra = 0;
    window_class.cbWndExtra = 0;
    window_class.hInstance = instance;
    // 32512 is both IDI_APPLICATION and IDC_ARROW: the shared system icon and arrow.
    window_class.hIcon = static_cast<HICON>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    window_class.hCursor = static_cast<HCURSOR>(LoadImageW(
        nullptr, MAKEINTRESOURCEW(32512), IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszMenuName = nullptr;
    window_class.lpszClassName = main_window_class_name;
    window_class.hIconSm = window_class.hIcon;
    if (RegisterClassExW(&window_class) == 0) {
        return nullptr;
    }

    // Signed, truncating: a screen smaller than the window puts its corner off screen.
    const int y = (GetSystemMetrics(SM_CYSCREEN) - window_height) / 2;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - window_width) / 2;
    return CreateWindowExW(0, main_window_class_name, L"Realtime Vorla", WS_OVERLAPPEDWINDOW, x, y,
                           window_width, window_height, nullptr, nullptr, instance, nullptr);
}

int start_program(HINSTANCE instance, HWND* window) {
    *window = nullptr;
    app_instance = instance;
    fill_frame_bitmap_info();
    prepare_start_state();

    // Unshared, as fopen_s opens on Windows: a second instance in the same folder cannot
    // empty this one's log, and ends instead.
    simulation_state.log_file = nullptr;
    fopen_s(&simulation_state.log_file, "test.txt", "w");
    if (simulation_state.log_file == nullptr) {
        return 1;
    }

    main_window = create_main_window(instance);
    if (main_window == nullptr) {
        MessageBoxW(nullptr, L"Error making WINDOW", L"!!ERROR!!", MB_OK);
        return 1;
    }
    ShowWindow(main_window, SW_SHOW);
    UpdateWindow(main_window);
    SetTimer(main_window, repaint_timer_id, 1, nullptr);
    *window = main_window;
    return 0;
}

void run_message_loop() {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int finish_program() {
    KillTimer(main_window, repaint_timer_id);
    main_window = nullptr;
    auto& s = simulation_state;
    if (s.frame_pixels != nullptr) {
        HeapFree(GetProcessHeap(), 0, s.frame_pixels);
        s.frame_pixels = nullptr;
    }
    return 0;
}

void stop_program(HWND window) {
    if (window != nullptr && IsWindow(window)) {
        DestroyWindow(window);
    }
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    finish_program();
    release_imported_bitmap();
    UnregisterClassW(main_window_class_name, app_instance);
    auto& s = simulation_state;
    if (s.log_file != nullptr) {
        std::fclose(s.log_file);
        s.log_file = nullptr;
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    HWND window = nullptr;
    const int code = start_program(instance, &window);
    if (code != 0) {
        return code;
    }
    run_message_loop();
    return finish_program();
}
