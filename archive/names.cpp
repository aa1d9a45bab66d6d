// Entry names and where they land in the file system.
#include "archive/names.h"

#include "fileio.h"

namespace {

bool IsSeparator(VOCHAR c)
{
    return c == '\\' || c == '/';
}

VOCHAR Upper(VOCHAR c)
{
    return c >= 'a' && c <= 'z' ? (VOCHAR)(c - 'a' + 'A') : c;
}

bool SameNoCase(const VOCHAR *text, size_t length, const char *word)
{
    size_t i = 0;
    for (; i < length && word[i]; ++i)
        if (Upper(text[i]) != (VOCHAR)word[i]) return false;
    return i == length && !word[i];
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9, also with an extension ("nul.txt"),
// open devices on Windows whatever folder they stand in.
bool IsDeviceName(const VOCHAR *component, size_t length)
{
    size_t stem = 0;
    while (stem < length && component[stem] != '.') ++stem;
    while (stem > 0 && component[stem - 1] == ' ') --stem;
    static const char *const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char *device : devices)
        if (SameNoCase(component, stem, device)) return true;
    if (stem == 4 && (SameNoCase(component, 3, "COM") || SameNoCase(component, 3, "LPT")))
        return component[3] >= '1' && component[3] <= '9';
    return false;
}

bool IsDotDot(const VOCHAR *component, size_t length)
{
    // Windows drops trailing dots and blanks, so ".. " and "..." name the
    // parent as well.
    size_t dots = 0;
    for (size_t i = 0; i < length; ++i) {
        if (component[i] == '.') ++dots;
        else if (component[i] != ' ') return false;
    }
    return dots >= 2;
}

// What is wrong with one part of a name (between separators), or null.
const char *PartProblem(const VOCHAR *part, size_t length)
{
    if (length == 0) return "an empty folder name (two separators in a row)";
    if (IsDotDot(part, length)) return "a '..' part, which leaves the destination";
    if (IsDeviceName(part, length)) return "a device name of Windows (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
    for (size_t i = 0; i < length; ++i) {
        VOCHAR c = part[i];
        if (c < 0x20) return "a control character, which Windows refuses in names";
        if (c == ':' || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return "a character Windows refuses in names (< > : \" | ? *)";
    }
    if (part[length - 1] == '.' || part[length - 1] == ' ')
        return "a name ending in a dot or a blank, which Windows drops";
    return nullptr;
}

}  // namespace

const char *ArcWindowsNameProblem(const VOCHAR *name)
{
    if (!name || !*name) return "an empty name";
    if (IsSeparator(name[0])) return "an absolute path";
    if (name[1] == ':' && ((name[0] | 0x20) >= 'a' && (name[0] | 0x20) <= 'z')) return "a path with a drive";
    const VOCHAR *part = name;
    for (const VOCHAR *p = name;; ++p) {
        if (*p && !IsSeparator(*p)) continue;
        if (*p || p != part) {  // a folder entry's trailing separator ends no part
            const char *problem = PartProblem(part, (size_t)(p - part));
            if (problem) return problem;
        }
        if (!*p) return nullptr;
        part = p + 1;
    }
}

const char *ArcFileNameProblem(const VOCHAR *fileName)
{
    for (const VOCHAR *p = fileName; p && *p; ++p)
        if (*p == '\\') return "a '\\' in the name, which Windows takes for a folder";
    size_t length = VoStrLen(fileName);
    return length ? PartProblem(fileName, length) : "an empty name";
}

const VOCHAR *ArcEntryLastPart(const VOCHAR *name)
{
    const VOCHAR *last = name;
    for (const VOCHAR *p = name; *p; ++p)
        if (*p == '\\' || *p == ':') last = p + 1;
    return last;
}

bool ArcIsSafeEntryName(const VOCHAR *name)
{
    if (!name || !*name || IsSeparator(name[0])) return false;
    for (const VOCHAR *p = name; *p; ++p)
        if (*p == ':' || *p < 0x20) return false;
    const VOCHAR *component = name;
    for (const VOCHAR *p = name;; ++p) {
        if (*p && !IsSeparator(*p)) continue;
        size_t length = (size_t)(p - component);
        if (IsDotDot(component, length) || IsDeviceName(component, length)) return false;
        if (!*p) break;
        component = p + 1;
    }
    return true;
}

bool ArcComposeTargetPath(const VOCHAR *dest, const VOCHAR *relative, VOCHAR *out, size_t size)
{
    size_t n = 0;
    for (const VOCHAR *p = dest; p && *p; ++p) {
        if (n + 1 >= size) return false;
        out[n++] = *p;
    }
    if (n > 0 && out[n - 1] != VO_PATH_SEPARATOR) {
        if (n + 1 >= size) return false;
        out[n++] = VO_PATH_SEPARATOR;
    }
    for (const VOCHAR *p = relative; *p; ++p) {
        if (n + 1 >= size) return false;
        out[n++] = IsSeparator(*p) ? VO_PATH_SEPARATOR : *p;
    }
    out[n] = 0;
    return true;
}

bool ArcPathCrossesLink(const VOCHAR *path, size_t keep, bool *foldersExist, uint32_t *attributes)
{
    if (foldersExist) *foldersExist = false;
    if (attributes) *attributes = VO_INVALID_ATTRIBUTES;
    VOCHAR prefix[VO_MAX_PATH * 2];
    size_t length = VoStrLen(path);
    if (length >= sizeof prefix / sizeof prefix[0]) return true;
    for (size_t i = keep; i < length; ++i) {
        if (path[i] != VO_PATH_SEPARATOR) continue;
        VoStrCopyN(prefix, path, i + 1);
        uint32_t attributes = VoPathGetAttributes(prefix);
        if (attributes == VO_INVALID_ATTRIBUTES) return false;  // the rest is still to be made
        if (!(attributes & VO_ATTR_DIRECTORY) || (attributes & VO_ATTR_REPARSE)) return true;
    }
    if (foldersExist) *foldersExist = true;
    // The target itself: an existing link is never written through.
    uint32_t own = VoPathGetAttributes(path);
    if (attributes) *attributes = own;
    return own != VO_INVALID_ATTRIBUTES && (own & VO_ATTR_REPARSE);
}
