// Free disk space as a text for the user.
#include "files/files_internal.h"

#include "format/format.h"
#include "lang/lang.h"

namespace {

const UINT kSpaceUnknownString = 48345;
const UINT kSpaceString = 48346;
const uint32_t kHundredKilobytes = 102400;

}  // namespace

int VoFormatDiskFreeSpace(const wchar_t *path, wchar_t *out)
{
    if (!out) return 0;
    HVOLANG lang = VoLang_GetDefault();
    uint32_t space = path && path[0] ? VoGetDiskFreeSpace(path, kHundredKilobytes) : 0xFFFFFFFFu;
    wchar_t text[2048];
    if (space == 0xFFFFFFFFu) lstrcpynW(text, VoGetString(lang, kSpaceUnknownString), 2048);
    else VoPrintFN(text, 2048, VoGetString(lang, kSpaceString), space);
    return (int)VoStrCopyN(out, text, VO_MAX_PATH);
}
