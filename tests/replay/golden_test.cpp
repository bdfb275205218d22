// Whole scripted sessions through the real window procedure on the headless backend, run
// once with the shipped kernels and once with the straightforward loops: the grids must be
// identical to the bit, and a second run of the same script must give the same bytes.
#include "../app/bmp_file.h"
#include "display/coloring.h"
#include "reference/reference_kernel.h"
#include "replay_script.h"
#include "replay_session.h"
#include "solver/fdtd.h"
#include "state/simulation_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct grids {
    std::vector<double> pressure, velocity_x, velocity_y;
    std::vector<int32_t> medium_mask, cell_color;
    int32_t time_step = 0;
    int32_t right_click_count = 0;
};

constexpr std::size_t cells = std::size_t{grid_width} * grid_height;

grids take_grids() {
    const auto& s = simulation_state;
    grids g;
    g.pressure.assign(&s.pressure[0][0], &s.pressure[0][0] + cells);
    g.velocity_x.assign(&s.velocity_x[0][0], &s.velocity_x[0][0] + cells);
    g.velocity_y.assign(&s.velocity_y[0][0], &s.velocity_y[0][0] + cells);
    g.medium_mask.assign(&s.medium_mask[0][0], &s.medium_mask[0][0] + cells);
    g.cell_color.assign(&s.cell_color[0][0], &s.cell_color[0][0] + cells);
    g.time_step = s.time_step;
    g.right_click_count = s.right_click_count;
    return g;
}

template <typename T>
std::size_t first_difference(const std::vector<T>& a, const std::vector<T>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a[i], &b[i], sizeof(T)) != 0) {
            return i;
        }
    }
    return a.size();
}

#define EXPECT_SAME_GRID(a, b, name)                                                               \
    do {                                                                                           \
        const std::size_t at = first_difference((a).name, (b).name);                               \
        EXPECT_EQ(at, (a).name.size())                                                             \
            << #name " differs first at [" << at / grid_height << "][" << at % grid_height << "]"; \
    } while (false)

class golden : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ =
            fs::temp_directory_path() /
            ("vorla-golden-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        set_step_function_override(nullptr);
        set_color_function_override(nullptr);
        fs::remove_all(folder_);
    }

    replay_result run(const std::string& script_text, const std::string& out,
                      bool straightforward) {
        const replay_script script =
            parse_replay_script(script_text, (folder_ / "session.vrs").string());
        set_step_function_override(straightforward ? reference_fdtd_step : nullptr);
        set_color_function_override(straightforward ? reference_color_field : nullptr);
        replay_options options;
        options.out_dir = (folder_ / out).string();
        replay_result r = run_replay(script, options);
        set_step_function_override(nullptr);
        set_color_function_override(nullptr);
        return r;
    }

    // Runs the script both ways and compares every grid; returns the shipped run's grids.
    grids expect_matches_straightforward(const std::string& script_text) {
        const replay_result shipped_result = run(script_text, "shipped", false);
        const grids shipped = take_grids();
        run(script_text, "plain", true);
        const grids plain = take_grids();
        EXPECT_SAME_GRID(shipped, plain, pressure);
        EXPECT_SAME_GRID(shipped, plain, velocity_x);
        EXPECT_SAME_GRID(shipped, plain, velocity_y);
        EXPECT_SAME_GRID(shipped, plain, medium_mask);
        EXPECT_SAME_GRID(shipped, plain, cell_color);
        EXPECT_EQ(shipped.time_step, plain.time_step);
        // The grid files of both runs carry the same bytes.
        const replay_result again = run(script_text, "again", false);
        EXPECT_EQ(shipped_result.grid_lines, again.grid_lines);
        return shipped;
    }

    std::string read(const std::string& out, const std::string& name) {
        std::ifstream in(folder_ / out / name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path folder_;
};

TEST_F(golden, PulseInAnEmptyFieldSpreadsTheSameWay) {
    const grids g = expect_matches_straightforward(R"(
        rdown 500 430
        rup 500 430
        tick 40
    )");
    EXPECT_EQ(g.time_step, 8 * 40); // the release merges into the first tick's repaint
    EXPECT_EQ(g.right_click_count, 2);
    EXPECT_NE(g.pressure[510 * grid_height + 430], 0.0);
}

TEST_F(golden, SineSourceWithEachFrequencyKey) {
    const grids g = expect_matches_straightforward(R"(
        key F
        rdown 300 300
        rup 300 300
        tick 15
        key 2
        tick 15
        key 3
        tick 15
        rdown 895 721   # the corner cell of the field window
        rup 895 721
        tick 10
    )");
    EXPECT_NE(g.pressure[300 * grid_height + 300], 0.0);
}

TEST_F(golden, WallsOfEachToolReflectTheSameWay) {
    expect_matches_straightforward(R"(
        key L
        ldown 200 200
        move 400 260
        paint
        lup 400 260
        paint
        key R
        ldown 450 300
        move 600 400
        paint
        lup 600 400
        paint
        key E
        ldown 250 450
        move 420 560
        paint
        lup 420 560
        paint
        key J
        ldown 700 200
        move 720 240
        paint
        move 760 250
        paint
        lup 760 250
        rdown 500 420
        rup 500 420
        tick 30
    )");
}

TEST_F(golden, EscAndDelClearTheSameCells) {
    const grids g = expect_matches_straightforward(R"(
        key L
        ldown 300 200
        lup 300 600
        paint
        rdown 500 400
        rup 500 400
        tick 20
        key ESC
        key DEL
        tick 3
        key SPACE
        tick 10
    )");
    EXPECT_EQ(g.medium_mask[300 * grid_height + 400], 1); // Del took the wall away
}

TEST_F(golden, ImportWithSourcesThenRun) {
    test_bitmap bitmap(300, 200, white_pixel);
    for (int y = 20; y < 180; ++y) {
        bitmap.set(150, y, black_pixel);
    }
    bitmap.set(60, 100, yellow_pixel);
    bitmap.set(61, 100, yellow_pixel);
    bitmap.set(240, 50, yellow_pixel);
    ASSERT_TRUE(bitmap.write((folder_ / "scene.bmp").string()));
    const grids g = expect_matches_straightforward(R"(
        rdown 700 600
        rup 700 600
        bitmap scene.bmp
        tick 25
    )");
    EXPECT_EQ(g.medium_mask[(128 + 150) * grid_height + 146 + 100], 0);
    EXPECT_NE(read("shipped", "test.txt").find("( 300, 200)"), std::string::npos);
}

TEST_F(golden, RightClickDuringADragWaitsForTheRelease) {
    const grids g = expect_matches_straightforward(R"(
        rdown 400 400
        rup 400 400
        tick 5
        key L
        ldown 300 300
        rdown 600 500
        rup 600 500
        tick 5      # held: no steps
        lup 500 300
        tick 10
    )");
    EXPECT_EQ(g.time_step, 8 * (5 + 10));
    EXPECT_EQ(g.right_click_count, 4);
}

TEST_F(golden, DoubleClicksNeitherDragNorPlace) {
    const grids g = expect_matches_straightforward(R"(
        rdown 400 400
        rup 400 400
        rdbl 600 600
        rup 600 600
        key R
        ldown 300 300
        lup 300 300
        ldbl 350 350
        lup 350 350
        tick 10
    )");
    EXPECT_EQ(g.right_click_count, 2);
    EXPECT_EQ(g.medium_mask[300 * grid_height + 300], 0); // the plus of the first click
}

// Acoustic energy (p^2 and the velocities' squares) of the cells x0..x1, y0..y1 and their
// right and lower faces.
double energy_inside(const grids& g, int x0, int y0, int x1, int y1) {
    double sum = 0.0;
    for (int x = x0; x <= x1; ++x) {
        for (int y = y0; y <= y1; ++y) {
            const std::size_t i = std::size_t(x) * grid_height + std::size_t(y);
            sum += g.pressure[i] * g.pressure[i] + g.velocity_x[i] * g.velocity_x[i] +
                   g.velocity_y[i] * g.velocity_y[i];
        }
    }
    return sum;
}

TEST_F(golden, BoxDrawnOverAMovingWaveHoldsItsEnergy) {
    // The ring of the pulse is a few cells inside the box when its walls go in, so the
    // faces along them carry flow at that moment.
    const std::string drawn = R"(
        rdown 450 400
        rup 450 400
        tick 8
        key R
        ldown 410 360
        move 490 440
        paint
        lup 490 440
        tick 1
    )";
    run(drawn, "drawn", false);
    const double held = energy_inside(take_grids(), 411, 361, 489, 439);
    const grids later = expect_matches_straightforward(drawn + "tick 80\n");
    const double kept = energy_inside(later, 411, 361, 489, 439);
    EXPECT_GT(held, 1.0);
    EXPECT_LT(kept, 1.05 * held) << "held " << held;
    EXPECT_GT(kept, 0.95 * held);
}

} // namespace
