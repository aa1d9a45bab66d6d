// Shaping number texts by the user's locale: grouping, decimal separator
// and the minus sign, through the platform's number formatter.
#include "number/number.h"

#include "lang/inat.h"

namespace {

const VOCHAR kEmpty[1] = {0};

// Length of the leading run that passes through unchanged: everything up to
// a digit, "-" or "."; a "0" stays in the run unless a "." follows it, so
// leading zeros are kept while the zero of 0.5 is part of the number.
int PrefixLength(const VOCHAR *text)
{
    int i = 0;
    for (; text[i]; ++i) {
        VOCHAR c = text[i];
        if (c == '0') {
            if (text[i + 1] == '.') break;
        } else if ((c >= '1' && c <= '9') || c == '-' || c == '.') {
            break;
        }
    }
    return i;
}

// Decimals of a number text: the characters after its last ".".
int CountDecimals(const VOCHAR *text)
{
    const VOCHAR *point = nullptr;
    const VOCHAR *p = text;
    for (; *p; ++p)
        if (*p == '.') point = p;
    return point ? (int)(p - point - 1) : 0;
}

int Shape(const VOCHAR *number, VOCHAR *out, int outChars, int decimals, bool grouped,
          bool withDecimalSep)
{
    if (!out || outChars <= 0) return 0;
    if (!number) number = kEmpty;

    // The prefix is cut so that the terminator always fits.
    int prefix = PrefixLength(number);
    int copied = prefix < outChars - 1 ? prefix : outChars - 1;
    for (int i = 0; i < copied; ++i) out[i] = number[i];
    out[copied] = 0;
    if (copied < prefix || number[prefix] == 0) return copied;

    const tVOINAT *inat = VoGetInatRecord();
    tVONUMBERFORMAT format;
    format.numDigits = (unsigned)decimals;
    format.leadingZero = (unsigned)inat->leadingZero;
    format.grouping = grouped ? (unsigned)inat->grouping : 0u;
    format.decimalSep = withDecimalSep ? inat->decimalSep : kEmpty;
    format.thousandSep = inat->thousandSep;
    format.negativeOrder = 1;
    VOCHAR *shaped = out + copied;
    int length = VoPlatformFormatNumber(number + prefix, &format, shaped, outChars - copied);
    if (length <= 0) {
        shaped[0] = 0;
        return copied;
    }

    // The locale's negative sign in front becomes a plain "-".
    int signLength = inat->negativeSignLen;
    if (signLength > 1 && length >= signLength) {
        bool hasSign = true;
        for (int i = 0; i < signLength; ++i)
            if (shaped[i] != inat->negativeSign[i]) hasSign = false;
        if (hasSign) {
            shaped[0] = '-';
            for (int i = signLength; i <= length; ++i) shaped[i - signLength + 1] = shaped[i];
            length -= signLength - 1;
        }
    } else if (signLength == 1 && shaped[0] == inat->negativeSign[0]) {
        shaped[0] = '-';
    }
    return copied + length;
}

}  // namespace

int VoFormatNumber(const VOCHAR *digits, VOCHAR *out, int outChars)
{
    return Shape(digits, out, outChars, 0, true, false);
}

int VoFormatDecimalNumber(const VOCHAR *number, VOCHAR *out, int outChars)
{
    return Shape(number, out, outChars, CountDecimals(number ? number : kEmpty), false, true);
}

int VoFormatGroupDecimalNumber(const VOCHAR *number, VOCHAR *out, int outChars, int decimals)
{
    if (decimals < 0) decimals = CountDecimals(number ? number : kEmpty);
    return Shape(number, out, outChars, decimals, true, true);
}
