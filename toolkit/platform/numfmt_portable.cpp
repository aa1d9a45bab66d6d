// Number shaping as the platform's number formatter does it: a plain number
// text ("-", digits, one ".") is rounded to a number of decimals, its
// integer digits grouped, and the separators and sign put in place.
#include "platform.h"

namespace {

const int kMaxDigits = 512;

struct PlainNumber {
    bool negative = false;
    char intDigits[kMaxDigits];
    int intLen = 0;
    char fracDigits[kMaxDigits];
    int fracLen = 0;
};

// Reads "-"? digits* ("." digits*)?; a text without digits counts as zero,
// as the platform's formatter takes it.
bool ParsePlainNumber(const VOCHAR *p, PlainNumber &n)
{
    if (*p == '-') { n.negative = true; ++p; }
    while (*p >= '0' && *p <= '9') {
        if (n.intLen >= kMaxDigits) return false;
        n.intDigits[n.intLen++] = (char)*p++;
    }
    if (*p == '.') {
        ++p;
        while (*p >= '0' && *p <= '9') {
            if (n.fracLen >= kMaxDigits) return false;
            n.fracDigits[n.fracLen++] = (char)*p++;
        }
    }
    return *p == 0;
}

// Cuts the fraction to `decimals` digits, rounding half up, and pads it with
// zeros to exactly that many digits.
bool RoundTo(PlainNumber &n, int decimals)
{
    if (decimals >= kMaxDigits) return false;
    bool carry = n.fracLen > decimals && n.fracDigits[decimals] >= '5';
    while (n.fracLen < decimals) n.fracDigits[n.fracLen++] = '0';
    n.fracLen = decimals;
    for (int i = decimals - 1; carry && i >= 0; --i) {
        if (n.fracDigits[i] == '9') n.fracDigits[i] = '0';
        else { ++n.fracDigits[i]; carry = false; }
    }
    for (int i = n.intLen - 1; carry && i >= 0; --i) {
        if (n.intDigits[i] == '9') n.intDigits[i] = '0';
        else { ++n.intDigits[i]; carry = false; }
    }
    if (carry) {
        if (n.intLen + 1 >= kMaxDigits) return false;
        for (int i = n.intLen; i > 0; --i) n.intDigits[i] = n.intDigits[i - 1];
        n.intDigits[0] = '1';
        ++n.intLen;
    }
    // Leading zeros of the integer part carry no value.
    int skip = 0;
    while (skip < n.intLen && n.intDigits[skip] == '0') ++skip;
    for (int i = skip; i < n.intLen; ++i) n.intDigits[i - skip] = n.intDigits[i];
    n.intLen -= skip;
    return true;
}

// Appends to a bounded output; remembers when it ran out of room.
struct Writer {
    VOCHAR *out;
    int room;
    int len = 0;
    bool full = false;
    void Put(VOCHAR c)
    {
        if (len + 1 >= room) { full = true; return; }
        out[len++] = c;
    }
    void Put(const VOCHAR *s)
    {
        while (s && *s) Put(*s++);
    }
};

void WriteDigits(Writer &w, const PlainNumber &n, const tVONUMBERFORMAT *f)
{
    if (n.intLen == 0) {
        if (f->leadingZero) w.Put('0');
    } else {
        for (int i = 0; i < n.intLen; ++i) {
            int left = n.intLen - i;
            if (i > 0 && f->grouping > 0 && left % (int)f->grouping == 0) w.Put(f->thousandSep);
            w.Put((VOCHAR)n.intDigits[i]);
        }
    }
    if (n.fracLen > 0) {
        w.Put(f->decimalSep);
        for (int i = 0; i < n.fracLen; ++i) w.Put((VOCHAR)n.fracDigits[i]);
    }
}

}  // namespace

int VoPortableNumberFormat(const VOCHAR *value, const tVONUMBERFORMAT *format,
                           VOCHAR *out, int outChars)
{
    if (!out || outChars <= 0) return 0;
    out[0] = 0;
    if (!value || !format) return 0;
    PlainNumber n;
    if (!ParsePlainNumber(value, n) || !RoundTo(n, (int)format->numDigits)) return 0;
    // As on Windows, a negative number that rounds to zero keeps its sign.
    bool negative = n.negative;
    Writer w{out, outChars};
    if (negative) {
        switch (format->negativeOrder) {
        case 0: w.Put('('); break;
        case 1: w.Put('-'); break;
        case 2: w.Put('-'); w.Put(' '); break;
        default: break;
        }
    }
    WriteDigits(w, n, format);
    if (negative) {
        switch (format->negativeOrder) {
        case 0: w.Put(')'); break;
        case 3: w.Put('-'); break;
        case 4: w.Put(' '); w.Put('-'); break;
        default: break;
        }
    }
    if (w.full) {
        out[0] = 0;
        return 0;
    }
    out[w.len] = 0;
    return w.len;
}
