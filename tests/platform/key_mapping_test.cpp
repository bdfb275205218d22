// Qt key events to virtual keys, as the desktop backend maps them. Qt's key values are its
// documented constants (Qt::Key_A is 0x41, Qt::Key_Escape 0x01000000, ...).
#include "platform/qt/key_mapping.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

using vorla::platform::virtual_key_from_qt;

constexpr int qt_key_a = 0x41, qt_key_s = 0x53, qt_key_0 = 0x30, qt_key_1 = 0x31,
              qt_key_exclam = 0x21;
constexpr int qt_key_escape = 0x01000000, qt_key_delete = 0x01000007, qt_key_space = 0x20;
constexpr int qt_key_left = 0x01000012, qt_key_shift = 0x01000020, qt_key_f1 = 0x01000030;
constexpr unsigned keycode_1 = 10, keycode_0 = 19, keycode_s = 39, keycode_keypad_1 = 87;

TEST(key_mapping, letters_whatever_shift_does) {
    EXPECT_EQ(virtual_key_from_qt(qt_key_a, false, 38), 'A');
    EXPECT_EQ(virtual_key_from_qt(qt_key_s, false, keycode_s),
              'S'); // Qt reports S with or without Shift
}

TEST(key_mapping, main_row_digits_by_physical_key_and_keypad_digits_apart) {
    EXPECT_EQ(virtual_key_from_qt(qt_key_1, false, keycode_1), '1');
    EXPECT_EQ(virtual_key_from_qt(qt_key_exclam, false, keycode_1), '1'); // Shift+1
    EXPECT_EQ(virtual_key_from_qt(qt_key_0, false, keycode_0), '0');
    EXPECT_EQ(virtual_key_from_qt(qt_key_1, true, keycode_keypad_1), unsigned{VK_NUMPAD1});
    EXPECT_EQ(virtual_key_from_qt(qt_key_0, true, 90), unsigned{VK_NUMPAD0});
    EXPECT_EQ(virtual_key_from_qt(qt_key_1, false, 0), '1'); // no scan code: by the key itself
}

// Windows gives letter keys the letter printed on them under Latin layouts, and their US
// position's virtual key under layouts of other scripts.
TEST(key_mapping, letters_under_the_users_layout) {
    constexpr unsigned keycode_us_q = 24, keycode_us_t = 28, keycode_us_m = 58,
                       keycode_us_bracket = 34, keycode_us_semicolon = 47;
    EXPECT_EQ(virtual_key_from_qt(qt_key_a, false, keycode_us_q), 'A');         // AZERTY's A
    EXPECT_EQ(virtual_key_from_qt(0x2C, false, keycode_us_m), 0xBCu);           // AZERTY's , key
    EXPECT_EQ(virtual_key_from_qt(0x0415, false, keycode_us_t), 'T');           // Russian Е
    EXPECT_EQ(virtual_key_from_qt(0x03A4, false, keycode_us_t), 'T');           // Greek Τ
    EXPECT_EQ(virtual_key_from_qt(0x0425, false, keycode_us_bracket), 0xDBu);   // Х: VK_OEM_4
    EXPECT_EQ(virtual_key_from_qt(0x0416, false, keycode_us_semicolon), 0xBAu); // Ж: VK_OEM_1
    EXPECT_EQ(virtual_key_from_qt(0x0415, false, 0), 0u); // no scan code: no position to use
}

TEST(key_mapping, control_keys) {
    EXPECT_EQ(virtual_key_from_qt(qt_key_escape, false, 9), unsigned{VK_ESCAPE});
    EXPECT_EQ(virtual_key_from_qt(qt_key_delete, false, 119), unsigned{VK_DELETE});
    EXPECT_EQ(virtual_key_from_qt(qt_key_delete, true, 91), unsigned{VK_DELETE}); // keypad Del
    EXPECT_EQ(virtual_key_from_qt(qt_key_space, false, 65), unsigned{VK_SPACE});
    EXPECT_EQ(virtual_key_from_qt(qt_key_left, false, 113), unsigned{VK_LEFT});
    EXPECT_EQ(virtual_key_from_qt(qt_key_shift, false, 50), unsigned{VK_SHIFT});
    EXPECT_EQ(virtual_key_from_qt(qt_key_f1, false, 67), unsigned{VK_F1});
    EXPECT_EQ(virtual_key_from_qt(0x01FFFFFF, false, 200), 0u); // unknown: no message
}

} // namespace
