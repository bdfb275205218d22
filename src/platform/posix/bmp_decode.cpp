// BMP pixels decoded as GDI turns a file's DIB into a screen bitmap, so that the import sees
// the colours Windows gives it: bit fields widened by repeating their top bits (5-bit 31 is
// 0xFF, not 0xF8), palette indices past the table black, RLE runs clipped to their row and
// pixels that a run stream skips or never reaches left black, the stream read no further
// than biSizeImage and drawn only if it reaches its end mark. The header has been checked against
// the file (image_loader.cpp).
#include "platform/posix/internal.h"

#include <algorithm>
#include <cstring>

namespace vorla::platform {

namespace {

std::uint8_t byte_at(const std::vector<char>& data, std::size_t at) {
    return static_cast<std::uint8_t>(data[at]);
}

// One colour channel of a bit-field pixel as eight bits: the field's top bits, with its own
// top bits repeated below them.
struct channel {
    int shift = 0, length = 0;
    explicit channel(std::uint32_t mask) {
        if (mask == 0) {
            return;
        }
        while ((mask & 1u) == 0) {
            mask >>= 1;
            ++shift;
        }
        while ((mask & 1u) != 0) {
            mask >>= 1;
            ++length;
        }
        if (length > 8) {
            shift += length - 8;
            length = 8;
        }
    }
    std::uint32_t of(std::uint32_t pixel) const {
        if (length == 0) {
            return 0;
        }
        const std::uint32_t field = (pixel >> shift) & ((1u << length) - 1u);
        std::uint32_t value = field << (8 - length);
        value |= value >> length;
        return value & 0xFFu;
    }
};

} // namespace

bool decode_bmp(const std::vector<char>& data, int* width, int* height,
                std::vector<std::uint32_t>* pixels) {
    const std::size_t size = data.size();
    const std::size_t header = read_u32(data, 14);
    const bool core = header == 12;
    const long long w = core ? read_u16(data, 18) : static_cast<std::int32_t>(read_u32(data, 18));
    const long long h = core ? static_cast<std::int16_t>(read_u16(data, 20))
                             : static_cast<std::int32_t>(read_u32(data, 22));
    const int bits = core ? read_u16(data, 24) : read_u16(data, 28);
    const std::uint32_t compression = core ? 0 : read_u32(data, 30);
    const std::size_t offset = read_u32(data, 10);
    const bool top_down = h < 0;
    const int cols = static_cast<int>(w);
    const int rows = static_cast<int>(top_down ? -h : h);

    // The colour table follows the header (and the three masks of a 40-byte BI_BITFIELDS
    // header); entries of four bytes, three in an OS/2 1.x file.
    std::uint32_t palette[256] = {};
    if (bits <= 8) {
        const std::size_t entry = core ? 3 : 4;
        std::size_t count = std::size_t{1} << bits;
        if (!core && read_u32(data, 46) != 0) {
            count = std::min<std::size_t>(count, read_u32(data, 46));
        }
        const std::size_t table = 14 + header;
        const std::size_t end = std::min(size, std::max(offset, table));
        count = std::min(count, (end - table) / entry);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = table + i * entry;
            palette[i] = static_cast<std::uint32_t>(byte_at(data, at + 2)) << 16 |
                         static_cast<std::uint32_t>(byte_at(data, at + 1)) << 8 | byte_at(data, at);
        }
    }

    pixels->assign(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows), 0);
    auto put = [&](int x, int dib_row, std::uint32_t colour) {
        const int y = top_down ? dib_row : rows - 1 - dib_row;
        (*pixels)[static_cast<std::size_t>(y) * static_cast<std::size_t>(cols) +
                  static_cast<std::size_t>(x)] = colour;
    };

    if (compression == 1 || compression == 2) {
        const bool four = compression == 2;
        std::size_t end = size;
        if (read_u32(data, 34) != 0) {
            end = std::min<std::size_t>(size, offset + read_u32(data, 34));
        }
        std::size_t i = offset;
        int x = 0, row = 0;
        bool marked_end = false;
        auto index_at = [&](std::uint8_t byte, int k) {
            return four ? ((k & 1) == 0 ? byte >> 4 : byte & 0x0F) : byte;
        };
        while (i + 1 < end && row < rows) {
            const int count = byte_at(data, i);
            const std::uint8_t value = byte_at(data, i + 1);
            i += 2;
            if (count != 0) {
                for (int k = 0; k < count && x < cols; ++k, ++x) {
                    put(x, row, palette[index_at(value, k)]);
                }
                continue;
            }
            if (value == 0) { // end of line
                x = 0;
                ++row;
            } else if (value == 1) { // end of bitmap
                marked_end = true;
                break;
            } else if (value == 2) { // delta: skipped pixels keep their black
                if (i + 1 >= end) {
                    break;
                }
                x = std::min(cols, x + byte_at(data, i));
                row += byte_at(data, i + 1);
                i += 2;
            } else { // absolute run, padded to a whole word
                const std::size_t bytes = four ? (value + 1u) / 2u : value;
                if (i + bytes > end) {
                    break;
                }
                for (int k = 0; k < value && x < cols; ++k, ++x) {
                    put(x, row, palette[index_at(byte_at(data, i + (four ? k / 2 : k)), k)]);
                }
                i += (bytes + 1) & ~std::size_t{1};
            }
        }
        if (!marked_end && row < rows) {
            // The data ran out before its end mark: GDI draws none of it.
            std::fill(pixels->begin(), pixels->end(), 0u);
        }
    } else {
        std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};
        if (bits == 32) {
            masks[0] = 0xFF0000;
            masks[1] = 0x00FF00;
            masks[2] = 0x0000FF;
        }
        if (compression == 3) {
            if (size < 14 + 40 + 12) {
                return false;
            }
            for (int c = 0; c < 3; ++c) {
                masks[c] = read_u32(data, 54 + 4 * static_cast<std::size_t>(c));
            }
        }
        const channel red(masks[0]), green(masks[1]), blue(masks[2]);
        const std::size_t stride = ((static_cast<std::size_t>(cols) * bits + 31) / 32) * 4;
        for (int row = 0; row < rows; ++row) {
            const std::size_t line = offset + static_cast<std::size_t>(row) * stride;
            for (int x = 0; x < cols; ++x) {
                std::uint32_t colour = 0;
                const std::size_t ux = static_cast<std::size_t>(x);
                switch (bits) {
                case 1:
                case 4:
                case 8: {
                    const std::size_t bit = ux * static_cast<std::size_t>(bits);
                    const int shift = 8 - bits - static_cast<int>(bit % 8);
                    colour = palette[(byte_at(data, line + bit / 8) >> shift) & ((1 << bits) - 1)];
                    break;
                }
                case 24: {
                    const std::size_t at = line + 3 * ux;
                    colour = static_cast<std::uint32_t>(byte_at(data, at + 2)) << 16 |
                             static_cast<std::uint32_t>(byte_at(data, at + 1)) << 8 |
                             byte_at(data, at);
                    break;
                }
                default: {
                    const std::uint32_t p =
                        bits == 16 ? read_u16(data, line + 2 * ux) : read_u32(data, line + 4 * ux);
                    colour = red.of(p) << 16 | green.of(p) << 8 | blue.of(p);
                    break;
                }
                }
                put(x, row, colour);
            }
        }
    }
    *width = cols;
    *height = rows;
    return true;
}

} // namespace vorla::platform
