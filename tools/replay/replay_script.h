// The script of a replayed session: one event per line, parsed before anything runs so that
// a bad line stops the replay before any output is written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class replay_verb {
    rdown,
    rup,
    ldown,
    lup,
    move,
    ldbl,
    rdbl,
    key,
    timer,
    tick,
    flush,
    paint,
    dialog,
    cancel,
    bitmap,
    probe,
    save,
};

struct replay_event {
    replay_verb verb;
    int line;       // 1-based line of the script
    uint32_t a = 0; // x, key, timer id, tick count, probe x
    uint32_t b = 0; // y, probe y
    std::string
        path; // dialog and bitmap: resolved against the script's folder; save: the folder name
};

struct replay_script {
    std::string file;
    std::vector<replay_event> events;
};

// Thrown for any script error; what() names the file and the line.
struct replay_script_error {
    std::string message;
};

// Parses text read from file (file names the script in messages; relative paths are
// resolved against its folder). Throws replay_script_error.
replay_script parse_replay_script(const std::string& text, const std::string& file);

// Reads and parses the file. Throws replay_script_error, also when it cannot be read.
replay_script load_replay_script(const std::string& file);

// The text that --help prints.
const char* replay_usage();
