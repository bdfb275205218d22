// vorla-replay: runs a scripted session of Vorla with no display, reproducible to the bit.
#include "platform/posix/heap_thresholds.h"
#include "platform/posix/large_pages.h"
#include "replay_script.h"
#include "replay_session.h"
#include "solver/engine.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    vorla::platform::prefer_large_pages_for_static_data(); // as the program does
    vorla::platform::fix_heap_thresholds();
    std::vector<std::string> args(argv + 1, argv + argc);
    replay_options options;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(replay_usage(), stdout);
            return 0;
        }
        if (args[i] == "--version") {
            std::puts("vorla-replay " VORLA_VERSION);
            return 0;
        }
        if (args[i] == "--frames") {
            if (i + 1 >= args.size()) {
                std::fputs("vorla-replay: --frames needs a folder\n", stderr);
                return 2;
            }
            options.frames_dir = args[++i];
        } else if (args[i].rfind("--frames=", 0) == 0) {
            options.frames_dir = args[i].substr(9);
        } else if (args[i] == "--memory-log") {
            if (i + 1 >= args.size()) {
                std::fputs("vorla-replay: --memory-log needs a file\n", stderr);
                return 2;
            }
            options.memory_log = args[++i];
        } else if (args[i].rfind("--memory-log=", 0) == 0) {
            options.memory_log = args[i].substr(13);
        } else if (args[i] == "--engine" || args[i].rfind("--engine=", 0) == 0) {
            std::string name;
            if (args[i] == "--engine") {
                if (i + 1 >= args.size()) {
                    std::fputs("vorla-replay: --engine needs a name\n", stderr);
                    return 2;
                }
                name = args[++i];
            } else {
                name = args[i].substr(9);
            }
            const std::optional<engine> kernels = engine_named(name);
            if (!kernels) {
                std::fprintf(stderr,
                             "vorla-replay: no engine '%s' (reference, portable, sse2, avx2, "
                             "avx512, neon, shipped)\n",
                             name.c_str());
                return 2;
            }
            if (!engine_supported(*kernels)) {
                std::fprintf(stderr, "vorla-replay: this processor cannot run the %s engine\n",
                             name.c_str());
                return 1;
            }
            options.kernels = *kernels;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) {
        std::fputs(replay_usage(), stderr);
        return 2;
    }
    options.out_dir = positional[1];

    replay_script script;
    try {
        script = load_replay_script(positional[0]);
    } catch (const replay_script_error& e) {
        std::fprintf(stderr, "vorla-replay: %s\n", e.message.c_str());
        return 2;
    }

    try {
        const replay_result result = run_replay(script, options);
        for (const auto& line : result.grid_lines) {
            std::printf("%s\n", line.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vorla-replay: %s\n", e.what());
        return 1;
    }
    return 0;
}
