// DrawTextW's glyphs in the browser: the Linux layer's own glyphs, rasterised by its FreeType
// code at build time (tools/glyph_atlas), so text is the same pixels as on Linux.
#include "platform/posix/internal.h"

#include <algorithm>
#include <iterator>
#include <type_traits>
#include <vector>

namespace vorla::platform {

namespace {

struct atlas_glyph {
    char32_t code_point;
    int advance;
    std::uint64_t ink[std::tuple_size_v<decltype(glyph_bitmap::ink)>];
};

#include "platform/web/glyph_atlas.inc" // generated

static_assert(atlas_cell_height == std::tuple_size_v<decltype(glyph_bitmap::ink)>);
static_assert(std::is_sorted(std::begin(atlas_glyphs), std::end(atlas_glyphs),
                             [](const atlas_glyph& a, const atlas_glyph& b) {
                                 return a.code_point < b.code_point;
                             }));

glyph_bitmap bitmap_of(const atlas_glyph& g) {
    glyph_bitmap b;
    b.advance = g.advance;
    std::copy(std::begin(g.ink), std::end(g.ink), b.ink.begin());
    return b;
}

} // namespace

int text_cell_height() {
    return atlas_cell_height;
}

const glyph_bitmap& glyph_for(char32_t code_point) {
    static const auto glyphs = [] {
        std::vector<glyph_bitmap> all;
        for (const atlas_glyph& g : atlas_glyphs) {
            all.push_back(bitmap_of(g));
        }
        return all;
    }();
    static const glyph_bitmap missing = bitmap_of(atlas_missing);
    const auto it =
        std::lower_bound(std::begin(atlas_glyphs), std::end(atlas_glyphs), code_point,
                         [](const atlas_glyph& g, char32_t c) { return g.code_point < c; });
    if (it == std::end(atlas_glyphs) || it->code_point != code_point) {
        return missing;
    }
    return glyphs[static_cast<std::size_t>(it - std::begin(atlas_glyphs))];
}

} // namespace vorla::platform
