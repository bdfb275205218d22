#include "solver/engine.h"
#include "solver/fdtd.h"
#include "solver/sources.h"

#include "field_fixtures.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace {

class FdtdStep : public ::testing::Test {
  protected:
    void SetUp() override {
        prepare_start_state();
    }
    simulation_state_record& s = simulation_state;
};

constexpr int x0 = 500;
constexpr int y0 = 400;

TEST_F(FdtdStep, UnitCellSpreadsToItsFourFacesAndNeighbours) {
    s.pressure[x0][y0] = 1.0;
    fdtd_step(test_pi());

    EXPECT_EQ(bits_of(s.velocity_x[x0][y0]), bits_of(0.5));
    EXPECT_EQ(bits_of(s.velocity_x[x0 - 1][y0]), bits_of(-0.5));
    EXPECT_EQ(bits_of(s.velocity_y[x0][y0]), bits_of(0.5));
    EXPECT_EQ(bits_of(s.velocity_y[x0][y0 - 1]), bits_of(-0.5));
    EXPECT_EQ(bits_of(s.pressure[x0][y0]), bits_of(0.0));
    EXPECT_EQ(s.pressure[x0 + 1][y0], 0.25);
    EXPECT_EQ(s.pressure[x0 - 1][y0], 0.25);
    EXPECT_EQ(s.pressure[x0][y0 + 1], 0.25);
    EXPECT_EQ(s.pressure[x0][y0 - 1], 0.25);
    EXPECT_EQ(s.pressure[x0 + 1][y0 + 1], 0.0);
    EXPECT_EQ(s.time_step, 1);
}

TEST_F(FdtdStep, WallCellNeitherTakesNorPassesSound) {
    s.pressure[x0][y0] = 1.0;
    s.medium_mask[x0 + 1][y0] = 0;
    fdtd_step(test_pi());

    EXPECT_EQ(bits_of(s.velocity_x[x0][y0]), bits_of(0.0)); // the face into the wall
    EXPECT_EQ(bits_of(s.pressure[x0 + 1][y0]), bits_of(0.0));
    // No outflow to the right: 1 - 0.5 * ((0 - -0.5) + (0.5 - -0.5)).
    EXPECT_EQ(s.pressure[x0][y0], 0.25);
    EXPECT_EQ(s.pressure[x0 + 2][y0], 0.0);
}

// The step never changes a face that touches a wall, whatever it holds; the wall writers
// zero the faces of a new wall (walls_test), so this arises only from writing the mask directly.
TEST_F(FdtdStep, NewWallKeepsTheVelocityOnItsFace) {
    s.velocity_x[x0][y0] = 0.3;
    s.medium_mask[x0 + 1][y0] = 0;
    double wall_pressure = 0.0;
    for (int step = 0; step < 5; ++step) {
        fdtd_step(test_pi());
        wall_pressure = wall_pressure - 0.5 * ((0.0 - 0.3) + (0.0 - 0.0));
        EXPECT_EQ(s.velocity_x[x0][y0], 0.3);
        EXPECT_EQ(s.pressure[x0 + 1][y0], wall_pressure);
        if (step == 0) {
            EXPECT_EQ(s.pressure[x0][y0], -0.15); // the medium side loses through the stuck face
        }
    }
}

TEST_F(FdtdStep, EdgeFacesTakeThePressureBeforeTheStep) {
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            s.pressure[x][y] = 0.001 * x - 0.002 * y;
        }
    }
    const auto before = snapshot_state();
    fdtd_step(test_pi());
    for (int y = field_origin_y; y <= region_last_y; ++y) {
        ASSERT_EQ(bits_of(s.velocity_x[127][y]), bits_of(-before->pressure[128][y])) << y;
        ASSERT_EQ(bits_of(s.velocity_x[896][y]), bits_of(before->pressure[896][y])) << y;
    }
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        ASSERT_EQ(bits_of(s.velocity_y[x][145]), bits_of(-before->pressure[x][146])) << x;
        ASSERT_EQ(bits_of(s.velocity_y[x][722]), bits_of(before->pressure[x][722])) << x;
    }
    // Corner faces outside the edge rows and columns are not edges of the region.
    EXPECT_EQ(s.velocity_x[127][145], 0.0);
    EXPECT_EQ(s.velocity_y[897][722], 0.0);
}

TEST_F(FdtdStep, NothingOutsideTheRegionIsReadOrWritten) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    s.pressure[x0][y0] = 1.0;
    s.pressure[field_origin_x][field_origin_y] = 0.75;
    s.pressure[region_last_x][region_last_y] = -0.5;
    auto clean = snapshot_state();
    for (int i = 0; i < 3; ++i) {
        fdtd_step(test_pi());
    }
    auto expected = snapshot_state();

    restore_state(*clean);
    for (int y = 0; y < grid_height; ++y) {
        s.pressure[127][y] = nan;
        s.pressure[897][y] = nan;
    }
    for (int x = 0; x < grid_width; ++x) {
        s.pressure[x][145] = nan;
        s.pressure[x][723] = nan;
    }
    s.velocity_x[126][300] = 9.0;
    s.velocity_y[300][144] = 9.0;
    auto poisoned = snapshot_state();
    for (int i = 0; i < 3; ++i) {
        fdtd_step(test_pi());
    }
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            ASSERT_EQ(bits_of(s.pressure[x][y]), bits_of(expected->pressure[x][y]))
                << x << "," << y;
        }
    }
    for (int y = 0; y < grid_height; ++y) {
        ASSERT_TRUE(std::isnan(s.pressure[127][y]) && std::isnan(s.pressure[897][y]));
    }
    EXPECT_EQ(s.velocity_x[126][300], 9.0);
    EXPECT_EQ(s.velocity_y[300][144], 9.0);
    EXPECT_EQ(std::memcmp(s.medium_mask, poisoned->medium_mask, sizeof s.medium_mask), 0);
}

TEST_F(FdtdStep, ZeroFieldStaysZero) {
    for (int i = 0; i < 20; ++i) {
        fdtd_step(test_pi());
    }
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            ASSERT_EQ(s.pressure[x][y], 0.0);
            ASSERT_EQ(s.velocity_x[x][y], 0.0);
            ASSERT_EQ(s.velocity_y[x][y], 0.0);
        }
    }
    EXPECT_EQ(s.time_step, 20);
}

TEST_F(FdtdStep, TimeStepWrapsLikeA32BitCounter) {
    s.time_step = std::numeric_limits<int32_t>::max();
    fdtd_step(test_pi());
    EXPECT_EQ(s.time_step, std::numeric_limits<int32_t>::min());
    advance_field(test_pi(), nullptr);
    EXPECT_EQ(s.time_step, std::numeric_limits<int32_t>::min() + 8);
}

uint32_t fake_ticks = 0;
uint32_t fake_clock() {
    return fake_ticks += 7;
}

struct step_log {
    std::vector<int32_t> time_steps;
    std::vector<double> pressures; // of the watched cells, step after step
    uint32_t ticks_seen_at_first_step = 0;
    int cells = 0;
};

void record_step(void* context, int32_t time_step, const double* pressures) {
    auto& log = *static_cast<step_log*>(context);
    if (log.time_steps.empty()) {
        log.ticks_seen_at_first_step = fake_ticks;
    }
    EXPECT_EQ(time_step, simulation_state.time_step);
    log.time_steps.push_back(time_step);
    log.pressures.insert(log.pressures.end(), pressures, pressures + log.cells);
}

// Watches the steps of one advance_field.
solver_ticks watched_advance(step_log& log, tick_clock clock, const point* cells = nullptr,
                             int cell_count = 0) {
    log.cells = cell_count;
    EXPECT_TRUE(use_engine(engine::shipped, step_watch{cells, cell_count, record_step, &log}));
    const solver_ticks ticks = advance_field(test_pi(), clock);
    use_engine(engine::shipped);
    return ticks;
}

TEST_F(FdtdStep, AdvanceFieldTimesEightStepsAndShowsEachToTheWatch) {
    fake_ticks = 0xFFFFFFF0u; // the clock wraps inside the block
    s.time_step = 40;
    step_log log;
    const solver_ticks ticks = watched_advance(log, fake_clock);

    EXPECT_EQ(ticks.start, 0xFFFFFFF7u);
    EXPECT_EQ(ticks.end, 0xFFFFFFF7u + 7u);
    EXPECT_EQ(log.ticks_seen_at_first_step, ticks.start); // taken before the first step
    EXPECT_EQ(log.time_steps, (std::vector<int32_t>{41, 42, 43, 44, 45, 46, 47, 48}));
    EXPECT_EQ(s.time_step, 48);
}

TEST_F(FdtdStep, WatchedStepsEqualUnwatchedOnesAndReportTheWatchedCells) {
    s.source_type = 'F';
    s.source_pos = {400, 300};
    add_gaussian_pulse({600, 500});
    auto start = snapshot_state();
    advance_field(test_pi(), nullptr);
    auto plain = snapshot_state();

    restore_state(*start);
    step_log log;
    const point cells[] = {{601, 500}, {400, 300}, {grid_width, 5}};
    watched_advance(log, nullptr, cells, 3);
    EXPECT_EQ(log.time_steps.size(), 8u);
    EXPECT_EQ(compare_fields(*plain, simulation_state), "");
    ASSERT_EQ(log.pressures.size(), 24u);
    EXPECT_NE(log.pressures[0], log.pressures[21]); // the pulse moves on between the steps
    EXPECT_EQ(bits_of(log.pressures[21]), bits_of(s.pressure[601][500]));
    EXPECT_EQ(bits_of(log.pressures[22]), bits_of(s.pressure[400][300]));
    EXPECT_TRUE(std::isnan(log.pressures[23])); // outside the grid: nothing is read
}

} // namespace
