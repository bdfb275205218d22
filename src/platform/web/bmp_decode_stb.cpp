// BMP pixels through stb_image, for the browser build, where Qt does not exist. The headers
// have already been checked against the file (image_loader.cpp); stb reads no RLE-compressed
// bitmap, so those fail to load here.
#include "platform/posix/internal.h"

#include <climits>
#include <memory>

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

namespace vorla::platform {

bool decode_bmp(const std::vector<char>& data, int* width, int* height,
                std::vector<std::uint32_t>* pixels) {
    if (data.size() > static_cast<std::size_t>(INT_MAX)) {
        return false;
    }
    int w = 0, h = 0, channels = 0;
    // Four channels whatever the file holds: red, green, blue as stored; alpha is not used.
    std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
        stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(data.data()),
                              static_cast<int>(data.size()), &w, &h, &channels, 4),
        stbi_image_free);
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
