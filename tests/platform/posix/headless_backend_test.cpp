// What only our layer over the headless backend has: a virtual clock that makes due times
// exact, X's auto-repeated key releases, screen metrics from the backend, handles that stay
// refused once their window is gone, and the dialog requests as the backend receives them.
#include "platform/headless/headless.h"
#include "platform/platform_fixture.h"

namespace {

namespace headless = vorla::headless;
using ids = message_list;

using VirtualClock = platform_test;

TEST_F(VirtualClock, TickArrivesToTheMillisecond) {
    SetTimer(window, 10, 15, nullptr);
    headless::advance_clock_ms(14);
    EXPECT_EQ(pump(), ids{});
    headless::advance_clock_ms(1);
    EXPECT_EQ(pump(), (ids{WM_TIMER}));
    headless::advance_clock_ms(1000);
    EXPECT_EQ(pump(), (ids{WM_TIMER}));
    EXPECT_EQ(pump(), ids{});
}

TEST_F(VirtualClock, GetMessageWaitsForTheNextTickOnTheVirtualClock) {
    SetTimer(window, 10, 17, nullptr);
    MSG m;
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, UINT{WM_TIMER});
    EXPECT_EQ(headless::clock_ms(), 17u);
    EXPECT_EQ(m.time, 17u);
}

// On the virtual clock the raised period is exact: 100 ticks a second, 10 ms to the next one.
TEST_F(VirtualClock, RaisedPeriodsTickExactlyEveryTenMilliseconds) {
    SetTimer(window, 10, 1, nullptr);
    SetTimer(window, 11, 0, nullptr);
    int ticks = 0;
    for (int ms = 0; ms < 1000; ++ms) {
        headless::advance_clock_ms(1);
        ticks += count_of(pump(), WM_TIMER);
    }
    EXPECT_EQ(ticks, 2 * 100);
    MSG m;
    SetTimer(window, 10, 3, nullptr);
    KillTimer(window, 11);
    const std::uint64_t start = headless::clock_ms();
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(headless::clock_ms() - start, std::uint64_t{USER_TIMER_MINIMUM});
}

TEST_F(VirtualClock, GetTickCountWrapsAt32Bits) {
    headless::set_clock_ms(0xFFFFFFFFull);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFFFu);
    headless::advance_clock_ms(2);
    EXPECT_EQ(GetTickCount(), 1u);
}

using HeadlessBackend = platform_test;

TEST_F(HeadlessBackend, AnAutoRepeatedReleaseIsDropped) {
    headless::key_press(window, 'S');
    headless::key_release(window, 'S', true); // X sends these while a key is held
    headless::key_press(window, 'S', true);
    headless::key_release(window, 'S');
    EXPECT_EQ(pump(), (ids{WM_KEYDOWN, WM_CHAR, WM_KEYDOWN, WM_CHAR, WM_KEYUP}));
}

TEST_F(HeadlessBackend, ScreenMetricsTitleAndVisibilityComeFromTheBackend) {
    headless::set_screen_size(800, 600);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 600);
    EXPECT_EQ(headless::window_title(window), L"test");
    EXPECT_TRUE(headless::window_visible(window));
    EXPECT_EQ(headless::client_width(window), 320); // no frame: the client is the window
}

TEST_F(HeadlessBackend, DrawingOnADestroyedWindowIsRefused) {
    PAINTSTRUCT ps;
    InvalidateRect(window, nullptr, FALSE);
    HDC dc = BeginPaint(window, &ps);
    DestroyWindow(window);
    EXPECT_FALSE(LineTo(dc, 10, 10));
    EXPECT_TRUE(EndPaint(window, &ps));
    EXPECT_EQ(GetDC(window), nullptr);
}

TEST_F(HeadlessBackend, DialogsReachTheBackendWithEverythingTheProgramAsked) {
    static const wchar_t filter[] = L"bitmap(*.bmp)\0*.bmp\0All files(*.*)\0*.*\0";
    wchar_t path[MAX_PATH] = L"/old/choice.bmp";
    OPENFILENAMEW params{};
    params.lStructSize = sizeof params;
    params.hwndOwner = window;
    params.lpstrFilter = filter;
    params.lpstrFile = path;
    params.nMaxFile = MAX_PATH;
    params.Flags = OFN_FILEMUSTEXIST;
    params.lpstrDefExt = L"bmp";
    EXPECT_FALSE(GetOpenFileNameW(&params)); // no answer queued: cancelled
    ASSERT_EQ(headless::open_dialogs_shown().size(), 1u);
    const auto& asked = headless::open_dialogs_shown()[0];
    EXPECT_TRUE(asked.title.empty()); // the system's own caption
    ASSERT_EQ(asked.filters.size(), 2u);
    EXPECT_EQ(asked.filters[0].second, L"*.bmp");
    EXPECT_EQ(asked.filters[1].second, L"*.*");
    EXPECT_EQ(asked.initial_path, L"/old/choice.bmp");
    EXPECT_EQ(asked.default_extension, L"bmp");
    EXPECT_TRUE(asked.file_must_exist);

    MessageBoxW(window, L"t", L"c", MB_ICONWARNING);
    MessageBoxW(window, L"t", nullptr, MB_OK);
    const auto& boxes = headless::message_boxes_shown();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].icon, vorla::platform::message_box_icon::warning);
    EXPECT_EQ(boxes[1].icon, vorla::platform::message_box_icon::none);
    EXPECT_EQ(boxes[1].caption, L"Error"); // Win32's caption when none is given
}

} // namespace
