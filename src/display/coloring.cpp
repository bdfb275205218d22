#include "display/coloring.h"

#include "state/simulation_state.h"

#include <cmath>

namespace {

// 1275 * magnitude truncated toward zero and limited to 255. The limit is applied before the
// conversion, so infinities and huge products never reach the integer conversion.
uint32_t color_intensity(double magnitude) {
    const double scaled = 1275.0 * magnitude;
    if (scaled >= 255.0) {
        return 255;
    }
    return static_cast<uint32_t>(static_cast<int32_t>(scaled));
}

} // namespace

uint32_t pressure_color(double p, uint32_t previous) {
    if (p >= 0.0) {
        const uint32_t v = 255 - color_intensity(p);
        return 0xFF0000u + v * 0x101u;
    }
    if (p < 0.0) {
        const uint32_t v = 255 - color_intensity(std::fabs(p));
        return v * 0x10100u + 0xFFu;
    }
    return previous; // not a number
}

void color_field() {
    auto& s = simulation_state;
    for (int x = field_origin_x; x <= field_last_x; ++x) {
        for (int y = field_origin_y; y <= region_last_y; ++y) {
            if (s.medium_mask[x][y] == 1) {
                const auto previous = static_cast<uint32_t>(s.cell_color[x][y]);
                s.cell_color[x][y] =
                    static_cast<int32_t>(pressure_color(s.pressure[x][y], previous));
            } else if (s.medium_mask[x][y] == 0) {
                s.cell_color[x][y] = 0;
            }
        }
    }
}

// Grid row 721 becomes memory row 0 (the bottom line of the bottom-up picture).
void copy_frame(uint32_t* frame) {
    if (frame == nullptr) {
        return;
    }
    const auto& s = simulation_state;
    for (int x = field_origin_x; x <= field_last_x; ++x) {
        for (int y = field_origin_y; y <= field_last_y; ++y) {
            frame[(field_last_y - y) * frame_width + (x - field_origin_x)] =
                static_cast<uint32_t>(s.cell_color[x][y]);
        }
    }
}
