// LoadImageW on the bitmap corpus: good files load with their exact colours, bottom-up and
// top-down alike; truncated, lying and hostile files fail without reading past their data.
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path corpus() {
    return fs::path(VORLA_BMP_CORPUS);
}

struct loaded {
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;
    int width = 0, height = 0;
    explicit loaded(const fs::path& file) {
        bitmap = static_cast<HBITMAP>(
            LoadImageW(nullptr, file.wstring().c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
        if (bitmap != nullptr) {
            BITMAP info{};
            GetObjectW(bitmap, sizeof info, &info);
            width = info.bmWidth;
            height = info.bmHeight;
            dc = CreateCompatibleDC(nullptr);
            SelectObject(dc, bitmap);
        }
    }
    ~loaded() {
        if (dc != nullptr) {
            DeleteDC(dc);
        }
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
    }
    COLORREF at(int x, int y) const {
        return GetPixel(dc, x, y);
    }
};

class image_loader : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(corpus() / "hostile")) {
            GTEST_SKIP() << "no bitmap corpus at " << corpus();
        }
    }
    static fs::path hostile(const char* name) {
        return corpus() / "hostile" / name;
    }
};

constexpr COLORREF yellow = 0x0000FFFF;
constexpr COLORREF black = 0;

TEST_F(image_loader, small_files_load_with_exact_colours) {
    {
        loaded b(hostile("yellow_1x1.bmp"));
        ASSERT_NE(b.bitmap, nullptr);
        EXPECT_EQ(b.width, 1);
        EXPECT_EQ(b.height, 1);
        EXPECT_EQ(b.at(0, 0), yellow);
    }
    {
        loaded b(hostile("near_colours_4x1.bmp"));
        ASSERT_NE(b.bitmap, nullptr);
        EXPECT_EQ(b.at(0, 0), yellow);
        EXPECT_NE(b.at(1, 0), yellow);
        EXPECT_EQ(b.at(2, 0), black);
        EXPECT_NE(b.at(3, 0), black);
    }
    {
        loaded b(hostile("rgb32_alpha_junk_2x1.bmp")); // the fourth byte is not colour
        ASSERT_NE(b.bitmap, nullptr);
        EXPECT_EQ(b.at(0, 0), yellow);
        EXPECT_EQ(b.at(1, 0), black);
    }
    for (const char* name : {"pal8_3x1.bmp", "rle8_ok_3x1.bmp", "core12_2x1.bmp"}) {
        loaded b(hostile(name));
        ASSERT_NE(b.bitmap, nullptr) << name;
        EXPECT_EQ(b.at(0, 0), yellow) << name;
    }
}

TEST_F(image_loader, top_down_and_bottom_up_files_give_the_same_picture) {
    loaded down(hostile("topdown_2x2.bmp"));
    loaded up(hostile("bottomup_2x2.bmp"));
    ASSERT_NE(down.bitmap, nullptr);
    ASSERT_NE(up.bitmap, nullptr);
    EXPECT_EQ(down.height, 2); // positive, whatever the file's sign
    EXPECT_EQ(down.at(1, 0), yellow);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(down.at(x, y), up.at(x, y)) << x << "," << y;
        }
    }
}

TEST_F(image_loader, broken_and_hostile_files_fail) {
    for (const char* name :
         {"truncated_header.bmp", "truncated_pixels.bmp", "zero_length.bmp", "not_bmp.bmp",
          "huge_100000x100000.bmp", "negative_width.bmp", "zero_size_0x0.bmp",
          "offbits_beyond_eof.bmp", "bad_bitcount_7.bmp", "rle8_topdown.bmp"}) {
        EXPECT_EQ(LoadImageW(nullptr, hostile(name).wstring().c_str(), IMAGE_BITMAP, 0, 0,
                             LR_LOADFROMFILE),
                  nullptr)
            << name;
    }
    EXPECT_EQ(LoadImageW(nullptr, L"/no/such/file.bmp", IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
    EXPECT_EQ(LoadImageW(nullptr, corpus().wstring().c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
}

TEST_F(image_loader, bad_runs_stay_inside_the_bitmap) {
    for (const char* name : {"rle8_run_past_row.bmp", "rle8_absolute_past_row.bmp",
                             "rle8_no_eob.bmp", "bad_planes_0.bmp", "bitfields565_2x1.bmp"}) {
        loaded b(hostile(name)); // loading or not, nothing is read or written out of bounds
        if (b.bitmap != nullptr) {
            EXPECT_GT(b.width, 0) << name;
            EXPECT_EQ(b.at(b.width, 0), CLR_INVALID) << name;
        }
    }
}

TEST_F(image_loader, every_good_suite_file_loads_and_no_bad_one_crashes) {
    const fs::path suite = corpus() / "bmpsuite-2.8";
    int good = 0, loaded_good = 0;
    for (const char* folder : {"g", "q", "b"}) {
        if (!fs::exists(suite / folder)) {
            continue;
        }
        for (const auto& entry : fs::directory_iterator(suite / folder)) {
            if (entry.path().extension() != ".bmp") {
                continue;
            }
            loaded b(entry.path());
            if (std::string(folder) == "g") {
                ++good;
                loaded_good += b.bitmap != nullptr ? 1 : 0;
                EXPECT_NE(b.bitmap, nullptr) << entry.path();
            }
        }
    }
    EXPECT_EQ(loaded_good, good);
}

// Damaged copies of good files: whatever loads stays within its own pixels (run under the
// sanitizers, a read past a buffer fails the test).
TEST_F(image_loader, damaged_files_load_or_fail_cleanly) {
    const fs::path folder = fs::temp_directory_path() / "vorla-damaged-bmp";
    fs::create_directories(folder);
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int loaded_count = 0;
    for (const char* name :
         {"pal8_3x1.bmp", "rle8_ok_3x1.bmp", "bottomup_2x2.bmp", "core12_2x1.bmp",
          "bitfields565_2x1.bmp", "rgb32_alpha_junk_2x1.bmp"}) {
        std::ifstream in(hostile(name), std::ios::binary);
        const std::vector<char> original((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
        ASSERT_FALSE(original.empty()) << name;
        for (int round = 0; round < 60; ++round) {
            std::vector<char> damaged = original;
            const int changes = 1 + static_cast<int>(next() % 4);
            for (int c = 0; c < changes; ++c) {
                damaged[next() % damaged.size()] = static_cast<char>(next() & 0xFF);
            }
            if (next() % 5 == 0) {
                damaged.resize(next() % damaged.size());
            }
            const fs::path file = folder / "damaged.bmp";
            std::ofstream(file, std::ios::binary)
                .write(damaged.data(), static_cast<std::streamsize>(damaged.size()));
            loaded b(file);
            if (b.bitmap != nullptr) {
                ++loaded_count;
                EXPECT_GT(b.width, 0);
                EXPECT_GT(b.height, 0);
                EXPECT_LE(static_cast<long long>(b.width) * b.height, 1LL << 26);
                EXPECT_EQ(b.at(b.width - 1, b.height - 1) & 0xFF000000u, 0u);
            }
        }
    }
    fs::remove_all(folder);
    EXPECT_GT(loaded_count, 0); // some damage is harmless to the pixels
}

TEST(system_images, icon_and_cursor_come_from_no_module) {
    EXPECT_NE(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED),
              nullptr);
    EXPECT_NE(LoadImageW(nullptr, IDC_ARROW, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED),
              nullptr);
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_BITMAP, 0, 0, 0), nullptr);
}

} // namespace
