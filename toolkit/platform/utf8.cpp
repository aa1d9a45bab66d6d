// UTF-16 <-> UTF-8 conversion with byte escapes for malformed UTF-8.
#include "utf8.h"

namespace {

const uint32_t kReplacement = 0xFFFD;
const VOCHAR kEscapeBase = 0xDC00;  // 0xDC80..0xDCFF carry one raw byte

bool IsHighSurrogate(uint32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(uint32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Encodes one code point into bytes; returns their number.
int EncodeOne(uint32_t cp, char *bytes)
{
    if (cp < 0x80) {
        bytes[0] = (char)cp;
        return 1;
    }
    if (cp < 0x800) {
        bytes[0] = (char)(0xC0 | (cp >> 6));
        bytes[1] = (char)(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        bytes[0] = (char)(0xE0 | (cp >> 12));
        bytes[1] = (char)(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = (char)(0x80 | (cp & 0x3F));
        return 3;
    }
    bytes[0] = (char)(0xF0 | (cp >> 18));
    bytes[1] = (char)(0x80 | ((cp >> 12) & 0x3F));
    bytes[2] = (char)(0x80 | ((cp >> 6) & 0x3F));
    bytes[3] = (char)(0x80 | (cp & 0x3F));
    return 4;
}

// Decodes one well-formed sequence at s; returns its length in bytes and
// the code point, or 0 when the bytes there do not form one.
int DecodeOne(const unsigned char *s, uint32_t *cp)
{
    unsigned char b = s[0];
    if (b < 0x80) {
        *cp = b;
        return 1;
    }
    int length;
    uint32_t value, minimum;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2; value = b & 0x1F; minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3; value = b & 0x0F; minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4; value = b & 0x07; minimum = 0x10000;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        // A terminator is not a continuation byte, so this never reads past it.
        if ((s[i] & 0xC0) != 0x80) return 0;
        value = (value << 6) | (s[i] & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *cp = value;
    return length;
}

}  // namespace

size_t VoUtf16ToUtf8(const VOCHAR *text, char *out, size_t size)
{
    size_t total = 0, written = 0;
    bool full = false;  // once a character did not fit, nothing more is written
    if (text) {
        for (size_t i = 0; text[i]; ++i) {
            uint32_t u = (uint16_t)text[i];
            char bytes[4];
            int n;
            if (IsHighSurrogate(u) && IsLowSurrogate((uint16_t)text[i + 1])) {
                uint32_t cp = 0x10000 + ((u - 0xD800) << 10) + ((uint16_t)text[i + 1] - 0xDC00);
                n = EncodeOne(cp, bytes);
                ++i;
            } else if (u >= 0xDC80 && u <= 0xDCFF) {
                bytes[0] = (char)(u - kEscapeBase);
                n = 1;
            } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
                n = EncodeOne(kReplacement, bytes);
            } else {
                n = EncodeOne(u, bytes);
            }
            total += (size_t)n;
            if (!full && out && written + (size_t)n < size) {
                for (int k = 0; k < n; ++k) out[written++] = bytes[k];
            } else {
                full = true;
            }
        }
    }
    if (out && size > 0) out[written] = 0;
    return total;
}

size_t VoUtf8ToUtf16(const char *text, VOCHAR *out, size_t size)
{
    size_t total = 0, written = 0;
    bool full = false;
    if (text) {
        const unsigned char *s = (const unsigned char *)text;
        while (*s) {
            VOCHAR units[2];
            size_t n;
            uint32_t cp;
            int length = DecodeOne(s, &cp);
            if (length == 0) {
                units[0] = (VOCHAR)(kEscapeBase + *s);
                n = 1;
                length = 1;
            } else if (cp >= 0x10000) {
                units[0] = (VOCHAR)(0xD800 + ((cp - 0x10000) >> 10));
                units[1] = (VOCHAR)(0xDC00 + ((cp - 0x10000) & 0x3FF));
                n = 2;
            } else {
                units[0] = (VOCHAR)cp;
                n = 1;
            }
            s += length;
            total += n;
            if (!full && out && written + n < size) {
                for (size_t k = 0; k < n; ++k) out[written++] = units[k];
            } else {
                full = true;
            }
        }
    }
    if (out && size > 0) out[written] = 0;
    return total;
}
