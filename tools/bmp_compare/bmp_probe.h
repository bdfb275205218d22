// What the bitmap import would see of one file: loaded or not, its size, and hashes of the
// pixels its scans read through GetPixel over the part of the bitmap that lies on the grid.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bmp_probe {

struct result {
    bool loaded = false;
    int width = 0, height = 0;
    long black = 0, yellow = 0;
    std::uint64_t full = 0;    // every COLORREF read, in scan order
    std::uint64_t reduced = 0; // black / yellow / other per pixel: what the import acts on
};

// The columns and rows the import reads: the grid is 1024 x 768 with the bitmap at [128][146].
inline constexpr int columns_read = 1024 - 128;
inline constexpr int rows_read = 768 - 146;

result probe(const std::filesystem::path& file);

// "name loaded WxH black=N yellow=N reduced=HEX full=HEX" or "name failed".
std::string line(const std::string& name, const result& r);

// The corpus files compared, as paths relative to the corpus folder, sorted.
std::vector<std::string> corpus_files(const std::filesystem::path& corpus);

} // namespace bmp_probe
