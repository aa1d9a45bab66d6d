// voxpack's command-line plumbing: arguments, text conversion, messages and
// exit codes, shared by every command.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "log/clog.h"
#include "platform.h"

// Exit codes.
enum {
    VOXPACK_OK = 0,
    VOXPACK_SOME_FAILED = 1,  // some entries failed (CRC, refused name, ...)
    VOXPACK_USAGE = 2,        // bad command line, or the archive cannot be opened
};

using VoText = std::basic_string<VOCHAR>;

VoText ToText(const std::string &utf8);
std::string ToUtf8(const VOCHAR *text);

// The parsed command line of one command: options may stand before or
// after the positional arguments; "--" ends the options.
struct CommandLine {
    std::string command;
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;  // name, value ("" for flags)
    bool Has(const char *name) const;
    std::string Value(const char *name, const std::string &fallback = "") const;
    std::vector<std::string> Values(const char *name) const;  // of a repeatable option
};

// Option names that take a value, per command; every other option is a flag.
// Returns false (after printing the cause) when the line is malformed.
bool ParseCommandLine(const std::vector<std::string> &args, const std::vector<std::string> &valued,
                      const std::vector<std::string> &known, CommandLine &out);

// The log of --log FILE (disabled without it), and a line written to it.
CLog &VoxpackLog();
void LogLine(uint32_t type, const std::string &text);

// "voxpack: " + text, one line on standard error (and an error line in the
// log).
void PrintError(const std::string &text);
// A name as it may be printed: control characters (a newline, an escape
// sequence) shown as \xNN, so that a hostile entry name can neither split
// an error line nor drive the terminal.
std::string Printable(const std::string &text);
// True when standard error is a terminal (progress bars, questions), and
// -q was not given.
bool IsTerminal();
// -q: error lines only, no progress, no questions, no notes.
void SetQuiet(bool quiet);
bool IsQuiet();
// The deflate level of "-l" (default 6); false (after printing why) when it
// is not 0 to 9.
bool ReadLevel(const CommandLine &line, uint32_t *level);
// SOURCE_DATE_EPOCH, the reproducible-builds convention (seconds since
// 1970, UTC), as a file time: the latest time an archive written now may
// carry, 0 when the variable is unset or empty. False (after printing why)
// when it is not such a number.
bool ReadSourceDateEpoch(uint64_t *fileTime);
// The full path of a file or folder argument.
VoText FullPath(const std::string &path);
