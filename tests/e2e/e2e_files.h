// Files and folders for the end-to-end programs (e2e_tests.cpp and the
// wizard tests): joining, making, writing, reading and listing them through
// the Win32 calls a package's user would see the results of.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace e2efiles {

inline std::wstring Join(const std::wstring &folder, const std::wstring &name) { return folder + L"\\" + name; }

inline std::wstring TempFolder()
{
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    return temp;  // ends in a backslash
}

inline bool Exists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline bool MakeFolders(const std::wstring &path)
{
    for (size_t at = path.find(L'\\', 3); at != std::wstring::npos; at = path.find(L'\\', at + 1))
        CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
    return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Writes bytes, replacing a read-only file too; with lastWrite, the file
// gets that last-write time.
inline bool WriteBytes(const std::wstring &path, const std::string &bytes, const FILETIME *lastWrite = nullptr)
{
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() || (WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) &&
                                written == bytes.size());
    if (lastWrite) ok = SetFileTime(file, nullptr, nullptr, lastWrite) && ok;
    CloseHandle(file);
    return ok;
}

// The file's bytes; "<missing>" when it cannot be read.
inline std::string ReadBytes(const std::wstring &path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, nullptr) || read != bytes.size()))
        bytes = "<unreadable>";
    CloseHandle(file);
    return bytes;
}

// Every file under root by relative path, with its size (folders: -1).
inline std::map<std::wstring, int64_t> ListTree(const std::wstring &root, const std::wstring &prefix = L"")
{
    std::map<std::wstring, int64_t> entries;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Join(root, L"*").c_str(), &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) {
        std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entries[prefix + name] = folder ? -1 : (int64_t)data.nFileSizeHigh << 32 | data.nFileSizeLow;
        if (folder)
            for (const auto &entry : ListTree(Join(root, name), prefix + name + L"\\")) entries.insert(entry);
    }
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return entries;
}

}  // namespace e2efiles
