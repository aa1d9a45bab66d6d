// Hex dumps of memory that may not all be readable.
#include "log/errors.h"

#include <cstdio>
#include <cstring>

#include "log/dump_internal.h"

namespace {

const int kLineReserve = 50;

}  // namespace

int VoErrorHandler_DumpHex(char *out, int outSize, const void *address, int length)
{
    if (!out || outSize <= 0) return 0;
    const uint8_t *bytes = static_cast<const uint8_t *>(address);
    int written = 0;
    out[0] = 0;
    for (int line = 0; line < length && outSize - written >= kLineReserve; line += 8) {
        int count = length - line < 8 ? length - line : 8;
        uint8_t value[8];
        bool readable[8];
        for (int i = 0; i < count; ++i) readable[i] = VoDumpReadByte(bytes + line + i, &value[i]);
        char text[96];
        int n = snprintf(text, sizeof text, " %08X: ", (unsigned)(uintptr_t)(bytes + line));
        for (int i = 0; i < 8; ++i) {
            if (i >= count) n += snprintf(text + n, sizeof text - (size_t)n, "   ");
            else if (readable[i]) n += snprintf(text + n, sizeof text - (size_t)n, "%02X ", value[i]);
            else n += snprintf(text + n, sizeof text - (size_t)n, ".. ");
        }
        for (int i = 0; i < count; ++i)
            text[n++] = readable[i] && value[i] >= 0x20 && value[i] <= 0x7E ? (char)value[i] : '.';
        text[n++] = '\r';
        text[n++] = '\n';
        text[n] = 0;
        memcpy(out + written, text, (size_t)n + 1);
        written += n;
    }
    return written;
}

int VoErrorHandler_DumpHexDWords(char *out, int outSize, const void *address, int count)
{
    if (!out || outSize <= 0) return 0;
    const uint32_t *words = static_cast<const uint32_t *>(address);
    int written = 0;
    out[0] = 0;
    for (int line = 0; line < count && outSize - written >= kLineReserve; line += 4) {
        char text[64];
        int n = snprintf(text, sizeof text, " %08X: ", (unsigned)(uintptr_t)(words + line));
        for (int i = line; i < count && i < line + 4; ++i) {
            uint32_t value;
            if (VoDumpReadWord(words + i, &value)) n += snprintf(text + n, sizeof text - (size_t)n, "%08X ", value);
            else n += snprintf(text + n, sizeof text - (size_t)n, "........ ");
        }
        n += snprintf(text + n, sizeof text - (size_t)n, "\r\n");
        memcpy(out + written, text, (size_t)n + 1);
        written += n;
    }
    return written;
}
