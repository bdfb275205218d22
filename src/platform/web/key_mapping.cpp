#include "platform/web/key_mapping.h"

#include <array>
#include <utility>

namespace vorla::platform {

namespace {

bool is_ascii_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// VK_OEM_* by the character a key produces, shifted or not, as on a US layout.
unsigned oem_key_for(char c) {
    switch (c) {
    case ';':
    case ':':
        return 0xBA; // VK_OEM_1
    case '=':
    case '+':
        return 0xBB; // VK_OEM_PLUS
    case ',':
    case '<':
        return 0xBC; // VK_OEM_COMMA
    case '-':
    case '_':
        return 0xBD; // VK_OEM_MINUS
    case '.':
    case '>':
        return 0xBE; // VK_OEM_PERIOD
    case '/':
    case '?':
        return 0xBF; // VK_OEM_2
    case '`':
    case '~':
        return 0xC0; // VK_OEM_3
    case '[':
    case '{':
        return 0xDB; // VK_OEM_4
    case '\\':
    case '|':
        return 0xDC; // VK_OEM_5
    case ']':
    case '}':
        return 0xDD; // VK_OEM_6
    case '\'':
    case '"':
        return 0xDE; // VK_OEM_7
    default:
        return 0;
    }
}

constexpr std::array<std::pair<std::string_view, unsigned>, 47> named_codes{{
    {"Backspace", 0x08},
    {"Tab", 0x09},
    {"Enter", 0x0D},
    {"NumpadEnter", 0x0D},
    {"ShiftLeft", 0x10},
    {"ShiftRight", 0x10},
    {"ControlLeft", 0x11},
    {"ControlRight", 0x11},
    {"AltLeft", 0x12},
    {"AltRight", 0x12},
    {"Pause", 0x13},
    {"CapsLock", 0x14},
    {"Escape", 0x1B},
    {"Space", 0x20},
    {"PageUp", 0x21},
    {"PageDown", 0x22},
    {"End", 0x23},
    {"Home", 0x24},
    {"ArrowLeft", 0x25},
    {"ArrowUp", 0x26},
    {"ArrowRight", 0x27},
    {"ArrowDown", 0x28},
    {"PrintScreen", 0x2C},
    {"Insert", 0x2D},
    {"Delete", 0x2E},
    {"MetaLeft", 0x5B},
    {"MetaRight", 0x5C},
    {"ContextMenu", 0x5D},
    {"NumpadMultiply", 0x6A},
    {"NumpadAdd", 0x6B},
    {"NumpadSubtract", 0x6D},
    {"NumpadDivide", 0x6F},
    {"NumLock", 0x90},
    {"ScrollLock", 0x91},
    {"Semicolon", 0xBA},
    {"Equal", 0xBB},
    {"Comma", 0xBC},
    {"Minus", 0xBD},
    {"Period", 0xBE},
    {"Slash", 0xBF},
    {"Backquote", 0xC0},
    {"BracketLeft", 0xDB},
    {"Backslash", 0xDC},
    {"BracketRight", 0xDD},
    {"Quote", 0xDE},
    {"IntlBackslash", 0xE2},
    {"NumpadEqual", 0xBB},
}};

// The keypad's keys with Num Lock off, by the key they stand for.
constexpr std::array<std::pair<std::string_view, unsigned>, 11> keypad_navigation{{
    {"Insert", 0x2D},
    {"End", 0x23},
    {"ArrowDown", 0x28},
    {"PageDown", 0x22},
    {"ArrowLeft", 0x25},
    {"Clear", 0x0C},
    {"ArrowRight", 0x27},
    {"Home", 0x24},
    {"ArrowUp", 0x26},
    {"PageUp", 0x21},
    {"Delete", 0x2E},
}};

unsigned lookup(const auto& table, std::string_view name) {
    for (const auto& [n, vk] : table) {
        if (n == name) {
            return vk;
        }
    }
    return 0;
}

} // namespace

unsigned virtual_key_from_web(std::string_view code, std::string_view key) {
    // Letter positions: the Latin letter the key produces, else its US letter, except where a
    // Latin layout puts punctuation there (AZERTY's M position gives ',': VK_OEM_COMMA).
    if (code.size() == 4 && code.substr(0, 3) == "Key" && code[3] >= 'A' && code[3] <= 'Z') {
        if (key.size() == 1 && is_ascii_letter(key[0])) {
            return static_cast<unsigned>(key[0] & ~0x20);
        }
        if (key.size() == 1) {
            if (const unsigned oem = oem_key_for(key[0])) {
                return oem;
            }
        }
        return static_cast<unsigned>(code[3]);
    }
    // Elsewhere a Latin letter still names its key (AZERTY's letter M sits at Semicolon).
    if (key.size() == 1 && is_ascii_letter(key[0]) && code.substr(0, 6) != "Numpad") {
        return static_cast<unsigned>(key[0] & ~0x20);
    }
    if (code.size() == 6 && code.substr(0, 5) == "Digit" && code[5] >= '0' && code[5] <= '9') {
        return static_cast<unsigned>(code[5]);
    }
    if (code.size() == 7 && code.substr(0, 6) == "Numpad" && code[6] >= '0' && code[6] <= '9') {
        if (key.size() == 1 && key[0] >= '0' && key[0] <= '9') {
            return 0x60u + static_cast<unsigned>(code[6] - '0'); // VK_NUMPAD0..9
        }
        return lookup(keypad_navigation, key);
    }
    if (code == "NumpadDecimal" || code == "NumpadComma") {
        return key == "Delete" ? 0x2Eu : 0x6Eu; // VK_DECIMAL with Num Lock on
    }
    if (code.size() >= 2 && code.size() <= 3 && code[0] == 'F' && code[1] >= '1' &&
        code[1] <= '9') {
        const unsigned n = code.size() == 2
                               ? static_cast<unsigned>(code[1] - '0')
                               : static_cast<unsigned>((code[1] - '0') * 10 + (code[2] - '0'));
        if (code.size() == 3 && (code[2] < '0' || code[2] > '9')) {
            return 0;
        }
        return n >= 1 && n <= 24 ? 0x6Fu + n : 0u; // VK_F1..VK_F24
    }
    // A Latin layout's punctuation by what it produces; other keys by position.
    if (key.size() == 1 && code.substr(0, 6) != "Numpad") {
        if (const unsigned oem = oem_key_for(key[0])) {
            return oem;
        }
    }
    return lookup(named_codes, code);
}

} // namespace vorla::platform
