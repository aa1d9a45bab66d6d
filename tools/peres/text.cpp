// UTF-8 and UTF-16 for resource texts.
#include "text.h"

#include <cstdint>

namespace peres {

std::u16string Utf8ToUtf16(const std::string &text)
{
    static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
    std::u16string out;
    size_t i = 0, n = text.size();
    while (i < n) {
        uint8_t c = (uint8_t)text[i];
        if (c < 0x80) {
            out.push_back((char16_t)c);
            ++i;
            continue;
        }
        size_t extra = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 0;
        uint32_t cp = c & (0x3F >> extra);
        bool ok = extra > 0 && i + extra < n;
        for (size_t k = 1; ok && k <= extra; ++k) {
            uint8_t next = (uint8_t)text[i + k];
            if ((next & 0xC0) != 0x80) ok = false;
            else cp = cp << 6 | (next & 0x3F);
        }
        if (!ok || cp < kLeast[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back((char16_t)(0xD800 + (cp >> 10)));
            out.push_back((char16_t)(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back((char16_t)cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(const std::u16string &text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t cp = text[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (cp >= 0xD800 && cp < 0xE000)
            cp = 0xFFFD;
        if (cp < 0x80) {
            out.push_back((char)cp);
        } else if (cp < 0x800) {
            out.push_back((char)(0xC0 | cp >> 6));
            out.push_back((char)(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back((char)(0xE0 | cp >> 12));
            out.push_back((char)(0x80 | (cp >> 6 & 0x3F)));
            out.push_back((char)(0x80 | (cp & 0x3F)));
        } else {
            out.push_back((char)(0xF0 | cp >> 18));
            out.push_back((char)(0x80 | (cp >> 12 & 0x3F)));
            out.push_back((char)(0x80 | (cp >> 6 & 0x3F)));
            out.push_back((char)(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

}  // namespace peres
