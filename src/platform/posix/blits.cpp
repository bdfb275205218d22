// Block transfers: BitBlt between DCs and StretchDIBits from a device-independent bitmap, with
// a straight row copy for the one-to-one case the frame uses.
#include "platform/posix/internal.h"

#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorla::platform {

namespace {

// n pixels of a 32-bit DIB row into the framebuffer, without the unused top byte.
void copy_opaque_row(std::uint32_t* target, const std::uint8_t* line, long long n, bool streaming) {
    long long x = 0;
#if defined(__SSE2__)
    if (streaming) {
        for (; x < n && (reinterpret_cast<std::uintptr_t>(target + x) & 15) != 0; ++x) {
            std::uint32_t value;
            std::memcpy(&value, line + x * 4, 4);
            target[x] = value & 0x00FFFFFFu;
        }
        const __m128i low_bytes = _mm_set1_epi32(0x00FFFFFF);
        for (; x + 4 <= n; x += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + x * 4));
            _mm_stream_si128(reinterpret_cast<__m128i*>(target + x), _mm_and_si128(v, low_bytes));
        }
    }
#else
    (void)streaming;
#endif
    for (; x < n; ++x) {
        std::uint32_t value;
        std::memcpy(&value, line + x * 4, 4);
        target[x] = value & 0x00FFFFFFu;
    }
}

} // namespace

} // namespace vorla::platform

using namespace vorla::platform;

BOOL WINAPI BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int source_x,
                   int source_y, DWORD rop) {
    dc_object* dst = find_dc(destination);
    surface d;
    if (dst == nullptr || !surface_of(*dst, d) || width < 0 || height < 0) {
        return FALSE;
    }
    const bool needs_source = rop == SRCCOPY;
    if (!needs_source && rop != DSTINVERT && rop != BLACKNESS && rop != WHITENESS) {
        return FALSE;
    }
    surface src;
    if (needs_source) {
        dc_object* from = find_dc(source);
        if (from == nullptr || !surface_of(*from, src)) {
            return FALSE;
        }
    }
    // Copy through a temporary when both DCs draw on the same pixels.
    std::vector<std::uint32_t> copy;
    const std::uint32_t* src_pixels = src.pixels;
    if (needs_source && src.pixels == d.pixels) {
        copy.assign(src.pixels, src.pixels + static_cast<std::size_t>(src.width) * src.height);
        src_pixels = copy.data();
    }
    for (long long row = 0; row < height; ++row) {
        const long long ty = static_cast<long long>(y) + row;
        if (ty < d.clip.top || ty >= d.clip.bottom) {
            continue;
        }
        for (long long col = 0; col < width; ++col) {
            const long long tx = static_cast<long long>(x) + col;
            if (tx < d.clip.left || tx >= d.clip.right) {
                continue;
            }
            std::uint32_t& target =
                d.pixels[static_cast<std::size_t>(ty) * d.width + static_cast<std::size_t>(tx)];
            if (rop == SRCCOPY) {
                const long long sx = static_cast<long long>(source_x) + col;
                const long long sy = static_cast<long long>(source_y) + row;
                if (!inside(src, sx, sy)) {
                    continue; // nothing to copy from outside the source
                }
                target = src_pixels[static_cast<std::size_t>(sy) * src.width +
                                    static_cast<std::size_t>(sx)];
            } else if (rop == DSTINVERT) {
                target = ~target & 0x00FFFFFFu;
            } else {
                target = rop == BLACKNESS ? 0u : 0x00FFFFFFu;
            }
        }
    }
    touched(
        *dst,
        RECT{x, y,
             static_cast<LONG>(std::min<long long>(static_cast<long long>(x) + width, d.width)),
             static_cast<LONG>(std::min<long long>(static_cast<long long>(y) + height, d.height))});
    return TRUE;
}

int WINAPI StretchDIBits(HDC dc_handle, int x_dest, int y_dest, int dest_width, int dest_height,
                         int x_src, int y_src, int src_width, int src_height, const void* bits,
                         const BITMAPINFO* info, UINT usage, DWORD rop) {
    dc_object* dc = find_dc(dc_handle);
    surface d;
    if (dc == nullptr || bits == nullptr || info == nullptr || !surface_of(*dc, d) ||
        rop != SRCCOPY || usage != DIB_RGB_COLORS) {
        return 0;
    }
    const BITMAPINFOHEADER& h = info->bmiHeader;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biPlanes != 1 || h.biWidth <= 0 ||
        h.biHeight == 0 || h.biHeight == std::numeric_limits<LONG>::min() ||
        (h.biBitCount != 32 && h.biBitCount != 24) || h.biCompression != BI_RGB) {
        return 0;
    }
    const long long image_width = h.biWidth;
    const bool bottom_up = h.biHeight > 0;
    const long long image_height = bottom_up ? h.biHeight : -static_cast<long long>(h.biHeight);
    const long long stride = ((image_width * h.biBitCount + 31) / 32) * 4;
    if (src_width == 0 || src_height == 0 || dest_width == 0 || dest_height == 0) {
        return 0;
    }
    const auto* base = static_cast<const std::uint8_t*>(bits);
    // Source rows counted from the top of the picture; for a bottom-up image y_src counts from
    // its bottom line, as Windows does.
    const long long src_top =
        bottom_up ? image_height - (static_cast<long long>(y_src) + src_height) : y_src;
    const long long dw = std::llabs(dest_width), dh = std::llabs(dest_height);
    if (dest_width == src_width && dest_height == src_height && dest_width > 0 && dest_height > 0 &&
        h.biBitCount == 32) {
        // One to one, the frame's case: row by row, no scaling arithmetic.
        const long long x_from =
            std::max<long long>({x_dest, d.clip.left, static_cast<long long>(x_dest) - x_src});
        const long long x_to = std::min<long long>({static_cast<long long>(x_dest) + dest_width,
                                                    d.clip.right, x_dest + (image_width - x_src)});
        // A whole frame would only push everything else out of the caches on its way through.
        const bool streaming = (x_to - x_from) * dh >= 16 * 1024;
        for (long long row = 0; row < dh && x_from < x_to; ++row) {
            const long long ty = y_dest + row;
            const long long sy = src_top + row;
            if (ty < d.clip.top || ty >= d.clip.bottom || sy < 0 || sy >= image_height) {
                continue;
            }
            const long long memory_row = bottom_up ? image_height - 1 - sy : sy;
            const std::uint8_t* line = base + memory_row * stride + (x_from - x_dest + x_src) * 4;
            std::uint32_t* target = d.pixels + static_cast<std::size_t>(ty) * d.width +
                                    static_cast<std::size_t>(x_from);
            copy_opaque_row(target, line, x_to - x_from, streaming);
        }
#if defined(__SSE2__)
        if (streaming) {
            _mm_sfence();
        }
#endif
        touched(*dc, RECT{x_dest, y_dest, x_dest + dest_width, y_dest + dest_height});
        return src_height;
    }
    for (long long row = 0; row < dh; ++row) {
        const long long ty =
            (dest_height > 0 ? y_dest + row : static_cast<long long>(y_dest) - 1 - row);
        if (ty < d.clip.top || ty >= d.clip.bottom) {
            continue;
        }
        const long long sy_rel = row * std::llabs(src_height) / dh;
        const long long sy =
            src_height > 0 ? src_top + sy_rel : src_top + std::llabs(src_height) - 1 - sy_rel;
        if (sy < 0 || sy >= image_height) {
            continue;
        }
        const long long memory_row = bottom_up ? image_height - 1 - sy : sy;
        const std::uint8_t* line = base + memory_row * stride;
        for (long long col = 0; col < dw; ++col) {
            const long long tx =
                (dest_width > 0 ? x_dest + col : static_cast<long long>(x_dest) - 1 - col);
            if (tx < d.clip.left || tx >= d.clip.right) {
                continue;
            }
            const long long sx_rel = col * std::llabs(src_width) / dw;
            const long long sx =
                src_width > 0 ? x_src + sx_rel : x_src + std::llabs(src_width) - 1 - sx_rel;
            if (sx < 0 || sx >= image_width) {
                continue;
            }
            std::uint32_t value;
            if (h.biBitCount == 32) {
                std::memcpy(&value, line + sx * 4, 4);
                value &= 0x00FFFFFFu;
            } else {
                const std::uint8_t* p = line + sx * 3;
                value = static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                        (static_cast<std::uint32_t>(p[2]) << 16);
            }
            d.pixels[static_cast<std::size_t>(ty) * d.width + static_cast<std::size_t>(tx)] = value;
        }
    }
    const LONG l = std::min(x_dest, x_dest + dest_width),
               t = std::min(y_dest, y_dest + dest_height);
    touched(*dc, RECT{l, t, static_cast<LONG>(l + dw), static_cast<LONG>(t + dh)});
    return static_cast<int>(std::llabs(src_height));
}
