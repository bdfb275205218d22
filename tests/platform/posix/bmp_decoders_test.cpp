// The browser build decodes bitmaps with stb_image (and leaves what stb cannot read to the
// browser's decoder). Over the conformance suite, every file that passes the loader's header
// checks and that stb reads must give the import what Windows gives it: as many pure black
// and pure yellow pixels as bmpsuite.csv records of LoadImageW under Wine.
#include "platform/posix/internal.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#if defined(VORLA_HAVE_STB_DECODER)

namespace vorla::platform {
bool decode_bmp_stb(const std::vector<char>& data, int* width, int* height,
                    std::vector<std::uint32_t>* pixels);
}

namespace {

namespace fs = std::filesystem;

std::vector<char> bytes_of(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(bmp_decoders, stb_finds_the_black_and_yellow_pixels_that_windows_finds) {
    const fs::path corpus(VORLA_BMP_CORPUS);
    std::ifstream table(corpus / "bmpsuite.csv");
    if (!table) {
        GTEST_SKIP() << "no bitmap corpus at " << corpus;
    }
    const std::regex observed(R"(^([^,]+),.*loads (\d+)x(\d+) [^;]*; black=(\d+) yellow=(\d+))");
    int compared = 0;
    std::string line;
    while (std::getline(table, line)) {
        std::smatch m;
        // Wine shows top-down bitmaps all black, which Windows does not.
        if (!std::regex_search(line, m, observed) || line.find("all black") != std::string::npos) {
            continue;
        }
        // Where stb and Windows part: indices beyond a short palette (Windows: black; stb:
        // what the palette's missing entries hold), and 2-3-1 bit fields.
        if (m[1] == "bmpsuite-2.8/b/pal8badindex.bmp" || m[1] == "bmpsuite-2.8/q/rgb16-231.bmp") {
            continue;
        }
        const std::vector<char> data = bytes_of(corpus / m[1].str());
        const HANDLE checked = vorla::platform::load_bitmap_bytes(data); // the header checks
        int width = 0, height = 0;
        std::vector<std::uint32_t> pixels;
        const bool read = vorla::platform::decode_bmp_stb(data, &width, &height, &pixels);
        if (checked != nullptr) {
            DeleteObject(checked);
        }
        if (checked == nullptr || !read) {
            std::printf("[          ] %s: %s\n", m[1].str().c_str(),
                        checked == nullptr ? "refused by the header checks"
                                           : "left to the browser's decoder");
            continue;
        }
        ++compared;
        long black = 0, yellow = 0;
        for (const std::uint32_t p : pixels) {
            black += p == 0 ? 1 : 0;
            yellow += p == 0xFFFF00u ? 1 : 0;
        }
        EXPECT_EQ(width, std::stoi(m[2].str())) << m[1];
        EXPECT_EQ(height, std::stoi(m[3].str())) << m[1];
        EXPECT_EQ(black, std::stol(m[4].str())) << m[1];
        EXPECT_EQ(yellow, std::stol(m[5].str())) << m[1];
    }
    EXPECT_GT(compared, 35); // the OS/2 1.x palettes go to the browser's decoder
}

} // namespace

#endif
