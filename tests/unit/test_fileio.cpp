// The platform layer's file-system face and its UTF-8 converter, on the
// real file system of each target (natively and under Wine).
#include <gtest/gtest.h>

#include "utf_text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "files/files.h"
#include "platform/fileio.h"
#include "platform/utf8.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

typedef std::basic_string<VOCHAR> VoString;

VoString W(const std::string &text)
{
    return Utf8ToText(text);
}

std::string N(const VOCHAR *text)
{
    return TextToUtf8(text);
}

// A fresh folder under the temp folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder()
    {
        VOCHAR temp[VO_MAX_PATH];
        uint32_t length = VoPathGetTempFolder(temp, VO_MAX_PATH);
        EXPECT_GT(length, 0u);
        EXPECT_LT(length, (uint32_t)VO_MAX_PATH);
        static int counter = 0;
        m_path = VoString(temp) + W("vofileio_" + std::to_string(VoGetSystemTimeAsFileTime() % 1000000007) + "_" +
                                    std::to_string(++counter));
        EXPECT_TRUE(VoPathCreateFolder(m_path.c_str()));
    }
    ~ScratchFolder() { EXPECT_EQ(VoDeleteDirectoryTree(m_path.c_str(), 1), 1); }
    VoString Path(const std::string &name) const { return m_path + VO_PATH_SEPARATOR + W(name); }
    const VoString &path() const { return m_path; }

private:
    VoString m_path;
};

bool WriteFile(const VoString &path, const std::string &content)
{
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
    if (!file) return false;
    bool ok = VoFileWrite(file, content.data(), (uint32_t)content.size());
    VoFileClose(file);
    return ok;
}

std::string ReadFile(const VoString &path)
{
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    if (!file) return "<none>";
    std::string content;
    char buffer[7];  // small on purpose: several reads
    uint32_t done = 0;
    while (VoFileRead(file, buffer, sizeof buffer, &done) && done > 0) content.append(buffer, done);
    VoFileClose(file);
    return content;
}

std::vector<std::string> List(const VoString &folder, const char *pattern = nullptr)
{
    std::vector<std::string> names;
    tVOFINDDATA data;
    VoString wide = pattern ? W(pattern) : VoString();
    if (HVOFIND find = VoFindFirst(folder.c_str(), &data, pattern ? wide.c_str() : nullptr)) {
        do names.push_back(N(data.name));
        while (VoFindNext(find, &data));
        VoFindClose(find);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Windows refuses to write a read-only file; Wine run by the superuser lets
// the host decide and writes it anyway. POSIX builds keep the rule themselves.
bool ReadOnlyBlocksWriting(const VoString &probe)
{
#ifdef _WIN32
    if (!WriteFile(probe, "") || !VoPathSetAttributes(probe.c_str(), VO_ATTR_READONLY)) return false;
    HVOFILE file = VoFileOpen(probe.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_OPEN_EXISTING);
    VoFileClose(file);
    VoPathSetAttributes(probe.c_str(), 0);
    VoPathDeleteFile(probe.c_str());
    return file == nullptr;
#else
    (void)probe;
    return true;
#endif
}

const uint32_t kErrorFileNotFound = 2, kErrorPathNotFound = 3, kErrorAccessDenied = 5,
               kErrorFileExists = 80, kErrorDirNotEmpty = 145, kErrorAlreadyExists = 183;

}  // namespace

// ---------------------------------------------------------------------------
// UTF-8 conversion.

TEST(FileIoUtf8, RoundTripsEveryPlaneAndCountsWhatItNeeds)
{
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";  // a é € 😀 z
    VoString wide = W(text);
    ASSERT_EQ(wide.size(), 6u);
    EXPECT_EQ(wide[1], 0xE9);
    EXPECT_EQ(wide[2], 0x20AC);
    EXPECT_EQ(wide[3], 0xD83D);
    EXPECT_EQ(wide[4], 0xDE00);
    EXPECT_EQ(N(wide.c_str()), text);
    EXPECT_EQ(VoUtf16ToUtf8(wide.c_str(), nullptr, 0), text.size());
    EXPECT_EQ(VoUtf16ToUtf8(nullptr, nullptr, 0), 0u);
}

TEST(FileIoUtf8, CutsOnlyBetweenCharactersAndNeverPassesTheBuffer)
{
    VoString wide = W("a\xF0\x9F\x98\x80" "b");
    char narrow[8];
    memset(narrow, 'X', sizeof narrow);
    // Room for "a" and 3 more bytes: the 4-byte character does not fit whole.
    EXPECT_EQ(VoUtf16ToUtf8(wide.c_str(), narrow, 5), 6u);
    EXPECT_STREQ(narrow, "a");
    EXPECT_EQ(narrow[5], 'X');

    VOCHAR units[4] = {'X', 'X', 'X', 'X'};
    // Room for "a" and one unit: the surrogate pair is not split.
    EXPECT_EQ(VoUtf8ToUtf16("a\xF0\x9F\x98\x80" "b", units, 3), 4u);
    EXPECT_EQ(units[0], 'a');
    EXPECT_EQ(units[1], 0);
    EXPECT_EQ(units[3], 'X');
}

TEST(FileIoUtf8, MalformedBytesSurviveAsEscapesAndLoneSurrogatesAreReplaced)
{
    // A stray continuation byte, an overlong "/" and a cut sequence at the end.
    const std::string bad = "x\x80y\xC0\xAFz\xE2\x82";
    VoString wide = W(bad);
    ASSERT_EQ(wide.size(), 8u);
    EXPECT_EQ(wide[1], 0xDC80);
    EXPECT_EQ(wide[3], 0xDCC0);  // never a separator
    EXPECT_EQ(wide[4], 0xDCAF);
    EXPECT_EQ(N(wide.c_str()), bad);  // the bytes come back unchanged

    const VOCHAR lone[] = {'a', 0xD800, 'b', 0xDFFF, 0};
    EXPECT_EQ(N(lone), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    // Encoded surrogates are not accepted as characters.
    EXPECT_EQ(W("\xED\xA0\x80").size(), 3u);
}

// ---------------------------------------------------------------------------
// Open files.

TEST(FileIoOpen, DispositionsAndTheirErrors)
{
    ScratchFolder scratch;
    VoString path = scratch.Path("a.bin");
    uint32_t error = 0;
    EXPECT_EQ(VoFileOpen(path.c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING, &error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);
    EXPECT_EQ(VoGetLastError(), kErrorFileNotFound);
    VoString deep = scratch.Path("missing") + VO_PATH_SEPARATOR + W("x");
    EXPECT_EQ(VoFileOpen(deep.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS, &error), nullptr);
    EXPECT_EQ(error, kErrorPathNotFound);

    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_NEW, &error);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(error, 0u);
    EXPECT_TRUE(VoFileWrite(file, "hello world", 11));
    VoFileClose(file);
    EXPECT_EQ(VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_NEW, &error), nullptr);
    EXPECT_EQ(error, kErrorFileExists);

    file = VoFileOpen(path.c_str(), VO_ACCESS_READ | VO_ACCESS_WRITE, VO_SHARE_NONE, VO_OPEN_ALWAYS);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(VoFileGetSize(file), 11);
    EXPECT_TRUE(VoFileSeek(file, 5));
    EXPECT_TRUE(VoFileTruncate(file));
    EXPECT_EQ(VoFileTell(file), 5);
    EXPECT_TRUE(VoFileFlush(file));
    VoFileClose(file);
    EXPECT_EQ(ReadFile(path), "hello");

    EXPECT_TRUE(WriteFile(path, "xy"));  // CREATE_ALWAYS truncates
    EXPECT_EQ(ReadFile(path), "xy");

    // A folder is not a file to open.
    EXPECT_EQ(VoFileOpen(scratch.path().c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING, &error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_EQ(VoFileOpen(path.c_str(), VO_ACCESS_READ, VO_SHARE_READ, 99, &error), nullptr);
}

TEST(FileIoOpen, PositionsBeyondFourGiB)
{
    ScratchFolder scratch;
    VoString path = scratch.Path("big.bin");
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_READ | VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_NEW);
    ASSERT_NE(file, nullptr);
    const int64_t beyond = (int64_t)5 << 30;  // 5 GiB: beyond any 32-bit offset
    EXPECT_TRUE(VoFileSeek(file, beyond));
    EXPECT_EQ(VoFileTell(file), beyond);
    EXPECT_FALSE(VoFileSeek(file, -1));
#ifndef _WIN32
    // Natively the file is sparse, so writing there costs no disk space.
    EXPECT_TRUE(VoFileWrite(file, "Z", 1));
    EXPECT_EQ(VoFileGetSize(file), beyond + 1);
    EXPECT_TRUE(VoFileSeek(file, beyond));
    char c = 0;
    uint32_t done = 0;
    EXPECT_TRUE(VoFileRead(file, &c, 1, &done));
    EXPECT_EQ(done, 1u);
    EXPECT_EQ(c, 'Z');
    EXPECT_TRUE(VoFileRead(file, &c, 1, &done));
    EXPECT_EQ(done, 0u);  // the end
#endif
    VoFileClose(file);
}

TEST(FileIoOpen, TimesRoundTripOnFilesAndPaths)
{
    ScratchFolder scratch;
    VoString path = scratch.Path("t.txt");
    ASSERT_TRUE(WriteFile(path, "x"));
    // 2001-02-03 04:05:06.7 UTC and a second time a day later.
    const VOFILETIME written = 126256467067000000ull, accessed = written + 864000000000ull;
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_OPEN_EXISTING);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(VoFileSetTimes(file, nullptr, &accessed, &written));
    VOFILETIME w = 0, a = 0, c = 0;
    EXPECT_TRUE(VoFileGetTimes(file, &c, &a, &w));
    EXPECT_EQ(w, written);
    EXPECT_EQ(a, accessed);
    EXPECT_TRUE(VoFileSetTimes(file, nullptr, nullptr, nullptr));  // nothing to change
    VoFileClose(file);

    const VOFILETIME later = written + 10000000ull;
    EXPECT_TRUE(VoPathSetTimes(path.c_str(), nullptr, nullptr, &later));
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(scratch.path().c_str(), &data);
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(data.writeTime, later);
    VoFindClose(find);

    VOFILETIME now = VoGetSystemTimeAsFileTime();
    EXPECT_GT(now, 132000000000000000ull);  // after 2019
    VOFILETIME local = VoFileTimeToLocal(now);
    EXPECT_LT(local > now ? local - now : now - local, 15 * 3600 * 10000000ull);
}

TEST(FileIoAttributes, ReadOnlyKeepsItsMeaning)
{
    ScratchFolder scratch;
    VoString path = scratch.Path("ro.txt");
    ASSERT_TRUE(WriteFile(path, "keep"));
    uint32_t attributes = VoPathGetAttributes(path.c_str());
    ASSERT_NE(attributes, VO_INVALID_ATTRIBUTES);
    EXPECT_EQ(attributes & (VO_ATTR_DIRECTORY | VO_ATTR_READONLY | VO_ATTR_DEVICE), 0u);
    EXPECT_NE(VoPathGetAttributes(scratch.path().c_str()) & VO_ATTR_DIRECTORY, 0u);
    EXPECT_EQ(VoPathGetAttributes(scratch.Path("none").c_str()), VO_INVALID_ATTRIBUTES);
    EXPECT_EQ(VoGetLastError(), kErrorFileNotFound);

    bool enforced = ReadOnlyBlocksWriting(scratch.Path("probe"));
    ASSERT_TRUE(VoPathSetAttributes(path.c_str(), VO_ATTR_READONLY));
    EXPECT_NE(VoPathGetAttributes(path.c_str()) & VO_ATTR_READONLY, 0u);
    if (enforced) {
        uint32_t error = 0;
        EXPECT_EQ(VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_OPEN_EXISTING, &error), nullptr);
        EXPECT_EQ(error, kErrorAccessDenied);
        EXPECT_EQ(VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS, &error), nullptr);
    }
    EXPECT_FALSE(VoPathDeleteFile(path.c_str()));
    EXPECT_EQ(VoGetLastError(), kErrorAccessDenied);
    VoString other = scratch.Path("other.txt");
    ASSERT_TRUE(WriteFile(other, "new"));
    if (enforced) {
        EXPECT_FALSE(VoPathRename(other.c_str(), path.c_str()));  // not replaced
        EXPECT_EQ(ReadFile(path), "keep");
    }

    ASSERT_TRUE(VoPathSetAttributes(path.c_str(), 0));
    EXPECT_EQ(VoPathGetAttributes(path.c_str()) & VO_ATTR_READONLY, 0u);
    EXPECT_TRUE(VoPathRename(other.c_str(), path.c_str()));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_TRUE(VoPathDeleteFile(path.c_str()));
}

// Through an open handle, as extraction finishes a file: the handle stays
// writable, and the attributes are those the path form would give.
TEST(FileIoAttributes, SetThroughAnOpenHandle)
{
    ScratchFolder scratch;
    VoString path = scratch.Path("handle.txt");
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(VoFileWrite(file, "one", 3));
    EXPECT_TRUE(VoFileSetAttributes(file, VO_ATTR_READONLY | VO_ATTR_ARCHIVE));
    EXPECT_TRUE(VoFileWrite(file, "two", 3));
    VoFileClose(file);
    EXPECT_EQ(ReadFile(path), "onetwo");
    EXPECT_NE(VoPathGetAttributes(path.c_str()) & VO_ATTR_READONLY, 0u);
    EXPECT_FALSE(VoPathDeleteFile(path.c_str()));

    ASSERT_TRUE(VoPathSetAttributes(path.c_str(), 0));
    file = VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_OPEN_EXISTING);
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(VoFileSetAttributes(file, VO_ATTR_NORMAL));
    VoFileClose(file);
    EXPECT_EQ(VoPathGetAttributes(path.c_str()) & VO_ATTR_READONLY, 0u);
    EXPECT_TRUE(VoPathDeleteFile(path.c_str()));
    EXPECT_FALSE(VoFileSetAttributes(nullptr, VO_ATTR_NORMAL));
}

// ---------------------------------------------------------------------------
// Folders, renames, copies and listings.

TEST(FileIoFolders, ErrorsOfFoldersRenamesAndCopies)
{
    ScratchFolder scratch;
    VoString sub = scratch.Path("sub"), inner = sub + VO_PATH_SEPARATOR + W("f.txt"), copy = scratch.Path("copy.txt");
    EXPECT_TRUE(VoPathCreateFolder(sub.c_str()));
    EXPECT_FALSE(VoPathCreateFolder(sub.c_str()));
    EXPECT_EQ(VoGetLastError(), kErrorAlreadyExists);
    ASSERT_TRUE(WriteFile(inner, "data"));
    EXPECT_FALSE(VoPathRemoveFolder(sub.c_str()));
    EXPECT_EQ(VoGetLastError(), kErrorDirNotEmpty);
    EXPECT_FALSE(VoPathDeleteFile(sub.c_str()));  // a folder is not a file

    EXPECT_TRUE(VoPathCopyFile(inner.c_str(), copy.c_str(), true));
    EXPECT_FALSE(VoPathCopyFile(inner.c_str(), copy.c_str(), true));
    EXPECT_EQ(VoGetLastError(), kErrorFileExists);
    EXPECT_TRUE(WriteFile(inner, "changed"));
    EXPECT_TRUE(VoPathCopyFile(inner.c_str(), copy.c_str(), false));
    EXPECT_EQ(ReadFile(copy), "changed");
    EXPECT_FALSE(VoPathRename(copy.c_str(), sub.c_str()));  // a folder is never replaced
}

TEST(FileIoFolders, ListingWithPatternsSizesAndKinds)
{
    ScratchFolder scratch;
    EXPECT_EQ(VoFindFirst(scratch.path().c_str(), nullptr), nullptr);  // empty: nothing, not "." or ".."
    ASSERT_TRUE(WriteFile(scratch.Path("a.txt"), "12345"));
    ASSERT_TRUE(WriteFile(scratch.Path("b.log"), ""));
    ASSERT_TRUE(WriteFile(scratch.Path("noext"), "1"));
    ASSERT_TRUE(VoPathCreateFolder(scratch.Path("dir").c_str()));

    EXPECT_EQ(List(scratch.path()), (std::vector<std::string>{"a.txt", "b.log", "dir", "noext"}));
    EXPECT_EQ(List(scratch.path(), "*.*"), (std::vector<std::string>{"a.txt", "b.log", "dir", "noext"}));
    EXPECT_EQ(List(scratch.path(), "*.txt"), (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(List(scratch.path(), "?.log"), (std::vector<std::string>{"b.log"}));
    EXPECT_TRUE(List(scratch.path(), "*.zip").empty());
    // A folder given with its trailing separator lists the same.
    EXPECT_EQ(List(scratch.path() + VO_PATH_SEPARATOR).size(), 4u);
    EXPECT_EQ(VoFindFirst(scratch.Path("none").c_str(), nullptr), nullptr);

    tVOFINDDATA data;
    VoString pattern = W("a.txt");
    HVOFIND find = VoFindFirst(scratch.path().c_str(), &data, pattern.c_str());
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(data.size, 5u);
    EXPECT_EQ(data.attributes & VO_ATTR_DIRECTORY, 0u);
    EXPECT_FALSE(VoFindNext(find, &data));
    VoFindClose(find);
    pattern = W("dir");
    find = VoFindFirst(scratch.path().c_str(), &data, pattern.c_str());
    ASSERT_NE(find, nullptr);
    EXPECT_NE(data.attributes & VO_ATTR_DIRECTORY, 0u);
    VoFindClose(find);
}

TEST(FileIoPaths, FreeSpaceFileSystemNameAndModule)
{
    ScratchFolder scratch;
    uint64_t free = 0;
    EXPECT_TRUE(VoPathGetFreeSpace(scratch.path().c_str(), &free));
    EXPECT_GT(free, 0u);
    EXPECT_FALSE(VoPathGetFreeSpace(scratch.Path("none").c_str(), &free));
    VOCHAR name[32];
    EXPECT_GT(VoPathGetFileSystemName(scratch.path().c_str(), name, 32), 0u);
    EXPECT_EQ(VoPathGetFileSystemName(scratch.path().c_str(), name, 1), 0u);  // refused, not cut

    VOCHAR module[VO_MAX_PATH], cut[4];
    size_t moduleLength = VoPathGetModuleFile(nullptr, module, VO_MAX_PATH);
    ASSERT_GT(moduleLength, 0u);
    EXPECT_EQ(VoPathGetModuleFile(nullptr, cut, 4), moduleLength);  // cut, with its whole length
    EXPECT_EQ(VoStrLen(cut), 3u);
}

#ifndef _WIN32
// ---------------------------------------------------------------------------
// POSIX only: links, special files, names that are not UTF-8, full paths.

TEST(FileIoPosix, SymbolicLinksAreNeverFollowed)
{
    ScratchFolder scratch;
    VoString target = scratch.Path("target.txt"), link = scratch.Path("link.txt");
    ASSERT_TRUE(WriteFile(target, "original"));
    ASSERT_EQ(symlink(N(target.c_str()).c_str(), N(link.c_str()).c_str()), 0);

    uint32_t error = 0;
    EXPECT_EQ(VoFileOpen(link.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS, &error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_EQ(VoFileOpen(link.c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING, &error), nullptr);
    EXPECT_EQ(VoFileOpen(link.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_NEW, &error), nullptr);
    EXPECT_EQ(ReadFile(target), "original");
    EXPECT_EQ(VoPathGetAttributes(link.c_str()), VO_ATTR_DEVICE | VO_ATTR_REPARSE);
    EXPECT_FALSE(VoPathSetAttributes(link.c_str(), VO_ATTR_READONLY));

    // A dangling link is not created through either.
    VoString dangling = scratch.Path("dangling"), nowhere = scratch.Path("nowhere");
    ASSERT_EQ(symlink(N(nowhere.c_str()).c_str(), N(dangling.c_str()).c_str()), 0);
    EXPECT_EQ(VoFileOpen(dangling.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_OPEN_ALWAYS, &error), nullptr);
    EXPECT_EQ(VoPathGetAttributes(nowhere.c_str()), VO_INVALID_ATTRIBUTES);

    // A link to a folder counts as a folder only where that is asked for.
    VoString folderLink = scratch.Path("folderlink");
    ASSERT_EQ(symlink(N(scratch.path().c_str()).c_str(), N(folderLink.c_str()).c_str()), 0);
    EXPECT_TRUE(VoPathIsFolder(folderLink.c_str()));
    EXPECT_EQ(VoPathGetAttributes(folderLink.c_str()) & VO_ATTR_DIRECTORY, 0u);

    EXPECT_TRUE(VoPathDeleteFile(link.c_str()));  // the link goes, the target stays
    EXPECT_EQ(ReadFile(target), "original");
}

TEST(FileIoPosix, SpecialFilesAreRefusedWithoutBlocking)
{
    ScratchFolder scratch;
    VoString fifo = scratch.Path("fifo");
    ASSERT_EQ(mkfifo(N(fifo.c_str()).c_str(), 0600), 0);
    uint32_t error = 0;
    EXPECT_EQ(VoFileOpen(fifo.c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING, &error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_EQ(VoPathGetAttributes(fifo.c_str()), VO_ATTR_DEVICE);
}

TEST(FileIoPosix, NamesThatAreNotUtf8CanBeListedAndOpened)
{
    ScratchFolder scratch;
    std::string native = N(scratch.path().c_str()) + "/bad\xFF" "name";
    int fd = open(native.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, "ok", 2), 2);
    close(fd);
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(scratch.path().c_str(), &data);
    ASSERT_NE(find, nullptr);
    VoFindClose(find);
    EXPECT_EQ(data.name[3], 0xDCFF);
    EXPECT_EQ(ReadFile(scratch.path() + VOCHAR('/') + data.name), "ok");
}

TEST(FileIoPosix, FullPathsAreMadeFromTheTextAlone)
{
    VOCHAR out[64];
    EXPECT_EQ(VoPathGetFull(W("/a/./b/../c").c_str(), out, 64), 4u);
    EXPECT_EQ(N(out), "/a/c");
    EXPECT_EQ(VoPathGetFull(W("/x/../../..").c_str(), out, 64), 1u);
    EXPECT_EQ(N(out), "/");
    EXPECT_EQ(VoPathGetFull(W("//a//b/").c_str(), out, 64), 5u);
    EXPECT_EQ(N(out), "/a/b/");
    EXPECT_EQ(VoPathGetFull(W("").c_str(), out, 64), 0u);

    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    std::string expected = std::string(cwd) + (std::string(cwd) == "/" ? "" : "/") + "rel";
    VOCHAR full[4096];
    EXPECT_EQ(VoPathGetFull(W("rel").c_str(), full, 4096), expected.size());
    EXPECT_EQ(N(full), expected);
    VOCHAR cut[5] = {'X', 'X', 'X', 'X', 'X'};
    EXPECT_EQ(VoPathGetFull(W("/abcdef").c_str(), cut, 4), 7u);  // cut, with its full length
    EXPECT_EQ(N(cut), "/ab");
    EXPECT_EQ(cut[4], 'X');
}
#endif
