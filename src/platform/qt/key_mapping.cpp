#include "platform/qt/key_mapping.h"

#include <QChar>
#include <Qt>

namespace vorla::platform {

namespace {

// X11 (evdev) keycodes of the main row's 1..9 and 0.
constexpr unsigned first_digit_keycode = 10;
constexpr unsigned last_digit_keycode = 19;

// The virtual keys of a US keyboard's letter rows, from X11 keycode 20 (-) to 61 (/); 0 where
// the key is not a character key.
constexpr unsigned char us_row_keys[] = {
    0xBD, 0xBB, 0, 0,    'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I',  'O',  'P',
    0xDB, 0xDD, 0, 0,    'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K',  'L',  0xBA,
    0xDE, 0xC0, 0, 0xDC, 'Z', 'X', 'C', 'V', 'B', 'N', 'M', 0xBC, 0xBE, 0xBF};
constexpr unsigned first_row_keycode = 20;

// A letter of a script other than Latin (Cyrillic, Greek, ...): Windows layouts for such
// scripts give these keys the virtual keys of their US positions.
bool is_non_latin_letter(int qt_key) {
    if (qt_key < 0x0250 || qt_key > 0xFFFF || (qt_key >= 0x1E00 && qt_key < 0x1F00)) {
        return false; // Latin, its extensions, or not a character at all
    }
    return QChar(static_cast<char16_t>(qt_key)).isLetter();
}

unsigned us_key_at(unsigned scan_code) {
    const unsigned index = scan_code - first_row_keycode;
    return scan_code >= first_row_keycode && index < sizeof us_row_keys ? us_row_keys[index] : 0;
}

} // namespace

unsigned virtual_key_from_qt(int qt_key, bool keypad, unsigned scan_code) {
    if (keypad) {
        if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) {
            return 0x60u + static_cast<unsigned>(qt_key - Qt::Key_0); // VK_NUMPAD0..9
        }
        switch (qt_key) {
        case Qt::Key_Asterisk:
            return 0x6A; // VK_MULTIPLY
        case Qt::Key_Plus:
            return 0x6B; // VK_ADD
        case Qt::Key_Minus:
            return 0x6D; // VK_SUBTRACT
        case Qt::Key_Period:
        case Qt::Key_Comma:
            return 0x6E; // VK_DECIMAL
        case Qt::Key_Slash:
            return 0x6F; // VK_DIVIDE
        default:
            break; // keypad navigation keys map like the ordinary ones
        }
    } else if (scan_code >= first_digit_keycode && scan_code <= last_digit_keycode) {
        return scan_code == last_digit_keycode ? '0' : '1' + (scan_code - first_digit_keycode);
    }
    // Latin layouts: the letter printed on the key (AZERTY's A is VK_A).
    if (qt_key >= Qt::Key_A && qt_key <= Qt::Key_Z) {
        return 'A' + static_cast<unsigned>(qt_key - Qt::Key_A);
    }
    if (is_non_latin_letter(qt_key)) {
        return us_key_at(scan_code);
    }
    if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) {
        return '0' + static_cast<unsigned>(qt_key - Qt::Key_0);
    }
    if (qt_key >= Qt::Key_F1 && qt_key <= Qt::Key_F24) {
        return 0x70u + static_cast<unsigned>(qt_key - Qt::Key_F1);
    }
    switch (qt_key) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Shift:
        return 0x10;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
        return 0x12;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    case Qt::Key_NumLock:
        return 0x90;
    case Qt::Key_Semicolon:
        return 0xBA; // VK_OEM_1
    case Qt::Key_Equal:
        return 0xBB; // VK_OEM_PLUS
    case Qt::Key_Comma:
        return 0xBC;
    case Qt::Key_Minus:
        return 0xBD;
    case Qt::Key_Period:
        return 0xBE;
    case Qt::Key_Slash:
        return 0xBF;
    default:
        return 0;
    }
}

} // namespace vorla::platform
