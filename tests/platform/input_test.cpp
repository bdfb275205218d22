// Input as the window procedure sees it: capture, position words, double clicks, keys,
// resizing and the close box.
#include "platform_fixture.h"

namespace {

namespace headless = vorla::headless;
using vorla::headless::mouse_button;
using ids = std::vector<UINT>;

using mouse = platform_test;

TEST_F(mouse, outside_the_window_only_a_captured_window_hears_the_mouse) {
    headless::mouse_move(window, -1, 10);
    headless::mouse_move(window, 10, 400);
    EXPECT_EQ(pump(), ids{});

    SetCapture(window);
    EXPECT_EQ(GetCapture(), window);
    headless::mouse_move(window, -1, -5);
    vorla::headless::run_until_idle();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, UINT{WM_MOUSEMOVE});
    // Two 16-bit two's-complement words.
    EXPECT_EQ(LOWORD(log[0].l_param), 0xFFFF);
    EXPECT_EQ(HIWORD(log[0].l_param), 0xFFFB);
    log.clear();

    ReleaseCapture();
    EXPECT_EQ(take_log(), (ids{WM_CAPTURECHANGED}));
    headless::mouse_move(window, -1, -5);
    EXPECT_EQ(pump(), ids{});
}

TEST_F(mouse, buttons_report_position_and_held_buttons) {
    headless::mouse_press(window, mouse_button::left, 30, 40);
    headless::mouse_move(window, 31, 41);
    headless::mouse_release(window, mouse_button::left, 31, 41);
    vorla::headless::run_until_idle();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].message, UINT{WM_LBUTTONDOWN});
    EXPECT_EQ(log[0].l_param, MAKELPARAM(30, 40));
    EXPECT_EQ(log[1].w_param & MK_LBUTTON, WPARAM{MK_LBUTTON});
    EXPECT_EQ(log[2].message, UINT{WM_LBUTTONUP});
    EXPECT_EQ(log[2].w_param & MK_LBUTTON, WPARAM{0});
}

TEST_F(mouse, a_run_of_moves_reaches_the_window_as_its_latest_position) {
    headless::mouse_move(window, 1, 1);
    headless::mouse_move(window, 2, 2);
    headless::mouse_move(window, 3, 3);
    vorla::headless::run_until_idle();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].l_param, MAKELPARAM(3, 3));
}

TEST_F(mouse, second_press_within_time_and_distance_is_a_double_click) {
    auto click = [this](mouse_button b, int x, int y) {
        headless::mouse_press(window, b, x, y);
        headless::mouse_release(window, b, x, y);
        return pump();
    };
    EXPECT_EQ(click(mouse_button::left, 50, 50), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    headless::advance_clock_ms(100);
    EXPECT_EQ(click(mouse_button::left, 52, 48), (ids{WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    // A third press starts over.
    EXPECT_EQ(click(mouse_button::left, 52, 48), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // Too late.
    headless::advance_clock_ms(GetDoubleClickTime());
    EXPECT_EQ(click(mouse_button::left, 52, 48), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // Too far.
    EXPECT_EQ(click(mouse_button::left, 55, 48), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP}));
    // The other button.
    EXPECT_EQ(click(mouse_button::right, 55, 48), (ids{WM_RBUTTONDOWN, WM_RBUTTONUP}));
    EXPECT_EQ(click(mouse_button::right, 55, 48), (ids{WM_RBUTTONDBLCLK, WM_RBUTTONUP}));
}

TEST_F(mouse, without_the_class_style_there_are_no_double_clicks) {
    HWND plain = make_window(L"no double clicks", 0);
    ShowWindow(plain, SW_SHOW);
    pump();
    for (int i = 0; i < 2; ++i) {
        headless::mouse_press(plain, mouse_button::left, 5, 5);
        headless::mouse_release(plain, mouse_button::left, 5, 5);
    }
    EXPECT_EQ(pump(), (ids{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

using keys = platform_test;

TEST_F(keys, press_and_release_carry_the_virtual_key_and_repeat_releases_are_dropped) {
    headless::key_press(window, 'S');
    headless::key_press(window, 'S', true);
    headless::key_release(window, 'S', true);
    headless::key_release(window, 'S');
    vorla::headless::run_until_idle();
    std::vector<std::pair<UINT, WPARAM>> got;
    for (const auto& m : log) {
        got.push_back({m.message, m.w_param});
    }
    const std::vector<std::pair<UINT, WPARAM>> expected{
        {WM_KEYDOWN, 'S'}, {WM_CHAR, 's'}, {WM_KEYDOWN, 'S'}, {WM_CHAR, 's'}, {WM_KEYUP, 'S'}};
    EXPECT_EQ(got, expected);
    EXPECT_EQ(log[0].l_param & (LPARAM{1} << 30), 0);
    EXPECT_NE(log[2].l_param & (LPARAM{1} << 30), 0); // the repeat says the key was down
    EXPECT_NE(log[4].l_param & (LPARAM{1} << 31), 0);
}

// Keys with Alt held, and F10, are system keys; Alt alone is one unless a key came between
// its press and release; Control+Alt (AltGr) types ordinary keys.
TEST_F(keys, alt_and_f10_make_system_keys) {
    const auto sequence = [this](bool with_characters = true) {
        vorla::headless::run_until_idle();
        std::vector<std::pair<UINT, WPARAM>> got;
        for (const auto& m : log) {
            if (with_characters || (m.message != WM_CHAR && m.message != WM_SYSCHAR)) {
                got.push_back({m.message, m.w_param});
            }
        }
        log.clear();
        return got;
    };
    using seq = std::vector<std::pair<UINT, WPARAM>>;
    headless::key_press(window, VK_MENU);
    headless::key_tap(window, 'S');
    headless::key_release(window, VK_MENU);
    EXPECT_EQ(sequence(), (seq{{WM_SYSKEYDOWN, VK_MENU},
                               {WM_SYSKEYDOWN, 'S'},
                               {WM_SYSCHAR, 's'},
                               {WM_SYSKEYUP, 'S'},
                               {WM_KEYUP, VK_MENU}}));
    headless::key_tap(window, VK_MENU);
    EXPECT_EQ(sequence(), (seq{{WM_SYSKEYDOWN, VK_MENU}, {WM_SYSKEYUP, VK_MENU}}));
    headless::key_tap(window, VK_F10);
    EXPECT_EQ(sequence(), (seq{{WM_SYSKEYDOWN, VK_F10}, {WM_SYSKEYUP, VK_F10}}));
    headless::key_press(window, VK_CONTROL);
    headless::key_press(window, VK_MENU);
    headless::key_tap(window, 'S');
    headless::key_release(window, VK_MENU);
    headless::key_release(window, VK_CONTROL);
    EXPECT_EQ(sequence(false), (seq{{WM_KEYDOWN, VK_CONTROL},
                                    {WM_KEYDOWN, VK_MENU},
                                    {WM_KEYDOWN, 'S'},
                                    {WM_KEYUP, 'S'},
                                    {WM_KEYUP, VK_MENU},
                                    {WM_KEYUP, VK_CONTROL}}));
}

TEST_F(keys, alt_f4_closes_the_window_through_the_default_handling) {
    headless::key_press(window, VK_MENU);
    headless::key_tap(window, VK_F4);
    headless::key_release(window, VK_MENU);
    vorla::headless::run_until_idle();
    EXPECT_FALSE(IsWindow(window));
}

using window_manager = platform_test;

TEST_F(window_manager, a_size_change_erases_the_whole_client_area_with_these_class_styles) {
    HDC dc = GetDC(window);
    RECT all{0, 0, 320, 240};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(window, dc);
    headless::resize_client(window, 400, 300);
    EXPECT_EQ(take_log(), (ids{WM_SIZE}));
    EXPECT_EQ(LOWORD(MAKELPARAM(400, 300)), 400);
    EXPECT_EQ(pump(), (ids{WM_PAINT, WM_ERASEBKGND}));
    EXPECT_EQ(headless::client_width(window), 400);
    EXPECT_EQ(headless::client_pixel(window, 5, 5), RGB(255, 255, 255));
    EXPECT_EQ(headless::client_pixel(window, 399, 299), RGB(255, 255, 255));
}

TEST_F(window_manager, the_close_box_goes_through_the_default_close_handling) {
    headless::request_close(window);
    EXPECT_EQ(pump(), (ids{WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(window_manager, screen_metrics_come_from_the_backend) {
    headless::set_screen_size(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    wchar_t title[16];
    EXPECT_EQ(GetWindowTextW(window, title, 16), 4);
    EXPECT_STREQ(title, L"test");
    EXPECT_EQ(headless::window_title(window), L"test");
    EXPECT_TRUE(headless::window_visible(window));
}

} // namespace
