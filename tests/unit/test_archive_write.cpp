// Writing archives: create, append, delete and annotate, checked against a
// byte-level reading of the records made here, and by reading back through
// the engine.
#include <gtest/gtest.h>

#include <deque>
#include <map>

#include "archive/archive.h"
#include "archive_builder.h"
#include "scratch.h"

namespace {

uint32_t Le32(const Bytes &b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | (uint32_t)b[at + 3] << 24;
}

uint64_t Le64(const Bytes &b, size_t at)
{
    return Le32(b, at) | (uint64_t)Le32(b, at + 4) << 32;
}

std::string NameAt(const Bytes &b, size_t at, uint32_t units)
{
    std::string s;
    for (uint32_t i = 0; i < units; ++i) s.push_back((char)b[at + 2 * i]);
    return s;
}

Bytes RawInflate(const uint8_t *data, size_t size, size_t expected)
{
    Bytes out(expected + 1);
    z_stream z{};
    inflateInit2(&z, -15);
    z.next_in = const_cast<uint8_t *>(data);
    z.avail_in = (uInt)size;
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    int status = inflate(&z, Z_FINISH);
    out.resize(z.total_out);
    inflateEnd(&z);
    EXPECT_EQ(status, Z_STREAM_END);
    return out;
}

// Reads an archive file with no help from the engine: returns the entries'
// names with their contents, checking every record field on the way.
std::map<std::string, Bytes> ReadByHand(const Bytes &file, uint64_t stub = 0)
{
    std::map<std::string, Bytes> out;
    size_t endAt = file.size() - 56;
    while (Le32(file, endAt) != 0x0C054D55) --endAt;  // tests write no comment with the signature
    uint32_t count = Le32(file, endAt + 16);
    EXPECT_EQ(Le32(file, endAt + 12), count);
    uint64_t dirOffset = Le64(file, endAt + 28), dirSize = Le64(file, endAt + 20);
    EXPECT_EQ(Le64(file, endAt + 36), stub);
    EXPECT_EQ(stub + dirOffset + dirSize, endAt);
    size_t at = (size_t)(stub + dirOffset);
    for (uint32_t i = 0; i < count; ++i) {
        EXPECT_EQ(Le32(file, at), 0x0B014D55u);
        uint32_t nameLength = Le32(file, at + 52);
        std::string name = NameAt(file, at + 84, nameLength);
        uint64_t local = stub + Le64(file, at + 76);
        // The local header repeats the directory's fields +4..+51.
        EXPECT_EQ(Le32(file, (size_t)local), 0x0A034D55u);
        for (size_t f = 4; f < 52; ++f) EXPECT_EQ(file[(size_t)local + f], file[at + f]) << name << " byte " << f;
        EXPECT_EQ(Le32(file, (size_t)local + 56), nameLength);
        EXPECT_EQ(Le32(file, (size_t)local + 52), Le32(file, at + 68));
        uint32_t method = Le32(file, at + 12);
        uint64_t stored = Le64(file, at + 36), size = Le64(file, at + 44);
        const uint8_t *data = file.data() + local + 64 + 2 * nameLength;
        EXPECT_EQ((uint32_t)crc32(0, data, (uInt)stored), stored ? Le32(file, at + 28) : 0u) << name;
        Bytes content = method == 0 ? Bytes(data, data + stored) : stored ? RawInflate(data, (size_t)stored, (size_t)size) : Bytes();
        EXPECT_EQ(content.size(), size) << name;
        EXPECT_EQ(Crc32(content), size ? Le32(file, at + 32) : 0u) << name;
        out[name] = content;
        at += 84 + 2 * (nameLength + Le32(file, at + 56) + Le32(file, at + 60));
    }
    return out;
}

class AnsweringProgress : public CVoArchiveProgress {
public:
    std::deque<HRESULT> answers;
    int asked = 0;
    int errors = 0;
    int OnStatus(uint32_t status) override
    {
        if (status == ARC_STAT_ASK) {
            ++asked;
            if (!answers.empty()) {
                SetAnswer(answers.front());
                answers.pop_front();
            }
        }
        return 0;
    }
    int OnError(uint32_t) override
    {
        ++errors;
        return 0;
    }
};

// A source tree: pkg/a.txt, pkg/sub/b.bin, pkg/empty/, pkg/zero.txt, pkg/old.log/x.txt
void MakeTree(const ScratchFolder &s)
{
    WriteBytes(s / "pkg" / "a.txt", TextBytes(std::string(20000, 'a')));
    Bytes binary(300000);
    for (size_t i = 0; i < binary.size(); ++i) binary[i] = (uint8_t)(i * 2654435761u >> 13);
    WriteBytes(s / "pkg" / "sub" / "b.bin", binary);
    fs::create_directories(s / "pkg" / "empty");
    WriteBytes(s / "pkg" / "zero.txt", {});
    WriteBytes(s / "pkg" / "c.log", TextBytes("log"));
    WriteBytes(s / "pkg" / "old.log" / "x.txt", TextBytes("x"));
}

HRESULT Create(const fs::path &archive, const std::vector<fs::path> &paths, uint32_t method, uint32_t flags = 0,
               CVoArchiveProgress *progress = nullptr)
{
    CArchive2 a;
    HRESULT hr = a.Open(ToVo(archive).c_str(), ARC_OPEN_CREATE, progress);
    if (FAILED(hr)) return hr;
    for (const fs::path &p : paths) {
        hr = a.AddEntryToArchive(ToVo(p).c_str(), method, 6, flags, nullptr);
        if (FAILED(hr)) return hr;
    }
    return a.Close();
}

}  // namespace

TEST(ArchiveWrite, EmptyArchiveIsTheEndRecordAlone)
{
    ScratchFolder s;
    ASSERT_EQ(Create(s / "e.ach", {}, 1), S_OK);
    Bytes file = ReadBytes(s / "e.ach");
    ASSERT_EQ(file.size(), 56u);
    EXPECT_EQ(Le32(file, 0), 0x0C054D55u);
    EXPECT_EQ(Le32(file, 16), 0u);
    EXPECT_EQ(Le64(file, 28), 0u);
}

// One object used for archive after archive: nothing of the one before
// (the stub of a package it read, the output position of one it wrote)
// reaches the next.
TEST(ArchiveWrite, OneObjectStartsEachArchiveAfresh)
{
    ScratchFolder s;
    WriteBytes(s / "a.txt", TextBytes("alpha"));
    TestArchive package;
    package.stub = Bytes(3000, 'M');
    package.entries.emplace_back();
    package.entries[0].name = u"p.txt";
    package.entries[0].data = TextBytes("p");
    WriteBytes(s / "package.exe", package.Build());
    CArchive2 a;
    ASSERT_EQ(a.Open(ToVo(s / "package.exe").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    a.Close();
    for (const char *name : {"first.ach", "second.ach"}) {
        ASSERT_EQ(a.Open(ToVo(s / name).c_str(), ARC_OPEN_CREATE, nullptr), S_OK) << name;
        ASSERT_EQ(a.AddEntryToArchive(ToVo(s / "a.txt").c_str(), 1, 6, 0, nullptr), S_OK) << name;
        ASSERT_EQ(a.Close(), S_OK) << name;
        std::map<std::string, Bytes> entries = ReadByHand(ReadBytes(s / name));
        EXPECT_EQ(entries.size(), 1u) << name;
        EXPECT_EQ(entries["a.txt"], TextBytes("alpha")) << name;
        CArchive2 check;
        ASSERT_EQ(check.Open(ToVo(s / name).c_str(), ARC_OPEN_READ, nullptr), S_OK) << name;
        EXPECT_EQ(check.VerifyEntry(0), S_OK) << name;
        check.Close();
    }
}

// A path too long for the engine is refused, never opened cut short (a
// shorter name would be another file, overwritten in create mode).
TEST(ArchiveWrite, PathsTooLongAreRefusedNotCut)
{
    ScratchFolder s;
    VoString folder = ToVo(s / "");
    VoString longPath = folder + VoString(300 - folder.size(), 'l');
    for (uint32_t mode : {ARC_OPEN_CREATE, ARC_OPEN_READ})
        EXPECT_EQ(CArchive2().Open(longPath.c_str(), mode, nullptr), E_INVALIDARG) << mode;
    EXPECT_EQ(CArchive2().Annotate(longPath.c_str(), VOTEXT("x")), E_INVALIDARG);
    EXPECT_TRUE(fs::is_empty(s / ""));
}

TEST(ArchiveWrite, FolderTreeStoredAndDeflatedReadsBackByHandAndByEngine)
{
    ScratchFolder s;
    MakeTree(s);
    for (uint32_t method : {0u, 1u}) {
        fs::path archive = s / ("tree" + std::to_string(method) + ".ach");
        ASSERT_EQ(Create(archive, {s / "pkg"}, method), S_OK);
        std::map<std::string, Bytes> entries = ReadByHand(ReadBytes(archive));
        EXPECT_EQ(entries.size(), 9u);
        EXPECT_EQ(entries["pkg\\a.txt"], ReadBytes(s / "pkg" / "a.txt"));
        EXPECT_EQ(entries["pkg\\sub\\b.bin"], ReadBytes(s / "pkg" / "sub" / "b.bin"));
        EXPECT_TRUE(entries.count("pkg\\"));
        EXPECT_TRUE(entries.count("pkg\\empty\\"));
        EXPECT_TRUE(entries["pkg\\zero.txt"].empty());

        CArchive2 a;
        ASSERT_EQ(a.Open(ToVo(archive).c_str(), ARC_OPEN_READ, nullptr), S_OK);
        fs::create_directories(s / "out");
        ASSERT_EQ(a.ExtractAll(ToVo(s / "out").c_str(), ARC_EXTRACT_OVERWRITE), S_OK);
        EXPECT_EQ(ReadBytes(s / "out" / "pkg" / "sub" / "b.bin"), ReadBytes(s / "pkg" / "sub" / "b.bin"));
        EXPECT_TRUE(fs::is_directory(s / "out" / "pkg" / "empty"));
        // File times keep 100-ns units.
        auto drift = fs::last_write_time(s / "out" / "pkg" / "a.txt") - fs::last_write_time(s / "pkg" / "a.txt");
        EXPECT_LT(std::chrono::abs(std::chrono::duration_cast<std::chrono::nanoseconds>(drift)).count(), 100);
        a.Close();
    }
}

TEST(ArchiveWrite, DeflatedZeroLengthFileHasNoStreamAndZeroCrcs)
{
    ScratchFolder s;
    WriteBytes(s / "zero.txt", {});
    ASSERT_EQ(Create(s / "z.ach", {s / "zero.txt"}, 1), S_OK);
    Bytes file = ReadBytes(s / "z.ach");
    EXPECT_EQ(Le64(file, 36), 0u);  // compressed size
    EXPECT_EQ(Le32(file, 28), 0u);
    EXPECT_EQ(Le32(file, 32), 0u);
    EXPECT_EQ(file.size(), 64u + 16 + 84 + 16 + 56);
}

TEST(ArchiveWrite, PatternsAndArchiveFolder)
{
    ScratchFolder s;
    MakeTree(s);
    ASSERT_EQ(Create(s / "p.ach", {s / "pkg" / "*.log"}, 1), S_OK);
    std::map<std::string, Bytes> entries = ReadByHand(ReadBytes(s / "p.ach"));
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries.count("c.log"));
    ASSERT_EQ(Create(s / "r.ach", {s / "pkg" / "*.log"}, 1, ARC_ADD_RECURSE), S_OK);
    entries = ReadByHand(ReadBytes(s / "r.ach"));
    EXPECT_TRUE(entries.count("old.log\\x.txt"));
    EXPECT_TRUE(entries.count("old.log\\"));

    CArchive2 a;
    AnsweringProgress progress;
    ASSERT_EQ(a.Open(ToVo(s / "f.ach").c_str(), ARC_OPEN_CREATE, &progress), S_OK);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "pkg" / "a.txt").c_str(), 1, 6, 0, ToVo("data\\docs").c_str()), S_OK);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "pkg" / "x*y").c_str(), 1, 6, 0, nullptr), S_FALSE);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "pkg" / "missing.txt").c_str(), 1, 6, 0, nullptr), VO_E_NOFILE);
    EXPECT_EQ(progress.errors, 2);  // each failure is reported once
    ASSERT_EQ(a.Close(), S_OK);
    entries = ReadByHand(ReadBytes(s / "f.ach"));
    EXPECT_TRUE(entries.count("data\\docs\\a.txt"));
}

// While one rewrite runs, a second one on the same archive is refused at
// once and loses nothing; the first one's change lands whole.
TEST(ArchiveWrite, ASecondRewriteIsRefusedWhileOneRuns)
{
    ScratchFolder s;
    WriteBytes(s / "one.txt", TextBytes("one"));
    WriteBytes(s / "two.txt", TextBytes("two"));
    ASSERT_EQ(Create(s / "a.ach", {s / "one.txt"}, 1), S_OK);
    CArchive2 first;
    ASSERT_EQ(first.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_APPEND, nullptr), S_OK);
    ASSERT_EQ(first.AddEntryToArchive(ToVo(s / "two.txt").c_str(), 1, 6, 0, nullptr), S_OK);
    for (uint32_t mode : {ARC_OPEN_APPEND, ARC_OPEN_DELETE, ARC_OPEN_VOLUMES}) {
        CArchive2 second;
        HRESULT hr = second.Open(ToVo(s / "a.ach").c_str(), mode, nullptr);
#ifndef _WIN32
        EXPECT_EQ(hr, VO_E_SHARING) << mode;
#endif
        EXPECT_TRUE(FAILED(hr)) << mode;  // on Windows the share modes refuse it
        second.Close();
    }
    EXPECT_TRUE(FAILED(CArchive2().Annotate(ToVo(s / "a.ach").c_str(), VOTEXT("note"))));
    // Readers still see the archive as it was.
    CArchive2 reader;
    ASSERT_EQ(reader.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    EXPECT_EQ(reader.GetArchiveCount(), 1);
    reader.Close();
    ASSERT_EQ(first.Close(), S_OK);
    std::map<std::string, Bytes> entries = ReadByHand(ReadBytes(s / "a.ach"));
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries["two.txt"], TextBytes("two"));
}

TEST(ArchiveWrite, AppendKeepsReplacesAndCarriesOldEntries)
{
    ScratchFolder s;
    WriteBytes(s / "one.txt", TextBytes("one"));
    WriteBytes(s / "two.txt", TextBytes("two"));
    ASSERT_EQ(Create(s / "a.ach", {s / "one.txt", s / "two.txt"}, 1), S_OK);
    Bytes original = ReadBytes(s / "a.ach");

    // Nothing added: the archive is untouched and Close says so.
    CArchive2 a;
    ASSERT_EQ(a.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_APPEND, nullptr), S_OK);
    EXPECT_EQ(a.Close(), S_FALSE);
    EXPECT_EQ(ReadBytes(s / "a.ach"), original);
    EXPECT_FALSE(fs::exists(s / "~a.ach"));

    // An existing name answered "no": the old entry stays.
    WriteBytes(s / "two.txt", TextBytes("TWO, new"));
    WriteBytes(s / "three.txt", TextBytes("three"));
    AnsweringProgress keep;
    keep.answers = {ARC_ANSWER_NO};
    ASSERT_EQ(a.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_APPEND, &keep), S_OK);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "two.txt").c_str(), 1, 6, 0, nullptr), S_OK);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "three.txt").c_str(), 0, 0, 0, nullptr), S_OK);
    ASSERT_EQ(a.Close(), S_OK);
    EXPECT_EQ(keep.asked, 1);
    std::map<std::string, Bytes> entries = ReadByHand(ReadBytes(s / "a.ach"));
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries["two.txt"], TextBytes("two"));
    EXPECT_EQ(entries["three.txt"], TextBytes("three"));

    // With the replace flag the new entry wins and the old one is dropped.
    ASSERT_EQ(a.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_APPEND, &keep), S_OK);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "two.txt").c_str(), 1, 6, ARC_ADD_REPLACE, nullptr), S_OK);
    ASSERT_EQ(a.Close(), S_OK);
    entries = ReadByHand(ReadBytes(s / "a.ach"));
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries["two.txt"], TextBytes("TWO, new"));
    EXPECT_EQ(entries["one.txt"], TextBytes("one"));
}

// Many small entries and a large one: append and delete carry them through
// the engine's output buffer and around it, and find names in any case.
TEST(ArchiveWrite, AppendAndDeleteCarryManyEntriesWhole)
{
    ScratchFolder s;
    std::map<std::string, Bytes> expected;
    for (int i = 0; i < 300; ++i) {
        std::string name = "f" + std::to_string(1000 + i) + ".txt";
        expected[name] = TextBytes(std::string(100 + i * 7, (char)('a' + i % 26)));
        WriteBytes(s / "src" / name, expected[name]);
    }
    Bytes large(400000);
    for (size_t i = 0; i < large.size(); ++i) large[i] = (uint8_t)(i * 2654435761u >> 13);
    expected["large.bin"] = large;
    WriteBytes(s / "src" / "large.bin", large);
    ASSERT_EQ(Create(s / "a.ach", {s / "src" / "*.*"}, 0), S_OK);

    WriteBytes(s / "F1150.TXT", TextBytes("replaced"));
    WriteBytes(s / "g.txt", TextBytes("added"));
    CArchive2 a;
    ASSERT_EQ(a.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_APPEND, nullptr), S_OK);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "F1150.TXT").c_str(), 1, 6, ARC_ADD_REPLACE, nullptr), S_OK);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "g.txt").c_str(), 1, 6, 0, nullptr), S_OK);
    ASSERT_EQ(a.Close(), S_OK);
    expected.erase("f1150.txt");
    expected["F1150.TXT"] = TextBytes("replaced");
    expected["g.txt"] = TextBytes("added");
    EXPECT_TRUE(ReadByHand(ReadBytes(s / "a.ach")) == expected);

    ASSERT_EQ(a.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_DELETE, nullptr), S_OK);
    EXPECT_EQ(a.DeleteEntryFromArchive(ToVo("f1007.TXT").c_str(), 0), S_OK);
    ASSERT_EQ(a.Close(), S_OK);
    expected.erase("f1007.txt");
    EXPECT_TRUE(ReadByHand(ReadBytes(s / "a.ach")) == expected);
}

TEST(ArchiveWrite, DeleteFirstMiddleLastAndAll)
{
    ScratchFolder s;
    std::vector<fs::path> files;
    for (const char *n : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
        WriteBytes(s / n, TextBytes(std::string(1000, n[0])));
        files.push_back(s / n);
    }
    ASSERT_EQ(Create(s / "d.ach", files, 1), S_OK);
    auto remove = [&](std::vector<const char *> patterns) {
        CArchive2 a;
        EXPECT_EQ(a.Open(ToVo(s / "d.ach").c_str(), ARC_OPEN_DELETE, nullptr), S_OK);
        for (const char *p : patterns) EXPECT_EQ(a.DeleteEntryFromArchive(ToVo(p).c_str(), 0), S_OK);
        return a.Close();
    };
    EXPECT_EQ(remove({"a.txt"}), S_OK);
    std::map<std::string, Bytes> entries = ReadByHand(ReadBytes(s / "d.ach"));
    EXPECT_EQ(entries.size(), 3u);
    EXPECT_FALSE(entries.count("a.txt"));
    EXPECT_EQ(remove({"c.txt", "d.txt"}), S_OK);
    entries = ReadByHand(ReadBytes(s / "d.ach"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries["b.txt"], TextBytes(std::string(1000, 'b')));
    EXPECT_EQ(remove({"*.*"}), S_OK);
    EXPECT_EQ(ReadBytes(s / "d.ach").size(), 56u);

    // Marks dropped before Close: nothing deleted, Close returns 1.
    ASSERT_EQ(Create(s / "d.ach", files, 1), S_OK);
    Bytes before = ReadBytes(s / "d.ach");
    CArchive2 a;
    ASSERT_EQ(a.Open(ToVo(s / "d.ach").c_str(), ARC_OPEN_DELETE, nullptr), S_OK);
    a.DeleteEntryFromArchive(ToVo("b.txt").c_str(), 0);
    a.DeleteEntryFromArchive(ToVo("b.txt").c_str(), 0);
    EXPECT_EQ(a.IsDeleteRequested(), 1);
    EXPECT_EQ(a.GetEntryDeleteStatus(1), 1);
    a.AbortDeletionProcess();
    EXPECT_EQ(a.IsDeleteRequested(), 0);
    EXPECT_EQ(a.Close(), S_FALSE);
    EXPECT_EQ(ReadBytes(s / "d.ach"), before);
}

TEST(ArchiveWrite, AnnotateLongerAndShorter)
{
    ScratchFolder s;
    WriteBytes(s / "one.txt", TextBytes("one"));
    ASSERT_EQ(Create(s / "c.ach", {s / "one.txt"}, 1), S_OK);
    for (const char *comment : {"a rather longer comment than before", "short"}) {
        CArchive2 a;
        ASSERT_EQ(a.Annotate(ToVo(s / "c.ach").c_str(), ToVo(comment).c_str()), S_OK);
        ASSERT_EQ(a.Open(ToVo(s / "c.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
        VOCHAR text[64];
        ASSERT_EQ(a.GetVolumeComment(text, 64), S_OK);
        EXPECT_EQ(Narrow(text), comment);
        EXPECT_EQ(a.GetArchiveCount(), 1);
        a.Close();
    }
}

TEST(ArchiveWrite, FailedAppendLeavesTheArchiveIntact)
{
    ScratchFolder s;
    WriteBytes(s / "one.txt", TextBytes("one"));
    ASSERT_EQ(Create(s / "a.ach", {s / "one.txt"}, 1), S_OK);
    Bytes original = ReadBytes(s / "a.ach");
    // A cancel during the add: the entry is not recorded; the rest goes on.
    class Cancelling : public CVoArchiveProgress {
    public:
        int OnStatus(uint32_t status) override
        {
            if (status == ARC_STAT_ADD) SetAnswer(VO_E_CANCEL);
            return 0;
        }
    } cancel;
    WriteBytes(s / "big.bin", Bytes(3 * ARC_CHUNK_SIZE, 7));
    CArchive2 a;
    ASSERT_EQ(a.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_APPEND, &cancel), S_OK);
    EXPECT_EQ(a.AddEntryToArchive(ToVo(s / "big.bin").c_str(), 0, 0, 0, nullptr), VO_E_CANCEL);
    EXPECT_EQ(a.Close(), S_FALSE);
    EXPECT_EQ(ReadBytes(s / "a.ach"), original);
}
