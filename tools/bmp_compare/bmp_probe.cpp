#include "bmp_probe.h"

#include "platform/win32.h"

#include <algorithm>
#include <cstdio>

namespace bmp_probe {

namespace {

struct fnv1a {
    std::uint64_t value = 0xcbf29ce484222325ull;
    void add(std::uint32_t word) {
        for (int i = 0; i < 4; ++i) {
            value ^= (word >> (8 * i)) & 0xFFu;
            value *= 0x100000001b3ull;
        }
    }
};

} // namespace

result probe(const std::filesystem::path& file) {
    result r;
    // As the import loads it: at the file's own size, as a bitmap compatible with the screen.
    const auto bitmap = static_cast<HBITMAP>(
        LoadImageW(nullptr, file.wstring().c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (bitmap == nullptr) {
        return r;
    }
    r.loaded = true;
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    r.width = info.bmWidth;
    r.height = info.bmHeight;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    const int columns = std::clamp(r.width, 0, columns_read);
    const int rows = std::clamp(r.height, 0, rows_read);
    fnv1a full, reduced;
    for (int x = 0; x < columns; ++x) {
        for (int y = 0; y < rows; ++y) {
            const COLORREF c = GetPixel(dc, x, y);
            full.add(c);
            const std::uint32_t kind = c == 0 ? 0u : c == 0x00FFFFu ? 1u : 2u;
            reduced.add(kind);
            r.black += kind == 0 ? 1 : 0;
            r.yellow += kind == 1 ? 1 : 0;
        }
    }
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    r.full = full.value;
    r.reduced = reduced.value;
    return r;
}

std::string line(const std::string& name, const result& r) {
    if (!r.loaded) {
        return name + " failed";
    }
    char text[160];
    std::snprintf(text, sizeof text,
                  " loaded %dx%d black=%ld yellow=%ld reduced=%016llx full=%016llx", r.width,
                  r.height, r.black, r.yellow, static_cast<unsigned long long>(r.reduced),
                  static_cast<unsigned long long>(r.full));
    return name + text;
}

std::vector<std::string> corpus_files(const std::filesystem::path& corpus) {
    std::vector<std::string> names;
    for (const char* folder : {"bmpsuite-2.8/g", "bmpsuite-2.8/q", "bmpsuite-2.8/b", "hostile"}) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(corpus / folder, error)) {
            if (entry.path().extension() == ".bmp") {
                names.push_back(std::string(folder) + "/" + entry.path().filename().string());
            }
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace bmp_probe
