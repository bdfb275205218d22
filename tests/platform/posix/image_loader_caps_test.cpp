// What our own bitmap reader refuses beyond what Windows is documented to refuse: truncated
// and lying files, and damaged ones, fail without reading or writing past their data (run
// under the sanitizers, such a read fails the test).
#include "platform/bitmap_corpus.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using namespace corpus_files;
using ImageLoaderCaps = bitmap_corpus_test;

TEST_F(ImageLoaderCaps, TruncatedAndLyingFilesFail) {
    for (const char* name : {"truncated_header.bmp", "truncated_pixels.bmp", "negative_width.bmp",
                             "zero_size_0x0.bmp", "offbits_beyond_eof.bmp", "bad_bitcount_7.bmp"}) {
        EXPECT_EQ(LoadImageW(nullptr, hostile(name).wstring().c_str(), IMAGE_BITMAP, 0, 0,
                             LR_LOADFROMFILE),
                  nullptr)
            << name;
    }
}

// Damaged copies of good files: whatever loads stays within its own pixels (run under the
// sanitizers, a read past a buffer fails the test).
TEST_F(ImageLoaderCaps, DamagedFilesLoadOrFailCleanly) {
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

} // namespace
