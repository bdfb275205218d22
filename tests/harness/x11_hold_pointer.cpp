// Holds the X pointer (an active grab on the root window) until it is ended, so that no other
// X client gets pointer events or can move the pointer: the Win32 layer tests under Wine give
// all their input with SendInput, and Wine then leaves the X pointer alone.
// Prints "held" once the grab is in place; exits 1 when it cannot be had.
#include <X11/Xlib.h>

#include <cstdio>
#include <unistd.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "x11-hold-pointer: cannot open the display\n");
        return 1;
    }
    int result = GrabNotViewable;
    for (int attempt = 0; attempt < 50 && result != GrabSuccess; ++attempt) {
        result = XGrabPointer(display, DefaultRootWindow(display), False,
                              ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                              GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
        if (result != GrabSuccess) {
            usleep(100 * 1000); // another client's grab may be ending
        }
    }
    if (result != GrabSuccess) {
        std::fprintf(stderr, "x11-hold-pointer: the pointer is held elsewhere (%d)\n", result);
        return 1;
    }
    XSync(display, False);
    std::printf("held\n");
    std::fflush(stdout);
    for (;;) {
        pause();
    }
}
