// Glyphs for DrawTextW (text.cpp) from the proportional VL PGothic, 14 pixels to the em in a
// 16-pixel line, rendered once per character by FreeType in monochrome and cached. That comes
// close to the Windows System font that a new DC draws with (16-pixel lines, Latin text about
// 7 pixels a character, so the panel's lines fit their columns as on Windows), and one bit per
// pixel gives the same bytes on every run, with or without a display. The browser build draws
// the same glyphs from a table this code made at build time (tools/glyph_atlas).
#include "platform/posix/internal.h"

#include <ft2build.h>
#include FT_FREETYPE_H

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

} // namespace vorla::platform
