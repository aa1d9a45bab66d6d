// VoPrintF: one pass over the format, no heap use, fixed buffers of 260
// units for a directive, a token name or a number literal, and for the
// printed form of a number. Texts that would not fit those buffers are cut
// (numbers) or copied as they stand (names and literals).
#include "format/format.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "format/tokens.h"
#include "lang/inat.h"
#include "number/number.h"

namespace {

const int kDirectiveUnits = 260;   // directive, token name, number literal
const int kScratchUnits = 260;
// Room given to the locale shaping of a printed number: 259 digits grow by
// their separators.
const int kShapedUnits = 2 * kScratchUnits;

bool IsConversionChar(VOCHAR c)
{
    switch (c) {
    case '!': case '&': case '*': case ',': case ':': case 'E': case 'G': case 'X':
    case 'c': case 'd': case 'e': case 'f': case 'g': case 'i': case 'o': case 's':
    case 'u': case 'x': case 'z':
        return true;
    default:
        return false;
    }
}

// The end of the output buffer of the formatting in progress on this
// thread, or null when the caller vouched for its room (VoPrintF). Writes
// at or past it are dropped, while the position still advances.
thread_local VOCHAR *g_limit = nullptr;

VOCHAR *Put(VOCHAR *o, VOCHAR c)
{
    if (!g_limit || o < g_limit) *o = c;
    return o + 1;
}

VOCHAR *CopyText(VOCHAR *o, const VOCHAR *text, size_t n)
{
    for (size_t i = 0; i < n; ++i) o = Put(o, text[i]);
    return o;
}

// Runs a writer that fills a buffer of its own (a shaped number) and copies
// what it wrote; write(buffer) returns the units written.
template <typename Writer>
VOCHAR *Shaped(VOCHAR *o, Writer write)
{
    VOCHAR buffer[kShapedUnits + 1];
    int n = write(buffer);
    return CopyText(o, buffer, n > 0 ? (size_t)n : 0);
}

// A gathered directive: "%" then the format's characters up to and
// including the conversion character.
struct Directive {
    VOCHAR text[kDirectiveUnits];
    int length = 0;
    VOCHAR conversion = 0;
    bool locale = false;
    bool Bare() const { return length == 2; }
};

// The C library's formatting of one number into a narrow scratch buffer.
// The directive is rebuilt from its flags, width and precision only, so
// that nothing else in it ("%n", size letters) can reach the C library.
struct CFormat {
    char text[48];
    int decimals = -1;  // precision, -1 when none was given
};

CFormat BuildCFormat(const Directive &directive, const char *size, char conversion)
{
    CFormat f;
    int n = 0;
    const VOCHAR *p = directive.text + 1;
    f.text[n++] = '%';
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') {
        if (n < 8) f.text[n++] = (char)*p;
        ++p;
    }
    // Width and precision stay below the scratch buffer: more could not be
    // kept anyway, and the C library is spared absurd requests.
    unsigned width = 0, precision = 0;
    bool hasPrecision = false;
    while (*p >= '0' && *p <= '9') { width = width * 10 + (unsigned)(*p - '0'); if (width > 999) width = 999; ++p; }
    if (*p == '.') {
        hasPrecision = true;
        ++p;
        while (*p >= '0' && *p <= '9') { precision = precision * 10 + (unsigned)(*p - '0'); if (precision > 999) precision = 999; ++p; }
    }
    if (width) n += snprintf(f.text + n, sizeof f.text - n, "%u", width);
    if (hasPrecision) {
        n += snprintf(f.text + n, sizeof f.text - n, ".%u", precision);
        f.decimals = (int)precision;
    }
    snprintf(f.text + n, sizeof f.text - n, "%s%c", size, conversion);
    return f;
}

// Widens the printed number into the scratch buffer; returns its length.
int Widen(VOCHAR *scratch, const char *printed)
{
    return (int)VoAsciiToText(scratch, printed, kScratchUnits);
}

VOCHAR *WriteShapedInteger(VOCHAR *o, const VOCHAR *scratch, bool locale)
{
    if (locale) return Shaped(o, [&](VOCHAR *b) { return VoFormatNumber(scratch, b, kShapedUnits); });
    return CopyText(o, scratch, VoStrLen(scratch));
}

VOCHAR *WriteInteger(VOCHAR *o, const Directive &directive, va_list *ap)
{
    VOCHAR c = directive.conversion;
    bool grouped = directive.locale && (c == 'd' || c == 'i' || c == 'u' || c == 'z');
    if (directive.Bare() && (c == 'd' || c == 'i')) {
        int32_t value = va_arg(*ap, int32_t);
        return Shaped(o, [&](VOCHAR *b) { return VoLongToText(value, b, directive.locale); });
    }
    if (directive.Bare() && c == 'u') {
        uint32_t value = va_arg(*ap, uint32_t);
        return Shaped(o, [&](VOCHAR *b) { return VoDWordToText(value, b, directive.locale); });
    }

    bool wide = directive.length >= 3 && directive.text[1] == 'I' && directive.text[2] == '6';
    char conversion = c == 'z' ? 'd' : (char)c;
    CFormat f = BuildCFormat(directive, wide ? "ll" : "", conversion);
    char printed[kScratchUnits];
    if (wide) {
        int64_t value = va_arg(*ap, int64_t);
        snprintf(printed, sizeof printed, f.text, (long long)value);
    } else {
        int32_t value = va_arg(*ap, int32_t);
        snprintf(printed, sizeof printed, f.text, value);
    }
    VOCHAR scratch[kScratchUnits];
    Widen(scratch, printed);
    return WriteShapedInteger(o, scratch, grouped);
}

int CountDecimals(const VOCHAR *text)
{
    const VOCHAR *dot = nullptr;
    for (const VOCHAR *p = text; *p; ++p) if (*p == '.') dot = p;
    if (!dot) return 0;
    int n = 0;
    for (const VOCHAR *p = dot + 1; *p >= '0' && *p <= '9'; ++p) ++n;
    return n;
}

bool HasExponent(const VOCHAR *text)
{
    for (const VOCHAR *p = text; *p; ++p) if (*p == 'e' || *p == 'E') return true;
    return false;
}

VOCHAR *WriteFloating(VOCHAR *o, const Directive &directive, va_list *ap)
{
    CFormat f = BuildCFormat(directive, "", (char)directive.conversion);
    char printed[kScratchUnits];
    snprintf(printed, sizeof printed, f.text, va_arg(*ap, double));
    VOCHAR scratch[kScratchUnits];
    Widen(scratch, printed);
    VOCHAR c = directive.conversion;
    if (directive.locale && c == 'f')
        return Shaped(o, [&](VOCHAR *b) { return VoFormatGroupDecimalNumber(scratch, b, kShapedUnits, CountDecimals(scratch)); });
    if (directive.locale && (c == 'g' || c == 'G') && !HasExponent(scratch))
        return Shaped(o, [&](VOCHAR *b) { return VoFormatDecimalNumber(scratch, b, kShapedUnits); });
    return CopyText(o, scratch, VoStrLen(scratch));
}

// "%.Nz": a fixed-point number, the argument divided by 10 to the power N.
bool IsFixedPoint(const Directive &directive, int *decimals)
{
    if (directive.length < 4 || directive.text[1] != '.') return false;
    int n = 0;
    for (int i = 2; i < directive.length - 1; ++i) {
        if (directive.text[i] < '0' || directive.text[i] > '9') return false;
        if (n < 1000) n = n * 10 + (directive.text[i] - '0');
    }
    *decimals = n;
    return n >= 1;
}

VOCHAR *WriteFixedPoint(VOCHAR *o, const Directive &directive, int decimals, va_list *ap)
{
    static const double kPowers[16] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    int32_t value = va_arg(*ap, int32_t);
    double divisor = decimals < 16 ? kPowers[decimals] : pow(10.0, decimals);
    char cformat[16];
    snprintf(cformat, sizeof cformat, "%%.%df", decimals > 999 ? 999 : decimals);
    char printed[kScratchUnits];
    snprintf(printed, sizeof printed, cformat, value / divisor);
    VOCHAR scratch[kScratchUnits];
    Widen(scratch, printed);
    if (directive.locale)
        return Shaped(o, [&](VOCHAR *b) { return VoFormatGroupDecimalNumber(scratch, b, kShapedUnits, decimals); });
    return Shaped(o, [&](VOCHAR *b) { return VoFormatDecimalNumber(scratch, b, kShapedUnits); });
}

// "%!x" and "%&x": the character after the conversion selects a separator,
// and is consumed only when a separator was written.
VOCHAR *WriteSelectedSeparator(VOCHAR *o, VOCHAR conversion, const VOCHAR **f)
{
    int code = 0;
    VOCHAR next = **f;
    if (next == ':') code = conversion == '!' ? 100 : 120;
    else if (next == '.') code = conversion == '!' ? 101 : 121;
    else if (next == ',' && conversion == '!') code = 102;
    if (!code) return o;
    VOCHAR separator[VOINAT_SEP_CHARS];
    int n = VoGetInat(code, separator);
    if (n > 0) ++*f;
    return CopyText(o, separator, n > 0 ? (size_t)n : 0);
}

// A locale separator of the internationals record.
VOCHAR *WriteInat(VOCHAR *o, int code)
{
    VOCHAR separator[VOINAT_SEP_CHARS];
    int n = VoGetInat(code, separator);
    return CopyText(o, separator, n > 0 ? (size_t)n : 0);
}

// "%s" and "%c" as the platform's wsprintfW does them (at most 1024 units).
VOCHAR *WriteText(VOCHAR *o, const Directive &directive, va_list *ap)
{
    VOCHAR text[1024];
    int n = VoPlatformWsprintfOne(text, directive.text, ap);
    return CopyText(o, text, n > 0 ? (size_t)n : 0);
}

VOCHAR *Convert(VOCHAR *o, const Directive &directive, const VOCHAR **f, va_list *ap)
{
    int decimals = 0;
    switch (directive.conversion) {
    case 'd': case 'i': case 'o': case 'u': case 'x': case 'X':
        return WriteInteger(o, directive, ap);
    case 'z':
        if (IsFixedPoint(directive, &decimals)) return WriteFixedPoint(o, directive, decimals, ap);
        return WriteInteger(o, directive, ap);
    case 'e': case 'E': case 'f': case 'g': case 'G':
        return WriteFloating(o, directive, ap);
    case 's': case 'c': return WriteText(o, directive, ap);
    case '*': return WriteInat(o, 24);
    case ',': return WriteInat(o, 40);
    case ':': return WriteInat(o, 60);
    case '!': case '&':
        return WriteSelectedSeparator(o, directive.conversion, f);
    }
    return o;
}

// After "%" or "$": gathers the directive and performs it. An
// incomplete one is copied as the user wrote it, introducer included.
VOCHAR *WriteConversion(VOCHAR *o, VOCHAR introducer, const VOCHAR **f, va_list *ap)
{
    const VOCHAR *start = *f;
    if (*start == '%') {
        o = Put(o, '%');
        *f = start + 1;
        return o;
    }
    Directive directive;
    directive.locale = introducer == '$';
    directive.text[directive.length++] = '%';
    const VOCHAR *p = start;
    while (*p && directive.length < kDirectiveUnits - 1) {
        VOCHAR c = *p++;
        directive.text[directive.length++] = c;
        if (IsConversionChar(c)) {
            directive.conversion = c;
            break;
        }
    }
    directive.text[directive.length] = 0;
    *f = p;
    if (!directive.conversion) {
        o = Put(o, introducer);
        return CopyText(o, start, (size_t)(p - start));
    }
    return Convert(o, directive, f, ap);
}

bool IsLiteralStart(VOCHAR c)
{
    return VoIsDigit(c) || c == '-' || c == '.';
}

bool IsLiteralChar(VOCHAR c)
{
    return (c >= '0' && c <= '9') || c == '.' || c == ',';
}

// "$(1234.5)": a number written grouped and with the locale's decimal sign.
// Commas typed in the literal are taken as grouping and dropped before the
// number is shaped again. A literal that cannot be shaped, is too long or
// is not closed is copied as written.
VOCHAR *WriteNumberLiteral(VOCHAR *o, const VOCHAR **f)
{
    const VOCHAR *start = *f;
    const VOCHAR *p = start + 1;
    while (IsLiteralChar(*p)) ++p;
    size_t runLength = (size_t)(p - start);
    bool closed = *p == ')';
    if (closed && runLength < (size_t)kDirectiveUnits) {
        VOCHAR literal[kDirectiveUnits];
        int n = 0;
        for (const VOCHAR *q = start; q < p; ++q)
            if (*q != ',') literal[n++] = *q;
        literal[n] = 0;
        VOCHAR shaped[kShapedUnits + 1];
        int written = VoFormatGroupDecimalNumber(literal, shaped, kShapedUnits, CountDecimals(literal));
        if (written > 0) {
            *f = p + 1;
            return CopyText(o, shaped, (size_t)written);
        }
        ++p;  // the closing parenthesis is copied with the literal
    }
    o = Put(o, '$');
    o = Put(o, '(');
    *f = p;
    return CopyText(o, start, (size_t)(p - start));
}

// "$(Name)": the token's value, or the text as written when the name is
// unknown, not closed, or too long for the name buffer.
VOCHAR *WriteToken(VOCHAR *o, const VOCHAR **f)
{
    const VOCHAR *start = *f;
    const VOCHAR *p = start;
    while (*p && *p != ')' && p - start < kDirectiveUnits) ++p;
    size_t nameLength = (size_t)(p - start);
    bool closed = *p == ')' && nameLength < (size_t)kDirectiveUnits;
    if (closed) {
        VOCHAR name[kDirectiveUnits];
        memcpy(name, start, nameLength * sizeof(VOCHAR));
        name[nameLength] = 0;
        *f = p + 1;
        if (VOCHAR *after = VoTokenTable_WriteValue(name, o, g_limit)) return after;
        ++p;  // an unknown name is copied with its parenthesis
    } else {
        *f = p;
    }
    o = Put(o, '$');
    o = Put(o, '(');
    return CopyText(o, start, (size_t)(p - start));
}

}  // namespace

namespace {

// conversions false: only "$(...)" and "$$" are read, every other '%' and
// '$' is a character like the rest (no argument is ever taken).
int Format(VOCHAR *out, VOCHAR *limit, const VOCHAR *format, va_list args, bool conversions = true)
{
    VOCHAR *saved = g_limit;
    g_limit = limit;
    VOCHAR *o = out;
    va_list ap;
    va_copy(ap, args);
    const VOCHAR *f = format;
    while (f && *f) {
        VOCHAR c = *f++;
        if (c == '$' && *f == '$') {
            o = Put(o, '$');
            ++f;
        } else if (c == '$' && *f == '(') {
            ++f;
            o = IsLiteralStart(*f) ? WriteNumberLiteral(o, &f) : WriteToken(o, &f);
        } else if (conversions && (c == '$' || c == '%')) {
            o = WriteConversion(o, c, &f, &ap);
        } else {
            o = Put(o, c);
        }
    }
    va_end(ap);
    g_limit = saved;
    *(limit && o > limit ? limit : o) = 0;
    return (int)VoStrLen(out);
}

}  // namespace

int VoVPrintF(VOCHAR *out, const VOCHAR *format, va_list args)
{
    return out ? Format(out, nullptr, format, args) : 0;
}

int VoPrintF(VOCHAR *out, const VOCHAR *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = VoVPrintF(out, format, args);
    va_end(args);
    return n;
}

int VoVPrintFN(VOCHAR *out, int size, const VOCHAR *format, va_list args)
{
    if (!out || size <= 0) return 0;
    return Format(out, out + size - 1, format, args);
}

int VoPrintFN(VOCHAR *out, int size, const VOCHAR *format, ...)
{
    va_list args;
    va_start(args, format);
    int n = VoVPrintFN(out, size, format, args);
    va_end(args);
    return n;
}

namespace {

int ExpandTokens(VOCHAR *out, int size, const VOCHAR *text, ...)
{
    va_list none;
    va_start(none, text);
    int n = Format(out, out + size - 1, text, none, false);
    va_end(none);
    return n;
}

}  // namespace

int VoExpandTokensN(VOCHAR *out, int size, const VOCHAR *text)
{
    if (!out || size <= 0) return 0;
    return ExpandTokens(out, size, text);
}
