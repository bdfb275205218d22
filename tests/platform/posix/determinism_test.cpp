// The program on the headless backend gives the same client image, byte for byte, for the same
// input: the clock is virtual and the text is rendered without smoothing.
#include "harness/harness.h"
#include "platform/headless/headless.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

namespace headless = vorla::headless;
using headless::mouse_button;

std::vector<std::uint32_t> run_session() {
    HWND window = test_start_window();
    EXPECT_NE(window, nullptr);
    test_pump();
    headless::mouse_move(window, 300, 300);
    headless::key_tap(window, 'L');
    headless::mouse_press(window, mouse_button::left, 300, 300);
    headless::mouse_move(window, 500, 350);
    headless::run_for_ms(3);
    headless::mouse_release(window, mouse_button::left, 500, 350);
    headless::mouse_press(window, mouse_button::right, 400, 400);
    headless::mouse_release(window, mouse_button::right, 400, 400);
    headless::run_for_ms(20);
    std::vector<std::uint32_t> image = headless::client_image(window);
    test_stop_window();
    return image;
}

TEST(HeadlessDeterminism, SameInputSameClientImage) {
    const std::vector<std::uint32_t> first = run_session();
    const std::vector<std::uint32_t> second = run_session();
    ASSERT_EQ(first.size(), 1024u * 768u);
    EXPECT_TRUE(first == second);
    // The session did draw: red pressure in the field and dark panel text.
    int red = 0, dark = 0;
    for (std::uint32_t p : first) {
        red += (p >> 16) == 0xFF && (p & 0xFFFF) != 0xFFFF ? 1 : 0;
        dark += p == 0 ? 1 : 0;
    }
    EXPECT_GT(red, 100);
    EXPECT_GT(dark, 100);
}

} // namespace
