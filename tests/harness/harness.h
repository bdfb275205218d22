// Drives the real main window in tests, on whichever system layer the suite is built for:
// the real Win32 API under Wine, or our posix layer on the headless backend. Everything but
// the answers to modal dialogs goes through ordinary Win32 calls, so one test source serves
// both.
#pragma once

#include "platform/win32.h"

#include <string>
#include <vector>

// Starts from the state WinMain leaves before its loop: fresh simulation state, frame header,
// log "test.txt" opened in a fresh temporary folder (the current directory while the window
// lives), the window created, shown and painted once by UpdateWindow, timer 10 started.
HWND test_start_window();

// Destroys the window if it still exists and returns to the folder the test started in.
void test_stop_window();

// Handles every queued message, then the pending WM_PAINT if any, until nothing is left,
// as the message loop does when idle. Returns the number of WM_PAINTs delivered.
int test_pump();

// The next GetOpenFileNameW returns this path (UTF-8, absolute), or is cancelled when empty.
void test_answer_next_open_dialog(const std::string& path);

// Message boxes are answered OK at once; this lists the texts shown so far, oldest first.
std::vector<std::wstring> test_message_box_texts();

// The colour reference of client pixel (x, y) as the window shows it.
COLORREF test_client_pixel(int x, int y);

// The folder of the running test's "test.txt".
std::string test_work_folder();
