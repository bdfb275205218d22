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

// The mask product of every face as a double, kept beside a copy of the mask it came from.
// Wall tools, Del and the bitmap import write medium_mask directly, so the copy is compared
// before every run of steps and the products are rebuilt when anything differs.
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

bool mask_unchanged() {
    const auto& mask = simulation_state.medium_mask;
    for (int x = field_origin_x; x <= region_last_x; ++x) {
        if (std::memcmp(&mask[x][field_origin_y], &mask_seen[x][field_origin_y],
                        region_column_bytes) != 0) {
            return false;
        }
    }
    return true;
}

bool mask_unchanged_for(engine kernels) {
#if VORLA_X86_KERNELS
    if (kernels == engine::avx512 && factor_bits_valid) {
        return fdtd_kernel::mask_matches_ones_avx512(&simulation_state.medium_mask[0][0],
                                                     &mask_ones[0][0]);
    }
#endif
    (void)kernels;
    return mask_unchanged();
}

void refresh_face_factors() {
    if (face_factors_ready && mask_unchanged_for(active_engine())) {
        return;
    }
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
    face_factors_ready = true;
}

bool inside_region(point p) {
    return p.x >= field_origin_x && p.x <= region_last_x && p.y >= field_origin_y &&
           p.y <= region_last_y;
}

void run_kernel(const fdtd_kernel::wavefront_job& job) {
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
    default:
        fdtd_kernel::run_wavefront_portable(job);
        return;
    }
}

// Up to eight steps in one wavefront; the sine samples go in as each step passes the source.
void run_steps(double pi, int count) {
    auto& s = simulation_state;
    refresh_face_factors();
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
        job.band_rows = 128;
        job.sine_x = -1;
        job.sine_y = -1;
        const bool sine = sine_source_active();
        int32_t step = s.time_step;
        for (int k = 0; k < steps; ++k) {
            job.sine_samples[k] = sine ? sine_source_sample(pi, step) : 0.0;
            step = wrapping_increment(step);
        }
        if (sine && inside_region(s.source_pos)) {
            job.sine_x = s.source_pos.x;
            job.sine_y = s.source_pos.y;
        }
        run_kernel(job);
        if (sine && !inside_region(s.source_pos)) {
            // A cell no step reads: its samples can simply follow one another.
            double& cell = s.pressure[s.source_pos.x][s.source_pos.y];
            for (int k = 0; k < steps; ++k) {
                cell = cell + job.sine_samples[k];
            }
        }
        s.time_step = step;
        count -= steps;
    }
}

// After every single step of a watched run: the time step and the watched cells' pressure.
void show_step(const step_watch& watch) {
    const auto& s = simulation_state;
    std::vector<double> pressures(
        static_cast<std::size_t>(watch.cell_count > 0 ? watch.cell_count : 0));
    for (std::size_t i = 0; i < pressures.size(); ++i) {
        const point c = watch.cells[i];
        pressures[i] =
            inside_grid(c.x, c.y) ? s.pressure[c.x][c.y] : std::numeric_limits<double>::quiet_NaN();
    }
    watch.after_step(watch.context, s.time_step, pressures.data());
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
        run_steps(pi, 1);
    }
}

solver_ticks advance_field(double pi, tick_clock clock) {
    auto& s = simulation_state;
    const step_watch& watch = active_step_watch();
    const bool watched = watch.after_step != nullptr;
    solver_ticks ticks{};
    ticks.start = clock != nullptr ? clock() : 0;
    if (watched || active_engine() == engine::reference) {
        for (int step = 1; step <= s.steps_per_frame; ++step) {
            fdtd_step(pi);
            if (watched) {
                show_step(watch);
            }
        }
    } else if (s.steps_per_frame > 0) {
        run_steps(pi, s.steps_per_frame);
    }
    ticks.end = clock != nullptr ? clock() : 0;
    return ticks;
}
