// The self-extracting installer stub: its one state record, the run's
// steps, and the classes for the package settings and the extraction's
// progress.
//
// A package is this program with an archive appended. The run: start the
// toolkit, refuse unsupported systems, open the string tables, read the
// command line, make a private work folder, unpack the control archive
// "voxctrl.ach" (settings voxinst.ini, optional banner) into it, read the
// settings, extract the package silently (QUIET) or through the wizard,
// start the package's installer and wait for it, clean up.
#pragma once

#include <windows.h>

#include "text_buffer.h"

#include "archive/archive.h"
#include "lang/lang.h"
#include "list/list.h"

// Result codes of the stub's own.
#define VOX_E_HELP_SHOWN ((HRESULT)0x8004E070L)
#define VOX_E_TEMP_NOT_WRITABLE ((HRESULT)0x8004E071L)
#define VOX_E_CANNOT_OPEN_FILE ((HRESULT)0x8004E007L)

// Exit codes of the stub: the Windows Installer's numbers, which deployment
// tools already read, one for each outcome of the stub's own. When the
// installer ran, its exit code is passed on unchanged (see README).
enum VoxExitCode {
    VOX_EXIT_OK = 0,             // extracted (and installed), or help shown
    VOX_EXIT_DISK_FULL = 112,    // no room on the destination, or the disk filled up
    VOX_EXIT_NOT_ADMIN = 740,    // no administrator rights
    VOX_EXIT_CANCELLED = 1602,   // the user cancelled
    VOX_EXIT_EXTRACT = 1603,     // the extraction failed (damaged data, write error, refused name)
    VOX_EXIT_LAUNCH = 1619,      // the installer could not be started
    VOX_EXIT_PACKAGE = 1620,     // string tables, control files, settings or banner unusable
    VOX_EXIT_TEMP = 1632,        // the work folder could not be made in the temp folder
    VOX_EXIT_PLATFORM = 1633,    // Windows 95, 98 or ME
    VOX_EXIT_USAGE = 1639,       // the command line was rejected
};

// Thread message of the installer wait thread: wParam the error code of a
// failed process creation (0 when it ran), lParam the installer's exit code.
#define WM_VOX_INSTALLER_DONE (WM_APP + 1)
// Posted to the progress page when the extraction worker has ended, however.
#define WM_VOX_WORKER_DONE (WM_APP + 2)

// The control archive inside the payload and the settings file inside it.
#define VOX_CONTROL_ARCHIVE L"voxctrl.ach"
#define VOX_SETTINGS_FILE L"voxinst.ini"
#define VOX_SETTINGS_SECTION L"Stowage"
#define VOX_BANNER_RESOURCE 107

// String ids of the stub's tables.
enum VoxStringId : UINT {
    IDS_EXTRACTING_FILES = 150,
    IDS_PROGRESS_EXPLANATION = 152,
    IDS_EXTRACTING_STATUS = 154,
    IDS_SAVE_LOCATION = 160,
    IDS_DESTINATION_EXPLANATION = 162,
    IDS_SELECT_DIRECTORY = 164,
    IDS_DEFAULT_TARGET = 204,
    IDS_DEFAULT_SETUP_PARAMS = 209,
    IDS_BUTTON_CANCEL = 302,
    IDS_BUTTON_YES = 304,
    IDS_BUTTON_YES_TO_ALL = 305,
    IDS_BUTTON_NO = 306,
    IDS_BUTTON_NO_TO_ALL = 307,
    IDS_PROGRAM_FILES = 308,
    IDS_ERROR = 500,
    IDS_ABORTING = 501,
    IDS_ERR_NOMEMORY = 502,
    IDS_ERR_SIGNATURE = 503,
    IDS_ERR_BLOCK = 504,
    IDS_ERR_BUFFER = 505,
    IDS_ERR_DISKSPACE = 506,
    IDS_ERR_VOLUME = 507,
    IDS_ERR_NOFILE = 508,
    IDS_ERR_CRC = 509,
    IDS_ERR_PRIVILEGES = 510,
    IDS_FILE_EXISTS = 511,
    IDS_FILE_EXISTS_TEXT = 512,
    IDS_FILE_EXISTS_READONLY = 513,
    IDS_OVERWRITE_QUESTION = 514,
    IDS_WIZARD_NAME = 515,
    IDS_CONFIRM_CANCEL = 516,
    IDS_LAUNCH_ERROR_TEXT = 517,
    IDS_LAUNCH_ERROR = 518,
    IDS_LAUNCH_FILE_NOT_FOUND = 519,
    IDS_LAUNCH_PATH_NOT_FOUND = 520,
    IDS_LAUNCH_ACCESS_DENIED = 521,
    IDS_LAUNCH_NO_MEMORY = 522,
    IDS_LAUNCH_SHARING = 523,
    IDS_LAUNCH_UNKNOWN = 524,
    IDS_TEMP_NOT_WRITABLE = 550,
    IDS_PACKAGE_UNREADABLE = 551,
    IDS_NO_ROOM_FOR_CONTROL = 552,
    IDS_BANNER_FAILED = 553,
    IDS_INVALID_DIRECTORY = 554,
    IDS_ROOT_DIRECTORY = 555,
    IDS_CANNOT_CREATE_DIRECTORY = 556,
    IDS_NO_SUCH_DRIVE = 557,
    IDS_DESTINATION_FULL = 558,
    IDS_PATH_TOO_LONG = 559,
    IDS_ERR_OTHER_SECOND_LINE = 560,
    IDS_ERR_UNSAFE_NAME = 561,
    IDS_EXTRACTION_FAILED = 562,
    IDS_RUN_ENDED = 563,
    IDS_HELP_TITLE = 600,
    IDS_HELP_TEXT = 601,
    IDS_NEED_ADMIN = 602,
    IDS_RESPONSE_FILES_TOO_DEEP = 603,
    IDS_WIZARD_CAPTION = 700,
};

class CVoxAppData;
class CVoxExtractProgress;

// The stub's one global record. Vox_ResetState clears it before the run.
struct VoxAppState {
    HINSTANCE Instance;
    HVOLANG Lang;
    int Quiet;
    int RunOnly;
    wchar_t Destination[MAX_PATH];
    int NoSetup;
    int PostInstall;
    wchar_t TempFolder[MAX_PATH];
    wchar_t Caption[MAX_PATH];
    int PageX, PageY;
    HANDLE WorkerThread;
    HANDLE ArchiveEnd;
    uint16_t LongestEntryName;
    HWND ProgressBar;
    HBITMAP BannerBitmap;
    int BannerHeight, BannerWidth;
    wchar_t TitleFont[255];
    COLORREF TitleColor;
    int SilentOverwrite;
    int ShowOverwrite;
    HRESULT ExtractResult;
    // The installer's command line. The platform allows 32,767 units, more
    // than a long destination plus parameters could ever need.
    CVoTextBuffer LaunchCommand;
    CVoTextBuffer LaunchProgram;  // the installer's full path
    CVoxAppData *Settings;
    CVoxExtractProgress *Progress;
    // Set when the wizard was cancelled by the user.
    int Cancelled;
};

extern VoxAppState g_vox;

void Vox_ResetState(HINSTANCE instance);

// ---------------------------------------------------------------------------
// Start-up and command line.

int Vox_Main(HINSTANCE instance);
int Vox_CheckPlatform();
int Vox_CheckAdminRights();
// Splits a command line: tokens separated by white space, double quotes
// group (and "" inside a quoted stretch is a literal quote). Returns an
// allocated, null-terminated array of pointers followed by the texts (free
// with VoMemFree), or null when there is no token.
wchar_t **Vox_SplitArgs(const wchar_t *text, int *outCount);
// One parsed option.
struct VoxOptionItem {
    int32_t kind;
    int32_t takesValue;
    const wchar_t *value;
};
enum VoxOptionKind {
    VOX_OPT_RESPONSE = 1,
    VOX_OPT_HELP = 2,
    VOX_OPT_STRAY = 3,
    VOX_OPT_RUN = 4,
    VOX_OPT_NOSETUP = 5,
    VOX_OPT_LOG = 6,
    VOX_OPT_DEBUG = 7,
    VOX_OPT_TRACE = 8,
    VOX_OPT_POST_INSTALL = 9,
    VOX_OPT_QUIET = 10,
    VOX_OPT_TEMPEXT = 11,
};
HRESULT Vox_ParseOptions(tVOLIST **outList, wchar_t **tokens, int first, int count);
HRESULT Vox_ApplyOptions(wchar_t **tokens, int first, int count);
HRESULT Vox_ReadResponseFile(const wchar_t *fileName);
HRESULT Vox_ParseCommandLine(const wchar_t *text, int skipFirst);
void Vox_ShowHelp();
// A QUIET run answers every message box with its default button and writes
// the texts to the quiet log (see README): installs the no-UI hook.
void Vox_EnterQuietMode();
const wchar_t *Vox_QuietLogPath();

// ---------------------------------------------------------------------------
// Package settings.

class CVoxAppData {
public:
    CVoxAppData();
    virtual ~CVoxAppData() = default;
    HRESULT Serialize(const wchar_t *fileName, int save);

    int32_t ExtractToTemp;
    int32_t ShowOverwrite;
    wchar_t Banner[260];
    wchar_t DefaultTarget[260];
    wchar_t Title[1024];
    wchar_t Name[1024];
    wchar_t Reserved[260];
    wchar_t SetupApp[260];
    wchar_t SetupAppParams[260];
    wchar_t TitleFont[255];
    wchar_t TitleFontColor[32];
    int32_t LCID;
};

COLORREF Vox_ParseColor(const wchar_t *text);
void Vox_SetDefaultDestination(const CVoxAppData *settings);
// Applies read settings to the state: language, caption, tokens, heading,
// overwrite switches, destination.
void Vox_ApplySettings(const CVoxAppData *settings);

// ---------------------------------------------------------------------------
// Payload and extraction.

class CVoxExtractProgress : public CVoArchiveProgress {
public:
    CVoxExtractProgress(HWND page, HWND progressBar, HWND statusText);
    int Begin(const VOCHAR *text, uint32_t totalLow, uint32_t totalHigh) override;
    int OnError(uint32_t diagnostic) override;
    int OnStatus(uint32_t status) override;
    int OnProgress(uint32_t countLow, uint32_t countHigh) override;
    // The pending answer, set directly (no semaphore hand-over).
    void StoreAnswer(HRESULT value) { m_pendingAnswer = value; }
    HWND Page() const { return reinterpret_cast<HWND>(m_owner); }
    // The failure an error box stopped the extraction for (S_OK when none):
    // the engine then ends with a cancel that nobody asked for.
    HRESULT StoppedFor() const { return m_stoppedFor; }

private:
    HRESULT m_stoppedFor = S_OK;
    HWND m_progressBar;
    HWND m_statusText;
    wchar_t m_statusFormat[260];
};

// The payload is this program's own file, opened for reading.
HRESULT Vox_OpenPayload(CArchive2 *archive, CVoArchiveProgress *progress);
HRESULT Vox_CreateTempFolder(wchar_t *out, int outChars);
HRESULT Vox_ExtractControlFiles(const wchar_t *folder);
uint16_t Vox_LongestEntryName();
DWORD WINAPI Vox_ExtractWorker(LPVOID progress);
// Starts the worker thread; its handle goes into WorkerThread.
bool Vox_StartWorker(CVoxExtractProgress *progress);
// The topmost folder of path that does not exist yet ("" when all do), and
// the removal of the folders below it down to path, each only while empty:
// a run takes away exactly the folders it made.
void Vox_TopmostMissingFolder(const wchar_t *path, wchar_t *out);
void Vox_RemoveCreatedFolders(const wchar_t *path, const wchar_t *top);
void Vox_ShowArchiveError(CVoArchiveProgress *progress, uint32_t diagnostic);

// ---------------------------------------------------------------------------
// Banner, wizard and overwrite prompt.

HRESULT Vox_LoadBanner(const wchar_t *bannerSetting);
void Vox_LoadCaption();
int Vox_RunWizard(int startOnProgress);
// 1 when text is not empty and holds none of the characters " * < > ? |.
int Vox_IsValidPathText(const wchar_t *text);
// 1 when the payload fits into folder.
int Vox_HasRoomFor(const wchar_t *folder);
// The folder browser from the Change button; 1 when Destination was set.
int Vox_BrowseDestination(HWND page, const wchar_t *current);
// Asks whether to cancel the installation; 1 for Yes.
int Vox_ConfirmCancel(HWND owner);
void Vox_AskOverwrite(CVoxExtractProgress *progress, int readOnly);

// ---------------------------------------------------------------------------
// Installer launch and clean-up.

// Builds the installer's command line and runs it. Returns the installer's
// exit code in *exitCode; S_OK when it ran, a failure (after the launch
// error box) when it could not be started.
HRESULT Vox_LaunchInstaller(const wchar_t *setupApp, const wchar_t *setupAppParams, DWORD *exitCode);
// Runs LaunchCommand and waits, serving messages. Returns the installer's
// exit code; *createError receives the error of a failed process creation.
DWORD Vox_RunAndWait(DWORD *createError);
DWORD WINAPI Vox_InstallerWaitThread(LPVOID launcherThreadId);

// 1 when path names an existing folder.
bool Vox_IsFolder(const wchar_t *path);

extern "C" {
int __stdcall Vox_VoDeleteFiles(const wchar_t *folder, const wchar_t *pattern, int recurse);
int __stdcall Vox_VoDeleteDirectoryTree(const wchar_t *folder, int removeFolder);
}
