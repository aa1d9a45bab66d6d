// PNG images as packed device-independent bitmaps (DIBs).
//
// A packed DIB is one block of movable global memory (VoMemAlloc on POSIX)
// holding a BITMAPINFOHEADER, its colour table and the pixels. Rows are
// stored bottom-up (the image's first row last), each padded to a multiple
// of 4 bytes; colour bytes run blue, green, red (, alpha). Free a DIB with
// VoDibFree.
//
// The loader decodes with libpng and never lets a libpng error escape: every
// failure returns a result code with *dib null.
#pragma once

#include "platform.h"
#include "fileio.h"
#include "lang/lang.h"

#ifdef _WIN32
// The real BITMAPINFOHEADER and BI_RGB come from <windows.h>.
#else
struct BITMAPINFOHEADER {
    uint32_t biSize;
    int32_t biWidth;
    int32_t biHeight;
    uint16_t biPlanes;
    uint16_t biBitCount;
    uint32_t biCompression;
    uint32_t biSizeImage;
    int32_t biXPelsPerMeter;
    int32_t biYPelsPerMeter;
    uint32_t biClrUsed;
    uint32_t biClrImportant;
};
#ifndef BI_RGB
#define BI_RGB 0u
#endif
#endif
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");

// Four-character codes in biCompression, first character in the lowest byte.
#define VO_FOURCC(a, b, c, d) \
    ((uint32_t)(uint8_t)(a) | ((uint32_t)(uint8_t)(b) << 8) | ((uint32_t)(uint8_t)(c) << 16) | \
     ((uint32_t)(uint8_t)(d) << 24))
#define VO_BI_GREY VO_FOURCC('V', 'O', 'G', 'S')   // grey levels, 16-bit ones little-endian
#define VO_BI_BGRA VO_FOURCC('V', 'O', 'D', 'B')   // blue, green, red, alpha

// The toolkit's pixel types used for DIBs.
enum VoPixelType {
    VO_PIXEL_GREY1 = 17,    //  1 bpp grey levels, colour table of 1 entry (no meaning)
    VO_PIXEL_GREY2 = 18,    //  2 bpp grey levels, 3 entries
    VO_PIXEL_GREY4 = 19,    //  4 bpp grey levels, 15 entries
    VO_PIXEL_GREY8 = 20,    //  8 bpp grey levels, 255 entries
    VO_PIXEL_GREY16 = 21,   // 16 bpp grey levels, little-endian
    VO_PIXEL_PAL4 = 23,     //  4 bpp palette indices, BI_RGB
    VO_PIXEL_PAL8 = 24,     //  8 bpp palette indices, BI_RGB
    VO_PIXEL_BGR24 = 27,    // 24 bpp blue, green, red, BI_RGB
    VO_PIXEL_BGRA32 = 29,   // 32 bpp blue, green, red, alpha
    VO_PIXEL_BGRA64 = 31,   // 64 bpp blue, green, red, alpha as 16-bit little-endian values
};

// VoLoadPngDib flags.
#define VO_PNG_FROM_FILE 0x1u   // name is a file path; else a resource name or id

// VoDibAlloc flags.
#define VO_DIB_ZERO 0x1u        // zero-fill the block

// The largest pixel area (height x stride) a DIB may have: 64 MiB. Larger
// images are refused instead of being allocated.
#define VO_DIB_MAX_PIXEL_BYTES (64u * 1024u * 1024u)

// Row size in bytes for a width and bit count: padded to 4 bytes.
inline uint32_t VoDibStride(uint32_t bitCount, uint32_t width)
{
    return (uint32_t)((((uint64_t)bitCount * width + 31) / 32) * 4);
}
// The colour table and pixels that follow the header.
inline uint32_t *VoDibColorTable(BITMAPINFOHEADER *dib)
{
    return (uint32_t *)((uint8_t *)dib + dib->biSize);
}
inline uint8_t *VoDibBits(BITMAPINFOHEADER *dib)
{
    return (uint8_t *)dib + dib->biSize + dib->biClrUsed * 4u;
}

// Decodes a PNG image into a new DIB. With VO_PNG_FROM_FILE, name is a file
// path and lang is not used; otherwise name is a resource name or integer
// identifier (MAKEINTRESOURCE), looked up through the language instance
// (VoLoadResourceCustom) with the integer type 32, then with the type
// "BINARY" (Windows only; elsewhere VO_E_NORESOURCE).
// Returns 0, E_INVALIDARG (no path or no dib), VO_E_OPENFAILED, VO_E_BADDATA
// (no PNG signature or fewer than 8 bytes), VO_E_NORESOURCE, E_FAIL (libpng
// error, unsupported format) or E_OUTOFMEMORY (also for images too large).
HRESULT VoLoadPngDib(HVOLANG lang, const VOCHAR *name, uint32_t flags, BITMAPINFOHEADER **dib);

// The same decoding from a PNG held in memory.
HRESULT VoDibFromPng(BITMAPINFOHEADER **dib, const void *data, size_t size);

// Allocates a DIB of a pixel type: header, colour table and pixels in one
// locked block. palette holds paletteCount 4-byte entries (blue, green, red,
// alpha) copied into the colour table; a format of at most 8 bits per pixel
// given no palette gets a table of 2^bits - 1 entries. Returns 0,
// E_INVALIDARG (unknown pixel type, bad size or palette) or E_OUTOFMEMORY
// (also when the pixels would exceed VO_DIB_MAX_PIXEL_BYTES).
HRESULT VoDibAlloc(BITMAPINFOHEADER **dib, int pixelType, int width, int height,
                   const uint32_t *palette, int paletteCount, uint32_t flags);

// Frees a DIB made by the functions above; null is accepted. mode is not used.
HRESULT VoDibFree(BITMAPINFOHEADER *dib, uint32_t mode = 0);
