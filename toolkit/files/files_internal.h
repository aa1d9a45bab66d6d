// Helpers shared by the sources of the files family.
#pragma once

#include "files/files.h"

namespace vofiles {

// Windows reads '/' as a separator too, so every name taken apart here must.
#ifdef _WIN32
inline bool IsSeparator(VOCHAR c) { return c == '\\' || c == '/'; }
#else
inline bool IsSeparator(VOCHAR c) { return c == VO_PATH_SEPARATOR; }
#endif

// The length of text when its terminator lies within the first limit units,
// else -1.
inline int BoundedLength(const VOCHAR *text, int limit)
{
    if (!text) return -1;
    for (int i = 0; i < limit; ++i)
        if (!text[i]) return i;
    return -1;
}

// folder + separator (unless folder ends in one) + name into out. Returns
// false, with out empty, when the whole does not fit outChars.
bool JoinPath(VOCHAR *out, int outChars, const VOCHAR *folder, const VOCHAR *name);

// One unit folded to lower case for comparisons that ignore case.
VOCHAR FoldCase(VOCHAR c);

}  // namespace vofiles
