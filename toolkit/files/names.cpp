// Names and paths as text: splitting, joining, roots, extensions, the
// wildcard match and the relative-path helpers. Nothing here touches the
// file system.
#include "files/files_internal.h"

#include <cwctype>

using vofiles::BoundedLength;
using vofiles::FoldCase;
using vofiles::IsSeparator;

namespace {

// A colon ends the drive part of a Windows path ("C:name"); POSIX has none.
bool EndsDrive(VOCHAR c)
{
#ifdef _WIN32
    return c == ':';
#else
    (void)c;
    return false;
#endif
}

// Steps one character forward the way the system does (CharNextW on
// Windows, which never steps over a separator; one unit elsewhere).
const VOCHAR *NextChar(const VOCHAR *p)
{
#ifdef _WIN32
    const VOCHAR *next = CharNextW(p);
    return next == p && *p ? p + 1 : next;
#else
    return p + 1;
#endif
}

const VOCHAR kEmpty[1] = {0};

}  // namespace

namespace vofiles {

bool JoinPath(VOCHAR *out, int outChars, const VOCHAR *folder, const VOCHAR *name)
{
    if (!out || outChars <= 0) return false;
    out[0] = 0;
    size_t folderLength = VoStrLen(folder), nameLength = VoStrLen(name);
    bool slash = folderLength > 0 && !IsSeparator(folder[folderLength - 1]);
    size_t total = folderLength + (slash ? 1 : 0) + nameLength;
    if (total + 1 > (size_t)outChars) return false;
    size_t n = VoStrCopyN(out, folder, (size_t)outChars);
    if (slash) out[n++] = VO_PATH_SEPARATOR;
    VoStrCopyN(out + n, name, (size_t)outChars - n);
    return true;
}

VOCHAR FoldCase(VOCHAR c)
{
    if (c >= 0xD800 && c <= 0xDFFF) return c;  // halves of a pair stay as they are
    return (VOCHAR)towlower((wint_t)c);
}

}  // namespace vofiles

// ---------------------------------------------------------------------------
// Splitting.

const VOCHAR *VoGetFileNamePtrW(const VOCHAR *path)
{
    if (!path) return nullptr;
    const VOCHAR *name = path;
    for (const VOCHAR *p = path; *p; ++p)
        if (IsSeparator(*p) || EndsDrive(*p)) name = p + 1;
    return name;
}

const VOCHAR *VoGetFileNameExtensionPtrW(const VOCHAR *path)
{
    if (!path) return nullptr;
    const VOCHAR *dot = nullptr, *end = path;
    for (; *end; ++end)
        if (*end == '.') dot = end;
    if (!dot) return end;
    // "name. txt" or "v1. final" have no extension.
    for (const VOCHAR *p = dot + 1; *p; ++p)
        if (VoIsSpace(*p)) return end;
    return dot;
}

int VoAddSlashToPathName(VOCHAR *path, int bufChars)
{
    int length = BoundedLength(path, bufChars);
    if (length <= 0) return 0;
    if (IsSeparator(path[length - 1])) return length;
    if (length + 2 > bufChars) return 0;
    path[length] = VO_PATH_SEPARATOR;
    path[length + 1] = 0;
    return length + 1;
}

int VoRemoveSlashFromPathNameEnd(VOCHAR *path, int bufChars)
{
    int length = BoundedLength(path, bufChars);
    if (length <= 0) return 0;
    if (!IsSeparator(path[length - 1])) return length;
    path[length - 1] = 0;
    return length - 1;
}

int VoGetPathNameFromFilePath(const VOCHAR *path, VOCHAR *out, int outChars)
{
    if (!path || !path[0]) return 0;
    if (out && outChars > 0) out[0] = 0;
    int length = (int)(VoGetFileNamePtrW(path) - path);
    if (length > 0 && out && outChars >= length + 1) VoStrCopyN(out, path, (size_t)length + 1);
    return length;
}

int VoGetRootPathFromFilePath(const VOCHAR *path, VOCHAR *out, int outChars)
{
    if (out && outChars > 0) out[0] = 0;
    if (!path || !path[0]) return 0;
    VOCHAR copy[VO_MAX_PATH];
    VoStrCopyN(copy, path, VO_MAX_PATH);
    const VOCHAR *last = nullptr;  // the separator that ends the root
    const VOCHAR *p = copy;
#ifdef _WIN32
    if (copy[0] == '\\' && copy[1] == '\\') {
        // "\\server\share\": the separator behind the share name.
        int seen = 0;
        for (p = copy + 2; *p; p = NextChar(p))
            if (*p == '\\' && ++seen == 2) {
                last = p;
                break;
            }
    } else
#endif
    {
        for (; *p; p = NextChar(p))
            if (IsSeparator(*p)) {
                last = p;
                break;
            }
    }
    if (!last) return 0;
    int length = (int)(last - copy) + 1;
    if (out && outChars >= length + 1) VoStrCopyN(out, copy, (size_t)length + 1);
    return length;
}

// ---------------------------------------------------------------------------
// Names.

int VoValidateFileName(VOCHAR *name, int fix)
{
    static const char kInvalid[] = "\"*/:<>?\\|";
    if (!name) return 1;
    int clean = 1;
    for (VOCHAR *p = name; *p; ++p) {
        bool invalid = false;
        for (const char *q = kInvalid; *q; ++q)
            if (*p == (VOCHAR)*q) invalid = true;
        if (!invalid) continue;
        if (!fix) return 0;
        *p = '_';
        clean = 0;
    }
    return clean;
}

int VoAddExtensionToPathName(VOCHAR *path, int bufChars, const VOCHAR *extension)
{
    int length = BoundedLength(path, bufChars);
    if (length < 0) return 0;
    if (!extension) return length;
    if (extension[0] == '.') ++extension;
    VOCHAR *present = VoGetFileNameExtensionPtrW(VoGetFileNamePtrW(path));
    if (present[0] == '.' && VoStrCmpI(present + 1, extension) == 0) return length;
    // Overwrite the present extension (or append at the end), cut to what
    // the buffer holds.
    int position = (int)(present - path);
    int room = bufChars - position - 1;
    int written = 0;
    if (room > 0) present[written++] = '.';
    for (const VOCHAR *e = extension; *e && written < room; ++e) present[written++] = *e;
    present[written] = 0;
    return position + written;
}

VOCHAR *VoGetFileNameWithoutPathOrExtension(const VOCHAR *path, VOCHAR *out, int outChars)
{
    if (!out || outChars <= 0) return out;
    VoStrCopyN(out, path ? VoGetFileNamePtrW(path) : kEmpty, (size_t)outChars);
    *VoGetFileNameExtensionPtrW(out) = 0;
    return out;
}

// The match is simple and has no backtracking: it compares one unit with
// one unit, case-sensitively. "?" takes any one unit, a dot too. "*" skips
// name units up to the first "." or the unit that follows the star in the
// pattern, whichever comes first; so a star never swallows a dot ("a*"
// does not match "ab.c"). A pattern that ends before the name matches only
// when exactly one dot is left ("abc" matches "abc."). When the name ends
// first, the rest of the pattern must be empty, begin with a star, or be
// one dot. The pattern "*" alone matches everything.
int VoIsMatchWildCard(const VOCHAR *pattern, const VOCHAR *name)
{
    if (!pattern || !name) return 0;
    if (pattern[0] == '*' && pattern[1] == 0) return 1;
    const VOCHAR *p = pattern, *n = name;
    while (*n) {
        if (*p == 0) return n[0] == '.' && n[1] == 0;
        if (*p == '*') {
            VOCHAR stop = p[1];
            while (*n && *n != '.' && *n != stop) ++n;
            ++p;
        } else if (*p == '?' || *p == *n) {
            ++p;
            ++n;
        } else {
            return 0;
        }
    }
    return *p == 0 || *p == '*' || (p[0] == '.' && p[1] == 0);
}

// ---------------------------------------------------------------------------
// Relative paths.

const VOCHAR *VoGetFileNamePtrRelative(const VOCHAR *reference, const VOCHAR *path)
{
    if (!path) return nullptr;
    if (!reference) reference = kEmpty;
    size_t i = VoStrLen(path), j = VoStrLen(reference);
    while (i > 0 && j > 0 && FoldCase(path[i - 1]) == FoldCase(reference[j - 1])) {
        --i;
        --j;
    }
    // path[i..] is the longest common tail. It starts a whole component only
    // when both texts have a separator (or their start) just in front of it;
    // otherwise its first, partial component is skipped.
    const VOCHAR *p = path + i;
    bool whole = *p && (i == 0 || IsSeparator(path[i - 1])) && (j == 0 || IsSeparator(reference[j - 1]));
    if (!whole)
        while (*p && !IsSeparator(*p)) ++p;
    while (IsSeparator(*p)) ++p;
    return p;
}

HRESULT VoGetBasePathRelative(const VOCHAR *reference, const VOCHAR *path, VOCHAR *out, int outChars)
{
    if (!path || !out || outChars <= 0) return E_INVALIDARG;
    size_t length = (size_t)(VoGetFileNamePtrRelative(reference, path) - path);
    size_t copied = VoStrCopyN(out, path, length + 1 < (size_t)outChars ? length + 1 : (size_t)outChars);
    if (copied < length) return E_FAIL;
    if (length == 0 || IsSeparator(out[length - 1])) return S_OK;
    return VoAddSlashToPathName(out, outChars) ? S_OK : E_FAIL;
}

HRESULT VoReplaceBasePathRelative(const VOCHAR *path, const VOCHAR *oldBase, const VOCHAR *newBase,
                                  VOCHAR *out, int outChars)
{
    if (!out || outChars <= 0) return E_INVALIDARG;
    out[0] = 0;
    if (!path || !oldBase) return E_INVALIDARG;
    if (!newBase) newBase = kEmpty;
    size_t k = 0;
    for (; oldBase[k]; ++k)
        if (!path[k] || FoldCase(path[k]) != FoldCase(oldBase[k])) return E_FAIL;
    const VOCHAR *rest = path + k;
    size_t baseLength = VoStrLen(newBase), total = baseLength + VoStrLen(rest);
    if (total > VO_MAX_PATH - 1) return E_FAIL;
    VOCHAR result[VO_MAX_PATH];
    VoStrCopyN(result, newBase, VO_MAX_PATH);
    VoStrCopyN(result + baseLength, rest, VO_MAX_PATH - baseLength);
    VoStrCopyN(out, result, (size_t)outChars);
    return total < (size_t)outChars ? S_OK : E_FAIL;
}
