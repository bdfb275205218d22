// Qt key events to Win32 virtual-key codes, as Windows' keyboard layouts give them: letters
// whatever Shift does (the letter on the key under Latin layouts, the US position's letter
// under Cyrillic, Greek and other layouts), the main row's digits apart from the keypad's (by
// physical key, so Shift+1 and AZERTY's & are still '1').
#pragma once

namespace vorla::platform {

// qt_key: QKeyEvent::key(); keypad: the event carries Qt::KeypadModifier; scan_code:
// QKeyEvent::nativeScanCode() (an X11 keycode under xcb). 0 when the key has no code.
unsigned virtual_key_from_qt(int qt_key, bool keypad, unsigned scan_code);

} // namespace vorla::platform
