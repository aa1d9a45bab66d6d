// Message boxes and formatted window texts (Windows only).
//
// Every message box of the system goes through VoMessageBox, which adds to
// MessageBoxW an application caption for boxes given none, a default owner
// (the last active pop-up of the application's main window), centring over
// the owner, and a replaceable hook that may answer a box without showing
// it. The no-UI hook is such a hook: it answers every box with its default
// button and hands the text to a log function, which is how an unattended
// run gets its answers and a record of what would have been asked.
#pragma once

#ifdef _WIN32
#include <windows.h>

#include "lang/lang.h"

// Longest application caption kept, in UTF-16 units (without terminator).
#define VO_MSGBOX_CAPTION_CHARS 131

// Button identifiers of the custom message box beyond the platform's.
#define VO_ID_YESTOALL 100
#define VO_ID_ALWAYS 101
#define VO_ID_NOTOALL 102
#define VO_ID_DETAILS 200
#define VO_ID_DETAILSTEXT 201
#define VO_ID_CHECKBOX 300

// Button sets of the custom message box beyond MB_OK..MB_RETRYCANCEL.
#define VO_MB_YESYESALLNOCANCEL 10  // Yes, Yes to All, No, Cancel
#define VO_MB_YESNOALWAYS 11        // Yes, No, Always
#define VO_MB_YESNONOALLCANCEL 12   // Yes, No, No to All, Cancel
#define VO_MB_YESALLNONOALLCANCEL 13 // Yes, Yes to All, No, No to All, Cancel
// Custom message box flags.
#define VO_MB_DETAILS 0xC000u       // a collapsible details pane
#define VO_MB_CHECKBOX 0x1000u      // a check box (VoMsgBox_CustomEx only)

// A message-box hook: any result but -1 is the box's answer and nothing is
// shown; -1 lets the box be shown.
typedef int(CALLBACK *PFNVOMSGBOXHOOK)(LPARAM hookData, HWND owner, const wchar_t *text,
                                       const wchar_t *caption, UINT style);
// The log function of the no-UI hook: receives each text instead of a box.
typedef void(CALLBACK *PFNVOMSGBOXLOG)(const wchar_t *text);

// The text the no-UI hook logs for a box whose default button it cannot tell.
#define VO_MSGBOX_INVALID_TEXT L"Invalid Message Box parameter...User intervention is needed!!!!"

// Clears the application data (hooks included) and records the calling
// thread as the owner thread, the instance, the main window and the caption
// (cut to 131 units). Returns 1.
int VoMsgBoxSetAppData(HINSTANCE instance, HWND mainWindow, const wchar_t *caption);
// The application caption and instance as recorded.
const wchar_t *VoMsgBoxGetCaption();
HINSTANCE VoMsgBoxGetInstance();

// Shows a box and returns the button pressed or the hook's answer. owner
// null: the main window's last active pop-up (or none); (HWND)-1: none.
// caption null: the application caption.
int VoMessageBox(HWND owner, const wchar_t *text, const wchar_t *caption, UINT style);
// VoMessageBox with the text formatted by VoVPrintF into 2048 units when the
// format holds "$" or "%", and the application caption.
int VoMsgBox(HWND owner, UINT style, const wchar_t *format, ...);
// The same with the format taken from string stringId of lang.
int VoMsgBoxId(HVOLANG lang, HWND owner, UINT style, UINT stringId, ...);

// Hooks can be set only from the owner thread; both return 1, or 0 from
// another thread. VoMsgBoxSetNoUIHook(nullptr) removes the no-UI hook only.
int VoMsgBoxSetHook(PFNVOMSGBOXHOOK hook, LPARAM hookData);
int VoMsgBoxSetNoUIHook(PFNVOMSGBOXLOG logFunction);
// The no-UI hook's answer for a style: the default button, or -1 when the
// button set and default index make no sense together.
int VoMsgBoxDefaultAnswer(UINT style);

// Plays a system sound asynchronously: 1 exclamation, 2 asterisk,
// 3 question, 4 "done processing", anything else the default sound.
BOOL VoBeep(int kind);
// On systems whose ANSI code page is not 1252, gives every child of dialog
// font (null: the user-interface font) and returns 1; else returns 0.
int VoDlgInitFont(HWND dialog, HFONT font);

// Formatted window texts; each formats into 2048 units only when the text
// holds "$" or "%". They return the length set, 0 on failure.
int VoSetWindowText(HWND window, const wchar_t *format, ...);
int VoSetWindowTextId(HVOLANG lang, HWND window, UINT stringId, ...);
int VoSetDlgItemText(HWND dialog, int itemId, const wchar_t *format, ...);
int VoSetDlgItemTextId(HVOLANG lang, HWND dialog, int itemId, UINT stringId, ...);
// Sets the text only when it differs from the current one (no flicker).
int VoSetDlgItemTextNoFlash(HWND dialog, int itemId, const wchar_t *format, ...);
// Appends the text and "\r\n" to a multi-line edit; leading "~" characters
// are skipped and suppress the line break; a null format empties the edit.
int VoMEditPrintF(HWND edit, const wchar_t *format, ...);

// The custom message box: flags & 0xF the button set (MB_OK..MB_RETRYCANCEL
// or VO_MB_*), & 0xF0 the icon as for MessageBox, bits VO_MB_DETAILS a
// details pane showing details, bit VO_MB_CHECKBOX a check box labelled
// checkLabel (null: the toolkit's default label) whose state *checked gives
// and receives. (flags >> 8) & 0xF is the default button's index. Returns
// the button pressed, the hook's answer, or 0 for inconsistent arguments.
int VoMsgBox_Custom(HWND owner, UINT flags, const wchar_t *details, const wchar_t *format, ...);
int VoMsgBox_CustomEx(HWND owner, UINT flags, const wchar_t *details, const wchar_t *checkLabel,
                      BOOL *checked, const wchar_t *format, ...);

#endif  // _WIN32
