// The window driver of the end-to-end tests (see ui_driver.h).
#include "ui_driver.h"

namespace uidriver {

namespace {

const DWORD kPollMs = 20;

struct Search {
    const WindowQuery *query;
    HWND found;
};

BOOL CALLBACK MatchTopWindow(HWND window, LPARAM data)
{
    auto *search = reinterpret_cast<Search *>(data);
    const WindowQuery &query = *search->query;
    if (window == query.skip || !IsWindowVisible(window)) return TRUE;
    if (query.processId) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != query.processId) return TRUE;
    }
    if (!query.className.empty() && ClassName(window) != query.className) return TRUE;
    if (!query.caption.empty() && WindowText(window) != query.caption) return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND FindTopWindow(const WindowQuery &query)
{
    Search search = {&query, nullptr};
    EnumWindows(MatchTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopWindow(const WindowQuery &query, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindTopWindow(query)) return window;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(kPollMs);
    }
}

bool WaitUntilGone(HWND window, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(kPollMs);
    }
    return true;
}

std::wstring WindowText(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring text((size_t)(length > 0 ? length : 0) + 1, L'\0');
    int copied = GetWindowTextW(window, &text[0], (int)text.size());
    text.resize(copied > 0 ? (size_t)copied : 0);
    return text;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring ControlText(HWND dialog, int controlId)
{
    HWND control = GetDlgItem(dialog, controlId);
    return control ? WindowText(control) : std::wstring();
}

MessageBoxSeen ReadMessageBox(HWND box) { return {WindowText(box), ControlText(box, kMessageBoxTextId)}; }

bool PressButton(HWND dialog, int controlId)
{
    HWND button = GetDlgItem(dialog, controlId);
    return PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), (LPARAM)button) != FALSE;
}

}  // namespace uidriver
