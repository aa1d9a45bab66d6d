// Helpers of the wizard tests (wizard_tests.cpp): files and folders, a
// started process that is killed when it outlives its limit, and the few
// things a person does with the wizard's windows that ui_driver.h does not
// cover: typing into an edit, pressing a key, reading a progress bar.
// Every wait has a limit.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "e2e_files.h"
#include "ui_driver.h"

namespace wizdriver {

using namespace e2efiles;

// The tests' texts and paths are ASCII.
inline std::wstring Widen(const std::string &text) { return std::wstring(text.begin(), text.end()); }
inline std::string Narrow(const std::wstring &text)
{
    std::string out;
    for (wchar_t c : text) out += (char)c;
    return out;
}

// The build hands over Unix paths; Wine shows the Unix root as drive Z:.
inline std::wstring WindowsPath(const char *unixPath)
{
    std::wstring path = L"Z:" + Widen(unixPath);
    for (wchar_t &c : path)
        if (c == L'/') c = L'\\';
    return path;
}


// Removes path and everything in it, read-only files too.
inline void RemoveTree(const std::wstring &path)
{
    std::map<std::wstring, int64_t> entries = ListTree(path);
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        std::wstring child = Join(path, entry->first);
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        entry->second < 0 ? RemoveDirectoryW(child.c_str()) : DeleteFileW(child.c_str());
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str()) || DeleteFileW(path.c_str());
}

// The stub's work folders (VoInstall_N) in the temp folder.
inline std::set<std::wstring> WorkFolders()
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((TempFolder() + L"VoInstall_*").c_str(), &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data))
        names.insert(data.cFileName);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return names;
}

// Incompressible bytes from a fast generator.
inline std::string Noise(size_t size, uint64_t seed)
{
    std::string out(size + 8, '\0');
    for (size_t i = 0; i < size; i += 8) {
        seed ^= seed << 13, seed ^= seed >> 7, seed ^= seed << 17;
        memcpy(&out[i], &seed, 8);
    }
    return out.substr(0, size);
}

// Quotes an argument (the tests' own never hold quotes or end in "\\").
inline std::wstring Quote(const std::wstring &argument) { return L"\"" + argument + L"\""; }

// A started program; killed when it is still running as the object goes.
class Process {
public:
    ~Process() { Finish(0); }
    // output, when given, receives a console program's output.
    bool Start(const std::wstring &program, const std::wstring &arguments, HANDLE output = nullptr)
    {
        std::wstring line = Quote(program) + L" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = output ? STARTF_USESTDHANDLES : 0;
        startup.hStdOutput = startup.hStdError = output;
        return CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, output != nullptr,
                              output ? DETACHED_PROCESS : 0, nullptr, nullptr, &startup, &m_info) != FALSE;
    }
    DWORD Id() const { return m_info.dwProcessId; }
    bool Running() const { return m_info.hProcess && WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT; }
    // The exit code once it ended within limitMs; else it is killed (0xDEAD).
    DWORD Finish(DWORD limitMs)
    {
        if (!m_info.hProcess) return 0xFFFFFFFF;
        if (WaitForSingleObject(m_info.hProcess, limitMs) != WAIT_OBJECT_0) {
            TerminateProcess(m_info.hProcess, 0xDEAD);
            WaitForSingleObject(m_info.hProcess, 10000);
        }
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(m_info.hProcess, &code);
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
        m_info = {};
        return code;
    }

private:
    PROCESS_INFORMATION m_info = {};
};

// ---------------------------------------------------------------------------
// Windows of another process.

// A top-level dialog of process with that caption, within timeoutMs.
inline HWND WaitForDialog(DWORD processId, const std::wstring &caption, DWORD timeoutMs, HWND skip = nullptr)
{
    return uidriver::WaitForTopWindow({processId, L"#32770", caption, skip}, timeoutMs);
}

// A message of no interest goes through the other process's queue with a
// limit, so a hung window cannot hang the test.
inline LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return -1;
    return (LRESULT)result;
}

// An edit's text: asked of the control itself (GetWindowTextW of another
// process's window gives the text kept by the window manager, which an edit
// does not keep up to date).
inline std::wstring EditText(HWND dialog, int editId)
{
    wchar_t text[1024] = L"";
    return Ask(GetDlgItem(dialog, editId), WM_GETTEXT, 1024, (LPARAM)text) >= 0 ? text : L"<unreadable>";
}

inline bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// Types text into an edit the way a keyboard does: the whole old text is
// selected, then one WM_CHAR per character replaces it.
inline void TypeText(HWND dialog, int editId, const std::wstring &text)
{
    HWND edit = GetDlgItem(dialog, editId);
    Ask(edit, EM_SETSEL, 0, -1);
    for (wchar_t c : text) Ask(edit, WM_CHAR, c, 1);
}

// Sets the edit's whole text at once, past its length limit (as a program
// or the folder browser can).
inline void SetText(HWND dialog, int editId, const std::wstring &text)
{
    Ask(GetDlgItem(dialog, editId), WM_SETTEXT, 0, (LPARAM)text.c_str());
}

// A key pressed in dialog: to the control that has the focus, through the
// dialog's own message loop (which turns Enter and Escape into commands).
inline void PressKey(HWND dialog, WORD key)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    DWORD thread = GetWindowThreadProcessId(dialog, nullptr);
    HWND target = GetGUIThreadInfo(thread, &info) && info.hwndFocus ? info.hwndFocus : dialog;
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

// The progress bar's upper limit and position (-1 when it cannot be read).
inline long BarRange(HWND bar) { return (long)Ask(bar, PBM_GETRANGE, FALSE, 0); }
inline long BarPosition(HWND bar) { return (long)Ask(bar, PBM_GETPOS); }

inline POINT TopLeft(HWND window)
{
    RECT r = {};
    return GetWindowRect(window, &r) ? POINT{r.left, r.top} : POINT{-1, -1};
}

}  // namespace wizdriver
