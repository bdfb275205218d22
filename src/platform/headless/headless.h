// The headless backend: the Win32 layer with no display. Time stands still until the caller
// moves the virtual clock; input, dialog answers and message-box answers come from the caller;
// every window's client framebuffer can be read. Same calls, same bytes, on every run.
//
// Window handles (HWND) are the backend's window ids. Input is queued as the system queues
// it (it is dropped, as on Windows, when it cannot reach the window: outside it without
// capture, or while a modal dialog is open); the window procedure sees it when the caller
// dispatches messages (dispatch_next, run_until_idle, or the program's own message loop).
#pragma once

#include "platform/posix/backend.h"
#include "platform/win32.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vorla::headless {

using platform::message_box_answer;
using platform::message_box_request;
using platform::modal_pump;
using platform::mouse_button;
using platform::open_dialog_request;

// Makes the headless backend the current one and resets it: clock at 0, no answers, no
// records, screen 1920 x 1080, modal dialogs pump nothing.
void install();

// ---- clock
std::uint64_t clock_ms();
void set_clock_ms(std::uint64_t ms);
void advance_clock_ms(std::uint64_t ms);

// GetMessageW waiting for a timer moves the clock to the timer's due time (default on). With
// nothing to wait for, the idle handler is asked to supply something (inject input, post a
// message, move the clock) and returns false when it has nothing: then the wait aborts the
// process with a message rather than hang.
void set_wait_advances_clock(bool advance);
void set_idle_handler(std::function<bool()> handler);

void set_screen_size(int width, int height);

// ---- input (client coordinates; outside the client area only reaches a captured window)
void mouse_move(HWND window, int x, int y, bool shift = false, bool control = false);
void mouse_press(HWND window, mouse_button button, int x, int y);
void mouse_release(HWND window, mouse_button button, int x, int y);
// Virtual-key codes; an auto-repeated release is dropped, as a real release of a held key.
// VK_SHIFT, VK_CONTROL and VK_MENU (Alt) are held from their press to their release.
void key_press(HWND window, unsigned virtual_key, bool auto_repeat = false);
void key_release(HWND window, unsigned virtual_key, bool auto_repeat = false);
// A press and release, as a typed key.
void key_tap(HWND window, unsigned virtual_key);
// The user drags the window's border: the client area takes this size.
void resize_client(HWND window, int width, int height);
// The user clicks the close box.
void request_close(HWND window);

// ---- modal dialogs
// Answers for the next GetOpenFileNameW calls, in order: a path, or nullopt to cancel.
// Without a queued answer a dialog is cancelled.
void answer_open_dialog(std::optional<std::wstring> path);
// Answers for the next MessageBoxW calls, in order; without one, OK (or the first button).
void answer_message_box(message_box_answer answer);
// What was shown so far, oldest first.
const std::vector<open_dialog_request>& open_dialogs_shown();
const std::vector<message_box_request>& message_boxes_shown();
// While a dialog or message box is "open": the pump runs this many rounds, each handling the
// program's pending messages (timers, repaints) as the system's modal loop would.
void set_modal_pump_rounds(int rounds);
// Or full control: called once per open dialog with the pump; e.g. advance the clock by 1 ms
// and pump, a few times, to watch the field advance behind the dialog.
void set_modal_hook(std::function<void(const modal_pump&)> hook);

// ---- driving the program
// Takes the next message the queue would give (PM_REMOVE) and dispatches it, after
// TranslateMessage; fills *message when given. False when there is none.
bool dispatch_next(MSG* message = nullptr);
// Dispatches until the queue gives nothing (posted, input, paint, due timers; the clock does
// not move). Returns the number of messages dispatched; stops after limit.
int run_until_idle(int limit = 100000);
// Delivers a pending WM_PAINT of the window now, as UpdateWindow does; true if there was one.
bool deliver_pending_paint(HWND window);
// Advances the clock 1 ms at a time, each step followed by run_until_idle.
void run_for_ms(std::uint64_t ms);

// ---- the screen
int client_width(HWND window);
int client_height(HWND window);
// The pixel as GetPixel would give it (0x00BBGGRR); CLR_INVALID outside the client area.
// After the window is gone, the image it had when it was destroyed (none if it never showed).
COLORREF client_pixel(HWND window, int x, int y);
// The whole client area, 0x00RRGGBB, rows top-down.
std::vector<std::uint32_t> client_image(HWND window);
// Title and visibility as the window manager would show them.
std::wstring window_title(HWND window);
bool window_visible(HWND window);
// The number of frames presented so far (EndPaint, ReleaseDC, first show).
std::uint64_t presented_frames(HWND window);

} // namespace vorla::headless
