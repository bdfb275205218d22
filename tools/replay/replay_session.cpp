#include "replay_session.h"

#include "app/program.h"
#include "platform/headless/headless.h"
#include "platform/win32.h"
#include "replay_output.h"
#include "solver/engine.h"
#include "state/simulation_state.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace hl = vorla::headless;

namespace {

struct probe {
    int x;
    int y;
    std::vector<probe_sample> samples;
};

// Keyed by cell so a repeated probe line records once; ordered for stable output.
using probe_map = std::map<std::pair<int, int>, probe>;

// The session's engine and the probes it shows every step to; the engine is chosen again,
// with one more cell to watch, whenever a probe joins.
class probe_recorder {
  public:
    explicit probe_recorder(engine kernels) : kernels_(kernels) {}

    void select() {
        const step_watch watch{cells_.data(), static_cast<int>(cells_.size()),
                               cells_.empty() ? nullptr : record, this};
        if (!use_engine(kernels_, watch)) {
            throw std::runtime_error(std::string("this processor cannot run the ") +
                                     engine_name(kernels_) + " engine");
        }
    }

    void add(int x, int y) {
        auto [it, fresh] = probes_.try_emplace({x, y}, probe{x, y, {}});
        if (fresh) {
            order_.push_back(&it->second);
            cells_.push_back(point{x, y});
            select();
        }
    }

    const probe_map& probes() const {
        return probes_;
    }

  private:
    static void record(void* context, int32_t time_step, const double* pressures) {
        auto& self = *static_cast<probe_recorder*>(context);
        for (std::size_t i = 0; i < self.order_.size(); ++i) {
            self.order_[i]->samples.push_back({time_step, pressures[i]});
        }
    }

    engine kernels_;
    probe_map probes_;
    std::vector<probe*> order_; // in the order of cells_
    std::vector<point> cells_;
};

LPARAM position_word(uint32_t x, uint32_t y) {
    return static_cast<LPARAM>((y & 0xFFFFu) << 16 | (x & 0xFFFFu));
}

std::vector<std::string> read_lines(const fs::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

// The grid files and state.json of the moment into dir; returns one "SHA256  name" line
// per grid file. The log is read from log_dir, where the program writes it.
std::vector<std::string> write_snapshot(const fs::path& dir, const fs::path& log_dir, bool closed) {
    fs::create_directories(dir);
    if (simulation_state.log_file != nullptr) {
        std::fflush(simulation_state.log_file);
    }
    const auto& st = simulation_state;
    constexpr std::size_t cells = std::size_t{grid_width} * grid_height;
    std::vector<std::string> lines;
    const auto grid_line = [&](const std::string& name, const std::string& hash) {
        lines.push_back(hash + "  " + name);
    };
    grid_line("pressure.f64",
              write_f64_grid((dir / "pressure.f64").string(), &st.pressure[0][0], cells));
    grid_line("velocity_x.f64",
              write_f64_grid((dir / "velocity_x.f64").string(), &st.velocity_x[0][0], cells));
    grid_line("velocity_y.f64",
              write_f64_grid((dir / "velocity_y.f64").string(), &st.velocity_y[0][0], cells));
    grid_line("medium_mask.i32",
              write_i32_grid((dir / "medium_mask.i32").string(), &st.medium_mask[0][0], cells));
    grid_line("cell_color.i32",
              write_i32_grid((dir / "cell_color.i32").string(), &st.cell_color[0][0], cells));
    const std::string json = state_json(closed, read_lines(log_dir / "test.txt"));
    write_file((dir / "state.json").string(), json.data(), json.size());
    return lines;
}

// One line of the memory log: "time_step=N peak_rss_kib=N rss_kib=N".
std::string memory_line() {
    PROCESS_MEMORY_COUNTERS counters{};
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        throw std::runtime_error("cannot read this process's memory use");
    }
    return "time_step=" + std::to_string(simulation_state.time_step) +
           " peak_rss_kib=" + std::to_string(counters.PeakWorkingSetSize / 1024) +
           " rss_kib=" + std::to_string(counters.WorkingSetSize / 1024) + "\n";
}

constexpr int32_t memory_settled_steps = 1000;

class session {
  public:
    session(const replay_options& options, probe_recorder& probes)
        : options_(options), probes_(probes) {}

    void start() {
        hl::install();
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        if (start_program(instance, &window_) != 0 || window_ == nullptr) {
            throw std::runtime_error("the program could not start (log or window)");
        }
    }

    bool closed() const {
        return window_ == nullptr || !IsWindow(window_);
    }

    void run(const replay_event& e) {
        if (closed()) {
            return;
        }
        switch (e.verb) {
        case replay_verb::rdown:
            send(WM_RBUTTONDOWN, MK_RBUTTON, position_word(e.a, e.b));
            break;
        case replay_verb::rup:
            send(WM_RBUTTONUP, 0, position_word(e.a, e.b));
            break;
        case replay_verb::ldown:
            send(WM_LBUTTONDOWN, MK_LBUTTON, position_word(e.a, e.b));
            break;
        case replay_verb::lup:
            send(WM_LBUTTONUP, 0, position_word(e.a, e.b));
            break;
        case replay_verb::move:
            send(WM_MOUSEMOVE, 0, position_word(e.a, e.b));
            break;
        case replay_verb::ldbl:
            send(WM_LBUTTONDBLCLK, MK_LBUTTON, position_word(e.a, e.b));
            break;
        case replay_verb::rdbl:
            send(WM_RBUTTONDBLCLK, MK_RBUTTON, position_word(e.a, e.b));
            break;
        case replay_verb::key:
            key_up(e.a);
            break;
        case replay_verb::timer:
            send(WM_TIMER, e.a, 0);
            break;
        case replay_verb::tick:
            for (uint32_t i = 0; i < e.a && !closed(); ++i) {
                hl::advance_clock_ms(1);
                send(WM_TIMER, repaint_timer_id, 0);
                flush();
            }
            break;
        case replay_verb::flush:
            flush();
            break;
        case replay_verb::paint:
            InvalidateRect(window_, nullptr, FALSE);
            flush();
            break;
        case replay_verb::dialog:
            hl::answer_open_dialog(fs::path(e.path).wstring());
            break;
        case replay_verb::cancel:
            hl::answer_open_dialog(std::nullopt);
            break;
        case replay_verb::bitmap:
            hl::answer_open_dialog(fs::path(e.path).wstring());
            key_up('S');
            if (!closed()) {
                InvalidateRect(window_, nullptr, FALSE);
                flush();
            }
            break;
        case replay_verb::probe:
            probes_.add(static_cast<int>(e.a), static_cast<int>(e.b));
            break;
        case replay_verb::save:
            write_snapshot(fs::path(options_.out_dir) / e.path, options_.out_dir, false);
            break;
        }
    }

    HWND window() const {
        return window_;
    }

  private:
    void send(UINT message, WPARAM w, LPARAM l) {
        SendMessageW(window_, message, w, l);
    }

    // A key's release as the system reports it: repeat count 1, previous state down,
    // transition up.
    void key_up(uint32_t virtual_key) {
        send(WM_KEYUP, virtual_key, static_cast<LPARAM>(0xC0000001u));
    }

    // The pending repaint, as the loop delivers it when idle; a repaint that advanced the
    // field also drew it, and becomes a frame.
    void flush() {
        const int32_t before = simulation_state.time_step;
        const bool painted = hl::deliver_pending_paint(window_);
        if (painted && simulation_state.time_step != before && !options_.frames_dir.empty()) {
            save_frame();
        }
        if (!options_.memory_log.empty() && memory_lines_.empty() &&
            simulation_state.time_step >= memory_settled_steps) {
            memory_lines_ = memory_line();
        }
    }

    void save_frame() {
        const std::vector<uint32_t> image = hl::client_image(window_);
        const int width = hl::client_width(window_);
        const int height = hl::client_height(window_);
        if (width < field_origin_x + field_width || height < field_origin_y + field_height) {
            return;
        }
        char name[32];
        std::snprintf(name, sizeof name, "frame_%06d.png", ++frames_);
        write_png((fs::path(options_.frames_dir) / name).string(),
                  image.data() + static_cast<std::size_t>(field_origin_y) * width + field_origin_x,
                  field_width, field_height, width);
    }

  public:
    int frames_ = 0;
    std::string memory_lines_;

  private:
    const replay_options& options_;
    probe_recorder& probes_;
    HWND window_ = nullptr;
};

} // namespace

replay_result run_replay(const replay_script& script, const replay_options& options) {
    const fs::path out = fs::absolute(options.out_dir);
    fs::create_directories(out);
    if (!options.frames_dir.empty()) {
        fs::create_directories(options.frames_dir);
    }
    replay_options resolved = options;
    resolved.out_dir = out.string();
    if (!resolved.frames_dir.empty()) {
        resolved.frames_dir = fs::absolute(resolved.frames_dir).string();
    }

    // The log "test.txt" is opened relative to the working directory, as the program does.
    const fs::path previous_dir = fs::current_path();
    fs::current_path(out);

    probe_recorder probes(options.kernels);
    session s(resolved, probes);
    replay_result result;
    try {
        probes.select();
        s.start();
        for (const auto& e : script.events) {
            s.run(e);
        }
    } catch (...) {
        use_engine(engine::shipped);
        stop_program(s.window());
        fs::current_path(previous_dir);
        throw;
    }
    use_engine(engine::shipped);
    fs::current_path(previous_dir);
    if (simulation_state.log_file != nullptr) {
        std::fflush(simulation_state.log_file);
    }

    result.closed = s.closed();
    result.frames_written = s.frames_;
    if (!options.memory_log.empty()) {
        const std::string lines = s.memory_lines_ + memory_line();
        write_file(options.memory_log, lines.data(), lines.size());
    }

    result.grid_lines = write_snapshot(out, out, result.closed);

    const std::vector<uint32_t> image = hl::client_image(s.window());
    const int width = hl::client_width(s.window());
    const int height = hl::client_height(s.window());
    if (!image.empty() && width > 0 && height > 0) {
        write_png((out / "client.png").string(), image.data(), width, height, width);
    }

    // Leave nothing behind for a later session in the same process.
    stop_program(s.window());

    for (const auto& [cell, p] : probes.probes()) {
        const std::string base = "probe_" + std::to_string(p.x) + "_" + std::to_string(p.y);
        const std::string csv = probe_csv(p.samples);
        write_file((out / (base + ".csv")).string(), csv.data(), csv.size());
        const std::vector<uint8_t> wav = probe_wav(p.samples);
        write_file((out / (base + ".wav")).string(), wav.data(), wav.size());
    }
    return result;
}
