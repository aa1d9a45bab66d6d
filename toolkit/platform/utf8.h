// UTF-16 <-> UTF-8 conversion, used by the POSIX build where the system
// calls take UTF-8 paths. Built on both systems (it has no system calls).
//
// Both directions are lossless for what the file system hands out:
//   - UTF-8 -> UTF-16: every byte that is not part of a well-formed sequence
//     (stray continuation bytes, overlong forms, encoded surrogates, values
//     above U+10FFFF, cut sequences) becomes the unit 0xDC00 + byte, a lone
//     low surrogate in the range 0xDC80..0xDCFF;
//   - UTF-16 -> UTF-8: surrogate pairs become one 4-byte sequence, a lone
//     unit 0xDC80..0xDCFF becomes its byte again, and every other lone
//     surrogate becomes U+FFFD.
// So a file name that is not valid UTF-8 can still be listed and opened
// again. The escaped bytes are all 0x80 or above, so they can never produce
// a separator or a terminator.
#pragma once

#include "platform.h"

// Converts the UTF-16 text up to its terminator. Writes at most size - 1
// bytes (whole characters only) and a terminator when size > 0. Returns the
// length in bytes of the whole conversion without terminator: the output is
// complete when the result is below size. A null text converts as empty.
size_t VoUtf16ToUtf8(const VOCHAR *text, char *out, size_t size);

// Converts the UTF-8 text up to its terminator, the same way round: at most
// size - 1 units (never half a surrogate pair), a terminator when size > 0,
// and the length of the whole conversion in units as the result.
size_t VoUtf8ToUtf16(const char *text, VOCHAR *out, size_t size);
