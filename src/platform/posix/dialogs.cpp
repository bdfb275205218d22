// The modal dialogs: the file-open dialog and message boxes, shown by the backend while a
// nested loop keeps dispatching the program's messages, as Windows' modal loops do.
#include "platform/posix/internal.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>

namespace vorla::platform {

int modal_depth = 0;

namespace {

void pump_once() {
    // Bounded, so a backend's own loop (the dialog's) gets its turn between two calls.
    MSG msg;
    for (int budget = 4; budget > 0 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); --budget) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // leave it for the outer loop
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// While a modal dialog is open its owner takes no input, as on Windows.
struct modal_scope {
    modal_scope() {
        ++modal_depth;
    }
    ~modal_scope() {
        --modal_depth;
    }
};

} // namespace

} // namespace vorla::platform

using namespace vorla::platform;

BOOL WINAPI GetOpenFileNameW(LPOPENFILENAMEW params) {
    if (params == nullptr || params->lStructSize != sizeof(OPENFILENAMEW) ||
        params->lpstrFile == nullptr || params->nMaxFile == 0) {
        return FALSE;
    }
    open_dialog_request request;
    request.owner = value_of(params->hwndOwner);
    request.title = text_or_empty(params->lpstrTitle);
    if (const wchar_t* f = params->lpstrFilter) {
        // Pairs of null-terminated strings, ended by an empty one.
        while (*f != 0) {
            std::wstring display = f;
            f += display.size() + 1;
            if (*f == 0) {
                break;
            }
            std::wstring patterns = f;
            f += patterns.size() + 1;
            request.filters.emplace_back(std::move(display), std::move(patterns));
        }
    }
    request.filter_index =
        params->nFilterIndex > 0 ? static_cast<int>(params->nFilterIndex) - 1 : 0;
    request.initial_path.assign(params->lpstrFile, wcsnlen(params->lpstrFile, params->nMaxFile));
    request.default_extension = text_or_empty(params->lpstrDefExt);
    request.file_must_exist = (params->Flags & OFN_FILEMUSTEXIST) != 0;

    std::optional<std::wstring> answer;
    {
        flush_windows(); // what the program drew before asking stays visible behind the dialog
        modal_scope scope;
        answer = current_backend().open_file_dialog(request, pump_once);
    }
    if (!answer || answer->empty()) {
        return FALSE;
    }
    std::wstring path = *answer;
    std::size_t name_start = path.find_last_of(L'/');
    name_start = name_start == std::wstring::npos ? 0 : name_start + 1;
    std::size_t dot = path.find_last_of(L'.');
    if ((dot == std::wstring::npos || dot < name_start) && !request.default_extension.empty() &&
        !std::filesystem::exists(std::filesystem::path(utf8_from_wide(path)))) {
        path += L"." + request.default_extension;
        dot = path.find_last_of(L'.');
    }
    if (path.size() + 1 > params->nMaxFile || path.size() > 0xFFFF) {
        return FALSE; // the buffer cannot hold the name
    }
    std::wmemcpy(params->lpstrFile, path.c_str(), path.size() + 1);
    const std::wstring title = path.substr(name_start);
    if (params->lpstrFileTitle != nullptr && params->nMaxFileTitle > 0) {
        const std::size_t n = std::min<std::size_t>(title.size(), params->nMaxFileTitle - 1);
        std::wmemcpy(params->lpstrFileTitle, title.c_str(), n);
        params->lpstrFileTitle[n] = 0;
    }
    params->nFileOffset = static_cast<WORD>(name_start);
    params->nFileExtension =
        static_cast<WORD>(dot != std::wstring::npos && dot >= name_start ? dot + 1 : path.size());
    return TRUE;
}

int WINAPI MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
    message_box_request request;
    request.owner = value_of(owner);
    request.text = text_or_empty(text);
    request.caption = caption ? std::wstring(caption) : std::wstring(L"Error");
    switch (type & 0xF0u) {
    case MB_ICONHAND:
        request.icon = message_box_icon::error;
        break;
    case MB_ICONQUESTION:
        request.icon = message_box_icon::question;
        break;
    case MB_ICONWARNING:
        request.icon = message_box_icon::warning;
        break;
    case MB_ICONINFORMATION:
        request.icon = message_box_icon::information;
        break;
    default:
        break;
    }
    switch (type & 0xFu) {
    case MB_OKCANCEL:
        request.buttons = message_box_buttons::ok_cancel;
        break;
    case MB_YESNO:
        request.buttons = message_box_buttons::yes_no;
        break;
    default:
        request.buttons = message_box_buttons::ok;
        break;
    }
    message_box_answer answer;
    {
        flush_windows();
        modal_scope scope;
        answer = current_backend().message_box(request, pump_once);
    }
    switch (answer) {
    case message_box_answer::cancel:
        return IDCANCEL;
    case message_box_answer::yes:
        return IDYES;
    case message_box_answer::no:
        return IDNO;
    default:
        return IDOK;
    }
}
