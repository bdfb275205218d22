// LoadImageW on the bitmap corpus: good files load with their exact colours, bottom-up and
// top-down alike; files that are not bitmaps fail.
#include "bitmap_corpus.h"

namespace {

using namespace corpus_files;
using ImageLoader = bitmap_corpus_test;

TEST_F(ImageLoader, SmallFilesLoadWithExactColours) {
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

// A negative height is a top-down picture (BITMAPINFOHEADER, biHeight; learn.microsoft.com).
TEST_F(ImageLoader, TopDownAndBottomUpFilesGiveTheSamePicture) {
    loaded down(hostile("topdown_2x2.bmp"));
    loaded up(hostile("bottomup_2x2.bmp"));
    ASSERT_NE(down.bitmap, nullptr);
    ASSERT_NE(up.bitmap, nullptr);
    EXPECT_EQ(down.height, 2); // positive, whatever the file's sign
    if (driver_under_wine()) {
        GTEST_SKIP() << "known Wine difference: Wine 8 loads a top-down file as a black picture";
    }
    EXPECT_EQ(down.at(1, 0), yellow);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x) {
            EXPECT_EQ(down.at(x, y), up.at(x, y)) << x << "," << y;
        }
    }
}

TEST_F(ImageLoader, BrokenFilesFail) {
    for (const char* name : {"zero_length.bmp", "not_bmp.bmp", "huge_100000x100000.bmp"}) {
        EXPECT_EQ(LoadImageW(nullptr, hostile(name).wstring().c_str(), IMAGE_BITMAP, 0, 0,
                             LR_LOADFROMFILE),
                  nullptr)
            << name;
    }
    // Top-down bitmaps cannot be compressed (BITMAPINFOHEADER, biHeight; learn.microsoft.com).
    // Known Wine difference: Wine 8 loads such a file, as a black picture.
    if (!driver_under_wine()) {
        EXPECT_EQ(LoadImageW(nullptr, hostile("rle8_topdown.bmp").wstring().c_str(), IMAGE_BITMAP,
                             0, 0, LR_LOADFROMFILE),
                  nullptr);
    }
    EXPECT_EQ(LoadImageW(nullptr, (corpus() / "no-such-file.bmp").wstring().c_str(), IMAGE_BITMAP,
                         0, 0, LR_LOADFROMFILE),
              nullptr);
    EXPECT_EQ(LoadImageW(nullptr, corpus().wstring().c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE),
              nullptr);
}

TEST_F(ImageLoader, BadRunsStayInsideTheBitmap) {
    for (const char* name : {"rle8_run_past_row.bmp", "rle8_absolute_past_row.bmp",
                             "rle8_no_eob.bmp", "bad_planes_0.bmp", "bitfields565_2x1.bmp"}) {
        loaded b(hostile(name)); // loading or not, nothing is read or written out of bounds
        if (b.bitmap != nullptr) {
            EXPECT_GT(b.width, 0) << name;
            EXPECT_EQ(b.at(b.width, 0), CLR_INVALID) << name;
        }
    }
}

TEST_F(ImageLoader, EveryGoodSuiteFileLoadsAndNoBadOneCrashes) {
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

TEST(SystemImages, IconAndCursorComeFromNoModule) {
    EXPECT_NE(LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED),
              nullptr);
    EXPECT_NE(LoadImageW(nullptr, IDC_ARROW, IMAGE_CURSOR, 0, 0, LR_DEFAULTSIZE | LR_SHARED),
              nullptr);
    EXPECT_EQ(LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_BITMAP, 0, 0, 0), nullptr);
}

} // namespace
