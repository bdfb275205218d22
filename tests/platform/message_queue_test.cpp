// Message sequences of the queue: synthesised repaints and timers, quit, creation and
// destruction, the tick count.
#include "platform_fixture.h"

#include <thread>

namespace {

using vorla::headless::advance_clock_ms;
using vorla::headless::run_until_idle;
using ids = std::vector<UINT>;

using repaint = platform_test;

TEST_F(repaint, one_invalidation_gives_exactly_one_paint) {
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_EQ(pump(), (ids{WM_PAINT}));
    EXPECT_EQ(pump(), ids{});
}

TEST_F(repaint, requests_before_the_paint_merge_into_one) {
    RECT a{10, 10, 20, 20};
    RECT b{100, 50, 110, 60};
    InvalidateRect(window, &a, FALSE);
    InvalidateRect(window, &b, FALSE);
    InvalidateRect(window, &a, FALSE);
    RECT pending;
    ASSERT_TRUE(GetUpdateRect(window, &pending, FALSE));
    EXPECT_EQ(pending.left, 10);
    EXPECT_EQ(pending.top, 10);
    EXPECT_EQ(pending.right, 110);
    EXPECT_EQ(pending.bottom, 60);
    EXPECT_EQ(pump(), (ids{WM_PAINT}));
}

TEST_F(repaint, validated_window_gets_no_paint) {
    InvalidateRect(window, nullptr, FALSE);
    ValidateRect(window, nullptr);
    EXPECT_EQ(pump(), ids{});

    InvalidateRect(window, nullptr, FALSE);
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    EXPECT_EQ(pump(), ids{});
}

TEST_F(repaint, paint_waits_until_posted_messages_and_input_are_handled) {
    InvalidateRect(window, nullptr, FALSE);
    PostMessageW(window, WM_USER, 1, 0);
    vorla::headless::mouse_move(window, 5, 5);
    PostMessageW(window, WM_USER, 2, 0);
    EXPECT_EQ(pump(), (ids{WM_USER, WM_USER, WM_MOUSEMOVE, WM_PAINT}));
}

TEST_F(repaint, a_paint_that_is_not_validated_keeps_coming) {
    paint_handler = [](HWND) -> LRESULT { return 0; }; // never calls BeginPaint
    InvalidateRect(window, nullptr, FALSE);
    MSG m;
    EXPECT_TRUE(vorla::headless::dispatch_next(&m));
    EXPECT_EQ(m.message, UINT{WM_PAINT});
    EXPECT_TRUE(vorla::headless::dispatch_next(&m));
    EXPECT_EQ(m.message, UINT{WM_PAINT});
    ValidateRect(window, nullptr);
    EXPECT_FALSE(vorla::headless::dispatch_next(&m));
}

TEST_F(repaint, erase_only_when_asked_and_then_once) {
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_EQ(count_of(pump(), WM_ERASEBKGND), 0);
    InvalidateRect(window, nullptr, TRUE);
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_EQ(pump(), (ids{WM_PAINT, WM_ERASEBKGND}));
}

TEST_F(repaint, erase_false_keeps_what_is_on_screen) {
    HDC dc = GetDC(window);
    SetPixel(dc, 3, 4, RGB(1, 2, 3));
    ReleaseDC(window, dc);
    InvalidateRect(window, nullptr, FALSE);
    pump();
    EXPECT_EQ(vorla::headless::client_pixel(window, 3, 4), RGB(1, 2, 3));
    InvalidateRect(window, nullptr, TRUE);
    pump();
    EXPECT_EQ(vorla::headless::client_pixel(window, 3, 4), RGB(255, 255, 255)); // the class brush
}

TEST_F(repaint, paint_dc_is_clipped_to_the_update_rectangle) {
    static RECT area{10, 10, 20, 20};
    paint_handler = [](HWND w) -> LRESULT {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        EXPECT_EQ(ps.rcPaint.left, area.left);
        EXPECT_EQ(ps.rcPaint.bottom, area.bottom);
        RECT all{0, 0, 300, 200};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        EndPaint(w, &ps);
        return 0;
    };
    InvalidateRect(window, &area, FALSE);
    pump();
    EXPECT_EQ(vorla::headless::client_pixel(window, 10, 10), RGB(0, 0, 0));
    EXPECT_EQ(vorla::headless::client_pixel(window, 19, 19), RGB(0, 0, 0));
    EXPECT_EQ(vorla::headless::client_pixel(window, 20, 19), RGB(255, 255, 255));
    EXPECT_EQ(vorla::headless::client_pixel(window, 9, 10), RGB(255, 255, 255));
}

TEST_F(repaint, update_window_paints_at_once_and_only_when_needed) {
    UpdateWindow(window);
    EXPECT_EQ(take_log(), ids{});
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(take_log(), (ids{WM_PAINT}));
    EXPECT_EQ(pump(), ids{});
}

using timers = platform_test;

TEST_F(timers, tick_arrives_when_due_and_only_once) {
    SetTimer(window, 10, 25, nullptr);
    advance_clock_ms(24);
    EXPECT_EQ(pump(), ids{});
    advance_clock_ms(1);
    EXPECT_EQ(pump(), (ids{WM_TIMER}));
    // However long the program was busy, one tick is waiting, not a pile of them.
    advance_clock_ms(1000);
    EXPECT_EQ(pump(), (ids{WM_TIMER}));
    EXPECT_EQ(pump(), ids{});
}

TEST_F(timers, tick_carries_the_identifier_and_comes_after_the_paint) {
    SetTimer(window, 10, 1, nullptr);
    SetTimer(window, 11, 1, nullptr);
    InvalidateRect(window, nullptr, FALSE);
    advance_clock_ms(USER_TIMER_MINIMUM);
    run_until_idle();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].message, UINT{WM_PAINT});
    EXPECT_EQ(log[1].message, UINT{WM_TIMER});
    EXPECT_EQ(log[1].w_param, WPARAM{10});
    EXPECT_EQ(log[2].w_param, WPARAM{11});
}

TEST_F(timers, killed_timer_stops_and_unknown_one_fails) {
    SetTimer(window, 10, 1, nullptr);
    EXPECT_TRUE(KillTimer(window, 10));
    advance_clock_ms(10);
    EXPECT_EQ(pump(), ids{});
    EXPECT_FALSE(KillTimer(window, 10));
}

TEST_F(timers, get_message_waits_for_the_next_tick_on_the_virtual_clock) {
    SetTimer(window, 10, 17, nullptr);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT{WM_TIMER});
    EXPECT_EQ(vorla::headless::clock_ms(), 17u);
    EXPECT_EQ(m.time, 17u);
}

// The program asks for 1 ms; Windows raises every period below USER_TIMER_MINIMUM to 10 ms.
TEST_F(timers, periods_below_ten_ms_are_raised_to_ten) {
    SetTimer(window, 10, 1, nullptr);
    SetTimer(window, 11, 0, nullptr);
    int ticks = 0;
    for (int ms = 0; ms < 1000; ++ms) {
        advance_clock_ms(1);
        ticks += count_of(pump(), WM_TIMER);
    }
    EXPECT_EQ(ticks, 2 * 100);
    MSG m;
    SetTimer(window, 10, 3, nullptr);
    KillTimer(window, 11);
    const std::uint64_t start = vorla::headless::clock_ms();
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(vorla::headless::clock_ms() - start, std::uint64_t{USER_TIMER_MINIMUM});
}

TEST_F(timers, get_tick_count_wraps_at_32_bits) {
    vorla::headless::set_clock_ms(0xFFFFFFFFull);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFFu);
    advance_clock_ms(2);
    EXPECT_EQ(GetTickCount(), 1u);
}

using lifecycle = platform_test;

TEST_F(lifecycle, creation_sends_nccreate_then_create_and_first_show_sizes_and_paints) {
    log.clear();
    HWND w = make_window(L"second class", 0);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(take_log(), (ids{WM_NCCREATE, WM_CREATE}));
    ShowWindow(w, SW_SHOW);
    EXPECT_EQ(take_log(), (ids{WM_SHOWWINDOW, WM_SIZE}));
    UpdateWindow(w);
    EXPECT_EQ(take_log(), (ids{WM_PAINT, WM_ERASEBKGND}));
    RECT r;
    GetClientRect(w, &r);
    EXPECT_EQ(r.right, 320);
    EXPECT_EQ(r.bottom, 240);
}

TEST_F(lifecycle, a_class_registers_once_until_unregistered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = recording_proc;
    wc.lpszClassName = L"platform test class";
    EXPECT_EQ(RegisterClassExW(&wc), 0); // the fixture's window uses it
    EXPECT_FALSE(UnregisterClassW(L"platform test class", nullptr));
}

TEST_F(lifecycle, default_close_destroys_and_the_loop_ends_with_the_quit_code) {
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(take_log(), (ids{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 0); // a stale handle reaches nothing
    PostQuitMessage(3);
    PostMessageW(nullptr, WM_USER, 0, 0);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT{WM_USER}); // posted messages first
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT{WM_QUIT});
    EXPECT_EQ(m.wParam, WPARAM{3});
}

TEST_F(lifecycle, each_thread_has_its_own_queue) {
    std::thread other([this] {
        PostMessageW(window, WM_USER, 5, 0); // reaches the window's thread
        PostQuitMessage(1);                  // ends only this thread's loop
        PostMessageW(nullptr, WM_USER, 6, 0);
        MSG m;
        EXPECT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.wParam, WPARAM{6});
        EXPECT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(m.message, UINT{WM_QUIT});
    });
    other.join();
    vorla::headless::run_until_idle();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].w_param, WPARAM{5});
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(lifecycle, drawing_on_a_destroyed_window_is_refused) {
    PAINTSTRUCT ps;
    InvalidateRect(window, nullptr, FALSE);
    HDC dc = BeginPaint(window, &ps);
    DestroyWindow(window);
    EXPECT_FALSE(LineTo(dc, 10, 10));
    EXPECT_TRUE(EndPaint(window, &ps));
    EXPECT_EQ(GetDC(window), nullptr);
}

} // namespace
