// Text primitives of the platform layer.
#include "platform.h"

#include <cwctype>

size_t VoStrLen(const VOCHAR *text)
{
    if (!text) return 0;
    const VOCHAR *p = text;
    while (*p) ++p;
    return (size_t)(p - text);
}

size_t VoStrCopyN(VOCHAR *out, const VOCHAR *text, size_t size)
{
    if (!out || size == 0) return 0;
    size_t n = 0;
    if (text)
        while (n + 1 < size && text[n]) { out[n] = text[n]; ++n; }
    out[n] = 0;
    return n;
}

#ifdef _WIN32
int VoStrCmpI(const VOCHAR *a, const VOCHAR *b)
{
    return lstrcmpiW(a ? a : L"", b ? b : L"");
}
#else
static uint32_t FoldCase(VOCHAR c)
{
    // Units of a surrogate pair are compared as they stand.
    if (c >= 0xD800 && c <= 0xDFFF) return c;
    return (uint32_t)towlower((wint_t)c);
}

int VoStrCmpI(const VOCHAR *a, const VOCHAR *b)
{
    static const VOCHAR empty[1] = {0};
    if (!a) a = empty;
    if (!b) b = empty;
    for (;; ++a, ++b) {
        uint32_t ca = FoldCase(*a), cb = FoldCase(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) return 0;
    }
}
#endif

bool VoIsDigit(VOCHAR c)
{
    return iswdigit((wint_t)c) != 0;
}

bool VoIsSpace(VOCHAR c)
{
    return iswspace((wint_t)c) != 0;
}

size_t VoAsciiToText(VOCHAR *out, const char *text, size_t size)
{
    if (!out || size == 0) return 0;
    size_t n = 0;
    if (text)
        while (n + 1 < size && text[n]) { out[n] = (VOCHAR)(unsigned char)text[n]; ++n; }
    out[n] = 0;
    return n;
}
