// Objects behind the posix layer's handles. Handles are numbers from one counter, looked up
// in tables, so a stale or foreign handle is refused instead of followed.
#pragma once

#include "platform/posix/backend.h"
#include "platform/posix/win32_subset.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vorla::platform {

std::uintptr_t next_handle_value();

template <typename T> class handle_table {
  public:
    std::uintptr_t add(std::unique_ptr<T> object) {
        const std::uintptr_t value = next_handle_value();
        objects_.emplace(value, std::move(object));
        return value;
    }
    T* find(std::uintptr_t value) const {
        auto it = objects_.find(value);
        return it == objects_.end() ? nullptr : it->second.get();
    }
    template <typename H> T* find(H handle) const {
        return find(reinterpret_cast<std::uintptr_t>(handle));
    }
    void remove(std::uintptr_t value) {
        objects_.erase(value);
    }
    // Ordered by handle value, which is creation order: iteration is deterministic.
    std::map<std::uintptr_t, std::unique_ptr<T>>& all() {
        return objects_;
    }

  private:
    std::map<std::uintptr_t, std::unique_ptr<T>> objects_;
};

// 0x00RRGGBB, the framebuffer's pixel, from and to a colour reference 0x00BBGGRR.
inline std::uint32_t pixel_from_colorref(COLORREF c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}
inline COLORREF colorref_from_pixel(std::uint32_t p) {
    return ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
}

// ---- windows

struct timer_entry {
    UINT_PTR id = 0;
    UINT period = 1;
    std::uint64_t due = 0;
    TIMERPROC proc = nullptr;
};

// A thread's message queue: what was posted to it and the input for its windows. Repaints and
// timer ticks are made from its windows' state instead.
struct message_queue {
    std::mutex lock; // other threads may post
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quit_posted = false;
    int quit_code = 0;
};

struct window_object {
    message_queue* queue = nullptr; // of the thread that created the window
    std::wstring class_name;
    UINT class_style = 0;
    WNDPROC proc = nullptr;
    HBRUSH background = nullptr;
    std::wstring title;
    DWORD style = 0;
    int x = 0, y = 0, outer_width = 0, outer_height = 0;
    int width = 0, height = 0; // client
    bool visible = false;
    bool shown_once = false;
    bool destroying = false;
    std::vector<std::uint32_t> pixels; // client framebuffer, 0x00RRGGBB, top-down
    // Pending repaint, kept as its bounding rectangle.
    bool invalid = false;
    RECT invalid_rect{};
    bool erase_pending = false;
    // What changed on the framebuffer since it was last presented.
    bool dirty = false;
    RECT dirty_rect{};
    std::vector<timer_entry> timers;
};

inline std::uintptr_t value_of(HWND window) {
    return reinterpret_cast<std::uintptr_t>(window);
}
inline HWND hwnd_of(std::uintptr_t value) {
    return reinterpret_cast<HWND>(value);
}
inline std::wstring text_or_empty(LPCWSTR text) {
    return text ? std::wstring(text) : std::wstring();
}

// windows.cpp. Windows are made, used and destroyed on the thread that owns them; another
// thread may only post to them. So the table changes, and PostMessageW looks a window up,
// under window_table_lock(); the owner's own lookups need no lock.
handle_table<window_object>& windows();
std::mutex& window_table_lock();
window_object* find_window(HWND window);
void resize_client(std::uintptr_t id, window_object& window, int width, int height);

// message_queue.cpp
message_queue& queue(); // the calling thread's
std::optional<std::uint64_t> next_timer_due(HWND window);
// Forgets the queued messages and input state of a window that is going away.
void discard_messages_of(HWND window);

// timers_capture.cpp
extern std::uintptr_t capture_window;
void send_capture_changed(std::uintptr_t losing, std::uintptr_t gaining);

// painting.cpp
void invalidate(window_object& window, const RECT* area, bool erase);
void mark_dirty(window_object& window, const RECT& area);
void present_window(std::uintptr_t id, window_object& window);

// dialogs.cpp: while a modal dialog is open its owner takes no input, as on Windows.
extern int modal_depth;

// ---- GDI

enum class gdi_kind { pen, brush, bitmap, font, icon };

struct gdi_object {
    gdi_kind kind = gdi_kind::pen;
    bool stock = false;
    // pen
    int pen_style = PS_SOLID;
    int pen_width = 1;
    // pen and brush
    COLORREF color = 0;
    bool null_brush = false;
    // bitmap
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, top-down
    int selected_count = 0;            // DCs that hold it
    bool delete_pending = false;       // pens and brushes deleted while selected
};

struct dc_object {
    std::uintptr_t window = 0; // 0 for a memory DC
    bool paint_dc = false;
    std::optional<RECT> clip; // in client coordinates; the paint DC's update rectangle
    std::uintptr_t pen = 0, brush = 0, bitmap = 0, font = 0;
    COLORREF text_color = 0x000000;
    COLORREF background_color = 0xFFFFFF;
    int background_mode = OPAQUE;
    int mix = R2_COPYPEN;
    POINT position{0, 0};
};

handle_table<gdi_object>& gdi_objects();
handle_table<dc_object>& device_contexts();
dc_object* find_dc(HDC dc);

// A DC on a window's client area, reset to the defaults every new DC has.
HDC create_window_dc(std::uintptr_t window, std::optional<RECT> clip);
// Frees the DCs that draw on a window that is going away.
void release_window_dcs(std::uintptr_t window);
HBITMAP create_bitmap_object(int width, int height, std::vector<std::uint32_t> pixels);

// What a DC draws on: the pixels of its window or bitmap, and where it may draw on them.
struct surface {
    std::uint32_t* pixels = nullptr;
    int width = 0, height = 0;
    RECT clip{0, 0, 0, 0}; // where this DC may draw, within the surface
};
bool surface_of(const dc_object& dc, surface& out);
inline bool inside(const surface& s, long long x, long long y) {
    return x >= s.clip.left && x < s.clip.right && y >= s.clip.top && y < s.clip.bottom;
}
// Records that a DC drew on an area of its window, and shows it at once outside a paint.
void touched(const dc_object& dc, const RECT& area);

// Little-endian fields of a file's bytes; the caller has checked that they lie inside.
inline std::uint32_t read_u32(const std::vector<char>& data, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, data.data() + at, 4);
    return v;
}
inline std::uint16_t read_u16(const std::vector<char>& data, std::size_t at) {
    std::uint16_t v;
    std::memcpy(&v, data.data() + at, 2);
    return v;
}

// A bitmap from the bytes of a BMP file, or null when the headers promise more than the
// bytes hold or the image cannot be read; what LoadImageW does after reading the file.
HANDLE load_bitmap_bytes(const std::vector<char>& data);
// The pixels of a BMP file whose headers passed those checks: 0x00RRGGBB, rows top-down.
// False when the decoder cannot read it. One decoder per build (ours, as GDI decodes, or stb's
// in the browser).
bool decode_bmp(const std::vector<char>& data, int* width, int* height,
                std::vector<std::uint32_t>* pixels);
std::uintptr_t stock_icon_handle();

// ---- text

struct glyph_bitmap {
    int advance = 0;                     // at most 64
    std::array<std::uint64_t, 16> ink{}; // per row of the cell, bit x set where the glyph is drawn
};
int text_cell_height();
const glyph_bitmap& glyph_for(char32_t code_point);

// ---- helpers

std::string utf8_from_wide(const std::wstring& text);

} // namespace vorla::platform
