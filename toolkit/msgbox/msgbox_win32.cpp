// Message boxes: the application data, VoMessageBox with its centring hook,
// the formatted variants, the hooks and the no-UI hook, sounds and fonts.
#include "msgbox_internal.h"

#include <mmsystem.h>
#include <cwchar>

#include "format/format.h"
#include "kernel/kernel.h"
#include "window/window.h"

namespace {

// The application's message-box data: one per process, written only by the
// owner thread.
struct AppData {
    DWORD ownerThread;
    HINSTANCE instance;
    HWND mainWindow;
    PFNVOMSGBOXHOOK hook;
    LPARAM hookData;
    wchar_t caption[VO_MSGBOX_CAPTION_CHARS + 1];
};
AppData g_app;

// The centring hook of the VoMessageBox call in progress, if any, and the
// caption of the box it waits for.
HHOOK g_centreHook = nullptr;
wchar_t g_centreCaption[VO_MSGBOX_CAPTION_CHARS + 1];
const int kTitleUnits = 80;

void RemoveCentringHook()
{
    if (g_centreHook) UnhookWindowsHookEx(g_centreHook);
    g_centreHook = nullptr;
    g_centreCaption[0] = 0;
}

LRESULT CALLBACK CentringHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (!g_centreHook) return 0;
    HHOOK self = g_centreHook;
    auto *message = reinterpret_cast<const CWPSTRUCT *>(lParam);
    if (code < 0 || message->message != WM_CREATE) return CallNextHookEx(self, code, wParam, lParam);
    wchar_t className[kTitleUnits], title[kTitleUnits];
    bool isBox = GetClassNameW(message->hwnd, className, kTitleUnits) > 0 &&
                 lstrcmpiW(className, L"#32770") == 0 &&
                 GetWindowTextW(message->hwnd, title, kTitleUnits) >= 0 &&
                 wcscmp(title, g_centreCaption) == 0;
    if (!isBox) return CallNextHookEx(self, code, wParam, lParam);
    VoWndCenter(message->hwnd, nullptr, nullptr, 0x8001);
    LRESULT result = CallNextHookEx(self, code, wParam, lParam);
    RemoveCentringHook();
    return result;
}

// The no-UI hook: the box's default button, and its text to the log.
int CALLBACK NoUIHook(LPARAM hookData, HWND, const wchar_t *text, const wchar_t *, UINT style)
{
    if (GetCurrentThreadId() != g_app.ownerThread) return 0;
    auto log = reinterpret_cast<PFNVOMSGBOXLOG>(hookData);
    if (log) log(text ? text : L"");
    int answer = VoMsgBoxDefaultAnswer(style);
    if (answer == -1 && log) log(VO_MSGBOX_INVALID_TEXT);
    return answer;
}

BOOL CALLBACK SetChildFont(HWND child, LPARAM font)
{
    SendMessageW(child, WM_SETFONT, (WPARAM)font, TRUE);
    return TRUE;
}

}  // namespace

HWND VoMsgBox_ResolveOwner(HWND owner)
{
    if (owner == reinterpret_cast<HWND>(-1)) return nullptr;
    if (owner) return owner;
    return g_app.mainWindow ? GetLastActivePopup(g_app.mainWindow) : nullptr;
}

int VoMsgBox_CallHook(HWND owner, const wchar_t *text, const wchar_t *caption, UINT style)
{
    if (!g_app.hook) return -1;
    return g_app.hook(g_app.hookData, owner, text, caption, style);
}

bool VoMsgBox_NeedsFormatting(const wchar_t *format)
{
    return format && (wcschr(format, L'$') || wcschr(format, L'%'));
}

const wchar_t *VoMsgBox_Format(wchar_t *buffer, const wchar_t *format, va_list args)
{
    if (!VoMsgBox_NeedsFormatting(format)) return format ? format : L"";
    VoVPrintFN(buffer, VO_MSGBOX_TEXT_UNITS, format, args);
    return buffer;
}

int VoMsgBoxSetAppData(HINSTANCE instance, HWND mainWindow, const wchar_t *caption)
{
    g_app = AppData{};
    g_app.ownerThread = GetCurrentThreadId();
    g_app.instance = instance;
    g_app.mainWindow = mainWindow;
    // Captions longer than the record holds are cut, never overrun it.
    if (caption) lstrcpynW(g_app.caption, caption, VO_MSGBOX_CAPTION_CHARS + 1);
    return 1;
}

const wchar_t *VoMsgBoxGetCaption() { return g_app.caption; }
HINSTANCE VoMsgBoxGetInstance() { return g_app.instance; }

int VoMessageBox(HWND owner, const wchar_t *text, const wchar_t *caption, UINT style)
{
    owner = VoMsgBox_ResolveOwner(owner);
    int answer = VoMsgBox_CallHook(owner, text, caption, style);
    if (answer != -1) return answer;
    if (!caption) caption = g_app.caption;
    bool installed = false;
    if (style != (MB_ICONHAND | MB_SYSTEMMODAL) && !g_centreHook) {
        g_centreHook = SetWindowsHookExW(WH_CALLWNDPROC, CentringHook, g_app.instance, GetCurrentThreadId());
        if (g_centreHook) {
            lstrcpynW(g_centreCaption, caption, VO_MSGBOX_CAPTION_CHARS + 1);
            installed = true;
        }
    }
    int result = MessageBoxW(owner, text, caption, style);
    if (installed && g_centreHook) RemoveCentringHook();
    return result;
}

int VoMsgBox(HWND owner, UINT style, const wchar_t *format, ...)
{
    wchar_t buffer[VO_MSGBOX_TEXT_UNITS];
    va_list args;
    va_start(args, format);
    const wchar_t *text = VoMsgBox_Format(buffer, format, args);
    va_end(args);
    return VoMessageBox(owner, text, nullptr, style);
}

int VoMsgBoxId(HVOLANG lang, HWND owner, UINT style, UINT stringId, ...)
{
    wchar_t buffer[VO_MSGBOX_TEXT_UNITS];
    va_list args;
    va_start(args, stringId);
    const wchar_t *text = VoMsgBox_Format(buffer, VoGetString(lang, stringId), args);
    va_end(args);
    return VoMessageBox(owner, text, nullptr, style);
}

int VoMsgBoxSetHook(PFNVOMSGBOXHOOK hook, LPARAM hookData)
{
    if (GetCurrentThreadId() != g_app.ownerThread) return 0;
    g_app.hook = hook;
    g_app.hookData = hookData;
    return 1;
}

int VoMsgBoxSetNoUIHook(PFNVOMSGBOXLOG logFunction)
{
    if (GetCurrentThreadId() != g_app.ownerThread) return 0;
    if (logFunction) return VoMsgBoxSetHook(NoUIHook, reinterpret_cast<LPARAM>(logFunction));
    if (g_app.hook == NoUIHook) VoMsgBoxSetHook(nullptr, 0);
    return 1;
}

int VoMsgBoxDefaultAnswer(UINT style)
{
    // The buttons of each set in order; sets 10 to 13 are the custom box's.
    static const int kSets[14][6] = {
        {IDOK, IDOK, IDOK, IDOK, IDOK, 0},
        {IDOK, IDCANCEL, 0},
        {IDABORT, IDRETRY, IDIGNORE, 0},
        {IDYES, IDNO, IDCANCEL, 0},
        {IDYES, IDNO, 0},
        {IDRETRY, IDCANCEL, 0},
        {IDOK, IDOK, IDOK, IDOK, IDOK, 0},
        {IDOK, IDOK, IDOK, IDOK, IDOK, 0},
        {IDOK, IDOK, IDOK, IDOK, IDOK, 0},
        {IDOK, IDOK, IDOK, IDOK, IDOK, 0},
        {IDYES, VO_ID_YESTOALL, IDNO, IDCANCEL, 0},
        {IDYES, IDNO, VO_ID_ALWAYS, 0},
        {IDYES, IDNO, VO_ID_NOTOALL, IDCANCEL, 0},
        {IDYES, VO_ID_YESTOALL, IDNO, VO_ID_NOTOALL, IDCANCEL, 0},
    };
    UINT set = style & 0xF;
    UINT index = (style >> 8) & 0xF;
    if (set >= 14) set = 0;
    if (index > 4) return -1;
    int answer = kSets[set][index];
    return answer ? answer : -1;
}

BOOL VoBeep(int kind)
{
    const wchar_t *alias = kind == 1   ? L"SystemExclamation"
                           : kind == 2 ? L"SystemAsterisk"
                           : kind == 3 ? L"SystemQuestion"
                           : kind == 4 ? L"BrevikDoneProcessing"
                                       : L"SystemDefault";
    // winmm.dll is loaded from the system folder only when a sound plays.
    typedef BOOL(WINAPI * PlayFunction)(LPCWSTR, UINT);
    auto play = VoSystemFunction<PlayFunction>(L"winmm.dll", "sndPlaySoundW");
    return play ? play(alias, SND_ASYNC) : FALSE;
}

int VoDlgInitFont(HWND dialog, HFONT font)
{
    if (GetACP() == 1252) return 0;
    if (!font) font = VoKernel_GetUIFont(DEFAULT_GUI_FONT);
    EnumChildWindows(dialog, SetChildFont, (LPARAM)font);
    return 1;
}
