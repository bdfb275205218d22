// Runs a parsed script against the real window procedure on the headless backend and
// writes what the session leaves behind.
#pragma once

#include "replay_script.h"
#include "solver/engine.h"

#include <string>

struct replay_options {
    std::string out_dir;
    std::string frames_dir; // empty: no frames
    engine kernels = engine::shipped;
    // Non-empty: the resident set, peak and present, once 1,000 steps have run and again when
    // the script ends, one line each, into this file.
    std::string memory_log;
};

struct replay_result {
    bool closed = false;
    int frames_written = 0;
    std::vector<std::string> grid_lines; // "SHA256  name", one per grid file
};

// Runs the whole session from a fresh start on the chosen engine, and leaves the shipped
// engine in use; throws std::runtime_error when this processor cannot run the engine or an
// output file cannot be written.
replay_result run_replay(const replay_script& script, const replay_options& options);
