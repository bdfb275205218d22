// The program-wide record: every grid, setting and flag of Vorla, alive for the whole run.
// Members that are Win32 objects (instance, DCs, bitmaps, dialog parameters, the frame's
// BITMAPINFO) live beside the window procedure in src/app, so this header stays free of
// platform headers and the computing code can be tested with no window.
#pragma once

#include <cstdint>
#include <cstdio>

// Grid size: client-area columns and rows; cell [x][y] is element x * grid_height + y.
inline constexpr int grid_width = 1024;
inline constexpr int grid_height = 768;

// The field window (shown) and the simulated region (one column and one row larger).
inline constexpr int field_origin_x = 128;
inline constexpr int field_origin_y = 146;
inline constexpr int field_width = 768;
inline constexpr int field_height = 576;
inline constexpr int field_last_x = field_origin_x + field_width - 1;  // 895
inline constexpr int field_last_y = field_origin_y + field_height - 1; // 721
inline constexpr int region_last_x = field_last_x + 1;                 // 896
inline constexpr int region_last_y = field_last_y + 1;                 // 722

inline constexpr int path_capacity = 260;

// A client-area position, also a grid cell. Copied as one unit.
struct point {
    int32_t x;
    int32_t y;
    friend bool operator==(const point&, const point&) = default;
};

template <typename T> using grid = T[grid_width][grid_height];

// Page-aligned, so that the spacing below places the grids as intended.
struct alignas(4096) simulation_state_record {
    // Grids, indexed [x][y]; y is contiguous in memory.
    alignas(64) grid<int32_t> medium_mask; // 1 medium, 0 wall
    alignas(64) grid<int32_t> cell_color;  // 0x00RRGGBB
    alignas(64) grid<double> pressure;
    // Every grid is a whole number of pages long; without the spacing the same cell of the
    // three field grids would fall into the same first-level cache sets, and a load from one
    // would wait behind a store to another at the same page offset.
    unsigned char spacing_before_velocity_x[512];
    alignas(64) grid<double> velocity_x; // face between [x][y] and [x+1][y]
    unsigned char spacing_before_velocity_y[512];
    alignas(64) grid<double> velocity_y; // face between [x][y] and [x][y+1]

    int32_t is_running;
    int32_t steps_per_frame;
    int32_t panel_left;
    int32_t panel_top;
    int32_t line_height;
    char source_type;   // 'T' pulse, 'F' sine
    char frequency_key; // '1', '2', '3'
    char draw_kind;     // 'J', 'L', 'R', 'E', 'S', ' '
    int32_t left_button_down;
    int32_t source_placed;
    int32_t right_click_count;
    int32_t bitmap_load_count;
    int32_t time_step;
    point cursor_pos;
    point drag_start;
    point drag_end;
    point drag_prev_end;
    point ellipse_center;
    int32_t ellipse_half_x;
    int32_t ellipse_half_y;
    point source_pos;

    uint32_t* frame_pixels; // 768 x 576 bottom-up frame, held only inside one repaint
    std::FILE* log_file;
    wchar_t bitmap_path[path_capacity];
    wchar_t bitmap_file_title[path_capacity];
};

extern simulation_state_record simulation_state;

// Back to the values the record holds at process start: all zero but the eight settings
// with non-zero start values. Lets tests and tools begin from a fresh process.
void reset_simulation_state();

// What WinMain does to the grids before the window exists: medium on x 1..1023, y 1..767
// and 0.0 in the three float grids there; column 0 and row 0 stay walls.
void initialize_field_grids();

// reset_simulation_state() then initialize_field_grids(): the state that WinMain leaves
// before it opens the log, shared by the program, the tests and vorla-replay.
void prepare_start_state();

// Two's-complement wrap for the 32-bit counters, without signed-overflow UB.
inline int32_t wrapping_increment(int32_t value) {
    return static_cast<int32_t>(static_cast<uint32_t>(value) + 1u);
}

// a - b as 32-bit arithmetic gives it: differences of the int32 members and coordinates wrap.
inline int32_t wrapping_difference(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// A mouse message's position word: x the low 16 bits, y the next 16, both unsigned.
inline point point_from_position_word(uint32_t word) {
    return point{static_cast<int32_t>(word & 0xFFFFu),
                 static_cast<int32_t>((word >> 16) & 0xFFFFu)};
}

inline bool inside_grid(int32_t x, int32_t y) {
    return x >= 0 && x < grid_width && y >= 0 && y < grid_height;
}
