// A stand-in for a package's installer, started by the stub in the
// end-to-end tests. It appends three UTF-8 lines to the file named by
// VOX_E2E_RECORD (its command line, its current folder, its own path) and
// exits with the number in VOX_E2E_EXIT (0 when unset).
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

std::string Utf8(const std::wstring &text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? (size_t)bytes : 0, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], bytes, nullptr, nullptr);
    return out;
}

std::wstring Variable(const wchar_t *name)
{
    wchar_t value[4096];
    DWORD length = GetEnvironmentVariableW(name, value, 4096);
    return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    wchar_t folder[MAX_PATH] = L"", self[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::string lines = "cmd=" + Utf8(GetCommandLineW()) + "\ncwd=" + Utf8(folder) + "\nexe=" + Utf8(self) + "\n";
    std::wstring record = Variable(L"VOX_E2E_RECORD");
    if (!record.empty()) {
        HANDLE file = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, lines.data(), (DWORD)lines.size(), &written, nullptr);
            CloseHandle(file);
        }
    }
    return _wtoi(Variable(L"VOX_E2E_EXIT").c_str());
}
