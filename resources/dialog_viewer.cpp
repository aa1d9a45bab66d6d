// Shows one of the stub's dialogs in one language, filled with the kind of
// texts a real run puts in, so that layouts can be looked at and captured
// (scripts/screenshots). Not part of the stub.
//
//   dialog_viewer LCID DIALOG [--seconds N] [--rect FILE] [--until FILE]
//
// The dialog opens modeless with its top-left corner at (16, 16). --rect
// names a file that receives "x y width height" of the window (screen
// pixels) once it has been painted; --until names a file whose appearance
// closes the viewer. It closes by itself after N seconds (default 5).
// Exit codes: 0 shown and closed, 2 bad command line, 3 no such dialog in
// that language, 4 the dialog could not be created.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
const UINT_PTR kPollTimer = 1;
const UINT_PTR kEndTimer = 2;

struct Options {
    LANGID language = 0;
    int dialog = 0;
    int seconds = 5;
    const wchar_t *rectFile = nullptr;
    const wchar_t *untilFile = nullptr;
};

Options g_options;
bool g_rectWritten = false;

// A string of the given language straight from its string table block, so
// the thread's language settings do not matter; English when the language
// lacks it, as the stub's own loader does.
std::wstring LoadText(LANGID language, UINT id)
{
    const LANGID tries[] = {language, kEnglish};
    for (LANGID lang : tries) {
        HRSRC block = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), lang);
        if (!block) continue;
        HGLOBAL loaded = LoadResource(nullptr, block);
        const WCHAR *p = loaded ? static_cast<const WCHAR *>(LockResource(loaded)) : nullptr;
        if (!p) continue;
        for (UINT i = 0; i < (id & 15); ++i) p += 1 + *p;
        if (*p) return std::wstring(p + 1, *p);
    }
    return std::wstring();
}

std::wstring Replace(std::wstring text, const wchar_t *what, const wchar_t *with)
{
    size_t at = text.find(what);
    if (at != std::wstring::npos) text.replace(at, wcslen(what), with);
    return text;
}

void FillTexts(HWND dialog)
{
    const LANGID lang = g_options.language;
    const wchar_t *app = L"Sample App";
    const wchar_t *file = L"C:\\Program Files\\Sample App\\readme.txt";
    switch (g_options.dialog) {
    case 1000:
        SetDlgItemTextW(dialog, 1004, Replace(LoadText(lang, 152), L"$(AppName.Title)", app).c_str());
        SetDlgItemTextW(dialog, 1002, Replace(LoadText(lang, 154), L"%s", file).c_str());
        SendDlgItemMessageW(dialog, 1001, PBM_SETRANGE32, 0, 100);
        SendDlgItemMessageW(dialog, 1001, PBM_SETPOS, 40, 0);
        break;
    case 1100:
        SetDlgItemTextW(dialog, 1103, LoadText(lang, 162).c_str());
        SetDlgItemTextW(dialog, 1101, Replace(LoadText(lang, 204), L"$(AppName)", app).c_str());
        break;
    case 1200:
        SetWindowTextW(dialog, LoadText(lang, 511).c_str());
        SetDlgItemTextW(dialog, 1201, Replace(LoadText(lang, 512), L"%s", file).c_str());
        SetDlgItemTextW(dialog, 1202, LoadText(lang, 514).c_str());
        break;
    }
}

void WriteRect(HWND dialog)
{
    if (g_rectWritten || !g_options.rectFile) return;
    g_rectWritten = true;
    RECT r;
    GetWindowRect(dialog, &r);
    // Written under another name and renamed, so a reader never sees half.
    std::wstring temp = std::wstring(g_options.rectFile) + L".tmp";
    FILE *f = _wfopen(temp.c_str(), L"w");
    if (!f) return;
    fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    fclose(f);
    MoveFileExW(temp.c_str(), g_options.rectFile, MOVEFILE_REPLACE_EXISTING);
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        FillTexts(dialog);
        SetTimer(dialog, kPollTimer, 200, nullptr);
        SetTimer(dialog, kEndTimer, g_options.seconds * 1000u, nullptr);
        return TRUE;
    case WM_TIMER:
        if (wParam == kEndTimer) {
            DestroyWindow(dialog);
        } else if (wParam == kPollTimer) {
            // The first poll comes after the first paint.
            WriteRect(dialog);
            if (g_options.untilFile && GetFileAttributesW(g_options.untilFile) != INVALID_FILE_ATTRIBUTES)
                DestroyWindow(dialog);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

bool ParseNumber(const wchar_t *text, long low, long high, long *out)
{
    wchar_t *end = nullptr;
    long value = wcstol(text, &end, 0);
    if (!*text || *end || value < low || value > high) return false;
    *out = value;
    return true;
}

bool ParseOptions(int argc, wchar_t **argv)
{
    if (argc < 3) return false;
    long lcid, dialog;
    if (!ParseNumber(argv[1], 1, 0xFFFF, &lcid) || !ParseNumber(argv[2], 1, 0xFFFF, &dialog)) return false;
    g_options.language = static_cast<LANGID>(lcid);
    g_options.dialog = static_cast<int>(dialog);
    for (int i = 3; i < argc; ++i) {
        if (i + 1 >= argc) return false;
        if (!wcscmp(argv[i], L"--seconds")) {
            long seconds;
            if (!ParseNumber(argv[++i], 1, 600, &seconds)) return false;
            g_options.seconds = static_cast<int>(seconds);
        } else if (!wcscmp(argv[i], L"--rect")) {
            g_options.rectFile = argv[++i];
        } else if (!wcscmp(argv[i], L"--until")) {
            g_options.untilFile = argv[++i];
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    if (!ParseOptions(__argc, __wargv)) return 2;

    SetThreadUILanguage(g_options.language);
    SetThreadLocale(MAKELCID(g_options.language, SORT_DEFAULT));

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    HRSRC found = FindResourceExW(instance, RT_DIALOG, MAKEINTRESOURCEW(g_options.dialog), g_options.language);
    if (!found) return 3;
    HGLOBAL loaded = LoadResource(instance, found);
    auto *dialogTemplate = loaded ? static_cast<const DLGTEMPLATE *>(LockResource(loaded)) : nullptr;
    if (!dialogTemplate) return 3;

    HWND dialog = CreateDialogIndirectParamW(instance, dialogTemplate, nullptr, DialogProc, 0);
    if (!dialog) return 4;
    SetWindowPos(dialog, HWND_TOP, 16, 16, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    UpdateWindow(dialog);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(dialog, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}
