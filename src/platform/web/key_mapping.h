// Browser key events to Win32 virtual-key codes, as Windows gives them under the user's layout:
// a letter key gives the letter printed on it on Latin layouts (AZERTY's A key is VK_A) and
// its US position elsewhere; the main row's digits go by position whatever Shift or the layout
// make of them; punctuation by the character or the US position.
#pragma once

#include <string_view>

namespace vorla::platform {

// code: KeyboardEvent.code (the physical key, named by its US position); key:
// KeyboardEvent.key (what the key produces). 0 when the key has no code.
unsigned virtual_key_from_web(std::string_view code, std::string_view key);

} // namespace vorla::platform
