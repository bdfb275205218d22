// GDI objects and DC state: pens, brushes, bitmaps and the stock objects, memory and window
// DCs, and what each DC holds selected. A bitmap selected into a DC is not deleted by
// DeleteObject; a selected pen or brush goes once no DC holds it.
#include "platform/posix/internal.h"

#include <algorithm>
#include <cstring>

namespace vorla::platform {

namespace {

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

} // namespace

dc_object* find_dc(HDC dc) {
    return device_contexts().find(dc);
}

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

DWORD WINAPI GetGuiResources(HANDLE process, DWORD flags) {
    if (process != GetCurrentProcess()) {
        return 0;
    }
    DWORD gdi = 0, user = 0;
    for (const auto& [handle, object] : gdi_objects().all()) {
        if (!object->stock) {
            ++(object->kind == gdi_kind::icon ? user : gdi);
        }
    }
    gdi += static_cast<DWORD>(device_contexts().all().size());
    user += static_cast<DWORD>(windows().all().size());
    if (flags == GR_GDIOBJECTS) {
        return gdi;
    }
    return flags == GR_USEROBJECTS ? user : 0;
}
