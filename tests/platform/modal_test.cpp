// The open dialog and message boxes: what they are asked, what they answer, and the program's
// messages that keep being handled while they are open.
#include "platform_fixture.h"

#include "app/program.h"
#include "harness/harness.h"
#include "state/simulation_state.h"

#include <cstring>

namespace {

namespace headless = vorla::headless;
using ids = std::vector<UINT>;

using modal = platform_test;

OPENFILENAMEW dialog_params(HWND owner, wchar_t* path, DWORD capacity, wchar_t* title,
                            DWORD title_capacity) {
    static const wchar_t filter[] = L"bitmap(*.bmp)\0*.bmp\0All files(*.*)\0*.*\0";
    OPENFILENAMEW params;
    std::memset(&params, 0, sizeof params);
    params.lStructSize = sizeof params;
    params.hwndOwner = owner;
    params.lpstrFilter = filter;
    params.lpstrFile = path;
    params.nMaxFile = capacity;
    params.lpstrFileTitle = title;
    params.nMaxFileTitle = title_capacity;
    params.lpstrTitle = L"ファイルを開く";
    params.Flags = OFN_FILEMUSTEXIST;
    params.lpstrDefExt = L"bmp";
    return params;
}

TEST_F(modal, open_dialog_is_asked_with_the_caption_filters_and_last_path) {
    wchar_t path[MAX_PATH] = L"/old/choice.bmp";
    wchar_t title[MAX_PATH] = L"";
    OPENFILENAMEW params = dialog_params(window, path, MAX_PATH, title, MAX_PATH);
    headless::answer_open_dialog(std::wstring(L"/data/walls.bmp"));
    ASSERT_TRUE(GetOpenFileNameW(&params));
    EXPECT_STREQ(path, L"/data/walls.bmp");
    EXPECT_STREQ(title, L"walls.bmp");
    EXPECT_EQ(params.nFileOffset, 6);
    EXPECT_EQ(params.nFileExtension, 12);

    ASSERT_EQ(headless::open_dialogs_shown().size(), 1u);
    const auto& asked = headless::open_dialogs_shown()[0];
    EXPECT_EQ(asked.title, L"ファイルを開く");
    ASSERT_EQ(asked.filters.size(), 2u);
    EXPECT_EQ(asked.filters[0].first, L"bitmap(*.bmp)");
    EXPECT_EQ(asked.filters[0].second, L"*.bmp");
    EXPECT_EQ(asked.filters[1].first, L"All files(*.*)");
    EXPECT_EQ(asked.initial_path, L"/old/choice.bmp");
    EXPECT_TRUE(asked.file_must_exist);
    EXPECT_EQ(asked.owner, reinterpret_cast<std::uintptr_t>(window));
}

TEST_F(modal, cancel_and_a_name_too_long_for_the_buffer_return_false) {
    wchar_t path[8] = L"";
    OPENFILENAMEW params = dialog_params(window, path, 8, nullptr, 0);
    EXPECT_FALSE(GetOpenFileNameW(&params)); // nothing queued: cancelled
    headless::answer_open_dialog(std::wstring(L"/a/much/longer/name.bmp"));
    EXPECT_FALSE(GetOpenFileNameW(&params));
    EXPECT_STREQ(path, L"");
}

TEST_F(modal, message_box_reports_texts_icon_and_answer) {
    EXPECT_EQ(MessageBoxW(window, L"ビットマップのロードに失敗しました", L"エラー", MB_ICONWARNING),
              IDOK);
    headless::answer_message_box(vorla::platform::message_box_answer::cancel);
    EXPECT_EQ(MessageBoxW(nullptr, L"q", L"c", MB_OKCANCEL), IDCANCEL);
    const auto& boxes = headless::message_boxes_shown();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].caption, L"エラー");
    EXPECT_EQ(boxes[0].icon, vorla::platform::message_box_icon::warning);
    EXPECT_EQ(boxes[1].icon, vorla::platform::message_box_icon::none);
}

TEST_F(modal, timers_and_repaints_go_on_while_a_dialog_is_open_but_input_does_not) {
    SetTimer(window, 10, 1, nullptr);
    headless::set_modal_hook([this](const vorla::platform::modal_pump& pump) {
        headless::mouse_move(window, 5, 5); // the owner is disabled: dropped
        for (int i = 0; i < 3; ++i) {
            headless::advance_clock_ms(USER_TIMER_MINIMUM);
            InvalidateRect(window, nullptr, FALSE);
            pump();
        }
    });
    MessageBoxW(window, L"text", L"caption", MB_OK);
    const ids got = take_log();
    EXPECT_EQ(count_of(got, WM_TIMER), 3);
    EXPECT_EQ(count_of(got, WM_PAINT), 3);
    EXPECT_EQ(count_of(got, WM_MOUSEMOVE), 0);
}

TEST_F(modal, quit_during_a_dialog_is_left_for_the_outer_loop) {
    headless::set_modal_hook([](const vorla::platform::modal_pump& pump) {
        PostQuitMessage(7);
        pump();
        pump();
    });
    MessageBoxW(window, L"text", L"caption", MB_OK);
    MSG m;
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, WPARAM{7});
}

// The program itself: repaints nested in the import's dialog advance the field, and none of
// them starts a second import.
TEST(program_reentrancy, nested_repaints_advance_the_field_and_never_import_twice) {
    HWND window = test_start_window();
    ASSERT_NE(window, nullptr);
    test_pump();
    SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(400, 400));
    SendMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(400, 400));
    test_pump();
    const int steps_before = simulation_state.time_step;
    int steps_seen_in_dialog = -1;
    int modal_calls = 0;
    headless::set_modal_hook([&](const vorla::platform::modal_pump& pump) {
        for (int i = 0; i < 3; ++i) {
            headless::advance_clock_ms(USER_TIMER_MINIMUM); // timer 10 falls due: a repaint
            pump();
        }
        if (modal_calls++ == 0) {
            steps_seen_in_dialog = simulation_state.time_step;
        }
    });
    SendMessageW(window, WM_KEYUP, 'S', 0);
    InvalidateRect(window, nullptr, FALSE);
    test_pump(); // the repaint opens the dialog, which is cancelled: message box, then close
    EXPECT_EQ(headless::open_dialogs_shown().size(), 1u);
    EXPECT_EQ(modal_calls, 2); // the dialog, then the message box of the cancel
    EXPECT_EQ(steps_seen_in_dialog, steps_before + 3 * 8);
    EXPECT_FALSE(IsWindow(window));
    test_stop_window();
}

} // namespace
