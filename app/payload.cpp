// The payload: the archive carried by this program's own file. The work
// folder, the control files, the longest entry name, and the extraction
// worker with its progress object.
#include "stub.h"

#include <commctrl.h>
#include <cwchar>
#include <new>

#include "files/files.h"
#include "format/format.h"
#include "log/errors.h"
#include "msgbox/msgbox.h"

namespace {

const uint32_t kControlFlags = 7;  // no paths, overwrite, one pass
const int kMaxFolderFailures = 10;

void ShowNoOwner(UINT stringId, const wchar_t *argument)
{
    VoMsgBoxId(g_vox.Lang, nullptr, MB_ICONEXCLAMATION, stringId, argument);
}

// "Out of disk space on <drive>." for a folder on that drive.
void ShowNoRoom(const wchar_t *folder)
{
    wchar_t root[MAX_PATH] = L"";
    VoGetRootPathFromFilePath(folder, root, MAX_PATH);
    ShowNoOwner(IDS_NO_ROOM_FOR_CONTROL, root);
}

// The worker's extraction into Destination once the payload is open.
void ExtractPayload(CArchive2 &archive, CVoxExtractProgress *progress)
{
    wchar_t createdTop[MAX_PATH];
    Vox_TopmostMissingFolder(g_vox.Destination, createdTop);
    VoCreateDirectory(g_vox.Destination, nullptr);
    HRESULT room = archive.IsSpaceForExtractAll(g_vox.Destination, 0);
    if (room != 0) {
        Vox_RemoveCreatedFolders(g_vox.Destination, createdTop);
        // No room is a failed extraction, not a success with nothing done,
        // and the user is told which disk is full.
        g_vox.ExtractResult = FAILED(room) ? room : VO_E_DISKFULL;
        if (g_vox.ExtractResult == VO_E_DISKFULL) ShowNoRoom(g_vox.Destination);
        return;
    }
    uint64_t total = 0;
    archive.GetSizeExtractAll(&total);
    if (g_vox.ProgressBar) {
        SendMessageW(g_vox.ProgressBar, PBM_SETRANGE32, 0, (LPARAM)(total >> 10));
        SendMessageW(g_vox.ProgressBar, PBM_SETSTEP, 1, 0);
    }
    g_vox.ExtractResult = archive.ExtractAll(g_vox.Destination, 0);
}

}  // namespace

// The folders VoCreateDirectory will add for path: the topmost missing
// ancestor (or path itself) is remembered, so that a failed run removes
// only what it created.
void Vox_TopmostMissingFolder(const wchar_t *path, wchar_t *out)
{
    out[0] = 0;
    wchar_t probe[MAX_PATH];
    lstrcpynW(probe, path, MAX_PATH);
    while (probe[0] && !Vox_IsFolder(probe)) {
        lstrcpynW(out, probe, MAX_PATH);
        wchar_t *slash = wcsrchr(probe, L'\\');
        if (!slash) break;
        *slash = 0;
    }
}

// Removes path and its parents up to and including top, each only while
// it is empty.
void Vox_RemoveCreatedFolders(const wchar_t *path, const wchar_t *top)
{
    if (!top[0]) return;
    wchar_t folder[MAX_PATH];
    lstrcpynW(folder, path, MAX_PATH);
    VoRemoveSlashFromPathNameEnd(folder, MAX_PATH);
    size_t topLength = wcslen(top);
    while (wcslen(folder) >= topLength && RemoveDirectoryW(folder)) {
        wchar_t *slash = wcsrchr(folder, L'\\');
        if (!slash || wcslen(folder) == topLength) break;
        *slash = 0;
    }
}

bool Vox_IsFolder(const wchar_t *path)
{
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

HRESULT Vox_OpenPayload(CArchive2 *archive, CVoArchiveProgress *progress)
{
    wchar_t self[MAX_PATH];
    if (!GetModuleFileNameW(g_vox.Instance, self, MAX_PATH)) return E_FAIL;
    return archive->Open(self, ARC_OPEN_READ, progress);
}

HRESULT Vox_CreateTempFolder(wchar_t *out, int outChars)
{
    wchar_t base[MAX_PATH] = L"";
    VoGetTempPath(MAX_PATH, base);
    if (!VoIsDirectoryWritable(base)) {
        ShowNoOwner(IDS_TEMP_NOT_WRITABLE, base);
        return VOX_E_TEMP_NOT_WRITABLE;
    }
    wchar_t prefix[MAX_PATH + 16];
    _snwprintf(prefix, MAX_PATH + 16, L"%sVoInstall_", base);
    int failures = 0;
    for (unsigned n = 1; failures < kMaxFolderFailures; ++n) {
        wchar_t candidate[MAX_PATH + 32];
        int length = _snwprintf(candidate, MAX_PATH + 32, L"%s%u", prefix, n);
        if (length < 0 || length >= outChars) break;
        // Made here and now, or not ours: a folder that exists (another
        // stub started at the same moment may just have made it) is never
        // shared, the next number is tried.
        if (CreateDirectoryW(candidate, nullptr)) {
            lstrcpynW(out, candidate, outChars);
            return S_OK;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) ++failures;
    }
    out[0] = 0;
    ShowNoOwner(IDS_TEMP_NOT_WRITABLE, base);
    return E_INVALIDARG;
}

HRESULT Vox_ExtractControlFiles(const wchar_t *folder)
{
    CArchive2 payload;
    HRESULT hr = Vox_OpenPayload(&payload, nullptr);
    if (FAILED(hr)) {
        ShowNoOwner(IDS_PACKAGE_UNREADABLE, nullptr);
        return hr;
    }
    hr = payload.IsSpaceForExtractEntry(VOX_CONTROL_ARCHIVE, folder, kControlFlags);
    if (hr != 0) {
        ShowNoRoom(folder);
        payload.Close();
        return FAILED(hr) ? hr : VO_E_DISKFULL;
    }
    hr = payload.ExtractEntry(VOX_CONTROL_ARCHIVE, folder, kControlFlags);
    payload.Close();
    if (FAILED(hr)) return hr;
    wchar_t controlPath[MAX_PATH + 16];
    _snwprintf(controlPath, MAX_PATH + 16, L"%s\\%s", folder, VOX_CONTROL_ARCHIVE);
    CArchive2 control;
    hr = control.Open(controlPath, ARC_OPEN_READ, nullptr);
    if (SUCCEEDED(hr)) {
        hr = control.IsSpaceForExtractAll(folder, kControlFlags);
        if (hr == 1) hr = VO_E_DISKFULL;
        if (!FAILED(hr)) hr = control.ExtractAll(folder, kControlFlags);
        control.Close();
    }
    return hr;
}

uint16_t Vox_LongestEntryName()
{
    CArchive2 payload;
    if (FAILED(Vox_OpenPayload(&payload, nullptr))) return 0;
    size_t longest = 0;
    int count = payload.GetArchiveCount();
    for (int i = 0; i < count; ++i) {
        wchar_t name[MAX_PATH] = L"";
        if (payload.GetEntryName(i, name, MAX_PATH) >= 0 && wcslen(name) > longest) longest = wcslen(name);
    }
    payload.Close();
    return (uint16_t)longest;
}

DWORD WINAPI Vox_ExtractWorker(LPVOID parameter)
{
    auto *progress = static_cast<CVoxExtractProgress *>(parameter);
    g_vox.ExtractResult = S_OK;
    {
        CArchive2 payload;
        HRESULT hr = Vox_OpenPayload(&payload, progress);
        if (SUCCEEDED(hr)) {
            ExtractPayload(payload, progress);
            payload.Close();
        } else {
            g_vox.ExtractResult = hr;
        }
    }
    // Stopped after an error box: the run ends with that failure, not as
    // cancelled by the user.
    if (progress && progress->StoppedFor() != S_OK && (g_vox.ExtractResult == VO_E_CANCEL || SUCCEEDED(g_vox.ExtractResult)))
        g_vox.ExtractResult = progress->StoppedFor();
    SetEvent(g_vox.ArchiveEnd);
    // However the worker ended (a payload that does not open, no room, a
    // failed or finished extraction), the page ends with it, on its own
    // thread.
    if (progress) PostMessageW(progress->Page(), WM_VOX_WORKER_DONE, 0, 0);
    return 0;
}

bool Vox_StartWorker(CVoxExtractProgress *progress)
{
    g_vox.WorkerThread = CreateThread(nullptr, 0, Vox_ExtractWorker, progress, 0, nullptr);
    return g_vox.WorkerThread != nullptr;
}

// ---------------------------------------------------------------------------

CVoxExtractProgress::CVoxExtractProgress(HWND page, HWND progressBar, HWND statusText)
    : CVoArchiveProgress(reinterpret_cast<uintptr_t>(page)), m_progressBar(progressBar), m_statusText(statusText)
{
    VoLoadString(g_vox.Lang, IDS_EXTRACTING_STATUS, m_statusFormat, 260);
}

int CVoxExtractProgress::Begin(const VOCHAR *text, uint32_t, uint32_t)
{
    SetText(text);
    OnStatus(ARC_STAT_BEGIN);
    return 0;
}

int CVoxExtractProgress::OnError(uint32_t diagnostic)
{
    Vox_ShowArchiveError(this, diagnostic);
    if (m_stoppedFor == S_OK)
        m_stoppedFor = diagnostic == ARC_ERR_DISKSPACE  ? VO_E_DISKFULL
                       : diagnostic == ARC_ERR_NOMEMORY ? E_OUTOFMEMORY
                                                        : VO_E_BADDATA;
    return 0;
}

int CVoxExtractProgress::OnStatus(uint32_t status)
{
    switch (status) {
    case ARC_STAT_EXTRACT: {
        wchar_t line[260];
        VoPrintFN(line, 260, m_statusFormat, GetText());
        SetWindowTextW(m_statusText, line);
        break;
    }
    case ARC_STAT_ASK:
    case ARC_STAT_ASKREADONLY:
        if (g_vox.SilentOverwrite) StoreAnswer(ARC_ANSWER_YESALL);
        else Vox_AskOverwrite(this, status == ARC_STAT_ASKREADONLY);
        break;
    default: break;
    }
    return 0;
}

int CVoxExtractProgress::OnProgress(uint32_t countLow, uint32_t countHigh)
{
    CVoArchiveProgress::OnProgress(countLow, countHigh);
    uint64_t kib = m_done >> 10;
    if (kib > m_spare) {
        SendMessageW(m_progressBar, PBM_DELTAPOS, (WPARAM)(kib - m_spare), 0);
        m_spare = kib;
    }
    return 0;
}

void Vox_ShowArchiveError(CVoArchiveProgress *progress, uint32_t diagnostic)
{
    struct ErrorLines {
        uint32_t diagnostic;
        UINT first;
    };
    static const ErrorLines kTable[] = {
        {ARC_ERR_NOMEMORY, IDS_ERR_NOMEMORY}, {ARC_ERR_SIGNATURE, IDS_ERR_SIGNATURE}, {ARC_ERR_BLOCK, IDS_ERR_BLOCK},
        {ARC_ERR_BUFFER, IDS_ERR_BUFFER},     {ARC_ERR_DISKSPACE, IDS_ERR_DISKSPACE}, {ARC_ERR_VOLUME, IDS_ERR_VOLUME},
        {ARC_ERR_NOFILE, IDS_ERR_NOFILE},     {ARC_ERR_CRC, IDS_ERR_CRC},
        {ARC_ERR_INVALIDARG, IDS_ERR_UNSAFE_NAME},
    };
    UINT first = IDS_ERR_PRIVILEGES, second = IDS_ERR_OTHER_SECOND_LINE;
    for (const ErrorLines &row : kTable)
        if (row.diagnostic == diagnostic) first = row.first, second = IDS_ABORTING;
    wchar_t firstLine[260], secondLine[260], context[260];
    VoLoadString(g_vox.Lang, first, firstLine, 260);
    VoLoadString(g_vox.Lang, second, secondLine, 260);
    // The context is "operation" or "operation|argument"; a line that
    // wants an argument and gets none shows the operation instead.
    lstrcpynW(context, progress->GetText(), 260);
    wchar_t *bar = wcschr(context, L'|');
    const wchar_t *argument = bar ? bar + 1 : context;
    if (bar) *bar = 0;
    wchar_t formattedFirst[4096], message[8192];
    VoPrintFN(formattedFirst, 4096, firstLine, argument);
    _snwprintf(message, 8192, L"%s\n\n%s", formattedFirst, secondLine);
    message[8191] = 0;
    wchar_t caption[260];
    VoLoadString(g_vox.Lang, IDS_ERROR, caption, 260);
    HWND owner = reinterpret_cast<HWND>(progress->GetOwner());
    VoMessageBox(owner ? owner : nullptr, message, caption, MB_ICONEXCLAMATION);
    progress->SetAnswer(VO_E_CANCEL);
}
