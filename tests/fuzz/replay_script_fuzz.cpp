// libFuzzer target over the replay script parser: whatever the text, the parse either gives
// events that keep to their ranges or throws replay_script_error naming the file and a line;
// any other exception, a crash or an out-of-bounds access is a finding.
#include "replay_script.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::size_t lines = 1;
    for (char c : text) {
        lines += c == '\n';
    }
    try {
        const replay_script script = parse_replay_script(text, "fuzz.vrs");
        int previous_line = 0;
        for (const replay_event& e : script.events) {
            if (e.line <= previous_line || static_cast<std::size_t>(e.line) > lines) {
                std::abort();
            }
            previous_line = e.line;
            switch (e.verb) {
            case replay_verb::rdown:
            case replay_verb::rup:
            case replay_verb::ldown:
            case replay_verb::lup:
            case replay_verb::move:
            case replay_verb::ldbl:
            case replay_verb::rdbl:
                if (e.a > 0xFFFF || e.b > 0xFFFF) {
                    std::abort();
                }
                break;
            case replay_verb::probe:
                if (e.a > 1023 || e.b > 767) {
                    std::abort();
                }
                break;
            case replay_verb::save:
                if (e.path.empty() || e.path[0] == '.' || e.path.find('/') != std::string::npos) {
                    std::abort();
                }
                break;
            case replay_verb::dialog:
            case replay_verb::bitmap:
                if (e.path.empty()) {
                    std::abort();
                }
                break;
            default:
                break;
            }
        }
    } catch (const replay_script_error& e) {
        if (e.message.rfind("fuzz.vrs:", 0) != 0) {
            std::abort();
        }
    }
    return 0;
}
