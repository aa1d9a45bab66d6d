// The sample package's installer: copies the "app" folder that lies beside
// it into Program Files\Sample App and records what it was given in
// install.log there. The stub starts it as
//   setup.exe -r "<short path of the package>" --vox
// and waits for it; its exit code becomes the package's.
#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

std::wstring FolderOf(const std::wstring &path) { return path.substr(0, path.find_last_of(L'\\')); }

bool CopyTree(const std::wstring &from, const std::wstring &to)
{
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ok = CopyTree(from + L"\\" + name, to + L"\\" + name) && ok;
        else ok = CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return ok;
}

void WriteLog(const std::wstring &path, const std::wstring &text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char utf8[4096];
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), utf8, sizeof utf8, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(file, utf8, (DWORD)bytes, &written, nullptr);
    CloseHandle(file);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t self[MAX_PATH], programFiles[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROGRAM_FILES, nullptr, 0, programFiles))) return 2;
    std::wstring target = std::wstring(programFiles) + L"\\Sample App";
    if (!CopyTree(FolderOf(self) + L"\\app", target)) return 1;
    WriteLog(target + L"\\install.log", L"installed by: " + std::wstring(GetCommandLineW()) + L"\r\n");
    return 0;
}
