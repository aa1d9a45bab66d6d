// CLog: the thread-safe log file with rotation to one ".previous" file.
#include "log/clog.h"

#include <cstring>
#include <ctime>
#include <vector>

#include "fileio.h"
#include "files/files.h"
#include "format/format.h"
#include "log/errors.h"
#include "utf8.h"

namespace {

const char *const kPrefixes[] = {"ERR ", "WARN", "INFO", "DBG "};

const char *PrefixOf(uint32_t type)
{
    switch (type & 0xFFFF) {
    case CLog::LOG_ERR: return kPrefixes[0];
    case CLog::LOG_WARN: return kPrefixes[1];
    case CLog::LOG_INFO: return kPrefixes[2];
    case CLog::LOG_DBG: return kPrefixes[3];
    default: return "????";
    }
}

// The file opened for appending in binary: the line ends are written as
// they should stand on disk.
FILE *OpenForAppend(const VOCHAR *path)
{
#ifdef _WIN32
    return _wfopen(path, L"ab");
#else
    char utf8[4 * 260];
    VoUtf16ToUtf8(path, utf8, sizeof utf8);
    return fopen(utf8, "ab");
#endif
}

// The format with every "$" doubled: log lines take the C conversions
// only, so a "$" in a format (a token, a locale conversion) can never read
// an argument that was not passed.
std::vector<VOCHAR> PlainFormat(const VOCHAR *format)
{
    std::vector<VOCHAR> plain;
    for (const VOCHAR *p = format; p && *p; ++p) {
        plain.push_back(*p);
        if (*p == '$') plain.push_back('$');
    }
    plain.push_back(0);
    return plain;
}

}  // namespace

CLog::CLog() { VoLockInit(&m_lock); }

CLog::~CLog() { VoLockDelete(&m_lock); }

CLog::CLog(const CLog &other)
    : m_enabled(other.m_enabled), m_stream(other.m_stream), m_flags(other.m_flags), m_maxSize(other.m_maxSize)
{
    memcpy(m_fileName, other.m_fileName, sizeof m_fileName);
    memcpy(m_previousName, other.m_previousName, sizeof m_previousName);
    VoLockInit(&m_lock);
}

CLog &CLog::operator=(const CLog &other)
{
    if (this == &other) return *this;
    m_enabled = other.m_enabled;
    m_stream = other.m_stream;
    m_flags = other.m_flags;
    m_maxSize = other.m_maxSize;
    memcpy(m_fileName, other.m_fileName, sizeof m_fileName);
    memcpy(m_previousName, other.m_previousName, sizeof m_previousName);
    return *this;
}

bool CLog::Open()
{
    FILE *file = OpenForAppend(m_fileName);
    if (!file) return false;
    // The position is the file's length from the start, so that an existing
    // file counts towards the rotation limit.
    fseek(file, 0, SEEK_END);
    m_stream.reset(file, [](FILE *f) { fclose(f); });
    return true;
}

HRESULT CLog::Init(const VOCHAR *fileName, uint32_t flags, int32_t maxSize)
{
    CVoLockHolder hold(&m_lock);
    if (!fileName || flags == 0) return E_INVALIDARG;
    // Both names must fit whole: a cut name would be another file, and a
    // cut ".previous" name could be the log itself, deleted on rotation.
    static const VOCHAR kSuffix[] = {'.', 'p', 'r', 'e', 'v', 'i', 'o', 'u', 's', 0};
    size_t length = VoStrLen(fileName);
    if (length + VoStrLen(kSuffix) >= 260) return E_INVALIDARG;
    VoStrCopyN(m_fileName, fileName, 260);
    VoStrCopyN(m_previousName, fileName, 260);
    VoStrCopyN(m_previousName + length, kSuffix, 260 - length);
    m_flags = flags;
    m_maxSize = maxSize;
    if (!Open()) return VO_E_OPENFAILED;
    m_enabled = 1;
    return S_OK;
}

bool CLog::Rotate()
{
    m_stream.reset();
    VoPathDeleteFile(m_previousName);
    VoPathRename(m_fileName, m_previousName);
    return Open();
}

void CLog::WriteLine(uint32_t type, const VOCHAR *sourceFile, int sourceLine, const VOCHAR *message)
{
    char head[128];
    int n = snprintf(head, sizeof head, "%s", PrefixOf(type));
    if (m_flags & LOG_TIMESTAMP) {
        time_t now = time(nullptr);
        struct tm local;
#ifdef _WIN32
        localtime_s(&local, &now);
#else
        localtime_r(&now, &local);
#endif
        n += snprintf(head + n, sizeof head - (size_t)n, " %02d-%02d-%02d %02d:%02d:%02d ", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    }
    // The parts go out one after the other into the stream's buffer; the
    // caller holds the log's lock, so lines never mix.
    FILE *out = m_stream.get();
    fputs(head, out);
    if (m_flags & LOG_SOURCE) {
        char name[4 * 260];
        VoUtf16ToUtf8(sourceFile ? VoGetFileNamePtrW(sourceFile) : nullptr, name, sizeof name);
        fprintf(out, "%15s(%4d): ", name, sourceLine);
    }
    char text[4 * (kMaxMessage + 1)];
    VoUtf16ToUtf8(message, text, sizeof text);
    fputs(text, out);
    fputs("\r\n", out);
    fflush(out);
}

HRESULT CLog::WriteV(uint32_t type, const VOCHAR *sourceFile, int sourceLine, const VOCHAR *format, va_list args)
{
    CVoLockHolder hold(&m_lock);
    if (!m_enabled || !m_stream) return VO_E_NOTENABLED;
    if ((type & m_flags & 0xFFFF) == 0) return S_OK;
    if (m_maxSize > 0 && ftell(m_stream.get()) >= m_maxSize && !Rotate()) {
        m_enabled = 0;
        return VO_E_OPENFAILED;
    }
    VOCHAR message[kMaxMessage + 1];
    VoVPrintFN(message, kMaxMessage + 1, PlainFormat(format).data(), args);
    WriteLine(type, sourceFile, sourceLine, message);
    return S_OK;
}

HRESULT CLog::Write(uint32_t type, const VOCHAR *sourceFile, int sourceLine, const VOCHAR *format, ...)
{
    va_list args;
    va_start(args, format);
    HRESULT hr = WriteV(type, sourceFile, sourceLine, format, args);
    va_end(args);
    return hr;
}

void CLog::Shutdown()
{
    m_enabled = 0;
    m_stream.reset();
}
