// The bitmap corpus beside the repository, and a bitmap loaded from it with a DC to read it.
#pragma once

#include "harness/driver.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace corpus_files {

namespace fs = std::filesystem;

inline fs::path corpus() {
    return fs::path(driver_native_path(VORLA_BMP_CORPUS));
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

class bitmap_corpus_test : public ::testing::Test {
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

inline constexpr COLORREF yellow = 0x0000FFFF;
inline constexpr COLORREF black = 0;

} // namespace corpus_files
