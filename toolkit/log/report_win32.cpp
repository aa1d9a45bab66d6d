// Error messages shown to the user with their collected details, and the
// low-level debug output.
#include "log/errors.h"

#include <cstring>
#include <cwchar>

#include "msgbox/msgbox.h"
#include "text_buffer.h"

namespace {

const UINT kHeadingString = 48402;
const int kHeadingUnits = 50;

}  // namespace

int VoErrorHandler_MsgBoxText(HWND owner, UINT style, const wchar_t *text, BOOL heading)
{
    CVoTextBuffer shown;
    if (heading) {
        wchar_t title[kHeadingUnits];
        VoLoadString(VoLang_GetDefault(), kHeadingString, title, kHeadingUnits);
        shown.Append(title);
    }
    shown.Append(text);
    style &= ~VO_MB_DETAILS;
    // The details are copied: showing the box starts a new collection.
    const wchar_t *collected = VoErrorHandler_DetailsInfo(nullptr, nullptr, nullptr);
    CVoTextBuffer details(collected);
    if (collected) style |= VO_MB_DETAILS;
    VoErrorHandler_DetailsInit();
    return VoMsgBox_Custom(owner, style, collected ? details.Text() : nullptr, L"%s", shown.Text());
}

int VoErrorHandler_MsgBox(HWND owner, UINT style, const wchar_t *format, HRESULT code, const wchar_t *insert,
                          BOOL heading)
{
    if (code == VO_E_CANCEL) return 1;
    return VoErrorHandler_MsgBoxText(owner, style, VoErrorHandler_GetErrorMessage(format, code, insert), heading);
}

BSTR VoErrorHandler_ComposeErrorText(const wchar_t *format, HRESULT code, const wchar_t *insert)
{
    CVoTextBuffer text(VoErrorHandler_GetErrorMessage(format, code, insert));
    const wchar_t *details = VoErrorHandler_DetailsInfo(nullptr, nullptr, nullptr);
    if (!text.Length() && !details) return nullptr;
    if (details) text.Append(L"\r\n<Details>\r\n").Append(details).Append(L"\r\n</Details>");
    if (text.Failed()) return nullptr;
    return SysAllocStringLen(text.Text(), (UINT)text.Length());
}

// ---------------------------------------------------------------------------
// Debug output.

namespace {

const int kDebugBytes = 640;

// The debug device or file named in the user's profile, opened once.
struct DebugTarget {
    bool opened = false;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DWORD ioctl = 0;
};

HANDLE OpenTarget(const wchar_t *name)
{
    return CreateFileW(name, GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
}

DebugTarget &Target()
{
    static DebugTarget target;
    if (target.opened) return target;
    target.opened = true;
    wchar_t name[MAX_PATH];
    GetProfileStringW(L"Debug", L"LogToFilePath", L"COM1", name, MAX_PATH);
    target.handle = OpenTarget(name);
    bool serial = lstrcmpiW(name, L"COM1") == 0;
    if (serial && target.handle == INVALID_HANDLE_VALUE) target.handle = OpenTarget(L"AUX");
    if (serial && target.handle != INVALID_HANDLE_VALUE) {
        DCB port = {};
        port.DCBlength = sizeof port;
        if (GetCommState(target.handle, &port)) {
            port.BaudRate = 115200;
            port.ByteSize = 8;
            port.Parity = NOPARITY;
            SetCommState(target.handle, &port);
        }
    }
    wchar_t code[32];
    GetProfileStringW(L"Debug", L"DeviceIoctl", L"0", code, 32);
    target.ioctl = wcstoul(code, nullptr, 0);
    return target;
}

void SendToTarget(const wchar_t *text, BOOL newline)
{
    DebugTarget &target = Target();
    if (target.handle == INVALID_HANDLE_VALUE) return;
    char bytes[kDebugBytes + 3];
    int n = WideCharToMultiByte(CP_ACP, 0, text, -1, bytes, kDebugBytes, nullptr, nullptr);
    n = n > 0 ? n - 1 : 0;
    DWORD done = 0;
    if (target.ioctl) {
        if (newline) bytes[n++] = '\n';
        DeviceIoControl(target.handle, target.ioctl, bytes, (DWORD)n, nullptr, 0, &done, nullptr);
        return;
    }
    if (newline) bytes[n++] = '\r', bytes[n++] = '\n';
    WriteFile(target.handle, bytes, (DWORD)n, &done, nullptr);
}

// The on-screen box across the bottom of the screen.
struct ScreenBox {
    bool ready = false;
    RECT area = {};
    int lineHeight = 0;
    POINT at = {};
};

ScreenBox &Box(HDC dc)
{
    static ScreenBox box;
    if (box.ready) return box;
    box.ready = true;
    TEXTMETRICW metrics;
    SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
    GetTextMetricsW(dc, &metrics);
    box.lineHeight = metrics.tmHeight;
    int lines = (int)GetProfileIntW(L"Debug", L"LogToScreenLines", 5);
    int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    int boxHeight = lines <= 0 ? height : lines * box.lineHeight + 2;
    box.area = RECT{0, height - boxHeight, width - 80, height};
    HBRUSH grey = CreateSolidBrush(RGB(192, 192, 192));
    FillRect(dc, &box.area, grey);
    DeleteObject(grey);
    FrameRect(dc, &box.area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    box.at = POINT{box.area.left + 1, box.area.top + 1};
    return box;
}

void DrawOnScreen(const char *text, BOOL newline)
{
    HDC dc = GetDC(nullptr);
    ScreenBox &box = Box(dc);
    SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
    if (box.at.y + box.lineHeight > box.area.bottom - 1) box.at = POINT{box.area.left + 1, box.area.top + 1};
    SetBkColor(dc, RGB(255, 255, 255));
    SIZE extent = {};
    int length = (int)strlen(text);
    TextOutA(dc, box.at.x, box.at.y, text, length);
    GetTextExtentPoint32A(dc, text, length, &extent);
    box.at.x += extent.cx;
    if (newline) box.at = POINT{box.area.left + 1, box.at.y + box.lineHeight};
    int lines = (box.area.bottom - box.area.top) / (box.lineHeight ? box.lineHeight : 1);
    if (lines > 2 && box.at.y + box.lineHeight <= box.area.bottom - 1) {
        RECT clear = {box.at.x, box.at.y, box.area.right - 1, box.at.y + box.lineHeight};
        HBRUSH grey = CreateSolidBrush(RGB(192, 192, 192));
        FillRect(dc, &clear, grey);
        DeleteObject(grey);
    }
    ReleaseDC(nullptr, dc);
}

}  // namespace

void VoDebugString(const void *text, BOOL newline, int mode)
{
    if (!text) return;
    if (mode == 2) SendToTarget(static_cast<const wchar_t *>(text), newline);
    else DrawOnScreen(static_cast<const char *>(text), newline);
}
