// Browser key events to virtual keys, as the web backend maps them: KeyboardEvent.code names
// the key by its US position, KeyboardEvent.key says what it produces under the layout.
#include "platform/web/key_mapping.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

namespace {

using vorla::platform::virtual_key_from_web;

TEST(web_key_mapping, latin_layouts_give_the_letter_printed_on_the_key) {
    EXPECT_EQ(virtual_key_from_web("KeyS", "s"), 'S');
    EXPECT_EQ(virtual_key_from_web("KeyS", "S"), 'S'); // Shift or Caps Lock
    // AZERTY: A sits at the US Q, M at the US semicolon, and the US M gives a comma.
    EXPECT_EQ(virtual_key_from_web("KeyQ", "a"), 'A');
    EXPECT_EQ(virtual_key_from_web("KeyA", "q"), 'Q');
    EXPECT_EQ(virtual_key_from_web("Semicolon", "m"), 'M');
    EXPECT_EQ(virtual_key_from_web("KeyM", ","), 0xBCu); // VK_OEM_COMMA
    // QWERTZ swaps Y and Z.
    EXPECT_EQ(virtual_key_from_web("KeyY", "z"), 'Z');
}

TEST(web_key_mapping, other_layouts_give_the_us_position) {
    EXPECT_EQ(virtual_key_from_web("KeyF", "\xD0\xB0"), 'F');     // Russian а
    EXPECT_EQ(virtual_key_from_web("KeyT", "\xE3\x81\x8B"), 'T'); // Japanese kana か
    EXPECT_EQ(virtual_key_from_web("KeyE", "Dead"), 'E');
}

TEST(web_key_mapping, main_row_digits_by_position_keypad_apart) {
    EXPECT_EQ(virtual_key_from_web("Digit1", "1"), '1');
    EXPECT_EQ(virtual_key_from_web("Digit1", "!"), '1'); // Shift
    EXPECT_EQ(virtual_key_from_web("Digit1", "&"), '1'); // AZERTY
    EXPECT_EQ(virtual_key_from_web("Digit3", "3"), '3');
    EXPECT_EQ(virtual_key_from_web("Numpad1", "1"), unsigned{VK_NUMPAD1});
    EXPECT_EQ(virtual_key_from_web("Numpad1", "End"), unsigned{VK_END}); // Num Lock off
    EXPECT_EQ(virtual_key_from_web("NumpadDecimal", "Delete"), unsigned{VK_DELETE});
}

TEST(web_key_mapping, the_program_keys_and_others) {
    EXPECT_EQ(virtual_key_from_web("Escape", "Escape"), unsigned{VK_ESCAPE});
    EXPECT_EQ(virtual_key_from_web("Delete", "Delete"), unsigned{VK_DELETE});
    EXPECT_EQ(virtual_key_from_web("Space", " "), unsigned{VK_SPACE});
    EXPECT_EQ(virtual_key_from_web("ArrowLeft", "ArrowLeft"), unsigned{VK_LEFT});
    EXPECT_EQ(virtual_key_from_web("ShiftRight", "Shift"), unsigned{VK_SHIFT});
    EXPECT_EQ(virtual_key_from_web("F1", "F1"), unsigned{VK_F1});
    EXPECT_EQ(virtual_key_from_web("F12", "F12"), 0x7Bu);
    EXPECT_EQ(virtual_key_from_web("F1x", "F1x"), 0u);
    EXPECT_EQ(virtual_key_from_web("Semicolon", ";"), 0xBAu);
    EXPECT_EQ(virtual_key_from_web("Semicolon", ":"), 0xBAu); // Shift
    EXPECT_EQ(virtual_key_from_web("", "Unidentified"), 0u);
}

} // namespace
