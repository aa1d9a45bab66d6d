// Packed DIBs: header, colour table and pixels in one movable global block.
#include "png.h"

#include <cstring>

namespace {

struct tVODIBFORMAT {
    int pixelType;
    uint16_t bitCount;
    uint32_t compression;
};

const tVODIBFORMAT g_dibFormats[] = {
    {VO_PIXEL_GREY1, 1, VO_BI_GREY},   {VO_PIXEL_GREY2, 2, VO_BI_GREY},
    {VO_PIXEL_GREY4, 4, VO_BI_GREY},   {VO_PIXEL_GREY8, 8, VO_BI_GREY},
    {VO_PIXEL_GREY16, 16, VO_BI_GREY}, {VO_PIXEL_PAL4, 4, BI_RGB},
    {VO_PIXEL_PAL8, 8, BI_RGB},        {VO_PIXEL_BGR24, 24, BI_RGB},
    {VO_PIXEL_BGRA32, 32, VO_BI_BGRA}, {VO_PIXEL_BGRA64, 64, VO_BI_BGRA},
};

const tVODIBFORMAT *FindFormat(int pixelType)
{
    for (const tVODIBFORMAT &format : g_dibFormats)
        if (format.pixelType == pixelType) return &format;
    return nullptr;
}

void *AllocBlock(size_t size, bool zero)
{
#ifdef _WIN32
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | (zero ? GMEM_ZEROINIT : 0), size);
    if (!block) return nullptr;
    void *p = GlobalLock(block);
    if (!p) GlobalFree(block);
    return p;
#else
    (void)zero;  // VoMemAlloc always zero-fills
    return VoMemAlloc(size);
#endif
}

}  // namespace

HRESULT VoDibAlloc(BITMAPINFOHEADER **dib, int pixelType, int width, int height,
                   const uint32_t *palette, int paletteCount, uint32_t flags)
{
    if (!dib) return E_INVALIDARG;
    *dib = nullptr;
    const tVODIBFORMAT *format = FindFormat(pixelType);
    if (!format || width <= 0 || height <= 0 || paletteCount < 0 || (paletteCount > 0 && !palette))
        return E_INVALIDARG;

    uint32_t tableCount = 0;
    if (format->bitCount <= 8) {
        uint32_t full = 1u << format->bitCount;
        if ((uint32_t)paletteCount > full) return E_INVALIDARG;
        tableCount = palette && paletteCount > 0 ? (uint32_t)paletteCount : full - 1;
    }

    uint64_t stride = VoDibStride(format->bitCount, (uint32_t)width);
    uint64_t pixelBytes = stride * (uint64_t)height;
    if (pixelBytes > VO_DIB_MAX_PIXEL_BYTES) return E_OUTOFMEMORY;

    size_t total = sizeof(BITMAPINFOHEADER) + tableCount * 4u + (size_t)pixelBytes;
    BITMAPINFOHEADER *header = (BITMAPINFOHEADER *)AllocBlock(total, (flags & VO_DIB_ZERO) != 0);
    if (!header) return E_OUTOFMEMORY;

    BITMAPINFOHEADER h;
    memset(&h, 0, sizeof(h));
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = format->bitCount;
    h.biCompression = format->compression;
    h.biSizeImage = (uint32_t)pixelBytes;
    h.biClrUsed = tableCount;
    memcpy(header, &h, sizeof(h));
    if (palette && paletteCount > 0 && tableCount > 0)
        memcpy(VoDibColorTable(header), palette, (size_t)paletteCount * 4u);
    *dib = header;
    return S_OK;
}

HRESULT VoDibFree(BITMAPINFOHEADER *dib, uint32_t mode)
{
    (void)mode;
    if (!dib) return S_OK;
#ifdef _WIN32
    HGLOBAL block = GlobalHandle(dib);
    if (block) {
        GlobalUnlock(block);
        GlobalFree(block);
    }
#else
    VoMemFree(dib);
#endif
    return S_OK;
}
