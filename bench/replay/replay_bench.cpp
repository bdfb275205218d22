// Whole vorla-replay sessions, as the tool runs them: a pulse and 300 timer ticks (each a
// repaint of eight steps, the colouring, the frame transfer and the panel), with the
// shipped kernels and with the straightforward loops, beside what a session costs besides
// its ticks: starting up to the first repaint, and writing the outputs.
// Run with --benchmark_repetitions=N --benchmark_report_aggregates_only=true for medians.
#include "platform/headless/headless.h"
#include "platform/posix/large_pages.h"
#include "replay_output.h"
#include "replay_script.h"
#include "replay_session.h"
#include "state/simulation_state.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path out_dir = fs::temp_directory_path() / "vorla_replay_bench";

void run_session(benchmark::State& state, const std::string& text, engine kernels) {
    const replay_script script = parse_replay_script(text, "bench.vrs");
    replay_options options;
    options.out_dir = out_dir.string();
    options.kernels = kernels;
    for (auto _ : state) {
        run_replay(script, options);
    }
}

const std::string pulse = "rdown 450 400\nrup 450 400\ntick 300\n";
const std::string probes = "probe 300 300\nprobe 600 500\nprobe 450 200\nprobe 800 650\n";

// The five grids, state.json and client.png, from the state a session left.
void write_outputs(benchmark::State& state) {
    run_replay(parse_replay_script(pulse, "bench.vrs"), replay_options{out_dir.string(), {}});
    const auto& s = simulation_state;
    constexpr std::size_t cells = std::size_t{grid_width} * grid_height;
    const std::vector<uint32_t> image(std::size_t{1024} * 768, 0x00FF8040u);
    for (auto _ : state) {
        write_f64_grid((out_dir / "pressure.f64").string(), &s.pressure[0][0], cells);
        write_f64_grid((out_dir / "velocity_x.f64").string(), &s.velocity_x[0][0], cells);
        write_f64_grid((out_dir / "velocity_y.f64").string(), &s.velocity_y[0][0], cells);
        write_i32_grid((out_dir / "medium_mask.i32").string(), &s.medium_mask[0][0], cells);
        write_i32_grid((out_dir / "cell_color.i32").string(), &s.cell_color[0][0], cells);
        const std::string json = state_json(false, {});
        write_file((out_dir / "state.json").string(), json.data(), json.size());
        write_png((out_dir / "client.png").string(), image.data(), 1024, 768, 1024);
    }
}

} // namespace

int main(int argc, char** argv) {
    vorla::platform::prefer_large_pages_for_static_data(); // as vorla-replay does
    for (const engine kernels : {engine::shipped, engine::reference}) {
        benchmark::RegisterBenchmark(
            (std::string("replay_session/pulse_300_ticks/") + engine_name(kernels)).c_str(),
            [kernels](benchmark::State& state) { run_session(state, pulse, kernels); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1);
    }
    benchmark::RegisterBenchmark(
        "replay_session/pulse_300_ticks_4_probes/shipped",
        [](benchmark::State& state) { run_session(state, probes + pulse, engine::shipped); })
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
    // Start-up to the first repaint, and the outputs: a session of no events.
    benchmark::RegisterBenchmark("replay_session/no_events/shipped", [](benchmark::State& state) {
        run_session(state, "", engine::shipped);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("replay_outputs", write_outputs)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove_all(out_dir);
    return 0;
}
