// Starting the package's installer, waiting for it, and the stub's two
// exported deletion functions.
#include "stub.h"

#include <cwchar>

#include "files/files.h"
#include "format/format.h"
#include "msgbox/msgbox.h"

namespace {

// The longest command line CreateProcessW accepts, with its terminator.
const size_t kMaxCommandLine = 32767;

// The launch error text for a system error code.
void LaunchErrorText(DWORD error, wchar_t *out)
{
    UINT id = error == ERROR_FILE_NOT_FOUND      ? IDS_LAUNCH_FILE_NOT_FOUND
              : error == ERROR_PATH_NOT_FOUND    ? IDS_LAUNCH_PATH_NOT_FOUND
              : error == ERROR_ACCESS_DENIED     ? IDS_LAUNCH_ACCESS_DENIED
              : error == ERROR_NOT_ENOUGH_MEMORY ? IDS_LAUNCH_NO_MEMORY
              : error == ERROR_SHARING_VIOLATION ? IDS_LAUNCH_SHARING
                                                 : IDS_LAUNCH_UNKNOWN;
    wchar_t format[1024];
    VoLoadString(g_vox.Lang, id, format, 1024);
    VoPrintFN(out, 4096, format, (int)error);
}

void ShowLaunchError(const wchar_t *program, DWORD error)
{
    wchar_t reason[4096], caption[1024], format[1024];
    LaunchErrorText(error, reason);
    VoLoadString(g_vox.Lang, IDS_LAUNCH_ERROR, caption, 1024);
    VoLoadString(g_vox.Lang, IDS_LAUNCH_ERROR_TEXT, format, 1024);
    CVoTextBuffer message;
    size_t room = 8192 + wcslen(program);
    wchar_t *text = message.Reserve(room);
    if (text) message.Commit((size_t)VoPrintFN(text, (int)room, format, program, reason));
    VoMessageBox(nullptr, message.Text(), caption, MB_ICONEXCLAMATION);
}

// Appends text with its tokens expanded (the author's text: a '%' in it is
// a '%'); the room needed is bounded by the tokens' values.
void AppendFormatted(CVoTextBuffer &out, const wchar_t *format, size_t extra)
{
    size_t room = wcslen(format) + extra + 4096;
    wchar_t *text = out.Reserve(room);
    if (!text) return;
    int length = VoExpandTokensN(text, (int)room, format);
    out.Commit(length > 0 ? (size_t)length : 0);
}

// Appends the parameters: the settings' own, or the default ones, with the
// token "Stowage" standing for the package's short path while they are
// built.
void AppendParameters(CVoTextBuffer &out, const wchar_t *setupAppParams)
{
    wchar_t self[MAX_PATH], shortSelf[MAX_PATH];
    GetModuleFileNameW(g_vox.Instance, self, MAX_PATH);
    if (!GetShortPathNameW(self, shortSelf, MAX_PATH)) lstrcpynW(shortSelf, self, MAX_PATH);
    VoPrintF_AddToken(L"Stowage", shortSelf);
    wchar_t defaults[1024];
    const wchar_t *format = setupAppParams;
    if (!format[0]) {
        VoLoadString(g_vox.Lang, IDS_DEFAULT_SETUP_PARAMS, defaults, 1024);
        format = defaults;
    }
    AppendFormatted(out, format, wcslen(shortSelf));
    VoPrintF_DeleteToken(L"Stowage");
}

}  // namespace

HRESULT Vox_LaunchInstaller(const wchar_t *setupApp, const wchar_t *setupAppParams, DWORD *exitCode)
{
    *exitCode = 0;
    CVoTextBuffer program;
    program.Append(g_vox.Destination).Append(L"\\").Append(setupApp);
    // The program is named twice: as the module to run, and quoted at the
    // head of the command line, so that a destination with blanks cannot
    // make Windows try "D:\My.exe" first.
    g_vox.LaunchProgram.Clear();
    g_vox.LaunchProgram.Append(program.Text());
    CVoTextBuffer &command = g_vox.LaunchCommand;
    command.Clear();
    command.Append(L"\"").Append(program.Text()).Append(L"\" ");
    AppendParameters(command, setupAppParams);
    if (command.Failed() || command.Length() >= kMaxCommandLine) {
        ShowLaunchError(program.Text(), command.Failed() ? ERROR_NOT_ENOUGH_MEMORY : ERROR_FILENAME_EXCED_RANGE);
        return E_INVALIDARG;
    }
    DWORD createError = 0;
    *exitCode = Vox_RunAndWait(&createError);
    if (createError == 0) return S_OK;
    ShowLaunchError(program.Text(), createError);
    return HRESULT_FROM_WIN32(createError);
}

DWORD Vox_RunAndWait(DWORD *createError)
{
    *createError = 0;
    HANDLE thread = CreateThread(nullptr, 0, Vox_InstallerWaitThread,
                                 reinterpret_cast<LPVOID>((uintptr_t)GetCurrentThreadId()), 0, nullptr);
    if (!thread) {
        *createError = GetLastError();
        return (DWORD)E_FAIL;
    }
    MSG message;
    DWORD exitCode = 1;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!message.hwnd && message.message == WM_VOX_INSTALLER_DONE) {
            *createError = (DWORD)message.wParam;
            exitCode = (DWORD)message.lParam;
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    CloseHandle(thread);
    return exitCode;
}

DWORD WINAPI Vox_InstallerWaitThread(LPVOID launcherThreadId)
{
    DWORD exitCode = 1, createError = 0;
    // CreateProcessW may write into the command line it is given.
    CVoTextBuffer command(g_vox.LaunchCommand.Text());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (command.Data() && CreateProcessW(g_vox.LaunchProgram.Text(), command.Data(), nullptr, nullptr, FALSE, 0, nullptr,
                                         nullptr, &startup, &process)) {
        WaitForInputIdle(process.hProcess, INFINITE);
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        createError = GetLastError();
        if (createError == 0) createError = ERROR_FILE_NOT_FOUND;
    }
    // The launcher's queue may not exist yet when this thread is quick.
    DWORD launcher = (DWORD)(uintptr_t)launcherThreadId;
    while (!PostThreadMessageW(launcher, WM_VOX_INSTALLER_DONE, createError, (LPARAM)exitCode)) Sleep(10);
    return 0;
}

// ---------------------------------------------------------------------------

namespace {

// Calls visit(path, data) for every entry of folder matching pattern. A
// path that would not fit in MAX_PATH is never cut (a cut one may name
// another file): it is left alone, and the walk fails.
template <typename Visit>
bool ForEachEntry(const wchar_t *folder, const wchar_t *pattern, Visit visit)
{
    wchar_t search[MAX_PATH + 8];
    if (wcslen(folder) >= MAX_PATH - 1) return false;
    lstrcpynW(search, folder, MAX_PATH);
    VoAddSlashToPathName(search, MAX_PATH);
    size_t baseLength = wcslen(search);
    wcsncat(search, pattern, MAX_PATH + 7 - wcslen(search));
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(search, &data);
    if (find == INVALID_HANDLE_VALUE) return true;
    bool ok = true;
    do {
        if (wcscmp(data.cFileName, L".") == 0 || wcscmp(data.cFileName, L"..") == 0) continue;
        wchar_t path[MAX_PATH * 2 + 8];
        if (baseLength + wcslen(data.cFileName) >= MAX_PATH) {
            ok = false;
            continue;
        }
        lstrcpynW(path, search, (int)baseLength + 1);
        lstrcpynW(path + baseLength, data.cFileName, MAX_PATH);
        if (!visit(path, data)) ok = false;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return ok;
}

// A folder the walks go into: a junction or a symbolic link to a folder
// leads out of the tree (someone may have planted it), so it is not one.
bool IsWalkable(const WIN32_FIND_DATAW &data)
{
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool DeleteOneFile(const wchar_t *path, const WIN32_FIND_DATAW &data)
{
    if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path, 0);
    return DeleteFileW(path) != FALSE;
}

}  // namespace

extern "C" int __stdcall Vox_VoDeleteDirectoryTree(const wchar_t *folder, int removeFolder)
{
    if (!folder || !folder[0]) return 0;
    bool ok = ForEachEntry(folder, L"*.*", [](const wchar_t *path, const WIN32_FIND_DATAW &data) {
        if (IsWalkable(data)) return Vox_VoDeleteDirectoryTree(path, 1) != 0;
        // A link to a folder: the link goes, what it leads to stays.
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryW(path) != FALSE;
        return DeleteOneFile(path, data);
    });
    if (removeFolder) {
        DWORD attributes = GetFileAttributesW(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(folder, 0);
        if (!RemoveDirectoryW(folder)) ok = false;
    }
    return ok ? 1 : 0;
}

extern "C" int __stdcall Vox_VoDeleteFiles(const wchar_t *folder, const wchar_t *pattern, int recurse)
{
    if (!folder || !pattern) return 0;
    bool ok = ForEachEntry(folder, pattern, [](const wchar_t *path, const WIN32_FIND_DATAW &data) {
        return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? true : DeleteOneFile(path, data);
    });
    if (recurse) {
        bool deeper = ForEachEntry(folder, L"*.*", [pattern](const wchar_t *path, const WIN32_FIND_DATAW &data) {
            return !IsWalkable(data) || Vox_VoDeleteFiles(path, pattern, 1) != 0;
        });
        ok = ok && deeper;
    }
    return ok ? 1 : 0;
}
