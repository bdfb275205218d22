#include "platform/web/web_backend.h"

#include "platform/posix/backend.h"
#include "platform/posix/internal.h"
#include "platform/web/key_mapping.h"

#include <emscripten.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

// The page's side of each call is in page.js (globalThis.vorlaPage).

EM_JS(double, vorla_js_now, (), { return performance.now(); });

// Returns at once (after a yield to the browser) when input is waiting; otherwise when input
// arrives, a dialog changes, or timeout_ms passes (never, when negative).
EM_ASYNC_JS(void, vorla_js_wait, (double timeout_ms), { await vorlaPage.wait(timeout_ms); });

// fields: type, window, x, y, button, shift, control, alt, repeat; code and key as UTF-8. 0 when no
// event is waiting.
EM_JS(int, vorla_js_next_event, (int* fields, char* code, char* key, int text_size), {
    const e = vorlaPage.takeEvent();
    if (!e)
        return 0;
    const values = [ e.type, e.window, e.x, e.y, e.button, e.shift, e.control, e.alt, e.repeat ];
    for (let i = 0; i < values.length; ++i)
        HEAP32[(fields >> 2) + i] = values[i] | 0;
    stringToUTF8(e.code || "", code, text_size);
    stringToUTF8(e.key || "", key, text_size);
    return 1;
});

EM_JS(void, vorla_js_create_window, (int id, const char* title, int width, int height),
      { vorlaPage.createWindow(id, UTF8ToString(title), width, height); });
EM_JS(void, vorla_js_destroy_window, (int id), { vorlaPage.destroyWindow(id); });
EM_JS(void, vorla_js_show_window, (int id, int visible), { vorlaPage.showWindow(id, !!visible); });
EM_JS(void, vorla_js_set_title, (int id, const char* title),
      { vorlaPage.setTitle(id, UTF8ToString(title)); });
EM_JS(void, vorla_js_set_capture, (int id, int captured),
      { vorlaPage.setCapture(id, !!captured); });
EM_JS(void, vorla_js_present,
      (int id, const unsigned char* rgba, int width, int height, int left, int top, int right,
       int bottom),
      {
          const data = new Uint8ClampedArray(HEAPU8.buffer, rgba, width * height * 4);
          vorlaPage.present(id, new ImageData(data, width, height), left, top, right - left,
                            bottom - top);
      });
EM_JS(int, vorla_js_screen_width, (), { return vorlaPage.screenWidth(); });
EM_JS(int, vorla_js_screen_height, (), { return vorlaPage.screenHeight(); });

// Dialogs: begin shows it; state is 0 while it is open; result is read once it has closed.
EM_JS(void, vorla_js_open_dialog_begin, (const char* request),
      { vorlaPage.openFileDialog(JSON.parse(UTF8ToString(request))); });
EM_JS(void, vorla_js_message_box_begin, (const char* request),
      { vorlaPage.messageBox(JSON.parse(UTF8ToString(request))); });
EM_JS(int, vorla_js_dialog_state, (), { return vorlaPage.dialogClosed() ? 1 : 0; });
EM_JS(int, vorla_js_message_box_result, (), { return vorlaPage.messageBoxAnswer(); });
// The chosen file, written into the in-memory file system; its path as a malloc'ed UTF-8
// string, or null when the dialog was cancelled.
EM_JS(char*, vorla_js_open_dialog_result, (), {
    const chosen = vorlaPage.chosenFile();
    if (!chosen)
        return 0;
    const folder = "/files";
    if (!FS.analyzePath(folder).exists)
        FS.mkdir(folder);
    const path = folder + "/" + chosen.name.split("/").join("_");
    FS.writeFile(path, chosen.bytes);
    const size = lengthBytesUTF8(path) + 1;
    const out = _malloc(size);
    stringToUTF8(path, out, size);
    return out;
});
EM_JS(void, vorla_js_program_ended, (int code), { vorlaPage.programEnded(code); });

namespace vorla::platform {

namespace {

// UTF-8 from the page (paths, what a key produces) as wide text; a broken sequence gives U+FFFD.
std::wstring wide_from_utf8(const std::string& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int extra = c < 0x80         ? 0
                          : (c >> 5) == 6  ? 1
                          : (c >> 4) == 14 ? 2
                          : (c >> 3) == 30 ? 3
                                           : -1;
        char32_t code = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size() + (extra == 0);
        for (int k = 1; ok && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            ok = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        out += ok ? static_cast<wchar_t>(code) : L'\uFFFD';
        i += ok ? static_cast<std::size_t>(extra) + 1 : 1;
    }
    return out;
}

std::string json_string(const std::wstring& text) {
    const std::string utf8 = utf8_from_wide(text);
    std::string out = "\"";
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\u00";
            out += hex[u >> 4];
            out += hex[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

// Page events as page.js numbers them.
enum page_event_type {
    page_mouse_move = 1,
    page_mouse_down = 2,
    page_mouse_up = 3,
    page_key_down = 4,
    page_key_up = 5,
    page_close = 6
};

// At most this long without handing the thread to the browser, so it can draw and take input
// while the program keeps the queue busy (a timer that is always due).
constexpr double longest_busy_ms = 8.0;

class web_backend final : public backend {
  public:
    std::uint64_t now_ms() override {
        return static_cast<std::uint64_t>(std::floor(vorla_js_now()));
    }

    void wait_events(std::optional<std::uint64_t> deadline_ms) override {
        if (take_events() > 0) {
            return;
        }
        double timeout = -1.0;
        if (deadline_ms) {
            const double now = vorla_js_now();
            timeout = *deadline_ms > now ? static_cast<double>(*deadline_ms) - now : 0.0;
        }
        yielded(timeout);
        take_events();
    }

    void poll_events() override {
        if (vorla_js_now() - last_yield_ms_ >= longest_busy_ms) {
            yielded(0.0);
        }
        take_events();
    }

    int screen_width() override {
        return vorla_js_screen_width();
    }
    int screen_height() override {
        return vorla_js_screen_height();
    }

    // The canvas is the client area: no frame takes a share of the size asked for.
    std::pair<int, int> create_window(window_id id, const std::wstring& title, int, int, int width,
                                      int height, bool) override {
        vorla_js_create_window(js_id(id), utf8_from_wide(title).c_str(), width, height);
        return {width, height};
    }
    void destroy_window(window_id id) override {
        vorla_js_destroy_window(js_id(id));
        rgba_.erase(id);
    }
    void show_window(window_id id, bool visible) override {
        vorla_js_show_window(js_id(id), visible ? 1 : 0);
    }
    void set_title(window_id id, const std::wstring& title) override {
        vorla_js_set_title(js_id(id), utf8_from_wide(title).c_str());
    }

    void present(window_id id, const std::uint32_t* pixels, int width, int height,
                 rect_i dirty) override {
        if (width <= 0 || height <= 0) {
            return;
        }
        std::vector<std::uint32_t>& rgba = rgba_[id];
        const std::size_t count =
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        if (rgba.size() != count) {
            rgba.assign(count, 0xFFFFFFFFu);
            dirty = rect_i{0, 0, width, height};
        }
        const int left = std::clamp(dirty.left, 0, width);
        const int right = std::clamp(dirty.right, 0, width);
        const int top = std::clamp(dirty.top, 0, height);
        const int bottom = std::clamp(dirty.bottom, 0, height);
        if (left >= right || top >= bottom) {
            return;
        }
        // 0x00RRGGBB words to the canvas's bytes R, G, B, A (little-endian 0xAABBGGRR).
        for (int y = top; y < bottom; ++y) {
            const std::size_t row = static_cast<std::size_t>(y) * width;
            for (int x = left; x < right; ++x) {
                const std::uint32_t p = pixels[row + x];
                rgba[row + x] =
                    0xFF000000u | (p & 0xFF00u) | ((p >> 16) & 0xFFu) | ((p & 0xFFu) << 16);
            }
        }
        vorla_js_present(js_id(id), reinterpret_cast<const unsigned char*>(rgba.data()), width,
                         height, left, top, right, bottom);
    }

    void set_capture(window_id id, bool captured) override {
        vorla_js_set_capture(js_id(id), captured ? 1 : 0);
    }

    std::optional<std::wstring> open_file_dialog(const open_dialog_request& request,
                                                 const modal_pump& pump) override {
        std::string json = "{\"owner\":" + std::to_string(js_id(request.owner)) +
                           ",\"title\":" + json_string(request.title) + ",\"filters\":[";
        for (std::size_t i = 0; i < request.filters.size(); ++i) {
            json += (i ? ",[" : "[") + json_string(request.filters[i].first) + "," +
                    json_string(request.filters[i].second) + "]";
        }
        json += "],\"filterIndex\":" + std::to_string(request.filter_index) +
                ",\"initialPath\":" + json_string(request.initial_path) + "}";
        vorla_js_open_dialog_begin(json.c_str());
        run_modal(pump);
        char* path = vorla_js_open_dialog_result();
        if (path == nullptr) {
            return std::nullopt;
        }
        std::wstring chosen = wide_from_utf8(path);
        std::free(path);
        return chosen;
    }

    message_box_answer message_box(const message_box_request& request,
                                   const modal_pump& pump) override {
        static const char* const icons[] = {"none", "error", "question", "warning", "information"};
        static const char* const buttons[] = {"ok", "okCancel", "yesNo"};
        const std::string json = "{\"owner\":" + std::to_string(js_id(request.owner)) +
                                 ",\"text\":" + json_string(request.text) +
                                 ",\"caption\":" + json_string(request.caption) + ",\"icon\":\"" +
                                 icons[static_cast<int>(request.icon)] + "\",\"buttons\":\"" +
                                 buttons[static_cast<int>(request.buttons)] + "\"}";
        vorla_js_message_box_begin(json.c_str());
        run_modal(pump);
        switch (vorla_js_message_box_result()) {
        case 1:
            return message_box_answer::cancel;
        case 2:
            return message_box_answer::yes;
        case 3:
            return message_box_answer::no;
        default:
            return message_box_answer::ok;
        }
    }

  private:
    static int js_id(window_id id) {
        return static_cast<int>(id);
    }

    void yielded(double timeout_ms) {
        vorla_js_wait(timeout_ms);
        last_yield_ms_ = vorla_js_now();
    }

    // The program's timers and repaints go on while the page's dialog is open, as in the
    // modal loops of Windows.
    void run_modal(const modal_pump& pump) {
        while (vorla_js_dialog_state() == 0) {
            pump();
            yielded(1.0);
        }
    }

    int take_events() {
        int count = 0;
        int fields[9];
        char code[64];
        char key[64];
        while (vorla_js_next_event(fields, code, key, sizeof code) != 0) {
            ++count;
            input_event e;
            e.window = static_cast<window_id>(static_cast<unsigned>(fields[1]));
            e.x = fields[2];
            e.y = fields[3];
            e.button = fields[4] == 2   ? mouse_button::right
                       : fields[4] == 1 ? mouse_button::middle
                                        : mouse_button::left;
            e.shift = fields[5] != 0;
            e.control = fields[6] != 0;
            e.alt = fields[7] != 0;
            e.auto_repeat = fields[8] != 0;
            switch (fields[0]) {
            case page_mouse_move:
                e.type = input_event::kind::mouse_move;
                break;
            case page_mouse_down:
                e.type = input_event::kind::mouse_press;
                break;
            case page_mouse_up:
                e.type = input_event::kind::mouse_release;
                break;
            case page_key_down:
            case page_key_up: {
                e.type = fields[0] == page_key_down ? input_event::kind::key_press
                                                    : input_event::kind::key_release;
                e.virtual_key = virtual_key_from_web(code, key);
                if (e.virtual_key == 0) {
                    continue;
                }
                const std::wstring text = wide_from_utf8(key);
                if (e.type == input_event::kind::key_press && text.size() == 1 && text[0] >= 0x20 &&
                    text[0] != 0x7F) {
                    e.character = text[0];
                }
                break;
            }
            case page_close:
                e.type = input_event::kind::close_request;
                break;
            default:
                continue;
            }
            deliver_input(e);
        }
        return count;
    }

    double last_yield_ms_ = 0.0;
    std::map<window_id, std::vector<std::uint32_t>> rgba_; // what the canvas shows, as RGBA
};

web_backend* the_backend = nullptr;

} // namespace

web_session::web_session() {
    // The C library formats wide text through multibyte characters, and its "C" locale has
    // none beyond ASCII: the panel's U+3000 blanks need UTF-8. Numbers are not affected.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    the_backend = new web_backend();
    set_backend(the_backend);
}

web_session::~web_session() {
    set_backend(nullptr);
    delete the_backend;
    the_backend = nullptr;
}

void report_program_end(int exit_code) {
    vorla_js_program_ended(exit_code);
}

} // namespace vorla::platform
