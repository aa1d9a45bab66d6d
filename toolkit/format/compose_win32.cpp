// The Windows-only members of the formatter family: composing with the
// platform's message formatter, and fitting texts to a width with "...".
#include "format/format.h"

int VoComposeStr(wchar_t *buffer, int size, const wchar_t *source, ...)
{
    if (!buffer || size <= 0 || !source) return 0;
    va_list args;
    va_start(args, source);
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_STRING, source, 0, 0, buffer, (DWORD)size, &args);
    va_end(args);
    if (n == 0) buffer[0] = 0;
    return (int)n;
}

namespace {

const wchar_t kDots[] = L"...";
const int kDotsLength = 3;

int Extent(HDC hdc, const wchar_t *text, int length)
{
    SIZE size = {0, 0};
    if (length > 0) GetTextExtentPoint32W(hdc, text, length, &size);
    return size.cx;
}

}  // namespace

// The text is measured where it stands and only rewritten once a fitting
// length is found, so it stays unchanged unless the function returns 1
// after shortening it.
int VoCalcStringEllipsis(HDC hdc, wchar_t *text, int size, int width)
{
    if (!hdc || !text || size <= 0) return 0;
    int length = lstrlenW(text);
    int room = width - 2;
    if (Extent(hdc, text, length) <= room) return 0;
    int dots = Extent(hdc, kDots, kDotsLength);
    for (int kept = length - 1; kept >= 0; --kept) {
        if (kept + kDotsLength + 1 > size) continue;
        if (Extent(hdc, text, kept) + dots > room) continue;
        lstrcpyW(text + kept, kDots);
        return 1;
    }
    return 0;
}

int VoCalcStringEllipsisFromEnd(HDC hdc, wchar_t *text, int size, int width)
{
    if (!hdc || !text || size <= 0) return 0;
    int length = lstrlenW(text);
    int room = width - 2;
    if (Extent(hdc, text, length) <= room) return 1;
    int dots = Extent(hdc, kDots, kDotsLength);
    for (int dropped = 1; dropped <= length; ++dropped) {
        int kept = length - dropped;
        if (kept + kDotsLength + 1 > size) continue;
        if (Extent(hdc, text + dropped, kept) + dots > room) continue;
        memmove(text + kDotsLength, text + dropped, (kept + 1) * sizeof(wchar_t));
        memcpy(text, kDots, kDotsLength * sizeof(wchar_t));
        return 1;
    }
    return 0;
}
