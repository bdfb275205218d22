// Message names for the sequences that checks print.
#include "platform_fixture.h"

void PrintTo(const message_list& list, std::ostream* out) {
    static const std::pair<UINT, const char*> names[] = {
        {WM_NCCREATE, "WM_NCCREATE"},
        {WM_CREATE, "WM_CREATE"},
        {WM_SHOWWINDOW, "WM_SHOWWINDOW"},
        {WM_SIZE, "WM_SIZE"},
        {WM_PAINT, "WM_PAINT"},
        {WM_ERASEBKGND, "WM_ERASEBKGND"},
        {WM_TIMER, "WM_TIMER"},
        {WM_CLOSE, "WM_CLOSE"},
        {WM_DESTROY, "WM_DESTROY"},
        {WM_NCDESTROY, "WM_NCDESTROY"},
        {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"},
        {WM_KEYDOWN, "WM_KEYDOWN"},
        {WM_KEYUP, "WM_KEYUP"},
        {WM_CHAR, "WM_CHAR"},
        {WM_SYSKEYDOWN, "WM_SYSKEYDOWN"},
        {WM_SYSKEYUP, "WM_SYSKEYUP"},
        {WM_SYSCHAR, "WM_SYSCHAR"},
        {WM_SYSCOMMAND, "WM_SYSCOMMAND"},
        {WM_MOUSEMOVE, "WM_MOUSEMOVE"},
        {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
        {WM_LBUTTONUP, "WM_LBUTTONUP"},
        {WM_LBUTTONDBLCLK, "WM_LBUTTONDBLCLK"},
        {WM_RBUTTONDOWN, "WM_RBUTTONDOWN"},
        {WM_RBUTTONUP, "WM_RBUTTONUP"},
        {WM_RBUTTONDBLCLK, "WM_RBUTTONDBLCLK"},
    };
    *out << "{";
    for (std::size_t i = 0; i < list.size(); ++i) {
        *out << (i == 0 ? " " : ", ");
        const char* name = nullptr;
        for (const auto& [id, text] : names) {
            if (id == list[i]) {
                name = text;
            }
        }
        if (name != nullptr) {
            *out << name;
        } else if (list[i] >= WM_USER) {
            *out << "WM_USER+" << list[i] - WM_USER;
        } else {
            *out << "0x" << std::hex << list[i] << std::dec;
        }
    }
    *out << " }";
}
