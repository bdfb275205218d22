// Mouse tracking and the tool stage: the drag points after each event, the rubber bands
// drawn under R2_NOT, and the commit blocks over several repaints, read back from
// medium_mask and from the window's pixels.
#include "window_fixture.h"

namespace {

constexpr COLORREF trace_color = 0x800000;
constexpr COLORREF white = 0xFFFFFF;

using DrawingTool = window_test;

struct drag_points {
    point start;
    point end;
    point prev_end;
};

drag_points points() {
    const auto& s = simulation_state;
    return {s.drag_start, s.drag_end, s.drag_prev_end};
}

void expect_points(point start, point end, point prev_end) {
    const drag_points p = points();
    EXPECT_EQ(p.start, start);
    EXPECT_EQ(p.end, end);
    EXPECT_EQ(p.prev_end, prev_end);
}

int walls_in(int left, int top, int right, int bottom) {
    int n = 0;
    for (int x = left; x <= right; ++x) {
        for (int y = top; y <= bottom; ++y) {
            n += simulation_state.medium_mask[x][y] == 0;
        }
    }
    return n;
}

int pixels_of(COLORREF color, int x0, int y0, int dx, int dy, int count) {
    int n = 0;
    for (int i = 0; i < count; ++i) {
        n += test_client_pixel(x0 + i * dx, y0 + i * dy) == color;
    }
    return n;
}

TEST_F(DrawingTool, FreeHandPointsWallsAndTrace) {
    EXPECT_EQ(send(WM_LBUTTONDOWN, MK_LBUTTON, at(300, 300)), 0);
    expect_points({300, 300}, {300, 300}, {300, 300});
    EXPECT_EQ(state().left_button_down, 1);
    EXPECT_FALSE(repaint_pending()); // the press requests nothing

    EXPECT_EQ(send(WM_MOUSEMOVE, MK_LBUTTON, at(320, 300)), 0);
    expect_points({300, 300}, {320, 300}, {300, 300});
    EXPECT_EQ(state().cursor_pos, (point{320, 300}));
    EXPECT_EQ(test_pump(), 1);
    expect_points({320, 300}, {320, 300}, {300, 300});
    EXPECT_EQ(state().medium_mask[310][300], 0);
    EXPECT_EQ(state().medium_mask[310][301], 0);
    EXPECT_EQ(state().medium_mask[310][302], 1);
    EXPECT_EQ(pixels_of(trace_color, 300, 300, 1, 0, 20), 20); // LineTo leaves out the end

    // Several moves between two repaints make one segment, from the last vertex.
    send(WM_MOUSEMOVE, MK_LBUTTON, at(330, 310));
    send(WM_MOUSEMOVE, MK_LBUTTON, at(340, 300));
    EXPECT_EQ(test_pump(), 1);
    expect_points({340, 300}, {340, 300}, {300, 300});
    EXPECT_EQ(state().medium_mask[330][300], 0);
    EXPECT_EQ(walls_in(325, 305, 335, 312), 0);

    // A release before the repaint that would draw the last piece leaves it out.
    send(WM_MOUSEMOVE, MK_LBUTTON, at(360, 300));
    EXPECT_EQ(send(WM_LBUTTONUP, 0, at(360, 300)), 0);
    EXPECT_EQ(state().left_button_down, 0);
    expect_points({340, 300}, {360, 300}, {300, 300});
    EXPECT_EQ(test_pump(), 1);
    expect_points({360, 300}, {360, 300}, {300, 300});
    EXPECT_EQ(state().medium_mask[350][300], 1);
    EXPECT_EQ(test_client_pixel(350, 300), white);
}

TEST_F(DrawingTool, LineRubberBandInvertsAndRestoresThenCommitsOnce) {
    key('L');
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(300, 300));
    send(WM_MOUSEMOVE, MK_LBUTTON, at(340, 300));
    test_pump();
    expect_points({300, 300}, {340, 300}, {340, 300});
    const int inverted = pixels_of(0x000000, 301, 300, 1, 0, 38);
    EXPECT_GT(inverted, 0);
    EXPECT_EQ(walls_in(290, 290, 350, 350), 0); // previews write nothing

    send(WM_MOUSEMOVE, MK_LBUTTON, at(300, 340));
    test_pump();
    expect_points({300, 300}, {300, 340}, {300, 340});
    EXPECT_EQ(pixels_of(white, 301, 300, 1, 0, 38), 38); // the old outline is gone
    EXPECT_GT(pixels_of(0x000000, 300, 301, 0, 1, 38), 0);
    EXPECT_EQ(state().time_step, 0);

    send(WM_LBUTTONUP, 0, at(300, 340));
    expect_points({300, 300}, {300, 340}, {300, 340});
    test_pump();
    expect_points({300, 340}, {300, 340}, {300, 340});
    EXPECT_EQ(pixels_of(trace_color, 300, 300, 0, 1, 40), 40);
    EXPECT_EQ(state().medium_mask[300][320], 0);
    EXPECT_EQ(state().medium_mask[301][320], 0);
    const int walls = walls_in(290, 290, 350, 350);
    EXPECT_EQ(walls, 82); // columns 300 and 301, rows 301 to 341

    // Later repaints with the button up add nothing.
    send(WM_MOUSEMOVE, 0, at(500, 500));
    EXPECT_EQ(test_pump(), 1);
    send(WM_MOUSEMOVE, 0, at(501, 500));
    EXPECT_EQ(test_pump(), 1);
    EXPECT_EQ(walls_in(290, 290, 350, 350), walls);
    expect_points({300, 340}, {300, 340}, {300, 340});
}

TEST_F(DrawingTool, RectangleCommitAndItsPlusInEveryLaterRepaint) {
    key('R');
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(400, 300));
    send(WM_MOUSEMOVE, MK_LBUTTON, at(450, 330));
    test_pump();
    expect_points({400, 300}, {450, 330}, {450, 330});
    send(WM_LBUTTONUP, 0, at(450, 330));
    test_pump();
    expect_points({400, 300}, {400, 300}, {450, 330});

    const auto& mask = state().medium_mask;
    for (int x : {400, 420, 450}) {
        EXPECT_EQ(mask[x][300], 0);
        EXPECT_EQ(mask[x][299], 0);
        EXPECT_EQ(mask[x][330], 0);
        EXPECT_EQ(mask[x][331], 0);
    }
    for (int y : {300, 315, 330}) {
        EXPECT_EQ(mask[400][y], 0);
        EXPECT_EQ(mask[399][y], 0);
        EXPECT_EQ(mask[450][y], 0);
        EXPECT_EQ(mask[451][y], 0);
    }
    EXPECT_EQ(mask[399][299], 1);
    EXPECT_EQ(mask[451][331], 1);
    EXPECT_EQ(mask[420][315], 1);
    // The outline in the right/bottom-exclusive box.
    EXPECT_EQ(test_client_pixel(420, 300), trace_color);
    EXPECT_EQ(test_client_pixel(449, 315), trace_color);
    EXPECT_EQ(test_client_pixel(420, 329), trace_color);

    key(VK_DELETE);
    EXPECT_EQ(mask[400][300], 1);
    send(WM_MOUSEMOVE, 0, at(600, 600));
    test_pump();
    EXPECT_EQ(walls_in(390, 290, 460, 340), 5);
    for (point p :
         {point{400, 300}, point{399, 300}, point{401, 300}, point{400, 299}, point{400, 301}}) {
        EXPECT_EQ(mask[p.x][p.y], 0);
    }
}

TEST_F(DrawingTool, EllipseCommitDrawsFocusMarksAndCollapses) {
    key('E');
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(300, 300));
    send(WM_MOUSEMOVE, MK_LBUTTON, at(360, 330));
    test_pump();
    send(WM_LBUTTONUP, 0, at(360, 330));
    test_pump();
    EXPECT_EQ(state().drag_end, (point{300, 300}));
    // Foci of half-axes 30 and 15 around (330, 315): 25 either side.
    for (int cx : {305, 355}) {
        EXPECT_EQ(test_client_pixel(cx - 5, 315), trace_color);
        EXPECT_EQ(test_client_pixel(cx + 4, 315), trace_color);
        EXPECT_EQ(test_client_pixel(cx, 310), trace_color);
        EXPECT_EQ(test_client_pixel(cx, 319), trace_color);
    }
    EXPECT_EQ(state().medium_mask[330][300], 0);
    EXPECT_EQ(state().medium_mask[330][315], 1);
    const int walls = walls_in(290, 290, 370, 340);
    EXPECT_GT(walls, 100);

    send(WM_MOUSEMOVE, 0, at(600, 600));
    test_pump();
    EXPECT_EQ(state().ellipse_center, (point{300, 300}));
    EXPECT_EQ(state().ellipse_half_x, 0);
    EXPECT_EQ(state().ellipse_half_y, 0);
    EXPECT_EQ(walls_in(290, 290, 370, 340), walls);
}

TEST_F(DrawingTool, StartPointGuardKeepsColumnZeroPressesFromDrawing) {
    key('L');
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(0, 300));
    send(WM_MOUSEMOVE, MK_LBUTTON, at(200, 300));
    test_pump();
    expect_points({0, 300}, {200, 300}, {200, 300});
    EXPECT_EQ(pixels_of(white, 130, 300, 1, 0, 60), 60);
    send(WM_LBUTTONUP, 0, at(200, 300));
    test_pump();
    expect_points({200, 300}, {200, 300}, {200, 300});
    EXPECT_EQ(walls_in(128, 295, 210, 305), 0);
    EXPECT_EQ(pixels_of(white, 130, 300, 1, 0, 60), 60);
}

TEST_F(DrawingTool, WithoutTheGuardRectangleKeepsItsEndAndEllipseCollapses) {
    key('R');
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(0, 300));
    send(WM_LBUTTONUP, 0, at(200, 320));
    test_pump();
    expect_points({0, 300}, {200, 320}, {0, 300});
    EXPECT_EQ(walls_in(1, 290, 210, 330), 0);

    key('E');
    send(WM_MOUSEMOVE, 0, at(250, 250));
    test_pump();
    expect_points({0, 300}, {0, 300}, {0, 300});
    EXPECT_EQ(walls_in(1, 290, 210, 330), 0);
}

TEST_F(DrawingTool, PositionsLeftOfTheWindowReadAsLargeNumbers) {
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(200, 200));
    send(WM_MOUSEMOVE, MK_LBUTTON, at(-1, -2));
    EXPECT_EQ(state().drag_end, (point{65535, 65534}));
    EXPECT_EQ(state().cursor_pos, (point{65535, 65534}));
    test_pump(); // the free-hand write stays inside the grid
    send(WM_LBUTTONUP, 0, at(-1, -2));
    test_pump();
    EXPECT_EQ(state().left_button_down, 0);
}

TEST_F(DrawingTool, DoubleClickStartsNoDrag) {
    key('R');
    send(WM_LBUTTONDOWN, MK_LBUTTON, at(400, 400));
    send(WM_LBUTTONUP, 0, at(400, 400));
    test_pump();
    send(WM_LBUTTONDBLCLK, MK_LBUTTON, at(420, 420));
    EXPECT_EQ(state().left_button_down, 0);
    EXPECT_EQ(state().drag_start, (point{400, 400}));
    send(WM_LBUTTONUP, 0, at(420, 420));
    test_pump();
    // Committed without a preview from the earlier press point.
    EXPECT_EQ(state().medium_mask[410][420], 0);
    EXPECT_EQ(state().medium_mask[420][410], 0);
}

} // namespace
