// Every engine's solver and colouring against the reference engine, bit for bit, over long
// runs that walk through the awkward cases: walls that change between frames, sources in
// corners, in the panel, in walls and off the grid, overflow to infinity and NaN behind
// walls, subnormals and negative zeros.
#include "display/coloring.h"
#include "solver/engine.h"
#include "solver/fdtd.h"
#include "solver/sources.h"

#include "field_fixtures.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

struct run_result {
    std::unique_ptr<simulation_state_record> state;
    std::vector<uint32_t> frames; // every copied frame, one after another
};

// The pulse as plainly as it can be written, against add_gaussian_pulse.
void plain_gaussian_pulse(point center) {
    auto& s = simulation_state;
    for (int x = 128; x <= 896; ++x) {
        for (int y = 146; y <= 722; ++y) {
            const double dx = static_cast<double>(
                static_cast<int32_t>(static_cast<uint32_t>(center.x) - static_cast<uint32_t>(x)));
            const double dy = static_cast<double>(
                static_cast<int32_t>(static_cast<uint32_t>(center.y) - static_cast<uint32_t>(y)));
            const double d2 = dx * dx + dy * dy;
            const double g = std::exp(-d2 / 50.0);
            s.pressure[x][y] = s.pressure[x][y] + g * static_cast<double>(s.medium_mask[x][y]);
        }
    }
}

// Runs one of the scripted sessions on the engine in use; the reference run also takes the
// plain pulse.
class session {
  public:
    explicit session(bool reference) : reference_(reference) {}

    void frame() {
        advance_field(test_pi(), nullptr);
    }
    void steps(int n) {
        for (int i = 0; i < n; ++i) {
            fdtd_step(test_pi());
        }
    }
    void pulse(point c) {
        if (reference_) {
            plain_gaussian_pulse(c);
        } else {
            add_gaussian_pulse(c);
        }
    }
    void paint() {
        std::vector<uint32_t> frame(frame_pixel_count, 0xDEADBEEF);
        color_field();
        copy_frame(frame.data());
        result.frames.insert(result.frames.end(), frame.begin(), frame.end());
    }
    void frames_and_paint(int n) {
        for (int i = 0; i < n; ++i) {
            frame();
            if (i % 4 == 0) {
                paint();
            }
        }
    }
    run_result finish() {
        result.state = snapshot_state();
        return std::move(result);
    }

  private:
    bool reference_;
    run_result result;
};

void sine_at(point p, char key) {
    simulation_state.source_type = 'F';
    simulation_state.frequency_key = key;
    simulation_state.source_pos = p;
}

// Walls, pulses and a travelling sine source that visits every awkward place.
void walls_pulses_and_sines(session& run) {
    auto& s = simulation_state;
    draw_wall_box(300, 250, 600, 500);
    scatter_walls(12345, 3000);
    run.pulse({450, 375});
    run.pulse({140, 700});
    sine_at({700, 300}, '1');
    run.frames_and_paint(10);
    run.steps(3); // from here on, frames do not start on a multiple of 8
    const point places[] = {{128, 146}, {896, 146},  {128, 722},     {896, 722},
                            {895, 721}, {50, 50},    {500, 251},     {127, 400},
                            {500, 723}, {1023, 767}, {65535, 65535}, {1024, 0}};
    char key = '2';
    for (const point p : places) {
        sine_at(p, key);
        key = key == '3' ? '1' : char(key + 1);
        run.frames_and_paint(3);
        run.steps(1);
    }
    // Walls change between frames, and a new wall keeps the velocities on its faces.
    for (int x = 350; x < 550; ++x) {
        s.medium_mask[x][320] = 0;
        s.medium_mask[x + 1][400] = 0;
    }
    scatter_walls(999, 500);
    run.frames_and_paint(6);
    for (int x = 300; x <= 600; ++x) {
        for (int y = 250; y <= 500; ++y) {
            s.medium_mask[x][y] = 1;
        }
    }
    s.source_type = 'T';
    run.pulse({896, 722});
    run.frames_and_paint(10);
    run.steps(5);
}

// Values that overflow to infinity, turn into NaN against the walls and spread, with both
// signs of NaN about (the edge rules negate), beside subnormals and negative zeros.
void overflow_nan_subnormal(session& run) {
    auto& s = simulation_state;
    draw_wall_box(200, 200, 400, 400);
    scatter_walls(777, 4000);
    for (int y = 300; y < 320; ++y) {
        s.pressure[250][y] = 1.0e308;
        s.pressure[251][y] = -1.0e308;
        s.velocity_x[201][y] = std::numeric_limits<double>::infinity();
        s.pressure[130][y] = std::numeric_limits<double>::quiet_NaN();
    }
    for (int x = 600; x < 700; ++x) {
        for (int y = 500; y < 600; ++y) {
            s.pressure[x][y] = (x + y) % 2 == 0 ? 4.9e-324 * (x - 600) : -2.2e-308 * 0.001 * y;
            s.velocity_x[x][y] = (x % 3 == 0) ? -0.0 : 1e-320;
            s.velocity_y[x][y] = (y % 3 == 0) ? -0.0 : -1e-315;
        }
    }
    s.pressure[890][146] = std::numeric_limits<double>::infinity();
    s.pressure[128][722] = -std::numeric_limits<double>::infinity();
    sine_at({250, 305}, '3');
    run.frames_and_paint(12);
    run.steps(7);
    run.frames_and_paint(8);
}

// Starting near the largest time_step: the count and the sine phase wrap mid-frame.
void time_step_wrap(session& run) {
    simulation_state.time_step = std::numeric_limits<int32_t>::max() - 12;
    sine_at({400, 400}, '1');
    run.pulse({420, 380});
    run.frames_and_paint(4);
    run.steps(2);
}

run_result run_session(void (*script)(session&), engine kernels) {
    prepare_start_state();
    use_engine(kernels);
    session run(kernels == engine::reference);
    script(run);
    use_engine(engine::shipped);
    return run.finish();
}

// Every engine this processor runs, in turn, against one reference run.
void expect_same(void (*script)(session&)) {
    const run_result expected = run_session(script, engine::reference);
    for (const engine kernels : every_engine) {
        if (kernels == engine::reference || !engine_supported(kernels)) {
            continue;
        }
        const run_result actual = run_session(script, kernels);
        EXPECT_EQ(compare_fields(*expected.state, *actual.state), "") << engine_name(kernels);
        ASSERT_EQ(expected.frames.size(), actual.frames.size());
        EXPECT_TRUE(expected.frames == actual.frames) << engine_name(kernels);
    }
}

TEST(KernelEquivalence, WallsPulsesAndTravellingSines) {
    expect_same(walls_pulses_and_sines);
}

TEST(KernelEquivalence, OverflowNaNSubnormalsAndNegativeZeros) {
    expect_same(overflow_nan_subnormal);
    // The script did reach the values it means to test.
    bool saw_nan = false;
    bool saw_inf = false;
    for (int x = 128; x <= 896 && !(saw_nan && saw_inf); ++x) {
        for (int y = 146; y <= 722; ++y) {
            saw_nan = saw_nan || std::isnan(simulation_state.velocity_x[x][y]);
            saw_inf = saw_inf || std::isinf(simulation_state.pressure[x][y]);
        }
    }
    EXPECT_TRUE(saw_nan);
    EXPECT_TRUE(saw_inf);
}

// With NaN on both sides of an addition the processor keeps the first operand's, so the
// sign of the NaN shows whether the x difference still comes first.
void nan_of_both_signs(session& run) {
    auto& s = simulation_state;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int x = 130; x <= 890; x += 37) {
        for (int y = 150; y <= 720; y += 11) {
            s.velocity_x[x][y] = nan;
            s.velocity_y[x][y] = -nan;
            s.medium_mask[x][y] = 0; // keeps both faces as they are
            s.medium_mask[x + 1][y] = 0;
            s.medium_mask[x][y + 1] = 0;
        }
    }
    run.steps(1);
    run.frames_and_paint(2);
}

TEST(KernelEquivalence, NaNOperandOrderMatches) {
    expect_same(nan_of_both_signs);
    EXPECT_TRUE(std::isnan(simulation_state.pressure[130][150]));
    // (NaN - vx[x-1]) + (-NaN - vy[y-1]): the first operand's sign survives.
    EXPECT_FALSE(std::signbit(simulation_state.pressure[130][150]));
}

// Mask values other than 0 and 1 never come from the program, but the products must still be
// the integer products: 2 x 1 is a factor of 2.0, and the bit-mask kernel must step aside.
void unusual_mask_values(session& run) {
    auto& s = simulation_state;
    run.pulse({400, 400});
    run.frames_and_paint(2);
    s.medium_mask[401][400] = 2;
    s.medium_mask[400][420] = -3;
    s.medium_mask[600][600] = 65536; // squares to 2^32, which wraps to 0 as a 32-bit product
    s.medium_mask[601][600] = 65536;
    run.frames_and_paint(3);
    s.medium_mask[401][400] = 1;
    s.medium_mask[400][420] = 1;
    s.medium_mask[600][600] = 1;
    s.medium_mask[601][600] = 1;
    run.frames_and_paint(2);
}

TEST(KernelEquivalence, UnusualMaskValues) {
    expect_same(unusual_mask_values);
}

// Signalling NaNs of both signs with payloads, in pressures and on faces beside walls: each
// path must quiet them and carry the payloads exactly as the straightforward loops do, also
// where a face's mask product is 0.
constexpr uint64_t quiet_payload = 0x7FF8000000000ABCull;

void signalling_nans(session& run) {
    auto& s = simulation_state;
    const double plus = std::bit_cast<double>(0x7FF0000000000ABCull);
    const double minus = std::bit_cast<double>(0xFFF0000000001234ull);
    for (int x = 129; x <= 895; x += 53) {
        for (int y = 147; y <= 721; y += 17) {
            s.pressure[x][y] = (x + y) % 2 == 0 ? plus : minus;
            s.velocity_x[x + 1][y] = minus;
            s.velocity_y[x][y + 2] = plus;
            if ((x / 53) % 2 == 0) {
                s.medium_mask[x][y] = 0;
                s.medium_mask[x + 1][y + 2] = 0;
            }
        }
    }
    s.pressure[896][722] = plus;
    s.pressure[128][146] = minus;
    run.steps(1);
    run.frames_and_paint(2);
}

TEST(KernelEquivalence, SignallingNaNsAndPayloads) {
    expect_same(signalling_nans);
    bool saw_payload = false;
    for (int x = 128; x <= 896 && !saw_payload; ++x) {
        for (int y = 146; y <= 722; ++y) {
            saw_payload = saw_payload ||
                          std::bit_cast<uint64_t>(simulation_state.pressure[x][y]) == quiet_payload;
        }
    }
    EXPECT_TRUE(saw_payload);
}

// Single mask cells changed between frames at the region's corners and rows next to its
// edges, where the saved mask is compared in partial groups of rows, and outside the region,
// where changes must not matter.
void corner_mask_changes(session& run) {
    auto& s = simulation_state;
    run.pulse({140, 160});
    run.pulse({880, 710});
    run.frames_and_paint(1);
    const point cells[] = {{128, 146}, {128, 147}, {896, 146}, {128, 722},
                           {896, 722}, {895, 720}, {500, 161}, {500, 162}};
    for (const point c : cells) {
        s.medium_mask[c.x][c.y] = 0;
        run.frames_and_paint(1);
    }
    s.medium_mask[300][145] = 7; // outside the region: read by no step
    s.medium_mask[300][723] = 0;
    s.medium_mask[897][400] = 0;
    run.frames_and_paint(1);
    s.medium_mask[896][722] = 1;
    s.medium_mask[128][147] = 3;
    run.frames_and_paint(2);
    s.medium_mask[128][147] = 1;
    run.frames_and_paint(1);
}

TEST(KernelEquivalence, MaskChangesAtTheRegionCorners) {
    expect_same(corner_mask_changes);
}

// Lone walls on the first and last row of eight-row groups, in the first, the second last and
// the last column: runs of open faces end exactly there, and a wall in the last column closes
// only its lower and upper faces, since that column has no right face to close.
void walls_at_group_edges(session& run) {
    auto& s = simulation_state;
    run.pulse({450, 375});
    run.pulse({880, 160});
    run.pulse({140, 700});
    run.frames_and_paint(2);
    const int columns[] = {128, 129, 500, 895, 896};
    const int rows[] = {151, 152, 159, 160, 375, 376, 719, 720, 721};
    for (const int x : columns) {
        for (const int y : rows) {
            s.medium_mask[x][y] = 0;
        }
        run.frames_and_paint(1);
    }
    run.steps(3);
    for (const int x : columns) {
        for (const int y : rows) {
            s.medium_mask[x][y] = 1;
        }
    }
    s.medium_mask[700][300] = 0; // a right neighbour's wall closes only the face between
    run.frames_and_paint(3);
}

TEST(KernelEquivalence, WallsAtTheEdgesOfRowGroups) {
    expect_same(walls_at_group_edges);
}

TEST(Engines, EverySupportedEngineCanBeChosenByNameAndShippedIsTheDefault) {
    EXPECT_EQ(active_engine(), shipped_engine());
    EXPECT_TRUE(engine_supported(engine::reference));
    EXPECT_TRUE(engine_supported(engine::portable));
    for (const engine kernels : every_engine) {
        const bool supported = engine_supported(kernels);
        EXPECT_EQ(use_engine(kernels), supported) << engine_name(kernels);
        EXPECT_EQ(active_engine() == kernels, supported) << engine_name(kernels);
        EXPECT_EQ(engine_named(engine_name(kernels)), kernels);
    }
    EXPECT_TRUE(use_engine(*engine_named("shipped")));
    EXPECT_EQ(active_engine(), shipped_engine());
    EXPECT_EQ(engine_named("fastest"), std::nullopt);
    std::printf("[          ] shipped engine on this processor: %s\n",
                engine_name(shipped_engine()));
}

TEST(KernelEquivalence, TimeStepWrapsMidFrame) {
    expect_same(time_step_wrap);
    EXPECT_LT(simulation_state.time_step, 0);
}

} // namespace
