// Written as plainly as possible and never to be made faster: every other engine must give
// its colours and frames bit for bit.
#include "display/coloring_reference.h"

#include "state/simulation_state.h"

#include <cmath>

namespace {
auto& s = simulation_state;
} // namespace

void reference_color_field() {
    for (int x = 128; x <= 895; ++x) {
        for (int y = 146; y <= 722; ++y) {
            if (s.medium_mask[x][y] == 1) {
                const double p = s.pressure[x][y];
                if (p >= 0.0) {
                    const double scaled = 1275.0 * p;
                    const int c = scaled >= 255.0 ? 255 : static_cast<int>(scaled);
                    const int v = 255 - c;
                    s.cell_color[x][y] = 0xFF0000 + v * 0x101;
                } else if (p < 0.0) {
                    const double scaled = 1275.0 * std::fabs(p);
                    const int c = scaled >= 255.0 ? 255 : static_cast<int>(scaled);
                    const int v = 255 - c;
                    s.cell_color[x][y] = v * 0x10100 + 0xFF;
                }
            } else if (s.medium_mask[x][y] == 0) {
                s.cell_color[x][y] = 0;
            }
        }
    }
}

void reference_copy_frame(uint32_t* frame) {
    for (int x = 128; x <= 895; ++x) {
        for (int y = 146; y <= 721; ++y) {
            frame[(721 - y) * 768 + (x - 128)] = static_cast<uint32_t>(s.cell_color[x][y]);
        }
    }
}
