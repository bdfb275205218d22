// Writes small test bitmaps: bottom-up 24-bit BI_RGB files, the layout every image loader
// (Wine's included) reads the same way.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

struct rgb {
    uint8_t r, g, b;
    friend bool operator==(const rgb&, const rgb&) = default;
};

class test_bitmap {
  public:
    test_bitmap(int width, int height, rgb fill)
        : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * height, fill) {}

    void set(int x, int y, rgb color) {
        pixels_[static_cast<std::size_t>(y) * width_ + x] = color;
    }

    bool write(const std::string& path) const {
        const int row_bytes = (width_ * 3 + 3) / 4 * 4;
        const uint32_t image_bytes = static_cast<uint32_t>(row_bytes) * height_;
        std::vector<uint8_t> out;
        auto put16 = [&](uint32_t v) {
            out.push_back(static_cast<uint8_t>(v));
            out.push_back(static_cast<uint8_t>(v >> 8));
        };
        auto put32 = [&](uint32_t v) {
            put16(v & 0xFFFF);
            put16(v >> 16);
        };
        out.push_back('B');
        out.push_back('M');
        put32(14 + 40 + image_bytes);
        put32(0);
        put32(14 + 40);
        put32(40);
        put32(static_cast<uint32_t>(width_));
        put32(static_cast<uint32_t>(height_)); // positive: bottom row first
        put16(1);
        put16(24);
        put32(0); // BI_RGB
        put32(image_bytes);
        put32(2835);
        put32(2835);
        put32(0);
        put32(0);
        for (int y = height_ - 1; y >= 0; --y) {
            for (int x = 0; x < width_; ++x) {
                const rgb& c = pixels_[static_cast<std::size_t>(y) * width_ + x];
                out.push_back(c.b);
                out.push_back(c.g);
                out.push_back(c.r);
            }
            for (int pad = width_ * 3; pad < row_bytes; ++pad) {
                out.push_back(0);
            }
        }
        std::ofstream file(path, std::ios::binary);
        file.write(reinterpret_cast<const char*>(out.data()),
                   static_cast<std::streamsize>(out.size()));
        return static_cast<bool>(file);
    }

  private:
    int width_;
    int height_;
    std::vector<rgb> pixels_;
};

inline constexpr rgb white_pixel{255, 255, 255};
inline constexpr rgb black_pixel{0, 0, 0};
inline constexpr rgb yellow_pixel{255, 255, 0};
