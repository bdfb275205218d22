// The open dialog and message boxes: what they show, what they answer, and the program's
// messages that keep being handled while they are open.
#include "platform_fixture.h"

#include "app/program.h"
#include "harness/harness.h"
#include "state/simulation_state.h"

#include <cstring>
#include <fstream>

namespace {

namespace fs = std::filesystem;

using Modal = platform_test;

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

fs::path make_file(const fs::path& folder, const wchar_t* name) {
    const fs::path file = folder / name;
    std::ofstream(file) << "BM";
    return file;
}

TEST_F(Modal, OpenDialogShowsTheCaptionFiltersAndLastNameAndAnswersThePath) {
    const fs::path folder = driver_fresh_folder();
    ASSERT_FALSE(folder.empty());
    const fs::path walls = make_file(folder, L"walls.bmp");
    const std::wstring last = (folder / L"choice.bmp").wstring();
    wchar_t path[MAX_PATH] = L"";
    last.copy(path, last.size());
    wchar_t title[MAX_PATH] = L"";
    OPENFILENAMEW params = dialog_params(window, path, MAX_PATH, title, MAX_PATH);
    driver_answer_open_dialog(walls);
    ASSERT_TRUE(GetOpenFileNameW(&params));
    EXPECT_EQ(fs::path(path), walls);
    EXPECT_STREQ(title, L"walls.bmp");
    const std::wstring got(path);
    EXPECT_EQ(params.nFileOffset, got.size() - std::wcslen(L"walls.bmp"));
    EXPECT_EQ(params.nFileExtension, got.size() - std::wcslen(L"bmp"));

    const std::vector<driver_dialog> shown = driver_dialogs_shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FALSE(shown[0].is_message_box);
    EXPECT_EQ(shown[0].owner, window);
    EXPECT_EQ(shown[0].caption, L"ファイルを開く");
    EXPECT_EQ(shown[0].filters, (std::vector<std::wstring>{L"bitmap(*.bmp)", L"All files(*.*)"}));
    const std::wstring offered = shown[0].file_name;
    EXPECT_EQ(offered.substr(offered.size() - std::min<std::size_t>(offered.size(), 10)),
              L"choice.bmp");
}

// Too small a buffer: the first WORD of the buffer tells the size it needs, in characters
// with the terminating null (OPENFILENAMEW, lpstrFile; learn.microsoft.com).
TEST_F(Modal, CancelAndANameTooLongForTheBufferReturnFalse) {
    const fs::path folder = driver_fresh_folder();
    ASSERT_FALSE(folder.empty());
    const fs::path file = make_file(folder, L"a-rather-long-name.bmp");
    wchar_t path[8] = L"";
    OPENFILENAMEW params = dialog_params(window, path, 8, nullptr, 0);
    driver_answer_open_dialog(std::nullopt);
    EXPECT_FALSE(GetOpenFileNameW(&params));
    EXPECT_EQ(path[0], L'\0');
    driver_answer_open_dialog(file);
    EXPECT_FALSE(GetOpenFileNameW(&params));
    EXPECT_EQ(static_cast<std::size_t>(path[0]), file.wstring().size() + 1);
    EXPECT_EQ(driver_dialogs_shown().size(), 2u);
}

TEST_F(Modal, MessageBoxShowsItsTextsAndGivesTheAnswer) {
    EXPECT_EQ(MessageBoxW(window, L"ビットマップのロードに失敗しました", L"エラー", MB_ICONWARNING),
              IDOK);
    driver_answer_message_box(IDCANCEL);
    EXPECT_EQ(MessageBoxW(nullptr, L"q", L"c", MB_OKCANCEL), IDCANCEL);
    const std::vector<driver_dialog> shown = driver_dialogs_shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].is_message_box);
    EXPECT_EQ(shown[0].owner, window);
    EXPECT_EQ(shown[0].caption, L"エラー");
    EXPECT_EQ(shown[0].text, L"ビットマップのロードに失敗しました");
    EXPECT_EQ(shown[1].owner, nullptr);
    EXPECT_EQ(shown[1].caption, L"c");
    EXPECT_EQ(shown[1].text, L"q");
}

TEST_F(Modal, TimersAndRepaintsGoOnWhileADialogIsOpenButInputDoesNot) {
    SetTimer(window, 10, 1, nullptr);
    invalidate_on_timer = true;
    driver_hold_next_dialog(200, [this] {
        driver_mouse_move(window, 5, 5); // the owner is disabled: it hears nothing
        driver_mouse_move(window, 6, 6);
    });
    MessageBoxW(window, L"text", L"caption", MB_OK);
    const message_list got = take_log();
    EXPECT_GE(count_of(got, WM_TIMER), 2);
    EXPECT_GE(count_of(got, WM_PAINT), 2);
    EXPECT_EQ(count_of(got, WM_MOUSEMOVE), 0);
}

TEST_F(Modal, QuitDuringADialogIsLeftForTheOuterLoop) {
    driver_hold_next_dialog(20, [] { PostQuitMessage(7); });
    MessageBoxW(window, L"text", L"caption", MB_OK);
    MSG m;
    EXPECT_FALSE(GetMessageW(&m, nullptr, 0, 0));
    EXPECT_EQ(m.wParam, WPARAM{7});
}

// The program itself: repaints nested in the import's dialog advance the field, and none of
// them starts a second import.
TEST(ProgramReentrancy, NestedRepaintsAdvanceTheFieldAndNeverImportTwice) {
    HWND window = test_start_window();
    ASSERT_NE(window, nullptr);
    test_pump();
    SendMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(400, 400));
    SendMessageW(window, WM_RBUTTONUP, 0, MAKELPARAM(400, 400));
    test_pump();
    const int steps_before = simulation_state.time_step;
    int steps_seen_in_dialog = -1;
    // Timer 10 keeps falling due behind the dialog, and each tick asks for a repaint.
    driver_hold_next_dialog(40);
    driver_hold_next_dialog(0, [&] { steps_seen_in_dialog = simulation_state.time_step; });
    driver_answer_open_dialog(std::nullopt);
    SendMessageW(window, WM_KEYUP, 'S', 0);
    InvalidateRect(window, nullptr, FALSE);
    test_pump(); // the repaint opens the dialog, which is cancelled: message box, then close
    const std::vector<driver_dialog> shown = driver_dialogs_shown();
    ASSERT_EQ(shown.size(), 2u); // the dialog, then the message box of the cancel
    EXPECT_FALSE(shown[0].is_message_box);
    EXPECT_TRUE(shown[1].is_message_box);
    EXPECT_GT(steps_seen_in_dialog, steps_before);
    EXPECT_EQ((steps_seen_in_dialog - steps_before) % 8, 0); // whole repaints only
    EXPECT_FALSE(IsWindow(window));
    test_stop_window();
}

} // namespace
