#include "display/coloring.h"
#include "solver/engine.h"

#include "field_fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <algorithm>

#include <iterator>
#include <limits>
#include <vector>

namespace {

class Coloring : public ::testing::Test {
  protected:
    void SetUp() override {
        prepare_start_state();
    }
    simulation_state_record& s = simulation_state;
};

TEST_F(Coloring, RedForPositiveBlueForNegativeSaturatingAtPointTwo) {
    const double inf = std::numeric_limits<double>::infinity();
    struct row {
        double p;
        uint32_t color;
    };
    const row table[] = {
        {0.0, 0xFFFFFF},      {-0.0, 0xFFFFFF},      {0.0005, 0xFFFFFF},  {0.001, 0xFFFEFE},
        {0.05, 0xFFC0C0},     {0.1, 0xFF8080},       {0.15, 0xFF4040},    {0.2, 0xFF0000},
        {1.0e9, 0xFF0000},    {inf, 0xFF0000},       {1.0e300, 0xFF0000}, {-0.001, 0xFEFEFF},
        {-0.1, 0x8080FF},     {-0.2, 0x0000FF},      {-1.0e9, 0x0000FF},  {-inf, 0x0000FF},
        {4.9e-324, 0xFFFFFF}, {-4.9e-324, 0xFFFFFF}, {0.19999, 0xFF0101},
    };
    for (const row& r : table) {
        EXPECT_EQ(pressure_color(r.p, 0x123456), r.color) << r.p;
    }
    EXPECT_EQ(pressure_color(std::numeric_limits<double>::quiet_NaN(), 0x123456), 0x123456u);
    EXPECT_EQ(pressure_color(-std::numeric_limits<double>::quiet_NaN(), 0xABCDEF), 0xABCDEFu);
}

TEST_F(Coloring, WallsAreBlackAndNaNKeepsTheOldColour) {
    s.pressure[300][300] = 0.1;
    s.medium_mask[300][300] = 0;
    s.pressure[301][300] = std::numeric_limits<double>::quiet_NaN();
    s.cell_color[301][300] = 0x00FF00;
    s.pressure[302][300] = std::numeric_limits<double>::quiet_NaN(); // never coloured: black
    s.pressure[303][300] = -0.1;
    color_field();
    EXPECT_EQ(s.cell_color[300][300], 0);
    EXPECT_EQ(s.cell_color[301][300], 0x00FF00);
    EXPECT_EQ(s.cell_color[302][300], 0);
    EXPECT_EQ(s.cell_color[303][300], 0x8080FF);
    EXPECT_EQ(s.cell_color[304][300], 0xFFFFFF);
}

TEST_F(Coloring, ColoursColumns128To895AndRows146To722) {
    color_field();
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            const bool inside = x >= 128 && x <= 895 && y >= 146 && y <= 722;
            ASSERT_EQ(s.cell_color[x][y], inside ? 0xFFFFFF : 0) << x << "," << y;
        }
    }
}

TEST_F(Coloring, MaskValuesOtherThanZeroOrOneLeaveTheColour) {
    s.medium_mask[400][400] = 2;
    s.cell_color[400][400] = 0x010203;
    color_field();
    EXPECT_EQ(s.cell_color[400][400], 0x010203);
}

TEST_F(Coloring, FrameCopyFlipsTheRows) {
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            s.cell_color[x][y] = x * 1000 + y;
        }
    }
    std::vector<uint32_t> frame(frame_pixel_count, 0xDEADBEEF);
    copy_frame(frame.data());
    for (int r = 0; r < frame_height; ++r) {
        for (int c = 0; c < frame_width; ++c) {
            ASSERT_EQ(frame[std::size_t(r) * frame_width + c],
                      uint32_t((c + 128) * 1000 + (721 - r)))
                << r << "," << c;
        }
    }
    copy_frame(nullptr); // no frame, no copy
}

} // namespace

namespace {

// Every colouring and copy path against the straightforward loops, on a field full of the
// awkward values.
TEST(ColoringPaths, EveryPathMatchesTheStraightforwardLoops) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double specials[] = {0.0, -0.0, 0.0005,   0.001,     -0.001, 0.1,           -0.1,
                               0.2, -0.2, 0.19999,  1e9,       -1e9,   inf,           -inf,
                               nan, -nan, 4.9e-324, -4.9e-324, 1e300,  255.0 / 1275.0};
    prepare_start_state();
    auto& s = simulation_state;
    uint32_t r = 1;
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            r = r * 1664525u + 1013904223u;
            s.pressure[x][y] = (r >> 28) < 6 ? specials[(r >> 8) % std::size(specials)]
                                             : (static_cast<int>(r >> 12) % 4001 - 2000) * 1e-4;
            s.medium_mask[x][y] = (r >> 4) % 7 == 0 ? 0 : ((r >> 4) % 31 == 0 ? 3 : 1);
            s.cell_color[x][y] = static_cast<int32_t>(r & 0xFFFFFF);
        }
    }
    const auto start = snapshot_state();
    std::vector<uint32_t> expected_frame(frame_pixel_count, 1);
    use_engine(engine::reference);
    color_field();
    copy_frame(expected_frame.data());
    const auto expected = snapshot_state();

    for (const engine kernels : every_engine) {
        if (kernels == engine::reference || !use_engine(kernels)) {
            continue;
        }
        restore_state(*start);
        std::vector<uint32_t> frame(frame_pixel_count, 2);
        color_field();
        copy_frame(frame.data());
        EXPECT_EQ(compare_fields(*expected, s), "") << engine_name(kernels);
        EXPECT_TRUE(frame == expected_frame) << engine_name(kernels);
    }
    use_engine(engine::shipped);
}

// A heap hands out buffers aligned to 16 bytes or more, not to the 32 of a vector store: the
// copy writes every pixel and nothing outside the frame, wherever the buffer starts.
TEST(ColoringPaths, FrameCopyAtEveryAlignmentOfTheBuffer) {
    prepare_start_state();
    auto& s = simulation_state;
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            s.cell_color[x][y] = x * 1000 + y;
        }
    }
    std::vector<uint32_t> expected(frame_pixel_count);
    use_engine(engine::reference);
    copy_frame(expected.data());
    for (const engine kernels : every_engine) {
        if (kernels == engine::reference || !use_engine(kernels)) {
            continue;
        }
        constexpr int guard = 16; // pixels on either side that must stay as they are
        std::vector<uint32_t> storage(frame_pixel_count + 2 * guard + 16, 7);
        for (int lead = 0; lead < 8; ++lead) { // 0 to 28 bytes past a 32-byte boundary
            std::fill(storage.begin(), storage.end(), 7u);
            const auto address = reinterpret_cast<std::uintptr_t>(storage.data() + guard);
            uint32_t* frame = storage.data() + guard + ((8 - (address / 4) % 8) % 8) + lead;
            copy_frame(frame);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), frame))
                << engine_name(kernels) << ", " << 4 * lead << " bytes past a boundary";
            EXPECT_TRUE(std::all_of(storage.data(), frame, [](uint32_t v) { return v == 7; }));
            EXPECT_TRUE(std::all_of(frame + frame_pixel_count, storage.data() + storage.size(),
                                    [](uint32_t v) { return v == 7; }));
        }
    }
    use_engine(engine::shipped);
}

} // namespace
