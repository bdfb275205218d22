#include "solver/fdtd.h"

#include "solver/engine.h"
#include "solver/fdtd_kernels.h"
#include "solver/fdtd_reference.h"
#include "solver/sources.h"
#include "state/simulation_state.h"

#include <cstddef>
#include <cstring>
#include <limits>
#include <vector>

static_assert(fdtd_kernel::stride == grid_height);
static_assert(fdtd_kernel::first_x == field_origin_x && fdtd_kernel::last_x == region_last_x);
static_assert(fdtd_kernel::first_y == field_origin_y && fdtd_kernel::last_y == region_last_y);
static_assert(
    (offsetof(simulation_state_record, velocity_x) - offsetof(simulation_state_record, pressure)) %
            4096 ==
        512 &&
    (offsetof(simulation_state_record, velocity_y) - offsetof(simulation_state_record, pressure)) %
            4096 ==
        1024);

namespace {

// The mask product of every face as a double (halved while every product is 0 or 1, see
// rebuild_face_factors), kept beside a copy of the mask it came from.
// Wall tools, Del and the bitmap import write medium_mask directly, so the kernels compare
// the mask with the copy as they go and stop where anything differs; the products are then
// rebuilt and the run resumes there.
// The two product grids start 2 KiB and 3 KiB past a page boundary, so that they do not
// share first-level cache sets with the same cells of the state's grids (pressure at 0,
// the velocities at 0.5 and 1 KiB).
constexpr int factor_cells = grid_width * grid_height;
alignas(4096) double factor_storage[2 * factor_cells + 1024];
using factor_grid = double[grid_width][grid_height];
factor_grid& face_factor_x = *reinterpret_cast<factor_grid*>(factor_storage + 256);
factor_grid& face_factor_y = *reinterpret_cast<factor_grid*>(factor_storage + factor_cells + 384);
int32_t mask_seen[grid_width][grid_height];
bool face_factors_ready = false;
// The products again as bits (eight rows a byte), valid while every product is 0 or 1.
unsigned char factor_bits_x[grid_width][fdtd_kernel::bit_stride];
unsigned char factor_bits_y[grid_width][fdtd_kernel::bit_stride];
bool factor_bits_valid = false;
// Which region cells hold mask 1, sixteen rows a word: while the bits are valid every other
// region cell holds 0, so comparing the mask with these reads half of what comparing it
// with mask_seen reads.
uint16_t mask_ones[grid_width][fdtd_kernel::group_stride];
// Per column, how many eight-row groups before each group hold a face whose product is not
// 1.0: the kernels take the 1.0 of a run of open groups from a register, not from memory.
unsigned char walled_groups_before[grid_width][fdtd_kernel::group_count_stride];

// Mask product of a face: the two cells' mask values multiplied as 32-bit integers, then
// taken as a double (1.0 between two medium cells, 0.0 at a wall).
double face_factor(int32_t a, int32_t b) {
    const auto product = static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
    return static_cast<double>(product);
}

constexpr std::size_t region_column_bytes = sizeof(int32_t) * (region_last_y - field_origin_y + 1);

// Products, bits and open-run counts from the mask as it is now.
void rebuild_face_factors() {
    const auto& mask = simulation_state.medium_mask;
    factor_bits_valid = true;
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        std::memcpy(&mask_seen[x][field_origin_y], &mask[x][field_origin_y], region_column_bytes);
        std::memset(factor_bits_x[x], 0, sizeof factor_bits_x[x]);
        std::memset(factor_bits_y[x], 0, sizeof factor_bits_y[x]);
        std::memset(mask_ones[x], 0, sizeof mask_ones[x]);
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            const double fx = x < region_last_x ? face_factor(mask[x][y], mask[x + 1][y]) : 0.0;
            const double fy = y < region_last_y ? face_factor(mask[x][y], mask[x][y + 1]) : 0.0;
            mask_ones[x][y / 16] |= static_cast<uint16_t>((mask[x][y] == 1 ? 1 : 0) << (y % 16));
            face_factor_x[x][y] = fx;
            face_factor_y[x][y] = fy;
            factor_bits_x[x][y / 8] |= static_cast<unsigned char>((fx == 1.0 ? 1 : 0) << (y % 8));
            factor_bits_y[x][y / 8] |= static_cast<unsigned char>((fy == 1.0 ? 1 : 0) << (y % 8));
            factor_bits_valid =
                factor_bits_valid && (fx == 0.0 || fx == 1.0) && (fy == 0.0 || fy == 1.0);
        }
    }
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        int walled = 0;
        for (int g = 0; g < fdtd_kernel::group_count_stride - 1; ++g) {
            walled_groups_before[x][g] = static_cast<unsigned char>(walled);
            bool open = true;
            for (int y = 8 * g; y < 8 * g + 8; ++y) {
                const bool inside = y >= field_origin_y && y < region_last_y;
                open = open && inside && face_factor_y[x][y] == 1.0 &&
                       (x == region_last_x || face_factor_x[x][y] == 1.0);
            }
            walled += open ? 0 : 1;
        }
        walled_groups_before[x][fdtd_kernel::group_count_stride - 1] =
            static_cast<unsigned char>(walled);
    }
    if (factor_bits_valid) {
        // Every product is 0.0 or 1.0: the kernels take d (0.5 f) for (0.5 d) f.
        for (int x = field_origin_x; x <= region_last_x; ++x) {
            for (int y = field_origin_y; y <= region_last_y; ++y) {
                face_factor_x[x][y] = 0.5 * face_factor_x[x][y];
                face_factor_y[x][y] = 0.5 * face_factor_y[x][y];
            }
        }
    }
    face_factors_ready = true;
}

bool inside_region(point p) {
    return p.x >= field_origin_x && p.x <= region_last_x && p.y >= field_origin_y &&
           p.y <= region_last_y;
}

void dispatch_kernel(const fdtd_kernel::wavefront_job& job) {
    switch (active_engine()) {
#if VORLA_X86_KERNELS
    case engine::avx512:
        if (factor_bits_valid) {
            fdtd_kernel::run_wavefront_avx512(job);
            return;
        }
        // A mask value other than 0 or 1 somewhere: products the bits cannot hold.
        fdtd_kernel::run_wavefront_avx2(job);
        return;
    case engine::avx2:
        fdtd_kernel::run_wavefront_avx2(job);
        return;
    case engine::sse2:
        fdtd_kernel::run_wavefront_sse2(job);
        return;
#endif
#if defined(__wasm_simd128__)
    case engine::wasm_simd128:
        fdtd_kernel::run_wavefront_wasm_simd128(job);
        return;
#endif
#if VORLA_NEON_KERNELS
    case engine::neon:
        fdtd_kernel::run_wavefront_neon(job);
        return;
#endif
    default:
        fdtd_kernel::run_wavefront_portable(job);
        return;
    }
}

// Where the watched cells stand: region cells are sampled by the kernel as its wavefront
// leaves them; any other cell changes only by a sine sample that no step reads, added
// between the steps here.
struct watched_cells {
    std::vector<fdtd_kernel::probe_cell> region;
    std::vector<std::size_t> region_index; // watch index of each region cell
    std::vector<double> pressures;         // steps x region cells, from the kernel
    std::vector<double> shown;             // one step's values in the watch's order
};

watched_cells& watched() {
    static watched_cells w;
    return w;
}

void collect_watched(const step_watch& watch) {
    watched_cells& w = watched();
    w.region.clear();
    w.region_index.clear();
    const std::size_t count = static_cast<std::size_t>(watch.cell_count > 0 ? watch.cell_count : 0);
    for (std::size_t i = 0; i < count; ++i) {
        const point c = watch.cells[i];
        if (inside_region(c)) {
            w.region.push_back({c.x, c.y});
            w.region_index.push_back(i);
        }
    }
    w.pressures.assign(w.region.size() * fdtd_kernel::max_steps, 0.0);
    w.shown.assign(count, 0.0);
}

// The watched cells after a step: from the grid, except the region cells that the kernel
// sampled (region_samples, in the order of collect_watched; null when the grid is current).
// Cells outside the grid read as NaN.
void show_step(const step_watch& watch, int32_t time_step, const double* region_samples) {
    const auto& s = simulation_state;
    watched_cells& w = watched();
    for (std::size_t i = 0; i < w.shown.size(); ++i) {
        const point c = watch.cells[i];
        w.shown[i] =
            inside_grid(c.x, c.y) ? s.pressure[c.x][c.y] : std::numeric_limits<double>::quiet_NaN();
    }
    if (region_samples != nullptr) {
        for (std::size_t r = 0; r < w.region.size(); ++r) {
            w.shown[w.region_index[r]] = region_samples[r];
        }
    }
    watch.after_step(watch.context, time_step, w.shown.data());
}

// The wavefront, resumed with fresh products wherever it finds the mask changed. The
// products of the cells it compared before stopping are the same after the rebuild, so
// what ran before the stop stands.
void run_kernel(fdtd_kernel::wavefront_job& job) {
    auto& s = simulation_state;
    fdtd_kernel::wavefront_stop stop{};
    job.mask = &s.medium_mask[0][0];
    job.mask_seen = &mask_seen[0][0];
    job.mask_ones = &mask_ones[0][0];
    job.stop = &stop;
    job.resume_band = -1;
    for (;;) {
        job.halved_factors = factor_bits_valid;
        dispatch_kernel(job);
        if (!stop.stopped) {
            return;
        }
        rebuild_face_factors();
        job.resume_band = stop.band;
        job.resume_front = stop.front;
        stop = {};
    }
}

// Up to eight steps in one wavefront; the sine samples go in as each step passes the source,
// and the watched cells are read as each step leaves them.
void run_steps(double pi, int count, const step_watch* watch) {
    auto& s = simulation_state;
    if (!face_factors_ready) {
        rebuild_face_factors();
    }
    const tile_shape tiles = active_tile_shape();
    watched_cells& w = watched();
    if (watch != nullptr) {
        collect_watched(*watch);
    }
    while (count > 0) {
        const int steps = count < fdtd_kernel::max_steps ? count : fdtd_kernel::max_steps;
        fdtd_kernel::wavefront_job job{};
        job.pressure = &s.pressure[0][0];
        job.velocity_x = &s.velocity_x[0][0];
        job.velocity_y = &s.velocity_y[0][0];
        job.factor_x = &face_factor_x[0][0];
        job.factor_y = &face_factor_y[0][0];
        job.factor_bits_x = &factor_bits_x[0][0];
        job.factor_bits_y = &factor_bits_y[0][0];
        job.walled_groups_before = &walled_groups_before[0][0];
        job.steps = steps;
        job.band_rows = tiles.band_rows;
        job.step_skew = tiles.step_skew;
        job.column_skew = tiles.column_skew;
        job.sine_x = -1;
        job.sine_y = -1;
        const bool sine = sine_source_active();
        const int32_t first_step = s.time_step;
        int32_t step = first_step;
        for (int k = 0; k < steps; ++k) {
            job.sine_samples[k] = sine ? sine_source_sample(pi, step) : 0.0;
            step = wrapping_increment(step);
        }
        if (sine && inside_region(s.source_pos)) {
            job.sine_x = s.source_pos.x;
            job.sine_y = s.source_pos.y;
        }
        if (watch != nullptr) {
            job.probes = w.region.data();
            job.probe_count = static_cast<int>(w.region.size());
            job.probe_pressures = w.pressures.data();
        }
        run_kernel(job);
        const bool sine_outside = sine && !inside_region(s.source_pos);
        step = first_step;
        for (int k = 0; k < steps; ++k) {
            if (sine_outside) {
                // A cell no step reads: its samples simply follow one another.
                double& cell = s.pressure[s.source_pos.x][s.source_pos.y];
                cell = cell + job.sine_samples[k];
            }
            step = wrapping_increment(step);
            s.time_step = step;
            if (watch != nullptr) {
                show_step(*watch, step,
                          w.pressures.data() + static_cast<std::size_t>(k) * w.region.size());
            }
        }
        count -= steps;
    }
}

} // namespace

// vx[x][y] -= (0.5 (p[x+1][y] - p[x][y])) m[x][y] m[x+1][y]; vx[127] = -p[128], vx[896] = p[896]
// vy[x][y] -= (0.5 (p[x][y+1] - p[x][y])) m[x][y] m[x][y+1]; vy[145] = -p[146], vy[722] = p[722]
// p[x][y]  -= 0.5 ((vx[x][y] - vx[x-1][y]) + (vy[x][y] - vy[x][y-1]))
// then the sine sample, then time_step + 1. The kernels fuse the three sweeps; see
// fdtd_wavefront.inl.
void fdtd_step(double pi) {
    if (active_engine() == engine::reference) {
        reference_fdtd_step(pi);
    } else {
        run_steps(pi, 1, nullptr);
    }
}

solver_ticks advance_field(double pi, tick_clock clock) {
    auto& s = simulation_state;
    const step_watch& watch = active_step_watch();
    const bool watched_steps = watch.after_step != nullptr;
    solver_ticks ticks{};
    ticks.start = clock != nullptr ? clock() : 0;
    if (active_engine() == engine::reference) {
        if (watched_steps) {
            collect_watched(watch);
        }
        for (int step = 1; step <= s.steps_per_frame; ++step) {
            reference_fdtd_step(pi);
            if (watched_steps) {
                show_step(watch, s.time_step, nullptr);
            }
        }
    } else if (s.steps_per_frame > 0) {
        run_steps(pi, s.steps_per_frame, watched_steps ? &watch : nullptr);
    }
    ticks.end = clock != nullptr ? clock() : 0;
    return ticks;
}
