// Windows only: paths shortened with "..." to fit a width in pixels, for
// showing them in controls.
#include "files/files.h"
#include "format/format.h"

namespace {

const wchar_t kDots[] = L"...";
const int kDotsLength = 3;
const int kNameChars = 256;  // file names and paths of styles 2 and 4: 255 units

int TextWidth(HDC hdc, const wchar_t *text, int length)
{
    SIZE size = {0, 0};
    if (length > 0) GetTextExtentPoint32W(hdc, text, length, &size);
    return size.cx;
}

int ClientWidth(HWND window)
{
    RECT rect = {0, 0, 0, 0};
    GetClientRect(window, &rect);
    return rect.right - rect.left;
}

// Runs a formatting step on the screen's device context with font selected.
class CScreenDC {
public:
    explicit CScreenDC(HFONT font) : m_dc(GetDC(nullptr)), m_old(nullptr)
    {
        if (m_dc && font) m_old = SelectObject(m_dc, font);
    }
    ~CScreenDC()
    {
        if (!m_dc) return;
        if (m_old) SelectObject(m_dc, m_old);
        ReleaseDC(nullptr, m_dc);
    }
    CScreenDC(const CScreenDC &) = delete;
    CScreenDC &operator=(const CScreenDC &) = delete;
    HDC dc() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

}  // namespace

// Keeps the file name and drops the end of the folder part: the run of
// characters just before the last separator that is at least as wide as
// the excess (plus the dots) becomes "...".
int VoCalcPathEllipsisEx(HDC hdc, const wchar_t *path, wchar_t *out, int outChars, int maxWidth)
{
    if (!path || !out || outChars <= 0) return 0;
    out[0] = 0;
    int length = lstrlenW(path);
    int separator = -1;
    for (int i = 0; i < length; ++i)
        if (path[i] == '\\' || path[i] == '/') separator = i;
    if (separator < 0) {
        size_t n = VoStrCopyN(out, L"...\\", (size_t)outChars);
        VoStrCopyN(out + n, path, (size_t)outChars - n);
        return 0;
    }
    int pathWidth = TextWidth(hdc, path, length);
    if (pathWidth <= maxWidth) {
        VoStrCopyN(out, path, (size_t)outChars);
        return 0;
    }
    int excess = pathWidth + TextWidth(hdc, kDots, kDotsLength) - maxWidth;
    int start = separator;
    while (start > 0 && TextWidth(hdc, path + start, separator - start) < excess) --start;
    // out = path[0..start) + "..." + path[separator..], cut to outChars.
    size_t n = VoStrCopyN(out, path, (size_t)start + 1 < (size_t)outChars ? (size_t)start + 1 : (size_t)outChars);
    n += VoStrCopyN(out + n, kDots, (size_t)outChars - n);
    VoStrCopyN(out + n, path + separator, (size_t)outChars - n);
    return 0;
}

HRESULT VoCalcPathEllipsisExCtl(HWND window, const wchar_t *path, wchar_t *out, int outChars, int margin)
{
    int width = ClientWidth(window) - margin;
    if (width < 0) width = 0;
    CScreenDC screen(window ? (HFONT)SendMessageW(window, WM_GETFONT, 0, 0) : nullptr);
    if (!screen.dc()) return E_FAIL;
    VoCalcPathEllipsisEx(screen.dc(), path, out, outChars, width);
    return S_OK;
}

// The result is written back only when it is no longer than the path was:
// the caller's buffer is known to hold that much and no more. Returns 1
// when path holds the result, 0 when it was left as it was.
int VoCalcPathEllipsis(HDC hdc, wchar_t *path, int width)
{
    const int kCopyChars = 1300;
    if (!path) return 0;
    wchar_t *copy = (wchar_t *)VoMemAlloc(2 * kCopyChars * sizeof(wchar_t));
    if (!copy) return 0;
    wchar_t *result = copy + kCopyChars;
    VoStrCopyN(copy, path, kCopyChars);
    VoCalcPathEllipsisEx(hdc, copy, result, kCopyChars, width);
    int written = 0;
    if (VoStrLen(result) <= VoStrLen(path)) {
        lstrcpyW(path, result);
        written = 1;
    }
    VoMemFree(copy);
    return written;
}

HRESULT VoFilenameFormat(HDC hdc, int maxWidth, const wchar_t *path, wchar_t *out, int outChars, int style)
{
    if (!path || !out) return E_INVALIDARG;
    if (!path[0]) {
        if (outChars > 0) out[0] = 0;
        return S_OK;
    }
    wchar_t text[kNameChars];
    switch (style) {
    case 0:
        if (outChars > 0) VoStrCopyN(out, VoGetFileNamePtrW(path), (size_t)outChars);
        return S_OK;
    case 1:
        VoCalcPathEllipsisEx(hdc, path, out, outChars, maxWidth);
        return S_OK;
    case 2:
    case 4:
        VoStrCopyN(text, style == 2 ? VoGetFileNamePtrW(path) : path, kNameChars);
        VoCalcStringEllipsis(hdc, text, kNameChars, maxWidth);
        if (outChars > 0) VoStrCopyN(out, text, (size_t)outChars);
        return S_OK;
    case 3:
        return S_OK;
    default:
        return E_INVALIDARG;
    }
}

HRESULT VoFilenameFormatForCtl(HWND control, const wchar_t *path, wchar_t *out, int outChars, int style)
{
    if (!control) return VO_S_FILES_NOCONTROL;
    int clientWidth = ClientWidth(control);
    int width = clientWidth < 5 ? 0 : clientWidth - 4;
    CScreenDC screen((HFONT)SendMessageW(control, WM_GETFONT, 0, 0));
    if (!screen.dc()) return E_FAIL;
    return VoFilenameFormat(screen.dc(), width, path, out, outChars, style);
}

HRESULT VoFilenameFormatForWidth(HFONT font, int width, const wchar_t *path, wchar_t *out, int outChars,
                                 int style)
{
    if (width < 1) width = 0;
    CScreenDC screen(font);
    if (!screen.dc()) return E_FAIL;
    return VoFilenameFormat(screen.dc(), width, path, out, outChars, style);
}
