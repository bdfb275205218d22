#include "solver/fdtd.h"
#include "solver/sources.h"

#include "field_fixtures.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

class Sources : public ::testing::Test {
  protected:
    void SetUp() override {
        prepare_start_state();
    }
    simulation_state_record& s = simulation_state;
};

TEST_F(Sources, SineAddsNothingAtStepZeroAndItsAmplitudeAtAQuarterPeriod) {
    s.source_type = 'F';
    s.source_pos = {500, 400};
    const double pi = test_pi();
    inject_sine_source(pi);
    EXPECT_EQ(bits_of(s.pressure[500][400]), bits_of(0.0));

    struct case_t {
        char key;
        int32_t quarter;
        double amplitude;
    };
    for (const case_t c : {case_t{'1', 5, 5.0}, case_t{'2', 20, 10.0}, case_t{'3', 80, 20.0}}) {
        s.frequency_key = c.key;
        s.pressure[500][400] = 0.0;
        s.time_step = c.quarter;
        inject_sine_source(pi);
        EXPECT_EQ(s.pressure[500][400], c.amplitude) << c.key;
        s.time_step = 3 * c.quarter; // three quarters: the trough, added to the crest
        inject_sine_source(pi);
        EXPECT_NEAR(s.pressure[500][400], 0.0, 1e-12) << c.key;
        EXPECT_EQ(sine_source_sample(pi, 3 * c.quarter), -c.amplitude) << c.key;
    }
}

TEST_F(Sources, SineUsesTheCountBeforeTheStepAndOnlyForTypeF) {
    s.source_pos = {50, 50}; // in the panel: no step reads it
    s.time_step = 5;
    fdtd_step(test_pi());
    EXPECT_EQ(s.pressure[50][50], 0.0); // type 'T'
    s.source_type = 'F';
    s.time_step = 5;
    fdtd_step(test_pi());
    EXPECT_EQ(s.pressure[50][50], 5.0);
    EXPECT_EQ(s.time_step, 6);
}

TEST_F(Sources, SineOutsideTheGridWritesNothing) {
    s.source_type = 'F';
    s.time_step = 5;
    const auto before = snapshot_state();
    for (const point p : {point{65535, 65535}, point{1024, 10}, point{10, 768}, point{-1, 300},
                          point{300, -1}, point{std::numeric_limits<int32_t>::max(), 0}}) {
        s.source_pos = p;
        inject_sine_source(test_pi());
        EXPECT_EQ(compare_fields(*before, s), "") << p.x << "," << p.y;
    }
}

TEST_F(Sources, SineInThePanelOrInAWallLeavesTheFieldSilent) {
    s.source_type = 'F';
    s.frequency_key = '1';
    s.medium_mask[500][400] = 0;
    for (const point p : {point{50, 50}, point{500, 400}, point{897, 400}, point{500, 723}}) {
        prepare_start_state();
        s.medium_mask[500][400] = 0;
        s.source_type = 'F';
        s.source_pos = p;
        for (int i = 0; i < 12; ++i) {
            fdtd_step(test_pi());
        }
        EXPECT_NE(s.pressure[p.x][p.y], 0.0);
        s.pressure[p.x][p.y] = 0.0;
        for (int x = 0; x < grid_width; ++x) {
            for (int y = 0; y < grid_height; ++y) {
                ASSERT_EQ(s.pressure[x][y], 0.0) << p.x << "," << p.y << ": " << x << "," << y;
            }
        }
    }
}

TEST_F(Sources, PulsePeaksAtItsCentreAndSuperposes) {
    add_gaussian_pulse({500, 400});
    EXPECT_EQ(s.pressure[500][400], 1.0);
    EXPECT_EQ(s.pressure[503][404], std::exp(-25.0 / 50.0));
    EXPECT_EQ(s.pressure[497][396], std::exp(-25.0 / 50.0));
    add_gaussian_pulse({500, 400});
    EXPECT_EQ(s.pressure[500][400], 2.0);
    EXPECT_EQ(s.pressure[503][404], 2.0 * std::exp(-0.5));
    EXPECT_EQ(s.velocity_x[500][400], 0.0);
    EXPECT_EQ(s.velocity_y[500][400], 0.0);
}

TEST_F(Sources, PulseIsWeightedByTheMaskAndStaysInTheRegion) {
    s.medium_mask[500][400] = 0;
    add_gaussian_pulse({500, 400});
    EXPECT_EQ(s.pressure[500][400], 0.0);
    EXPECT_EQ(s.pressure[501][400], std::exp(-1.0 / 50.0));

    prepare_start_state();
    add_gaussian_pulse({127, 300}); // just outside: only the tail inside
    EXPECT_EQ(s.pressure[127][300], 0.0);
    EXPECT_EQ(s.pressure[128][300], std::exp(-1.0 / 50.0));
    add_gaussian_pulse({897, 723});
    EXPECT_EQ(s.pressure[897][723], 0.0);
    EXPECT_EQ(s.pressure[896][722], std::exp(-2.0 / 50.0));

    const auto before = snapshot_state();
    add_gaussian_pulse({65535, 65535});
    add_gaussian_pulse({std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()});
    EXPECT_EQ(compare_fields(*before, s), "");
}

TEST_F(Sources, RightClickMovesTheSourceAndCounts) {
    place_source_at({300, 200});
    EXPECT_EQ(s.source_pos, (point{300, 200}));
    EXPECT_EQ(s.source_placed, 1);
    EXPECT_EQ(s.right_click_count, 1);
    s.right_click_count = std::numeric_limits<int32_t>::max();
    place_source_at({301, 201});
    EXPECT_EQ(s.right_click_count, std::numeric_limits<int32_t>::min());
}

TEST_F(Sources, OddCountGetsOnePulseForTypeTOnly) {
    place_source_at({500, 400});
    EXPECT_TRUE(excite_pending_click());
    EXPECT_EQ(s.right_click_count, 2);
    EXPECT_EQ(s.pressure[500][400], 1.0);
    EXPECT_FALSE(excite_pending_click()); // even: nothing more
    EXPECT_EQ(s.pressure[500][400], 1.0);

    s.source_type = 'F';
    place_source_at({600, 400});
    const auto before = snapshot_state();
    EXPECT_TRUE(excite_pending_click());
    EXPECT_EQ(s.right_click_count, 4);
    EXPECT_EQ(compare_fields(*before, s), ""); // the click only moved the sine source
}

TEST_F(Sources, NegativeCountsDoNothingAndTheLargestOddWraps) {
    s.source_pos = {500, 400};
    s.right_click_count = -1;
    EXPECT_FALSE(excite_pending_click());
    EXPECT_EQ(s.right_click_count, -1);
    EXPECT_EQ(s.pressure[500][400], 0.0);

    s.right_click_count = std::numeric_limits<int32_t>::max();
    EXPECT_TRUE(excite_pending_click());
    EXPECT_EQ(s.right_click_count, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(s.pressure[500][400], 1.0);
}

TEST_F(Sources, EscClearsUpToColumn895AndStops) {
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            s.pressure[x][y] = 1.0;
            s.velocity_x[x][y] = 2.0;
            s.velocity_y[x][y] = 3.0;
        }
    }
    s.time_step = 77;
    clear_field();
    EXPECT_EQ(s.is_running, 0);
    EXPECT_EQ(s.time_step, 77);
    for (int y = field_origin_y; y <= region_last_y; ++y) {
        for (int x = field_origin_x; x <= field_last_x; ++x) {
            ASSERT_EQ(s.pressure[x][y] + s.velocity_x[x][y] + s.velocity_y[x][y], 0.0);
        }
        EXPECT_EQ(s.pressure[896][y], 1.0);
        EXPECT_EQ(s.velocity_x[896][y], 2.0);
        EXPECT_EQ(s.velocity_x[127][y], 2.0);
    }
    EXPECT_EQ(s.velocity_y[500][145], 3.0);
    EXPECT_EQ(s.pressure[500][723], 1.0);
    EXPECT_EQ(s.pressure[500][145], 1.0);
}

TEST_F(Sources, KeysChooseTypeFrequencyAndRunning) {
    select_frequency('2'); // ignored while 'T'
    EXPECT_EQ(s.frequency_key, '1');
    select_source_type('F');
    EXPECT_EQ(s.source_type, 'F');
    select_frequency('3');
    EXPECT_EQ(s.frequency_key, '3');
    select_source_type('T');
    select_frequency('1');
    EXPECT_EQ(s.frequency_key, '3');
    EXPECT_EQ(s.source_type, 'T');

    EXPECT_EQ(s.is_running, 1);
    toggle_running();
    EXPECT_EQ(s.is_running, 0);
    toggle_running();
    EXPECT_EQ(s.is_running, 1);
    s.is_running = 5;
    toggle_running();
    EXPECT_EQ(s.is_running, 0);
}

} // namespace
