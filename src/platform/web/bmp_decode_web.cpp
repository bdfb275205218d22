// BMP pixels in the browser build, where Qt does not exist: stb_image, and for what stb does
// not read (RLE compression, palettes before 16- and 24-bit pixels, OS/2 headers) the
// browser's own decoder. The headers have already been checked against the file
// (image_loader.cpp). stb keeps the colour bytes of pixels with alpha, which a canvas,
// holding premultiplied colour, would not; the files it leaves to the browser have no alpha.
#include "platform/posix/internal.h"

#include <climits>
#include <cstdlib>
#include <memory>

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>

// RGBA bytes (malloc'ed) and the size, or null when the browser cannot decode the file.
EM_ASYNC_JS(unsigned char*, vorla_js_decode_image,
            (const unsigned char* bytes, int size, int* width, int* height), {
                try {
                    const blob = new Blob([HEAPU8.slice(bytes, bytes + size)], {
                        type:
                            "image/bmp"
                    });
                    const bitmap = await createImageBitmap(
                        blob, {colorSpaceConversion : "none", premultiplyAlpha : "none"});
                    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
                    const context = canvas.getContext("2d");
                    context.drawImage(bitmap, 0, 0);
                    const rgba = context.getImageData(0, 0, bitmap.width, bitmap.height).data;
                    const out = _malloc(rgba.length);
                    if (!out)
                        return 0;
                    HEAPU8.set(rgba, out);
                    HEAP32[width >> 2] = bitmap.width;
                    HEAP32[height >> 2] = bitmap.height;
                    return out;
                } catch (e) {
                    return 0;
                }
            });
#endif

#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_NO_HDR
#define STBI_NO_LINEAR
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

// The native tests build this file under another name, beside Qt's decoder, to compare them.
#ifndef VORLA_STB_DECODE_BMP
#define VORLA_STB_DECODE_BMP decode_bmp
#endif

namespace {

// stb takes an OS/2 1.x palette (12-byte header, three bytes an entry) to start 12 bytes
// later than it does, reads four entries too few and leaves those of its palette on the
// stack unset: pixels with the last indices come out in whatever the stack held. Such files
// go to the browser's decoder.
bool os2_core_palette(const std::vector<char>& data) {
    if (data.size() < 30 || data[0] != 'B' || data[1] != 'M') {
        return false;
    }
    const auto byte = [&](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(data[i]));
    };
    const unsigned header = byte(14) | byte(15) << 8 | byte(16) << 16 | byte(17) << 24;
    const unsigned bits = byte(24) | byte(25) << 8;
    return header == 12 && bits <= 8;
}

} // namespace

namespace vorla::platform {

bool VORLA_STB_DECODE_BMP(const std::vector<char>& data, int* width, int* height,
                          std::vector<std::uint32_t>* pixels) {
    if (data.size() > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    int w = 0, h = 0, channels = 0;
    // Four channels whatever the file holds: red, green, blue as stored; alpha is not used.
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        os2_core_palette(data)
            ? nullptr
            : stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(data.data()),
                                    static_cast<int>(data.size()), &w, &h, &channels, 4),
        stbi_image_free);
#if defined(__EMSCRIPTEN__)
    if (!rgba) {
        rgba.reset(vorla_js_decode_image(reinterpret_cast<const unsigned char*>(data.data()),
                                         static_cast<int>(data.size()), &w, &h));
        rgba.get_deleter() = std::free;
    }
#endif
    if (!rgba || w <= 0 || h <= 0) {
        return false;
    }
    *width = w;
    *height = h;
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    pixels->resize(count);
    const stbi_uc* p = rgba.get();
    for (std::size_t i = 0; i < count; ++i, p += 4) {
        (*pixels)[i] =
            static_cast<std::uint32_t>(p[0]) << 16 | static_cast<std::uint32_t>(p[1]) << 8 | p[2];
    }
    return true;
}

} // namespace vorla::platform
