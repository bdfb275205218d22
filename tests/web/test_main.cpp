// GoogleTest's main for the tests built to wasm, with the character set the browser program
// sets up (web_backend.cpp): the C library there formats wide text through UTF-8, and its
// "C" locale has no room for U+3000.
#include <gtest/gtest.h>

#include <clocale>

int main(int argc, char** argv) {
    std::setlocale(LC_CTYPE, "C.UTF-8");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
