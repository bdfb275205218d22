// Input a user (or a captured mouse) can produce but no one would plan for: clicks far outside
// the grid, strokes dragged off every edge, sources in the panel and in walls, a bitmap larger
// than the grid, Del, Esc and double clicks in the middle of drags. Whatever comes, the state
// keeps its invariants at every saved moment; writes outside a grid are for the sanitizers to
// catch (this test runs under the asan preset too).
#include "../app/bmp_file.h"
#include "replay_script.h"
#include "replay_session.h"
#include "state/simulation_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t cells = std::size_t{grid_width} * grid_height;

std::string slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every tool, dragged from inside the field off each edge and corner of the window (left and
// top read as 65535 downwards), moved there, and brought back before the release; then once
// released outside.
std::string drags_off_every_edge() {
    const int outside[][2] = {{-40, 400}, {1100, 400}, {500, -40},  {500, 800},
                              {-1, -1},   {65535, 0},  {1023, 767}, {2000, 2000}};
    std::ostringstream s;
    for (const char tool : {'J', 'L', 'R', 'E'}) {
        s << "key " << tool << "\n";
        for (const auto& p : outside) {
            s << "ldown 500 400\nmove " << p[0] << " " << p[1] << "\nflush\n"
              << "move " << p[0] / 2 << " " << p[1] / 2 << "\nflush\n"
              << "move 520 420\nflush\nlup 520 420\nflush\n"
              << "ldown 500 400\nmove " << p[0] << " " << p[1] << "\nflush\n"
              << "lup " << p[0] << " " << p[1] << "\nflush\n";
        }
    }
    s << "save drags\n";
    return s.str();
}

class HostileInput : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() /
            ("vorla-hostile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        fs::remove_all(folder_);
    }

    fs::path folder_;
};

TEST_F(HostileInput, StateKeepsItsInvariantsThroughOffGridAndMidDragInput) {
    // Larger than the grid both ways: black walls, pure yellow sources inside the grid, at
    // its last cell and beyond it.
    test_bitmap big(1000, 700, rgb{0, 0, 0});
    for (int x = 0; x < 1000; x += 97) {
        big.set(x, x * 699 / 999, rgb{255, 255, 0});
    }
    big.set(1023 - 128, 767 - 146, rgb{255, 255, 0});
    big.set(999, 699, rgb{255, 255, 0});
    ASSERT_TRUE(big.write((folder_ / "big.bmp").string()));

    const std::string script_text = R"(
        # right clicks off the grid, at its last cell, at its first, in the panel, in a wall
        key R
        ldown 300 300
        move 400 400
        flush
        lup 400 400
        flush
        rdown 65535 65535
        rup 65535 65535
        tick 2
        rdown 1023 767
        rup 1023 767
        rdown 0 0
        rup 0 0
        tick 1
        rdown 60 60
        rup 60 60
        rdown 300 350
        rup 300 350
        tick 2
        save clicks
        # sine sources of each frequency off the grid, past the simulated region, in the panel
        key F
        key 1
        rdown 65535 0
        rup 65535 0
        tick 2
        key 2
        rdown 2000 100
        rup 2000 100
        tick 2
        key 3
        rdown 0 65535
        rup 0 65535
        tick 2
        rdown 1023 767
        rup 1023 767
        tick 2
        rdown 897 723
        rup 897 723
        rdown 40 700
        rup 40 700
        tick 2
        save sines
        # Del and Esc at every moment of a drag, and double clicks in the middle of one
        key L
        key DEL
        ldown 200 200
        key DEL
        key ESC
        move 250 260
        key DEL
        flush
        key ESC
        ldbl 250 260
        rdbl 250 260
        move 65535 65535
        key DEL
        flush
        lup 65535 65535
        key ESC
        flush
        key DEL
        key E
        ldown 600 500
        ldbl 600 500
        move 800 700
        rdown 800 700
        rdbl 800 700
        rup 800 700
        key ESC
        flush
        lup 800 700
        ldbl 800 700
        flush
        tick 2
        save mid-drag
        # a bitmap larger than the grid, then the field (paused by Esc) runs over it
        key SPACE
        bitmap big.bmp
        tick 3
        save import
    )" + drags_off_every_edge() + "tick 2\n";
    fs::path script_file = folder_ / "hostile.vrs";
    const replay_script script = parse_replay_script(script_text, script_file.string());
    replay_options options;
    options.out_dir = (folder_ / "out").string();
    const replay_result result = run_replay(script, options);
    ASSERT_FALSE(result.closed);

    EXPECT_EQ(simulation_state.bitmap_load_count, 1);
    EXPECT_NE(slurp(folder_ / "out" / "test.txt").find("( 1000, 700)"), std::string::npos);
    for (const fs::path& saved : {fs::path("clicks"), fs::path("sines"), fs::path("mid-drag"),
                                  fs::path("import"), fs::path("drags"), fs::path()}) {
        SCOPED_TRACE(saved.empty() ? std::string("end") : saved.string());
        const fs::path dir = folder_ / "out" / saved;
        const std::string mask = slurp(dir / "medium_mask.i32");
        ASSERT_EQ(mask.size(), cells * 4);
        std::size_t bad_mask = 0, walls = 0;
        for (std::size_t i = 0; i < cells; ++i) {
            int32_t v;
            std::memcpy(&v, mask.data() + i * 4, 4);
            bad_mask += v != 0 && v != 1;
            walls += v == 0;
        }
        EXPECT_EQ(bad_mask, 0u);
        EXPECT_GE(walls, std::size_t{grid_width} + grid_height - 1); // column 0 and row 0

        const std::string pressure = slurp(dir / "pressure.f64");
        ASSERT_EQ(pressure.size(), cells * 8);
        std::size_t not_finite = 0;
        for (std::size_t i = 0; i < cells; ++i) {
            double v;
            std::memcpy(&v, pressure.data() + i * 8, 8);
            not_finite += !std::isfinite(v);
        }
        EXPECT_EQ(not_finite, 0u);

        const std::string json = slurp(dir / "state.json");
        const auto at = json.find("\"draw_kind\": \"");
        ASSERT_NE(at, std::string::npos);
        const char kind = json[at + 14];
        EXPECT_NE(std::string("JLRES ").find(kind), std::string::npos) << kind;
    }
    // The import left ' ', and the keys after it chose tools again.
    EXPECT_NE(slurp(folder_ / "out" / "import" / "state.json").find("\"draw_kind\": \" \""),
              std::string::npos);
}

} // namespace
