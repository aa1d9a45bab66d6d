// What create, add and package take in: names from the command line, from
// @LISTFILE or from standard input ("-"), patterns expanded into what they
// match, and the files left out by -x and --exclude-vcs.
//
// Patterns: "*" matches any run of characters, "?" one character, in any
// part of a path ("app/*/*.txt"); letter case is ignored, as Windows does,
// and "\" separates as "/" does.
#pragma once

#include <string>
#include <vector>

#include "archive/archive.h"
#include "cli.h"

// One path to add, and the archive folder it goes under ("" for none).
struct InputPath {
    std::string arg;  // as given, for messages
    VoText path;      // full path of a file or folder
    VoText folder;
};

// The names of args, with each @LISTFILE replaced by the names in it and
// "-" by those on standard input (one a line, UTF-8). False (after printing
// why) when a list cannot be read.
bool ReadInputNames(const std::vector<std::string> &args, std::vector<std::string> &names);

// True when the name holds "*" or "?".
bool IsPattern(const std::string &name);

// Appends the paths the name stands for to out: a plain name itself, below
// folder; a pattern what it matches, in name order, each below folder and
// the folders between the pattern's fixed start and it (so "app/*/a.txt"
// stores sub\a.txt). Folders are matched only with recurse. False when a
// pattern matches nothing.
bool ExpandInput(const std::string &name, const VoText &folder, bool recurse, std::vector<InputPath> &out);

// True when text matches pattern ("*", "?", letter case ignored).
bool MatchWildcard(const VOCHAR *pattern, const VOCHAR *text);

// -x PATTERN (repeatable) and --exclude-vcs: a pattern without a separator
// is matched against the name of every file and folder; one with a
// separator against the last parts of the path ("docs/*.tmp").
class CExcludes {
public:
    void Read(const CommandLine &line);
    // Makes every add and estimate of archive skip what is excluded.
    void Attach(CArchive2 &archive) const;
    bool Excluded(const VOCHAR *path) const;
    // A full path never left out, whatever the patterns say.
    void Keep(const VoText &path) { m_kept.push_back(path); }

private:
    std::vector<std::vector<VoText>> m_patterns;  // each split into its parts
    std::vector<VoText> m_kept;
};
