// Windows path rules and the Windows-only members of the files family,
// run under Wine: drive and UNC roots, colons, hidden files, short names,
// the temp folder, the registry-stored folders and path ellipses.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "files/files.h"
#include "platform/fileio.h"

namespace {

// A fresh folder under the temp folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        wchar_t temp[MAX_PATH];
        EXPECT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        static int counter = 0;
        m_path = std::wstring(temp) + L"vofiles32_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                 std::to_wstring(++counter);
        EXPECT_TRUE(CreateDirectoryW(m_path.c_str(), nullptr));
    }
    ~ScratchFolder() { EXPECT_EQ(VoDeleteDirectoryTree(m_path.c_str(), 1), 1); }
    std::wstring Path(const std::wstring &name) const { return m_path + L"\\" + name; }
    const wchar_t *c_str() const { return m_path.c_str(); }

private:
    std::wstring m_path;
};

bool MakeFile(const std::wstring &path, const char *content = "")
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, content, (DWORD)strlen(content), &written, nullptr);
    CloseHandle(file);
    return ok != FALSE;
}

// Restores an environment variable when the test ends.
class EnvironmentGuard {
public:
    explicit EnvironmentGuard(const wchar_t *name) : m_name(name)
    {
        wchar_t value[1024];
        DWORD length = GetEnvironmentVariableW(name, value, 1024);
        m_had = length > 0 && length < 1024;
        if (m_had) m_value = value;
    }
    ~EnvironmentGuard() { SetEnvironmentVariableW(m_name, m_had ? m_value.c_str() : nullptr); }

private:
    const wchar_t *m_name;
    bool m_had;
    std::wstring m_value;
};

const wchar_t kSharedKey[] = L"Software\\Avel Media\\Shared Information";

}  // namespace

TEST(FilesWin32Paths, DriveAndUncRoots)
{
    struct Case {
        const wchar_t *path, *root;
        int length;
    };
    const Case cases[] = {
        {L"C:\\a\\b", L"C:\\", 3},
        {L"C:", L"", 0},
        {L"C:name", L"", 0},
        {L"\\\\server\\share\\dir\\f", L"\\\\server\\share\\", 15},
        {L"\\\\server\\share", L"", 0},
        {L"\\a", L"\\", 1},
        {L"dir\\x", L"dir\\", 4},
    };
    for (const Case &c : cases) {
        wchar_t out[32] = L"junk";
        EXPECT_EQ(VoGetRootPathFromFilePath(c.path, out, 32), c.length) << c.path;
        EXPECT_STREQ(out, c.root) << c.path;
    }
    // A colon ends the drive part for the name splitters.
    EXPECT_STREQ(VoGetFileNamePtrW(L"C:name.txt"), L"name.txt");
    wchar_t folder[8];
    EXPECT_EQ(VoGetPathNameFromFilePath(L"C:name.txt", folder, 8), 2);
    EXPECT_STREQ(folder, L"C:");
    wchar_t root[4] = L"C:\\";
    EXPECT_EQ(VoAddSlashToPathName(root, 4), 3);
    EXPECT_EQ(VoRemoveSlashFromPathNameEnd(root, 4), 2);
    EXPECT_STREQ(root, L"C:");

    EXPECT_STREQ(VoGetFileNamePtrA("C:\\dir\\f.txt"), "f.txt");
    EXPECT_STREQ(VoGetFileNamePtrA("D:g"), "g");
    EXPECT_STREQ(VoGetFileNameExtensionPtrA("a.tar.gz"), ".gz");
    EXPECT_STREQ(VoGetFileNameExtensionPtrA("a. b"), "");
}

TEST(FilesWin32Paths, CreateDirectoryNeedsARealRoot)
{
    EXPECT_EQ(VoCreateDirectory(L"C:\\", nullptr), 1);
    EXPECT_EQ(VoCreateDirectory(L"\\voxkit-never", nullptr), 0);  // a bare "\" is no root
    EXPECT_EQ(VoCreateDirectory(L"C:voxkit-never", nullptr), 0);
    DWORD drives = GetLogicalDrives();
    for (wchar_t letter = 'Z'; letter > 'C'; --letter) {
        if (drives & (1u << (letter - 'A'))) continue;
        std::wstring missing = std::wstring(1, letter) + L":\\voxkit\\x";
        EXPECT_EQ(VoCreateDirectory(missing.c_str(), nullptr), 0);
        EXPECT_NE(GetLastError(), 0u);
        break;
    }
    EXPECT_EQ(VoGetDiskFreeSpace(L"\\\\voxkit-no-such-host.invalid\\share\\x", 1024), 0xFFFFFFFFu);
    EXPECT_GT(VoGetDiskFreeSpace(L"C:\\", 1024), 0u);
}

TEST(FilesWin32Files, HiddenFilesDoNotExistAndReadOnlyOnesDo)
{
    ScratchFolder scratch;
    std::wstring hidden = scratch.Path(L"hidden.txt"), readOnly = scratch.Path(L"ro.txt");
    ASSERT_TRUE(MakeFile(hidden));
    ASSERT_TRUE(MakeFile(readOnly));
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(VoDoesFileExist(hidden.c_str()), 0);
    EXPECT_EQ(VoDoesFileExist(readOnly.c_str()), 1);
    // Wine run by the superuser writes read-only files anyway; deleting them
    // is refused either way.
    HANDLE probe = CreateFileW(readOnly.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (probe == INVALID_HANDLE_VALUE) {
        EXPECT_EQ(VoIsFileWritable(readOnly.c_str()), 0);
    } else {
        CloseHandle(probe);
    }
    EXPECT_FALSE(DeleteFileW(readOnly.c_str()));
    EXPECT_EQ(VoDeleteFiles(scratch.c_str(), L"*.txt", 0), 1);  // clears the bit first
    EXPECT_EQ(GetFileAttributesW(readOnly.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(hidden.c_str()), INVALID_FILE_ATTRIBUTES);

    // An exclusively open file is a sharing violation for the next opener.
    std::wstring busy = scratch.Path(L"busy");
    HVOFILE first = VoFileOpen(busy.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_NEW);
    ASSERT_NE(first, nullptr);
    uint32_t error = 0;
    EXPECT_EQ(VoFileOpen(busy.c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING, &error), nullptr);
    EXPECT_EQ(error, (uint32_t)ERROR_SHARING_VIOLATION);
    VoFileClose(first);

    wchar_t self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    uint16_t machine = 0, characteristics = 0;
    EXPECT_EQ(VoGetFileExecutableInfo(self, &machine, &characteristics), S_OK);
    EXPECT_EQ(machine, sizeof(void *) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    EXPECT_NE(characteristics & IMAGE_FILE_EXECUTABLE_IMAGE, 0);
}

// Wine's drive Z: is another volume than C:, so a move between them copies.
TEST(FilesWin32Move, AcrossVolumesCopiesWithProgressAndCanBeStopped)
{
    if (GetFileAttributesW(L"Z:\\tmp") == INVALID_FILE_ATTRIBUTES) GTEST_SKIP() << "no second volume";
    ScratchFolder scratch;
    std::wstring source = scratch.Path(L"src\\");
    ASSERT_EQ(VoCreateDirectory((source + L"sub").c_str(), nullptr), 1);
    ASSERT_TRUE(MakeFile(source + L"a.txt", "abc"));
    ASSERT_TRUE(MakeFile(source + L"sub\\b.txt", "d"));
    std::wstring target = L"Z:\\tmp\\voxkit-move-" + std::to_wstring(GetCurrentProcessId()) + L"\\";

    // A file someone holds open cannot be moved.
    HANDLE held = CreateFileW((source + L"a.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(VoCanMoveFolder(source.c_str()), (HRESULT)0x8004E16E);
    CloseHandle(held);
    EXPECT_EQ(VoCanMoveFolder(source.c_str()), S_OK);

    struct Progress {
        std::vector<double> percents;
        int stopAfter;
        static HRESULT VOAPI_CALLBACK Report(void *context, double percent, const wchar_t *path)
        {
            Progress *self = (Progress *)context;
            self->percents.push_back(percent);
            return (int)self->percents.size() > self->stopAfter ? E_FAIL : S_OK;
        }
    };
    uint32_t count = 9;
    Progress stopping = {{}, 1};
    EXPECT_EQ(VoMoveFolder(target.c_str(), source.c_str(), &count, &Progress::Report, &stopping),
              (HRESULT)0x8004E00C);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(GetFileAttributesW((source + L"a.txt").c_str()), INVALID_FILE_ATTRIBUTES);  // source kept

    Progress full = {{}, 100};
    EXPECT_EQ(VoMoveFolder(target.c_str(), source.c_str(), &count, &Progress::Report, &full), S_OK);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(full.percents.size(), 3u);  // the opening call, then one per file
    EXPECT_EQ(full.percents.front(), 0.0);
    EXPECT_EQ(full.percents.back(), 100.0);
    EXPECT_EQ(GetFileAttributesW(source.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(GetFileAttributesW((target + L"sub\\b.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(VoDeleteDirectoryTree(target.c_str(), 1), 1);
}

TEST(FilesWin32SystemPath, ShortNamesAndAMissingTempFolder)
{
    ScratchFolder scratch;
    std::wstring longPath = scratch.Path(L"A Rather Long Folder Name");
    ASSERT_TRUE(CreateDirectoryW(longPath.c_str(), nullptr));
    wchar_t shortPath[MAX_PATH], out[MAX_PATH];
    ASSERT_GT(GetShortPathNameW(longPath.c_str(), shortPath, MAX_PATH), 0u);
    EXPECT_EQ(VoGetLongPathName(shortPath, out, MAX_PATH), longPath.size());
    EXPECT_STREQ(out, longPath.c_str());
    EXPECT_EQ(VoGetLongPathName(shortPath, shortPath, MAX_PATH), longPath.size());  // in place
    EXPECT_STREQ(shortPath, longPath.c_str());

    EnvironmentGuard tmp(L"TMP"), temp(L"TEMP");
    const wchar_t missing[] = L"C:\\voxkit-no-such-temp\\";
    SetEnvironmentVariableW(L"TMP", missing);
    SetEnvironmentVariableW(L"TEMP", missing);
    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(VoGetTempPath(MAX_PATH, buffer), 0u);
    EXPECT_STREQ(buffer, missing);  // the system's form stays
}

TEST(FilesWin32Special, ShellFoldersAndRegistryFolders)
{
    wchar_t out[MAX_PATH], appData[MAX_PATH];
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData), S_OK);
    std::wstring product = std::wstring(appData) + L"\\Avel\\voxkit-test\\";
    EXPECT_EQ(VoGetSpecialFolderVer(out, MAX_PATH, CSIDL_APPDATA, L"voxkit-test", 2, 5), S_OK);
    EXPECT_EQ(std::wstring(out), product + L"2.5\\");
    EXPECT_TRUE(VoPathIsFolder(out));
    EXPECT_EQ(VoGetSpecialFolderNoVer(out, MAX_PATH, CSIDL_APPDATA, L"voxkit-test"), S_OK);
    EXPECT_EQ(std::wstring(out), product);
    EXPECT_EQ(VoGetSpecialFolderNoVer(out, MAX_PATH - 1, CSIDL_APPDATA, L"voxkit-test"), E_INVALIDARG);
    VoDeleteDirectoryTree(product.c_str(), 1);
    RemoveDirectoryW((std::wstring(appData) + L"\\Avel").c_str());

    EXPECT_EQ(VoGetSpecialAvelDefaultFolderName(out, MAX_PATH, 0), S_OK);
    EXPECT_STREQ(out, L"Plug-Ins");
    EXPECT_EQ(VoGetSpecialAvelDefaultFolderName(out, MAX_PATH, 2), E_INVALIDARG);
    EXPECT_EQ(VoGetSharedComponentsFolder(out, MAX_PATH), E_FAIL);  // nothing stored yet

    EXPECT_EQ(VoSetSpecialAvelFolder(L"D:\\Shared\\Plug\\", 0), S_OK);
    EXPECT_EQ(VoGetSpecialAvelFolder(out, MAX_PATH, 0), S_OK);
    EXPECT_STREQ(out, L"D:\\Shared\\Plug\\");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    const wchar_t common[] = L"D:\\Common";
    RegSetValueExW(key, L"SharedComponentsFolder", 0, REG_SZ, (const BYTE *)common, sizeof common);
    RegCloseKey(key);
    EXPECT_EQ(VoGetSharedComponentsFolder(out, MAX_PATH), S_OK);
    EXPECT_STREQ(out, L"D:\\Common\\");
    EXPECT_EQ(VoGetSharedComponentsFolder(out, 10), E_FAIL);  // 10 units + terminator do not fit
    EXPECT_EQ(VoGetSpecialAvelFolder(out, MAX_PATH, 1), S_OK);  // falls back
    EXPECT_STREQ(out, L"D:\\Common\\Presets\\");
    wchar_t small[14] = L"junk";
    EXPECT_EQ(VoGetSpecialAvelFolder(small, 14, 1), E_FAIL);  // refused rather than cut
    EXPECT_STREQ(small, L"");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kSharedKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\Avel Media");
}

TEST(FilesWin32Ellipsis, PathsShortenedToAWidth)
{
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    auto width = [dc](const wchar_t *text) {
        SIZE size = {0, 0};
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &size);
        return (int)size.cx;
    };
    const wchar_t path[] = L"C:\\Program Files\\Some Vendor\\Some Product\\file.txt";
    wchar_t out[MAX_PATH];
    EXPECT_EQ(VoCalcPathEllipsisEx(dc, path, out, MAX_PATH, width(path)), 0);
    EXPECT_STREQ(out, path);  // fits as it is
    int target = width(L"C:\\Program Files\\So...\\file.txt");
    VoCalcPathEllipsisEx(dc, path, out, MAX_PATH, target);
    std::wstring shortened = out;
    EXPECT_NE(shortened.find(L"...\\file.txt"), std::wstring::npos);
    EXPECT_EQ(shortened.compare(0, 3, L"C:\\"), 0);
    EXPECT_LE(width(out), target);
    VoCalcPathEllipsisEx(dc, L"name.txt", out, MAX_PATH, 1000);
    EXPECT_STREQ(out, L"...\\name.txt");
    wchar_t cut[8];
    cut[7] = 0x7777;
    VoCalcPathEllipsisEx(dc, path, cut, 7, 1);
    EXPECT_EQ(lstrlenW(cut), 6);
    EXPECT_EQ(cut[7], 0x7777);

    // In place the result is kept only when it is no longer than the path.
    wchar_t inPlace[MAX_PATH];
    lstrcpyW(inPlace, path);
    EXPECT_EQ(VoCalcPathEllipsis(dc, inPlace, target), 1);
    EXPECT_STREQ(inPlace, shortened.c_str());
    wchar_t tiny[4] = L"a\\b";
    EXPECT_EQ(VoCalcPathEllipsis(dc, tiny, 1), 0);  // "...\b" would not fit
    EXPECT_STREQ(tiny, L"a\\b");

    EXPECT_EQ(VoFilenameFormat(dc, 1000, path, out, MAX_PATH, 0), S_OK);
    EXPECT_STREQ(out, L"file.txt");
    EXPECT_EQ(VoFilenameFormat(dc, width(L"fi..."), path, out, MAX_PATH, 2), S_OK);
    EXPECT_LT(lstrlenW(out), 8);
    EXPECT_NE(std::wstring(out).find(L"..."), std::wstring::npos);
    EXPECT_EQ(VoFilenameFormat(dc, 10, path, out, MAX_PATH, 5), E_INVALIDARG);
    EXPECT_EQ(VoFilenameFormat(dc, 10, nullptr, out, MAX_PATH, 0), E_INVALIDARG);
    EXPECT_EQ(VoFilenameFormat(dc, 10, L"", out, MAX_PATH, 0), S_OK);
    EXPECT_STREQ(out, L"");
    EXPECT_EQ(VoFilenameFormatForCtl(nullptr, path, out, MAX_PATH, 0), (HRESULT)0x0004E001);
    DeleteDC(dc);
}
