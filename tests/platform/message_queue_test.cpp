// Message sequences of the queue: synthesised repaints and timers, quit, creation and
// destruction.
#include "platform_fixture.h"

#include <thread>

namespace {

using ids = message_list;

using Repaint = platform_test;

TEST_F(Repaint, OneInvalidationGivesExactlyOnePaint) {
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_EQ(pump(), (ids{WM_PAINT}));
    EXPECT_EQ(pump(), ids{});
}

TEST_F(Repaint, RequestsBeforeThePaintMergeIntoOne) {
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

TEST_F(Repaint, ValidatedWindowGetsNoPaint) {
    InvalidateRect(window, nullptr, FALSE);
    ValidateRect(window, nullptr);
    EXPECT_EQ(pump(), ids{});

    InvalidateRect(window, nullptr, FALSE);
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    EXPECT_EQ(pump(), ids{});
}

TEST_F(Repaint, PaintWaitsUntilPostedMessagesAndInputAreHandled) {
    InvalidateRect(window, nullptr, FALSE);
    PostMessageW(window, WM_USER, 1, 0);
    driver_mouse_move(window, 5, 5);
    PostMessageW(window, WM_USER, 2, 0);
    EXPECT_EQ(pump(), (ids{WM_USER, WM_USER, WM_MOUSEMOVE, WM_PAINT}));
}

TEST_F(Repaint, APaintThatIsNotValidatedKeepsComing) {
    paint_handler = [](HWND) -> LRESULT { return 0; }; // never calls BeginPaint
    InvalidateRect(window, nullptr, FALSE);
    MSG m;
    EXPECT_TRUE(driver_dispatch_next(&m));
    EXPECT_EQ(m.message, UINT{WM_PAINT});
    EXPECT_TRUE(driver_dispatch_next(&m));
    EXPECT_EQ(m.message, UINT{WM_PAINT});
    ValidateRect(window, nullptr);
    EXPECT_FALSE(driver_dispatch_next(&m));
}

TEST_F(Repaint, EraseOnlyWhenAskedAndThenOnce) {
    InvalidateRect(window, nullptr, FALSE);
    EXPECT_EQ(pump(), (ids{WM_PAINT}));
    InvalidateRect(window, nullptr, TRUE);
    InvalidateRect(window, nullptr, FALSE); // does not take the erase back
    EXPECT_EQ(pump(), (ids{WM_PAINT, WM_ERASEBKGND}));
}

TEST_F(Repaint, EraseFalseKeepsWhatIsOnScreen) {
    HDC dc = GetDC(window);
    SetPixel(dc, 3, 4, RGB(1, 2, 3));
    ReleaseDC(window, dc);
    InvalidateRect(window, nullptr, FALSE);
    pump();
    EXPECT_EQ(driver_client_pixel(window, 3, 4), RGB(1, 2, 3));
    InvalidateRect(window, nullptr, TRUE);
    pump();
    EXPECT_EQ(driver_client_pixel(window, 3, 4), RGB(255, 255, 255)); // the class brush
}

TEST_F(Repaint, PaintDcIsClippedToTheUpdateRectangle) {
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
    EXPECT_EQ(driver_client_pixel(window, 10, 10), RGB(0, 0, 0));
    EXPECT_EQ(driver_client_pixel(window, 19, 19), RGB(0, 0, 0));
    EXPECT_EQ(driver_client_pixel(window, 20, 19), RGB(255, 255, 255));
    EXPECT_EQ(driver_client_pixel(window, 9, 10), RGB(255, 255, 255));
}

TEST_F(Repaint, UpdateWindowPaintsAtOnceAndOnlyWhenNeeded) {
    UpdateWindow(window);
    EXPECT_EQ(take_log(), ids{});
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
    EXPECT_EQ(take_log(), (ids{WM_PAINT}));
    EXPECT_EQ(pump(), ids{});
}

// On Win32 these run on the wall clock: periods and waits are long enough that a busy machine
// cannot turn one outcome into the other.
using Timers = platform_test;

TEST_F(Timers, TickComesWhenDueAndNeverPilesUp) {
    SetTimer(window, 10, 200, nullptr);
    EXPECT_EQ(pump(), ids{});
    // However long the program was busy, one tick is waiting, not a pile of them.
    driver_sleep_ms(1000);
    driver_pump();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].message, UINT{WM_TIMER});
    EXPECT_EQ(log[0].w_param, WPARAM{10});
    log.clear();
    EXPECT_EQ(pump(), ids{});
}

TEST_F(Timers, TicksCarryTheirIdentifierAndComeAfterThePaint) {
    SetTimer(window, 10, 1, nullptr);
    SetTimer(window, 11, 1, nullptr);
    InvalidateRect(window, nullptr, FALSE);
    driver_sleep_ms(50);
    driver_pump();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0].message, UINT{WM_PAINT});
    int tens = 0, elevens = 0;
    for (std::size_t i = 1; i < log.size(); ++i) {
        EXPECT_EQ(log[i].message, UINT{WM_TIMER}) << "message " << i;
        EXPECT_EQ(log[i].l_param, 0); // no timer procedure
        tens += log[i].w_param == 10 ? 1 : 0;
        elevens += log[i].w_param == 11 ? 1 : 0;
    }
    EXPECT_GE(tens, 1);
    EXPECT_GE(elevens, 1);
    EXPECT_EQ(tens + elevens, static_cast<int>(log.size()) - 1);
}

TEST_F(Timers, KilledTimerStopsAndUnknownOneFails) {
    SetTimer(window, 10, 1, nullptr);
    EXPECT_TRUE(KillTimer(window, 10));
    driver_sleep_ms(50);
    EXPECT_EQ(pump(), ids{});
    EXPECT_FALSE(KillTimer(window, 10));
}

// The program asks for 1 ms; Windows raises every period below USER_TIMER_MINIMUM to 10 ms.
TEST_F(Timers, PeriodsBelowTenMillisecondsAreRaisedToTen) {
    SetTimer(window, 10, 1, nullptr);
    SetTimer(window, 11, 0, nullptr);
    const unsigned passed = driver_run_for_ms(300);
    int ticks[2] = {0, 0};
    for (const auto& m : log) {
        if (m.message == WM_TIMER && (m.w_param == 10 || m.w_param == 11)) {
            ++ticks[m.w_param - 10];
        }
    }
    // At least one tick each, and at most one per 10 ms and one more for where the run began.
    for (int ticked : ticks) {
        EXPECT_GE(ticked, 1);
        EXPECT_LE(ticked, static_cast<int>(passed / USER_TIMER_MINIMUM) + 1) << passed << " ms";
    }
}

using Lifecycle = platform_test;

TEST_F(Lifecycle, CreationSendsNccreateThenCreateAndFirstShowSizesAndPaints) {
    log.clear();
    HWND w = make_window(L"second class", 0);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(take_log(), (ids{WM_NCCREATE, WM_CREATE}));
    ShowWindow(w, SW_SHOW);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().message, UINT{WM_SHOWWINDOW});
    EXPECT_EQ(log.front().w_param, WPARAM{TRUE});
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.left, 0);
    EXPECT_EQ(client.top, 0);
    // The client area is what is left inside the frame.
    EXPECT_GT(client.right, 0);
    EXPECT_LE(client.right, 320);
    EXPECT_GT(client.bottom, 0);
    EXPECT_LE(client.bottom, 240);
    int sizes = 0;
    for (const auto& m : log) {
        if (m.message == WM_SIZE) {
            ++sizes;
            EXPECT_EQ(m.l_param, MAKELPARAM(client.right, client.bottom));
        }
    }
    EXPECT_EQ(sizes, 1);
    UpdateWindow(w);
    // Showing erases the background once, whether at once or in the first paint.
    const ids got = take_log();
    EXPECT_EQ(count_of(got, WM_PAINT), 1) << ::testing::PrintToString(got);
    EXPECT_EQ(count_of(got, WM_ERASEBKGND), 1) << ::testing::PrintToString(got);
    EXPECT_EQ(pump(), ids{});
}

TEST_F(Lifecycle, AClassRegistersOnceUntilUnregistered) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = recording_proc;
    wc.lpszClassName = L"platform test class";
    EXPECT_EQ(RegisterClassExW(&wc), 0); // the fixture's window uses it
    EXPECT_FALSE(UnregisterClassW(L"platform test class", nullptr));
    wchar_t title[16];
    EXPECT_EQ(GetWindowTextW(window, title, 16), 4);
    EXPECT_STREQ(title, L"test");
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(Lifecycle, DefaultCloseDestroysAndTheLoopEndsWithTheQuitCode) {
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(take_log(), (ids{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 0); // a stale handle reaches nothing
    EXPECT_EQ(take_log(), ids{});
    PostQuitMessage(3);
    PostMessageW(nullptr, WM_USER, 0, 0);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT{WM_USER}); // posted messages first
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT{WM_QUIT});
    EXPECT_EQ(m.wParam, WPARAM{3});
}

TEST_F(Lifecycle, EachThreadHasItsOwnQueue) {
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
    driver_pump();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].w_param, WPARAM{5});
    MSG m;
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
}

} // namespace
