// Text: DrawTextW, which with an opaque background fills only the character cells and clips to
// its rectangle, over the glyphs of glyphs.cpp; and the layer's UTF-8 conversions.
#include "platform/posix/internal.h"

#include <algorithm>
#include <bit>
#include <cwchar>
#include <iterator>

namespace vorla::platform {

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
