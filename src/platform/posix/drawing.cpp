// Drawing in software on 32-bit framebuffers, a window's client area or a memory DC's bitmap.
// It follows Windows where the program can tell: lines leave out their end point, boxes are
// right/bottom-exclusive, and each pixel of one outline is touched once, so R2_NOT drawn twice
// restores it.
#include "platform/posix/internal.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vorla::platform {

namespace {

// The sixteen binary mixes: bit (2 * pen + destination) of (mix - 1) gives the result.
std::uint32_t apply_mix(int mix, std::uint32_t pen, std::uint32_t destination) {
    const unsigned table = static_cast<unsigned>(mix - 1) & 0xFu;
    std::uint32_t result = 0;
    if (table & 1u) {
        result |= ~pen & ~destination;
    }
    if (table & 2u) {
        result |= ~pen & destination;
    }
    if (table & 4u) {
        result |= pen & ~destination;
    }
    if (table & 8u) {
        result |= pen & destination;
    }
    return result & 0x00FFFFFFu;
}

// A traced outline: pixels in drawing order, each once, with the dash state of each.
struct traced_pixel {
    long long x, y;
};

// The style patterns of cosmetic pens: lengths of on, off, on, off...
const std::vector<int>& pen_pattern(int style) {
    static const std::vector<int> solid{};
    static const std::vector<int> dash{18, 6};
    static const std::vector<int> dot{3, 3};
    static const std::vector<int> dash_dot{9, 6, 3, 6};
    static const std::vector<int> dash_dot_dot{9, 3, 3, 3, 3, 3};
    switch (style) {
    case PS_DASH:
        return dash;
    case PS_DOT:
        return dot;
    case PS_DASHDOT:
        return dash_dot;
    case PS_DASHDOTDOT:
        return dash_dot_dot;
    default:
        return solid;
    }
}

// Draws a path's pixels with the DC's pen: dashes in the pen colour, gaps in the background
// colour when the background mode is opaque, both through the mix.
void stroke(dc_object& dc, const std::vector<traced_pixel>& path) {
    gdi_object* pen = gdi_objects().find(dc.pen);
    if (pen == nullptr || pen->pen_style == PS_NULL || path.empty()) {
        return;
    }
    surface s;
    if (!surface_of(dc, s)) {
        return;
    }
    const std::uint32_t pen_pixel = pixel_from_colorref(pen->color);
    const std::uint32_t gap_pixel = pixel_from_colorref(dc.background_color);
    const std::vector<int>& pattern = pen_pattern(pen->pen_style);
    int period = 0;
    for (int n : pattern) {
        period += n;
    }
    const int width = std::max(pen->pen_width, 1);
    RECT changed{std::numeric_limits<LONG>::max(), std::numeric_limits<LONG>::max(),
                 std::numeric_limits<LONG>::min(), std::numeric_limits<LONG>::min()};
    long long index = 0;
    for (const traced_pixel& p : path) {
        bool on = true;
        if (period > 0) {
            int phase = static_cast<int>(index % period);
            for (std::size_t k = 0; k < pattern.size(); ++k) {
                if (phase < pattern[k]) {
                    on = (k % 2) == 0;
                    break;
                }
                phase -= pattern[k];
            }
        }
        ++index;
        if (!on && dc.background_mode != OPAQUE) {
            continue;
        }
        const std::uint32_t color = on ? pen_pixel : gap_pixel;
        // Wide pens: a square of the pen's width around each pixel (only solid pens get here).
        const int lo = -(width - 1) / 2;
        const int hi = lo + width - 1;
        for (int dy = lo; dy <= hi; ++dy) {
            for (int dx = lo; dx <= hi; ++dx) {
                const long long x = p.x + dx;
                const long long y = p.y + dy;
                if (!inside(s, x, y)) {
                    continue;
                }
                std::uint32_t& target =
                    s.pixels[static_cast<std::size_t>(y) * s.width + static_cast<std::size_t>(x)];
                target = apply_mix(dc.mix, color, target);
                changed.left = std::min<LONG>(changed.left, static_cast<LONG>(x));
                changed.top = std::min<LONG>(changed.top, static_cast<LONG>(y));
                changed.right = std::max<LONG>(changed.right, static_cast<LONG>(x + 1));
                changed.bottom = std::max<LONG>(changed.bottom, static_cast<LONG>(y + 1));
            }
        }
    }
    if (changed.right > changed.left) {
        touched(dc, changed);
    }
}

// Pixels of the line from a to b, a included and b left out. Pixel i along the major axis sits
// at the rounded exact position, so a line and its reverse cover the same pixels between the
// ends. Only the part that can reach the clip rectangle is walked.
void trace_line(long long x0, long long y0, long long x1, long long y1, const RECT& clip,
                std::vector<traced_pixel>& out, bool clip_walk = true) {
    const long long dx = x1 - x0;
    const long long dy = y1 - y0;
    const long long steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0) {
        return;
    }
    const bool x_major = std::llabs(dx) >= std::llabs(dy);
    const long long major_step = x_major ? (dx > 0 ? 1 : -1) : (dy > 0 ? 1 : -1);
    const long long minor_total = x_major ? dy : dx;
    const long long minor_sign = minor_total >= 0 ? 1 : -1;
    const long long minor_abs = std::llabs(minor_total);
    long long first = 0;
    long long last = steps - 1;
    if (clip_walk || steps > (1LL << 22)) {
        const long long start = x_major ? x0 : y0;
        const long long lo = x_major ? clip.left : clip.top;
        const long long hi = (x_major ? clip.right : clip.bottom) - 1;
        // Steps i with start + i * major_step inside [lo, hi].
        long long a = (lo - start) * major_step;
        long long b = (hi - start) * major_step;
        if (a > b) {
            std::swap(a, b);
        }
        first = std::max(first, a);
        last = std::min(last, b);
    }
    for (long long i = first; i <= last; ++i) {
        const long long offset = (2 * i * minor_abs + steps) / (2 * steps); // round half up
        const long long major = (x_major ? x0 : y0) + i * major_step;
        const long long minor = (x_major ? y0 : x0) + offset * minor_sign;
        out.push_back(x_major ? traced_pixel{major, minor} : traced_pixel{minor, major});
    }
}

void dedupe_in_order(std::vector<traced_pixel>& path) {
    std::vector<std::pair<std::pair<long long, long long>, std::size_t>> keys;
    keys.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        keys.push_back({{path[i].y, path[i].x}, i});
    }
    std::sort(keys.begin(), keys.end());
    std::vector<bool> keep(path.size(), false);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (i == 0 || keys[i].first != keys[i - 1].first) {
            keep[keys[i].second] = true;
        }
    }
    std::vector<traced_pixel> out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (keep[i]) {
            out.push_back(path[i]);
        }
    }
    path.swap(out);
}

// Fills one span of pixels with a brush through the mix.
void fill_span(dc_object& dc, surface& s, std::uint32_t color, long long y, long long x_from,
               long long x_to) {
    if (y < s.clip.top || y >= s.clip.bottom) {
        return;
    }
    x_from = std::max<long long>(x_from, s.clip.left);
    x_to = std::min<long long>(x_to, s.clip.right - 1);
    for (long long x = x_from; x <= x_to; ++x) {
        std::uint32_t& target =
            s.pixels[static_cast<std::size_t>(y) * s.width + static_cast<std::size_t>(x)];
        target = apply_mix(dc.mix, color, target);
    }
}

bool normalise_box(int& left, int& top, int& right, int& bottom) {
    if (left > right) {
        std::swap(left, right);
    }
    if (top > bottom) {
        std::swap(top, bottom);
    }
    return right > left && bottom > top;
}

} // namespace

bool surface_of(const dc_object& dc, surface& out) {
    if (dc.window != 0) {
        int width = 0, height = 0;
        const std::uint32_t* pixels = window_pixels(dc.window, &width, &height);
        if (pixels == nullptr) {
            return false;
        }
        out.pixels = const_cast<std::uint32_t*>(pixels);
        out.width = width;
        out.height = height;
    } else {
        gdi_object* bitmap = gdi_objects().find(dc.bitmap);
        if (bitmap == nullptr || bitmap->pixels.empty()) {
            return false;
        }
        out.pixels = bitmap->pixels.data();
        out.width = bitmap->width;
        out.height = bitmap->height;
    }
    out.clip = RECT{0, 0, out.width, out.height};
    if (dc.clip) {
        out.clip.left = std::max(out.clip.left, dc.clip->left);
        out.clip.top = std::max(out.clip.top, dc.clip->top);
        out.clip.right = std::min(out.clip.right, dc.clip->right);
        out.clip.bottom = std::min(out.clip.bottom, dc.clip->bottom);
    }
    return true;
}

void touched(const dc_object& dc, const RECT& area) {
    if (dc.window == 0) {
        return;
    }
    if (window_object* w = find_window(reinterpret_cast<HWND>(dc.window))) {
        mark_dirty(*w, area);
        // What a program draws outside a paint shows at once, as on Windows, even while it
        // keeps the thread busy; a paint shows when it ends.
        if (!dc.paint_dc) {
            present_window(dc.window, *w);
        }
    }
}

} // namespace vorla::platform

using namespace vorla::platform;

BOOL WINAPI MoveToEx(HDC dc_handle, int x, int y, LPPOINT previous) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr) {
        return FALSE;
    }
    if (previous != nullptr) {
        *previous = dc->position;
    }
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL WINAPI LineTo(HDC dc_handle, int x, int y) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr) {
        return FALSE;
    }
    surface s;
    if (surface_of(*dc, s)) {
        std::vector<traced_pixel> path;
        // A styled pen's pattern runs from the start point, so the path is walked whole.
        gdi_object* pen = gdi_objects().find(dc->pen);
        const bool styled = pen != nullptr && !pen_pattern(pen->pen_style).empty();
        RECT clip = s.clip;
        if (pen != nullptr && pen->pen_width > 1) {
            clip.left -= pen->pen_width;
            clip.top -= pen->pen_width;
            clip.right += pen->pen_width;
            clip.bottom += pen->pen_width;
        }
        trace_line(dc->position.x, dc->position.y, x, y, clip, path, !styled);
        stroke(*dc, path);
    }
    dc->position = POINT{x, y};
    return TRUE;
}

BOOL WINAPI Rectangle(HDC dc_handle, int left, int top, int right, int bottom) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr) {
        return FALSE;
    }
    if (!normalise_box(left, top, right, bottom)) {
        return TRUE; // an empty box draws nothing
    }
    surface s;
    if (!surface_of(*dc, s)) {
        return FALSE;
    }
    const long long l = left, t = top, r = right - 1LL, b = bottom - 1LL;
    if ((r - l) + (b - t) > (1LL << 24)) {
        return FALSE;
    }
    gdi_object* brush = gdi_objects().find(dc->brush);
    if (brush != nullptr && !brush->null_brush) {
        const std::uint32_t color = pixel_from_colorref(brush->color);
        for (long long y = std::max<long long>(t + 1, s.clip.top);
             y <= std::min<long long>(b - 1, s.clip.bottom - 1); ++y) {
            fill_span(*dc, s, color, y, l + 1, r - 1);
        }
        touched(*dc, RECT{left, top, right, bottom});
    }
    // The outline clockwise from the top-left corner, each pixel once.
    std::vector<traced_pixel> path;
    for (long long x = l; x <= r; ++x) {
        path.push_back({x, t});
    }
    for (long long y = t + 1; y <= b; ++y) {
        path.push_back({r, y});
    }
    for (long long x = r - 1; x >= l; --x) {
        path.push_back({x, b});
    }
    for (long long y = b - 1; y > t; --y) {
        path.push_back({l, y});
    }
    dedupe_in_order(path);
    stroke(*dc, path);
    return TRUE;
}

BOOL WINAPI Ellipse(HDC dc_handle, int left, int top, int right, int bottom) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr) {
        return FALSE;
    }
    if (!normalise_box(left, top, right, bottom)) {
        return TRUE;
    }
    surface s;
    if (!surface_of(*dc, s)) {
        return FALSE;
    }
    const long long w = static_cast<long long>(right) - left;
    const long long h = static_cast<long long>(bottom) - top;
    if (w > (1LL << 16) || h > (1LL << 16)) {
        return FALSE;
    }
    // The ellipse through the box's outer pixels: centre and half axes in pixel centres.
    const double cx = left + (w - 1) / 2.0;
    const double cy = top + (h - 1) / 2.0;
    const double a = (w - 1) / 2.0;
    const double bb = (h - 1) / 2.0;
    std::vector<traced_pixel> points;
    // Sampled by column and by row so the outline has no gaps; offsets are measured from the
    // box edges and mirrored, which keeps the outline symmetric.
    for (long long i = 0; i < w; ++i) {
        const double dx = a > 0 ? (left + i - cx) / a : 0.0;
        const double reach = bb * std::sqrt(std::max(0.0, 1.0 - dx * dx));
        const long long k = static_cast<long long>(std::floor(bb - reach + 0.5));
        points.push_back({left + i, top + k});
        points.push_back({left + i, top + (h - 1) - k});
    }
    for (long long j = 0; j < h; ++j) {
        const double dy = bb > 0 ? (top + j - cy) / bb : 0.0;
        const double reach = a * std::sqrt(std::max(0.0, 1.0 - dy * dy));
        const long long k = static_cast<long long>(std::floor(a - reach + 0.5));
        points.push_back({left + k, top + j});
        points.push_back({left + (w - 1) - k, top + j});
    }
    // Drawing order around the centre, so a styled pen's pattern runs along the outline.
    std::vector<std::pair<double, traced_pixel>> ordered;
    ordered.reserve(points.size());
    for (const traced_pixel& p : points) {
        double angle = std::atan2((p.y - cy) * (a > 0 ? a : 1.0), (p.x - cx) * (bb > 0 ? bb : 1.0));
        ordered.push_back({angle, p});
    }
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& x, const auto& y) {
        if (x.first != y.first) {
            return x.first < y.first;
        }
        return x.second.y != y.second.y ? x.second.y < y.second.y : x.second.x < y.second.x;
    });
    std::vector<traced_pixel> path;
    path.reserve(ordered.size());
    for (const auto& entry : ordered) {
        path.push_back(entry.second);
    }
    dedupe_in_order(path);
    gdi_object* brush = gdi_objects().find(dc->brush);
    if (brush != nullptr && !brush->null_brush) {
        // Inside the outline, row by row.
        std::map<long long, std::pair<long long, long long>> rows;
        for (const traced_pixel& p : path) {
            auto [it, fresh] = rows.emplace(p.y, std::make_pair(p.x, p.x));
            if (!fresh) {
                it->second.first = std::min(it->second.first, p.x);
                it->second.second = std::max(it->second.second, p.x);
            }
        }
        const std::uint32_t color = pixel_from_colorref(brush->color);
        for (const auto& [y, span] : rows) {
            if (y == top || y == bottom - 1) {
                continue;
            }
            fill_span(*dc, s, color, y, span.first + 1, span.second - 1);
        }
        touched(*dc, RECT{left, top, right, bottom});
    }
    stroke(*dc, path);
    return TRUE;
}

int WINAPI FillRect(HDC dc_handle, const RECT* rect, HBRUSH brush_handle) {
    dc_object* dc = find_dc(dc_handle);
    gdi_object* brush = gdi_objects().find(reinterpret_cast<std::uintptr_t>(brush_handle));
    if (dc == nullptr || rect == nullptr || brush == nullptr || brush->kind != gdi_kind::brush) {
        return 0;
    }
    if (brush->null_brush) {
        return 1;
    }
    surface s;
    if (!surface_of(*dc, s)) {
        return 0;
    }
    const std::uint32_t color = pixel_from_colorref(brush->color);
    const int saved = dc->mix;
    dc->mix = R2_COPYPEN; // FillRect ignores the mix
    for (long long y = std::max<long long>(rect->top, s.clip.top);
         y < std::min<long long>(rect->bottom, s.clip.bottom); ++y) {
        fill_span(*dc, s, color, y, rect->left, static_cast<long long>(rect->right) - 1);
    }
    dc->mix = saved;
    touched(*dc, *rect);
    return 1;
}

COLORREF WINAPI GetPixel(HDC dc_handle, int x, int y) {
    dc_object* dc = find_dc(dc_handle);
    surface s;
    if (dc == nullptr || !surface_of(*dc, s) || !inside(s, x, y)) {
        return CLR_INVALID;
    }
    return colorref_from_pixel(
        s.pixels[static_cast<std::size_t>(y) * s.width + static_cast<std::size_t>(x)]);
}

COLORREF WINAPI SetPixel(HDC dc_handle, int x, int y, COLORREF color) {
    dc_object* dc = find_dc(dc_handle);
    surface s;
    if (dc == nullptr || !surface_of(*dc, s) || !inside(s, x, y)) {
        return static_cast<COLORREF>(-1);
    }
    s.pixels[static_cast<std::size_t>(y) * s.width + static_cast<std::size_t>(x)] =
        pixel_from_colorref(color);
    touched(*dc, RECT{x, y, x + 1, y + 1});
    return color & 0x00FFFFFFu;
}
