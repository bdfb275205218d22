#include "replay_script.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct verb_info {
    const char* name;
    replay_verb verb;
};

constexpr verb_info verbs[] = {
    {"rdown", replay_verb::rdown},   {"rup", replay_verb::rup},
    {"ldown", replay_verb::ldown},   {"lup", replay_verb::lup},
    {"move", replay_verb::move},     {"ldbl", replay_verb::ldbl},
    {"rdbl", replay_verb::rdbl},     {"key", replay_verb::key},
    {"timer", replay_verb::timer},   {"tick", replay_verb::tick},
    {"flush", replay_verb::flush},   {"paint", replay_verb::paint},
    {"dialog", replay_verb::dialog}, {"cancel", replay_verb::cancel},
    {"bitmap", replay_verb::bitmap}, {"probe", replay_verb::probe},
    {"save", replay_verb::save},
};

std::string lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// A folder directly inside OUTDIR: letters, digits, '-', '_' and '.', not starting with '.'.
bool plain_folder_name(const std::string& name) {
    if (name.empty() || name[0] == '.') {
        return false;
    }
    for (char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_' && c != '.') {
            return false;
        }
    }
    return true;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

class line_parser {
  public:
    line_parser(const std::string& file, int line) : file_(file), line_(line) {}

    [[noreturn]] void fail(const std::string& what) const {
        throw replay_script_error{file_ + ":" + std::to_string(line_) + ": " + what};
    }

    // Decimal or 0x-hex, optionally signed; anything else is a bad number.
    int64_t number(const std::string& word) const {
        std::string digits = word;
        bool negative = false;
        if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
            negative = digits[0] == '-';
            digits.erase(0, 1);
        }
        int base = 10;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            base = 16;
            digits.erase(0, 2);
        }
        const bool all_digits =
            !digits.empty() &&
            digits.find_first_not_of(base == 16 ? "0123456789abcdefABCDEF" : "0123456789") ==
                std::string::npos;
        if (!all_digits || digits.size() > 16) {
            fail("bad number '" + word + "'");
        }
        errno = 0;
        const unsigned long long value = std::strtoull(digits.c_str(), nullptr, base);
        if (errno == ERANGE || value > 0x7FFFFFFFFFFFull) {
            fail("number out of range '" + word + "'");
        }
        const auto v = static_cast<int64_t>(value);
        return negative ? -v : v;
    }

    // A mouse coordinate: its low 16 bits, read unsigned.
    uint32_t coordinate(const std::string& word) const {
        return static_cast<uint32_t>(static_cast<uint64_t>(number(word)) & 0xFFFFu);
    }

    uint32_t unsigned32(const std::string& word) const {
        const int64_t v = number(word);
        if (v < 0 || v > 0xFFFFFFFFll) {
            fail("number out of range '" + word + "'");
        }
        return static_cast<uint32_t>(v);
    }

    uint32_t virtual_key(const std::string& word) const {
        const std::string w = lower(word);
        if (w == "del") {
            return 0x2E;
        }
        if (w == "esc") {
            return 0x1B;
        }
        if (w == "space") {
            return 0x20;
        }
        if (word.size() == 1 && std::isalnum(static_cast<unsigned char>(word[0]))) {
            return static_cast<uint32_t>(std::toupper(static_cast<unsigned char>(word[0])));
        }
        return unsigned32(word);
    }

  private:
    const std::string& file_;
    int line_;
};

} // namespace

replay_script parse_replay_script(const std::string& text, const std::string& file) {
    replay_script script;
    script.file = file;
    const fs::path folder = fs::absolute(fs::path(file)).parent_path();

    std::istringstream in(text);
    std::string raw;
    int line_number = 0;
    while (std::getline(in, raw)) {
        ++line_number;
        const auto hash = raw.find('#');
        const std::string line = trim(hash == std::string::npos ? raw : raw.substr(0, hash));
        if (line.empty()) {
            continue;
        }
        line_parser p(file, line_number);

        std::istringstream words(line);
        std::string verb_word;
        words >> verb_word;
        const std::string verb_name = lower(verb_word);
        const verb_info* info = nullptr;
        for (const auto& v : verbs) {
            if (verb_name == v.name) {
                info = &v;
            }
        }
        if (info == nullptr) {
            p.fail("unknown verb '" + verb_word + "'");
        }

        replay_event e{info->verb, line_number, 0, 0, {}};
        std::vector<std::string> args;
        std::string rest;
        std::getline(words, rest);
        rest = trim(rest);
        {
            std::istringstream arg_words(rest);
            std::string w;
            while (arg_words >> w) {
                args.push_back(w);
            }
        }
        auto expect_args = [&](std::size_t low, std::size_t high) {
            if (args.size() < low || args.size() > high) {
                p.fail("'" + verb_name + "' takes " +
                       (low == high ? std::to_string(low)
                                    : std::to_string(low) + " to " + std::to_string(high)) +
                       " argument(s), got " + std::to_string(args.size()));
            }
        };

        switch (e.verb) {
        case replay_verb::rdown:
        case replay_verb::rup:
        case replay_verb::ldown:
        case replay_verb::lup:
        case replay_verb::move:
        case replay_verb::ldbl:
        case replay_verb::rdbl:
            expect_args(2, 2);
            e.a = p.coordinate(args[0]);
            e.b = p.coordinate(args[1]);
            break;
        case replay_verb::key:
            expect_args(1, 1);
            e.a = p.virtual_key(args[0]);
            break;
        case replay_verb::timer:
            expect_args(1, 1);
            e.a = p.unsigned32(args[0]);
            break;
        case replay_verb::tick:
            expect_args(0, 1);
            e.a = args.empty() ? 1 : p.unsigned32(args[0]);
            break;
        case replay_verb::flush:
        case replay_verb::paint:
        case replay_verb::cancel:
            expect_args(0, 0);
            break;
        case replay_verb::dialog:
        case replay_verb::bitmap: {
            if (rest.empty()) {
                p.fail("'" + verb_name + "' needs a path");
            }
            fs::path path(rest);
            if (path.is_relative()) {
                path = folder / path;
            }
            std::error_code ec;
            if (!fs::is_regular_file(path, ec)) {
                p.fail("missing file '" + rest + "'");
            }
            e.path = fs::absolute(path).lexically_normal().string();
            break;
        }
        case replay_verb::probe: {
            expect_args(2, 2);
            const int64_t x = p.number(args[0]);
            const int64_t y = p.number(args[1]);
            if (x < 0 || x > 1023 || y < 0 || y > 767) {
                p.fail("probe cell outside the 1024 x 768 grid");
            }
            e.a = static_cast<uint32_t>(x);
            e.b = static_cast<uint32_t>(y);
            break;
        }
        case replay_verb::save:
            expect_args(1, 1);
            if (!plain_folder_name(args[0])) {
                p.fail("bad folder name '" + args[0] + "'");
            }
            e.path = args[0];
            break;
        }
        script.events.push_back(std::move(e));
    }
    return script;
}

replay_script load_replay_script(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw replay_script_error{file + ": cannot read the script"};
    }
    std::ostringstream text;
    text << in.rdbuf();
    return parse_replay_script(text.str(), file);
}

const char* replay_usage() {
    return R"(usage: vorla-replay [--frames DIR] [--engine NAME] [--memory-log FILE] SCRIPT OUTDIR
       vorla-replay --help | --version

Runs a session of Vorla without a display: the events of SCRIPT go to the real window
procedure, on a virtual clock, and OUTDIR (created if missing) receives the result:
  pressure.f64 velocity_x.f64 velocity_y.f64   IEEE doubles, 1024 x 768, element x*768+y
  medium_mask.i32 cell_color.i32               signed 32-bit, same layout, little-endian
  state.json      every scalar and point of the simulation state, "closed", the log lines
  client.png      the client area, 1024 x 768
  test.txt        the log
  probe_X_Y.csv, probe_X_Y.wav   for each probe
Standard output gets one "SHA256  name" line per grid file. With --frames DIR, DIR gets a
PNG of the field window (768 x 576) after every repaint that drew the field. --engine runs
the kernels of NAME: reference (the plain loops), portable, sse2, avx2, avx512, neon, or
shipped (the default, the widest this processor runs); every engine gives the same bytes.
With --memory-log FILE, FILE gets the peak and present resident set of the process, once
1,000 time steps have run and again at the end of the script: one line each,
"time_step=N peak_rss_kib=N rss_kib=N".

Script: one event per line; blank lines and text after '#' are ignored; verbs are
case-insensitive; numbers are decimal or 0x-hex. X and Y are client coordinates cut to
their low 16 bits (-1 becomes 65535).
  rdown X Y | rup X Y | ldown X Y | lup X Y | move X Y   right/left button, mouse move
  ldbl X Y | rdbl X Y        double clicks
  key K                      key release: a number, a letter, a main-row digit, DEL, ESC, SPACE
  timer ID                   WM_TIMER with that identifier
  tick [N]                   N times (default 1): 1 ms passes, WM_TIMER 10, flush
  flush                      deliver the pending repaint, if any
  paint                      request a repaint of the whole client area, then flush
  dialog PATH | cancel       answer for the next file dialog (PATH relative to the script)
  bitmap PATH                dialog PATH, key S, paint
  probe X Y                  record the pressure of cell [X][Y] after every time step
  save NAME                  write the grid files and state.json as they stand now into
                             OUTDIR/NAME (letters, digits, '-', '_', '.'; no leading '.')
The session starts as the program does, first repaint included; message boxes are answered
OK at once; after the window is closed, later events are ignored.

Exit codes: 0 success; 2 script error (the message names file and line); 1 other failure.
)";
}
