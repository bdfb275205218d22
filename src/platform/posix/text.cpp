// Text: glyphs for DrawTextW from the proportional VL PGothic, 14 pixels to the em in a
// 16-pixel line, rendered once per character by FreeType in monochrome and cached. That comes
// close to the Windows System font that a new DC draws with (16-pixel lines, Latin text about
// 7 pixels a character, so the panel's lines fit their columns as on Windows), and one bit per
// pixel gives the same bytes on every run, with or without a display; and DrawTextW itself, which
// with an opaque background fills only the character cells and clips to its rectangle.
#include "platform/posix/internal.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <bit>
#include <cwchar>
#include <iterator>
#include <tuple>
#include <unordered_map>

namespace vorla::platform {

namespace {

constexpr int cell_height = 16;
constexpr int em_pixels = 14;
constexpr int baseline_fallback = 13; // the System font's ascent
constexpr int average_advance = 7;    // for characters the font cannot give
static_assert(std::tuple_size_v<decltype(glyph_bitmap::ink)> == cell_height);
constexpr int widest_glyph = 4 * cell_height; // one row of a glyph fits a 64-bit mask
static_assert(widest_glyph <= 64);

const char* const font_files[] = {
    "/usr/share/fonts/truetype/vlgothic/VL-PGothic-Regular.ttf",
    "/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf",
};

class glyph_cache {
  public:
    glyph_cache() {
        if (FT_Init_FreeType(&library_) != 0) {
            library_ = nullptr;
            return;
        }
        for (const char* file : font_files) {
            if (FT_New_Face(library_, file, 0, &face_) == 0) {
                break;
            }
            face_ = nullptr;
        }
        if (face_ != nullptr && FT_Set_Pixel_Sizes(face_, 0, em_pixels) != 0) {
            FT_Done_Face(face_);
            face_ = nullptr;
        }
        if (face_ != nullptr) {
            // The font's own ascent at this size; what it leaves below is the descent.
            const long ascent = (face_->size->metrics.ascender + 32) >> 6;
            baseline_ = static_cast<int>(std::clamp<long>(ascent, 1, cell_height - 1));
        }
    }
    ~glyph_cache() {
        if (face_ != nullptr) {
            FT_Done_Face(face_);
        }
        if (library_ != nullptr) {
            FT_Done_FreeType(library_);
        }
    }
    glyph_cache(const glyph_cache&) = delete;
    glyph_cache& operator=(const glyph_cache&) = delete;

    const glyph_bitmap& get(char32_t c) {
        if (c < std::size(latin_) && latin_[c] != nullptr) {
            return *latin_[c];
        }
        auto it = glyphs_.find(c);
        if (it == glyphs_.end()) {
            it = glyphs_.emplace(c, render(c)).first;
        }
        if (c < std::size(latin_)) {
            latin_[c] = &it->second; // map nodes stay put
        }
        return it->second;
    }

  private:
    glyph_bitmap render(char32_t c) {
        glyph_bitmap g;
        if (face_ == nullptr || FT_Load_Char(face_, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) {
            return box(c);
        }
        const FT_GlyphSlot slot = face_->glyph;
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        if (g.advance <= 0) {
            g.advance = c < 0x20 ? 0 : average_advance;
        }
        if (g.advance > widest_glyph) {
            g.advance = widest_glyph;
        }
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) {
            return g;
        }
        const int top = baseline_ - slot->bitmap_top;
        const int left = slot->bitmap_left;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int y = top + static_cast<int>(row);
            if (y < 0 || y >= cell_height) {
                continue;
            }
            const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int x = left + static_cast<int>(col);
                if (x < 0 || x >= g.advance) {
                    continue;
                }
                const bool on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                                    ? ((line[col / 8] >> (7 - col % 8)) & 1) != 0
                                    : line[col] >= 128;
                if (on) {
                    g.ink[static_cast<std::size_t>(y)] |= std::uint64_t{1} << x;
                }
            }
        }
        return g;
    }

    // Without the font: an outlined box per visible character, so text still takes its cells.
    static glyph_bitmap box(char32_t c) {
        glyph_bitmap g;
        g.advance = c < 0x20 ? 0 : average_advance;
        if (c <= 0x20) {
            return g;
        }
        for (int y = 3; y < cell_height - 2; ++y) {
            for (int x = 1; x < g.advance - 1; ++x) {
                if (y == 3 || y == cell_height - 3 || x == 1 || x == g.advance - 2) {
                    g.ink[static_cast<std::size_t>(y)] |= std::uint64_t{1} << x;
                }
            }
        }
        return g;
    }

    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
    int baseline_ = baseline_fallback;
    std::unordered_map<char32_t, glyph_bitmap> glyphs_;
    const glyph_bitmap* latin_[256] = {}; // the common characters without hashing
};

} // namespace

int text_cell_height() {
    return cell_height;
}

const glyph_bitmap& glyph_for(char32_t code_point) {
    static glyph_cache cache;
    return cache.get(code_point);
}

std::string utf8_from_wide(const std::wstring& text) {
    std::string out;
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x110000) {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace vorla::platform

using namespace vorla::platform;

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
