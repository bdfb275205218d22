// Wall writing: segments, the committed rectangle and ellipse, focus marks and Del.
#include "editing/walls.h"

#include "field_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <utility>
#include <vector>

namespace {

using cell = std::pair<int, int>;
using cell_set = std::set<cell>;

auto& st = simulation_state;

// Medium everywhere, column 0 and row 0 included, so every wall seen was written by the test.
void fill_medium() {
    prepare_start_state();
    for (auto& column : st.medium_mask) {
        std::fill(std::begin(column), std::end(column), 1);
    }
}

cell_set walls() {
    cell_set found;
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            if (st.medium_mask[x][y] == 0) {
                found.insert({x, y});
            }
        }
    }
    return found;
}

// The grid that follows medium_mask in the record: a write one column past the grid's right
// edge would land here without any sanitizer noticing.
constexpr int32_t sentinel = 0x5A5A5A5A;

void fill_sentinel() {
    for (auto& column : st.cell_color) {
        std::fill(std::begin(column), std::end(column), sentinel);
    }
}

bool sentinel_intact() {
    for (const auto& column : st.cell_color) {
        for (int32_t value : column) {
            if (value != sentinel) {
                return false;
            }
        }
    }
    return true;
}

// The same cells as the four passes, traced without any clipping, then kept if on the grid.
cell_set unclipped_segment(point a, point b) {
    cell_set cells;
    for (long long k = 0; k <= 1; ++k) {
        for (long long l = 0; l <= 1; ++l) {
            const long long ax = a.x + k, ay = a.y + l;
            const long long dx = b.x - a.x, dy = b.y - a.y;
            const double length = std::sqrt(double(dx) * double(dx) + double(dy) * double(dy));
            const long long n = static_cast<long long>(length);
            for (long long i = 1; i <= n; ++i) {
                const double xs = double(i) * (double(dx) / length);
                const double ys = double(i) * (double(dy) / length);
                const long long x = static_cast<long long>(double(ax) + xs);
                const long long y = static_cast<long long>(double(ay) + ys);
                if (x >= 0 && x < grid_width && y >= 0 && y < grid_height) {
                    cells.insert({int(x), int(y)});
                }
            }
        }
    }
    return cells;
}

void drag(point s, point e) {
    st.drag_start = s;
    st.drag_end = e;
}

void commit_ellipse_walls(point s, point e) {
    drag(s, e);
    set_ellipse_from_drag(s, e);
    write_ellipse_walls();
}

std::pair<int, int> row_span(const cell_set& cells) {
    int lo = INT_MAX, hi = INT_MIN;
    for (const auto& c : cells) {
        lo = std::min(lo, c.second);
        hi = std::max(hi, c.second);
    }
    return {lo, hi};
}

TEST(WallSegment, HorizontalLineLeavesStartCellOut) {
    fill_medium();
    write_wall_segment({10, 10}, {13, 10});
    cell_set expected;
    for (int x = 11; x <= 14; ++x) {
        expected.insert({x, 10});
        expected.insert({x, 11});
    }
    EXPECT_EQ(walls(), expected);
}

TEST(WallSegment, DiagonalLineReachesStartCell) {
    fill_medium();
    write_wall_segment({10, 10}, {13, 13});
    const cell_set expected{{10, 10}, {10, 11}, {11, 10}, {11, 11}, {11, 12},
                            {12, 11}, {12, 12}, {12, 13}, {13, 12}, {13, 13}};
    EXPECT_EQ(walls(), expected);
}

TEST(WallSegment, ZeroLengthWritesNothing) {
    fill_medium();
    write_wall_segment({300, 300}, {300, 300});
    EXPECT_TRUE(walls().empty());
}

TEST(WallSegment, StrokesFromBeyondTheGridWriteOnlyInside) {
    // Points left of or above the window arrive as values up to 65535.
    const std::vector<std::pair<point, point>> strokes = {
        {{65535, 65535}, {0, 0}},     {{500, 300}, {65535, 300}},   {{500, 300}, {500, 65535}},
        {{65535, 100}, {100, 65535}}, {{1000, 700}, {1100, 800}},   {{-5, 10}, {5, 10}},
        {{65535, 0}, {0, 65535}},     {{0, 65535}, {65535, 65535}},
    };
    for (const auto& [a, b] : strokes) {
        SCOPED_TRACE(testing::Message()
                     << "(" << a.x << "," << a.y << ")-(" << b.x << "," << b.y << ")");
        fill_medium();
        fill_sentinel();
        write_wall_segment(a, b);
        EXPECT_EQ(walls(), unclipped_segment(a, b));
        EXPECT_TRUE(sentinel_intact());
    }
}

TEST(WallSegment, ClippedAtTheBordersWithoutWrapping) {
    fill_medium();
    fill_sentinel();
    write_wall_segment({500, 300}, {500, 65535});
    EXPECT_EQ(st.medium_mask[500][767], 0);
    EXPECT_EQ(st.medium_mask[501][767], 0);
    EXPECT_EQ(st.medium_mask[500][301], 0);
    EXPECT_EQ(st.medium_mask[500][300], 1);
    // [501][768] would alias [502][0].
    EXPECT_EQ(st.medium_mask[502][0], 1);

    write_wall_segment({1000, 400}, {65535, 400});
    EXPECT_EQ(st.medium_mask[1023][400], 0);
    EXPECT_EQ(st.medium_mask[1023][401], 0);
    EXPECT_TRUE(sentinel_intact());

    write_wall_segment({-5, 10}, {5, 10});
    EXPECT_EQ(st.medium_mask[0][10], 0);
    EXPECT_EQ(st.medium_mask[0][11], 0);
    EXPECT_EQ(st.medium_mask[6][11], 0);
    EXPECT_EQ(st.medium_mask[7][11], 1);
}

TEST(WallSegment, ExtremeEndpointsFinishAndStayOnTheGrid) {
    fill_medium();
    fill_sentinel();
    // A diagonal billions of cells long: only the part over the grid is walked.
    write_wall_segment({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX});
    write_wall_segment({INT32_MAX, 200}, {INT32_MIN, 200});
    EXPECT_EQ(st.medium_mask[400][400], 0);
    EXPECT_EQ(st.medium_mask[400][300], 1);
    EXPECT_EQ(st.medium_mask[0][200], 0);
    EXPECT_EQ(st.medium_mask[1023][201], 0);
    EXPECT_TRUE(sentinel_intact());
}

TEST(StartPointGuard, FailsOnRowOrColumnZero) {
    prepare_start_state();
    EXPECT_FALSE(start_point_guard());
    st.drag_start = {0, 50};
    EXPECT_FALSE(start_point_guard());
    st.drag_start = {50, 0};
    EXPECT_FALSE(start_point_guard());
    st.drag_start = {50, 65535};
    EXPECT_TRUE(start_point_guard());
}

cell_set frame(int x_lo, int x_hi, std::initializer_list<int> rows, int y_lo, int y_hi,
               std::initializer_list<int> columns) {
    cell_set cells;
    for (int x = x_lo; x <= x_hi; ++x) {
        for (int y : rows) {
            cells.insert({x, y});
        }
    }
    for (int y = y_lo; y <= y_hi; ++y) {
        for (int x : columns) {
            cells.insert({x, y});
        }
    }
    return cells;
}

TEST(RectangleWalls, DownRightIsThickenedOutward) {
    fill_medium();
    write_rectangle_walls({100, 100}, {150, 130});
    const cell_set got = walls();
    EXPECT_EQ(got, frame(100, 150, {99, 100, 130, 131}, 100, 130, {99, 100, 150, 151}));
    for (cell corner : {cell{99, 99}, cell{151, 99}, cell{99, 131}, cell{151, 131}}) {
        EXPECT_EQ(got.count(corner), 0u);
    }
}

TEST(RectangleWalls, UpLeftIsThickenedInward) {
    fill_medium();
    write_rectangle_walls({200, 200}, {150, 170});
    const cell_set got = walls();
    EXPECT_EQ(got, frame(150, 200, {199, 200, 170, 171}, 170, 200, {199, 200, 150, 151}));
    EXPECT_EQ(got.count({175, 201}), 0u);
    EXPECT_EQ(got.count({201, 185}), 0u);
    EXPECT_EQ(got.count({175, 169}), 0u);
    EXPECT_EQ(got.count({149, 185}), 0u);
}

TEST(RectangleWalls, ClickWithoutMovementMakesAPlus) {
    fill_medium();
    write_rectangle_walls({300, 300}, {300, 300});
    EXPECT_EQ(walls(), (cell_set{{300, 300}, {299, 300}, {301, 300}, {300, 299}, {300, 301}}));
}

TEST(RectangleWalls, DoublingPastTheGridEdgeIsLeftOut) {
    fill_medium();
    fill_sentinel();
    write_rectangle_walls({1000, 700}, {1023, 767});
    EXPECT_EQ(walls(), frame(1000, 1023, {699, 700, 767}, 700, 767, {999, 1000, 1023}));
    EXPECT_TRUE(sentinel_intact());

    fill_medium();
    write_rectangle_walls({0, 0}, {20, 20});
    EXPECT_EQ(walls(), frame(0, 20, {0, 20, 21}, 0, 20, {0, 20, 21}));

    // Start beyond the grid (dragged in from the left/top): only E's edges land on it.
    fill_medium();
    fill_sentinel();
    write_rectangle_walls({65535, 65535}, {100, 100});
    EXPECT_EQ(walls(), frame(100, 1023, {100, 101}, 100, 767, {100, 101}));
    EXPECT_TRUE(sentinel_intact());
}

TEST(EllipseWalls, CircleOfRadiusFiveMakesSixtyWalls) {
    fill_medium();
    commit_ellipse_walls({200, 200}, {210, 210});
    EXPECT_EQ(st.ellipse_center, (point{205, 205}));
    EXPECT_EQ(st.ellipse_half_x, 5);
    EXPECT_EQ(st.ellipse_half_y, 5);
    // Row by row: inclusive column runs.
    const std::vector<std::pair<int, std::vector<std::pair<int, int>>>> rows = {
        {200, {{203, 207}}},
        {201, {{202, 208}}},
        {202, {{201, 203}, {207, 209}}},
        {203, {{201, 202}, {208, 209}}},
        {204, {{200, 202}, {209, 210}}},
        {205, {{200, 202}, {209, 210}}},
        {206, {{200, 201}, {209, 210}}},
        {207, {{201, 202}, {208, 210}}},
        {208, {{201, 203}, {207, 210}}},
        {209, {{202, 208}}},
        {210, {{203, 207}}},
    };
    cell_set expected;
    for (const auto& [y, runs] : rows) {
        for (const auto& [x0, x1] : runs) {
            for (int x = x0; x <= x1; ++x) {
                expected.insert({x, y});
            }
        }
    }
    ASSERT_EQ(expected.size(), 60u);
    EXPECT_EQ(walls(), expected);
    EXPECT_EQ(ellipse_focus_marks().count, 0);
}

TEST(EllipseWalls, EvenHeightCoversEveryRowOddHeightLosesTheBottom) {
    fill_medium();
    commit_ellipse_walls({100, 100}, {110, 106});
    EXPECT_EQ(row_span(walls()), std::make_pair(100, 106));

    fill_medium();
    commit_ellipse_walls({100, 100}, {110, 105});
    EXPECT_EQ(st.ellipse_center.y, 102);
    EXPECT_EQ(st.ellipse_half_y, 2);
    EXPECT_EQ(row_span(walls()), std::make_pair(100, 104));
}

TEST(EllipseWalls, DraggedUpLeftMatchesDownRight) {
    fill_medium();
    commit_ellipse_walls({300, 300}, {340, 320});
    const cell_set down_right = walls();
    fill_medium();
    commit_ellipse_walls({340, 320}, {300, 300});
    EXPECT_FALSE(down_right.empty());
    EXPECT_EQ(walls(), down_right);
}

TEST(EllipseWalls, FlatBoxesWriteNothing) {
    fill_medium();
    commit_ellipse_walls({100, 100}, {160, 100});
    commit_ellipse_walls({100, 100}, {110, 101});
    commit_ellipse_walls({100, 101}, {110, 100});
    EXPECT_TRUE(walls().empty());
}

TEST(EllipseWalls, HugeBoxStaysOnTheGrid) {
    fill_medium();
    fill_sentinel();
    // Half-width 32667 around x 32867: only its left end crosses the grid.
    commit_ellipse_walls({65535, 300}, {200, 500});
    EXPECT_TRUE(sentinel_intact());
    const cell_set got = walls();
    ASSERT_FALSE(got.empty());
    EXPECT_GE(got.begin()->first, 200);
    EXPECT_TRUE(got.count({200, 400}) || got.count({201, 400}));
    commit_ellipse_walls({INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX});
    EXPECT_TRUE(sentinel_intact());
}

TEST(FocusMarks, OnTheLongAxisWhicheverWayTheDragWent) {
    prepare_start_state();
    set_ellipse_from_drag({100, 100}, {160, 130});
    EXPECT_EQ(st.ellipse_center, (point{130, 115}));
    focus_marks marks = ellipse_focus_marks();
    ASSERT_EQ(marks.count, 2);
    EXPECT_EQ(marks.marks[0], (point{105, 115}));
    EXPECT_EQ(marks.marks[1], (point{155, 115}));

    set_ellipse_from_drag({160, 130}, {100, 100});
    EXPECT_EQ(st.ellipse_half_x, -30);
    EXPECT_EQ(st.ellipse_half_y, -15);
    marks = ellipse_focus_marks();
    ASSERT_EQ(marks.count, 2);
    EXPECT_EQ(marks.marks[0], (point{105, 115}));
    EXPECT_EQ(marks.marks[1], (point{155, 115}));

    set_ellipse_from_drag({100, 100}, {130, 160});
    marks = ellipse_focus_marks();
    ASSERT_EQ(marks.count, 2);
    EXPECT_EQ(marks.marks[0], (point{115, 105}));
    EXPECT_EQ(marks.marks[1], (point{115, 155}));
}

TEST(FocusMarks, ZeroHeightPutsThemAtTheEnds) {
    prepare_start_state();
    set_ellipse_from_drag({100, 100}, {160, 100});
    const focus_marks marks = ellipse_focus_marks();
    ASSERT_EQ(marks.count, 2);
    EXPECT_EQ(marks.marks[0], (point{100, 100}));
    EXPECT_EQ(marks.marks[1], (point{160, 100}));

    set_ellipse_from_drag({100, 100}, {100, 100});
    EXPECT_EQ(ellipse_focus_marks().count, 0);
}

TEST(EraseWalls, RestoresTheFieldAndTheRowBelowOnly) {
    prepare_start_state();
    const std::vector<cell> inside = {{128, 146}, {895, 146}, {128, 722}, {895, 722}, {500, 400}};
    const std::vector<cell> outside = {{896, 300}, {127, 300}, {500, 723}, {500, 145}, {0, 0}};
    for (const auto& [x, y] : inside) {
        st.medium_mask[x][y] = 0;
    }
    for (const auto& [x, y] : outside) {
        st.medium_mask[x][y] = 0;
    }
    st.pressure[500][400] = 0.25;
    erase_walls();
    for (const auto& [x, y] : inside) {
        EXPECT_EQ(st.medium_mask[x][y], 1) << x << "," << y;
    }
    for (const auto& [x, y] : outside) {
        EXPECT_EQ(st.medium_mask[x][y], 0) << x << "," << y;
    }
    EXPECT_EQ(st.pressure[500][400], 0.25);
}

// A cell that becomes a wall stops the flow on its four faces at once; cells that were walls
// already keep theirs, and Del changes no velocity.
TEST(NewWalls, SegmentsStopTheFacesOfTheirNewCellsOnly) {
    fill_medium();
    fill_moving_field();
    st.medium_mask[300][299] = 0; // a wall already, beside the stroke
    st.medium_mask[305][300] = 0; // a wall already, under the stroke
    const auto before = snapshot_state();
    write_wall_segment({295, 300}, {310, 300});
    write_wall_segment({0, 5}, {0, 0});           // column 0 and row 0
    write_wall_segment({1022, 767}, {1022, 760}); // column 1023 and row 767
    EXPECT_EQ(st.medium_mask[0][0], 0);
    EXPECT_EQ(st.medium_mask[1023][767], 0);
    EXPECT_EQ(check_new_wall_faces(*before), "");

    const auto walled = snapshot_state();
    erase_walls();
    EXPECT_EQ(check_new_wall_faces(*walled), "");
}

TEST(NewWalls, RectanglesStopTheFacesOfTheirNewCellsOnly) {
    fill_medium();
    fill_moving_field();
    st.medium_mask[10][20] = 0;
    const auto before = snapshot_state();
    write_rectangle_walls({0, 0}, {20, 20});
    write_rectangle_walls({1000, 700}, {1023, 767});
    EXPECT_EQ(check_new_wall_faces(*before), "");
}

} // namespace
