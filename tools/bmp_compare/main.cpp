// bmp-probe CORPUS: one line per corpus file on standard output, what the bitmap import would
// see of it; on standard error, the slowest file and its time.
#include "bmp_probe.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bmp-probe CORPUS\n");
        return 2;
    }
    const std::filesystem::path corpus(argv[1]);
    const auto names = bmp_probe::corpus_files(corpus);
    if (names.empty()) {
        std::fprintf(stderr, "no bitmaps under %s\n", argv[1]);
        return 1;
    }
    double slowest = 0;
    std::string slowest_name;
    for (const auto& name : names) {
        const auto start = std::chrono::steady_clock::now();
        const auto r = bmp_probe::probe(corpus / name);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (took.count() >= slowest) {
            slowest = took.count();
            slowest_name = name;
        }
        std::printf("%s\n", bmp_probe::line(name, r).c_str());
    }
    std::fprintf(stderr, "%zu files; slowest %s in %.3f s\n", names.size(), slowest_name.c_str(),
                 slowest);
    return 0;
}
