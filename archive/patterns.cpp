// Name patterns shared by extraction, validation and deletion.
//
//   kind 0  "name"    the whole entry name, or its last part, equals it
//   kind 1  "*end"    the whole name, or its last part, ends with "end"
//   kind 2  "*.*"     every entry
//   kind 3  "begin*"  the whole name, or its last part, begins with "begin"
//
// Comparisons ignore case. The last part of an entry name follows its last
// backslash or colon.
#include "archive/archive.h"

namespace {

const VOCHAR *LastPart(const VOCHAR *name)
{
    const VOCHAR *last = name;
    for (const VOCHAR *p = name; *p; ++p)
        if (*p == '\\' || *p == ':') last = p + 1;
    return last;
}

bool EqualsNoCase(const VOCHAR *a, const VOCHAR *b)
{
    return VoStrCmpI(a, b) == 0;
}

bool EndsWith(const VOCHAR *text, const VOCHAR *end)
{
    size_t n = VoStrLen(text), m = VoStrLen(end);
    return m < n && EqualsNoCase(text + (n - m), end);
}

bool BeginsWith(const VOCHAR *text, const VOCHAR *begin)
{
    size_t m = VoStrLen(begin);
    if (VoStrLen(text) < m) return false;
    VOCHAR head[ARC_TEXT_UNITS];
    VoStrCopyN(head, text, m + 1);
    return EqualsNoCase(head, begin);
}

}  // namespace

HRESULT CArchive2::CheckForWildcards(const VOCHAR *pattern, ArcPattern *prepared)
{
    size_t length = VoStrLen(pattern);
    prepared->text[0] = 0;
    prepared->kind = 0;
    if (length == 3 && pattern[0] == '*' && pattern[1] == '.' && pattern[2] == '*') {
        VoStrCopyN(prepared->text, pattern, ARC_TEXT_UNITS);
        prepared->kind = 2;
        return S_OK;
    }
    // Too short to mean anything, or too long to keep whole (a cut pattern
    // would match other entries than the one asked for).
    if (length < 2 || length > ARC_MAX_NAME) {
        ReportError(ARC_ERR_BUFFER, "CheckForWildcards");
        return VO_E_SMALLBUFFER;
    }
    if (pattern[0] == '*') {
        VoStrCopyN(prepared->text, pattern + 1, ARC_TEXT_UNITS);
        prepared->kind = 1;
    } else if (pattern[length - 1] == '*') {
        VoStrCopyN(prepared->text, pattern, length);
        prepared->kind = 3;
    } else {
        VoStrCopyN(prepared->text, pattern, ARC_TEXT_UNITS);
    }
    return S_OK;
}

bool CArchive2::MatchEntryName(const ArcPattern *pattern, const VOCHAR *name)
{
    const VOCHAR *last = LastPart(name);
    switch (pattern->kind) {
    case 0: return EqualsNoCase(name, pattern->text) || EqualsNoCase(last, pattern->text);
    case 1: return EndsWith(name, pattern->text) || EndsWith(last, pattern->text);
    case 2: return true;
    case 3: return BeginsWith(name, pattern->text) || BeginsWith(last, pattern->text);
    }
    return false;
}
