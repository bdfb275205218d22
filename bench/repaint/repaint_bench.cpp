// One running repaint through the real window procedure on the headless backend, beside its
// parts, so the cost of everything but the steps and the colouring (panel text, tool stage,
// frame transfer, presentation) can be read off one run.
#include "app/program.h"
#include "app/stages/frame_blit.h"
#include "app/stages/status_panel.h"
#include "display/coloring.h"
#include "platform/headless/headless.h"
#include "platform/posix/large_pages.h"
#include "platform/win32.h"
#include "solver/fdtd.h"
#include "state/simulation_state.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;
namespace hl = vorla::headless;

const double pi = 4.0 * std::atan(1.0);

// A window with a pulse well into its spread and a wall across the field.
HWND running_window() {
    static HWND window = [] {
        hl::install();
        const fs::path folder = fs::temp_directory_path() / "vorla-repaint-bench";
        fs::create_directories(folder);
        fs::current_path(folder);
        HWND w = nullptr;
        if (start_program(GetModuleHandleW(nullptr), &w) != 0) {
            std::abort();
        }
        const auto at = [](int x, int y) { return static_cast<LPARAM>(y << 16 | x); };
        SendMessageW(w, WM_KEYUP, 'L', 0);
        SendMessageW(w, WM_LBUTTONDOWN, 0, at(300, 250));
        SendMessageW(w, WM_LBUTTONUP, 0, at(700, 500));
        hl::deliver_pending_paint(w);
        SendMessageW(w, WM_RBUTTONDOWN, 0, at(500, 400));
        SendMessageW(w, WM_RBUTTONUP, 0, at(500, 400));
        for (int i = 0; i < 30; ++i) {
            hl::deliver_pending_paint(w);
            InvalidateRect(w, nullptr, FALSE);
        }
        return w;
    }();
    return window;
}

void BM_running_repaint(benchmark::State& state) {
    HWND w = running_window();
    for (auto _ : state) {
        InvalidateRect(w, nullptr, FALSE);
        hl::deliver_pending_paint(w);
    }
}
BENCHMARK(BM_running_repaint)->Unit(benchmark::kMillisecond);

void BM_repaint_part_steps(benchmark::State& state) {
    running_window();
    for (auto _ : state) {
        advance_field(pi, nullptr);
    }
}
BENCHMARK(BM_repaint_part_steps)->Unit(benchmark::kMillisecond);

void BM_repaint_part_coloring(benchmark::State& state) {
    running_window();
    for (auto _ : state) {
        color_field();
    }
}
BENCHMARK(BM_repaint_part_coloring)->Unit(benchmark::kMillisecond);

void BM_repaint_part_frame_transfer(benchmark::State& state) {
    HWND w = running_window();
    HDC dc = GetDC(w);
    for (auto _ : state) {
        blit_frame(dc);
    }
    ReleaseDC(w, dc);
}
BENCHMARK(BM_repaint_part_frame_transfer)->Unit(benchmark::kMillisecond);

void BM_repaint_part_panel_text(benchmark::State& state) {
    HWND w = running_window();
    HDC dc = GetDC(w);
    for (auto _ : state) {
        draw_status_panel(dc);
    }
    ReleaseDC(w, dc);
}
BENCHMARK(BM_repaint_part_panel_text)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    vorla::platform::prefer_large_pages_for_static_data(); // as the program does
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
