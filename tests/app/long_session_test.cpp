// A long session must not leak: every pen a drawing block creates is deleted by it, and the
// paint DCs go back with EndPaint, so the process's GDI and USER counts stay where they were.
#include "window_fixture.h"

#include "harness/driver.h"

namespace {

using LongSession = window_test;

int walls_in_field() {
    int n = 0;
    for (int x = 128; x <= 895; ++x) {
        for (int y = 146; y <= 721; ++y) {
            n += simulation_state.medium_mask[x][y] == 0;
        }
    }
    return n;
}

TEST_F(LongSession, ThousandRepaintsPerToolAndThousandDragsLeaveGuiCountsAlone) {
    // A placed, paused source: repaints draw the panel, the tool stage and the count line.
    right_click(700, 600);
    test_pump();
    key(VK_SPACE);
    ASSERT_EQ(state().is_running, 0);

    const DWORD gdi_start = driver_gdi_objects();
    const HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3)); // the count sees one more object
    EXPECT_EQ(driver_gdi_objects(), gdi_start + 1);
    DeleteObject(pen);
    const DWORD user_start = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    int drags = 0;
    for (const char tool : {'J', 'L', 'R', 'E'}) {
        SCOPED_TRACE(testing::Message() << "tool " << tool);
        key(VK_DELETE);
        key(static_cast<WPARAM>(tool));
        ASSERT_EQ(state().draw_kind, tool);
        int repaints = 0;
        for (int i = 0; i < 250; ++i, ++drags) {
            const int x = 200 + i % 40 * 10;
            const int y = 200 + i % 30 * 10;
            send(WM_LBUTTONDOWN, MK_LBUTTON, at(x, y));
            send(WM_MOUSEMOVE, MK_LBUTTON, at(x + 30, y + 20));
            repaints += test_pump(); // preview or trace
            send(WM_MOUSEMOVE, MK_LBUTTON, at(x + 60, y + 40));
            repaints += test_pump();
            send(WM_LBUTTONUP, 0, at(x + 60, y + 40));
            repaints += test_pump(); // the commit
            send(WM_MOUSEMOVE, 0, at(x, y));
            repaints += test_pump();
        }
        EXPECT_GE(repaints, 1000);      // under Wine, real timer ticks may add some
        EXPECT_GT(walls_in_field(), 0); // the drags drew
        EXPECT_EQ(driver_gdi_objects(), gdi_start);
        if (!driver_under_wine()) { // Wine's GetGuiResources answers 0
            EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user_start);
        }
    }
    EXPECT_EQ(drags, 1000);
    EXPECT_EQ(state().time_step, 8); // paused throughout: only the first repaint stepped
    if (!driver_under_wine()) {
        EXPECT_GT(user_start, 0u); // the window itself is counted
    }
}

} // namespace
