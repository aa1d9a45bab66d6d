// voxpack's progress bar, failure lines and questions.
#include "console_progress.h"

#include <cstdio>
#include <iostream>

#include "archive/names.h"
#include "log/errors.h"

const char *DescribeDiagnostic(uint32_t diagnostic)
{
    switch (diagnostic) {
    case ARC_ERR_INVALIDARG: return "refused: the name would leave the destination or names a device";
    case ARC_ERR_BADSTATE: return "not allowed in this mode";
    case ARC_ERR_CREATE: return "cannot create the file";
    case ARC_ERR_NOMEMORY: return "out of memory";
    case ARC_ERR_OPEN: return "cannot open the file";
    case ARC_ERR_SIGNATURE: return "not an archive, or a damaged record";
    case ARC_ERR_BLOCK: return "copy incomplete";
    case ARC_ERR_BUFFER: return "name or pattern too long or too short";
    case ARC_ERR_DISKSPACE: return "no space left on the device (or the destination does not exist)";
    case ARC_ERR_WRITE: return "write failure, or damaged compressed data";
    case ARC_ERR_READ: return "read failure: the archive is damaged or truncated";
    case ARC_ERR_FILETIME: return "cannot read the file time";
    case ARC_ERR_NOWILDCARD: return "the pattern has no usable '*'";
    case ARC_ERR_VOLUME: return "a volume is missing";
    case ARC_ERR_NOFILE: return "no such file";
    case ARC_ERR_CRC: return "CRC mismatch: the data is damaged";
    case ARC_ERR_NOTOPEN: return "no archive is open";
    case ARC_ERR_EXISTS: return "exists, and is no volume of this archive (use --force to replace it)";
    case ARC_ERR_BADNAME: return "refused: a name Windows cannot hold";
    case ARC_ERR_DUPLICATE: return "refused: the archive has this name already, but for letter case (Windows holds one)";
    }
    return "failed";
}

std::string DescribeResult(HRESULT result)
{
    switch (result) {
    case VO_E_OPENFILE: return "cannot open or create the file";
    case VO_E_READ: return "read failure: the archive is damaged or truncated";
    case VO_E_WRITE: return "write failure, or damaged compressed data";
    case VO_E_BADDATA: return "damaged data, or entries refused";
    case VO_E_CANCEL: return "cancelled";
    case VO_E_NOTFOUND: return "a volume or folder was not found";
    case VO_E_NOFILE: return "no such file";
    case VO_E_SMALLBUFFER: return "name or pattern refused";
    case VO_E_BADSIGNATURE: return "not an archive (no end record found)";
    case VO_E_DISKFULL: return "no space left on the device (or the destination does not exist)";
    case E_OUTOFMEMORY: return "out of memory";
    case E_NOTIMPL: return "unsupported compression method";
    case E_INVALIDARG: return "invalid argument";
    }
    char text[32];
    snprintf(text, sizeof text, "failed (code 0x%08X)", (unsigned)result);
    return text;
}

std::string DescribeOpenResult(const CArchive2 &archive, HRESULT result)
{
    if (result == E_INVALIDARG) return "the full path is too long (259 characters at most)";
    if (result == VO_E_SHARING) return "it is being changed by another process; nothing was done";
    if (result != VO_E_BADDATA) return DescribeResult(result);
    uint32_t walked = archive.GetDirectoryWalked(), count = archive.GetEndRecord().entryCount;
    if (walked < count)
        return "damaged directory: entry " + std::to_string(walked) + " of the " + std::to_string(count) +
               " it claims cannot be read";
    return "damaged directory: its records do not fill the size the end record gives";
}

CConsoleProgress::CConsoleProgress(const std::string &archive, bool showBar, bool verbose)
    : m_archive(archive), m_showBar(showBar), m_verbose(verbose)
{
}

void CConsoleProgress::SetPlan(uint64_t bytes, uint64_t entries)
{
    m_planBytes = bytes;
    m_planEntries = entries;
}

// Why Windows cannot hold the file (or folder) at path, in words.
static std::string NameProblem(const std::string &path)
{
    size_t slash = path.find_last_of(VO_PATH_SEPARATOR == '/' ? "/" : "\\/");
    const char *problem = ArcFileNameProblem(ToText(path.substr(slash == std::string::npos ? 0 : slash + 1)).c_str());
    return problem ? problem : "a name Windows cannot hold";
}

// The engine's text is "Operation" or "Operation|detail"; the detail (a
// path, an entry name or a volume number) is what the user needs to see.
int CConsoleProgress::OnError(uint32_t diagnostic)
{
    std::string text = ToUtf8(GetText());
    size_t bar = text.find('|');
    std::string detail = bar == std::string::npos ? "" : text.substr(bar + 1);
    std::string where = m_archive;
    if (!detail.empty()) where += ": " + detail;
    else if (!m_entry.empty()) where += ": " + m_entry;
    // A failure the engine meets again on its way out (a full disk, when the
    // directory is written too) is told once.
    std::string line = where + ": " + DescribeDiagnostic(diagnostic);
    if (diagnostic == ARC_ERR_BADNAME) line = where + ": refused: " + NameProblem(detail);
    ++m_failures;
    if (line == m_lastError) return 0;
    m_lastError = line;
    ClearBar();
    PrintError(line);
    return 0;
}

int CConsoleProgress::OnStatus(uint32_t status)
{
    switch (status) {
    case ARC_STAT_EXTRACT:
    case ARC_STAT_VALIDATE:
    case ARC_STAT_ADD:
        m_entry = ToUtf8(GetText());
        if (m_verbose && !m_showBar) fprintf(stderr, "%s\n", Printable(m_entry).c_str());
        break;
    case ARC_STAT_ITEMDONE:
        ++m_entriesDone;
        Draw(false);
        break;
    case ARC_STAT_ASK:
    case ARC_STAT_ASKREADONLY:
        AnswerQuestion(status == ARC_STAT_ASKREADONLY);
        break;
    default:
        break;
    }
    return 0;
}

int CConsoleProgress::OnProgress(uint32_t countLow, uint32_t countHigh)
{
    CVoArchiveProgress::OnProgress(countLow, countHigh);
    m_bytesDone += (uint64_t)countHigh << 32 | countLow;
    Draw(false);
    return 0;
}

void CConsoleProgress::AnswerQuestion(bool readOnly)
{
    std::string path = ToUtf8(GetText());
    if (m_policy == OverwritePolicy::Replace) return SetAnswer(ARC_ANSWER_YES);
    if (m_policy == OverwritePolicy::Keep) return SetAnswer(ARC_ANSWER_NO);
    if (!m_showBar) {
        // No one to ask: keep the file and say so.
        ClearBar();
        PrintError(path + ": exists, kept (" + m_keepHint + ")");
        ++m_keptByDefault;
        return SetAnswer(ARC_ANSWER_NO);
    }
    ClearBar();
    for (;;) {
        fprintf(stderr, "%s%s exists. Replace it? [y]es, [a]ll, [n]o, n[o]ne, [c]ancel: ",
                Printable(path).c_str(), readOnly ? " (read-only)" : "");
        fflush(stderr);
        std::string line;
        if (!std::getline(std::cin, line)) return SetAnswer(VO_E_CANCEL);
        char c = line.empty() ? 0 : (char)tolower((unsigned char)line[0]);
        if (c == 'y') return SetAnswer(ARC_ANSWER_YES);
        if (c == 'a') return SetAnswer(ARC_ANSWER_YESALL);
        if (c == 'n') return SetAnswer(ARC_ANSWER_NO);
        if (c == 'o') return SetAnswer(ARC_ANSWER_NOALL);
        if (c == 'c') return SetAnswer(VO_E_CANCEL);
    }
}

void CConsoleProgress::ReportResult(HRESULT result, const std::string &what)
{
    ClearBar();
    PrintError(m_archive + (what.empty() ? "" : ": " + what) + ": " + DescribeResult(result));
    ++m_failures;
}

void CConsoleProgress::ReportFailure(const std::string &what)
{
    ClearBar();
    PrintError(m_archive + ": " + what);
    ++m_failures;
}

static std::string Mebibytes(uint64_t bytes)
{
    char text[32];
    snprintf(text, sizeof text, "%.1f MiB", bytes / 1048576.0);
    return text;
}

void CConsoleProgress::Draw(bool force)
{
    if (!m_showBar) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && m_barShown && now - m_lastDraw < std::chrono::milliseconds(100)) return;
    m_lastDraw = now;
    const int width = 30;
    // Without a plan of the whole run (split, merge), the bar follows the
    // phase under way.
    uint64_t done = m_planBytes ? m_bytesDone : GetDone(), total = m_planBytes ? m_planBytes : GetTotal();
    double part = total ? (double)done / (double)total : 1.0;
    if (part > 1.0) part = 1.0;
    int filled = (int)(part * width);
    std::string bar(filled, '#');
    bar.resize(width, '.');
    std::string entries;
    if (m_planEntries)
        entries = std::to_string(m_entriesDone) + "/" + std::to_string(m_planEntries) + " entries ";
    fprintf(stderr, "\r[%s] %3d%%  %s / %s  %s", bar.c_str(), (int)(part * 100), Mebibytes(done).c_str(),
            Mebibytes(total).c_str(), entries.c_str());
    fflush(stderr);
    m_barShown = true;
}

void CConsoleProgress::ClearBar()
{
    if (!m_barShown) return;
    fprintf(stderr, "\r%*s\r", 79, "");
    m_barShown = false;
}

// On a terminal the bar's final state stays on screen as the summary.
void CConsoleProgress::Finish()
{
    if (!m_showBar) return;
    // Files kept or skipped on request are work done too.
    if (!m_failures && m_bytesDone < m_planBytes) m_bytesDone = m_planBytes;
    Draw(true);
    fprintf(stderr, "\n");
    m_barShown = false;
}
