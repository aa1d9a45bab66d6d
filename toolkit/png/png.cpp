// PNG decoding into packed DIBs with libpng.
//
// libpng reports errors by a long jump back to the setjmp in PngDecode. So
// that nothing is lost or leaked by the jump, every value still needed
// afterwards (the libpng structures, the source, the DIB) lives in a
// tVOPNGREAD owned by the caller PngRead, and PngDecode holds no object with
// a destructor.
#include "png_internal.h"

#include <cmath>
#include <csetjmp>
#include <cstring>

#include <png.h>

#include "log/errors.h"

namespace {

const size_t kSignatureBytes = 8;
const double kScreenGamma = 2.2;

// Where the compressed bytes come from: an open file or a memory block
// (the part after the signature).
struct tVOPNGSOURCE {
    HVOFILE file;
    const uint8_t *data;
    size_t size;
    size_t position;
};

struct tVOPNGREAD {
    png_structp png;
    png_infop info;
    tVOPNGSOURCE source;
    BITMAPINFOHEADER *dib;
};

void PngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp)
{
}

// Delivers exactly length bytes or raises a libpng error: a short source
// must never leave libpng working on bytes that were not read.
void PngReadData(png_structp png, png_bytep out, png_size_t length)
{
    tVOPNGSOURCE *source = (tVOPNGSOURCE *)png_get_io_ptr(png);
    if (source->file) {
        while (length > 0) {
            uint32_t chunk = length > 0x10000000u ? 0x10000000u : (uint32_t)length;
            uint32_t done = 0;
            if (!VoFileRead(source->file, out, chunk, &done) || done == 0)
                png_error(png, "read error");
            out += done;
            length -= done;
        }
        return;
    }
    if (length > source->size - source->position) png_error(png, "unexpected end of data");
    memcpy(out, source->data + source->position, length);
    source->position += length;
}

// Pixel type for the image header; 0 for a combination that is not supported.
int ChoosePixelType(int colorType, int depth, bool transparency)
{
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
        if (depth == 16) return transparency ? VO_PIXEL_BGRA64 : VO_PIXEL_GREY16;
        if (transparency && (depth == 1 || depth == 2 || depth == 4 || depth == 8)) return VO_PIXEL_BGRA32;
        switch (depth) {
        case 1: return VO_PIXEL_GREY1;
        case 2: return VO_PIXEL_GREY2;
        case 4: return VO_PIXEL_GREY4;
        case 8: return VO_PIXEL_GREY8;
        }
        return 0;
    case PNG_COLOR_TYPE_RGB:
        if (depth == 8) return transparency ? VO_PIXEL_BGRA32 : VO_PIXEL_BGR24;
        return depth == 16 ? VO_PIXEL_BGRA64 : 0;
    case PNG_COLOR_TYPE_PALETTE:
        if (depth != 1 && depth != 2 && depth != 4 && depth != 8) return 0;
        if (transparency) return VO_PIXEL_BGRA32;
        return depth == 2 || depth == 4 ? VO_PIXEL_PAL4 : VO_PIXEL_PAL8;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
    case PNG_COLOR_TYPE_RGB_ALPHA:
        if (depth == 8) return VO_PIXEL_BGRA32;
        return depth == 16 ? VO_PIXEL_BGRA64 : 0;
    }
    return 0;
}

// Widens 2-bit palette indices to 4-bit ones in place, from the row's end
// towards its start (first index of each byte in the high nibble).
void WidenIndices2To4(uint8_t *row, uint32_t width)
{
    for (uint32_t pair = (width + 1) / 2; pair-- > 0;) {
        uint32_t x = pair * 2;
        uint8_t first = (uint8_t)((row[x / 4] >> (6 - 2 * (x % 4))) & 3);
        uint8_t second = 0;
        if (x + 1 < width) second = (uint8_t)((row[(x + 1) / 4] >> (6 - 2 * ((x + 1) % 4))) & 3);
        row[pair] = (uint8_t)((first << 4) | second);
    }
}

// Reads the image whose signature was already consumed. Returns 0 with
// state->dib set, or a failure code; the caller frees the DIB on failure.
HRESULT PngDecode(tVOPNGREAD *state)
{
    png_structp png = state->png;
    png_infop info = state->info;
    if (setjmp(png_jmpbuf(png))) return E_FAIL;

    png_set_sig_bytes(png, (int)kSignatureBytes);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int depth = 0, colorType = 0, interlace = 0;
    if (!png_get_IHDR(png, info, &width, &height, &depth, &colorType, &interlace, nullptr, nullptr))
        return E_FAIL;
    bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;

    double fileGamma = 0.0;
    bool hasGamma = png_get_gAMA(png, info, &fileGamma) != 0;
    if (hasGamma) png_set_gamma(png, kScreenGamma, fileGamma);

    int pixelType = ChoosePixelType(colorType, depth, transparency);
    if (!pixelType) return E_FAIL;
    if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) return E_OUTOFMEMORY;

    // The colour table of palette images that keep their indices.
    uint32_t table[256];
    int tableCount = 0;
    if (colorType == PNG_COLOR_TYPE_PALETTE && !transparency) {
        png_colorp plte = nullptr;
        int count = 0;
        if (!png_get_PLTE(png, info, &plte, &count) || !plte || count <= 0) return E_FAIL;
        if (count > (1 << depth)) count = 1 << depth;
        bool correct = hasGamma && fileGamma != 1.0 && fileGamma >= 0.000005;
        for (int i = 0; i < count; ++i) {
            uint8_t rgb[3] = {plte[i].red, plte[i].green, plte[i].blue};
            if (correct)
                for (uint8_t &v : rgb) v = (uint8_t)(255.0 * pow(v / 255.0, 1.0 / fileGamma));
            table[i] = (uint32_t)rgb[2] | ((uint32_t)rgb[1] << 8) | ((uint32_t)rgb[0] << 16) | 0xFF000000u;
        }
        tableCount = count;
    }

    HRESULT hr = VoDibAlloc(&state->dib, pixelType, (int)width, (int)height,
                            tableCount ? table : nullptr, tableCount, VO_DIB_ZERO);
    if (FAILED(hr)) return hr;

    // Conversions into the DIB's layout: grey levels and palette indices
    // stay as they are (1-bit palettes become bytes); everything else
    // becomes blue, green, red (, alpha), 16-bit values little-endian.
    // Transparency chunks turn into alpha inside libpng, before gamma.
    switch (colorType) {
    case PNG_COLOR_TYPE_GRAY:
        if (transparency) {
            png_set_tRNS_to_alpha(png);
            png_set_gray_to_rgb(png);
        }
        break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        png_set_gray_to_rgb(png);
        break;
    case PNG_COLOR_TYPE_PALETTE:
        if (transparency) {
            png_set_expand(png);
            png_set_bgr(png);
        } else if (depth == 1) {
            png_set_packing(png);
        }
        break;
    case PNG_COLOR_TYPE_RGB:
        if (transparency)
            png_set_tRNS_to_alpha(png);
        else if (depth == 16)
            png_set_add_alpha(png, 0xFFFF, PNG_FILLER_AFTER);
        png_set_bgr(png);
        break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        png_set_bgr(png);
        break;
    }
    if (depth == 16) png_set_swap(png);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    BITMAPINFOHEADER *dib = state->dib;
    uint32_t stride = VoDibStride(dib->biBitCount, width);
    // libpng writes rowbytes into each DIB row: they must fit.
    if (png_get_rowbytes(png, info) > stride) return E_FAIL;

    uint8_t *bits = VoDibBits(dib);
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, bits + (size_t)(height - 1 - y) * stride, nullptr);

    if (colorType == PNG_COLOR_TYPE_PALETTE && depth == 2 && !transparency)
        for (png_uint_32 y = 0; y < height; ++y) WidenIndices2To4(bits + (size_t)y * stride, width);

    png_read_end(png, nullptr);
    return S_OK;
}

HRESULT PngRead(const tVOPNGSOURCE &source, BITMAPINFOHEADER **dib)
{
    tVOPNGREAD state;
    memset(&state, 0, sizeof(state));
    state.source = source;
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
    if (!state.png) return E_FAIL;
    state.info = png_create_info_struct(state.png);
    if (!state.info) {
        png_destroy_read_struct(&state.png, nullptr, nullptr);
        return E_FAIL;
    }
    png_set_read_fn(state.png, &state.source, PngReadData);

    HRESULT hr = PngDecode(&state);
    png_destroy_read_struct(&state.png, &state.info, nullptr);
    if (FAILED(hr)) {
        VoDibFree(state.dib);
        state.dib = nullptr;
    }
    *dib = state.dib;
    return hr;
}

bool IsPngSignature(const void *bytes)
{
    return png_sig_cmp((png_const_bytep)bytes, 0, kSignatureBytes) == 0;
}

}  // namespace

HRESULT VoDibFromPng(BITMAPINFOHEADER **dib, const void *data, size_t size)
{
    if (!dib) return E_INVALIDARG;
    *dib = nullptr;
    if (!data || size < kSignatureBytes || !IsPngSignature(data)) return VO_E_BADDATA;
    tVOPNGSOURCE source;
    memset(&source, 0, sizeof(source));
    source.data = (const uint8_t *)data;
    source.size = size;
    source.position = kSignatureBytes;
    return PngRead(source, dib);
}

HRESULT VoLoadPngDib(HVOLANG lang, const VOCHAR *name, uint32_t flags, BITMAPINFOHEADER **dib)
{
    if (!dib) return E_INVALIDARG;
    *dib = nullptr;
    if (!(flags & VO_PNG_FROM_FILE)) {
        const void *data = nullptr;
        size_t size = 0;
        HRESULT hr = VoPngFindResource(lang, name, &data, &size);
        if (FAILED(hr)) return hr;
        return VoDibFromPng(dib, data, size);
    }

    if (!name) return E_INVALIDARG;
    HVOFILE file = VoFileOpen(name, VO_ACCESS_READ, VO_SHARE_READ | VO_SHARE_WRITE, VO_OPEN_EXISTING);
    if (!file) return VO_E_OPENFAILED;
    uint8_t signature[kSignatureBytes];
    uint32_t done = 0;
    HRESULT hr;
    if (!VoFileRead(file, signature, sizeof(signature), &done) || done != sizeof(signature) ||
        !IsPngSignature(signature)) {
        hr = VO_E_BADDATA;
    } else {
        tVOPNGSOURCE source;
        memset(&source, 0, sizeof(source));
        source.file = file;
        hr = PngRead(source, dib);
    }
    VoFileClose(file);
    return hr;
}

#ifndef _WIN32
HRESULT VoPngFindResource(HVOLANG, const VOCHAR *, const void **data, size_t *size)
{
    *data = nullptr;
    *size = 0;
    return VO_E_NORESOURCE;
}
#endif
