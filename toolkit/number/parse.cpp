// Reading numbers out of text: decimal parsers (through a canonical copy of
// the number), hexadecimal parsers and their Ex variants with a default and
// limits.
#include "number/number.h"

#include <clocale>
#include <cstdlib>
#include <cstring>

#include "lang/inat.h"

namespace {

// Room of the canonical copy: 63 characters and the terminator.
const int kCanonicalChars = 64;

// A number run reduced to ASCII: an optional "-", digits, and "." for each
// decimal separator; separators for grouping are dropped.
struct CanonicalNumber {
    char text[kCanonicalChars];
    int length = 0;
    const VOCHAR *end = nullptr;

    void Put(char c)
    {
        // Characters past the room are consumed but not kept.
        if (length < kCanonicalChars - 1) text[length++] = c;
        text[length] = 0;
    }
};

bool StartsWith(const VOCHAR *p, const VOCHAR *prefix, int length)
{
    for (int i = 0; i < length; ++i)
        if (p[i] != prefix[i]) return false;
    return true;
}

// Only ASCII digits: the canonical text is read by the C library, which
// knows no other digits.
bool IsAsciiDigit(VOCHAR c)
{
    return c >= '0' && c <= '9';
}

void Canonicalise(const VOCHAR *text, bool localeAware, CanonicalNumber &n)
{
    n.text[0] = 0;
    n.end = text;
    if (!text) return;
    const tVOINAT *inat = localeAware ? VoGetInatRecord() : nullptr;
    const VOCHAR *p = text;
    while (*p && VoIsSpace(*p)) ++p;
    if (*p == '-') {
        n.Put('-');
        ++p;
    }
    while (*p) {
        if (inat) {
            // An empty separator would match everywhere; it never counts.
            if (inat->thousandSepLen > 0 && StartsWith(p, inat->thousandSep, inat->thousandSepLen)) {
                p += inat->thousandSepLen;
                continue;
            }
            if (inat->decimalSepLen > 0 && StartsWith(p, inat->decimalSep, inat->decimalSepLen)) {
                n.Put('.');
                p += inat->decimalSepLen;
                continue;
            }
        } else if (*p == ',') {
            ++p;
            continue;
        } else if (*p == '.') {
            n.Put('.');
            ++p;
            continue;
        }
        if (!IsAsciiDigit(*p)) break;
        n.Put((char)*p);
        ++p;
    }
    n.end = p;
}

// The value of a canonical text. strtod reads the decimal point of the C
// library's current locale (the process may have set any), so the "." goes
// in as that point; the text ends before a second ".", where reading would
// stop anyway. At 63 characters a value can neither overflow nor underflow
// a double.
double CanonicalToDouble(const CanonicalNumber &n)
{
    const int kPointChars = 4;
    const char *point = localeconv()->decimal_point;
    size_t pointLength = point ? strlen(point) : 0;
    if (pointLength == 0 || pointLength > kPointChars) point = ".", pointLength = 1;
    char text[kCanonicalChars + kPointChars];
    size_t length = 0;
    bool pointSeen = false;
    for (int i = 0; i < n.length; ++i) {
        if (n.text[i] != '.') {
            text[length++] = n.text[i];
            continue;
        }
        if (pointSeen) break;
        pointSeen = true;
        memcpy(text + length, point, pointLength);
        length += pointLength;
    }
    text[length] = 0;
    return strtod(text, nullptr);
}

void StoreEnd(const VOCHAR **end, const VOCHAR *position)
{
    if (end) *end = position;
}

// The leading digits of the canonical text, wrapping at the type's width.
template <typename T>
T AccumulateDigits(const char *text)
{
    T value = 0;
    for (const char *p = text; *p >= '0' && *p <= '9'; ++p) value = (T)(value * 10u + (T)(*p - '0'));
    return value;
}

// The C library's conversion of the canonical text (digits and "-" read
// the same in every C locale), saturating at the 64-bit limits.
long long ConvertSigned(const char *text)
{
    return std::strtoll(text, nullptr, 10);
}

template <typename T>
T AccumulateHex(const VOCHAR *text, const VOCHAR **end)
{
    if (!text) {
        StoreEnd(end, nullptr);
        return 0;
    }
    const VOCHAR *p = text;
    while (*p && VoIsSpace(*p)) ++p;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
    T value = 0;
    for (;; ++p) {
        unsigned digit;
        if (*p >= '0' && *p <= '9') digit = (unsigned)(*p - '0');
        else if (*p >= 'a' && *p <= 'f') digit = (unsigned)(*p - 'a' + 10);
        else if (*p >= 'A' && *p <= 'F') digit = (unsigned)(*p - 'A' + 10);
        else break;
        value = (T)((value << 4) | digit);
    }
    StoreEnd(end, p);
    return value;
}

// The Ex rule: a zero that was not read cleanly (the text goes on with
// something other than white space) gives the default; then the limits.
template <typename T>
T ApplyDefaultAndLimits(T value, const VOCHAR *position, T def, T minimum, T maximum,
                        const VOCHAR **end)
{
    if (value == 0 && (!position || (*position && !VoIsSpace(*position)))) value = def;
    StoreEnd(end, position);
    if (value < minimum) return minimum;
    if (value > maximum) return maximum;
    return value;
}

}  // namespace

uint32_t VoTextToDWordToken(const VOCHAR *text, const VOCHAR **end)
{
    CanonicalNumber n;
    Canonicalise(text, true, n);
    StoreEnd(end, n.end);
    return AccumulateDigits<uint32_t>(n.text);
}

uint64_t VoTextToDWordLongToken(const VOCHAR *text, const VOCHAR **end)
{
    CanonicalNumber n;
    Canonicalise(text, true, n);
    StoreEnd(end, n.end);
    return AccumulateDigits<uint64_t>(n.text);
}

int32_t VoTextToLongToken(const VOCHAR *text, const VOCHAR **end)
{
    CanonicalNumber n;
    Canonicalise(text, true, n);
    StoreEnd(end, n.end);
    long long value = ConvertSigned(n.text);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return (int32_t)value;
}

int64_t VoTextToLongLongToken(const VOCHAR *text, const VOCHAR **end)
{
    CanonicalNumber n;
    Canonicalise(text, true, n);
    StoreEnd(end, n.end);
    return (int64_t)ConvertSigned(n.text);
}

uint32_t VoHexToDWordToken(const VOCHAR *text, const VOCHAR **end)
{
    return AccumulateHex<uint32_t>(text, end);
}

uint64_t VoHexToDWordLongToken(const VOCHAR *text, const VOCHAR **end)
{
    return AccumulateHex<uint64_t>(text, end);
}

double VoTextToDoubleToken(const VOCHAR *text, const VOCHAR **end, int localeAware)
{
    CanonicalNumber n;
    Canonicalise(text, localeAware != 0, n);
    StoreEnd(end, n.end);
    return CanonicalToDouble(n);
}

uint32_t VoTextToDWordTokenEx(const VOCHAR *text, uint32_t def, uint32_t minimum,
                              uint32_t maximum, const VOCHAR **end)
{
    const VOCHAR *position;
    uint32_t value = VoTextToDWordToken(text, &position);
    return ApplyDefaultAndLimits(value, position, def, minimum, maximum, end);
}

uint64_t VoTextToDWordLongTokenEx(const VOCHAR *text, uint64_t def, uint64_t minimum,
                                  uint64_t maximum, const VOCHAR **end)
{
    const VOCHAR *position;
    uint64_t value = VoTextToDWordLongToken(text, &position);
    return ApplyDefaultAndLimits(value, position, def, minimum, maximum, end);
}

int32_t VoTextToLongTokenEx(const VOCHAR *text, int32_t def, int32_t minimum,
                            int32_t maximum, const VOCHAR **end)
{
    const VOCHAR *position;
    int32_t value = VoTextToLongToken(text, &position);
    return ApplyDefaultAndLimits(value, position, def, minimum, maximum, end);
}

int64_t VoTextToLongLongTokenEx(const VOCHAR *text, int64_t def, int64_t minimum,
                                int64_t maximum, const VOCHAR **end)
{
    const VOCHAR *position;
    int64_t value = VoTextToLongLongToken(text, &position);
    return ApplyDefaultAndLimits(value, position, def, minimum, maximum, end);
}

uint32_t VoHexToDWordTokenEx(const VOCHAR *text, uint32_t def, uint32_t minimum,
                             uint32_t maximum, const VOCHAR **end)
{
    const VOCHAR *position;
    uint32_t value = VoHexToDWordToken(text, &position);
    return ApplyDefaultAndLimits(value, position, def, minimum, maximum, end);
}

uint64_t VoHexToDWordLongTokenEx(const VOCHAR *text, uint64_t def, uint64_t minimum,
                                 uint64_t maximum, const VOCHAR **end)
{
    const VOCHAR *position;
    uint64_t value = VoHexToDWordLongToken(text, &position);
    return ApplyDefaultAndLimits(value, position, def, minimum, maximum, end);
}

double VoTextToDoubleTokenEx(const VOCHAR *text, double def, double minimum,
                             double maximum, const VOCHAR **end, int localeAware)
{
    const VOCHAR *position;
    double value = VoTextToDoubleToken(text, &position, localeAware);
    return ApplyDefaultAndLimits(value, position, def, minimum, maximum, end);
}
