// Drives the windows of another process the way a person would, for the
// end-to-end tests: find a top-level window (by process, class, caption),
// read its texts, press its buttons, wait until it is gone. Every wait has
// a limit, so a window that never comes fails a test instead of hanging it.
//
// Windows of another process are read with GetWindowTextW, which returns
// the text the window manager keeps for them without asking the window.
#pragma once

#include <windows.h>

#include <string>

namespace uidriver {

// What a top-level window must match; empty fields match anything.
struct WindowQuery {
    DWORD processId = 0;
    std::wstring className = L"#32770";  // dialogs and message boxes
    std::wstring caption;                // the whole caption, exactly
    HWND skip = nullptr;                 // a window already handled
};

// The id of the text control of a message box.
const int kMessageBoxTextId = 0xFFFF;

// A visible top-level window matching query, or null.
HWND FindTopWindow(const WindowQuery &query);
// Polls for such a window for up to timeoutMs.
HWND WaitForTopWindow(const WindowQuery &query, DWORD timeoutMs);
// True once window no longer exists (or within timeoutMs did not).
bool WaitUntilGone(HWND window, DWORD timeoutMs);

std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);
// The text of the child control with that id ("" when there is none).
std::wstring ControlText(HWND dialog, int controlId);

// The caption and text of a message box.
struct MessageBoxSeen {
    std::wstring caption;
    std::wstring text;
};
MessageBoxSeen ReadMessageBox(HWND box);

// Clicks button controlId of dialog (WM_COMMAND with BN_CLICKED).
bool PressButton(HWND dialog, int controlId);

}  // namespace uidriver
