// GDI in software on 32-bit framebuffers: a window's client area or a memory DC's bitmap.
// It follows Windows where the program can tell: lines leave out their end point, boxes are
// right/bottom-exclusive, each pixel of one outline is touched once so R2_NOT drawn twice
// restores it, and opaque text fills only its character cells.
#include "platform/posix/internal.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorla::platform {

namespace {

struct surface {
    std::uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    RECT clip{0, 0, 0, 0}; // where this DC may draw, within the surface
};

std::uintptr_t make_stock(gdi_kind kind, COLORREF color, bool null_brush = false,
                          int pen_style = PS_SOLID) {
    auto object = std::make_unique<gdi_object>();
    object->kind = kind;
    object->stock = true;
    object->color = color;
    object->null_brush = null_brush;
    object->pen_style = pen_style;
    if (kind == gdi_kind::bitmap) { // the 1 x 1 bitmap every new memory DC holds
        object->width = 1;
        object->height = 1;
        object->pixels.assign(1, 0);
    }
    return gdi_objects().add(std::move(object));
}

struct stock_set {
    std::uintptr_t objects[20] = {};
    std::uintptr_t default_bitmap = 0;
    std::uintptr_t icon = 0;
};

const stock_set& stock() {
    static const stock_set set = [] {
        stock_set s;
        s.objects[WHITE_BRUSH] = make_stock(gdi_kind::brush, 0xFFFFFF);
        s.objects[LTGRAY_BRUSH] = make_stock(gdi_kind::brush, 0xC0C0C0);
        s.objects[GRAY_BRUSH] = make_stock(gdi_kind::brush, 0x808080);
        s.objects[DKGRAY_BRUSH] = make_stock(gdi_kind::brush, 0x404040);
        s.objects[BLACK_BRUSH] = make_stock(gdi_kind::brush, 0x000000);
        s.objects[NULL_BRUSH] = make_stock(gdi_kind::brush, 0, true);
        s.objects[WHITE_PEN] = make_stock(gdi_kind::pen, 0xFFFFFF);
        s.objects[BLACK_PEN] = make_stock(gdi_kind::pen, 0x000000);
        s.objects[NULL_PEN] = make_stock(gdi_kind::pen, 0, false, PS_NULL);
        s.objects[SYSTEM_FONT] = make_stock(gdi_kind::font, 0);
        s.default_bitmap = make_stock(gdi_kind::bitmap, 0);
        s.icon = make_stock(gdi_kind::icon, 0);
        return s;
    }();
    return set;
}

void reset_dc(dc_object& dc) {
    const stock_set& s = stock();
    dc.pen = s.objects[BLACK_PEN];
    dc.brush = s.objects[WHITE_BRUSH];
    dc.font = s.objects[SYSTEM_FONT];
}

// Frees a deleted pen or brush once no DC holds it any more.
void release_selection(std::uintptr_t handle) {
    gdi_object* o = gdi_objects().find(handle);
    if (o == nullptr) {
        return;
    }
    o->selected_count = std::max(o->selected_count - 1, 0);
    if (o->selected_count == 0 && o->delete_pending) {
        gdi_objects().remove(handle);
    }
}

void take_selection(std::uintptr_t handle) {
    if (gdi_object* o = gdi_objects().find(handle)) {
        ++o->selected_count;
    }
}

dc_object* find_dc(HDC dc) {
    return device_contexts().find(dc);
}

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

bool inside(const surface& s, long long x, long long y) {
    return x >= s.clip.left && x < s.clip.right && y >= s.clip.top && y < s.clip.bottom;
}

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

handle_table<gdi_object>& gdi_objects() {
    static handle_table<gdi_object> table;
    return table;
}

handle_table<dc_object>& device_contexts() {
    static handle_table<dc_object> table;
    return table;
}

HDC create_window_dc(std::uintptr_t window, std::optional<RECT> clip) {
    auto dc = std::make_unique<dc_object>();
    dc->window = window;
    dc->paint_dc = clip.has_value();
    dc->clip = clip;
    reset_dc(*dc);
    take_selection(dc->pen);
    take_selection(dc->brush);
    return reinterpret_cast<HDC>(device_contexts().add(std::move(dc)));
}

void release_window_dcs(std::uintptr_t window) {
    std::vector<std::uintptr_t> doomed;
    for (auto& [handle, dc] : device_contexts().all()) {
        if (dc->window == window) {
            doomed.push_back(handle);
        }
    }
    for (std::uintptr_t handle : doomed) {
        DeleteDC(reinterpret_cast<HDC>(handle));
    }
}

HBITMAP create_bitmap_object(int width, int height, std::vector<std::uint32_t> pixels) {
    auto object = std::make_unique<gdi_object>();
    object->kind = gdi_kind::bitmap;
    object->width = width;
    object->height = height;
    object->pixels = std::move(pixels);
    return reinterpret_cast<HBITMAP>(gdi_objects().add(std::move(object)));
}

std::uintptr_t stock_icon_handle() {
    return stock().icon;
}

} // namespace vorla::platform

using namespace vorla::platform;

HPEN WINAPI CreatePen(int style, int width, COLORREF color) {
    if (style < PS_SOLID || style > PS_NULL) {
        style = PS_SOLID;
    }
    stock(); // stock objects take the first handles
    auto object = std::make_unique<gdi_object>();
    object->kind = gdi_kind::pen;
    object->pen_style = width > 1 && style != PS_NULL ? PS_SOLID : style; // wide pens are solid
    object->pen_width = std::max(width, 1);
    object->color = color & 0x00FFFFFFu;
    return reinterpret_cast<HPEN>(gdi_objects().add(std::move(object)));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    stock();
    auto object = std::make_unique<gdi_object>();
    object->kind = gdi_kind::brush;
    object->color = color & 0x00FFFFFFu;
    return reinterpret_cast<HBRUSH>(gdi_objects().add(std::move(object)));
}

HGDIOBJ WINAPI GetStockObject(int index) {
    if (index < 0 || index >= 20) {
        return nullptr;
    }
    return reinterpret_cast<HGDIOBJ>(stock().objects[index]);
}

HGDIOBJ WINAPI SelectObject(HDC dc_handle, HGDIOBJ object_handle) {
    dc_object* dc = find_dc(dc_handle);
    const auto value = reinterpret_cast<std::uintptr_t>(object_handle);
    gdi_object* object = gdi_objects().find(value);
    if (dc == nullptr || object == nullptr || object->delete_pending) {
        return nullptr;
    }
    std::uintptr_t* slot = nullptr;
    switch (object->kind) {
    case gdi_kind::pen:
        slot = &dc->pen;
        break;
    case gdi_kind::brush:
        slot = &dc->brush;
        break;
    case gdi_kind::font:
        slot = &dc->font;
        break;
    case gdi_kind::bitmap:
        // Only memory DCs hold bitmaps, and a bitmap sits in one DC at a time.
        if (dc->window != 0 || (object->selected_count > 0 && dc->bitmap != value)) {
            return nullptr;
        }
        slot = &dc->bitmap;
        break;
    case gdi_kind::icon:
        return nullptr;
    }
    const std::uintptr_t previous = *slot;
    if (previous == value) {
        return object_handle;
    }
    take_selection(value);
    *slot = value;
    release_selection(previous);
    return reinterpret_cast<HGDIOBJ>(previous);
}

BOOL WINAPI DeleteObject(HGDIOBJ handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    gdi_object* object = gdi_objects().find(value);
    if (object == nullptr) {
        return FALSE;
    }
    if (object->stock) {
        return TRUE;
    }
    if (object->selected_count > 0) {
        // A selected bitmap stays as it is; a selected pen or brush goes once it is deselected.
        if (object->kind == gdi_kind::bitmap) {
            return FALSE;
        }
        object->delete_pending = true;
        return TRUE;
    }
    gdi_objects().remove(value);
    return TRUE;
}

int WINAPI GetObjectW(HANDLE handle, int size, LPVOID buffer) {
    gdi_object* object = gdi_objects().find(reinterpret_cast<std::uintptr_t>(handle));
    if (object == nullptr) {
        return 0;
    }
    if (object->kind == gdi_kind::bitmap) {
        if (buffer == nullptr) {
            return sizeof(BITMAP);
        }
        if (size < static_cast<int>(sizeof(BITMAP))) {
            return 0;
        }
        BITMAP info{};
        info.bmType = 0;
        info.bmWidth = object->width;
        info.bmHeight = object->height;
        info.bmWidthBytes = object->width * 4;
        info.bmPlanes = 1;
        info.bmBitsPixel = 32;
        info.bmBits = nullptr;
        std::memcpy(buffer, &info, sizeof info);
        return sizeof(BITMAP);
    }
    if (object->kind == gdi_kind::pen) {
        if (buffer == nullptr) {
            return sizeof(LOGPEN);
        }
        if (size < static_cast<int>(sizeof(LOGPEN))) {
            return 0;
        }
        LOGPEN info{};
        info.lopnStyle = static_cast<UINT>(object->pen_style);
        info.lopnWidth.x = object->pen_width;
        info.lopnColor = object->color;
        std::memcpy(buffer, &info, sizeof info);
        return sizeof(LOGPEN);
    }
    return 0;
}

HDC WINAPI CreateCompatibleDC(HDC) {
    auto dc = std::make_unique<dc_object>();
    reset_dc(*dc);
    dc->bitmap = stock().default_bitmap;
    take_selection(dc->pen);
    take_selection(dc->brush);
    take_selection(dc->bitmap);
    return reinterpret_cast<HDC>(device_contexts().add(std::move(dc)));
}

HBITMAP WINAPI CreateCompatibleBitmap(HDC, int width, int height) {
    if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > (1LL << 26)) {
        return nullptr;
    }
    return create_bitmap_object(
        width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, 0));
}

BOOL WINAPI DeleteDC(HDC handle) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    dc_object* dc = device_contexts().find(value);
    if (dc == nullptr) {
        return FALSE;
    }
    const std::uintptr_t held[] = {dc->pen, dc->brush, dc->bitmap};
    device_contexts().remove(value);
    for (std::uintptr_t h : held) {
        release_selection(h);
    }
    return TRUE;
}

int WINAPI SetROP2(HDC dc_handle, int mix) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr || mix < R2_BLACK || mix > R2_WHITE) {
        return 0;
    }
    const int previous = dc->mix;
    dc->mix = mix;
    return previous;
}

int WINAPI GetROP2(HDC dc_handle) {
    dc_object* dc = find_dc(dc_handle);
    return dc ? dc->mix : 0;
}

COLORREF WINAPI SetTextColor(HDC dc_handle, COLORREF color) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr) {
        return CLR_INVALID;
    }
    const COLORREF previous = dc->text_color;
    dc->text_color = color & 0x00FFFFFFu;
    return previous;
}

COLORREF WINAPI SetBkColor(HDC dc_handle, COLORREF color) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr) {
        return CLR_INVALID;
    }
    const COLORREF previous = dc->background_color;
    dc->background_color = color & 0x00FFFFFFu;
    return previous;
}

int WINAPI SetBkMode(HDC dc_handle, int mode) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr || (mode != OPAQUE && mode != TRANSPARENT)) {
        return 0;
    }
    const int previous = dc->background_mode;
    dc->background_mode = mode;
    return previous;
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

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

int WINAPI DrawTextW(HDC dc_handle, LPCWSTR text, int length, LPRECT rect, UINT format) {
    dc_object* dc = find_dc(dc_handle);
    if (dc == nullptr || text == nullptr || rect == nullptr) {
        return 0;
    }
    const std::size_t count = length < 0 ? std::wcslen(text) : static_cast<std::size_t>(length);
    const int cell = text_cell_height();
    const bool multiline = (format & DT_SINGLELINE) == 0;
    // Lines end at line feeds unless single-line; a CR LF pair ends one line.
    auto line_end = [&](std::size_t from) {
        if (!multiline) {
            return count;
        }
        while (from < count && text[from] != L'\n' && text[from] != L'\r') {
            ++from;
        }
        return from;
    };
    auto next_line = [&](std::size_t end) {
        if (end < count && text[end] == L'\r' && end + 1 < count && text[end + 1] == L'\n') {
            return end + 2;
        }
        return end + 1;
    };
    auto line_width = [&](std::size_t from, std::size_t to) {
        long long w = 0;
        for (std::size_t i = from; i < to; ++i) {
            w += glyph_for(static_cast<char32_t>(text[i])).advance;
        }
        return w;
    };
    int line_count = 1;
    long long widest = 0;
    for (std::size_t from = 0;; ++line_count) {
        const std::size_t end = line_end(from);
        if (format & DT_CALCRECT) {
            widest = std::max(widest, line_width(from, end));
        }
        if (end >= count) {
            break;
        }
        from = next_line(end);
    }
    const int total_height = line_count * cell;
    if (format & DT_CALCRECT) {
        rect->right = static_cast<LONG>(rect->left + widest);
        rect->bottom = rect->top + total_height;
        return total_height;
    }
    surface s;
    if (!surface_of(*dc, s)) {
        return 0;
    }
    if ((format & DT_NOCLIP) == 0) {
        s.clip.left = std::max(s.clip.left, rect->left);
        s.clip.top = std::max(s.clip.top, rect->top);
        s.clip.right = std::min(s.clip.right, rect->right);
        s.clip.bottom = std::min(s.clip.bottom, rect->bottom);
    }
    long long y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_BOTTOM) {
            y = rect->bottom - cell;
        } else if (format & DT_VCENTER) {
            y = rect->top + (static_cast<long long>(rect->bottom) - rect->top - cell) / 2;
        }
    }
    const std::uint32_t ink = pixel_from_colorref(dc->text_color);
    const std::uint32_t paper = pixel_from_colorref(dc->background_color);
    const bool opaque = dc->background_mode == OPAQUE;
    for (std::size_t from = 0;; y += cell) {
        const std::size_t end = line_end(from);
        // The rows of this line that the clip lets through.
        const long long row_from = std::max<long long>(0, s.clip.top - y);
        const long long row_to = std::min<long long>(cell, s.clip.bottom - y);
        if (row_from < row_to) {
            long long x = rect->left;
            if (format & (DT_RIGHT | DT_CENTER)) {
                const long long w = line_width(from, end);
                x = (format & DT_RIGHT)
                        ? rect->right - w
                        : rect->left + (static_cast<long long>(rect->right) - rect->left - w) / 2;
            }
            for (std::size_t i = from; i < end && x < s.clip.right; ++i) {
                const glyph_bitmap& g = glyph_for(static_cast<char32_t>(text[i]));
                // Each glyph owns its cell: a row is a fill of the paper, then the ink's bits.
                const long long col_from = std::max<long long>(x, s.clip.left);
                const long long col_to = std::min<long long>(x + g.advance, s.clip.right);
                if (col_from < col_to) {
                    const long long n = col_to - col_from;
                    const std::uint64_t keep =
                        n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
                    const int shift = static_cast<int>(col_from - x);
                    for (long long gy = row_from; gy < row_to; ++gy) {
                        std::uint32_t* row =
                            s.pixels + static_cast<std::size_t>(y + gy) * s.width + col_from;
                        if (opaque) {
                            std::fill_n(row, n, paper);
                        }
                        for (std::uint64_t bits = (g.ink[gy] >> shift) & keep; bits != 0;
                             bits &= bits - 1) {
                            row[std::countr_zero(bits)] = ink;
                        }
                    }
                }
                x += g.advance;
            }
        }
        if (end >= count) {
            break;
        }
        from = next_line(end);
    }
    touched(*dc, s.clip);
    return total_height;
}
