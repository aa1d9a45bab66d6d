// Writing numbers as text, plain or grouped by the user's locale.
#include "number/number.h"

#include <cmath>

namespace {

// Writes the decimal digits of value (at most 20) and a terminator;
// returns their count.
int WriteUnsigned(uint64_t value, VOCHAR *out)
{
    VOCHAR digits[20];
    int count = 0;
    do {
        digits[count++] = (VOCHAR)('0' + value % 10);
        value /= 10;
    } while (value);
    for (int i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
    out[count] = 0;
    return count;
}

// Writes "-" when asked and the digits of magnitude; with grouped the text
// is shaped by the locale into out.
int WriteInteger(uint64_t magnitude, bool negative, VOCHAR *out, int grouped)
{
    VOCHAR text[VONUMBER_TEXT_CHARS];
    int length = 0;
    if (negative) text[length++] = '-';
    length += WriteUnsigned(magnitude, text + length);
    if (grouped) return VoFormatNumber(text, out, VONUMBER_TEXT_CHARS);
    VoStrCopyN(out, text, VONUMBER_TEXT_CHARS);
    return length;
}

uint64_t Join(uint32_t low, uint32_t high)
{
    return ((uint64_t)high << 32) | low;
}

}  // namespace

int VoDWordToText(uint32_t value, VOCHAR *out, int grouped)
{
    return WriteInteger(value, false, out, grouped);
}

int VoLongToText(int32_t value, VOCHAR *out, int grouped)
{
    // The magnitude is taken in unsigned arithmetic so that the most
    // negative value needs no positive counterpart.
    uint32_t magnitude = value < 0 ? 0u - (uint32_t)value : (uint32_t)value;
    return WriteInteger(magnitude, value < 0, out, grouped);
}

int VoDWordLongToText(uint32_t low, uint32_t high, VOCHAR *out, int grouped)
{
    if (high == 0) return VoDWordToText(low, out, grouped);
    return WriteInteger(Join(low, high), false, out, grouped);
}

int VoLongLongToText(uint32_t low, uint32_t high, VOCHAR *out, int grouped)
{
    if (high == 0) return VoDWordToText(low, out, grouped);
    uint64_t value = Join(low, high);
    bool negative = (high & 0x80000000u) != 0;
    return WriteInteger(negative ? 0u - value : value, negative, out, grouped);
}

int VoDoubleToText(VOCHAR *out, double value, int decimals, int grouped)
{
    static const uint32_t kPowers[10] = {1, 10, 100, 1000, 10000, 100000, 1000000,
                                         10000000, 100000000, 1000000000};
    if (decimals < 0) decimals = 0;
    if (decimals > 9) decimals = 9;
    if (std::isnan(value)) value = 0;

    bool negative = std::signbit(value);
    double magnitude = std::fabs(value) + 0.5 / kPowers[decimals];
    uint64_t whole;
    uint32_t fraction = 0;
    // 2^64 and more does not fit the integer part: it saturates instead of
    // producing an undefined conversion.
    if (magnitude >= 18446744073709551616.0) {
        whole = UINT64_MAX;
    } else {
        whole = (uint64_t)magnitude;
        double scaled = (magnitude - (double)whole) * kPowers[decimals];
        fraction = (uint32_t)scaled;
        // The product may round up to the next power; the fraction must keep
        // exactly `decimals` digits.
        if (fraction >= kPowers[decimals]) fraction = kPowers[decimals] - 1;
    }

    VOCHAR text[VONUMBER_TEXT_CHARS];
    int length = 0;
    if (negative && (whole != 0 || fraction != 0)) text[length++] = '-';
    length += WriteUnsigned(whole, text + length);
    if (decimals > 0) {
        text[length++] = '.';
        for (int i = decimals - 1; i >= 0; --i) {
            text[length + i] = (VOCHAR)('0' + fraction % 10);
            fraction /= 10;
        }
        length += decimals;
        text[length] = 0;
    }
    if (grouped) return VoFormatGroupDecimalNumber(text, out, VONUMBER_TEXT_CHARS, decimals);
    VoStrCopyN(out, text, VONUMBER_TEXT_CHARS);
    return length;
}
