// voxpack list, extract and test.
#include <cinttypes>
#include <cstdio>

#include "archive/archive.h"
#include "commands.h"
#include "console_progress.h"
#include "files/files.h"

namespace {

// An archive opened for reading, closed on every path.
struct OpenArchive {
    CArchive2 archive;
    ~OpenArchive() { archive.Close(); }
};

// Opens without a progress object, so a failure to open is told once, in
// one line; the progress object takes over once the archive is open.
bool OpenForReading(OpenArchive &open, const std::string &path, CConsoleProgress *progress)
{
    HRESULT hr = open.archive.Open(FullPath(path).c_str(), ARC_OPEN_READ, nullptr);
    if (FAILED(hr)) {
        PrintError(path + ": " + DescribeOpenResult(open.archive, hr));
        return false;
    }
    open.archive.SetProgress(progress);
    return true;
}

std::string JsonString(const std::string &utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += (char)c;
            }
        }
    }
    return out + "\"";
}

void PrintJsonEntry(const ArcDirectoryEntry &e, bool first)
{
    const ArcDirectoryRecord &r = e.record;
    printf("%s{\"name\":%s,\"method\":%u,\"level\":%u,\"attributes\":%u,\"filetime\":%" PRIu64
           ",\"compressed\":%" PRIu64 ",\"uncompressed\":%" PRIu64 ",\"crc_data\":%u,\"crc_content\":%u,"
           "\"offset\":%" PRIu64 "}",
           first ? "" : ",", JsonString(ToUtf8(e.name)).c_str(), r.method, r.level, r.attributes, r.fileTime,
           r.compressedSize, r.uncompressedSize, r.dataCrc, r.contentCrc, r.localHeaderOffset);
}

// Windows file time to "YYYY-MM-DD HH:MM" (UTC).
std::string FormatTime(VOFILETIME t)
{
    int64_t seconds = (int64_t)(t / 10000000ull) - 11644473600ll;
    int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    int64_t rest = seconds - days * 86400;
    // Civil date from days since 1970-01-01.
    int64_t z = days + 719468, era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t doe = z - era * 146097, yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    int64_t y = yoe + era * 400, doy = doe - (365 * yoe + yoe / 4 - yoe / 100), mp = (5 * doy + 2) / 153;
    int64_t d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
    char text[64];
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", (int)(y + (m <= 2)), (int)m, (int)d,
             (int)(rest / 3600), (int)(rest % 3600 / 60));
    return text;
}

}  // namespace

int CommandList(const CommandLine &line)
{
    if (line.positional.size() != 1) {
        PrintError("list needs exactly one archive (see 'voxpack list --help')");
        return VOXPACK_USAGE;
    }
    const std::string &path = line.positional[0];
    OpenArchive open;
    if (!OpenForReading(open, path, nullptr)) return VOXPACK_USAGE;
    CArchive2 &a = open.archive;
    int count = a.GetArchiveCount();
    bool json = line.Has("--json");
    int failures = 0;
    if (json) printf("{\"entries\":[");
    else printf("%12s %12s %-7s %-16s %s\n", "Size", "Stored", "Method", "Modified", "Name");
    uint64_t totalSize = 0, totalStored = 0;
    for (int i = 0; i < count; ++i) {
        ArcDirectoryEntry e;
        if (!a.GetEntryRecord(i, &e) || e.record.signature != ARC_DIRECTORY_SIGNATURE) {
            PrintError(path + ": entry " + std::to_string(i) + ": damaged directory record");
            ++failures;
            continue;
        }
        if (json) {
            PrintJsonEntry(e, i == 0);
            continue;
        }
        const ArcDirectoryRecord &r = e.record;
        const char *method = r.method == ARC_METHOD_STORE ? "stored" : r.method == ARC_METHOD_DEFLATE ? "deflate" : "?";
        printf("%12" PRIu64 " %12" PRIu64 " %-7s %-16s %s\n", r.uncompressedSize, r.compressedSize,
               (r.attributes & ARC_ATTR_FOLDER) ? "folder" : method, FormatTime(r.fileTime).c_str(),
               Printable(ToUtf8(e.name)).c_str());
        totalSize += r.uncompressedSize;
        totalStored += r.compressedSize;
    }
    VOCHAR comment[ARC_MAX_COMMENT + 1];
    if (FAILED(a.GetVolumeComment(comment, ARC_MAX_COMMENT + 1))) comment[0] = 0;
    const ArcEndRecord &end = a.GetEndRecord();
    if (json) {
        printf("],\"comment\":%s,\"base_name\":%s,\"volumes\":%u,\"start_offset\":%" PRIu64 "}\n",
               JsonString(ToUtf8(comment)).c_str(), JsonString(ToUtf8(a.GetBaseName())).c_str(), end.volumeCount,
               end.startOffset);
    } else {
        printf("%12" PRIu64 " %12" PRIu64 " %d entries", totalSize, totalStored, count);
        if (end.startOffset) printf(", behind a %" PRIu64 "-byte stub", end.startOffset);
        if (end.volumeCount > 1) printf(", %u volumes", end.volumeCount);
        printf("\n");
        if (comment[0]) printf("Comment: %s\n", ToUtf8(comment).c_str());
    }
    return failures ? VOXPACK_SOME_FAILED : VOXPACK_OK;
}

int CommandExtract(const CommandLine &line)
{
    if (line.positional.empty()) {
        PrintError("extract needs an archive (see 'voxpack extract --help')");
        return VOXPACK_USAGE;
    }
    if (line.Has("--overwrite") && line.Has("--skip-existing")) {
        PrintError("--overwrite and --skip-existing exclude each other");
        return VOXPACK_USAGE;
    }
    const std::string &path = line.positional[0];
    bool terminal = IsTerminal();
    CConsoleProgress progress(path, terminal, line.Has("-v"));
    if (line.Has("--overwrite")) progress.SetOverwritePolicy(OverwritePolicy::Replace);
    if (line.Has("--skip-existing")) progress.SetOverwritePolicy(OverwritePolicy::Keep);
    OpenArchive open;
    if (!OpenForReading(open, path, &progress)) return VOXPACK_USAGE;
    CArchive2 &a = open.archive;

    std::string destArg = line.Value("-o", ".");
    VoText dest = FullPath(destArg);
    uint32_t attributes = VoPathGetAttributes(dest.c_str());
    if (attributes == VO_INVALID_ATTRIBUTES && !VoCreateDirectory(dest.c_str(), nullptr)) {
        PrintError(destArg + ": cannot create the destination folder");
        return VOXPACK_USAGE;
    }
    uint32_t flags = line.Has("--flat") ? ARC_EXTRACT_NOPATHS : 0;
    if (line.Has("--overwrite")) flags |= ARC_EXTRACT_OVERWRITE;

    uint64_t total = 0;
    a.GetSizeExtractAll(&total);
    progress.SetPlan(total, (uint64_t)a.GetArchiveCount());
    if (line.positional.size() == 1) {
        HRESULT hr = a.ExtractAll(dest.c_str(), flags);
        if (FAILED(hr) && progress.Failures() == 0) progress.ReportResult(hr, "");
        else if (hr == VO_E_CANCEL) progress.ReportResult(hr, "");
    } else {
        for (size_t i = 1; i < line.positional.size(); ++i) {
            HRESULT hr = a.ExtractEntry(ToText(line.positional[i]).c_str(), dest.c_str(), flags | ARC_EXTRACT_NOTOTAL);
            if (hr == S_FALSE) progress.ReportFailure("no entry matches '" + line.positional[i] + "'");
            else if (FAILED(hr) && hr != VO_E_SMALLBUFFER) progress.ReportResult(hr, line.positional[i]);
        }
    }
    progress.Finish();
    return progress.Failures() || progress.KeptByDefault() ? VOXPACK_SOME_FAILED : VOXPACK_OK;
}

int CommandTest(const CommandLine &line)
{
    if (line.positional.empty()) {
        PrintError("test needs an archive (see 'voxpack test --help')");
        return VOXPACK_USAGE;
    }
    const std::string &path = line.positional[0];
    CConsoleProgress progress(path, IsTerminal(), line.Has("-v"));
    OpenArchive open;
    if (!OpenForReading(open, path, &progress)) return VOXPACK_USAGE;
    CArchive2 &a = open.archive;
    if (a.GetMultiVolumeStatus() > 1 && FAILED(a.ValidateMultiVolume())) {
        progress.Finish();
        return VOXPACK_SOME_FAILED;
    }
    std::vector<ArcPattern> patterns;
    for (size_t i = 1; i < line.positional.size(); ++i) {
        ArcPattern p;
        if (FAILED(a.CheckForWildcards(ToText(line.positional[i]).c_str(), &p))) return VOXPACK_USAGE;
        patterns.push_back(p);
    }
    // Every chosen entry is checked, so that one damaged entry does not hide
    // the state of the others.
    int count = a.GetArchiveCount();
    std::vector<int> chosen;
    uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        ArcDirectoryEntry e;
        if (!a.GetEntryRecord(i, &e)) continue;
        bool match = patterns.empty();
        for (const ArcPattern &p : patterns) match = match || CArchive2::MatchEntryName(&p, e.name);
        if (!match) continue;
        chosen.push_back(i);
        total += e.record.uncompressedSize;
    }
    progress.SetPlan(total, chosen.size());
    // Each entry gets the whole check extraction makes, into nothing.
    for (int i : chosen) {
        HRESULT hr = a.VerifyEntry(i);
        if (hr == VO_E_CANCEL) break;
    }
    progress.Finish();
    if (!patterns.empty() && chosen.empty()) {
        PrintError(path + ": no entry matches the patterns");
        return VOXPACK_SOME_FAILED;
    }
    if (progress.Failures()) return VOXPACK_SOME_FAILED;
    if (line.Has("-v") || IsTerminal()) fprintf(stderr, "%s: %zu entries OK\n", path.c_str(), chosen.size());
    return VOXPACK_OK;
}
