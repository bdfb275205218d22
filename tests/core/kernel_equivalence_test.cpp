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

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

run_result run_session(void (*script)(session&), engine kernels, int data_cache_bytes = 0) {
    prepare_start_state();
    use_engine(kernels, {}, data_cache_bytes);
    session run(kernels == engine::reference);
    script(run);
    use_engine(engine::shipped);
    return run.finish();
}

// VORLA_SHORT_EQUIVALENCE=1 (the suite under an emulator): the long sessions check the
// shipped engine alone; the portable one, the same wavefront a cell at a time, keeps the
// short sessions.
bool short_equivalence() {
    const char* v = std::getenv("VORLA_SHORT_EQUIVALENCE");
    return v != nullptr && std::strcmp(v, "1") == 0;
}

// Every engine this processor runs, in turn, against one reference run.
void expect_same(void (*script)(session&), bool long_session = false) {
    const run_result expected = run_session(script, engine::reference);
    for (const engine kernels : every_engine) {
        if (kernels == engine::reference || !engine_supported(kernels) ||
            (long_session && short_equivalence() && kernels != shipped_engine())) {
            continue;
        }
        const run_result actual = run_session(script, kernels);
        EXPECT_EQ(compare_fields(*expected.state, *actual.state), "") << engine_name(kernels);
        ASSERT_EQ(expected.frames.size(), actual.frames.size());
        EXPECT_TRUE(expected.frames == actual.frames) << engine_name(kernels);
    }
}

TEST(KernelEquivalence, WallsPulsesAndTravellingSines) {
    expect_same(walls_pulses_and_sines, true);
}

TEST(KernelEquivalence, OverflowNaNSubnormalsAndNegativeZeros) {
    expect_same(overflow_nan_subnormal, true);
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
#if !defined(__wasm__)
    // (NaN - vx[x-1]) + (-NaN - vy[y-1]): the first operand's sign survives. wasm promises
    // no particular NaN, so there the value only has to stay NaN.
    EXPECT_FALSE(std::signbit(simulation_state.pressure[130][150]));
#endif
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
[[maybe_unused]] constexpr uint64_t quiet_payload = 0x7FF8000000000ABCull;

double double_of_bits(uint64_t bits) {
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void signalling_nans(session& run) {
    auto& s = simulation_state;
    const double plus = double_of_bits(0x7FF0000000000ABCull);
    const double minus = double_of_bits(0xFFF0000000001234ull);
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
#if defined(__wasm__)
            // wasm may quiet a signalling NaN into any NaN: the value has to stay NaN.
            saw_payload = saw_payload || std::isnan(simulation_state.pressure[x][y]);
#else
            saw_payload = saw_payload || bits_of(simulation_state.pressure[x][y]) == quiet_payload;
#endif
        }
    }
    EXPECT_TRUE(saw_payload);
}

// The face term is d (0.5 f) for (0.5 d) f where f is 0 or 1, and 0.5 d in runs of open
// faces. Each kind of difference d meets each kind of face: in an open run, with f = 1 in a
// row group that holds a wall, and with f = 0 on all four sides (walls around the cell):
// infinities (infinity x 0 is the default NaN), zeros of both signs, subnormals whose half
// rounds, the smallest normal, the largest finite value and NaNs of both signs with payloads.
void face_terms_of_every_kind(session& run) {
    auto& s = simulation_state;
    const double values[] = {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             -0.0,
                             std::numeric_limits<double>::denorm_min(),
                             -3 * std::numeric_limits<double>::denorm_min(),
                             std::nextafter(std::numeric_limits<double>::min(), 0.0),
                             -1.5 * std::numeric_limits<double>::min(),
                             std::numeric_limits<double>::max(),
                             double_of_bits(0x7FF8000000000ABCull),
                             double_of_bits(0xFFF800000000D00Dull),
                             double_of_bits(0x7FF0000000000001ull)};
    int x = 140;
    for (const double v : values) {
        s.pressure[x][300] = v; // open run
        s.pressure[x][400] = v; // f = 1 beside a wall of its row group
        s.medium_mask[x][405] = 0;
        s.pressure[x][500] = v; // f = 0 on all four faces
        s.medium_mask[x - 1][500] = 0;
        s.medium_mask[x + 1][500] = 0;
        s.medium_mask[x][499] = 0;
        s.medium_mask[x][501] = 0;
        x += 6;
    }
    run.steps(1);
    run.frames_and_paint(1);
}

TEST(KernelEquivalence, FaceTermsOfEveryKindOfDifference) {
    expect_same(face_terms_of_every_kind);
    // Behind the walls infinity x 0 made a NaN, and the wall keeps it on the face.
    EXPECT_TRUE(std::isnan(simulation_state.velocity_x[140][500]));
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
    expect_same(corner_mask_changes, true);
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
    expect_same(walls_at_group_edges, true);
}

struct watched_steps {
    std::vector<int32_t> time_steps;
    std::vector<uint64_t> pressure_bits; // every watched cell after every step
    int cells = 0;
};

void record_watched(void* context, int32_t time_step, const double* pressures) {
    auto& w = *static_cast<watched_steps*>(context);
    w.time_steps.push_back(time_step);
    for (int i = 0; i < w.cells; ++i) {
        w.pressure_bits.push_back(bits_of(pressures[i]));
    }
}

// Watched cells as the engine reports them, frame after frame: whole columns at the region's
// edges and inside (so every band boundary is crossed), the sine's cell inside the region and
// then in the panel, cells outside the region and outside the grid.
watched_steps watch_session(engine kernels) {
    std::vector<point> cells;
    for (const int x : {128, 511, 896}) {
        for (int y = 146; y <= 722; ++y) {
            cells.push_back({x, y});
        }
    }
    for (const point c : {point{300, 300}, point{50, 50}, point{897, 300}, point{127, 146},
                          point{300, 723}, point{1024, 5}}) {
        cells.push_back(c);
    }
    watched_steps w;
    w.cells = static_cast<int>(cells.size());
    prepare_start_state();
    use_engine(kernels, step_watch{cells.data(), w.cells, record_watched, &w});
    draw_wall_box(400, 300, 600, 500);
    add_gaussian_pulse({511, 400});
    sine_at({300, 300}, '1');
    for (int i = 0; i < 3; ++i) {
        advance_field(test_pi(), nullptr);
    }
    sine_at({50, 50}, '2');
    for (int i = 0; i < 2; ++i) {
        advance_field(test_pi(), nullptr);
    }
    use_engine(engine::shipped);
    return w;
}

TEST(KernelEquivalence, WatchedCellsSeeEveryStepAsTheStepsLeaveThem) {
    const watched_steps expected = watch_session(engine::reference);
    ASSERT_EQ(expected.time_steps.size(), 40u);
    for (const engine kernels : every_engine) {
        if (kernels == engine::reference || !engine_supported(kernels)) {
            continue;
        }
        const watched_steps actual = watch_session(kernels);
        EXPECT_EQ(actual.time_steps, expected.time_steps) << engine_name(kernels);
        ASSERT_EQ(actual.pressure_bits.size(), expected.pressure_bits.size());
        for (std::size_t i = 0; i < expected.pressure_bits.size(); ++i) {
            if (actual.pressure_bits[i] != expected.pressure_bits[i]) {
                ADD_FAILURE() << engine_name(kernels) << ": step " << i / expected.cells + 1
                              << ", watched cell " << i % expected.cells;
                break;
            }
        }
    }
}

bool operator==(const tile_shape& a, const tile_shape& b) {
    return a.band_rows == b.band_rows && a.step_skew == b.step_skew &&
           a.column_skew == b.column_skew;
}

TEST(Engines, TileShapeFollowsTheFirstLevelCache) {
    EXPECT_TRUE((tile_shape_for(32 * 1024) == tile_shape{128, 8, 8}));
    EXPECT_TRUE((tile_shape_for(48 * 1024) == tile_shape{192, 8, 8}));
    EXPECT_TRUE((tile_shape_for(16 * 1024) == tile_shape{64, 8, 8}));
    EXPECT_TRUE((tile_shape_for(1 << 20) == tile_shape{256, 8, 8}));
    EXPECT_TRUE((tile_shape_for(0) == tile_shape_for(32 * 1024))); // nothing known
    ASSERT_TRUE(use_engine(engine::shipped, {}, 48 * 1024));
    EXPECT_EQ(active_tile_shape().band_rows, 192);
    ASSERT_TRUE(use_engine(engine::shipped));
    EXPECT_TRUE((active_tile_shape() == tile_shape_for(detected_data_cache_bytes())));
    std::printf("[          ] first-level data cache: %d bytes, bands of %d rows\n",
                detected_data_cache_bytes(), active_tile_shape().band_rows);
}

// Each band height the cache sizes lead to, through the sessions where bands, walls and
// mask changes meet (the mask is compared band by band).
TEST(KernelEquivalence, EveryTileShapeGivesTheSameBits) {
    for (void (*script)(session&) : {walls_at_group_edges, corner_mask_changes}) {
        const run_result expected = run_session(script, engine::reference);
        for (const int cache : {16 * 1024, 32 * 1024, 48 * 1024, 64 * 1024}) {
            if (short_equivalence() && cache == 32 * 1024) {
                continue; // the 128 rows that the other sessions here run with
            }
            const run_result actual = run_session(script, engine::shipped, cache);
            EXPECT_EQ(compare_fields(*expected.state, *actual.state), "") << cache << " bytes";
            EXPECT_TRUE(expected.frames == actual.frames) << cache << " bytes";
        }
    }
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
