// The wizard's caption and banner image.
#include "stub.h"

#include <cwchar>

#include "format/format.h"
#include "png/png.h"

void Vox_LoadCaption()
{
    wchar_t format[1024], formatted[4096];
    VoLoadString(g_vox.Lang, IDS_WIZARD_CAPTION, format, 1024);
    VoPrintFN(formatted, 4096, format);
    lstrcpynW(g_vox.Caption, formatted, MAX_PATH);
}

namespace {

// One pixel of a decoded DIB as 0x00RRGGBB, blended over background by its
// alpha. Every pixel type the PNG loader makes is understood: palette
// indices, grey levels of 1 to 16 bits, 24-bit colour, and colour with
// alpha of 8 and 16 bits per channel.
uint32_t PixelAt(BITMAPINFOHEADER *dib, const uint8_t *row, int x, uint32_t background)
{
    unsigned bits = dib->biBitCount;
    uint32_t blue, green, red, alpha = 255;
    if (bits <= 8) {
        unsigned perByte = 8 / bits;
        unsigned shift = 8 - bits * (1 + (unsigned)x % perByte);
        unsigned index = (row[(unsigned)x / perByte] >> shift) & ((1u << bits) - 1);
        if (dib->biCompression == VO_BI_GREY) {
            blue = green = red = index * 255 / ((1u << bits) - 1);
        } else {
            uint32_t entry = index < dib->biClrUsed ? VoDibColorTable(dib)[index] : 0;
            blue = entry & 0xFF, green = (entry >> 8) & 0xFF, red = (entry >> 16) & 0xFF;
        }
    } else if (bits == 16) {
        blue = green = red = row[x * 2 + 1];
    } else if (bits == 64) {
        const uint8_t *p = row + x * 8;
        blue = p[1], green = p[3], red = p[5], alpha = p[7];
    } else {
        const uint8_t *p = row + x * (bits / 8);
        blue = p[0], green = p[1], red = p[2];
        if (bits == 32) alpha = p[3];
    }
    auto blend = [&](uint32_t value, int shift) {
        uint32_t under = (background >> shift) & 0xFF;
        return (value * alpha + under * (255 - alpha)) / 255;
    };
    return blend(red, 16) << 16 | blend(green, 8) << 8 | blend(blue, 0);
}

// A 32-bit DIB section holding the decoded image over the dialog colour.
HBITMAP SectionFromDib(BITMAPINFOHEADER *dib)
{
    int width = dib->biWidth, height = dib->biHeight < 0 ? -dib->biHeight : dib->biHeight;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) return section;
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    uint32_t background = GetRValue(face) << 16 | GetGValue(face) << 8 | GetBValue(face);
    uint32_t stride = VoDibStride(dib->biBitCount, (uint32_t)width);
    for (int y = 0; y < height; ++y) {
        const uint8_t *row = VoDibBits(dib) + (size_t)y * stride;
        uint32_t *out = static_cast<uint32_t *>(bits) + (size_t)y * width;
        for (int x = 0; x < width; ++x) out[x] = PixelAt(dib, row, x, background);
    }
    return section;
}

}  // namespace

HRESULT Vox_LoadBanner(const wchar_t *bannerSetting)
{
    BITMAPINFOHEADER *dib = nullptr;
    HRESULT hr = E_FAIL;
    if (bannerSetting && bannerSetting[0] && g_vox.TempFolder[0]) {
        wchar_t path[MAX_PATH * 2];
        _snwprintf(path, MAX_PATH * 2, L"%s\\%s", g_vox.TempFolder, bannerSetting);
        path[MAX_PATH * 2 - 1] = 0;
        hr = VoLoadPngDib(g_vox.Lang, path, VO_PNG_FROM_FILE, &dib);
    }
    if (FAILED(hr)) hr = VoLoadPngDib(g_vox.Lang, MAKEINTRESOURCEW(VOX_BANNER_RESOURCE), 0, &dib);
    if (FAILED(hr)) return hr;
    g_vox.BannerBitmap = SectionFromDib(dib);
    g_vox.BannerWidth = dib->biWidth;
    g_vox.BannerHeight = dib->biHeight < 0 ? -dib->biHeight : dib->biHeight;
    VoDibFree(dib);
    return g_vox.BannerBitmap ? S_OK : E_FAIL;
}
