// The text conversions of the platform's wsprintfW, written out so that the
// POSIX build formats "%s" and "%c" exactly as Windows does.
//
// The rules: flags "-" (left align), "#" and "0" in that order, a width, a
// precision after "." (0 means no limit), one size prefix ("l", "h", "w" or
// "I64"), then the type. "s" is a wide text unless "h" is given, "S" a narrow
// text unless "l" or "w" is given, likewise "c" and "C" for characters; a
// null text prints "(null)". Texts and characters are padded with blanks.
// The whole result holds at most 1024 units with its terminator.
#include "platform.h"

#include <cstdio>

namespace {

const int kMaxOut = 1024;

enum ArgType { T_UNKNOWN, T_WCHAR, T_CHAR, T_WSTRING, T_STRING, T_SIGNED, T_UNSIGNED, T_HEX };

struct Directive {
    bool left = false, hexPrefix = false, zeroPad = false, upper = false;
    bool isLong = false, isShort = false, isWide = false;
    unsigned width = 0, precision = 0;
    ArgType type = T_UNKNOWN;
};

// Parses one directive after its "%"; returns the units consumed.
int ParseSpec(const VOCHAR *format, Directive &s)
{
    const VOCHAR *p = format;
    if (*p == '-') { s.left = true; ++p; }
    if (*p == '#') { s.hexPrefix = true; ++p; }
    if (*p == '0') { s.zeroPad = true; ++p; }
    while (*p >= '0' && *p <= '9') { s.width = s.width * 10 + (unsigned)(*p - '0'); ++p; }
    if (*p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9') { s.precision = s.precision * 10 + (unsigned)(*p - '0'); ++p; }
    }
    if (*p == 'l') { s.isLong = true; ++p; }
    else if (*p == 'h') { s.isShort = true; ++p; }
    else if (*p == 'w') { s.isWide = true; ++p; }
    else if (*p == 'I' && p[1] == '6' && p[2] == '4') { p += 3; }
    switch (*p) {
    case 'c': s.type = (s.isShort && !s.isLong) ? T_CHAR : T_WCHAR; break;
    case 'C': s.type = (s.isLong || s.isWide) ? T_WCHAR : T_CHAR; break;
    case 's': s.type = (s.isShort && !s.isLong) ? T_STRING : T_WSTRING; break;
    case 'S': s.type = (s.isLong || s.isWide) ? T_WSTRING : T_STRING; break;
    case 'd': case 'i': s.type = T_SIGNED; break;
    case 'u': s.type = T_UNSIGNED; break;
    case 'p':
        s.width = 2 * sizeof(void *);
        s.zeroPad = true;
        s.upper = true;
        s.type = T_HEX;
        break;
    case 'X': s.upper = true; s.type = T_HEX; break;
    case 'x': s.type = T_HEX; break;
    default: s.type = T_UNKNOWN; --p; break;
    }
    return (int)(p - format) + 1;
}

struct Out {
    VOCHAR *p;
    int len = 0;
    bool Room() const { return len + 1 < kMaxOut; }
    void Put(VOCHAR c) { if (Room()) p[len++] = c; }
};

void Pad(Out &o, unsigned from, unsigned to, VOCHAR c)
{
    for (unsigned i = from; i < to; ++i) o.Put(c);
}

void PutText(Out &o, const Directive &s, const void *text, bool wide)
{
    static const char nullText[] = "(null)";
    unsigned len = 0;
    if (!text) { text = nullText; wide = false; }
    const VOCHAR *w = (const VOCHAR *)text;
    const unsigned char *n = (const unsigned char *)text;
    while ((s.precision == 0 || len < s.precision) && (wide ? w[len] : n[len])) ++len;
    if (!s.left) Pad(o, len, s.width, ' ');
    for (unsigned i = 0; i < len; ++i) o.Put(wide ? w[i] : (VOCHAR)n[i]);
    if (s.left) Pad(o, len, s.width, ' ');
}

void PutNumber(Out &o, const Directive &s, uint64_t magnitude, bool negative)
{
    char digits[32];
    int len = snprintf(digits, sizeof digits, s.type == T_HEX ? (s.upper ? "%llX" : "%llx") : "%llu",
                       (unsigned long long)magnitude);
    unsigned prefix = negative ? 1 : 0;
    if (s.type == T_HEX && s.hexPrefix) prefix = 2;
    unsigned precision = s.precision;
    if (!s.left && s.zeroPad && s.width > precision + prefix) precision = s.width - prefix;
    unsigned body = (unsigned)len > precision ? (unsigned)len : precision;
    if (!s.left) Pad(o, body + prefix, s.width, ' ');
    if (negative) o.Put('-');
    if (prefix == 2) { o.Put('0'); o.Put(s.upper ? 'X' : 'x'); }
    Pad(o, (unsigned)len, precision, '0');
    for (int i = 0; i < len; ++i) o.Put((VOCHAR)digits[i]);
    if (s.left) Pad(o, body + prefix, s.width, ' ');
}

// Takes the one argument of the directive and prints it.
void PutArgument(Out &o, const Directive &s, va_list *args)
{
    switch (s.type) {
    case T_WCHAR: {
        VOCHAR c = (VOCHAR)va_arg(*args, int);
        if (!s.left) Pad(o, 1, s.width, ' ');
        o.Put(c);
        if (s.left) Pad(o, 1, s.width, ' ');
        break;
    }
    case T_CHAR: {
        VOCHAR c = (VOCHAR)(unsigned char)va_arg(*args, int);
        if (!s.left) Pad(o, 1, s.width, ' ');
        o.Put(c);
        if (s.left) Pad(o, 1, s.width, ' ');
        break;
    }
    case T_WSTRING: PutText(o, s, va_arg(*args, const void *), true); break;
    case T_STRING: PutText(o, s, va_arg(*args, const void *), false); break;
    case T_SIGNED: {
        int32_t v = va_arg(*args, int32_t);
        PutNumber(o, s, v < 0 ? (uint64_t)(-(int64_t)v) : (uint64_t)v, v < 0);
        break;
    }
    case T_UNSIGNED: PutNumber(o, s, va_arg(*args, uint32_t), false); break;
    case T_HEX:
        if (sizeof(void *) > 4 && s.width == 2 * sizeof(void *) && s.upper && s.zeroPad)
            PutNumber(o, s, (uint64_t)(uintptr_t)va_arg(*args, void *), false);
        else
            PutNumber(o, s, va_arg(*args, uint32_t), false);
        break;
    case T_UNKNOWN: break;
    }
}

}  // namespace

int VoPortableWsprintfOne(VOCHAR *out, const VOCHAR *directive, va_list *args)
{
    Out o{out};
    bool used = false;
    while (*directive && o.Room()) {
        if (*directive != '%') { o.Put(*directive++); continue; }
        ++directive;
        if (*directive == '%') { o.Put(*directive++); continue; }
        Directive s;
        directive += ParseSpec(directive, s);
        if (s.type == T_UNKNOWN) continue;
        // Only one argument was passed: a second conversion prints nothing.
        if (used) continue;
        used = true;
        PutArgument(o, s, args);
    }
    out[o.len] = 0;
    return o.len;
}

#ifdef _WIN32

// Counts the conversions of a directive that take an argument.
static int CountArguments(const VOCHAR *directive)
{
    int count = 0;
    while (*directive) {
        if (*directive++ != '%') continue;
        if (*directive == '%') { ++directive; continue; }
        Directive s;
        directive += ParseSpec(directive, s);
        if (s.type != T_UNKNOWN) ++count;
    }
    return count;
}

int VoPlatformWsprintfOne(VOCHAR *out, const VOCHAR *directive, va_list *args)
{
    // wsprintfW would read a second argument that was never passed: such
    // directives go through the portable code, which takes only one.
    if (CountArguments(directive) != 1) return VoPortableWsprintfOne(out, directive, args);
    // A variadic argument fills one pointer-sized slot on both Windows
    // targets, whether it is a character, a number or a text: passing the
    // whole slot on keeps a 64-bit pointer whole.
    uintptr_t value = va_arg(*args, uintptr_t);
    return wsprintfW(out, directive, value);
}

#else

int VoPlatformWsprintfOne(VOCHAR *out, const VOCHAR *directive, va_list *args)
{
    return VoPortableWsprintfOne(out, directive, args);
}

#endif
