// The program's entry points: start-up split from the message loop so that tests, the
// headless harness and the replay tool can start the window without the loop.
#pragma once

#include "platform/win32.h"

// The one window procedure of the main window.
LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM w_param, LPARAM l_param);

// The class of the main window.
inline constexpr wchar_t main_window_class_name[] = L"Default Class Name";

// Registers the class and creates the 1024 x 768 window centred on the screen; null when
// either fails.
HWND create_main_window(HINSTANCE instance);

// Start-up up to the loop: state, frame header, log "test.txt", window shown and painted,
// timer 10 started. Returns 0, or the exit code 1 when the log or the window cannot be made.
int start_program(HINSTANCE instance, HWND* window);

// GetMessageW / TranslateMessage / DispatchMessageW until the quit message (or an error).
void run_message_loop();

// Stops the timer, releases a frame buffer still held, returns the exit code 0: what WinMain
// does after its loop.
int finish_program();

// Undoes start_program, so that it can run again in the same process (tests, vorla-replay):
// destroys the window if it is still there, handles the messages that leaves (its WM_QUIT
// is for a loop that no longer runs), finish_program, releases the memory DC and the bitmap
// the last import kept, unregisters the class and closes the log. window may be null.
void stop_program(HWND window);

// Right button press: capture, move the source, count the click.
LRESULT place_source(HWND window, LPARAM l_param);

// The count line, then the pulse of a pending click.
void excite_source(HDC dc);

inline constexpr UINT_PTR repaint_timer_id = 10;
