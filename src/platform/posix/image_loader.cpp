// LoadImageW: the system icon and cursor as plain handles, and bitmap files decoded (decode_bmp)
// after the header has been checked against the file, so that a truncated or lying file fails
// to load, as on Windows, before anything is allocated for it. Pixels become 0x00RRGGBB, read
// back by GetPixel as colour references.
#include "platform/posix/internal.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace vorla::platform {

namespace {

constexpr long long max_file_bytes = 128LL << 20;
constexpr long long max_side = 16384;
constexpr long long max_pixels = 1LL << 24; // 4096 x 4096; the field shows 768 x 576

// What a BMP file's headers promise, checked against what the file holds.
bool header_is_sound(const std::vector<char>& data) {
    const long long size = static_cast<long long>(data.size());
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') {
        return false;
    }
    const long long pixels_offset = read_u32(data, 10);
    const long long header_size = read_u32(data, 14);
    if (14 + header_size > size) {
        return false;
    }
    long long width = 0, height = 0, bits = 0, compression = 0, image_size = 0;
    if (header_size == 12) {
        width = read_u16(data, 18);
        height = static_cast<std::int16_t>(read_u16(data, 20));
        bits = read_u16(data, 24);
    } else if (header_size == 40 || header_size == 108 || header_size == 124) {
        // The headers Windows documents; not the 52- and 56-byte ones between them, nor
        // OS/2 2.x's 64-byte one, which LoadImageW refuses.
        width = static_cast<std::int32_t>(read_u32(data, 18));
        height = static_cast<std::int32_t>(read_u32(data, 22));
        bits = read_u16(data, 28);
        compression = read_u32(data, 30);
        image_size = read_u32(data, 34);
    } else {
        return false;
    }
    const bool top_down = height < 0;
    const long long rows = top_down ? -height : height;
    if (width <= 0 || rows <= 0 || width > max_side || rows > max_side ||
        width * rows > max_pixels) {
        return false;
    }
    switch (bits) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return false;
    }
    const bool rle = compression == 1 || compression == 2;
    if (rle) {
        // Compressed bitmaps are bottom-up only, and their data must be all there.
        if (top_down || (compression == 1 && bits != 8) || (compression == 2 && bits != 4)) {
            return false;
        }
        return pixels_offset < size && (image_size == 0 || pixels_offset + image_size <= size);
    }
    if (compression != 0 && compression != 3) {
        return false;
    }
    if (compression == 3 && bits != 16 && bits != 32) {
        return false;
    }
    const long long stride = ((width * bits + 31) / 32) * 4;
    return pixels_offset >= 14 + header_size && pixels_offset + stride * rows <= size;
}

HANDLE load_bitmap_file(const std::wstring& name) {
    std::error_code error;
    const std::filesystem::path path(utf8_from_wide(name));
    if (!std::filesystem::is_regular_file(path, error)) {
        return nullptr;
    }
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > static_cast<std::uintmax_t>(max_file_bytes)) {
        return nullptr;
    }
    std::vector<char> data(static_cast<std::size_t>(size));
    std::ifstream in(path, std::ios::binary);
    if (!in.read(data.data(), static_cast<std::streamsize>(data.size()))) {
        return nullptr;
    }
    return load_bitmap_bytes(data);
}

} // namespace

HANDLE load_bitmap_bytes(const std::vector<char>& data) {
    if (static_cast<long long>(data.size()) > max_file_bytes || !header_is_sound(data)) {
        return nullptr;
    }
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    if (!decode_bmp(data, &width, &height, &pixels) || width <= 0 || height <= 0 ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return nullptr;
    }
    return create_bitmap_object(width, height, std::move(pixels));
}

} // namespace vorla::platform

using namespace vorla::platform;

HANDLE WINAPI LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int, int, UINT load) {
    if (name == nullptr) {
        return nullptr;
    }
    if (type == IMAGE_ICON || type == IMAGE_CURSOR) {
        // Only the system's own: the window manager draws our icon and pointer.
        if (instance == nullptr && IS_INTRESOURCE(name) && (load & LR_LOADFROMFILE) == 0) {
            return reinterpret_cast<HANDLE>(stock_icon_handle());
        }
        return nullptr;
    }
    if (type == IMAGE_BITMAP && (load & LR_LOADFROMFILE) != 0 && !IS_INTRESOURCE(name)) {
        return load_bitmap_file(name);
    }
    return nullptr;
}
