// The files family on the real file system of each target. Paths in the
// expectations are written with "/" and turned into the native separator.
#include <gtest/gtest.h>

#include "utf_text.h"

#include <algorithm>
#include <set>
#include <string>

#include "files/files.h"
#include "format/format.h"
#include "log/errors.h"
#include "platform/utf8.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

typedef std::basic_string<VOCHAR> VoString;

std::string Native(std::string text)
{
    std::replace(text.begin(), text.end(), '/', (char)VO_PATH_SEPARATOR);
    return text;
}

// A native-separator VOCHAR text from a "/" text.
VoString P(const std::string &text)
{
    return Utf8ToText(Native(text));
}

std::string N(const VOCHAR *text)
{
    return TextToUtf8(text);
}

// A buffer of size units followed by guard units that must stay untouched.
struct Guarded {
    explicit Guarded(const std::string &text, size_t size) : size(size), units(size + 4, (VOCHAR)0x7777)
    {
        VoString wide = P(text);
        std::copy(wide.begin(), wide.end(), units.begin());
        if (wide.size() < size) units[wide.size()] = 0;
    }
    VOCHAR *data() { return units.data(); }
    int chars() const { return (int)size; }
    bool GuardsIntact() const
    {
        return std::all_of(units.begin() + (long)size, units.end(), [](VOCHAR c) { return c == 0x7777; });
    }
    size_t size;
    std::vector<VOCHAR> units;
};

class ScratchFolder {
public:
    ScratchFolder()
    {
        VOCHAR temp[VO_MAX_PATH];
        EXPECT_GT(VoGetTempPath(VO_MAX_PATH, temp), 0u);
        static int counter = 0;
        std::string name = "vofiles_" + std::to_string(VoGetSystemTimeAsFileTime() % 1000000007) + "_" +
                           std::to_string(++counter);
        m_path = VoString(temp) + P(name);
        EXPECT_TRUE(VoPathCreateFolder(m_path.c_str()));
    }
    ~ScratchFolder() { EXPECT_EQ(VoDeleteDirectoryTree(m_path.c_str(), 1), 1); }
    VoString Path(const std::string &relative) const { return m_path + VO_PATH_SEPARATOR + P(relative); }
    const VOCHAR *c_str() const { return m_path.c_str(); }
    const VoString &path() const { return m_path; }

private:
    VoString m_path;
};

bool MakeFile(const VoString &path, const std::string &content = "")
{
    HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_ALWAYS);
    if (!file) return false;
    bool ok = VoFileWrite(file, content.data(), (uint32_t)content.size());
    VoFileClose(file);
    return ok;
}

// Windows refuses to write a read-only file; Wine run by the superuser lets
// the host decide and writes it anyway. POSIX builds keep the rule themselves.
bool ReadOnlyBlocksWriting(const VoString &probe)
{
#ifdef _WIN32
    if (!MakeFile(probe) || !VoPathSetAttributes(probe.c_str(), VO_ATTR_READONLY)) return false;
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

bool Exists(const VoString &path) { return VoPathGetAttributes(path.c_str()) != VO_INVALID_ATTRIBUTES; }

}  // namespace

// ---------------------------------------------------------------------------
// Names and paths as text.

TEST(FilesPathText, FileNameAndExtension)
{
    VoString path = P("dir.d/sub/c.txt");
    EXPECT_EQ(N(VoGetFileNamePtrW(path.c_str())), "c.txt");
    EXPECT_EQ(N(VoGetFileNamePtrW(P("dir/").c_str())), "");
    EXPECT_EQ(N(VoGetFileNamePtrW(P("plain").c_str())), "plain");
    EXPECT_EQ(VoGetFileNamePtrW((const VOCHAR *)nullptr), nullptr);
    // '/' separates on both systems (Windows reads it as '\\ too).
    const VOCHAR slashed[] = {'.', '.', '/', '.', '.', '/', 'x', '.', 'e', 'x', 'e', 0};
    EXPECT_EQ(N(VoGetFileNamePtrW(slashed)), "x.exe");

    VoString tar = P("a.tar.gz"), blank = P("name. txt"), none = P("noext");
    EXPECT_EQ(VoGetFileNameExtensionPtrW(tar.c_str()), tar.c_str() + 5);
    EXPECT_EQ(VoGetFileNameExtensionPtrW(blank.c_str()), blank.c_str() + blank.size());
    EXPECT_EQ(VoGetFileNameExtensionPtrW(none.c_str()), none.c_str() + none.size());
    // The whole text is searched: a folder's dot counts unless the name part is passed.
    EXPECT_EQ(N(VoGetFileNameExtensionPtrW(P("dir.d/file").c_str())), Native(".d/file"));
}

TEST(FilesPathText, SlashesNeverPassTheBuffer)
{
    Guarded empty("", 8);
    EXPECT_EQ(VoAddSlashToPathName(empty.data(), empty.chars()), 0);
    EXPECT_EQ(N(empty.data()), "");

    Guarded room("abc", 5);
    EXPECT_EQ(VoAddSlashToPathName(room.data(), room.chars()), 4);
    EXPECT_EQ(N(room.data()), Native("abc/"));
    EXPECT_EQ(VoAddSlashToPathName(room.data(), room.chars()), 4);  // already there
    EXPECT_TRUE(room.GuardsIntact());

    Guarded exact("abc", 4);  // length + 1: no room for the separator
    EXPECT_EQ(VoAddSlashToPathName(exact.data(), exact.chars()), 0);
    EXPECT_EQ(N(exact.data()), "abc");
    EXPECT_TRUE(exact.GuardsIntact());

    Guarded unterminated("abcd", 4);
    EXPECT_EQ(VoAddSlashToPathName(unterminated.data(), 4), 0);
    EXPECT_EQ(VoRemoveSlashFromPathNameEnd(unterminated.data(), 4), 0);
    EXPECT_TRUE(unterminated.GuardsIntact());

    Guarded trailing("abc/", 5);
    EXPECT_EQ(VoRemoveSlashFromPathNameEnd(trailing.data(), 5), 3);
    EXPECT_EQ(N(trailing.data()), "abc");
    EXPECT_EQ(VoRemoveSlashFromPathNameEnd(trailing.data(), 5), 3);
    Guarded root("/", 2);
    EXPECT_EQ(VoRemoveSlashFromPathNameEnd(root.data(), 2), 0);
    EXPECT_EQ(N(root.data()), "");
}

TEST(FilesPathText, FolderPartAndRoot)
{
    Guarded out("untouched", 16);
    EXPECT_EQ(VoGetPathNameFromFilePath(P("").c_str(), out.data(), 16), 0);
    EXPECT_EQ(N(out.data()), "untouched");  // an empty path leaves out alone
    EXPECT_EQ(VoGetPathNameFromFilePath(P("a/b/c").c_str(), out.data(), 16), 4);
    EXPECT_EQ(N(out.data()), Native("a/b/"));
    EXPECT_EQ(VoGetPathNameFromFilePath(P("name").c_str(), out.data(), 16), 0);
    EXPECT_EQ(N(out.data()), "");
    Guarded small("x", 4);
    EXPECT_EQ(VoGetPathNameFromFilePath(P("a/b/c").c_str(), small.data(), 4), 4);  // needs 5
    EXPECT_EQ(N(small.data()), "");
    EXPECT_TRUE(small.GuardsIntact());

    EXPECT_EQ(VoGetRootPathFromFilePath(P("dir/x").c_str(), out.data(), 16), 4);
    EXPECT_EQ(N(out.data()), Native("dir/"));
    EXPECT_EQ(VoGetRootPathFromFilePath(P("name").c_str(), out.data(), 16), 0);
    EXPECT_EQ(VoGetRootPathFromFilePath(P("dir/x").c_str(), small.data(), 4), 4);
    EXPECT_EQ(N(small.data()), "");
    EXPECT_TRUE(small.GuardsIntact());
    // A path longer than 259 units is read as cut: no separator within them, no root.
    VoString longName(300, 'a');
    longName += P("/x");
    EXPECT_EQ(VoGetRootPathFromFilePath(longName.c_str(), out.data(), 16), 0);
#ifndef _WIN32
    EXPECT_EQ(VoGetRootPathFromFilePath(P("/a/b").c_str(), out.data(), 16), 1);
    EXPECT_EQ(N(out.data()), "/");
#endif
}

TEST(FilesPathText, ValidateExtensionsAndBareNames)
{
    VoString clean = P("ok name.txt"), dirty = P("a*b?c");
    EXPECT_EQ(VoValidateFileName(&clean[0], 0), 1);
    EXPECT_EQ(VoValidateFileName(&dirty[0], 0), 0);
    EXPECT_EQ(N(dirty.c_str()), "a*b?c");
    EXPECT_EQ(VoValidateFileName(&dirty[0], 1), 0);
    EXPECT_EQ(N(dirty.c_str()), "a_b_c");
    VoString all;
    for (char c : std::string("\"*/:<>?\\|")) all.push_back((VOCHAR)c);
    EXPECT_EQ(VoValidateFileName(&all[0], 1), 0);
    EXPECT_EQ(N(all.c_str()), "_________");

    Guarded path("dir.x/file.txt", 32);
    EXPECT_EQ(VoAddExtensionToPathName(path.data(), 32, P(".TXT").c_str()), 14);  // same, case ignored
    EXPECT_EQ(VoAddExtensionToPathName(path.data(), 32, P("doc").c_str()), 14);
    EXPECT_EQ(N(path.data()), Native("dir.x/file.doc"));
    Guarded bare("dir.x/file", 32);
    EXPECT_EQ(VoAddExtensionToPathName(bare.data(), 32, P("txt").c_str()), 14);
    EXPECT_EQ(N(bare.data()), Native("dir.x/file.txt"));
    Guarded tight("file", 7);  // ".txt" is cut to the two units left
    EXPECT_EQ(VoAddExtensionToPathName(tight.data(), 7, P("txt").c_str()), 6);
    EXPECT_EQ(N(tight.data()), "file.t");
    EXPECT_TRUE(tight.GuardsIntact());

    Guarded name("", 5);
    EXPECT_EQ(VoGetFileNameWithoutPathOrExtension(P("a/b/name.ext").c_str(), name.data(), 5), name.data());
    EXPECT_EQ(N(name.data()), "name");
    EXPECT_TRUE(name.GuardsIntact());
}

TEST(FilesPathText, WildCardMatch)
{
    struct Case {
        const char *pattern, *name;
        int match;
    };
    const Case cases[] = {
        {"*", "anything.at.all", 1}, {"*.txt", "a.txt", 1},  {"*.txt", "a.doc", 0},
        {"a*", "ab.c", 0},           {"a*", "abc", 1},       {"abc", "abc.", 1},
        {"abc", "abcd", 0},          {"a?c", "a.c", 1},      {"A*", "abc", 0},
        {"*.*", "name.ext", 1},      {"ab*", "ab", 1},       {"ab.", "ab", 1},
        {"a*x.txt", "abcx.txt", 1},  {"*x", "a.x", 0},       {"", "a", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(VoIsMatchWildCard(P(c.pattern).c_str(), P(c.name).c_str()), c.match)
            << c.pattern << " vs " << c.name;
    EXPECT_EQ(VoIsMatchWildCard(nullptr, P("a").c_str()), 0);
}

TEST(FilesPathText, RelativePaths)
{
    VoString path = P("D/New/Project/Media/a.wav");
    EXPECT_EQ(N(VoGetFileNamePtrRelative(P("C/Old/Project/Media/a.wav").c_str(), path.c_str())),
              Native("Project/Media/a.wav"));
    // The reference ends exactly at a component: that component is shared too.
    EXPECT_EQ(N(VoGetFileNamePtrRelative(P("media/A.WAV").c_str(), path.c_str())), Native("Media/a.wav"));
    // "xMedia" only shares the tail of a name: that partial name is left out.
    EXPECT_EQ(N(VoGetFileNamePtrRelative(P("xMedia/a.wav").c_str(), path.c_str())), "a.wav");
    EXPECT_EQ(N(VoGetFileNamePtrRelative(P("other").c_str(), path.c_str())), "");

    Guarded out("", 16);
    EXPECT_EQ(VoGetBasePathRelative(P("C/Old/Project/Media/a.wav").c_str(), path.c_str(), out.data(), 16), S_OK);
    EXPECT_EQ(N(out.data()), Native("D/New/"));
    Guarded small("", 4);
    EXPECT_EQ(VoGetBasePathRelative(P("C/Old/Project/Media/a.wav").c_str(), path.c_str(), small.data(), 4), E_FAIL);
    EXPECT_TRUE(small.GuardsIntact());

    Guarded replaced("", 32);
    EXPECT_EQ(VoReplaceBasePathRelative(P("C/Base/sub/f").c_str(), P("c/base").c_str(), P("D/New").c_str(),
                                        replaced.data(), 32), S_OK);
    EXPECT_EQ(N(replaced.data()), Native("D/New/sub/f"));
    EXPECT_EQ(VoReplaceBasePathRelative(P("C/Base/f").c_str(), P("C/Other").c_str(), P("D").c_str(),
                                        replaced.data(), 32), E_FAIL);
    EXPECT_EQ(N(replaced.data()), "");
    VoString longBase(250, 'b');
    EXPECT_EQ(VoReplaceBasePathRelative(P("C/Base/0123456789").c_str(), P("C/Base").c_str(), longBase.c_str(),
                                        replaced.data(), 32), E_FAIL);  // would pass 259 units
    EXPECT_EQ(N(replaced.data()), "");
    Guarded cut("", 6);
    EXPECT_EQ(VoReplaceBasePathRelative(P("C/Base/sub/f").c_str(), P("C/Base").c_str(), P("D").c_str(),
                                        cut.data(), 6), E_FAIL);
    EXPECT_TRUE(cut.GuardsIntact());
}

// ---------------------------------------------------------------------------
// Folders on disk.

TEST(FilesFolderCreate, ChainsStopsAndRefusals)
{
    ScratchFolder scratch;
    EXPECT_EQ(VoCreateDirectory(scratch.Path("a/b/c").c_str(), nullptr), 1);
    EXPECT_TRUE(VoPathIsFolder(scratch.Path("a/b/c").c_str()));
    EXPECT_EQ(VoCreateDirectory(scratch.Path("a/b/c/").c_str(), nullptr), 1);  // exists; trailing separator
    // Two separators in a row end the walk: what lies before is made.
    EXPECT_EQ(VoCreateDirectory(scratch.Path("d//e").c_str(), nullptr), 1);
    EXPECT_TRUE(VoPathIsFolder(scratch.Path("d").c_str()));
    EXPECT_FALSE(Exists(scratch.Path("d/e")));
    // A file where a folder is needed.
    ASSERT_TRUE(MakeFile(scratch.Path("file")));
    EXPECT_EQ(VoCreateDirectory(scratch.Path("file/x").c_str(), nullptr), 0);
    EXPECT_EQ(VoCreateDirectory(P("no-root-here").c_str(), nullptr), 0);
    // A root that does not exist: nothing is made above it.
    EXPECT_EQ(VoCreateDirectory(P("missing-root-folder/x").c_str(), nullptr), 0);
    EXPECT_FALSE(Exists(P("missing-root-folder")));
    // Longer than a path may be: refused without writing past the buffer.
    VoString deep = scratch.path();
    while (deep.size() < 300) deep += P("/abcdefghij");
    EXPECT_EQ(VoCreateDirectory(deep.c_str(), nullptr), 0);
    EXPECT_EQ(VoGetLastError(), 206u);
#ifndef _WIN32
    EXPECT_EQ(VoCreateDirectory(P("/").c_str(), nullptr), 1);
#endif
}

TEST(FilesFolderDelete, ByPatternKeepsFoldersAndOtherFiles)
{
    ScratchFolder scratch;
    ASSERT_EQ(VoCreateDirectory(scratch.Path("sub/deeper").c_str(), nullptr), 1);
    for (const char *name : {"f1.txt", "f2.log", "ro.txt", "sub/f3.txt", "sub/deeper/f4.txt", "sub/f5.log"})
        ASSERT_TRUE(MakeFile(scratch.Path(name), "x"));
    ASSERT_TRUE(VoPathSetAttributes(scratch.Path("ro.txt").c_str(), VO_ATTR_READONLY));

    EXPECT_EQ(VoDeleteFiles(scratch.c_str(), P("*.txt").c_str(), 0), 1);
    EXPECT_FALSE(Exists(scratch.Path("f1.txt")));
    EXPECT_FALSE(Exists(scratch.Path("ro.txt")));  // read-only bit cleared first
    EXPECT_TRUE(Exists(scratch.Path("f2.log")));
    EXPECT_TRUE(Exists(scratch.Path("sub/f3.txt")));

    EXPECT_EQ(VoDeleteFiles(scratch.c_str(), P("*.txt").c_str(), 1), 1);
    EXPECT_FALSE(Exists(scratch.Path("sub/f3.txt")));
    EXPECT_FALSE(Exists(scratch.Path("sub/deeper/f4.txt")));
    EXPECT_TRUE(Exists(scratch.Path("sub/f5.log")));
    EXPECT_TRUE(VoPathIsFolder(scratch.Path("sub/deeper").c_str()));
}

TEST(FilesFolderDelete, TreesEmptiesAndSizes)
{
    ScratchFolder scratch;
    VoString top = scratch.Path("top");
    ASSERT_EQ(VoCreateDirectory(scratch.Path("top/a/b").c_str(), nullptr), 1);
    ASSERT_TRUE(MakeFile(scratch.Path("top/one"), "12345"));
    ASSERT_TRUE(MakeFile(scratch.Path("top/a/two"), "1234567"));
    ASSERT_TRUE(MakeFile(scratch.Path("top/a/b/ro"), "123"));
    ASSERT_TRUE(VoPathSetAttributes(scratch.Path("top/a/b/ro").c_str(), VO_ATTR_READONLY));
    ASSERT_TRUE(VoPathSetAttributes(scratch.Path("top/a").c_str(), VO_ATTR_READONLY));

    uint64_t size = 1;
    EXPECT_EQ(VoGetDirectorySize(top.c_str(), &size), S_OK);
    EXPECT_EQ(size, 15u);
    EXPECT_EQ(VoGetDirectorySize(scratch.Path("none").c_str(), &size), S_OK);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(VoGetDirectorySize(top.c_str(), nullptr), E_INVALIDARG);

    EXPECT_EQ(VoIsDirectoryEmpty(top.c_str()), 0);
    EXPECT_EQ(VoDeleteDirectoryTree(top.c_str(), 0), 1);  // emptied, kept
    EXPECT_TRUE(VoPathIsFolder(top.c_str()));
    EXPECT_EQ(VoIsDirectoryEmpty(top.c_str()), 1);
    ASSERT_TRUE(VoPathCreateFolder(scratch.Path("top/empty").c_str()));
    EXPECT_EQ(VoIsDirectoryEmpty(top.c_str()), 0);  // an empty subfolder is still something
    EXPECT_EQ(VoDeleteDirectoryTree(top.c_str(), 1), 1);
    EXPECT_FALSE(Exists(top));
    EXPECT_EQ(VoDeleteDirectoryTree(top.c_str(), 1), 0);  // nothing to remove
    EXPECT_EQ(VoIsDirectoryEmpty(top.c_str()), 1);        // cannot be searched
    VoString tooLong(VO_MAX_PATH, 'a');
    EXPECT_EQ(VoIsDirectoryEmpty(tooLong.c_str()), 0);
}

#ifndef _WIN32
TEST(FilesFolderDelete, LinksInsideATreeAreRemovedNotFollowed)
{
    ScratchFolder scratch, outside;
    ASSERT_TRUE(MakeFile(outside.Path("precious"), "keep"));
    ASSERT_TRUE(VoPathCreateFolder(scratch.Path("tree").c_str()));
    ASSERT_EQ(symlink(N(outside.c_str()).c_str(), N(scratch.Path("tree/link").c_str()).c_str()), 0);
    uint64_t size = 0;
    EXPECT_EQ(VoGetDirectorySize(scratch.Path("tree").c_str(), &size), S_OK);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(VoDeleteFiles(scratch.Path("tree").c_str(), P("*").c_str(), 1), 1);
    EXPECT_EQ(VoDeleteDirectoryTree(scratch.Path("tree").c_str(), 1), 1);
    EXPECT_TRUE(Exists(outside.Path("precious")));
}
#endif

TEST(FilesFolderUnique, NextFreeNameAndRefusals)
{
    ScratchFolder scratch;
    VOCHAR out[VO_MAX_PATH];
    EXPECT_EQ(VoGetUniqueSubFolder(scratch.c_str(), P("Inst").c_str(), out, VO_MAX_PATH), S_OK);
    EXPECT_EQ(N(out), N(scratch.Path("Inst").c_str()));
    ASSERT_TRUE(VoPathCreateFolder(out));
    ASSERT_TRUE(VoPathCreateFolder(scratch.Path("Inst1").c_str()));
    ASSERT_TRUE(MakeFile(scratch.Path("Inst2")));  // a file does not take the name
    VoString withSlash = scratch.path() + VO_PATH_SEPARATOR;
    EXPECT_EQ(VoGetUniqueSubFolder(withSlash.c_str(), P("Inst").c_str(), out, VO_MAX_PATH), S_OK);
    EXPECT_EQ(N(out), N(scratch.Path("Inst2").c_str()));
    EXPECT_EQ(VoGetUniqueSubFolder(scratch.c_str(), P("Inst").c_str(), out, VO_MAX_PATH - 1), E_INVALIDARG);
    EXPECT_EQ(VoGetUniqueSubFolder(nullptr, P("Inst").c_str(), out, VO_MAX_PATH), E_INVALIDARG);
    VoString longName(VO_MAX_PATH, 'n');
    EXPECT_EQ(VoGetUniqueSubFolder(scratch.c_str(), longName.c_str(), out, VO_MAX_PATH), E_FAIL);
}

TEST(FilesFolderMove, TreesMoveWholeAndNeverIntoThemselves)
{
    ScratchFolder scratch;
    VoString source = scratch.Path("src/"), target = scratch.Path("dst/");
    ASSERT_EQ(VoCreateDirectory(scratch.Path("src/sub/deeper").c_str(), nullptr), 1);
    for (const char *name : {"src/a.txt", "src/sub/b.txt", "src/sub/deeper/c.txt"})
        ASSERT_TRUE(MakeFile(scratch.Path(name), name));
    ASSERT_EQ(VoCreateDirectory(scratch.Path("dst/sub").c_str(), nullptr), 1);
    ASSERT_TRUE(MakeFile(scratch.Path("dst/sub/b.txt"), "old"));  // replaced

    uint32_t count = 99;
    EXPECT_EQ(VoCanMoveFolder(source.c_str()), S_OK);
    EXPECT_EQ(VoMoveFolder(scratch.Path("src/inner/").c_str(), source.c_str(), &count, nullptr, nullptr),
              (HRESULT)0x8004E186);
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(Exists(scratch.Path("src/inner")));
    EXPECT_EQ(VoMoveFolder(source.c_str(), source.c_str(), &count, nullptr, nullptr), S_OK);

    EXPECT_EQ(VoMoveFolder(target.c_str(), source.c_str(), &count, nullptr, nullptr), S_OK);
    EXPECT_EQ(count, 3u);
    EXPECT_FALSE(Exists(scratch.Path("src")));
    uint64_t size = 0;
    EXPECT_EQ(VoGetFileSizeByName(scratch.Path("dst/sub/b.txt").c_str(), &size), S_OK);
    EXPECT_EQ(size, 13u);
    EXPECT_TRUE(VoDoesFileExist(scratch.Path("dst/sub/deeper/c.txt").c_str()));
}

// ---------------------------------------------------------------------------
// Room and writability.

TEST(FilesTempFile, NumbersUniquenessAndSmallBuffers)
{
    ScratchFolder scratch;
    VoString prefix = scratch.path() + VO_PATH_SEPARATOR;
    ASSERT_TRUE(MakeFile(scratch.Path("1")));
    ASSERT_TRUE(MakeFile(scratch.Path("2")));
    VOCHAR out[VO_MAX_PATH];
    EXPECT_EQ(VoCreateTempFileAndName(prefix.c_str(), P("").c_str(), out, VO_MAX_PATH), S_OK);
    EXPECT_EQ(N(out), N(scratch.Path("3").c_str()));
    EXPECT_TRUE(VoDoesFileExist(out));

    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(VoCreateTempFileAndNameEx(prefix.c_str(), P("t").c_str(), P(".tmp").c_str(), P("%03d").c_str(),
                                            out, VO_MAX_PATH), S_OK);
        names.insert(N(out));
    }
    EXPECT_EQ(names.size(), 20u);
    EXPECT_EQ(names.count(N(scratch.Path("t020.tmp").c_str())), 1u);

    // Just too small for the next number: refused, out emptied, nothing past it.
    Guarded small("junk", prefix.size() + 1);
    EXPECT_EQ(VoCreateTempFileAndName(prefix.c_str(), nullptr, small.data(), small.chars()), E_INVALIDARG);
    EXPECT_EQ(N(small.data()), "");
    EXPECT_TRUE(small.GuardsIntact());

    // A format whose text never changes must not try the same name for ever.
    EXPECT_EQ(VoCreateTempFileAndNameEx(prefix.c_str(), nullptr, nullptr, P("x").c_str(), out, VO_MAX_PATH), S_OK);
    EXPECT_NE(VoCreateTempFileAndNameEx(prefix.c_str(), nullptr, nullptr, P("x").c_str(), out, VO_MAX_PATH), S_OK);
    EXPECT_EQ(N(out), "");

    // A token far longer than the format that names it: refused for the
    // name's room, never formatted past the number's buffer.
    ASSERT_EQ(VoPrintF_CreateTokenTable(), 1);
    ASSERT_EQ(VoPrintF_AddToken(P("LongTempPart").c_str(), VoString(50000, 'x').c_str()), 1);
    EXPECT_EQ(VoCreateTempFileAndNameEx(prefix.c_str(), nullptr, nullptr, P("$(LongTempPart)%d").c_str(), out,
                                        VO_MAX_PATH), E_INVALIDARG);
    VoPrintF_DestroyTokenTable();

    VoString missing = scratch.Path("missing/");
    EXPECT_EQ(VoCreateTempFileAndName(missing.c_str(), nullptr, out, VO_MAX_PATH), VO_E_FILENOTFOUND);
    EXPECT_EQ(VoCreateTempFileAndNameEx(nullptr, nullptr, nullptr, nullptr, out, VO_MAX_PATH), E_INVALIDARG);
}

TEST(FilesTempFile, WritableFoldersLeaveNothingBehind)
{
    ScratchFolder scratch;
    EXPECT_EQ(VoIsDirectoryWritable(scratch.c_str()), 1);
    EXPECT_EQ(VoIsDirectoryEmpty(scratch.c_str()), 1);
    EXPECT_EQ(VoIsDirectoryWritable(scratch.Path("missing").c_str()), 0);
    ASSERT_TRUE(MakeFile(scratch.Path("file")));
    EXPECT_EQ(VoIsDirectoryWritable(scratch.Path("file").c_str()), 0);
}

TEST(FilesDiskSpace, UnitsSaturationAndMissingRoots)
{
    ScratchFolder scratch;
    VoString inside = scratch.Path("some-file");
    uint64_t bytes = 0;
    ASSERT_TRUE(VoPathGetFreeSpace(scratch.c_str(), &bytes));
    const uint64_t slack = 64ull << 20;  // other programs write meanwhile
    uint64_t kb = VoGetDiskFreeSpace(inside.c_str(), 1024);
    EXPECT_LE(kb > bytes / 1024 ? kb - bytes / 1024 : bytes / 1024 - kb, slack / 1024);
    uint64_t mb = VoGetDiskFreeSpace(inside.c_str(), 1 << 20);
    EXPECT_LE(mb > bytes >> 20 ? mb - (bytes >> 20) : (bytes >> 20) - mb, slack >> 20);
    uint32_t plain = VoGetDiskFreeSpace(inside.c_str(), 0);
    if (bytes > 0xFFFFFFFFull + slack) {
        EXPECT_EQ(plain, 0xFFFFFFFFu);
    }
    EXPECT_EQ(VoGetDiskFreeSpace(inside.c_str(), 1), plain);
    EXPECT_EQ(VoGetDiskFreeSpace(P("no-root").c_str(), 1024), 0u);
    EXPECT_EQ(VoGetDiskFreeSpace(P("").c_str(), 1024), 0u);
}

// ---------------------------------------------------------------------------
// System paths.

TEST(FilesSystemPath, TempLongAndModulePaths)
{
    VOCHAR temp[VO_MAX_PATH];
    uint32_t length = VoGetTempPath(VO_MAX_PATH, temp);
    ASSERT_GT(length, 1u);
    EXPECT_EQ(temp[length - 1], VO_PATH_SEPARATOR);
    EXPECT_TRUE(VoPathIsFolder(temp));
    Guarded tiny("", 2);
    EXPECT_GT(VoGetTempPath(2, tiny.data()), 2u);
    EXPECT_TRUE(tiny.GuardsIntact());

    ScratchFolder scratch;
    Guarded longPath("", VO_MAX_PATH);
    EXPECT_EQ(VoGetLongPathName(scratch.c_str(), longPath.data(), VO_MAX_PATH), scratch.path().size());
    EXPECT_EQ(N(longPath.data()), N(scratch.c_str()));
    VoString missing = scratch.Path("missing");
    EXPECT_EQ(VoGetLongPathName(missing.c_str(), longPath.data(), VO_MAX_PATH), 0u);
    EXPECT_EQ(N(longPath.data()), N(missing.c_str()));  // the input, usable
    Guarded small("", 5);
    EXPECT_GT(VoGetLongPathName(scratch.c_str(), small.data(), 5), 5u);
    EXPECT_EQ(N(small.data()), N(scratch.c_str()).substr(0, 4));  // the input, cut
    EXPECT_TRUE(small.GuardsIntact());
    VoString same = missing;
    EXPECT_EQ(VoGetLongPathName(same.c_str(), &same[0], (uint32_t)same.size() + 1), 0u);
    EXPECT_EQ(same, missing);

    VOCHAR module[VO_MAX_PATH], folder[VO_MAX_PATH];
    uint32_t moduleLength = VoGetModuleFileName(nullptr, module, VO_MAX_PATH);
    ASSERT_GT(moduleLength, 0u);
    EXPECT_TRUE(VoDoesFileExist(module));
    int folderLength = VoGetModulePath(nullptr, folder, VO_MAX_PATH);
    ASSERT_GT(folderLength, 0);
    EXPECT_EQ(folder[folderLength - 1], VO_PATH_SEPARATOR);
    EXPECT_EQ(N(module).substr(0, (size_t)folderLength), N(folder));
    Guarded cut("x", 3);
    EXPECT_EQ(VoGetModulePath(nullptr, cut.data(), 3), 0);
    EXPECT_EQ(N(cut.data()), "");
    EXPECT_TRUE(cut.GuardsIntact());
}

TEST(FilesSystemPath, FullPathsOfNewNames)
{
    ScratchFolder scratch;
    VoString relative = scratch.Path("sub/../new.txt");
    VOCHAR full[VO_MAX_PATH];
    VOCHAR *filePart = nullptr;
    uint32_t length = VoGetFullPathName(relative.c_str(), VO_MAX_PATH, full, &filePart);
    EXPECT_EQ(N(full), N(scratch.Path("new.txt").c_str()));  // need not exist
    EXPECT_EQ(length, VoStrLen(full));
    ASSERT_NE(filePart, nullptr);
    EXPECT_EQ(N(filePart), "new.txt");
    EXPECT_GT(VoGetFullPathName(relative.c_str(), 4, full, &filePart), 4u);
    EXPECT_EQ(filePart, nullptr);

    VOCHAR out[VO_MAX_PATH];
    EXPECT_EQ(VoQualifyPath(P("name.txt").c_str(), out, VO_MAX_PATH), 1);
    EXPECT_EQ(N(VoGetFileNamePtrW(out)), "name.txt");
    EXPECT_NE(VoGetRootPathFromFilePath(out, full, VO_MAX_PATH), 0);
    EXPECT_EQ(VoQualifyPath(P("name.txt").c_str(), out, 3), 0);
    EXPECT_EQ(VoQualifyPath(P("name.txt").c_str(), out, 0), 0);
}

// ---------------------------------------------------------------------------
// Single files.

TEST(FilesFileInfo, ExistenceSizeAndWritability)
{
    ScratchFolder scratch;
    VoString path = scratch.Path("f.bin");
    ASSERT_TRUE(MakeFile(path, "123456"));
    EXPECT_EQ(VoDoesFileExist(path.c_str()), 1);
    EXPECT_EQ(VoDoesFileExist(scratch.c_str()), 0);  // a folder is not a file
    EXPECT_EQ(VoDoesFileExist(scratch.Path("none").c_str()), 0);

    uint64_t size = 99;
    EXPECT_EQ(VoGetFileSizeByName(path.c_str(), &size), S_OK);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(VoGetFileSizeByName(scratch.Path("none").c_str(), &size), (HRESULT)0x8004E007);
    EXPECT_EQ(size, 0u);

    EXPECT_EQ(VoIsFileWritable(path.c_str()), 1);
    bool enforced = ReadOnlyBlocksWriting(scratch.Path("probe"));
    ASSERT_TRUE(VoPathSetAttributes(path.c_str(), VO_ATTR_READONLY));
    if (enforced) {
        EXPECT_EQ(VoIsFileWritable(path.c_str()), 0);
    }
    EXPECT_EQ(VoIsFileWritable(scratch.Path("none").c_str()), 0);
}

TEST(FilesFileInfo, ExecutableHeaders)
{
    ScratchFolder scratch;
    auto image = [](uint32_t headerOffset, size_t total, bool pe) {
        std::string bytes(total, '\0');
        bytes[0] = 'M';
        bytes[1] = 'Z';
        for (int i = 0; i < 4; ++i) bytes[60 + i] = (char)(headerOffset >> (8 * i));
        if (pe && (uint64_t)headerOffset + 24 <= total) {
            bytes.replace(headerOffset, 4, std::string("PE\0\0", 4));
            bytes[headerOffset + 4] = 0x4C, bytes[headerOffset + 5] = 0x01;    // i386
            bytes[headerOffset + 22] = 0x02, bytes[headerOffset + 23] = 0x01;  // executable, 32-bit
        }
        return bytes;
    };
    struct Case {
        const char *name;
        std::string bytes;
        int executable;
    };
    const Case cases[] = {
        {"near.exe", image(64, 200, true), 1},
        {"far.exe", image(5000, 5024, true), 1},  // header beyond the first 4096 bytes
        {"nope.exe", image(64, 200, false), 0},
        {"short.exe", std::string("MZ"), 0},
        {"wild.exe", image(0xFFFFFFF0u, 100, true), 0},
    };
    for (const Case &c : cases) {
        VoString path = scratch.Path(c.name);
        ASSERT_TRUE(MakeFile(path, c.bytes));
        HVOFILE file = VoFileOpen(path.c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
        ASSERT_NE(file, nullptr);
        uint16_t machine = 1, characteristics = 1;
        EXPECT_EQ(VoIsFileExecutable(file, &machine, &characteristics), c.executable) << c.name;
        EXPECT_EQ(machine, c.executable ? 0x14C : 0) << c.name;
        EXPECT_EQ(characteristics, c.executable ? 0x102 : 0) << c.name;
        EXPECT_EQ(VoFileTell(file), 0);
        VoFileClose(file);
        EXPECT_EQ(VoGetFileExecutableInfo(path.c_str(), &machine, &characteristics),
                  c.executable ? S_OK : (HRESULT)0x8004E00B) << c.name;
    }
    uint16_t machine, characteristics;
    EXPECT_EQ(VoGetFileExecutableInfo(scratch.Path("none").c_str(), &machine, &characteristics),
              (HRESULT)0x80070002);
}

TEST(FilesFileInfo, DosTimeStampsAndTheClock)
{
    ScratchFolder scratch;
    VoString path = scratch.Path("t");
    ASSERT_TRUE(MakeFile(path));
    const VOFILETIME stamp = 126256467060000000ull;  // 2001-02-03 04:05:06 UTC
    ASSERT_TRUE(VoPathSetTimes(path.c_str(), nullptr, nullptr, &stamp));
    EXPECT_EQ(VoDosGetDateTimeUTC(path.c_str()), 0x2A4320A3u);
    EXPECT_NE(VoDosGetDateTime(path.c_str()), 0u);
    const VOFILETIME before1980 = 116444736000000000ull;  // 1970
    ASSERT_TRUE(VoPathSetTimes(path.c_str(), nullptr, nullptr, &before1980));
    EXPECT_EQ(VoDosGetDateTimeUTC(path.c_str()), 0u);
    EXPECT_EQ(VoDosGetDateTimeUTC(scratch.Path("none").c_str()), 0u);

    uint32_t now[2];
    uint32_t hundredths = VoGetDateTime(now);
    EXPECT_EQ(hundredths, now[1] & 0xFF);
    EXPECT_LT(hundredths, 100u);
    EXPECT_GE(now[0] & 0xFFFF, 2024u);
    EXPECT_GE(now[0] >> 24, 1u);
    EXPECT_LE(now[0] >> 24, 12u);
    EXPECT_LT(now[1] >> 24, 24u);
}

TEST(FilesFileInfo, ByteSizesAsText)
{
    struct Case {
        int64_t size;
        const char *text, *text2;
    };
    const Case cases[] = {
        {0, "0", "0 bytes"},
        {1023, "1023", "1023 bytes"},
        {-5, "-5", "-5 bytes"},
        {-5000000000LL, "-5000000000", "-5000000000 bytes"},  // not cut to 32 bits
        {1536, "1.50KB", "1.50 KB"},
        {2048000, "2.00MB", "2.00 MB"},
        {1024000000, "1.00GB", "1.00 GB"},
    };
    for (const Case &c : cases) {
        VOCHAR out[48];
        EXPECT_EQ(VoGetByteSizeText(c.size, out), (int)strlen(c.text));
        EXPECT_EQ(N(out), c.text);
        EXPECT_EQ(VoGetByteSizeText2(c.size, out), (int)strlen(c.text2));
        EXPECT_EQ(N(out), c.text2);
    }
}
