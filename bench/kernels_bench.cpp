// Run with --benchmark_repetitions=N --benchmark_report_aggregates_only=true for medians.
// advance_field runs eight steps per iteration (items_per_second counts steps) on a field the
// waves fill; advance_field_spreading runs the same first frames of a spreading pulse for
// both implementations.
#include "display/coloring.h"
#include "reference/reference_kernel.h"
#include "solver/fdtd.h"
#include "solver/simd_path.h"
#include "solver/sources.h"
#include "state/simulation_state.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

const double pi = 4.0 * std::atan(1.0);

// Frames until the spreading field holds no subnormal value any more (about 38 here).
constexpr int spreading_frames = 48;

// A field just after a pulse: walls drawn, the pulse some way into its spread, a sine source
// on. Its fringe holds subnormal values for the next few dozen frames, which cost both
// implementations alike, so benchmarks on it run a fixed number of frames.
const simulation_state_record& spreading_field() {
    static const std::unique_ptr<simulation_state_record> field = [] {
        prepare_start_state();
        auto& s = simulation_state;
        for (int x = 300; x <= 600; ++x) {
            for (int y = 250; y <= 252; ++y) {
                s.medium_mask[x][y] = 0;
                s.medium_mask[x][y + 250] = 0;
            }
        }
        for (int y = 250; y <= 500; ++y) {
            if (y < 360 || y > 390) {
                s.medium_mask[300][y] = 0;
                s.medium_mask[301][y] = 0;
            }
        }
        for (int i = 0; i < 400; ++i) {
            const double a = i * 2.0 * pi / 400.0;
            const int x = 700 + static_cast<int>(80.0 * std::cos(a));
            const int y = 550 + static_cast<int>(50.0 * std::sin(a));
            s.medium_mask[x][y] = 0;
        }
        add_gaussian_pulse({450, 375});
        s.source_type = 'F';
        s.frequency_key = '2';
        s.source_pos = {200, 600};
        for (int i = 0; i < 40; ++i) {
            reference_advance_field(pi);
        }
        return std::make_unique<simulation_state_record>(simulation_state);
    }();
    return *field;
}

// The same field once the waves fill it: what a running simulation spends its time on.
const simulation_state_record& running_field() {
    static const std::unique_ptr<simulation_state_record> field = [] {
        std::memcpy(static_cast<void*>(&simulation_state), &spreading_field(),
                    sizeof simulation_state);
        for (int i = 0; i < spreading_frames * 2; ++i) {
            reference_advance_field(pi);
        }
        return std::make_unique<simulation_state_record>(simulation_state);
    }();
    return *field;
}

void load_field(const simulation_state_record& field) {
    std::memcpy(static_cast<void*>(&simulation_state), &field, sizeof simulation_state);
}

void load_running_field() {
    load_field(running_field());
}

// Frames of one field by one solver; items_per_second counts time steps.
void run_frames(benchmark::State& state, const simulation_state_record& field,
                void (*frame)(double)) {
    load_field(field);
    for (auto _ : state) {
        frame(pi);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 8);
}

void shipped_frame(double pi_value) {
    advance_field(pi_value, nullptr);
}

void BM_advance_field_straightforward(benchmark::State& state) {
    run_frames(state, running_field(), reference_advance_field);
}

void BM_advance_field_shipped(benchmark::State& state) {
    run_frames(state, running_field(), shipped_frame);
}

void BM_spreading_straightforward(benchmark::State& state) {
    run_frames(state, spreading_field(), reference_advance_field);
}

void BM_spreading_shipped(benchmark::State& state) {
    run_frames(state, spreading_field(), shipped_frame);
}

void BM_color_and_copy_straightforward(benchmark::State& state) {
    load_running_field();
    std::vector<uint32_t> frame(frame_pixel_count);
    for (auto _ : state) {
        reference_color_field();
        reference_copy_frame(frame.data());
        benchmark::ClobberMemory();
    }
}

void BM_color_and_copy_shipped(benchmark::State& state) {
    load_running_field();
    std::vector<uint32_t> frame(frame_pixel_count);
    for (auto _ : state) {
        color_field();
        copy_frame(frame.data());
        benchmark::ClobberMemory();
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::RegisterBenchmark("advance_field/straightforward", BM_advance_field_straightforward)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("advance_field/shipped", BM_advance_field_shipped)
        ->Unit(benchmark::kMillisecond);
    // The same frames for both: the first ones of a spreading pulse.
    benchmark::RegisterBenchmark("advance_field_spreading/straightforward",
                                 BM_spreading_straightforward)
        ->Iterations(spreading_frames)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("advance_field_spreading/shipped", BM_spreading_shipped)
        ->Iterations(spreading_frames)
        ->Unit(benchmark::kMillisecond);
    const simd_path best = best_simd_path();
    for (const simd_path path :
         {simd_path::portable, simd_path::sse2, simd_path::avx2, simd_path::avx512}) {
        if (!simd_path_supported(path)) {
            continue;
        }
        const std::string name = std::string("advance_field/") + simd_path_name(path);
        benchmark::RegisterBenchmark(name.c_str(), [path, best](benchmark::State& state) {
            force_simd_path(path);
            BM_advance_field_shipped(state);
            force_simd_path(best);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("color_and_copy/straightforward",
                                 BM_color_and_copy_straightforward)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("color_and_copy/shipped", BM_color_and_copy_shipped)
        ->Unit(benchmark::kMillisecond);
    for (const simd_path path :
         {simd_path::portable, simd_path::sse2, simd_path::avx2, simd_path::avx512}) {
        if (!simd_path_supported(path)) {
            continue;
        }
        const std::string name = std::string("color_and_copy/") + simd_path_name(path);
        benchmark::RegisterBenchmark(name.c_str(), [path, best](benchmark::State& state) {
            force_simd_path(path);
            BM_color_and_copy_shipped(state);
            force_simd_path(best);
        })->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
