// The replay script's parser and the files a session writes.
#include "replay_output.h"
#include "replay_script.h"
#include "state/simulation_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string error_of(const std::string& text, const std::string& file = "/tmp/s.vrs") {
    try {
        parse_replay_script(text, file);
    } catch (const replay_script_error& e) {
        return e.message;
    }
    return "";
}

TEST(ReplayScript, ErrorsNameTheFileAndTheLine) {
    EXPECT_EQ(error_of("tick\n\n  jump 1 2\n", "/tmp/a.vrs"), "/tmp/a.vrs:3: unknown verb 'jump'");
    EXPECT_EQ(error_of("move 1 zz\n"), "/tmp/s.vrs:1: bad number 'zz'");
    EXPECT_EQ(error_of("move 1\n"), "/tmp/s.vrs:1: 'move' takes 2 argument(s), got 1");
    EXPECT_EQ(error_of("# fine\nflush now\n"), "/tmp/s.vrs:2: 'flush' takes 0 argument(s), got 1");
    EXPECT_EQ(error_of("probe 1024 5\n"), "/tmp/s.vrs:1: probe cell outside the 1024 x 768 grid");
    EXPECT_EQ(error_of("probe 5 -1\n"), "/tmp/s.vrs:1: probe cell outside the 1024 x 768 grid");
    EXPECT_EQ(error_of("dialog no-such-file.bmp\n"),
              "/tmp/s.vrs:1: missing file 'no-such-file.bmp'");
    EXPECT_EQ(error_of("tick -3\n"), "/tmp/s.vrs:1: number out of range '-3'");
    EXPECT_EQ(error_of("key 0x\n"), "/tmp/s.vrs:1: bad number '0x'");
    EXPECT_EQ(error_of("save ../up\n"), "/tmp/s.vrs:1: bad folder name '../up'");
    EXPECT_EQ(error_of("save .hidden\n"), "/tmp/s.vrs:1: bad folder name '.hidden'");
}

TEST(ReplayScript, CoordinatesKeepTheirLow16BitsUnsigned) {
    const replay_script s = parse_replay_script("MOVE -1 0x10005\nrDown 65535 -65536\n", "x.vrs");
    ASSERT_EQ(s.events.size(), 2u);
    EXPECT_EQ(s.events[0].verb, replay_verb::move);
    EXPECT_EQ(s.events[0].a, 65535u);
    EXPECT_EQ(s.events[0].b, 5u);
    EXPECT_EQ(s.events[0].line, 1);
    EXPECT_EQ(s.events[1].verb, replay_verb::rdown);
    EXPECT_EQ(s.events[1].a, 65535u);
    EXPECT_EQ(s.events[1].b, 0u);
}

TEST(ReplayScript, KeysAreVirtualKeyCodes) {
    const replay_script s = parse_replay_script(
        "key s\nkey 1\nkey 49\nkey 0x2e\nkey del\nkey ESC\nkey Space\n", "k.vrs");
    std::vector<uint32_t> keys;
    for (const auto& e : s.events) {
        keys.push_back(e.a);
    }
    EXPECT_EQ(keys, (std::vector<uint32_t>{'S', '1', 49, 0x2E, 0x2E, 0x1B, 0x20}));
}

TEST(ReplayScript, CommentsBlankLinesAndDefaults) {
    const replay_script s =
        parse_replay_script("  # only a comment\n\n tick # one\ntick 3\ncancel\n", "c.vrs");
    ASSERT_EQ(s.events.size(), 3u);
    EXPECT_EQ(s.events[0].a, 1u);
    EXPECT_EQ(s.events[0].line, 3);
    EXPECT_EQ(s.events[1].a, 3u);
    EXPECT_EQ(s.events[2].verb, replay_verb::cancel);
}

TEST(ReplayScript, PathsAreResolvedAgainstTheScriptsFolder) {
    const fs::path dir = fs::temp_directory_path() / "vorla-script-paths";
    fs::create_directories(dir / "sub");
    std::ofstream(dir / "sub" / "a b.bmp") << "x";
    const replay_script s =
        parse_replay_script("bitmap sub/a b.bmp\n", (dir / "scene.vrs").string());
    ASSERT_EQ(s.events.size(), 1u);
    EXPECT_EQ(fs::path(s.events[0].path), dir / "sub" / "a b.bmp");
    fs::remove_all(dir);
}

TEST(ReplayOutput, WavIsFullScaleAtOneAndClipped) {
    const std::vector<probe_sample> samples{{1, 0.0},
                                            {2, 1.0},
                                            {3, -1.0},
                                            {4, 7.5},
                                            {5, -9.0},
                                            {6, 0.5},
                                            {7, std::numeric_limits<double>::quiet_NaN()}};
    const std::vector<uint8_t> w = probe_wav(samples);
    ASSERT_EQ(w.size(), 44u + 2 * samples.size());
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 16), "WAVEfmt ");
    uint32_t rate = 0;
    std::memcpy(&rate, &w[24], 4);
    EXPECT_EQ(rate, 44100u);
    auto sample = [&](int i) {
        int16_t v = 0;
        std::memcpy(&v, &w[44 + 2 * i], 2);
        return v;
    };
    EXPECT_EQ(sample(0), 0);
    EXPECT_EQ(sample(1), 32767);
    EXPECT_EQ(sample(2), -32767);
    EXPECT_EQ(sample(3), 32767);
    EXPECT_EQ(sample(4), -32768);
    EXPECT_EQ(sample(5), 16384);
    EXPECT_EQ(sample(6), 0);
}

TEST(ReplayOutput, CsvKeepsFullPrecision) {
    const double values[] = {0.1, -2.5e-300, 1.0 / 3.0, 4.9e-324};
    std::vector<probe_sample> samples;
    for (int i = 0; i < 4; ++i) {
        samples.push_back({8 * (i + 1), values[i]});
    }
    const std::string csv = probe_csv(samples);
    EXPECT_EQ(csv.rfind("time_step,pressure\n8,0.10000000000000001\n16,", 0), 0u) << csv;
    std::istringstream rows(csv);
    std::string row;
    std::getline(rows, row);
    for (double v : values) {
        ASSERT_TRUE(std::getline(rows, row));
        const double back = std::strtod(row.substr(row.find(',') + 1).c_str(), nullptr);
        EXPECT_EQ(std::memcmp(&back, &v, sizeof v), 0) << row;
    }
}

TEST(ReplayOutput, StateJsonNamesEveryScalarAndPoint) {
    prepare_start_state();
    simulation_state.drag_end = {65535, 7};
    simulation_state.draw_kind = ' ';
    const std::string j = state_json(true, {"( 100, 50)"});
    for (const char* member :
         {"\"is_running\": 1",        "\"steps_per_frame\": 8",    "\"panel_left\": 10",
          "\"panel_top\": 10",        "\"line_height\": 18",       "\"source_type\": \"T\"",
          "\"frequency_key\": \"1\"", "\"draw_kind\": \" \"",      "\"left_button_down\": 0",
          "\"source_placed\": 0",     "\"right_click_count\": 0",  "\"bitmap_load_count\": 0",
          "\"time_step\": 0",         "\"cursor_pos\": [0, 0]",    "\"drag_start\": [0, 0]",
          "\"drag_end\": [65535, 7]", "\"drag_prev_end\": [0, 0]", "\"ellipse_center\": [0, 0]",
          "\"ellipse_half_x\": 0",    "\"ellipse_half_y\": 0",     "\"source_pos\": [0, 0]",
          "\"closed\": true",         "\"log\": [\"( 100, 50)\"]"}) {
        EXPECT_NE(j.find(member), std::string::npos) << member;
    }
}

TEST(ReplayOutput, GridFilesAreLittleEndianWithTheirHash) {
    const fs::path file = fs::temp_directory_path() / "vorla-grid.i32";
    const int32_t values[] = {1, -2};
    const std::string hash = write_i32_grid(file.string(), values, 2);
    std::ifstream in(file, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes, (std::vector<unsigned char>{1, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(hash, "b5f56b64f014154a5433fcb074019bb39a5bc74b2004cb4670565d57b5af23b6");
    fs::remove(file);
}

} // namespace
