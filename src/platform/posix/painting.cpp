// Invalidation and painting: the pending repaint of a window kept as one rectangle, the DCs
// of BeginPaint and GetDC, and the presentation of what was drawn to the backend.
#include "platform/posix/internal.h"

#include <algorithm>
#include <cstring>

namespace vorla::platform {

namespace {

bool rect_empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

RECT intersect(const RECT& a, const RECT& b) {
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    if (rect_empty(r)) {
        r = RECT{0, 0, 0, 0};
    }
    return r;
}

RECT unite(const RECT& a, const RECT& b) {
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

} // namespace

void invalidate(window_object& w, const RECT* area, bool erase) {
    RECT client{0, 0, w.width, w.height};
    RECT r = area ? intersect(*area, client) : client;
    if (rect_empty(r)) {
        return;
    }
    w.invalid_rect = w.invalid ? unite(w.invalid_rect, r) : r;
    w.invalid = true;
    if (erase) {
        w.erase_pending = true;
    }
}

void mark_dirty(window_object& w, const RECT& area) {
    RECT r = intersect(area, RECT{0, 0, w.width, w.height});
    if (rect_empty(r)) {
        return;
    }
    w.dirty_rect = w.dirty ? unite(w.dirty_rect, r) : r;
    w.dirty = true;
}

void present_window(std::uintptr_t id, window_object& w) {
    if (!w.dirty) {
        return;
    }
    w.dirty = false;
    current_backend().present(
        id, w.pixels.data(), w.width, w.height,
        rect_i{w.dirty_rect.left, w.dirty_rect.top, w.dirty_rect.right, w.dirty_rect.bottom});
}

void flush_windows() {
    for (auto& [id, w] : windows().all()) {
        present_window(id, *w);
    }
}

const std::uint32_t* window_pixels(window_id id, int* width, int* height) {
    window_object* w = windows().find(static_cast<std::uintptr_t>(id));
    if (w == nullptr) {
        return nullptr;
    }
    *width = w->width;
    *height = w->height;
    return w->pixels.data();
}

} // namespace vorla::platform

using namespace vorla::platform;

BOOL WINAPI InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    if (window == nullptr) {
        for (auto& [id, w] : windows().all()) {
            invalidate(*w, nullptr, erase != FALSE);
        }
        return TRUE;
    }
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    invalidate(*w, rect, erase != FALSE);
    return TRUE;
}

BOOL WINAPI ValidateRect(HWND window, const RECT* rect) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (!w->invalid) {
        return TRUE;
    }
    RECT& r = w->invalid_rect;
    if (rect == nullptr || (rect->left <= r.left && rect->top <= r.top && rect->right >= r.right &&
                            rect->bottom >= r.bottom)) {
        w->invalid = false;
        w->erase_pending = false;
        return TRUE;
    }
    // The pending area is kept as one rectangle: cut off a validated band that spans it.
    if (rect->top <= r.top && rect->bottom >= r.bottom) {
        if (rect->left <= r.left && rect->right > r.left) {
            r.left = rect->right;
        } else if (rect->right >= r.right && rect->left < r.right) {
            r.right = rect->left;
        }
    } else if (rect->left <= r.left && rect->right >= r.right) {
        if (rect->top <= r.top && rect->bottom > r.top) {
            r.top = rect->bottom;
        } else if (rect->bottom >= r.bottom && rect->top < r.bottom) {
            r.bottom = rect->top;
        }
    }
    if (rect_empty(r)) {
        w->invalid = false;
        w->erase_pending = false;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND window, LPRECT rect, BOOL) {
    window_object* w = find_window(window);
    if (w == nullptr) {
        return FALSE;
    }
    if (rect != nullptr) {
        *rect = w->invalid ? w->invalid_rect : RECT{0, 0, 0, 0};
    }
    return w->invalid ? TRUE : FALSE;
}

HDC WINAPI BeginPaint(HWND window, LPPAINTSTRUCT paint) {
    window_object* w = find_window(window);
    if (w == nullptr || paint == nullptr) {
        return nullptr;
    }
    std::memset(paint, 0, sizeof *paint);
    const RECT area = w->invalid ? w->invalid_rect : RECT{0, 0, 0, 0};
    const bool erase = w->invalid && w->erase_pending;
    w->invalid = false;
    w->erase_pending = false;
    const HDC dc = create_window_dc(value_of(window), area);
    paint->hdc = dc;
    paint->rcPaint = area;
    paint->fErase = TRUE;
    if (erase) {
        paint->fErase = SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) != 0
                            ? FALSE
                            : TRUE;
    } else {
        paint->fErase = FALSE;
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND window, const PAINTSTRUCT* paint) {
    if (paint == nullptr) {
        return FALSE;
    }
    dc_object* dc = device_contexts().find(paint->hdc);
    if (dc != nullptr && dc->paint_dc) {
        DeleteDC(paint->hdc);
    }
    if (window_object* w = find_window(window)) {
        present_window(value_of(window), *w); // frames reach the screen as soon as they are done
    }
    return TRUE;
}

HDC WINAPI GetDC(HWND window) {
    if (find_window(window) == nullptr) {
        return nullptr;
    }
    return create_window_dc(value_of(window), std::nullopt);
}

int WINAPI ReleaseDC(HWND window, HDC dc) {
    dc_object* object = device_contexts().find(dc);
    if (object == nullptr || object->window == 0 || object->paint_dc) {
        return 0;
    }
    const std::uintptr_t id = object->window;
    DeleteDC(dc);
    if (window_object* w = windows().find(id)) {
        present_window(id, *w);
    }
    (void)window;
    return 1;
}

BOOL WINAPI SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (rect == nullptr) {
        return FALSE;
    }
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}
