// What create, add and package take in.
#include "inputs.h"

#include <cwctype>
#include <fstream>
#include <iostream>

#include "fileio.h"

namespace {

// The folders of version control systems and their files.
const char *const kVcsNames[] = {".git", ".gitignore", ".gitattributes", ".gitmodules", ".svn", ".hg", ".hgignore",
                                 ".hgtags", ".bzr", ".bzrignore", "CVS", ".cvsignore", "_darcs"};

bool IsSeparator(VOCHAR c) { return c == '/' || c == '\\'; }

VOCHAR Fold(VOCHAR c)
{
    if (c >= 0xD800 && c <= 0xDFFF) return c;  // halves of a pair as they stand
    return (VOCHAR)towlower((wint_t)c);
}

// The parts of a path between separators, empty parts dropped.
std::vector<VoText> SplitParts(const VoText &path)
{
    std::vector<VoText> parts(1);
    for (VOCHAR c : path) {
        if (!IsSeparator(c)) parts.back() += c;
        else if (!parts.back().empty()) parts.emplace_back();
    }
    if (parts.back().empty()) parts.pop_back();
    return parts;
}

bool ReadList(std::istream &in, std::vector<std::string> &names)
{
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) names.push_back(line);
    }
    return !in.bad();
}

bool IsFolderAttributes(uint32_t attributes)
{
    return attributes != VO_INVALID_ATTRIBUTES && (attributes & VO_ATTR_DIRECTORY) && !(attributes & VO_ATTR_REPARSE);
}

struct Expansion {
    const std::vector<VoText> &parts;
    size_t fixedLength;  // units of the path before the first pattern part
    const VoText &folder;
    bool recurse;
    const std::string &arg;
    std::vector<InputPath> &out;
};

// The archive folder of a match: the --folder prefix, then the folders
// between the pattern's fixed start and the match.
VoText ArchiveFolder(const Expansion &e, const VoText &match)
{
    VoText folder = e.folder;
    size_t end = match.find_last_of(VO_PATH_SEPARATOR);
    if (end != VoText::npos && end > e.fixedLength) {
        VoText between = match.substr(e.fixedLength, end - e.fixedLength);
        for (VOCHAR &c : between)
            if (c == VO_PATH_SEPARATOR) c = '\\';
        folder += (folder.empty() ? VoText() : VoText(1, '\\')) + between;
    }
    return folder;
}

// Matches parts[i] (a pattern or a plain name) in folder, and the parts
// after it below what matched.
void ExpandPart(const Expansion &e, const VoText &folder, size_t i)
{
    bool last = i + 1 == e.parts.size();
    auto take = [&](const VoText &path, uint32_t attributes) {
        if (!last) {
            if (IsFolderAttributes(attributes)) ExpandPart(e, path, i + 1);
        } else if (!IsFolderAttributes(attributes) || e.recurse) {
            e.out.push_back({e.arg, path, ArchiveFolder(e, path)});
        }
    };
    VoText prefix = folder.empty() || folder.back() == VO_PATH_SEPARATOR ? folder : folder + VO_PATH_SEPARATOR;
    if (!IsPattern(ToUtf8(e.parts[i].c_str()))) {
        VoText path = prefix + e.parts[i];
        uint32_t attributes = VoPathGetAttributes(path.c_str());
        if (attributes != VO_INVALID_ATTRIBUTES) take(path, attributes);
        return;
    }
    tVOFINDDATA data;
    HVOFIND find = VoFindFirst(folder.c_str(), &data);
    for (bool more = find != nullptr; more; more = VoFindNext(find, &data))
        if (MatchWildcard(e.parts[i].c_str(), data.name) && !(data.attributes & VO_ATTR_DEVICE))
            take(prefix + data.name, data.attributes);
    if (find) VoFindClose(find);
}

}  // namespace

bool ReadInputNames(const std::vector<std::string> &args, std::vector<std::string> &names)
{
    for (const std::string &arg : args) {
        if (arg == "-") {
            if (!ReadList(std::cin, names)) {
                PrintError("standard input: the list of names cannot be read");
                return false;
            }
        } else if (arg.size() > 1 && arg[0] == '@') {
            std::ifstream list(arg.substr(1), std::ios::binary);
            if (!list || !ReadList(list, names)) {
                PrintError(arg.substr(1) + ": the list of names cannot be read");
                return false;
            }
        } else {
            names.push_back(arg);
        }
    }
    return true;
}

bool IsPattern(const std::string &name) { return name.find_first_of("*?") != std::string::npos; }

bool ExpandInput(const std::string &name, const VoText &folder, bool recurse, std::vector<InputPath> &out)
{
    if (!IsPattern(name)) {
        out.push_back({name, FullPath(name), folder});
        return true;
    }
    VoText full = FullPath(name);
    std::vector<VoText> parts = SplitParts(full);
    size_t first = 0;
    while (first < parts.size() && !IsPattern(ToUtf8(parts[first].c_str()))) ++first;
    // The fixed start: the full path up to the first pattern part.
    size_t fixedLength = 0;
    for (size_t i = 0, seen = 0; i < full.size() && seen < first; ++i)
        if (IsSeparator(full[i]) && i > 0 && !IsSeparator(full[i - 1])) fixedLength = i + 1, ++seen;
    VoText root = full.substr(0, fixedLength);
    if (root.empty() && !full.empty() && IsSeparator(full[0])) root = VoText(1, VO_PATH_SEPARATOR);
    for (VOCHAR &c : root)
        if (IsSeparator(c)) c = VO_PATH_SEPARATOR;
    size_t before = out.size();
    Expansion e{parts, root.size(), folder, recurse, name, out};
    ExpandPart(e, root, first);
    return out.size() > before;
}

bool MatchWildcard(const VOCHAR *pattern, const VOCHAR *text)
{
    const VOCHAR *star = nullptr, *resume = nullptr;
    while (*text) {
        if (*pattern == '*') {
            star = pattern++;
            resume = text;
        } else if (*pattern == '?' || (*pattern && Fold(*pattern) == Fold(*text))) {
            ++pattern;
            ++text;
        } else if (star) {
            pattern = star + 1;
            text = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == 0;
}

void CExcludes::Read(const CommandLine &line)
{
    for (const std::string &pattern : line.Values("-x")) m_patterns.push_back(SplitParts(ToText(pattern)));
    if (line.Has("--exclude-vcs"))
        for (const char *name : kVcsNames) m_patterns.push_back({ToText(name)});
}

void CExcludes::Attach(CArchive2 &archive) const
{
    if (m_patterns.empty()) return;
    archive.SetAddFilter([](void *self, const VOCHAR *path) { return ((const CExcludes *)self)->Excluded(path); },
                         (void *)this);
}

bool CExcludes::Excluded(const VOCHAR *path) const
{
    for (const VoText &kept : m_kept)
        if (kept == path) return false;
    std::vector<VoText> parts = SplitParts(path);
    for (const std::vector<VoText> &pattern : m_patterns) {
        if (pattern.empty() || pattern.size() > parts.size()) continue;
        size_t offset = parts.size() - pattern.size();
        bool match = true;
        for (size_t i = 0; i < pattern.size() && match; ++i)
            match = MatchWildcard(pattern[i].c_str(), parts[offset + i].c_str());
        if (match) return true;
    }
    return false;
}
