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

// A JSON string of UTF-16 text. Always valid JSON: characters are written
// as UTF-8, controls and a surrogate half without its partner as \u
// escapes, so that no name, however made, breaks a reader.
std::string JsonString(const VOCHAR *text)
{
    std::string out = "\"";
    auto escape = [&out](uint32_t unit) {
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\u%04x", unit);
        out += escaped;
    };
    for (const VOCHAR *p = text; *p; ++p) {
        uint32_t c = (uint16_t)*p;
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c < 0x20) escape(c);
        else if (c < 0x80) out += (char)c;
        else if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            uint32_t code = 0x10000 + ((c - 0xD800) << 10) + ((uint16_t)p[1] - 0xDC00);
            ++p;
            out += (char)(0xF0 | code >> 18);
            out += (char)(0x80 | ((code >> 12) & 0x3F));
            out += (char)(0x80 | ((code >> 6) & 0x3F));
            out += (char)(0x80 | (code & 0x3F));
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            escape(c);
        } else if (c < 0x800) {
            out += (char)(0xC0 | c >> 6);
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xE0 | c >> 12);
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out + "\"";
}

const char *MethodName(const ArcDirectoryRecord &r)
{
    if (r.attributes & ARC_ATTR_FOLDER) return "folder";
    return r.method == ARC_METHOD_STORE ? "stored" : r.method == ARC_METHOD_DEFLATE ? "deflate" : "unknown";
}

// The attributes as letters: R read-only, H hidden, S system, D folder,
// A archive.
std::string AttributeLetters(uint32_t attributes)
{
    static const struct {
        uint32_t bit;
        char letter;
    } kLetters[] = {{0x1, 'R'}, {0x2, 'H'}, {0x4, 'S'}, {0x10, 'D'}, {0x20, 'A'}};
    std::string letters;
    for (const auto &l : kLetters)
        if (attributes & l.bit) letters += l.letter;
    return letters;
}

std::string FormatTime(VOFILETIME t, bool iso);

void PrintJsonEntry(const ArcDirectoryEntry &e, bool first)
{
    const ArcDirectoryRecord &r = e.record;
    printf("%s{\"name\":%s,\"method\":%u,\"method_name\":\"%s\",\"level\":%u,\"attributes\":%u,"
           "\"attribute_letters\":\"%s\",\"filetime\":%" PRIu64 ",\"time\":\"%s\",\"compressed\":%" PRIu64
           ",\"uncompressed\":%" PRIu64 ",\"crc_data\":%u,\"crc_content\":%u,\"offset\":%" PRIu64 "}",
           first ? "" : ",", JsonString(e.name).c_str(), r.method, MethodName(r), r.level, r.attributes,
           AttributeLetters(r.attributes).c_str(), r.fileTime, FormatTime(r.fileTime, true).c_str(),
           r.compressedSize, r.uncompressedSize, r.dataCrc, r.contentCrc, r.localHeaderOffset);
}

// Windows file time to "YYYY-MM-DD HH:MM" (UTC), or with iso ISO 8601
// "YYYY-MM-DDTHH:MM:SSZ".
std::string FormatTime(VOFILETIME t, bool iso)
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
    snprintf(text, sizeof text, iso ? "%04d-%02d-%02dT%02d:%02d:%02dZ" : "%04d-%02d-%02d %02d:%02d",
             (int)(y + (m <= 2)), (int)m, (int)d, (int)(rest / 3600), (int)(rest % 3600 / 60), (int)(rest % 60));
    return text;
}

// The entries named by patterns (extract's patterns); every entry when
// there are none.
class EntryFilter {
public:
    bool Prepare(CArchive2 &archive, const std::string &path, const std::vector<std::string> &patterns)
    {
        for (const std::string &text : patterns) {
            ArcPattern pattern;
            if (FAILED(archive.CheckForWildcards(ToText(text).c_str(), &pattern))) {
                PrintError(path + ": '" + text + "' is no pattern (too short or too long)");
                return false;
            }
            m_patterns.push_back({text, pattern, false});
        }
        return true;
    }
    bool Takes(const VOCHAR *name)
    {
        bool taken = m_patterns.empty();
        for (Pattern &p : m_patterns)
            if (CArchive2::MatchEntryName(&p.prepared, name)) taken = p.matched = true;
        return taken;
    }
    // One line for each pattern that matched no entry; their number.
    int ReportUnmatched(const std::string &path) const
    {
        int unmatched = 0;
        for (const Pattern &p : m_patterns)
            if (!p.matched) {
                PrintError(path + ": no entry matches '" + p.text + "'");
                ++unmatched;
            }
        return unmatched;
    }

private:
    struct Pattern {
        std::string text;
        ArcPattern prepared;
        bool matched;
    };
    std::vector<Pattern> m_patterns;
};

}  // namespace

int CommandList(const CommandLine &line)
{
    if (line.positional.empty()) {
        PrintError("list needs an archive (see 'voxpack list --help')");
        return VOXPACK_USAGE;
    }
    const std::string &path = line.positional[0];
    OpenArchive open;
    if (!OpenForReading(open, path, nullptr)) return VOXPACK_USAGE;
    CArchive2 &a = open.archive;
    EntryFilter filter;
    if (!filter.Prepare(a, path, {line.positional.begin() + 1, line.positional.end()})) return VOXPACK_USAGE;
    int count = a.GetArchiveCount(), listed = 0;
    bool json = line.Has("--json");
    int failures = 0;
    if (json) printf("{\"entries\":[");
    else printf("%12s %12s %-7s %-16s %s\n", "Size", "Stored", "Method", "Modified (UTC)", "Name");
    uint64_t totalSize = 0, totalStored = 0;
    for (int i = 0; i < count; ++i) {
        ArcDirectoryEntry e;
        if (!a.GetEntryRecord(i, &e) || e.record.signature != ARC_DIRECTORY_SIGNATURE) {
            PrintError(path + ": entry " + std::to_string(i) + ": damaged directory record");
            ++failures;
            continue;
        }
        if (!filter.Takes(e.name)) continue;
        if (json) {
            PrintJsonEntry(e, listed++ == 0);
            continue;
        }
        ++listed;
        const ArcDirectoryRecord &r = e.record;
        printf("%12" PRIu64 " %12" PRIu64 " %-7s %-16s %s\n", r.uncompressedSize, r.compressedSize, MethodName(r),
               FormatTime(r.fileTime, false).c_str(), Printable(ToUtf8(e.name)).c_str());
        totalSize += r.uncompressedSize;
        totalStored += r.compressedSize;
    }
    failures += filter.ReportUnmatched(path);
    count = listed;
    VOCHAR comment[ARC_MAX_COMMENT + 1];
    if (FAILED(a.GetVolumeComment(comment, ARC_MAX_COMMENT + 1))) comment[0] = 0;
    const ArcEndRecord &end = a.GetEndRecord();
    if (json) {
        printf("],\"comment\":%s,\"base_name\":%s,\"volumes\":%u,\"start_offset\":%" PRIu64 "}\n",
               JsonString(comment).c_str(), JsonString(a.GetBaseName()).c_str(), end.volumeCount, end.startOffset);
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
