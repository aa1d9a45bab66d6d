// Window placement and the folder browser (Windows only).
//
// VoWndCenter places a window relative to its owner, the screen, the mouse
// or a point, always keeping it on a monitor's work area. The folder browser
// wraps the shell's with the toolkit's conventions: the start folder, the
// root, validation of typed names, and a trailing backslash on the result.
#pragma once

#ifdef _WIN32
#include <windows.h>

// VoWndCenter flags: the low four bits choose the placement.
#define VO_WNDCENTER_CENTRE 0x0        // centre in the reference (also 4..15)
#define VO_WNDCENTER_UPPER_THIRD 0x1   // centred across, in the upper third
#define VO_WNDCENTER_ON_CURSOR 0x2     // centred on the mouse cursor
#define VO_WNDCENTER_ON_POINT 0x3      // centred on the given point
#define VO_WNDCENTER_CLIENT 0x1000     // reference: the reference window's client area
#define VO_WNDCENTER_PARENT 0x8000     // reference: the window's parent or owner

// Moves window (no resizing, activation or change of Z order) and returns
// what SetWindowPos returns. Without VO_WNDCENTER_PARENT the reference is
// the reference window, or the screen when that is null.
BOOL VoWndCenter(HWND window, HWND reference, const POINT *point, DWORD flags);
// Shifts rect, keeping its size, inside the work area of its monitor with
// at least the margins to the edges (left and top win when it is too
// large). Returns the new top.
int VoForceRectOntoDesktop(RECT *rect, int marginX, int marginY);

// Folder-browser flags.
#define VO_BROWSE_START_AT_PATH 0x1   // start at the folder in the path buffer
#define VO_BROWSE_DESKTOP_ROOT 0x2    // root at the desktop, not the drives
#define VO_BROWSE_EDIT_BOX 0x4        // an edit box whose names are validated

// Shows the folder browser; on success path holds the chosen folder with a
// trailing backslash. Returns 0, VO_E_CANCEL when the user cancelled,
// E_INVALIDARG for a buffer below 260 units (nothing is shown), E_FAIL when
// the choice has no file-system path (path emptied), or the failure of COM
// or the shell.
HRESULT VoSelectDirectoryDlgEx2(HWND owner, const wchar_t *title, wchar_t *path, UINT size, UINT flags);
HRESULT VoSelectDirectoryDlgEx(HWND owner, const wchar_t *title, wchar_t *path, UINT size, BOOL startAtPath,
                               BOOL desktopRoot);
HRESULT VoSelectDirectoryDlg(HWND owner, const wchar_t *title, wchar_t *path, UINT size);

// The start folder as the browser is given it: "X:" gains a backslash,
// a drive root stays, any other path loses a trailing backslash.
void VoNormalizeBrowseStartFolder(wchar_t *path, UINT size);

#endif  // _WIN32
