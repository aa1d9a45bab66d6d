// The stub's entry point and the order of its run.
#include "stub.h"

#include <commctrl.h>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "files/files.h"
#include "format/format.h"
#include "kernel/kernel.h"
#include "log/errors.h"
#include "msgbox/msgbox.h"

// An uncaught C++ exception ends the stub by abort(), as the library's own
// handler would, but without that handler's message to a console the stub
// does not have (and the 46 KB name demangler it brings along).
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    abort();
}
}  // namespace __gnu_cxx

VoxAppState g_vox;

namespace {

const wchar_t kPlatformRefused[] = L"This Operating System does not support this Application.";
const wchar_t kNoLanguageStrings[] = L"Fatal Error!\nCould not load language strings.";
const UINT kEarlyBoxStyle = MB_ICONERROR | MB_TOPMOST;

wchar_t g_quietLog[MAX_PATH];

// Only the system folder may lend DLLs to this process from here on: a DLL
// planted beside a downloaded package is never loaded. The call exists from
// Windows 8 (and 7 with its loader update); older systems go without.
void RestrictDllSearch()
{
    typedef BOOL(WINAPI * SetDirectoriesFunction)(DWORD);
    auto set = reinterpret_cast<SetDirectoriesFunction>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (set) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
}

// The quiet log: "<temp folder><package name>.log", appended to by every
// quiet run of that package.
void CALLBACK WriteQuietLog(const wchar_t *text)
{
    HANDLE file = CreateFileW(g_quietLog, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t wideStamp[32];
    char stamp[32];
    int stampUnits = _snwprintf(wideStamp, 32, L"%04u-%02u-%02u %02u:%02u:%02u ", now.wYear, now.wMonth, now.wDay,
                                now.wHour, now.wMinute, now.wSecond);
    int stampBytes = stampUnits > 0 ? WideCharToMultiByte(CP_UTF8, 0, wideStamp, stampUnits, stamp, 32, nullptr, nullptr) : 0;
    // The whole text, however long (a crash report with its dump is long):
    // a line that does not fit a buffer is never dropped.
    int length = text ? (int)wcslen(text) : 0;
    int bytes = length ? WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr) : 0;
    char *utf8 = static_cast<char *>(VoMemAlloc((size_t)bytes + 3));
    DWORD written = 0;
    if (utf8) {
        if (bytes) WideCharToMultiByte(CP_UTF8, 0, text, length, utf8, bytes, nullptr, nullptr);
        memcpy(utf8 + bytes, "\r\n", 2);
        if (stampBytes > 0) WriteFile(file, stamp, (DWORD)stampBytes, &written, nullptr);
        WriteFile(file, utf8, (DWORD)bytes + 2, &written, nullptr);
        VoMemFree(utf8);
    }
    CloseHandle(file);
}

// A crash is reported with its dump (a QUIET run writes it to its log)
// instead of vanishing without a word.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS *pointers) { return VoErrorHandler_ExceptionFilter(pointers, L"main"); }

#ifdef VOX_TEST_TRIGGERS
// Test builds only: VOX_TEST_CRASH=1 makes the run crash once its command
// line is read, so that the crash report can be checked.
void CrashWhenAsked()
{
    wchar_t value[4];
    if (GetEnvironmentVariableW(L"VOX_TEST_CRASH", value, 4) && value[0] == L'1') *(volatile int *)nullptr = 1;
    // VOX_TEST_DELETE_TREE=FOLDER: the clean-up of a work folder, alone
    // (exit 0 when it reported success).
    wchar_t folder[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"VOX_TEST_DELETE_TREE", folder, MAX_PATH);
    if (length && length < MAX_PATH) ExitProcess(Vox_VoDeleteDirectoryTree(folder, 1) ? 0 : 1);
}
#else
void CrashWhenAsked() {}
#endif

void ShowEarlyRefusal(const wchar_t *text) { VoMessageBox(nullptr, text, L"", kEarlyBoxStyle); }

// Waits for the worker itself, not only for "ArchiveEndEvent": another stub
// may set that named event, and the result is final only once the worker
// has ended.
HRESULT WaitForWorker()
{
    if (g_vox.WorkerThread) WaitForSingleObject(g_vox.WorkerThread, INFINITE);
    return g_vox.ExtractResult;
}

// The exit code of a failed step: a full disk and a cancel are told apart
// from the step's other failures.
int ExitCodeOf(HRESULT result, int otherwise)
{
    if (result == VO_E_DISKFULL || result == VO_E_NOSPACE) return VOX_EXIT_DISK_FULL;
    if (result == VO_E_CANCEL) return VOX_EXIT_CANCELLED;
    return otherwise;
}

// Extraction, silent or through the wizard. Returns the exit code so far.
int Extract()
{
    g_vox.ArchiveEnd = CreateEventW(nullptr, TRUE, FALSE, L"ArchiveEndEvent");
    if (g_vox.Quiet) {
        g_vox.NoSetup = 1;
        if (!Vox_StartWorker(nullptr)) return VOX_EXIT_EXTRACT;
    } else if (!Vox_RunWizard(g_vox.Settings->ExtractToTemp)) {
        // Cancelled on the destination page, or no room found by the worker.
        HRESULT result = WaitForWorker();
        return FAILED(result) ? ExitCodeOf(result, VOX_EXIT_EXTRACT) : VOX_EXIT_CANCELLED;
    }
    HRESULT result = WaitForWorker();
    if (g_vox.Cancelled || result == VO_E_CANCEL) return VOX_EXIT_CANCELLED;
    if (FAILED(result)) {
        // A quiet run has no box for this; its log tells what happened.
        if (g_vox.Quiet) {
            wchar_t format[260];
            VoLoadString(g_vox.Lang, IDS_EXTRACTION_FAILED, format, 260);
            VoMsgBox(nullptr, MB_ICONEXCLAMATION, format, (unsigned)result);
        }
        return ExitCodeOf(result, VOX_EXIT_EXTRACT);
    }
    return VOX_EXIT_OK;
}

// " --post_install" goes after the parameters when it still fits.
void AppendPostInstall(CVoxAppData *settings)
{
    const wchar_t suffix[] = L" --post_install";
    size_t length = wcslen(settings->SetupAppParams);
    if (length + wcslen(suffix) < 260) wcscat(settings->SetupAppParams, suffix);
}

// Steps after the work folder exists: settings, banner, extraction, launch.
int RunPackage()
{
    g_vox.Settings = new (std::nothrow) CVoxAppData();
    if (!g_vox.Settings) return VOX_EXIT_PACKAGE;
    wchar_t settingsPath[MAX_PATH + 16];
    _snwprintf(settingsPath, MAX_PATH + 16, L"%s\\%s", g_vox.TempFolder, VOX_SETTINGS_FILE);
    g_vox.Settings->Serialize(settingsPath, 0);
    Vox_ApplySettings(g_vox.Settings);
    Vox_LoadCaption();
    g_vox.PageX = g_vox.PageY = -1;
    if (FAILED(Vox_LoadBanner(g_vox.Settings->Banner))) {
        VoMsgBoxId(g_vox.Lang, nullptr, MB_ICONEXCLAMATION, IDS_BANNER_FAILED);
        return VOX_EXIT_PACKAGE;
    }
    if (g_vox.Settings->ExtractToTemp == 0 && g_vox.TempFolder[0]) {
        Vox_VoDeleteDirectoryTree(g_vox.TempFolder, 1);
        g_vox.TempFolder[0] = 0;
    }
    if (!g_vox.RunOnly) {
        int code = Extract();
        if (code != VOX_EXIT_OK) return code;
    }
    if (g_vox.PostInstall) AppendPostInstall(g_vox.Settings);
    if (g_vox.NoSetup) return VOX_EXIT_OK;
    DWORD installerExit = 0;
    if (FAILED(Vox_LaunchInstaller(g_vox.Settings->SetupApp, g_vox.Settings->SetupAppParams, &installerExit)))
        return VOX_EXIT_LAUNCH;
    return (int)installerExit;
}

// The work folder and the control files in it.
int Prepare()
{
    if (FAILED(Vox_CreateTempFolder(g_vox.TempFolder, MAX_PATH))) return VOX_EXIT_TEMP;
    HRESULT hr = Vox_ExtractControlFiles(g_vox.TempFolder);
    return FAILED(hr) ? ExitCodeOf(hr, VOX_EXIT_PACKAGE) : VOX_EXIT_OK;
}

// A quiet run that fails leaves its exit code in its log, whatever the
// failure was and whether or not a box already told of it.
void LogQuietExit(int code)
{
    wchar_t format[260];
    VoLoadString(g_vox.Lang, IDS_RUN_ENDED, format, 260);
    VoMsgBox(nullptr, MB_ICONEXCLAMATION, format, (unsigned)code);
}

void Teardown()
{
    if (g_vox.BannerBitmap) DeleteObject(g_vox.BannerBitmap);
    g_vox.BannerBitmap = nullptr;
    WaitForWorker();
    if (g_vox.ArchiveEnd) CloseHandle(g_vox.ArchiveEnd);
    if (g_vox.WorkerThread) CloseHandle(g_vox.WorkerThread);
    g_vox.ArchiveEnd = g_vox.WorkerThread = nullptr;
    delete g_vox.Progress;
    g_vox.Progress = nullptr;
    delete g_vox.Settings;
    g_vox.Settings = nullptr;
}

void FinalCleanup()
{
    if (g_vox.TempFolder[0] && Vox_IsFolder(g_vox.TempFolder)) Vox_VoDeleteDirectoryTree(g_vox.TempFolder, 1);
    g_vox.TempFolder[0] = 0;
    VoLang_Close(g_vox.Lang);
    g_vox.Lang = nullptr;
    VoKernel_Shutdown(g_vox.Instance, 0);
}

// Steps before the command line: platform, strings, rights, controls.
// Returns VOX_EXIT_OK, or the exit code of the refusal.
int StartUp(HINSTANCE instance)
{
    Vox_ResetState(instance);
    VoKernel_Startup(instance, nullptr);
    if (Vox_CheckPlatform()) {
        ShowEarlyRefusal(kPlatformRefused);
        VoKernel_Shutdown(instance, 0);
        return VOX_EXIT_PLATFORM;
    }
    if (FAILED(VoLang_Open(&g_vox.Lang, instance, 3, 0))) {
        ShowEarlyRefusal(kNoLanguageStrings);
        VoLang_Close(g_vox.Lang);
        VoKernel_Shutdown(instance, 0);
        return VOX_EXIT_PACKAGE;
    }
    VoLang_ChangeLangInst(g_vox.Lang, instance);
    // Boxes before the settings are read carry the English caption, and a
    // quiet command line can install its hook.
    VoMsgBoxSetAppData(instance, nullptr, VoGetString(g_vox.Lang, IDS_WIZARD_NAME));
    if (!Vox_CheckAdminRights()) {
        wchar_t text[MAX_PATH];
        VoLoadString(g_vox.Lang, IDS_NEED_ADMIN, text, MAX_PATH);
        ShowEarlyRefusal(text);
        FinalCleanup();
        return VOX_EXIT_NOT_ADMIN;
    }
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return VOX_EXIT_OK;
}

}  // namespace

void Vox_ResetState(HINSTANCE instance)
{
    g_vox.LaunchCommand.Clear();
    g_vox.LaunchProgram.Clear();
    g_vox.Instance = instance;
    g_vox.Lang = nullptr;
    g_vox.Quiet = g_vox.RunOnly = g_vox.NoSetup = g_vox.PostInstall = 0;
    g_vox.Destination[0] = g_vox.TempFolder[0] = g_vox.Caption[0] = 0;
    g_vox.PageX = g_vox.PageY = 0;
    g_vox.WorkerThread = g_vox.ArchiveEnd = nullptr;
    g_vox.LongestEntryName = 0;
    g_vox.ProgressBar = nullptr;
    g_vox.BannerBitmap = nullptr;
    g_vox.BannerHeight = g_vox.BannerWidth = 0;
    g_vox.TitleFont[0] = 0;
    g_vox.TitleColor = 0;
    g_vox.SilentOverwrite = g_vox.ShowOverwrite = 0;
    g_vox.ExtractResult = S_OK;
    g_vox.Settings = nullptr;
    g_vox.Progress = nullptr;
    g_vox.Cancelled = 0;
}

int Vox_CheckPlatform()
{
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

int Vox_CheckAdminRights()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
    RegCloseKey(key);
    return 1;
}

const wchar_t *Vox_QuietLogPath()
{
    if (!g_quietLog[0]) {
        wchar_t program[MAX_PATH];
        GetModuleFileNameW(g_vox.Instance, program, MAX_PATH);
        const wchar_t *name = VoGetFileNamePtrW(program);
        wchar_t base[MAX_PATH];
        lstrcpynW(base, name, MAX_PATH);
        wchar_t *dot = wcsrchr(base, L'.');
        if (dot) *dot = 0;
        wchar_t temp[MAX_PATH];
        if (!GetTempPathW(MAX_PATH, temp)) temp[0] = 0;
        _snwprintf(g_quietLog, MAX_PATH - 1, L"%s%s.log", temp, base);
    }
    return g_quietLog;
}

void Vox_EnterQuietMode()
{
    g_vox.Quiet = 1;
    Vox_QuietLogPath();
    VoMsgBoxSetNoUIHook(WriteQuietLog);
}

int Vox_Main(HINSTANCE instance)
{
    RestrictDllSearch();
    SetUnhandledExceptionFilter(ReportCrash);
    int refused = StartUp(instance);
    if (refused != VOX_EXIT_OK) return refused;
    g_vox.LongestEntryName = Vox_LongestEntryName();
    int code = VOX_EXIT_USAGE;
    HRESULT hr = Vox_ParseCommandLine(GetCommandLineW(), 1);
    CrashWhenAsked();
    if (hr == VOX_E_HELP_SHOWN) {
        code = VOX_EXIT_OK;
    } else if (SUCCEEDED(hr)) {
        code = Prepare();
        if (code == VOX_EXIT_OK) code = RunPackage();
        Teardown();
        if (g_vox.Quiet && code != VOX_EXIT_OK) LogQuietExit(code);
    }
    FinalCleanup();
    return code;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) { return Vox_Main(instance); }
