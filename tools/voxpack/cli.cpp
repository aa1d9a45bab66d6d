// voxpack's command-line plumbing.
#include "cli.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "fileio.h"
#include "utf8.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

VoText ToText(const std::string &utf8)
{
    size_t n = VoUtf8ToUtf16(utf8.c_str(), nullptr, 0);
    VoText text(n + 1, 0);
    VoUtf8ToUtf16(utf8.c_str(), &text[0], n + 1);
    text.resize(n);
    return text;
}

std::string ToUtf8(const VOCHAR *text)
{
    size_t n = VoUtf16ToUtf8(text, nullptr, 0);
    std::string out(n + 1, 0);
    VoUtf16ToUtf8(text, &out[0], n + 1);
    out.resize(n);
    return out;
}

bool CommandLine::Has(const char *name) const
{
    for (const auto &o : options)
        if (o.first == name) return true;
    return false;
}

std::string CommandLine::Value(const char *name, const std::string &fallback) const
{
    std::string value = fallback;
    for (const auto &o : options)
        if (o.first == name) value = o.second;
    return value;
}

std::vector<std::string> CommandLine::Values(const char *name) const
{
    std::vector<std::string> values;
    for (const auto &o : options)
        if (o.first == name) values.push_back(o.second);
    return values;
}

static bool Contains(const std::vector<std::string> &list, const std::string &item)
{
    for (const std::string &s : list)
        if (s == item) return true;
    return false;
}

bool ParseCommandLine(const std::vector<std::string> &args, const std::vector<std::string> &valued,
                      const std::vector<std::string> &known, CommandLine &out)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (optionsEnded || a.size() < 2 || a[0] != '-') {
            out.positional.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = a, value;
        size_t eq = a.find('=');
        if (a.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = a.substr(0, eq);
            value = a.substr(eq + 1);
        } else if (a[1] != '-' && a.size() > 2 && Contains(valued, a.substr(0, 2))) {
            // A value attached to a short option: -j2, -l9, -mstore.
            name = a.substr(0, 2);
            value = a.substr(2);
            eq = 2;
        }
        if (!Contains(known, name) && !Contains(valued, name)) {
            PrintError("unknown option '" + name + "' (see 'voxpack " + out.command + " --help')");
            return false;
        }
        if (Contains(valued, name) && eq == std::string::npos) {
            if (i + 1 >= args.size()) {
                PrintError("option '" + name + "' needs a value");
                return false;
            }
            value = args[++i];
        }
        out.options.emplace_back(name, value);
    }
    return true;
}

CLog &VoxpackLog()
{
    static CLog log;
    return log;
}

void LogLine(uint32_t type, const std::string &text)
{
    if (!VoxpackLog().IsEnabled()) return;
    VoText wide = ToText(text);
    // The text is passed as an argument, so that its own "%" and "$" stay.
    VoxpackLog().Write(type, nullptr, 0, VOTEXT("%s"), wide.c_str());
}

std::string Printable(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c >= 0x20 && c != 0x7F) {
            out += (char)c;
            continue;
        }
        char escaped[8];
        snprintf(escaped, sizeof escaped, "\\x%02X", c);
        out += escaped;
    }
    return out;
}

void PrintError(const std::string &text)
{
    fprintf(stderr, "voxpack: %s\n", Printable(text).c_str());
    fflush(stderr);
    LogLine(CLog::LOG_ERR, text);
}

static bool g_quiet = false;

void SetQuiet(bool quiet) { g_quiet = quiet; }

bool IsQuiet() { return g_quiet; }

bool IsTerminal()
{
    if (g_quiet) return false;
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

VoText FullPath(const std::string &path)
{
    VoText text = ToText(path);
    VOCHAR full[VO_MAX_PATH];
    if (VoPathGetFull(text.c_str(), full, VO_MAX_PATH)) return full;
    return text;
}

bool ReadLevel(const CommandLine &line, uint32_t *level)
{
    std::string text = line.Value("-l", "6");
    if (text.size() != 1 || text[0] < '0' || text[0] > '9') {
        PrintError("-l takes a level from 0 to 9, not '" + text + "'");
        return false;
    }
    *level = (uint32_t)(text[0] - '0');
    return true;
}

bool ReadSourceDateEpoch(uint64_t *fileTime)
{
    *fileTime = 0;
    const char *text = getenv("SOURCE_DATE_EPOCH");
    if (!text || !*text) return true;
    // Up to the last second of the year 9999, as file times go.
    const unsigned long long kLatest = 253402300799ull;
    char *end = nullptr;
    errno = 0;
    unsigned long long seconds = strtoull(text, &end, 10);
    if (*text < '0' || *text > '9' || *end || errno || seconds > kLatest) {
        PrintError(std::string("SOURCE_DATE_EPOCH takes seconds since 1970 (as date +%s prints), not '") + text + "'");
        return false;
    }
    // File times count 100 ns units from 1601.
    *fileTime = (seconds + 11644473600ull) * 10000000ull;
    return true;
}
