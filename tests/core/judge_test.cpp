// Walls and sources judged from a bitmap through a fake pixel reader, and the normalisation.
#include "editing/judge.h"

#include "field_fixtures.h"
#include "state/simulation_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <utility>

namespace {

auto& st = simulation_state;

constexpr uint32_t white = 0xFFFFFF;

// A bitmap of one background colour with a few pixels set; remembers how it was read.
struct fake_bitmap {
    uint32_t background = white;
    std::map<std::pair<int, int>, uint32_t> pixels;
    long long reads = 0;
    int max_x = -1;
    int max_y = -1;

    pixel_reader reader() {
        return [this](int x, int y) {
            ++reads;
            max_x = std::max(max_x, x);
            max_y = std::max(max_y, y);
            const auto found = pixels.find({x, y});
            return found == pixels.end() ? background : found->second;
        };
    }
};

double peak_magnitude() {
    double peak = 0.0;
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            peak = std::max(peak, std::fabs(st.pressure[x][y]));
        }
    }
    return peak;
}

TEST(JudgeWalls, BitmapReplacesTheMaskOverItsRectangleOnly) {
    prepare_start_state();
    st.medium_mask[150][150] = 0; // inside the 100 x 50 rectangle
    st.medium_mask[228][150] = 0; // one column right of it
    st.medium_mask[150][196] = 0; // one row below it
    fake_bitmap bmp;
    bmp.pixels[{0, 0}] = colorref_black;
    bmp.pixels[{99, 49}] = colorref_black;
    bmp.pixels[{5, 5}] = 0x010101; // near black
    judge_walls(bmp.reader(), 100, 50);
    EXPECT_EQ(bmp.reads, 100 * 50);
    EXPECT_EQ(st.medium_mask[128][146], 0);
    EXPECT_EQ(st.medium_mask[227][195], 0);
    EXPECT_EQ(st.medium_mask[133][151], 1);
    EXPECT_EQ(st.medium_mask[150][150], 1);
    EXPECT_EQ(st.medium_mask[228][150], 0);
    EXPECT_EQ(st.medium_mask[150][196], 0);
}

TEST(JudgeWalls, OversizedBitmapIsReadOnlyOverTheGrid) {
    prepare_start_state();
    fake_bitmap bmp;
    bmp.background = colorref_black;
    judge_walls(bmp.reader(), 900, 700);
    EXPECT_EQ(bmp.max_x, 895);
    EXPECT_EQ(bmp.max_y, 621);
    EXPECT_EQ(st.medium_mask[1023][767], 0);
    EXPECT_EQ(st.medium_mask[1023][145], 1);
    EXPECT_EQ(st.medium_mask[127][767], 1);

    // A header may claim any size: never more reads than the grid has room for.
    fake_bitmap huge;
    judge_walls(huge.reader(), 100000, 100000);
    EXPECT_EQ(huge.reads, 896LL * 622LL);
}

TEST(JudgeWalls, EmptyOrNegativeSizesReadNothing) {
    prepare_start_state();
    fake_bitmap bmp;
    judge_walls(bmp.reader(), 0, 10);
    judge_walls(bmp.reader(), -5, 10);
    judge_walls(bmp.reader(), 10, -1);
    EXPECT_EQ(judge_sources(bmp.reader(), -1, -1), 0);
    EXPECT_EQ(bmp.reads, 0);
}

TEST(JudgeWalls, NewWallsStopTheirFacesOnly) {
    prepare_start_state();
    fill_moving_field();
    st.medium_mask[130][150] = 0; // stays a wall under a black pixel
    st.medium_mask[140][150] = 0; // becomes medium under a white one
    fake_bitmap bmp;
    for (const auto& [x, y] : {std::pair{0, 0}, {2, 4}, {3, 4}, {895, 621}}) {
        bmp.pixels[{x, y}] = colorref_black;
    }
    const auto before = snapshot_state();
    judge_walls(bmp.reader(), 896, 622);
    EXPECT_EQ(st.medium_mask[1023][767], 0);
    EXPECT_EQ(st.medium_mask[140][150], 1);
    EXPECT_EQ(check_new_wall_faces(*before), "");
}

TEST(JudgeSources, OneYellowPixelOnAFieldAtRest) {
    prepare_start_state();
    fake_bitmap bmp;
    bmp.pixels[{10, 20}] = colorref_yellow;
    judge_walls(bmp.reader(), 100, 50);
    EXPECT_EQ(judge_sources(bmp.reader(), 100, 50), 1);
    EXPECT_EQ(st.source_pos, (point{138, 166}));
    EXPECT_EQ(st.right_click_count, 1);
    EXPECT_EQ(st.pressure[138][166], 1.0);
    EXPECT_DOUBLE_EQ(st.pressure[139][166], std::exp(-1.0 / 50.0));
    EXPECT_EQ(normalize_pressure(), 1.0);
    EXPECT_EQ(st.pressure[138][166], 1.0);
    EXPECT_EQ(peak_magnitude(), 1.0);
}

TEST(JudgeSources, TwoNeighboursAddUpThenScaleBackToOne) {
    prepare_start_state();
    st.right_click_count = 6;
    fake_bitmap bmp;
    bmp.pixels[{10, 20}] = colorref_yellow;
    bmp.pixels[{10, 21}] = colorref_yellow;
    EXPECT_EQ(judge_sources(bmp.reader(), 100, 50), 2);
    // The last one in column order.
    EXPECT_EQ(st.source_pos, (point{138, 167}));
    EXPECT_EQ(st.right_click_count, 1);
    const double peak = normalize_pressure();
    EXPECT_NEAR(peak, 1.0 + std::exp(-1.0 / 50.0), 1e-12);
    EXPECT_NEAR(peak, 1.98, 0.001);
    EXPECT_DOUBLE_EQ(peak_magnitude(), 1.0);
}

TEST(JudgeSources, NearYellowIsNoSourceAndNoneKeepsThePreviousSource) {
    prepare_start_state();
    st.source_pos = {400, 300};
    st.right_click_count = 4;
    fake_bitmap bmp;
    bmp.pixels[{3, 3}] = 0x01FFFF; // red 255, green 255, blue 1
    bmp.pixels[{4, 4}] = 0x00FFFE;
    bmp.pixels[{5, 5}] = 0x00FEFF;
    EXPECT_EQ(judge_sources(bmp.reader(), 100, 50), 0);
    EXPECT_EQ(st.source_pos, (point{400, 300}));
    EXPECT_EQ(st.right_click_count, 4);
    EXPECT_EQ(peak_magnitude(), 0.0);
}

TEST(JudgeSources, SineTypeMovesTheSourceWithoutAPulse) {
    prepare_start_state();
    st.source_type = 'F';
    fake_bitmap bmp;
    bmp.pixels[{50, 5}] = colorref_yellow;
    bmp.pixels[{20, 40}] = colorref_yellow;
    EXPECT_EQ(judge_sources(bmp.reader(), 100, 50), 2);
    EXPECT_EQ(st.source_pos, (point{178, 151}));
    EXPECT_EQ(st.right_click_count, 1);
    EXPECT_EQ(peak_magnitude(), 0.0);
}

TEST(JudgeSources, YellowBeyondTheGridIsIgnored) {
    prepare_start_state();
    fake_bitmap bmp;
    bmp.pixels[{899, 699}] = colorref_yellow;
    bmp.pixels[{896, 100}] = colorref_yellow;
    bmp.pixels[{100, 622}] = colorref_yellow;
    EXPECT_EQ(judge_sources(bmp.reader(), 900, 700), 0);
    EXPECT_EQ(bmp.max_x, 895);
    EXPECT_EQ(bmp.max_y, 621);
    EXPECT_EQ(st.source_pos, (point{0, 0}));

    // The last pixel that still lands on the grid counts.
    bmp.pixels[{895, 621}] = colorref_yellow;
    EXPECT_EQ(judge_sources(bmp.reader(), 900, 700), 1);
    EXPECT_EQ(st.source_pos, (point{1023, 767}));
}

TEST(NormalizePressure, ScalesMediumAndZeroesWalls) {
    prepare_start_state();
    st.pressure[300][300] = -0.5;
    st.pressure[301][300] = 0.25;
    st.pressure[302][300] = 0.25;
    st.medium_mask[302][300] = 0;
    // Outside the simulated region: neither the peak nor scaled.
    st.pressure[897][300] = 10.0;
    EXPECT_EQ(normalize_pressure(), 0.5);
    EXPECT_EQ(st.pressure[300][300], -1.0);
    EXPECT_EQ(st.pressure[301][300], 0.5);
    EXPECT_EQ(st.pressure[302][300], 0.0);
    EXPECT_EQ(st.pressure[897][300], 10.0);
}

TEST(NormalizePressure, NotANumberNeverBecomesThePeak) {
    prepare_start_state();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    st.pressure[128][146] = nan; // first cell scanned
    st.pressure[500][500] = 0.75;
    st.pressure[896][722] = nan; // last cell scanned
    EXPECT_EQ(normalize_pressure(), 0.75);
    EXPECT_EQ(st.pressure[500][500], 1.0);

    prepare_start_state();
    st.pressure[400][400] = nan;
    EXPECT_EQ(normalize_pressure(), 0.0);
    EXPECT_TRUE(std::isnan(st.pressure[400][400]));
}

TEST(NormalizePressure, FieldAtRestIsLeftAlone) {
    prepare_start_state();
    st.medium_mask[300][300] = 0;
    EXPECT_EQ(normalize_pressure(), 0.0);
    EXPECT_EQ(peak_magnitude(), 0.0);
}

} // namespace
