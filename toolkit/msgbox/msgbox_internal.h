// Helpers shared by the msgbox family's sources.
#pragma once

#include "msgbox.h"

#include <cstdarg>

// Formatted message and window texts are built in buffers of this size.
#define VO_MSGBOX_TEXT_UNITS 2048

// The owner a box gets: (HWND)-1 none, null the main window's last active
// pop-up (or none), anything else itself.
HWND VoMsgBox_ResolveOwner(HWND owner);
// The installed hook's answer, or -1 when there is none or it lets the box
// be shown.
int VoMsgBox_CallHook(HWND owner, const wchar_t *text, const wchar_t *caption, UINT style);
// 1 when a text holds "$" or "%" and so goes through the formatter.
bool VoMsgBox_NeedsFormatting(const wchar_t *format);
// The text to show: format itself, or format formatted into buffer
// (VO_MSGBOX_TEXT_UNITS) when it holds "$" or "%". A null format is "".
const wchar_t *VoMsgBox_Format(wchar_t *buffer, const wchar_t *format, va_list args);
