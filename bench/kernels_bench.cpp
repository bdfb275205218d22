// Run with --benchmark_repetitions=N --benchmark_report_aggregates_only=true for medians.
// advance_field/ENGINE runs eight steps per iteration (items_per_second counts steps) on a
// field the waves fill; advance_field_spreading runs the same first frames of a spreading
// pulse on the reference and the shipped engine. Each engine is chosen as everywhere else,
// with use_engine.
#include "display/coloring.h"
#include "platform/posix/large_pages.h"
#include "solver/engine.h"
#include "solver/fdtd.h"
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
            advance_field(pi, nullptr);
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
            advance_field(pi, nullptr);
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

// Frames of one field on one engine; items_per_second counts time steps.
void run_frames(benchmark::State& state, const simulation_state_record& field, engine kernels) {
    load_field(field);
    use_engine(kernels);
    for (auto _ : state) {
        advance_field(pi, nullptr);
        benchmark::ClobberMemory();
    }
    use_engine(engine::shipped);
    state.SetItemsProcessed(state.iterations() * 8);
}

void color_and_copy(benchmark::State& state, engine kernels) {
    load_running_field();
    use_engine(kernels);
    std::vector<uint32_t> frame(frame_pixel_count);
    for (auto _ : state) {
        color_field();
        copy_frame(frame.data());
        benchmark::ClobberMemory();
    }
    use_engine(engine::shipped);
}

} // namespace

int main(int argc, char** argv) {
    vorla::platform::prefer_large_pages_for_static_data(); // as the program does
    std::vector<engine> engines;
    for (const engine kernels : every_engine) {
        if (engine_supported(kernels)) {
            engines.push_back(kernels);
        }
    }
    engines.push_back(engine::shipped);
    for (const engine kernels : engines) {
        const std::string name = std::string("advance_field/") + engine_name(kernels);
        benchmark::RegisterBenchmark(name.c_str(), [kernels](benchmark::State& state) {
            run_frames(state, running_field(), kernels);
        })->Unit(benchmark::kMillisecond);
    }
    // The same frames for both: the first ones of a spreading pulse.
    for (const engine kernels : {engine::reference, engine::shipped}) {
        const std::string name = std::string("advance_field_spreading/") + engine_name(kernels);
        benchmark::RegisterBenchmark(
            name.c_str(),
            [kernels](benchmark::State& state) { run_frames(state, spreading_field(), kernels); })
            ->Iterations(spreading_frames)
            ->Unit(benchmark::kMillisecond);
    }
    for (const engine kernels : engines) {
        const std::string name = std::string("color_and_copy/") + engine_name(kernels);
        benchmark::RegisterBenchmark(name.c_str(), [kernels](benchmark::State& state) {
            color_and_copy(state, kernels);
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
