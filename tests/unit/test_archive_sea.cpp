// Self-extracting archives and volumes: making and taking apart
// self-extracting archives, splitting into volumes and merging them, and
// what a failed, refused or cancelled operation leaves on disk.
#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "archive/archive.h"
#include "archive_builder.h"
#include "scratch.h"

namespace {

class RecordingProgress : public CVoArchiveProgress {
public:
    std::vector<std::pair<uint32_t, std::string>> errors;
    int done = 0;
    std::deque<HRESULT> answers;  // given to the questions in turn
    std::function<void()> onChunk;

    int OnError(uint32_t code) override
    {
        errors.push_back({code, Narrow(GetText())});
        return 0;
    }
    int OnStatus(uint32_t status) override
    {
        done += status == ARC_STAT_DONE;
        if (status == ARC_STAT_ASK && !answers.empty()) {
            SetAnswer(answers.front());
            answers.pop_front();
        }
        return 0;
    }
    int OnProgress(uint32_t low, uint32_t high) override
    {
        if (onChunk) onChunk();
        return CVoArchiveProgress::OnProgress(low, high);
    }
    std::string ErrorText(uint32_t code) const  // of the last error with that code
    {
        for (auto e = errors.rbegin(); e != errors.rend(); ++e)
            if (e->first == code) return e->second;
        return "";
    }
};

Bytes Pattern(size_t size, uint32_t seed)
{
    Bytes b(size);
    for (uint8_t &byte : b) byte = (uint8_t)((seed = seed * 1103515245u + 12345u) >> 16);
    return b;
}

// About 1 MB of data part: several volumes, and copies of several chunks.
TestArchive Sample()
{
    TestArchive a;
    const std::pair<const char16_t *, Bytes> files[] = {{u"docs\\", {}},
                                                        {u"docs\\readme.txt", TextBytes("read me\n")},
                                                        {u"data\\one.bin", Pattern(600000, 1)},
                                                        {u"data\\two.bin", Pattern(400000, 2)},
                                                        {u"empty.txt", {}}};
    for (const auto &f : files) {
        TestEntry e;
        e.name = f.first;
        e.data = f.second;
        e.method = e.name == u"data\\two.bin" ? 1 : 0;
        a.entries.push_back(e);
    }
    a.comment = u"volume comment";
    return a;
}

size_t DataLength(const TestArchive &a)
{
    size_t n = 0;
    for (const TestEntry &e : a.entries)
        n += 64 + 2 * e.name.size() + (e.method == 1 ? RawDeflate(e.data) : e.data).size();
    return n;
}

VoString P(const fs::path &path) { return ToVo(path); }

std::string Vol(int n) { return "pkg" + std::to_string(n) + ".ach"; }

ArcEndRecord EndRecordOf(const fs::path &path)
{
    CArchive2 archive;
    EXPECT_EQ(archive.Open(P(path).c_str(), ARC_OPEN_READ, nullptr), S_OK);
    return archive.GetEndRecord();
}

// Extracts everything through the engine and compares each file with its entry.
void ExpectExtractsAs(const fs::path &archivePath, const TestArchive &a, const fs::path &dest)
{
    fs::create_directories(dest);
    CArchive2 archive;
    ASSERT_EQ(archive.Open(P(archivePath).c_str(), ARC_OPEN_READ, nullptr), S_OK);
    ASSERT_EQ(archive.ExtractAll(P(dest).c_str(), 0), S_OK);
    for (const TestEntry &e : a.entries) {
        std::string name(e.name.begin(), e.name.end());
        if (name.back() == '\\') continue;
        for (char &c : name) c = c == '\\' ? '/' : c;
        EXPECT_EQ(ReadBytes(dest / name), e.data) << name;
    }
}

Bytes Slice(const Bytes &b, size_t from, size_t to) { return Bytes(b.begin() + (ptrdiff_t)from, b.begin() + (ptrdiff_t)to); }

}  // namespace

TEST(ArchiveSea, CreateThenSplitBackGivesTheSameArchive)
{
    ScratchFolder s;
    TestArchive a = Sample();
    Bytes plain = a.Build(), stub = Pattern(30000, 3);
    stub[29000] = 0x55, stub[29001] = 0x4D, stub[29002] = 0x05, stub[29003] = 0x0C;  // a false end signature
    WriteBytes(s / "pkg.ach", plain);
    WriteBytes(s / "stub.exe", stub);

    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_SEA, &progress), S_OK);
    ASSERT_EQ(archive.CreateSEA(P(s / "pkg.exe").c_str(), P(s / "stub.exe").c_str(), 0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);

    {
        CArchive2 reader;
        ASSERT_EQ(reader.Open(P(s / "pkg.exe").c_str(), ARC_OPEN_READ, nullptr), S_OK);
        EXPECT_EQ(reader.GetEndRecord().startOffset, stub.size());
        EXPECT_EQ(Narrow(reader.GetBaseName()), Narrow(P(s / "pkg.ach").c_str()));
    }
    ExpectExtractsAs(s / "pkg.exe", a, s / "out");

    // Taken apart: the stub and the very archive it was made from.
    ASSERT_EQ(archive.Open(P(s / "pkg.exe").c_str(), ARC_OPEN_SEA, &progress), S_OK);
    fs::create_directories(s / "apart");
    ASSERT_EQ(archive.SplitSEA(P(s / "apart").c_str(), 0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
    EXPECT_EQ(ReadBytes(s / "apart" / "Seastub.exe"), stub);
    EXPECT_EQ(ReadBytes(s / "apart" / "pkg.ach"), plain);
}

TEST(ArchiveSea, RefusalsLeaveTheInputsAlone)
{
    ScratchFolder s;
    Bytes plain = Sample().Build();
    WriteBytes(s / "pkg.ach", plain);
    WriteBytes(s / "stub.exe", Pattern(5000, 4));
    VoString stub = P(s / "stub.exe"), out = P(s / "x.exe");
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_SEA, &progress), S_OK);
    EXPECT_EQ(archive.SplitSEA(P(s.Path()).c_str(), 0), VO_E_NOTSEA);
    EXPECT_EQ(progress.ErrorText(ARC_ERR_OPEN), "SplitSEA|" + Narrow(P(s / "pkg.ach").c_str()));
    EXPECT_EQ(archive.IsSpaceForCreateSEA(P(s / "no" / "x.exe").c_str(), stub.c_str()), VO_E_NOTFOUND);
    EXPECT_EQ(progress.ErrorText(ARC_ERR_NOFILE), "IsSpaceForSEA|" + Narrow(P(s / "no").c_str()) + (char)VO_PATH_SEPARATOR);
    EXPECT_EQ(archive.CreateSEA(out.c_str(), P(s / "missing.exe").c_str(), 0), VO_E_DISKFULL);
    // An output over an input would destroy it before it is read.
    EXPECT_EQ(archive.CreateSEA(P(s / "pkg.ach").c_str(), stub.c_str(), 0), VO_E_OPENFILE);
    EXPECT_EQ(archive.CreateSEA(stub.c_str(), stub.c_str(), 0), VO_E_OPENFILE);
    EXPECT_EQ(archive.Close(), S_OK);
    EXPECT_EQ(ReadBytes(s / "pkg.ach"), plain);
    EXPECT_EQ(ReadBytes(s / "stub.exe"), Pattern(5000, 4));
    EXPECT_FALSE(fs::exists(s / "x.exe"));
}

TEST(ArchiveSea, ABaseNameCannotLeaveTheDestination)
{
    ScratchFolder s;
    TestArchive a = Sample();
    a.stub = Pattern(3000, 7);
    a.baseName = u"..";
    WriteBytes(s / "pkg.exe", a.Build());
    fs::create_directories(s / "dest");
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(P(s / "pkg.exe").c_str(), ARC_OPEN_SEA, &progress), S_OK);
    EXPECT_EQ(archive.SplitSEA(P(s / "dest").c_str(), ARC_OVERWRITE), VO_E_OPENFILE);
    archive.Close();
    EXPECT_EQ(std::distance(fs::directory_iterator(s.Path()), fs::directory_iterator()), 2);  // pkg.exe and dest
}

TEST(ArchiveSea, SplitAsksBeforeReplacingAndStopsOnCancel)
{
    ScratchFolder s;
    TestArchive a = Sample(), plainA = Sample();
    a.stub = Pattern(4000, 5);
    a.baseName = (s / "orig.ach").u16string();
    WriteBytes(s / "pkg.exe", a.Build());
    fs::path dest = s / "dest";
    WriteBytes(dest / "Seastub.exe", TextBytes("old stub"));
    VoString sea = P(s / "pkg.exe"), destText = P(dest);
    CArchive2 archive;
    RecordingProgress progress;

    progress.answers = {ARC_ANSWER_NO};  // keep the stub: the archive is still written
    ASSERT_EQ(archive.Open(sea.c_str(), ARC_OPEN_SEA, &progress), S_OK);
    EXPECT_EQ(archive.SplitSEA(destText.c_str(), 0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
    EXPECT_EQ(ReadBytes(dest / "Seastub.exe"), TextBytes("old stub"));
    EXPECT_EQ(ReadBytes(dest / "orig.ach"), plainA.Build());

    WriteBytes(dest / "orig.ach", TextBytes("old archive"));
    progress.answers = {VO_E_CANCEL};  // stops before anything is written
    ASSERT_EQ(archive.Open(sea.c_str(), ARC_OPEN_SEA, &progress), S_OK);
    EXPECT_EQ(archive.SplitSEA(destText.c_str(), 0), VO_E_CANCEL);
    archive.Close();
    EXPECT_EQ(ReadBytes(dest / "orig.ach"), TextBytes("old archive"));
}

TEST(ArchiveSea, SplitArchiveTakesItsVolumesAlong)
{
    ScratchFolder s;
    TestArchive a = Sample();
    a.baseName = u"pkg.ach";
    std::vector<Bytes> files = a.BuildSplit(200000, 300000);
    ASSERT_EQ(files.size(), 4u);
    for (size_t i = 0; i < files.size(); ++i) WriteBytes(s / (i ? Vol((int)i + 1) : "pkg.ach"), files[i]);
    WriteBytes(s / "stub.exe", Pattern(3000, 6));
    CArchive2 archive;
    RecordingProgress progress;

    // Made elsewhere, the self-extracting archive gets copies of the volumes;
    // taken apart elsewhere again, it gives the main file as it was.
    fs::create_directories(s / "b");
    fs::create_directories(s / "c");
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_SEA, &progress), S_OK);
    ASSERT_EQ(archive.CreateSEA(P(s / "b" / "pkg.exe").c_str(), P(s / "stub.exe").c_str(), 0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
    for (int n = 2; n <= 4; ++n) EXPECT_EQ(ReadBytes(s / "b" / Vol(n)), files[n - 1]);
    ExpectExtractsAs(s / "b" / "pkg.exe", a, s / "out1");
    ASSERT_EQ(archive.Open(P(s / "b" / "pkg.exe").c_str(), ARC_OPEN_SEA, &progress), S_OK);
    ASSERT_EQ(archive.SplitSEA(P(s / "c").c_str(), 0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
    EXPECT_EQ(ReadBytes(s / "c" / "pkg.ach"), files[0]);
    ExpectExtractsAs(s / "c" / "pkg.ach", a, s / "out2");

    // A volume missing beside the source is reported by Close.
    fs::remove(s / Vol(3));
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_SEA, &progress), S_OK);
    ASSERT_EQ(archive.CreateSEA(P(s / "pkg.exe").c_str(), P(s / "stub.exe").c_str(), 0), S_OK);
    EXPECT_EQ(archive.Close(), VO_E_NOFILE);
    EXPECT_EQ(progress.ErrorText(ARC_ERR_VOLUME), "CopySEAMultiFiles|" + Narrow(P(s / Vol(3)).c_str()));
}

TEST(ArchiveVolumeSplit, SplitsIntoVolumesAndMergesBack)
{
    ScratchFolder s;
    TestArchive a = Sample();
    Bytes plain = a.Build();
    WriteBytes(s / "pkg.ach", plain);
    const size_t volumeSize = 300000, data = DataLength(a);
    const size_t directory = plain.size() - data - 56 - 2 * a.comment.size();
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    uint32_t planned = 0;
    uint64_t minimum = 0;
    ASSERT_EQ(archive.PlanSplit((int64_t)volumeSize, &planned, &minimum), S_OK);
    EXPECT_EQ(archive.SplitArchive((int64_t)(data / 10000), 0), E_INVALIDARG);  // more than 9,999 files
    ASSERT_EQ(archive.SplitArchive((int64_t)volumeSize, 0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);

    // The main file comes to one volume, its new base name "pkg.ach"
    // included; the rest of the data stream follows in full volumes and a
    // remainder.
    const size_t first = volumeSize - 2 * a.comment.size() - 2 * 7 - directory - 56;
    const int last = 1 + (int)((data - first + volumeSize - 1) / volumeSize);
    ArcEndRecord end = EndRecordOf(s / "pkg.ach");
    EXPECT_EQ(end.directoryOffset, first);
    EXPECT_EQ(end.volumeCount, (uint32_t)last);
    EXPECT_EQ(planned, (uint32_t)last);
    EXPECT_EQ(minimum, volumeSize - first + 1);  // the main file holds one data byte
    Bytes main = ReadBytes(s / "pkg.ach");
    EXPECT_EQ(main.size(), volumeSize);
    Bytes stream = Slice(main, 0, first);
    for (int n = 2; n <= last; ++n) {
        Bytes volume = ReadBytes(s / Vol(n));
        EXPECT_EQ(volume.size(), n < last ? volumeSize : data - first - (size_t)(last - 2) * volumeSize) << n;
        stream.insert(stream.end(), volume.begin(), volume.end());
    }
    EXPECT_EQ(stream, Slice(plain, 0, data));
    EXPECT_FALSE(fs::exists(s / Vol(last + 1)));
    ExpectExtractsAs(s / "pkg.ach", a, s / "out");

    // Merged: the original file, byte for byte, and no volumes.
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    ASSERT_EQ(archive.MergeArchive(0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
    EXPECT_EQ(ReadBytes(s / "pkg.ach"), plain);
    for (int n = 2; n <= last; ++n) EXPECT_FALSE(fs::exists(s / Vol(n)));
    EXPECT_FALSE(fs::exists(s / "~pkg.ach"));
}

TEST(ArchiveVolumeSplit, SizeLimitsQuietProgressAndStub)
{
    ScratchFolder s;
    TestArchive a = Sample();
    a.entries.resize(2);  // directory and end record come to more than 100 bytes
    Bytes plain = a.Build();
    WriteBytes(s / "pkg.ach", plain);
    CArchive2 archive;
    RecordingProgress progress;
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    EXPECT_EQ(archive.SplitArchive(0, 0), E_INVALIDARG);
    EXPECT_EQ(archive.SplitArchive((int64_t)DataLength(a) + 1, 0), E_INVALIDARG);
    EXPECT_EQ(archive.MergeArchive(0), E_FAIL);  // a single file
    EXPECT_EQ(archive.Close(), S_FALSE);
    EXPECT_EQ(ReadBytes(s / "pkg.ach"), plain);

    // Volumes smaller than directory and end record: all data goes to them.
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    ASSERT_EQ(archive.SplitArchive(100, ARC_QUIET), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
    const uint32_t volumes = 1 + (uint32_t)((DataLength(a) + 99) / 100);
    EXPECT_EQ(progress.done, (int)volumes - 1);
    EXPECT_EQ(EndRecordOf(s / "pkg.ach").directoryOffset, 0u);
    EXPECT_EQ(EndRecordOf(s / "pkg.ach").volumeCount, volumes);
    ExpectExtractsAs(s / "pkg.ach", a, s / "out");
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    EXPECT_EQ(archive.SplitArchive(1000, 0), E_FAIL);  // not split again
    archive.Close();

    // Behind a stub, volumes are named after the archive the package was
    // made from, and the stub stays in the main file.
    a = Sample();
    a.stub = Pattern(20000, 8);
    a.baseName = (s / "elsewhere" / "orig.ach").u16string();
    WriteBytes(s / "setup.exe", a.Build());
    ASSERT_EQ(archive.Open(P(s / "setup.exe").c_str(), ARC_OPEN_VOLUMES, nullptr), S_OK);
    ASSERT_EQ(archive.SplitArchive(400000, 0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
    EXPECT_TRUE(fs::exists(s / "orig3.ach"));
    EXPECT_EQ(Slice(ReadBytes(s / "setup.exe"), 0, a.stub.size()), a.stub);
    EXPECT_EQ(EndRecordOf(s / "setup.exe").startOffset, a.stub.size());
    ExpectExtractsAs(s / "setup.exe", a, s / "out1");
    ASSERT_EQ(archive.Open(P(s / "setup.exe").c_str(), ARC_OPEN_VOLUMES, nullptr), S_OK);
    ASSERT_EQ(archive.MergeArchive(0), S_OK);
    EXPECT_EQ(archive.Close(), S_OK);
    EXPECT_FALSE(fs::exists(s / "orig2.ach"));
    ExpectExtractsAs(s / "setup.exe", a, s / "out2");
}

TEST(ArchiveVolumeSplit, FailedOrCancelledSplitLeavesTheArchiveIntact)
{
    ScratchFolder s;
    Bytes plain = Sample().Build();
    WriteBytes(s / "pkg.ach", plain);
    CArchive2 archive;
    RecordingProgress progress;
    // A file of a volume's name is no volume of an archive not yet split:
    // it stays unless replacing it is asked for.
    WriteBytes(s / Vol(3), TextBytes("other"));
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    EXPECT_EQ(archive.SplitArchive(300000, 0), VO_E_ALREADYEXISTS);
    EXPECT_EQ(progress.ErrorText(ARC_ERR_EXISTS), "SplitArchive|" + Narrow(P(s / Vol(3)).c_str()));
    EXPECT_EQ(archive.Close(), S_FALSE);
    EXPECT_EQ(ReadBytes(s / Vol(3)), TextBytes("other"));
    EXPECT_FALSE(fs::exists(s / Vol(2)));

    // Volumes are written as NAMEn.ext.part until the split is whole: one
    // that cannot be created takes the others along.
    fs::remove(s / Vol(3));
    fs::create_directories(s / (Vol(3) + ".part"));
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    EXPECT_EQ(archive.SplitArchive(300000, 0), VO_E_OPENFILE);
    EXPECT_EQ(progress.ErrorText(ARC_ERR_CREATE), "SplitArchive|" + Narrow(P(s / (Vol(3) + ".part")).c_str()));
    EXPECT_EQ(archive.Close(), S_FALSE);
    EXPECT_EQ(ReadBytes(s / "pkg.ach"), plain);
    EXPECT_FALSE(fs::exists(s / (Vol(2) + ".part")));
    fs::remove(s / (Vol(3) + ".part"));

    progress.onChunk = [&] { progress.SetAnswer(VO_E_CANCEL); };
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    EXPECT_EQ(archive.SplitArchive(300000, 0), VO_E_CANCEL);
    EXPECT_EQ(archive.Close(), S_FALSE);
    EXPECT_EQ(ReadBytes(s / "pkg.ach"), plain);
    EXPECT_FALSE(fs::exists(s / "~pkg.ach"));
}

TEST(ArchiveVolumeMerge, FailuresLeaveMainFileAndVolumesIntact)
{
    ScratchFolder s;
    TestArchive a = Sample();
    a.baseName = u"pkg.ach";
    std::vector<Bytes> files = a.BuildSplit(200000, 300000);
    for (size_t i = 0; i < files.size(); ++i) WriteBytes(s / (i ? Vol((int)i + 1) : "pkg.ach"), files[i]);
    CArchive2 archive;
    RecordingProgress progress;

    progress.onChunk = [&] { progress.SetAnswer(VO_E_CANCEL); };
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    EXPECT_EQ(archive.MergeArchive(0), VO_E_CANCEL);
    EXPECT_EQ(archive.Close(), S_FALSE);
    progress.onChunk = nullptr;

    // The merged file cannot replace the main file (read-only, and held open
    // by another reader without delete sharing): the volumes are kept.
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    HVOFILE reader = VoFileOpen(P(s / "pkg.ach").c_str(), VO_ACCESS_READ, VO_SHARE_READ | VO_SHARE_WRITE, VO_OPEN_EXISTING);
    EXPECT_NE(reader, nullptr);
    fs::permissions(s / "pkg.ach", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    EXPECT_EQ(archive.MergeArchive(0), S_OK);
    EXPECT_LT(archive.Close(), 0);
    EXPECT_EQ(Narrow(archive.GetLeftoverTemporaryFile()), Narrow(P(s / "~pkg.ach").c_str()));
    VoFileClose(reader);
    fs::permissions(s / "pkg.ach", fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ReadBytes(s / "pkg.ach"), files[0]);
    EXPECT_EQ(ReadBytes(s / Vol(2)), files[1]);

    fs::remove(s / Vol(3));
    ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_VOLUMES, &progress), S_OK);
    EXPECT_EQ(archive.MergeArchive(0), VO_E_OPENFILE);
    EXPECT_EQ(progress.ErrorText(ARC_ERR_OPEN), "MergeArchive|" + Narrow(P(s / Vol(3)).c_str()));
    EXPECT_EQ(archive.Close(), S_FALSE);
    EXPECT_EQ(ReadBytes(s / "pkg.ach"), files[0]);
    EXPECT_EQ(ReadBytes(s / Vol(2)), files[1]);
    EXPECT_EQ(ReadBytes(s / Vol(4)), files[3]);
    EXPECT_FALSE(fs::exists(s / "~pkg.ach"));
}

namespace {

// A minimal PE32 image header whose certificate table (data directory 4)
// lies at tableOffset with tableSize bytes.
Bytes PeStub(size_t size, uint32_t tableOffset, uint32_t tableSize)
{
    Bytes stub = Pattern(size, 7);
    std::fill(stub.begin(), stub.begin() + 512, 0);
    stub[0] = 'M', stub[1] = 'Z';
    const uint32_t pe = 0x80;
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) stub[at + i] = (uint8_t)(v >> (8 * i));
    };
    put32(0x3C, pe);
    put32(pe, 0x00004550u);
    stub[pe + 24] = 0x0B, stub[pe + 25] = 0x01;  // PE32
    put32(pe + 24 + 128, tableOffset);
    put32(pe + 24 + 128 + 4, tableSize);
    return stub;
}

}  // namespace

// A signature appended after the archive, larger than the search window and
// holding a false end signature, does not hide the archive.
TEST(ArchiveSea, SignedPackageFindsItsArchiveBeforeTheCertificateTable)
{
    ScratchFolder s;
    TestArchive a = Sample();
    Bytes plain = a.Build();
    Bytes stub = PeStub(4096, 0, 0);
    WriteBytes(s / "pkg.ach", plain);
    WriteBytes(s / "stub.exe", stub);
    {
        CArchive2 archive;
        ASSERT_EQ(archive.Open(P(s / "pkg.ach").c_str(), ARC_OPEN_SEA, nullptr), S_OK);
        ASSERT_EQ(archive.CreateSEA(P(s / "pkg.exe").c_str(), P(s / "stub.exe").c_str(), 0), S_OK);
        ASSERT_EQ(archive.Close(), S_OK);
    }
    Bytes package = ReadBytes(s / "pkg.exe");
    while (package.size() % 8) package.push_back(0);  // signing tools align the table
    Bytes signature = Pattern(40000, 9);
    signature[100] = 0x55, signature[101] = 0x4D, signature[102] = 0x05, signature[103] = 0x0C;
    Bytes header = PeStub(4096, (uint32_t)package.size(), (uint32_t)signature.size());
    std::copy(header.begin(), header.begin() + 512, package.begin());
    package.insert(package.end(), signature.begin(), signature.end());
    WriteBytes(s / "signed.exe", package);

    ExpectExtractsAs(s / "signed.exe", a, s / "out");
    // A table that does not end the file (a signed stub) changes nothing.
    Bytes inner = ReadBytes(s / "pkg.exe");
    Bytes innerHeader = PeStub(4096, 1024, 64);
    std::copy(innerHeader.begin(), innerHeader.begin() + 512, inner.begin());
    WriteBytes(s / "stubsigned.exe", inner);
    ExpectExtractsAs(s / "stubsigned.exe", a, s / "out2");
}
