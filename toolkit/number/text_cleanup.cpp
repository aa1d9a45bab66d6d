// Small in-place text clean-ups: trimming white space, preparing names and
// menu texts, replacing characters.
#include "number/number.h"

namespace {

// Room of the menu text's working copy, terminator included.
const int kMenuChars = 260;

int TrimTrailing(VOCHAR *text, int length)
{
    while (length > 0 && VoIsSpace(text[length - 1])) --length;
    text[length] = 0;
    return length;
}

}  // namespace

int VoStripWhiteSpace(VOCHAR *text)
{
    if (!text) return 0;
    int start = 0;
    while (text[start] && VoIsSpace(text[start])) ++start;
    int length = 0;
    while (text[start + length]) {
        text[length] = text[start + length];
        ++length;
    }
    return TrimTrailing(text, length);
}

VOCHAR *VoPrepareName(const VOCHAR *text, VOCHAR *out, int outChars)
{
    if (!out || outChars <= 0) return nullptr;
    if (!text) {
        out[0] = 0;
        return nullptr;
    }
    while (*text && VoIsSpace(*text)) ++text;
    int length = (int)VoStrCopyN(out, text, (size_t)outChars);
    return TrimTrailing(out, length) > 0 ? out : nullptr;
}

int VoFixNameForMenu(VOCHAR *out, const VOCHAR *text, int outChars)
{
    if (!out || outChars <= 0) return 0;
    // Built aside first, so that out may be text itself.
    VOCHAR work[kMenuChars];
    int room = (outChars < kMenuChars ? outChars : kMenuChars) - 1;
    int length = 0;
    for (const VOCHAR *p = text; p && *p && length < room; ++p) {
        work[length++] = *p;
        if (*p == '&' && length < room) work[length++] = '&';
    }
    for (int i = 0; i < length; ++i) out[i] = work[i];
    out[length] = 0;
    return length;
}

int VoStringReplaceChars(VOCHAR *text, VOCHAR character, VOCHAR replacement)
{
    if (!text) return 0;
    int length = 0;
    for (; text[length]; ++length) {
        if (text[length] != character) continue;
        if (replacement == 0) {
            text[length] = 0;
            break;
        }
        text[length] = replacement;
    }
    return length;
}
