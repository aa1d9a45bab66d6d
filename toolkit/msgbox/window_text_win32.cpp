// Formatted window texts: each text goes through the formatter only when it
// holds "$" or "%", so literal texts such as "100%" stay as they are.
#include "msgbox_internal.h"

#include <cwchar>

namespace {

int SetText(HWND window, const wchar_t *text)
{
    return SetWindowTextW(window, text) ? (int)wcslen(text) : 0;
}

int SetItemText(HWND dialog, int itemId, const wchar_t *format, va_list args)
{
    if (!format) return 0;
    wchar_t buffer[VO_MSGBOX_TEXT_UNITS];
    const wchar_t *text = VoMsgBox_Format(buffer, format, args);
    return SetDlgItemTextW(dialog, itemId, text) ? (int)wcslen(text) : 0;
}

const int kNoFlashLimit = 8192;

}  // namespace

int VoSetWindowText(HWND window, const wchar_t *format, ...)
{
    wchar_t buffer[VO_MSGBOX_TEXT_UNITS];
    va_list args;
    va_start(args, format);
    const wchar_t *text = VoMsgBox_Format(buffer, format, args);
    va_end(args);
    return SetText(window, text);
}

int VoSetWindowTextId(HVOLANG lang, HWND window, UINT stringId, ...)
{
    wchar_t buffer[VO_MSGBOX_TEXT_UNITS];
    va_list args;
    va_start(args, stringId);
    const wchar_t *text = VoMsgBox_Format(buffer, VoGetString(lang, stringId), args);
    va_end(args);
    return SetText(window, text);
}

int VoSetDlgItemText(HWND dialog, int itemId, const wchar_t *format, ...)
{
    va_list args;
    va_start(args, format);
    int length = SetItemText(dialog, itemId, format, args);
    va_end(args);
    return length;
}

int VoSetDlgItemTextId(HVOLANG lang, HWND dialog, int itemId, UINT stringId, ...)
{
    va_list args;
    va_start(args, stringId);
    int length = SetItemText(dialog, itemId, VoGetString(lang, stringId), args);
    va_end(args);
    return length;
}

int VoSetDlgItemTextNoFlash(HWND dialog, int itemId, const wchar_t *format, ...)
{
    if (!format) return 0;
    wchar_t buffer[VO_MSGBOX_TEXT_UNITS];
    va_list args;
    va_start(args, format);
    const wchar_t *text = VoMsgBox_Format(buffer, format, args);
    va_end(args);
    HWND item = GetDlgItem(dialog, itemId);
    int currentLength = GetWindowTextLengthW(item);
    if (item && currentLength < kNoFlashLimit) {
        wchar_t current[kNoFlashLimit];
        GetWindowTextW(item, current, kNoFlashLimit);
        if (lstrcmpW(current, text) == 0) return (int)wcslen(text);
    }
    return SetDlgItemTextW(dialog, itemId, text) ? (int)wcslen(text) : 0;
}

int VoMEditPrintF(HWND edit, const wchar_t *format, ...)
{
    if (!format) {
        SetWindowTextW(edit, L"");
        return 0;
    }
    bool lineBreak = true;
    while (*format == L'~') {
        ++format;
        lineBreak = false;
    }
    wchar_t buffer[VO_MSGBOX_TEXT_UNITS];
    va_list args;
    va_start(args, format);
    const wchar_t *text = VoMsgBox_Format(buffer, format, args);
    va_end(args);
    int end = GetWindowTextLengthW(edit);
    SendMessageW(edit, EM_SETSEL, (WPARAM)end, (LPARAM)end);
    SendMessageW(edit, EM_REPLACESEL, FALSE, (LPARAM)text);
    if (lineBreak) SendMessageW(edit, EM_REPLACESEL, FALSE, (LPARAM)L"\r\n");
    return (int)wcslen(text);
}
