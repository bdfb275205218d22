// Helpers shared by the solver and colouring tests: whole-record snapshots, grid comparison
// that names the first differing cell, and a field with walls, pulses and a source.
#pragma once

#include "state/simulation_state.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

inline double test_pi() {
    return 4.0 * std::atan(1.0);
}

inline std::unique_ptr<simulation_state_record> snapshot_state() {
    return std::make_unique<simulation_state_record>(simulation_state);
}

inline void restore_state(const simulation_state_record& saved) {
    std::memcpy(static_cast<void*>(&simulation_state), &saved, sizeof saved);
}

inline uint64_t bits_of(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// Equal to the bit. In wasm an operation on NaN may give any NaN (the engine may swap the
// operands of an addition, so which NaN's sign and payload survive can differ between two
// compilations of the same sum): there two NaNs match whatever their bits.
template <typename T> bool same_cell(const T& a, const T& b) {
#if defined(__wasm__)
    if constexpr (std::is_floating_point_v<T>) {
        if (std::isnan(a) && std::isnan(b)) {
            return true;
        }
    }
#endif
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

template <typename T>
std::string first_difference(const char* name, const grid<T>& a, const grid<T>& b) {
    if (std::memcmp(a, b, sizeof(grid<T>)) == 0) {
        return {};
    }
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            if (!same_cell(a[x][y], b[x][y])) {
                return std::string(name) + " differs at [" + std::to_string(x) + "][" +
                       std::to_string(y) + "]: " + std::to_string(a[x][y]) + " vs " +
                       std::to_string(b[x][y]);
            }
        }
    }
    return {};
}

// Empty when pressure, both velocities, the mask, the colours and time_step are identical
// to the bit.
inline std::string compare_fields(const simulation_state_record& a,
                                  const simulation_state_record& b) {
    std::string d = first_difference("pressure", a.pressure, b.pressure);
    if (d.empty()) {
        d = first_difference("velocity_x", a.velocity_x, b.velocity_x);
    }
    if (d.empty()) {
        d = first_difference("velocity_y", a.velocity_y, b.velocity_y);
    }
    if (d.empty()) {
        d = first_difference("medium_mask", a.medium_mask, b.medium_mask);
    }
    if (d.empty()) {
        d = first_difference("cell_color", a.cell_color, b.cell_color);
    }
    if (d.empty() && a.time_step != b.time_step) {
        d = "time_step " + std::to_string(a.time_step) + " vs " + std::to_string(b.time_step);
    }
    return d;
}

// Hollow rectangle of walls, two cells thick, with the given corners (inclusive).
inline void draw_wall_box(int x0, int y0, int x1, int y1) {
    auto& s = simulation_state;
    for (int x = x0; x <= x1; ++x) {
        for (int y = y0; y <= y1; ++y) {
            const bool edge = x <= x0 + 1 || x >= x1 - 1 || y <= y0 + 1 || y >= y1 - 1;
            if (edge) {
                s.medium_mask[x][y] = 0;
            }
        }
    }
}

// Deterministic scatter of single wall cells over the region.
inline void scatter_walls(uint32_t seed, int count) {
    uint32_t r = seed;
    for (int i = 0; i < count; ++i) {
        r = r * 1664525u + 1013904223u;
        const int x =
            field_origin_x + static_cast<int>((r >> 8) % (region_last_x - field_origin_x + 1));
        r = r * 1664525u + 1013904223u;
        const int y =
            field_origin_y + static_cast<int>((r >> 8) % (region_last_y - field_origin_y + 1));
        simulation_state.medium_mask[x][y] = 0;
    }
}

// Non-zero pressure and velocities everywhere, different from cell to cell: a field in motion.
inline void fill_moving_field() {
    auto& s = simulation_state;
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            const double v = 0.25 + static_cast<double>((x * 31 + y * 17) % 101) / 64.0;
            s.pressure[x][y] = v;
            s.velocity_x[x][y] = -v;
            s.velocity_y[x][y] = 2.0 * v;
        }
    }
}

// Empty when, compared with `before`, exactly the faces of the cells whose mask went from
// non-zero to 0 hold 0.0 and every other face and every pressure is unchanged. Face
// velocity_x[x][y] lies between [x][y] and [x+1][y], velocity_y[x][y] between [x][y] and
// [x][y+1]; the faces of the last column and row belong to their one cell on the grid.
inline std::string check_new_wall_faces(const simulation_state_record& before) {
    const auto& s = simulation_state;
    const auto became_wall = [&](int x, int y) {
        return x < grid_width && y < grid_height && before.medium_mask[x][y] != 0 &&
               s.medium_mask[x][y] == 0;
    };
    const auto check = [](const char* name, int x, int y, double now, double was,
                          bool stopped) -> std::string {
        const double expected = stopped ? 0.0 : was;
        if (bits_of(now) == bits_of(expected)) {
            return {};
        }
        return std::string(name) + "[" + std::to_string(x) + "][" + std::to_string(y) +
               "] = " + std::to_string(now) + ", expected " + std::to_string(expected);
    };
    for (int x = 0; x < grid_width; ++x) {
        for (int y = 0; y < grid_height; ++y) {
            const bool here = became_wall(x, y);
            std::string d = check("velocity_x", x, y, s.velocity_x[x][y], before.velocity_x[x][y],
                                  here || became_wall(x + 1, y));
            if (d.empty()) {
                d = check("velocity_y", x, y, s.velocity_y[x][y], before.velocity_y[x][y],
                          here || became_wall(x, y + 1));
            }
            if (d.empty()) {
                d = check("pressure", x, y, s.pressure[x][y], before.pressure[x][y], false);
            }
            if (!d.empty()) {
                return d;
            }
        }
    }
    return {};
}
