// The overwrite question: the "File Exists" dialog and its five answers.
#include "stub.h"

#include <cwchar>

#include "format/format.h"
#include "log/errors.h"
#include "window/window.h"

namespace {

const UINT kFileExistsDialog = 1200;

// What the dialog is given: the file's full path and whether it is
// read-only.
struct OverwriteQuestion {
    wchar_t fileName[MAX_PATH];
    int32_t readOnly;
};

void SetItemString(HWND dialog, int item, UINT stringId)
{
    HWND control = GetDlgItem(dialog, item);
    if (!control) return;
    wchar_t text[MAX_PATH];
    VoLoadString(g_vox.Lang, stringId, text, MAX_PATH);
    SetWindowTextW(control, text);
}

void InitDialog(HWND dialog, const OverwriteQuestion *question)
{
    wchar_t caption[MAX_PATH];
    VoLoadString(g_vox.Lang, IDS_FILE_EXISTS, caption, MAX_PATH);
    SetWindowTextW(dialog, caption);
    wchar_t format[MAX_PATH], text[4096];
    VoLoadString(g_vox.Lang, question->readOnly ? IDS_FILE_EXISTS_READONLY : IDS_FILE_EXISTS_TEXT, format, MAX_PATH);
    VoPrintFN(text, 4096, format, question->fileName);
    SetDlgItemTextW(dialog, 1201, text);
    SetItemString(dialog, 1202, IDS_OVERWRITE_QUESTION);
    SetItemString(dialog, 2002, IDS_BUTTON_YES);
    SetItemString(dialog, 2003, IDS_BUTTON_YES_TO_ALL);
    SetItemString(dialog, 2004, IDS_BUTTON_NO);
    SetItemString(dialog, 2005, IDS_BUTTON_NO_TO_ALL);
    SetItemString(dialog, IDCANCEL, IDS_BUTTON_CANCEL);
}

INT_PTR CALLBACK OverwriteDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog, reinterpret_cast<const OverwriteQuestion *>(lParam));
        return 1;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0) EndDialog(dialog, LOWORD(wParam));
        return 1;
    }
    return 0;
}

}  // namespace

void Vox_AskOverwrite(CVoxExtractProgress *progress, int readOnly)
{
    if (!g_vox.ShowOverwrite) return;
    OverwriteQuestion question = {};
    lstrcpynW(question.fileName, progress->GetText(), MAX_PATH);
    question.readOnly = readOnly;
    INT_PTR result = VoDialogBoxParam(g_vox.Lang, kFileExistsDialog, progress->Page(), OverwriteDialogProc,
                                      reinterpret_cast<LPARAM>(&question));
    switch (result) {
    case 2002: progress->StoreAnswer(ARC_ANSWER_YES); break;
    case 2003: progress->StoreAnswer(ARC_ANSWER_YESALL); break;
    case 2004: progress->StoreAnswer(ARC_ANSWER_NO); break;
    case 2005: progress->StoreAnswer(ARC_ANSWER_NOALL); break;
    case IDCANCEL: progress->StoreAnswer(VO_E_CANCEL); break;
    default: break;
    }
}
