// One running repaint of the browser program, in the page (bench.html): the same scene as
// the native vorla_repaint_bench (a line wall, a pulse well into its spread), timed with the
// page's clock over many repaints, each presented to the canvas. Parts beside it.
#include "app/program.h"
#include "display/coloring.h"
#include "platform/web/web_backend.h"
#include "platform/win32.h"
#include "solver/engine.h"
#include "solver/fdtd.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

EM_JS(void, vorla_js_bench_result, (const char* json),
      { vorlaPage.benchResult(UTF8ToString(json)); });

namespace {

const double pi = 4.0 * std::atan(1.0);

struct timing {
    double median = 0, mean = 0, best = 0;
};

template <class F> timing time_runs(int runs, F&& run) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const double start = emscripten_get_now();
        run();
        ms.push_back(emscripten_get_now() - start);
    }
    timing t;
    for (double m : ms) {
        t.mean += m / runs;
    }
    std::sort(ms.begin(), ms.end());
    t.median = ms[ms.size() / 2];
    t.best = ms.front();
    return t;
}

std::string json_of(const char* name, const timing& t) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "\"%s\":{\"median_ms\":%.3f,\"mean_ms\":%.3f,\"best_ms\":%.3f}", name, t.median,
                  t.mean, t.best);
    return text;
}

} // namespace

int main() {
    vorla::platform::web_session session;
    HWND w = nullptr;
    if (start_program(GetModuleHandleW(nullptr), &w) != 0) {
        return 1;
    }
    const auto at = [](int x, int y) { return static_cast<LPARAM>(y << 16 | x); };
    SendMessageW(w, WM_KEYUP, 'L', 0);
    SendMessageW(w, WM_LBUTTONDOWN, 0, at(300, 250));
    SendMessageW(w, WM_LBUTTONUP, 0, at(700, 500));
    UpdateWindow(w);
    SendMessageW(w, WM_RBUTTONDOWN, 0, at(500, 400));
    SendMessageW(w, WM_RBUTTONUP, 0, at(500, 400));
    const auto repaint = [w] {
        InvalidateRect(w, nullptr, FALSE);
        UpdateWindow(w);
    };
    for (int i = 0; i < 30; ++i) {
        repaint();
    }
    constexpr int runs = 200;
    const timing whole = time_runs(runs, repaint);
    const timing steps = time_runs(runs, [] { advance_field(pi, nullptr); });
    const timing coloring = time_runs(runs, [] { color_field(); });
    const std::string json = std::string("{\"kernel\":\"") + engine_name(active_engine()) +
                             "\",\"runs\":" + std::to_string(runs) + "," +
                             json_of("running_repaint", whole) + "," + json_of("steps", steps) +
                             "," + json_of("coloring", coloring) + "}";
    vorla_js_bench_result(json.c_str());
    DestroyWindow(w);
    return 0;
}
