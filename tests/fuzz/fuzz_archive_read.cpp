// Fuzz target: opens the input as an archive, asks every catalogue
// question, validates and extracts everything into a scratch folder.
// Nothing may crash, leak, hang or be written outside the scratch folder.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "archive/archive.h"
#include "format/format.h"
#include "utf8.h"

namespace fs = std::filesystem;

namespace {

std::u16string ToText(const std::string &s)
{
    std::u16string out(s.size() + 1, 0);
    size_t n = VoUtf8ToUtf16(s.c_str(), &out[0], out.size());
    out.resize(n);
    return out;
}

struct Scratch {
    fs::path root;
    Scratch()
    {
        root = fs::temp_directory_path() / ("voxkit-fuzz-" + std::to_string(getpid()));
        fs::create_directories(root);
        VoPrintF_CreateTokenTable();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static Scratch scratch;
    fs::path archivePath = scratch.root / "input.ach";
    fs::path dest = scratch.root / "out";
    std::error_code ec;
    fs::remove_all(dest, ec);
    fs::create_directories(dest);
    FILE *f = fopen(archivePath.c_str(), "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);

    CArchive2 archive;
    CVoArchiveProgress progress;
    std::u16string path = ToText(archivePath.string());
    if (FAILED(archive.Open(path.c_str(), ARC_OPEN_READ, &progress))) return 0;
    int count = archive.GetArchiveCount();
    for (int i = 0; i < count && i < 64; ++i) {
        VOCHAR name[ARC_TEXT_UNITS];
        uint64_t size64 = 0;
        int value = 0;
        VOFILETIME time = 0;
        archive.GetEntryName(i, name, ARC_TEXT_UNITS);
        archive.GetEntryUncompressedSize(i, &size64);
        archive.GetEntryCompressedSize(i, &size64);
        archive.GetEntryCompressionType(i, &value);
        archive.GetEntryCRC32(i, &value);
        archive.GetEntryFileAttributes(i, &value);
        archive.GetEntryFileTime(i, &time);
        archive.ValidateEntry(i);
        if (name[0]) archive.IsEntryInArchive(name);
    }
    VOCHAR comment[ARC_MAX_COMMENT + 1];
    archive.GetVolumeComment(comment, ARC_MAX_COMMENT + 1);
    archive.GetArchiveSize();
    std::u16string out = ToText(dest.string());
    archive.ExtractAll(out.c_str(), ARC_EXTRACT_OVERWRITE);
    archive.Close();
    // Everything written must stay inside the scratch folder.
    for (const auto &e : fs::directory_iterator(scratch.root))
        if (e.path() != archivePath && e.path() != dest) __builtin_trap();
    return 0;
}
