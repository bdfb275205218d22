// Drives the tests of the Win32 layer the same way wherever they run: on our posix layer over
// the headless backend, or on the real Win32 API (Windows, Wine). Only what the two cannot
// share goes through here: the passing of time, the user's input, the answers to modal
// dialogs, reading the screen, files. Everything else in those tests is plain Win32.
#pragma once

#include "platform/win32.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Before each test: no dialog answers or records, no key or button held, no capture, the
// pointer away from where test windows open, and (headless) the clock at 0.
void driver_reset();

// The real Win32 API (Windows or Wine) rather than our layer; and Wine in particular, for the
// few documented places where Wine is known to differ from Windows.
bool driver_on_win32();
bool driver_under_wine();

// Dispatches (after TranslateMessage) everything the queue gives until it gives nothing:
// posted messages, input, repaints, due timers. Time does not pass on purpose. Returns the
// number of messages dispatched.
int driver_pump();
// Takes and dispatches the next message the queue gives, if any.
bool driver_dispatch_next(MSG* message);
// Pumps until the system has stopped sending anything of its own (on Win32, e.g. the exposure
// of a window that was just shown).
void driver_settle();

// Lets time pass without dispatching anything (headless: moves the clock).
void driver_sleep_ms(unsigned ms);
// Lets time pass while dispatching what comes; returns the milliseconds that passed (at least
// ms; headless: exactly ms, the clock moving 1 ms at a time).
unsigned driver_run_for_ms(unsigned ms);

// The user's input, in client coordinates of the window (they may lie outside it). A press or
// release first brings the pointer to its point, which reaches the window as a move when the
// pointer was elsewhere. Keys are virtual-key codes; the keyboard layout is US.
enum class driver_button { left, right };
void driver_mouse_move(HWND window, int x, int y);
void driver_mouse_press(HWND window, driver_button button, int x, int y);
void driver_mouse_release(HWND window, driver_button button, int x, int y);
void driver_key_press(HWND window, unsigned virtual_key);
void driver_key_release(HWND window, unsigned virtual_key);
// The user drags the window's border until the client area has this size.
void driver_resize_client(HWND window, int width, int height);
// The user clicks the window's close box.
void driver_click_close_box(HWND window);

// Answers for the next modal dialogs, in order of asking. An open dialog gets this file
// (which must exist) or is cancelled when it is empty; without an answer it is cancelled.
// A message box gets IDOK or IDCANCEL; without an answer, IDOK.
void driver_answer_open_dialog(const std::optional<std::filesystem::path>& file);
void driver_answer_message_box(int button_id);
// The next dialog or message box stays open while at least open_ms pass, its modal loop
// running; while_open is called once inside that loop, as soon as the dialog is up.
void driver_hold_next_dialog(unsigned open_ms, std::function<void()> while_open = {});

// What each dialog and message box showed, oldest first.
struct driver_dialog {
    bool is_message_box = false;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;                 // a message box's text
    std::vector<std::wstring> filters; // an open dialog's filter names, in order
    std::wstring file_name;            // the name the open dialog offered at first
};
std::vector<driver_dialog> driver_dialogs_shown();

// The process's live GDI objects, stock objects left out. Under Wine the count includes what
// Wine's drivers keep for themselves: compare two counts, not a count with a number.
DWORD driver_gdi_objects();

// The client pixel as the window shows it, as GetPixel gives it.
COLORREF driver_client_pixel(HWND window, int x, int y);

// A new empty folder for the running test (removed at the next reset).
std::filesystem::path driver_fresh_folder();
// A file of this system given by its POSIX path (the test data's location), as this system's
// file functions want it.
std::wstring driver_native_path(const std::string& posix_path);
