// Every corpus file gives the import what Win32 gives it: loaded or not, the size, and the
// pixels the scans read (tools/bmp_compare/wine_expected.txt, written by wine_list.sh from
// bmp-probe under Wine). The files listed below differ on purpose, each for its reason.
#include "bmp_probe.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

// Wine's LoadImageW (dlls/user32/cursoricon.c, BITMAP_Load) creates the bitmap first and
// returns it whatever StretchDIBits then makes of the file's bits, so a file that GDI cannot
// draw comes back as a black picture instead of NULL. Windows answers NULL for these, as our
// layer does: bit counts other than 0, 1, 4, 8, 16, 24, 32, BI_JPEG and BI_PNG (which
// learn.microsoft.com's BITMAPINFOHEADER allows only for printers), compression 6, widths and
// heights that are negative or zero, compressed top-down files (BITMAPINFOHEADER, biHeight),
// headers that end before their size, pixels past the end of the file.
const std::set<std::string> wine_black_windows_null = {
    "bmpsuite-2.8/b/badbitcount.bmp", "bmpsuite-2.8/b/badwidth.bmp",
    "bmpsuite-2.8/b/rletopdown.bmp",  "bmpsuite-2.8/q/pal2.bmp",
    "bmpsuite-2.8/q/pal2color.bmp",   "bmpsuite-2.8/q/rgb24jpeg.bmp",
    "bmpsuite-2.8/q/rgb24png.bmp",    "bmpsuite-2.8/q/rgba32abf.bmp",
    "bmpsuite-2.8/q/rgba64.bmp",      "hostile/bad_bitcount_7.bmp",
    "hostile/negative_width.bmp",     "hostile/offbits_beyond_eof.bmp",
    "hostile/rle8_topdown.bmp",       "hostile/truncated_header.bmp",
    "hostile/zero_size_0x0.bmp",
};
// The same BITMAP_Load gives StretchDIBits the file's negative height as the source height
// while the bitmap gets the positive one, so Wine draws a top-down file black; Windows shows
// its picture (BITMAPINFOHEADER, biHeight: "a top-down DIB"), as our layer does.
const std::set<std::string> wine_black_top_down = {
    "bmpsuite-2.8/g/pal8topdown.bmp",
    "hostile/topdown_2x2.bmp",
};
// Our choice: a file whose pixel rows end before the header's size fails to load, rather than
// importing walls from rows that are not there (Wine loads the rows it finds, the rest black).
const std::set<std::string> truncated_refused = {
    "bmpsuite-2.8/b/shortfile.bmp",
    "hostile/truncated_pixels.bmp",
};

std::string field(const std::string& line, const std::string& key) {
    const auto at = line.find(" " + key + "=");
    if (at == std::string::npos) {
        return "";
    }
    const auto from = at + key.size() + 2;
    return line.substr(from, line.find(' ', from) - from);
}

TEST(BitmapsAsWindows, EveryCorpusFileGivesTheImportWhatWin32Gives) {
    const fs::path corpus(VORLA_BMP_CORPUS);
    if (!fs::exists(corpus / "hostile")) {
        GTEST_SKIP() << "no bitmap corpus at " << corpus;
    }
    std::ifstream table(VORLA_BMP_WINE_EXPECTED);
    ASSERT_TRUE(table) << VORLA_BMP_WINE_EXPECTED;
    std::map<std::string, std::string> expected;
    for (std::string line; std::getline(table, line);) {
        if (!line.empty() && line[0] != '#') {
            expected[line.substr(0, line.find(' '))] = line;
        }
    }
    const auto names = bmp_probe::corpus_files(corpus);
    ASSERT_EQ(names.size(), expected.size()) << "the corpus and the expectation list differ";
    for (const auto& name : names) {
        ASSERT_EQ(expected.count(name), 1u) << name << " is not in the expectation list";
        const std::string& windows = expected[name];
        const bmp_probe::result ours = bmp_probe::probe(corpus / name);
        const std::string line = bmp_probe::line(name, ours);
        if (wine_black_windows_null.count(name) != 0 || truncated_refused.count(name) != 0) {
            EXPECT_FALSE(ours.loaded) << line;
            EXPECT_NE(windows.find(" loaded "), std::string::npos) << windows;
        } else if (wine_black_top_down.count(name) != 0) {
            EXPECT_TRUE(ours.loaded) << line;
            EXPECT_EQ(field(windows, "black"),
                      std::to_string(static_cast<long>(ours.width) * ours.height))
                << windows;
            EXPECT_NE(field(line, "reduced"), field(windows, "reduced")) << line;
            EXPECT_EQ(line.substr(0, line.find(" black=")),
                      windows.substr(0, windows.find(" black=")));
        } else {
            // The reduced hash is what the import acts on; the full one holds every colour.
            EXPECT_EQ(line, windows);
        }
    }
}

} // namespace
