// Reading archives: opening, the catalogue, extraction, validation, volumes,
// questions, cancel and pause, and damaged or hostile archives.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <functional>
#include <thread>

#include "archive/archive.h"
#include "archive_builder.h"
#include "format/format.h"
#include "scratch.h"

namespace {

class RecordingProgress : public CVoArchiveProgress {
public:
    struct Error {
        uint32_t code;
        std::string text;
    };
    std::vector<Error> errors;
    std::vector<uint32_t> statuses;
    std::deque<HRESULT> answers;  // given to the questions in turn
    std::function<void()> onChunk;

    int OnError(uint32_t code) override
    {
        errors.push_back({code, Narrow(GetText())});
        return 0;
    }
    int OnStatus(uint32_t status) override
    {
        statuses.push_back(status);
        if ((status == ARC_STAT_ASK || status == ARC_STAT_ASKREADONLY) && !answers.empty()) {
            SetAnswer(answers.front());
            answers.pop_front();
        }
        return 0;
    }
    int OnProgress(uint32_t low, uint32_t high) override
    {
        CVoArchiveProgress::OnProgress(low, high);
        if (onChunk) onChunk();
        return 0;
    }
    int Count(uint32_t status) const
    {
        int n = 0;
        for (uint32_t s : statuses) n += s == status;
        return n;
    }
    bool HasError(uint32_t code) const
    {
        for (const Error &e : errors)
            if (e.code == code) return true;
        return false;
    }
};

Bytes Pattern(size_t size, uint32_t seed)
{
    Bytes b(size);
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        b[i] = (uint8_t)(seed >> 16);
    }
    return b;
}

TestEntry Entry(const char16_t *name, const Bytes &data, uint32_t method)
{
    TestEntry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

TestArchive Sample()
{
    TestArchive a;
    a.entries.push_back(Entry(u"docs\\", {}, 0));
    a.entries.push_back(Entry(u"docs\\readme.txt", TextBytes("read me, please\n"), 0));
    a.entries.push_back(Entry(u"bin\\tool.dat", Pattern(700000, 7), 1));
    a.entries.push_back(Entry(u"empty.txt", {}, 1));
    a.entries.push_back(Entry(u"notes.TXT", TextBytes(std::string(5000, 'n')), 1));
    a.comment = u"a comment";
    return a;
}

VoString Dest(const ScratchFolder &s, const char *name = "out")
{
    fs::create_directories(s / name);
    return ToVo(s / name);
}

}  // namespace

TEST(ArchiveOpen, RefusesWhatIsNoArchive)
{
    ScratchFolder s;
    CArchive2 archive;
    EXPECT_EQ(archive.GetArchiveCount(), -1);
    RecordingProgress progress;
    EXPECT_EQ(archive.Open(ToVo(s / "missing.ach").c_str(), ARC_OPEN_READ, &progress), VO_E_NOFILE);
    WriteBytes(s / "short.ach", Bytes(55, 0x55));
    EXPECT_EQ(archive.Open(ToVo(s / "short.ach").c_str(), ARC_OPEN_READ, &progress), VO_E_BADSIGNATURE);
    WriteBytes(s / "plain.txt", Bytes(40000, 'x'));
    EXPECT_EQ(archive.Open(ToVo(s / "plain.txt").c_str(), ARC_OPEN_READ, &progress), VO_E_BADSIGNATURE);
    EXPECT_TRUE(progress.HasError(ARC_ERR_SIGNATURE));
    EXPECT_EQ(archive.Open(ToVo(s / "x").c_str(), 9, &progress), E_NOTIMPL);
}

TEST(ArchiveOpen, EmptyArchiveIsTheEndRecordAlone)
{
    ScratchFolder s;
    TestArchive a;
    Bytes bytes = a.Build();
    ASSERT_EQ(bytes.size(), 56u);
    WriteBytes(s / "empty.ach", bytes);
    CArchive2 archive;
    ASSERT_EQ(archive.Open(ToVo(s / "empty.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    EXPECT_EQ(archive.GetArchiveCount(), 0);
    VOCHAR name[8] = {'x', 0};
    EXPECT_EQ(archive.GetEntryName(0, name, 8), 0);
    EXPECT_EQ(name[0], 0);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
}

TEST(ArchiveCatalogue, QueriesByIndexAndByName)
{
    ScratchFolder s;
    TestArchive a = Sample();
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    ASSERT_EQ(archive.GetArchiveCount(), 5);
    VOCHAR name[ARC_TEXT_UNITS];
    EXPECT_EQ(archive.GetEntryName(1, name, ARC_TEXT_UNITS), 1);
    EXPECT_EQ(Narrow(name), "docs\\readme.txt");
    EXPECT_EQ(archive.GetEntryName(1, name, 5), 1);
    EXPECT_EQ(Narrow(name), "docs");
    EXPECT_EQ(archive.GetEntryName(5, name, ARC_TEXT_UNITS), 0);
    EXPECT_EQ(name[0], 0);
    EXPECT_EQ(archive.GetEntryName(-1, name, ARC_TEXT_UNITS), 0);

    uint64_t size = 0;
    EXPECT_EQ(archive.GetEntryUncompressedSize(2, &size), 1);
    EXPECT_EQ(size, 700000u);
    int method = -1, attributes = 0, crc = 0;
    EXPECT_EQ(archive.GetEntryCompressionType(2, &method), 1);
    EXPECT_EQ(method, 1);
    EXPECT_EQ(archive.GetEntryFileAttributes(0, &attributes), 1);
    EXPECT_EQ(attributes & 0x10, 0x10);
    EXPECT_EQ(archive.GetEntryCRC32(1, &crc), 1);
    EXPECT_EQ((uint32_t)crc, Crc32(TextBytes("read me, please\n")));

    // By name: 0 when found (case-insensitive), 1 and untouched when not.
    size = 99;
    EXPECT_EQ(archive.GetEntryUncompressedSize(ToVo("DOCS\\README.TXT").c_str(), &size), 0);
    EXPECT_EQ(size, 16u);
    size = 99;
    EXPECT_EQ(archive.GetEntryUncompressedSize(ToVo("nothing").c_str(), &size), 1);
    EXPECT_EQ(size, 99u);
    EXPECT_EQ(archive.IsEntryInArchive(ToVo("Empty.txt").c_str()), 1);
    EXPECT_EQ(archive.IsEntryInArchive(ToVo("readme.txt").c_str()), 0);

    VOCHAR comment[32];
    EXPECT_EQ(archive.GetVolumeComment(comment, 32), S_OK);
    EXPECT_EQ(Narrow(comment), "a comment");
    EXPECT_EQ(archive.GetVolumeComment(comment, 9), VO_E_SMALLBUFFER);
    EXPECT_EQ(archive.GetArchiveSEAStatus(), 0);
    EXPECT_EQ(archive.GetMultiVolumeStatus(), 1);
    uint64_t total = 0;
    EXPECT_EQ(archive.GetSizeExtractAll(&total), S_OK);
    EXPECT_EQ(total, 16u + 700000u + 5000u);
    archive.Close();
    EXPECT_EQ(archive.GetArchiveCount(), -1);
    EXPECT_EQ(archive.GetEntryUncompressedSize(ToVo("empty.txt").c_str(), &size), E_FAIL);
}

TEST(ArchiveExtract, ReproducesFilesFoldersTimesAndAttributes)
{
    ScratchFolder s;
    TestArchive a = Sample();
    a.entries[1].attributes = 0x21;  // read-only
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    VoString dest = Dest(s);
    ASSERT_EQ(archive.ExtractAll(dest.c_str(), 0), S_OK);
    EXPECT_TRUE(progress.errors.empty());
    EXPECT_TRUE(fs::is_directory(s / "out" / "docs"));
    EXPECT_EQ(ReadBytes(s / "out" / "docs" / "readme.txt"), TextBytes("read me, please\n"));
    EXPECT_EQ(ReadBytes(s / "out" / "bin" / "tool.dat"), Pattern(700000, 7));
    EXPECT_TRUE(fs::exists(s / "out" / "empty.txt"));
    EXPECT_EQ(fs::file_size(s / "out" / "empty.txt"), 0u);
    EXPECT_EQ(ReadBytes(s / "out" / "notes.TXT"), TextBytes(std::string(5000, 'n')));
    // Read-only came back, and the time stamp of the entry.
    EXPECT_EQ(VoPathGetAttributes(ToVo(s / "out" / "docs" / "readme.txt").c_str()) & VO_ATTR_READONLY, VO_ATTR_READONLY);
    HVOFILE f = VoFileOpen(ToVo(s / "out" / "bin" / "tool.dat").c_str(), VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING);
    ASSERT_NE(f, nullptr);
    VOFILETIME written = 0;
    VoFileGetTimes(f, nullptr, nullptr, &written);
    VoFileClose(f);
    EXPECT_EQ(written / 10000000, a.entries[2].fileTime / 10000000);
    EXPECT_EQ(progress.GetDone(), 16u + 700000u + 5000u);
    EXPECT_EQ(progress.Count(ARC_STAT_ITEMDONE), 4);
    EXPECT_EQ(progress.statuses.back(), ARC_STAT_DONE);
}

TEST(ArchiveExtract, SelfExtractingArchiveWithSignatureInsideTheStub)
{
    ScratchFolder s;
    TestArchive a = Sample();
    a.stub = Pattern(30000, 3);
    Bytes signature = {0x55, 0x4D, 0x05, 0x0C};
    std::copy(signature.begin(), signature.end(), a.stub.begin() + 29000);
    WriteBytes(s / "pkg.exe", a.Build());
    CArchive2 archive;
    ASSERT_EQ(archive.Open(ToVo(s / "pkg.exe").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    EXPECT_EQ(archive.GetArchiveSEAStatus(), 1);
    EXPECT_EQ(archive.GetEndRecord().startOffset, 30000u);
    ASSERT_EQ(archive.ExtractEntry(ToVo("tool.dat").c_str(), Dest(s).c_str(), 0), S_OK);
    EXPECT_EQ(ReadBytes(s / "out" / "bin" / "tool.dat"), Pattern(700000, 7));
}

TEST(ArchivePatterns, KindsAndMatches)
{
    CArchive2 archive;
    ArcPattern p;
    ASSERT_EQ(archive.CheckForWildcards(ToVo("*.TXT").c_str(), &p), S_OK);
    EXPECT_EQ(p.kind, 1);
    EXPECT_TRUE(CArchive2::MatchEntryName(&p, ToVo("docs\\readme.txt").c_str()));
    EXPECT_FALSE(CArchive2::MatchEntryName(&p, ToVo(".txt").c_str()));
    ASSERT_EQ(archive.CheckForWildcards(ToVo("read*").c_str(), &p), S_OK);
    EXPECT_EQ(p.kind, 3);
    EXPECT_TRUE(CArchive2::MatchEntryName(&p, ToVo("docs\\readme.txt").c_str()));
    ASSERT_EQ(archive.CheckForWildcards(ToVo("r*e.txt").c_str(), &p), S_OK);
    EXPECT_EQ(p.kind, 0);
    EXPECT_FALSE(CArchive2::MatchEntryName(&p, ToVo("readme.txt").c_str()));
    EXPECT_TRUE(CArchive2::MatchEntryName(&p, ToVo("x\\R*E.TXT").c_str()));
    ASSERT_EQ(archive.CheckForWildcards(ToVo("*.*").c_str(), &p), S_OK);
    EXPECT_EQ(p.kind, 2);
    EXPECT_EQ(archive.CheckForWildcards(ToVo("*").c_str(), &p), VO_E_SMALLBUFFER);
    EXPECT_EQ(archive.CheckForWildcards(ToVo("a").c_str(), &p), VO_E_SMALLBUFFER);
    EXPECT_EQ(archive.CheckForWildcards(ToVo("").c_str(), &p), VO_E_SMALLBUFFER);
}

TEST(ArchiveExtract, ByPatternByIndexAndWithoutPaths)
{
    ScratchFolder s;
    WriteBytes(s / "a.ach", Sample().Build());
    CArchive2 archive;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    VoString dest = Dest(s);
    EXPECT_EQ(archive.ExtractEntry(ToVo("*.txt").c_str(), dest.c_str(), ARC_EXTRACT_NOPATHS), S_OK);
    EXPECT_TRUE(fs::exists(s / "out" / "readme.txt"));
    EXPECT_TRUE(fs::exists(s / "out" / "notes.TXT"));
    EXPECT_FALSE(fs::exists(s / "out" / "docs"));
    EXPECT_EQ(archive.ExtractEntry(ToVo("nothing.bin").c_str(), dest.c_str(), 0), S_FALSE);
    int count = 2;
    VoString dest2 = Dest(s, "two");
    EXPECT_EQ(archive.ExtractEntry(1, &count, dest2.c_str(), 0), S_FALSE);
    EXPECT_TRUE(fs::exists(s / "two" / "docs" / "readme.txt"));
    EXPECT_TRUE(fs::exists(s / "two" / "bin" / "tool.dat"));
    EXPECT_FALSE(fs::exists(s / "two" / "empty.txt"));
    uint64_t size = 0;
    EXPECT_EQ(archive.GetSizeExtractEntry(3, &count, &size, 0), S_OK);
    EXPECT_EQ(size, 5000u);
    EXPECT_EQ(archive.GetSizeExtractEntry(7, &count, &size, 0), S_FALSE);
    // A run as long as an int allows ends with the directory.
    int most = INT32_MAX;
    EXPECT_EQ(archive.GetSizeExtractEntry(3, &most, &size, 0), S_OK);
    EXPECT_EQ(size, 5000u);
    EXPECT_EQ(archive.ExtractEntry(1, &most, Dest(s, "most").c_str(), 0), S_FALSE);
    EXPECT_TRUE(fs::exists(s / "most" / "notes.TXT"));
    EXPECT_EQ(archive.IsSpaceForExtractEntry(1, &most, Dest(s, "most").c_str(), 0), S_OK);
}

TEST(ArchiveExtract, DestinationMustBeAnExistingFolder)
{
    ScratchFolder s;
    WriteBytes(s / "a.ach", Sample().Build());
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    VoString missing = ToVo(s / "no" / "such");
    EXPECT_EQ(archive.IsSpaceForExtractAll(missing.c_str(), 0), VO_E_NOTFOUND);
    EXPECT_EQ(archive.ExtractAll(missing.c_str(), 0), VO_E_DISKFULL);
    EXPECT_EQ(archive.IsSpaceForExtractEntry(ToVo("*.*").c_str(), missing.c_str(), 0), E_INVALIDARG);
    EXPECT_EQ(archive.IsSpaceForExtractAll(Dest(s).c_str(), 0), S_OK);
}

TEST(ArchiveQuestions, AnswersForOneAndForAll)
{
    ScratchFolder s;
    TestArchive a;
    for (const char16_t *n : {u"a.txt", u"b.txt", u"c.txt", u"d.txt"})
        a.entries.push_back(Entry(n, TextBytes("new"), 0));
    WriteBytes(s / "a.ach", a.Build());
    for (const char *n : {"a.txt", "b.txt", "c.txt", "d.txt"}) WriteBytes(s / "out" / n, TextBytes("old"));
    CArchive2 archive;
    RecordingProgress progress;
    progress.answers = {ARC_ANSWER_NO, ARC_ANSWER_YES, ARC_ANSWER_NOALL};
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    ASSERT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), S_OK);
    EXPECT_EQ(ReadBytes(s / "out" / "a.txt"), TextBytes("old"));
    EXPECT_EQ(ReadBytes(s / "out" / "b.txt"), TextBytes("new"));
    EXPECT_EQ(ReadBytes(s / "out" / "c.txt"), TextBytes("old"));
    EXPECT_EQ(ReadBytes(s / "out" / "d.txt"), TextBytes("old"));
    EXPECT_EQ(progress.Count(ARC_STAT_ASK), 3);  // no question after "no to all"
    EXPECT_EQ(progress.Count(ARC_STAT_SKIP), 3);
    // The answer for all holds until the archive is closed.
    ASSERT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), S_OK);
    EXPECT_EQ(progress.Count(ARC_STAT_ASK), 3);
    archive.Close();

    // Yes to all, and a read-only file asked about with its own question.
    fs::permissions(s / "out" / "d.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
#ifdef _WIN32
    SetFileAttributesW((s / "out" / "d.txt").wstring().c_str(), FILE_ATTRIBUTE_READONLY);
#endif
    RecordingProgress progress2;
    progress2.answers = {ARC_ANSWER_YESALL, ARC_ANSWER_YES};
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress2), S_OK);
    ASSERT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), S_OK);
    for (const char *n : {"a.txt", "b.txt", "c.txt", "d.txt"}) EXPECT_EQ(ReadBytes(s / "out" / n), TextBytes("new")) << n;
    EXPECT_EQ(progress2.Count(ARC_STAT_ASK), 1);
    EXPECT_EQ(progress2.Count(ARC_STAT_ASKREADONLY), 1);
}

TEST(ArchiveQuestions, CancelAnswerStopsTheRun)
{
    ScratchFolder s;
    TestArchive a;
    a.entries.push_back(Entry(u"a.txt", TextBytes("new"), 0));
    a.entries.push_back(Entry(u"b.txt", TextBytes("new"), 0));
    WriteBytes(s / "a.ach", a.Build());
    WriteBytes(s / "out" / "a.txt", TextBytes("old"));
    CArchive2 archive;
    RecordingProgress progress;
    progress.answers = {VO_E_CANCEL};
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), VO_E_CANCEL);
    EXPECT_FALSE(fs::exists(s / "out" / "b.txt"));
    // The same by name and by index.
    progress.answers = {VO_E_CANCEL};
    EXPECT_EQ(archive.ExtractEntry(VOTEXT("*.*"), Dest(s).c_str(), 0), VO_E_CANCEL);
    EXPECT_FALSE(fs::exists(s / "out" / "b.txt"));
    progress.answers = {VO_E_CANCEL};
    int two = 2;
    EXPECT_EQ(archive.ExtractEntry(0, &two, Dest(s).c_str(), 0), VO_E_CANCEL);
    EXPECT_FALSE(fs::exists(s / "out" / "b.txt"));
}

TEST(ArchiveVolumes, EntryCrossingIntoVolumeTwoAndMissingVolumeThree)
{
    ScratchFolder s;
    TestArchive a;
    a.entries.push_back(Entry(u"first.bin", Pattern(100000, 1), 0));
    a.entries.push_back(Entry(u"second.bin", Pattern(300000, 2), 1));
    a.baseName = u"pkg.ach";
    std::vector<Bytes> files = a.BuildSplit(60000, 200000);
    ASSERT_GE(files.size(), 3u);
    WriteBytes(s / "pkg.ach", files[0]);
    for (size_t i = 1; i < files.size(); ++i) WriteBytes(s / ("pkg" + std::to_string(i + 1) + ".ach"), files[i]);

    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(ToVo(s / "pkg.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_EQ(archive.GetMultiVolumeStatus(), (int)files.size());
    EXPECT_EQ(archive.ValidateMultiVolume(), S_OK);
    int64_t total = 0;
    for (const Bytes &f : files) total += (int64_t)f.size();
    EXPECT_EQ(archive.GetArchiveSize(), total);
    ASSERT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), S_OK);
    EXPECT_EQ(ReadBytes(s / "out" / "first.bin"), Pattern(100000, 1));
    EXPECT_EQ(ReadBytes(s / "out" / "second.bin"), Pattern(300000, 2));
    EXPECT_EQ(archive.ValidateEntry(ToVo("*.*").c_str()), S_FALSE);
    archive.Close();

    fs::remove(s / "pkg3.ach");
    ASSERT_EQ(archive.Open(ToVo(s / "pkg.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_EQ(archive.ValidateMultiVolume(), VO_E_NOTFOUND);
    ASSERT_FALSE(progress.errors.empty());
    EXPECT_EQ(progress.errors.back().code, ARC_ERR_VOLUME);
    EXPECT_NE(progress.errors.back().text.find("pkg3.ach"), std::string::npos);
    EXPECT_EQ(archive.GetArchiveSize(), (int64_t)(files[0].size() + files[1].size()));
    EXPECT_EQ(archive.ExtractAll(Dest(s, "again").c_str(), 0), VO_E_BADDATA);
}

TEST(ArchiveProgress, CancelFromAnotherThreadEndsAfterTheCurrentChunk)
{
    ScratchFolder s;
    TestArchive a;
    a.entries.push_back(Entry(u"big.bin", Pattern(8 * ARC_CHUNK_SIZE, 5), 0));
    a.entries.push_back(Entry(u"after.bin", Pattern(10, 6), 0));
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    RecordingProgress progress;
    std::atomic<int> chunks{0};
    std::thread canceller;
    progress.onChunk = [&] {
        if (++chunks == 2) canceller = std::thread([&] { progress.SetAnswer(VO_E_CANCEL); });
        if (canceller.joinable()) canceller.join();
    };
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), VO_E_CANCEL);
    EXPECT_LT(progress.GetDone(), (uint64_t)8 * ARC_CHUNK_SIZE);
    EXPECT_FALSE(fs::exists(s / "out" / "after.bin"));
}

TEST(ArchiveProgress, PauseWaitsForTheAnswerFromAnotherThread)
{
    CVoArchiveProgress progress;
    progress.SetAnswer(VO_E_PAUSE);
    std::thread answerer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        progress.SetAnswer(ARC_ANSWER_NOALL);
    });
    EXPECT_EQ(progress.GetAnswer(), ARC_ANSWER_NOALL);
    EXPECT_EQ(progress.GetAnswer(), 0);
    answerer.join();
    // A stale release from an answer taken without waiting does not end a
    // later pause early.
    progress.SetAnswer(ARC_ANSWER_YES);
    EXPECT_EQ(progress.GetAnswer(), ARC_ANSWER_YES);
    progress.SetAnswer(VO_E_PAUSE);
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        progress.SetAnswer(VO_E_CANCEL);
    });
    EXPECT_EQ(progress.GetAnswer(), VO_E_CANCEL);
    late.join();
}

TEST(ArchiveProgress, DefaultsAndCutText)
{
    CVoArchiveProgress progress;
    progress.OnProgress(500, 0);
    progress.Begin(VOTEXT("x"), 1000, 0);
    EXPECT_EQ(progress.GetDone(), 500u);
    progress.Begin(VOTEXT("x"), 100, 0);
    EXPECT_EQ(progress.GetDone(), 100u);
    progress.Begin(VOTEXT("x"), 0, 1);
    EXPECT_EQ(progress.GetTotal(), 1ull << 32);
    VoString longText(300, 'p');
    progress.SetText(longText.c_str());
    EXPECT_EQ(VoStrLen(progress.GetText()), 259u);
}

TEST(ArchiveHardening, UnsafeNamesAreRefusedAndTheRestExtracts)
{
    ScratchFolder s;
    TestArchive a;
    a.entries.push_back(Entry(u"..\\escape.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"sub\\..\\..\\escape2.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"\\rooted.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"/rooted2.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"C:\\drive.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"\\\\server\\share\\unc.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"stream.txt:hidden", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"dev\\nul.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"COM1", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"..\\up\\", {}, 0));
    a.entries.push_back(Entry(u"good\\kept.txt", TextBytes("kept"), 0));
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), VO_E_BADDATA);
    EXPECT_EQ(ReadBytes(s / "out" / "good" / "kept.txt"), TextBytes("kept"));
    EXPECT_EQ(progress.errors.size(), 10u);
    EXPECT_NE(progress.errors[0].text.find("..\\escape.txt"), std::string::npos);
    size_t inside = 0;
    for (auto &e : fs::recursive_directory_iterator(s.Path())) inside += e.is_regular_file();
    EXPECT_EQ(inside, 2u);  // the archive and the one good file
}

TEST(ArchiveHardening, DamagedDataEndsWithAnErrorNotALoop)
{
    ScratchFolder s;
    // A stored entry that claims more data than the archive holds.
    TestArchive a;
    TestEntry e = Entry(u"short.bin", Pattern(1000, 1), 0);
    e.declaredSize = 5000000;
    a.entries.push_back(e);
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), VO_E_READ);
    EXPECT_TRUE(progress.HasError(ARC_ERR_READ));
    archive.Close();

    // A deflate stream that inflates to more than the entry declares.
    TestArchive b;
    TestEntry bomb = Entry(u"bomb.bin", Bytes(2000000, 0), 1);
    bomb.declaredSize = 1000;
    b.entries.push_back(bomb);
    WriteBytes(s / "b.ach", b.Build());
    RecordingProgress progress2;
    ASSERT_EQ(archive.Open(ToVo(s / "b.ach").c_str(), ARC_OPEN_READ, &progress2), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), VO_E_BADDATA);
    EXPECT_LE(fs::file_size(s / "out" / "bomb.bin"), 1000u);
    archive.Close();

    // A deflate stream cut short.
    TestArchive c;
    TestEntry cut = Entry(u"cut.bin", Pattern(100000, 4), 1);
    cut.storedOverride = RawDeflate(cut.data);
    cut.storedOverride.resize(cut.storedOverride.size() / 2);
    cut.hasStoredOverride = true;
    c.entries.push_back(cut);
    WriteBytes(s / "c.ach", c.Build());
    ASSERT_EQ(archive.Open(ToVo(s / "c.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), VO_E_WRITE);
}

// One inflate state serves every entry of an open archive: what one entry's
// stream leaves (unread bytes after its end, a failure half way) must not
// reach the next entry.
TEST(ArchiveHardening, EachDeflatedEntryStartsAFreshStream)
{
    ScratchFolder s;
    TestArchive a;
    TestEntry tail = Entry(u"tail.bin", Pattern(50000, 5), 1);
    tail.storedOverride = RawDeflate(tail.data);
    tail.storedOverride.insert(tail.storedOverride.end(), {1, 2, 3, 4, 5, 6, 7});
    tail.hasStoredOverride = true;
    TestEntry cut = Entry(u"cut.bin", Pattern(100000, 6), 1);
    cut.storedOverride = RawDeflate(cut.data);
    cut.storedOverride.resize(cut.storedOverride.size() / 2);
    cut.hasStoredOverride = true;
    a.entries = {tail, Entry(u"next.txt", TextBytes(std::string(3000, 'n')), 1), cut,
                 Entry(u"last.txt", TextBytes(std::string(2000, 'l')), 1)};
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    EXPECT_EQ(archive.VerifyEntry(0), S_OK);
    EXPECT_EQ(archive.VerifyEntry(1), S_OK);
    EXPECT_EQ(archive.VerifyEntry(2), VO_E_WRITE);
    EXPECT_EQ(archive.VerifyEntry(3), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), VO_E_WRITE);
    EXPECT_EQ(ReadBytes(s / "out" / "next.txt"), TextBytes(std::string(3000, 'n')));
}

TEST(ArchiveHardening, CrcMismatchIsReportedAfterWriting)
{
    ScratchFolder s;
    TestArchive a;
    TestEntry e = Entry(u"bad.txt", TextBytes("content"), 1);
    e.badContentCrc = true;
    a.entries.push_back(e);
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), VO_E_BADDATA);
    EXPECT_TRUE(progress.HasError(ARC_ERR_CRC));
    EXPECT_EQ(ReadBytes(s / "out" / "bad.txt"), TextBytes("content"));
    // Validation checks the stored bytes, which are intact here.
    EXPECT_EQ(archive.ValidateEntry(0), S_OK);
}

TEST(ArchiveExtract, ExistingFilesAreReplacedNotWrittenInto)
{
    ScratchFolder s;
    TestArchive a;
    a.entries.push_back(Entry(u"hidden.txt", TextBytes("new"), 1));
    TestEntry bad = Entry(u"bad.txt", TextBytes("damaged"), 1);
    bad.badContentCrc = true;
    a.entries.push_back(bad);
    WriteBytes(s / "a.ach", a.Build());
    // A hidden, read-only file (a reinstall meets those) is replaced; an
    // entry that fails leaves the file it would have replaced as it was.
    WriteBytes(s / "out" / "hidden.txt", TextBytes("old"));
    WriteBytes(s / "out" / "bad.txt", TextBytes("old"));
    ASSERT_TRUE(VoPathSetAttributes(ToVo(s / "out" / "hidden.txt").c_str(), VO_ATTR_HIDDEN | VO_ATTR_READONLY));
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), ARC_EXTRACT_OVERWRITE), VO_E_BADDATA);
    EXPECT_EQ(ReadBytes(s / "out" / "hidden.txt"), TextBytes("new"));
    EXPECT_EQ(ReadBytes(s / "out" / "bad.txt"), TextBytes("old"));
    EXPECT_EQ(std::distance(fs::directory_iterator(s / "out"), fs::directory_iterator()), 2);
}

TEST(ArchiveHardening, LengthsBeyondTheFileAreBadRecords)
{
    ScratchFolder s;
    TestArchive a;
    a.entries.push_back(Entry(u"one.txt", TextBytes("1"), 0));
    a.entryCountOverride = 0x7FFFFFFF;  // an absurd count must not be allocated
    Bytes bytes = a.Build();
    // The directory record's name length: make it point far past the file.
    size_t record = 64 + 14 + 1;
    bytes[record + 52] = 0xFF;
    bytes[record + 53] = 0xFF;
    bytes[record + 54] = 0xFF;
    bytes[record + 55] = 0x7F;
    WriteBytes(s / "a.ach", bytes);
    // Not even the first record reads: the archive is refused as damaged
    // (it used to open and extract nothing with success), and the count is
    // never allocated.
    CArchive2 archive;
    EXPECT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, nullptr), VO_E_BADDATA);
    EXPECT_EQ(archive.GetDirectoryWalked(), 0u);
    VOCHAR name[ARC_TEXT_UNITS];
    EXPECT_EQ(archive.GetEntryName(0, name, ARC_TEXT_UNITS), 0);
    EXPECT_TRUE(FAILED(archive.ExtractAll(Dest(s).c_str(), 0)));
}

// The verification an extraction makes without writing: what the stored
// bytes' CRC alone lets pass (the validation keeps doing only that) fails
// it, and extraction agrees.
TEST(ArchiveHardening, VerificationCatchesWhatTheStoredCrcLetsPass)
{
    ScratchFolder s;
    const Bytes text = Pattern(50000, 3);
    const Bytes deflated = RawDeflate(text);
    Bytes zlibWrapped(compressBound((uLong)text.size()));
    uLongf wrappedSize = (uLongf)zlibWrapped.size();
    compress(zlibWrapped.data(), &wrappedSize, text.data(), (uLong)text.size());
    zlibWrapped.resize(wrappedSize);
    struct Case {
        const char *what;
        std::function<void(TestEntry &)> damage;
    } cases[] = {
        {"content CRC", [](TestEntry &e) { e.badContentCrc = true; }},
        {"junk stream", [&](TestEntry &e) { e.storedOverride = Pattern(4000, 9), e.hasStoredOverride = true; }},
        {"zlib-wrapped", [&](TestEntry &e) { e.storedOverride = zlibWrapped, e.hasStoredOverride = true; }},
        {"cut short", [&](TestEntry &e) {
             e.storedOverride = Bytes(deflated.begin(), deflated.begin() + deflated.size() / 2);
             e.hasStoredOverride = true;
         }},
        {"inflates past its size", [&](TestEntry &e) { e.declaredSize = (int64_t)text.size() - 1; }},
        {"ends before its size", [&](TestEntry &e) { e.declaredSize = (int64_t)text.size() + 1; }},
        {"unsafe name", [&](TestEntry &e) { e.name = u"..\\evil.txt"; }},
    };
    for (const Case &c : cases) {
        TestArchive a;
        a.entries.push_back(Entry(u"good.txt", text, 1));
        a.entries.push_back(Entry(u"bad.txt", text, 1));
        c.damage(a.entries[1]);
        WriteBytes(s / "a.ach", a.Build());
        CArchive2 archive;
        ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK) << c.what;
        EXPECT_EQ(archive.VerifyEntry(0), S_OK) << c.what;
        EXPECT_TRUE(FAILED(archive.VerifyEntry(1))) << c.what;
        EXPECT_EQ(archive.ValidateEntry(1), S_OK) << c.what << ": the validation checks the stored bytes only";
        fs::remove_all(s / "out");
        fs::create_directories(s / "out");
        HRESULT extracted = archive.ExtractAll(ToVo(s / "out").c_str(), 0);
        EXPECT_TRUE(FAILED(extracted) || extracted == S_FALSE) << c.what;
        archive.Close();
    }
}

// A directory that does not hold what the end record says is refused by
// every mode that reads it, naming the record where the walk stopped, and
// nothing is written.
TEST(ArchiveHardening, DirectoryThatLiesIsRefusedWhereTheWalkStops)
{
    ScratchFolder s;
    TestArchive a;
    for (const char16_t *name : {u"a.txt", u"b.txt", u"c.txt", u"d.txt"})
        a.entries.push_back(Entry(name, TextBytes("some text"), 0));
    const Bytes intact = a.Build();
    const size_t end = intact.size() - 56, recordSize = 84;
    size_t directory = 0;
    for (int i = 7; i >= 0; --i) directory = directory << 8 | intact[end + 28 + i];
    auto put32 = [](Bytes &b, size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) b[at + i] = (uint8_t)(v >> (8 * i)); };
    auto put64 = [&](Bytes &b, size_t at, uint64_t v) { put32(b, at, (uint32_t)v), put32(b, at + 4, (uint32_t)(v >> 32)); };
    auto count = [&](Bytes &b, uint32_t n) { put32(b, end + 12, n), put32(b, end + 16, n); };
    const size_t second = directory + recordSize + 2 * 5;  // records carry their names
    struct Case {
        const char *what;
        std::function<void(Bytes &)> damage;
        uint32_t walked;
    } cases[] = {
        {"first signature", [&](Bytes &b) { ++b[directory]; }, 0},
        {"count far too high", [&](Bytes &b) { count(b, 0x7FFFFFFF); }, 4},
        {"count with the top bit", [&](Bytes &b) { count(b, 0x80000000u); }, 4},
        {"count too low", [&](Bytes &b) { count(b, 3); }, 3},
        {"directory size 0", [&](Bytes &b) { put64(b, end + 20, 0); }, 4},
        {"directory size 8 GiB", [&](Bytes &b) { put64(b, end + 20, 8ull << 30); }, 4},
        {"directory offset", [&](Bytes &b) { put64(b, end + 28, directory + 2); }, 0},
        {"start offset", [&](Bytes &b) { put64(b, end + 36, 1); }, 0},
        {"name length", [&](Bytes &b) { put32(b, second + 52, 6); }, 2},
    };
    for (const Case &c : cases) {
        Bytes bytes = intact;
        c.damage(bytes);
        WriteBytes(s / "a.ach", bytes);
        for (uint32_t mode : {ARC_OPEN_READ, ARC_OPEN_DELETE, ARC_OPEN_APPEND}) {
            CArchive2 archive;
            EXPECT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), mode, nullptr), VO_E_BADDATA) << c.what;
            EXPECT_EQ(archive.GetDirectoryWalked(), c.walked) << c.what;
            archive.Close();
        }
        EXPECT_EQ(CArchive2().Annotate(ToVo(s / "a.ach").c_str(), VOTEXT("x")), VO_E_BADDATA) << c.what;
        EXPECT_EQ(ReadBytes(s / "a.ach"), bytes) << c.what;
        EXPECT_FALSE(fs::exists(s / "~a.ach")) << c.what;
    }
    WriteBytes(s / "a.ach", intact);
    CArchive2 archive;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    EXPECT_EQ(archive.GetDirectoryWalked(), 4u);
}

#ifndef _WIN32
TEST(ArchiveHardening, SymbolicLinksInTheDestinationAreNotFollowed)
{
    ScratchFolder s;
    fs::create_directories(s / "outside");
    fs::create_directories(s / "out");
    fs::create_directory_symlink(s / "outside", s / "out" / "link");
    fs::create_symlink(s / "outside" / "target.txt", s / "out" / "file.txt");
    // A link below a folder that an earlier entry already went into.
    fs::create_directories(s / "out" / "d");
    fs::create_directory_symlink(s / "outside", s / "out" / "d" / "link");
    TestArchive a;
    a.entries.push_back(Entry(u"link\\planted.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"file.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"d\\first.txt", TextBytes("x"), 0));
    a.entries.push_back(Entry(u"d\\link\\second.txt", TextBytes("x"), 0));
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, &progress), S_OK);
    EXPECT_NE(archive.ExtractAll(ToVo(s / "out").c_str(), ARC_EXTRACT_OVERWRITE), S_OK);
    EXPECT_FALSE(fs::exists(s / "outside" / "planted.txt"));
    EXPECT_FALSE(fs::exists(s / "outside" / "target.txt"));
    EXPECT_TRUE(fs::exists(s / "out" / "d" / "first.txt"));
    EXPECT_FALSE(fs::exists(s / "outside" / "second.txt"));
}
#endif

TEST(ArchiveExtract, EmptyEntryAtTheEndOfTheDataPart)
{
    ScratchFolder s;
    TestArchive a;
    a.entries.push_back(Entry(u"first.txt", TextBytes("data"), 0));
    a.entries.push_back(Entry(u"last-empty.txt", {}, 0));
    WriteBytes(s / "a.ach", a.Build());
    CArchive2 archive;
    ASSERT_EQ(archive.Open(ToVo(s / "a.ach").c_str(), ARC_OPEN_READ, nullptr), S_OK);
    EXPECT_EQ(archive.ExtractAll(Dest(s).c_str(), 0), S_OK);
    EXPECT_TRUE(fs::exists(s / "out" / "last-empty.txt"));
    EXPECT_EQ(archive.ValidateEntry(1), S_OK);
}
