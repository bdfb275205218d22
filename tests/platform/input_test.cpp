// Input as the window procedure sees it: capture, position words, double clicks, keys,
// resizing and the close box.
#include "platform_fixture.h"

#include <utility>

namespace {

using ids = message_list;

using Mouse = platform_test;

TEST_F(Mouse, OutsideTheWindowOnlyACapturedWindowHearsTheMouse) {
    driver_mouse_move(window, -1, 10);
    driver_mouse_move(window, 10, 400);
    EXPECT_EQ(pump(), ids{});

    SetCapture(window);
    EXPECT_EQ(GetCapture(), window);
    driver_mouse_move(window, -1, -5);
    driver_pump();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, UINT{WM_MOUSEMOVE});
    // Two 16-bit two's-complement words.
    EXPECT_EQ(LOWORD(log[0].l_param), 0xFFFF);
    EXPECT_EQ(HIWORD(log[0].l_param), 0xFFFB);
    log.clear();

    ReleaseCapture();
    EXPECT_EQ(take_log(), (ids{WM_CAPTURECHANGED}));
    driver_mouse_move(window, -2, -5);
    EXPECT_EQ(pump(), ids{});
}

TEST_F(Mouse, ButtonsReportPositionAndHeldButtons) {
    driver_mouse_move(window, 30, 40);
    EXPECT_EQ(pump(), (ids{WM_MOUSEMOVE}));
    driver_mouse_press(window, driver_button::left, 30, 40);
    driver_mouse_move(window, 31, 41);
    driver_mouse_release(window, driver_button::left, 31, 41);
    driver_pump();
    ASSERT_EQ(log.size(), 3u) << log_text();
    EXPECT_EQ(log[0].message, UINT{WM_LBUTTONDOWN});
    EXPECT_EQ(log[0].l_param, MAKELPARAM(30, 40));
    EXPECT_EQ(log[0].w_param & MK_LBUTTON, WPARAM{MK_LBUTTON});
    EXPECT_EQ(log[1].message, UINT{WM_MOUSEMOVE});
    EXPECT_EQ(log[1].w_param & MK_LBUTTON, WPARAM{MK_LBUTTON});
    EXPECT_EQ(log[2].message, UINT{WM_LBUTTONUP});
    EXPECT_EQ(log[2].l_param, MAKELPARAM(31, 41));
    EXPECT_EQ(log[2].w_param & MK_LBUTTON, WPARAM{0});
}

TEST_F(Mouse, ARunOfMovesReachesTheWindowAsItsLatestPosition) {
    driver_mouse_move(window, 1, 1);
    driver_mouse_move(window, 2, 2);
    driver_mouse_move(window, 3, 3);
    driver_pump();
    ASSERT_EQ(log.size(), 1u) << log_text();
    EXPECT_EQ(log[0].l_param, MAKELPARAM(3, 3));
}

// The second click must land within the SM_CXDOUBLECLK by SM_CYDOUBLECLK rectangle (4 by 4)
// around the first (GetSystemMetrics, learn.microsoft.com): one pixel off is inside it, two
// are not, since a 4-pixel-wide rectangle cannot reach two pixels to either side.
TEST_F(Mouse, SecondPressWithinTimeAndDistanceIsADoubleClick) {
    auto click = [this](driver_button b, int x, int y) {
        driver_mouse_move(window, x, y);
        driver_pump();
        log.clear();
        driver_mouse_press(window, b, x, y);
        driver_mouse_release(window, b, x, y);
        return pump();
    };
    const driver_button left = driver_button::left, right = driver_button::right;
    EXPECT_EQ(click(left, 50, 50), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    driver_sleep_ms(100);
    EXPECT_EQ(click(left, 51, 49), (ids{WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    // A third press starts over.
    EXPECT_EQ(click(left, 51, 49), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // Too late.
    driver_sleep_ms(GetDoubleClickTime() + 50);
    EXPECT_EQ(click(left, 51, 49), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // Too far.
    EXPECT_EQ(click(left, 53, 49), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(click(left, 53, 47), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // The other button.
    EXPECT_EQ(click(right, 53, 47), (ids{WM_RBUTTONDOWN, WM_RBUTTONUP}));
    EXPECT_EQ(click(right, 53, 47), (ids{WM_RBUTTONDBLCLK, WM_RBUTTONUP}));
}

TEST_F(Mouse, WithoutTheClassStyleThereAreNoDoubleClicks) {
    HWND plain = make_window(L"no double clicks", 0);
    show(plain);
    driver_mouse_move(plain, 5, 5);
    driver_pump();
    log.clear();
    for (int i = 0; i < 2; ++i) {
        driver_mouse_press(plain, driver_button::left, 5, 5);
        driver_mouse_release(plain, driver_button::left, 5, 5);
    }
    EXPECT_EQ(pump(), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

using Keys = platform_test;

std::vector<std::pair<UINT, WPARAM>> keys_of(const std::vector<recorded_message>& log) {
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const auto& m : log) {
        got.push_back({m.message, m.w_param});
    }
    return got;
}

TEST_F(Keys, PressAndReleaseCarryTheVirtualKeyAndItsPreviousState) {
    driver_key_press(window, 'S');
    driver_key_press(window, 'S'); // held: the keyboard repeats it
    driver_key_release(window, 'S');
    driver_pump();
    const std::vector<std::pair<UINT, WPARAM>> expected{
        {WM_KEYDOWN, 'S'}, {WM_CHAR, 's'}, {WM_KEYDOWN, 'S'}, {WM_CHAR, 's'}, {WM_KEYUP, 'S'}};
    ASSERT_EQ(keys_of(log), expected);
    EXPECT_EQ(log[0].l_param & (LPARAM{1} << 30), 0);
    EXPECT_NE(log[2].l_param & (LPARAM{1} << 30), 0); // the repeat says the key was down
    EXPECT_NE(log[4].l_param & (LPARAM{1} << 30), 0);
    EXPECT_NE(log[4].l_param & (LPARAM{1} << 31), 0); // and the release that it goes up
}

// Keys with Alt held, and F10, are system keys: the program passes them to DefWindowProcW,
// so Alt+S does not act as S. Alt alone is one unless a key came between its press and
// release; Control+Alt (AltGr) types ordinary keys.
TEST_F(Keys, AltAndF10MakeSystemKeys) {
    using seq = std::vector<std::pair<UINT, WPARAM>>;
    const auto sequence = [this](bool with_characters = true) {
        driver_pump();
        seq got;
        for (const auto& m : log) {
            if (with_characters || (m.message != WM_CHAR && m.message != WM_SYSCHAR)) {
                got.push_back({m.message, m.w_param});
            }
        }
        log.clear();
        return got;
    };
    const auto tap = [this](unsigned key) {
        driver_key_press(window, key);
        driver_key_release(window, key);
    };
    driver_key_press(window, VK_MENU);
    tap('S');
    driver_key_release(window, VK_MENU);
    EXPECT_EQ(sequence(), (seq{{WM_SYSKEYDOWN, VK_MENU},
                               {WM_SYSKEYDOWN, 'S'},
                               {WM_SYSCHAR, 's'},
                               {WM_SYSKEYUP, 'S'},
                               {WM_KEYUP, VK_MENU}}));
    tap(VK_MENU);
    EXPECT_EQ(sequence(), (seq{{WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYUP, VK_MENU}}));
    tap(VK_F10);
    EXPECT_EQ(sequence(), (seq{{WM_SYSKEYDOWN, VK_F10}, {WM_SYSKEYUP, VK_F10}}));
    driver_key_press(window, VK_CONTROL);
    driver_key_press(window, VK_MENU);
    tap('S');
    driver_key_release(window, VK_MENU);
    driver_key_release(window, VK_CONTROL);
    EXPECT_EQ(sequence(false), (seq{{WM_KEYDOWN, VK_CONTROL},
                                    {WM_KEYDOWN, VK_MENU},
                                    {WM_KEYDOWN, 'S'},
                                    {WM_KEYUP, 'S'},
                                    {WM_KEYUP, VK_MENU},
                                    {WM_KEYUP, VK_CONTROL}}));
}

TEST_F(Keys, AltF4ClosesTheWindowThroughTheDefaultHandling) {
    driver_key_press(window, VK_MENU);
    driver_key_press(window, VK_F4);
    driver_key_release(window, VK_F4);
    driver_key_release(window, VK_MENU);
    driver_pump();
    EXPECT_FALSE(IsWindow(window));
}

using WindowManager = platform_test;

TEST_F(WindowManager, ASizeChangeErasesTheWholeClientAreaWithTheseClassStyles) {
    HDC dc = GetDC(window);
    RECT all{0, 0, 320, 240};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(window, dc);
    driver_resize_client(window, 400, 300);
    driver_pump();
    int sizes = 0;
    for (const auto& m : log) {
        if (m.message == WM_SIZE) {
            ++sizes;
            EXPECT_EQ(m.l_param, MAKELPARAM(400, 300));
        }
    }
    EXPECT_EQ(sizes, 1);
    const ids got = take_log();
    EXPECT_EQ(count_of(got, WM_PAINT), 1) << ::testing::PrintToString(got);
    EXPECT_EQ(count_of(got, WM_ERASEBKGND), 1) << ::testing::PrintToString(got);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 300);
    EXPECT_EQ(driver_client_pixel(window, 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(driver_client_pixel(window, 399, 299), RGB(255, 255, 255));
}

TEST_F(WindowManager, TheCloseBoxGoesThroughTheDefaultCloseHandling) {
    driver_click_close_box(window);
    ids got;
    for (UINT id : pump()) {
        if (id != WM_CAPTURECHANGED) { // Windows holds the capture while the box is pressed
            got.push_back(id);
        }
    }
    EXPECT_EQ(got, (ids{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
}

} // namespace
