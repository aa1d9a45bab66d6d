// The Unpacking Wizard: a destination page and a progress page, both with
// the package's banner and a heading.
#include "stub.h"

#include <commctrl.h>
#include <cwchar>
#include <new>

#include "files/files.h"
#include "format/format.h"
#include "log/errors.h"
#include "msgbox/msgbox.h"
#include "number/number.h"
#include "window/window.h"

namespace {

const UINT kProgressPage = 1000;
const UINT kDestinationPage = 1100;
const int kEditDestination = 1101, kChangeButton = 1104, kNextButton = 2000, kBackButton = 2001;
const int kProgressBar = 1001, kStatusText = 1002, kProgressExplanation = 1004;
const int kPageFinished = 1, kPageCancelled = 2, kPageFailed = 3;
const UINT_PTR kFinishedTimer = 1;
const UINT kFinishedShowMs = 150;
// The destination plus the longest entry name stay within this length.
const int kMaxExtractedPath = 210;

// ---------------------------------------------------------------------------
// Placement and painting, shared by both pages.

void PlacePage(HWND page)
{
    if (g_vox.PageX != -1 && g_vox.PageY != -1) {
        RECT r;
        GetWindowRect(page, &r);
        MoveWindow(page, g_vox.PageX, g_vox.PageY, r.right - r.left, r.bottom - r.top, TRUE);
    } else {
        VoWndCenter(page, nullptr, nullptr, 0x8001);
    }
}

void RememberPagePosition(HWND page)
{
    RECT r;
    GetWindowRect(page, &r);
    g_vox.PageX = r.left;
    g_vox.PageY = r.top;
}

void PaintBanner(HWND page, HDC dc)
{
    if (!g_vox.BannerBitmap) return;
    RECT client;
    GetClientRect(page, &client);
    int space = client.right - g_vox.BannerWidth;
    int x = space > 40 ? 20 : space > 0 ? space / 2 : 0;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, g_vox.BannerBitmap);
    BitBlt(dc, x, 11, g_vox.BannerWidth, g_vox.BannerHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void PaintHeading(HWND page, HDC dc, UINT stringId, int controlId)
{
    RECT control;
    GetWindowRect(GetDlgItem(page, controlId), &control);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT *>(&control), 2);
    RECT area = {control.left, g_vox.BannerHeight + 31, control.right, g_vox.BannerHeight + 51};
    LOGFONTW description = {};
    description.lfHeight = 12;
    description.lfWeight = FW_BOLD;
    description.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(description.lfFaceName, g_vox.TitleFont, LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&description);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, g_vox.TitleColor);
    wchar_t text[MAX_PATH];
    VoLoadString(g_vox.Lang, stringId, text, MAX_PATH);
    DrawTextW(dc, text, -1, &area, DT_SINGLELINE | DT_VCENTER);
    SelectObject(dc, old);
    DeleteObject(font);
}

INT_PTR PaintPage(HWND page, UINT headingId, int alignControl)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(page, &paint);
    PaintBanner(page, dc);
    PaintHeading(page, dc, headingId, alignControl);
    EndPaint(page, &paint);
    return 1;
}

// ---------------------------------------------------------------------------
// Destination page.

// The longest destination that leaves room for the longest entry name.
int DestinationLimit()
{
    int limit = kMaxExtractedPath - g_vox.LongestEntryName;
    return limit > 0 ? limit : 1;
}

void ShowInvalid(HWND page, UINT stringId)
{
    VoMsgBoxId(g_vox.Lang, page, MB_ICONEXCLAMATION, stringId);
    SetFocus(GetDlgItem(page, kEditDestination));
}

// The string that refuses a destination, or 0 when it may be used; creates
// the folder on Next.
UINT CheckDestination(const wchar_t *text, bool next)
{
    if (!text[0]) return IDS_INVALID_DIRECTORY;
    wchar_t root[MAX_PATH] = L"";
    VoGetRootPathFromFilePath(text, root, MAX_PATH);
    if (root[0] && lstrcmpiW(root, text) == 0) return IDS_ROOT_DIRECTORY;
    if (!Vox_IsValidPathText(text)) return IDS_INVALID_DIRECTORY;
    if (!next) return 0;
    // The edit's limit holds only for typing: a folder from the browser or
    // a long default destination arrives whole.
    if ((int)wcslen(text) > DestinationLimit()) return IDS_PATH_TOO_LONG;
    wchar_t createdTop[MAX_PATH];
    Vox_TopmostMissingFolder(text, createdTop);
    if (!Vox_IsFolder(text) && !VoCreateDirectory(text, nullptr)) {
        DWORD error = GetLastError();
        // VoCreateDirectory gives up on a missing drive without an error
        // code of its own, so the root is looked at.
        if (error == ERROR_INVALID_DRIVE || (root[0] && !Vox_IsFolder(root))) return IDS_NO_SUCH_DRIVE;
        if (error == ERROR_FILENAME_EXCED_RANGE) return IDS_PATH_TOO_LONG;
        return IDS_CANNOT_CREATE_DIRECTORY;
    }
    if (Vox_HasRoomFor(text)) return 0;
    // Refused: the folders made for it go again, so that neither this
    // refusal nor a cancel after it leaves them behind.
    Vox_RemoveCreatedFolders(text, createdTop);
    return IDS_DESTINATION_FULL;
}

void AcceptDestination(HWND page, int button)
{
    wchar_t text[MAX_PATH];
    GetDlgItemTextW(page, kEditDestination, text, MAX_PATH);
    VoStripWhiteSpace(text);
    UINT refusal = CheckDestination(text, false);
    if (refusal) return ShowInvalid(page, refusal);
    lstrcpynW(g_vox.Destination, text, MAX_PATH);
    RememberPagePosition(page);
    if (button == kBackButton) {
        EndDialog(page, kBackButton);
        return;
    }
    refusal = CheckDestination(text, true);
    if (refusal) return ShowInvalid(page, refusal);
    EndDialog(page, kNextButton);
}

void InitDestinationPage(HWND page)
{
    SendDlgItemMessageW(page, kEditDestination, EM_LIMITTEXT, (WPARAM)DestinationLimit(), 0);
    SetDlgItemTextW(page, kEditDestination, g_vox.Destination);
    SetWindowTextW(page, g_vox.Caption);
    PlacePage(page);
    SetFocus(GetDlgItem(page, kNextButton));
}

INT_PTR DestinationCommand(HWND page, WPARAM wParam)
{
    int id = LOWORD(wParam);
    if (id == kEditDestination && HIWORD(wParam) == EN_CHANGE) {
        EnableWindow(GetDlgItem(page, kNextButton), GetWindowTextLengthW(GetDlgItem(page, kEditDestination)) > 0);
    } else if (id == kChangeButton) {
        wchar_t current[MAX_PATH];
        GetDlgItemTextW(page, kEditDestination, current, MAX_PATH);
        if (Vox_BrowseDestination(page, current)) SetDlgItemTextW(page, kEditDestination, g_vox.Destination);
    } else if (id == IDCANCEL) {
        if (Vox_ConfirmCancel(page)) EndDialog(page, kPageCancelled);
    } else if (id == kNextButton || id == kBackButton) {
        AcceptDestination(page, id);
    } else {
        return 0;
    }
    return 1;
}

INT_PTR CALLBACK DestinationPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: InitDestinationPage(page); return 0;  // the focus is set
    case WM_COMMAND: return DestinationCommand(page, wParam);
    case WM_PAINT: return PaintPage(page, IDS_SAVE_LOCATION, kEditDestination);
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Progress page.

void InitProgressPage(HWND page)
{
    SetWindowTextW(page, g_vox.Caption);
    wchar_t format[1024], text[4096];
    VoLoadString(g_vox.Lang, IDS_PROGRESS_EXPLANATION, format, 1024);
    VoPrintFN(text, 4096, format);
    SetDlgItemTextW(page, kProgressExplanation, text);
    g_vox.ProgressBar = GetDlgItem(page, kProgressBar);
    PlacePage(page);
    delete g_vox.Progress;
    g_vox.Progress = new (std::nothrow) CVoxExtractProgress(page, g_vox.ProgressBar, GetDlgItem(page, kStatusText));
    // No progress object or no worker is a failure of the run, not a cancel.
    if (!g_vox.Progress) {
        g_vox.ExtractResult = E_OUTOFMEMORY;
        EndDialog(page, kPageFailed);
    } else if (!Vox_StartWorker(g_vox.Progress)) {
        DWORD error = GetLastError();
        g_vox.ExtractResult = error ? HRESULT_FROM_WIN32(error) : E_FAIL;
        EndDialog(page, kPageFailed);
    }
}

// Cancel: the engine waits at its next poll while the user is asked.
void CancelExtraction(HWND page)
{
    if (!g_vox.Progress) return;
    g_vox.Progress->StoreAnswer(VO_E_PAUSE);
    bool yes = Vox_ConfirmCancel(page);
    if (yes) g_vox.Cancelled = 1;
    g_vox.Progress->SetAnswer(yes ? VO_E_CANCEL : S_OK);
}

INT_PTR CALLBACK ProgressPageProc(HWND page, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG: InitProgressPage(page); return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDCANCEL) return 0;
        CancelExtraction(page);
        return 1;
    case WM_VOX_WORKER_DONE:
        // A failure ends the wizard with the extraction's own result at
        // once; a finished extraction leaves its full bar in sight a moment.
        if (FAILED(g_vox.ExtractResult) || !SetTimer(page, kFinishedTimer, kFinishedShowMs, nullptr))
            EndDialog(page, FAILED(g_vox.ExtractResult) ? kPageFailed : kPageFinished);
        return 1;
    case WM_TIMER:
        if (wParam != kFinishedTimer) return 0;
        KillTimer(page, kFinishedTimer);
        EndDialog(page, kPageFinished);
        return 1;
    case WM_PAINT: return PaintPage(page, IDS_EXTRACTING_FILES, kProgressBar);
    case WM_DESTROY: g_vox.ProgressBar = nullptr; return 0;
    }
    return 0;
}

}  // namespace

int Vox_IsValidPathText(const wchar_t *text)
{
    return text && text[0] && !wcspbrk(text, L"\"*<>?|");
}

int Vox_HasRoomFor(const wchar_t *folder)
{
    CArchive2 payload;
    // A payload that no longer opens is not a full disk: the folder is
    // accepted, and the worker's own open reports the failure.
    if (FAILED(Vox_OpenPayload(&payload, nullptr))) return 1;
    HRESULT room = payload.IsSpaceForExtractAll(folder, 0);
    payload.Close();
    return room == 0;
}

int Vox_BrowseDestination(HWND page, const wchar_t *current)
{
    wchar_t buffer[MAX_PATH], title[MAX_PATH];
    lstrcpynW(buffer, current, MAX_PATH);
    VoLoadString(g_vox.Lang, IDS_SELECT_DIRECTORY, title, MAX_PATH);
    if (FAILED(VoSelectDirectoryDlgEx(page, title, buffer, MAX_PATH, TRUE, TRUE))) return 0;
    lstrcpynW(g_vox.Destination, buffer, MAX_PATH);
    return 1;
}

int Vox_ConfirmCancel(HWND owner)
{
    wchar_t text[MAX_PATH], caption[MAX_PATH];
    VoLoadString(g_vox.Lang, IDS_CONFIRM_CANCEL, text, MAX_PATH);
    VoLoadString(g_vox.Lang, IDS_WIZARD_NAME, caption, MAX_PATH);
    return VoMessageBox(owner, text, caption, MB_ICONQUESTION | MB_YESNO) == IDYES;
}

int Vox_RunWizard(int startOnProgress)
{
    int index = startOnProgress ? 1 : 0;
    for (;;) {
        INT_PTR result = index ? VoDialogBoxParam(g_vox.Lang, kProgressPage, nullptr, ProgressPageProc, 0)
                               : VoDialogBoxParam(g_vox.Lang, kDestinationPage, nullptr, DestinationPageProc, 0);
        if (result == kPageFinished) return 1;
        if (result == kPageCancelled || result == kPageFailed || result < 0) return 0;
        index = result == kBackButton ? index - 1 : index + 1;
        if (index < 0 || index > 1) return 0;
    }
}
