// PNG images into packed DIBs: the whole PngSuite compared pixel by pixel
// with libpng's simplified reader, DIB layout, and broken or hostile input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <png.h>
#include <zlib.h>

#include "log/errors.h"
#include "png/png.h"
#include "scratch.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// ---------------------------------------------------------------------------
// Test images.

// The PngSuite folder unpacked by scripts/setup into the dependency cache.
fs::path SuiteFolder()
{
    const char *cache = getenv("VOXKIT_CACHE");
    std::string root = cache && *cache ? cache : "/var/cache/voxkit";
#ifdef _WIN32
    if (!root.empty() && root[0] == '/') root = "Z:" + root;  // the Linux root under Wine
#endif
    std::error_code ec;
    for (auto &entry : fs::directory_iterator(fs::path(root) / "src", ec)) {
        std::string name = entry.path().filename().string();
        fs::path suite = entry.path() / "contrib" / "pngsuite";
        if (name.rfind("libpng-", 0) == 0 && fs::is_directory(suite, ec)) return suite;
    }
    return fs::path();
}

std::vector<fs::path> SuiteImages()
{
    std::vector<fs::path> images;
    fs::path suite = SuiteFolder();
    if (suite.empty()) return images;
    std::error_code ec;
    for (auto &entry : fs::recursive_directory_iterator(suite, ec))
        if (entry.path().extension() == ".png") images.push_back(entry.path());
    std::sort(images.begin(), images.end());
    return images;
}

fs::path SuiteImage(const std::string &name)
{
    return SuiteFolder() / name;
}

uint32_t Be32(const uint8_t *p)
{
    return ((uint32_t)p[0] << 24) | ((uint32_t)p[1] << 16) | ((uint32_t)p[2] << 8) | p[3];
}

void PutBe32(Bytes &out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back((uint8_t)(v >> shift));
}

void AddChunk(Bytes &png, const char *type, const Bytes &data)
{
    PutBe32(png, (uint32_t)data.size());
    size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBe32(png, (uint32_t)crc32(0, png.data() + start, (uInt)(png.size() - start)));
}

// The same PNG without its gAMA chunk, so that no gamma correction applies.
Bytes StripGamma(const Bytes &png)
{
    Bytes out(png.begin(), png.begin() + 8);
    for (size_t p = 8; p + 12 <= png.size();) {
        size_t total = 12 + (size_t)Be32(&png[p]);
        if (memcmp(&png[p + 4], "gAMA", 4) != 0) out.insert(out.end(), png.begin() + p, png.begin() + p + total);
        p += total;
    }
    return out;
}

// A PNG built from raw rows (filter bytes are added here); extra chunks
// go between IHDR and IDAT.
struct tExtraChunk {
    const char *type;
    Bytes data;
};
Bytes MakePng(uint32_t width, uint32_t height, int depth, int colorType, const std::vector<Bytes> &rows,
              const std::vector<tExtraChunk> &extra = {})
{
    Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    PutBe32(ihdr, width);
    PutBe32(ihdr, height);
    ihdr.insert(ihdr.end(), {(uint8_t)depth, (uint8_t)colorType, 0, 0, 0});
    AddChunk(png, "IHDR", ihdr);
    for (const tExtraChunk &chunk : extra) AddChunk(png, chunk.type, chunk.data);
    if (!rows.empty()) {
        Bytes raw;
        for (const Bytes &row : rows) {
            raw.push_back(0);
            raw.insert(raw.end(), row.begin(), row.end());
        }
        uLongf size = compressBound((uLong)raw.size());
        Bytes packed(size);
        compress(packed.data(), &size, raw.data(), (uLong)raw.size());
        packed.resize(size);
        AddChunk(png, "IDAT", packed);
    }
    AddChunk(png, "IEND", {});
    return png;
}

// ---------------------------------------------------------------------------
// Decoding and reading DIBs back.

struct DibHolder {
    BITMAPINFOHEADER *dib = nullptr;
    ~DibHolder() { VoDibFree(dib); }
};

HRESULT FromMemory(const Bytes &png, DibHolder &holder)
{
    return VoDibFromPng(&holder.dib, png.data(), png.size());
}

uint32_t Stride(const BITMAPINFOHEADER *dib)
{
    return VoDibStride(dib->biBitCount, (uint32_t)dib->biWidth);
}

// The pixel at (x, y), y counted from the image's top, as 8-bit channels in
// the order of the reference format (grey, or blue, green, red (, alpha)).
// 16-bit values are scaled to 8 bits as the simplified reader does.
std::vector<int> DibPixel(BITMAPINFOHEADER *dib, int x, int y)
{
    const uint8_t *row = VoDibBits(dib) + (size_t)(dib->biHeight - 1 - y) * Stride(dib);
    auto scale16 = [](const uint8_t *p) { return (int)(((p[0] | (p[1] << 8)) * 255u + 32767u) / 65535u); };
    int bits = dib->biBitCount;
    if (dib->biCompression == VO_BI_GREY) {
        if (bits == 16) return {scale16(row + 2 * x)};
        int v = (row[x * bits / 8] >> (8 - bits - (x * bits) % 8)) & ((1 << bits) - 1);
        return {v * 255 / ((1 << bits) - 1)};
    }
    if (bits <= 8) {
        int index = (row[x * bits / 8] >> (8 - bits - (x * bits) % 8)) & ((1 << bits) - 1);
        if ((uint32_t)index >= dib->biClrUsed) return {-1, -1, -1};
        uint32_t entry = VoDibColorTable(dib)[index];
        return {(int)(entry & 0xFF), (int)((entry >> 8) & 0xFF), (int)((entry >> 16) & 0xFF)};
    }
    if (bits == 24) return {row[3 * x], row[3 * x + 1], row[3 * x + 2]};
    if (bits == 32) return {row[4 * x], row[4 * x + 1], row[4 * x + 2], row[4 * x + 3]};
    const uint8_t *p = row + 8 * x;
    return {scale16(p), scale16(p + 2), scale16(p + 4), scale16(p + 6)};
}

// libpng's simplified reader in the layout matching the DIB (top-down).
bool ReadReference(const Bytes &png, uint32_t format, png_image &image, Bytes &pixels)
{
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return false;
    image.format = format;
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;  // 16-bit values as they stand, not linear
    pixels.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) != 0;
}

uint32_t ReferenceFormat(const BITMAPINFOHEADER *dib)
{
    if (dib->biCompression == VO_BI_GREY) return PNG_FORMAT_GRAY;
    return dib->biBitCount >= 32 ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
}

// Compares every pixel of the DIB with the reference; channels lists which
// channels to compare (all when empty).
void ExpectSamePixels(const std::string &name, const Bytes &png, BITMAPINFOHEADER *dib, std::vector<int> channels = {})
{
    png_image image;
    Bytes ref;
    ASSERT_TRUE(ReadReference(png, ReferenceFormat(dib), image, ref)) << name << ": " << image.message;
    png_image_free(&image);
    ASSERT_EQ(image.width, (uint32_t)dib->biWidth) << name;
    ASSERT_EQ(image.height, (uint32_t)dib->biHeight) << name;
    int count = (int)PNG_IMAGE_SAMPLE_CHANNELS(image.format);
    if (channels.empty())
        for (int c = 0; c < count; ++c) channels.push_back(c);
    int tolerance = dib->biBitCount == 16 || dib->biBitCount == 64 ? 1 : 0;
    int faults = 0;
    for (int y = 0; y < dib->biHeight && faults < 5; ++y)
        for (int x = 0; x < dib->biWidth && faults < 5; ++x) {
            std::vector<int> got = DibPixel(dib, x, y);
            const uint8_t *want = &ref[((size_t)y * image.width + x) * count];
            for (int c : channels)
                if (std::abs(got[c] - (int)want[c]) > tolerance) {
                    ADD_FAILURE() << name << " pixel " << x << "," << y << " channel " << c << ": " << got[c]
                                  << " instead of " << (int)want[c];
                    ++faults;
                    break;
                }
        }
}

// ---------------------------------------------------------------------------
// The PngSuite.

TEST(PngSuite, EveryImageMatchesTheReference)
{
    std::vector<fs::path> images = SuiteImages();
    ASSERT_GE(images.size(), 50u) << "PngSuite not found under $VOXKIT_CACHE or /var/cache/voxkit "
                                     "(src/libpng-*/contrib/pngsuite); run scripts/setup";
    for (const fs::path &path : images) {
        std::string name = path.filename().string();
        SCOPED_TRACE(name);
        Bytes original = ReadBytes(path);

        // From the file: the same layout as from memory.
        DibHolder fromFile;
        ASSERT_EQ(VoLoadPngDib(nullptr, ToVo(path).c_str(), VO_PNG_FROM_FILE, &fromFile.dib), S_OK);
        DibHolder fromMemory;
        ASSERT_EQ(FromMemory(original, fromMemory), S_OK);
        size_t total = sizeof(BITMAPINFOHEADER) + fromFile.dib->biClrUsed * 4 + fromFile.dib->biSizeImage;
        ASSERT_EQ(memcmp(fromFile.dib, fromMemory.dib, total), 0);

        // Colours without gamma; alpha (never gamma-corrected) on the original.
        Bytes plain = StripGamma(original);
        DibHolder dib;
        ASSERT_EQ(FromMemory(plain, dib), S_OK);
        // The simplified reader of this libpng shifts the values of
        // interlaced 16-bit images (its standard reader does not); those are
        // checked against their non-interlaced twins below instead.
        if (original[24] == 16 && original[28] == 1) continue;
        ExpectSamePixels(name, plain, dib.dib);
        if (fromFile.dib->biBitCount >= 32) ExpectSamePixels(name, original, fromFile.dib, {3});
    }
}

TEST(PngSuite, PixelTypeFollowsTheImageHeader)
{
    // name, bit count, compression (G grey, R BI_RGB, A blue-green-red-alpha), colour-table count
    struct Case {
        const char *name;
        uint16_t bits;
        char compression;
        uint32_t tableCount;
    };
    const Case cases[] = {
        {"basn0g01.png", 1, 'G', 1},    {"basn0g02.png", 2, 'G', 3},    {"basn0g04.png", 4, 'G', 15},
        {"basn0g08.png", 8, 'G', 255},  {"basn0g16.png", 16, 'G', 0},   {"basn2c08.png", 24, 'R', 0},
        {"basn2c16.png", 64, 'A', 0},   {"basn3p01.png", 8, 'R', 2},    {"basn3p02.png", 4, 'R', 4},
        {"basn3p04.png", 4, 'R', 15},   {"basn3p08.png", 8, 'R', 256},  {"basn4a08.png", 32, 'A', 0},
        {"basn4a16.png", 64, 'A', 0},   {"basn6a08.png", 32, 'A', 0},   {"basn6a16.png", 64, 'A', 0},
        {"ftbbn0g04.png", 32, 'A', 0},  {"ftbrn2c08.png", 32, 'A', 0},  {"ftbwn0g16.png", 64, 'A', 0},
        {"ftbbn2c16.png", 64, 'A', 0},  {"ftbbn3p08.png", 32, 'A', 0},
    };
    ASSERT_FALSE(SuiteFolder().empty()) << "PngSuite not found; run scripts/setup";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DibHolder dib;
        ASSERT_EQ(VoLoadPngDib(nullptr, ToVo(SuiteImage(c.name)).c_str(), VO_PNG_FROM_FILE, &dib.dib), S_OK);
        EXPECT_EQ(dib.dib->biSize, 40u);
        EXPECT_EQ(dib.dib->biWidth, 32);
        EXPECT_EQ(dib.dib->biHeight, 32);
        EXPECT_EQ(dib.dib->biPlanes, 1);
        EXPECT_EQ(dib.dib->biBitCount, c.bits);
        EXPECT_EQ(dib.dib->biCompression, c.compression == 'G' ? VO_BI_GREY : c.compression == 'A' ? VO_BI_BGRA : (uint32_t)BI_RGB);
        EXPECT_EQ(dib.dib->biClrUsed, c.tableCount);
        EXPECT_EQ(dib.dib->biSizeImage, 32u * Stride(dib.dib));
    }
}

TEST(PngSuite, InterlacedImagesGiveTheSameDib)
{
    ASSERT_FALSE(SuiteFolder().empty()) << "PngSuite not found; run scripts/setup";
    int pairs = 0;
    for (const fs::path &path : SuiteImages()) {
        std::string name = path.filename().string();
        fs::path plainPath = SuiteImage(name.substr(1));
        if (name[0] != 'i' || !fs::exists(plainPath)) continue;
        SCOPED_TRACE(name);
        DibHolder interlaced, plain;
        ASSERT_EQ(FromMemory(StripGamma(ReadBytes(path)), interlaced), S_OK);
        ASSERT_EQ(FromMemory(StripGamma(ReadBytes(plainPath)), plain), S_OK);
        // Palettes may be ordered differently: compare the colours.
        ASSERT_EQ(interlaced.dib->biBitCount, plain.dib->biBitCount);
        ASSERT_EQ(interlaced.dib->biWidth, plain.dib->biWidth);
        ASSERT_EQ(interlaced.dib->biHeight, plain.dib->biHeight);
        for (int y = 0; y < plain.dib->biHeight; ++y) {
            for (int x = 0; x < plain.dib->biWidth; ++x) {
                ASSERT_EQ(DibPixel(interlaced.dib, x, y), DibPixel(plain.dib, x, y)) << x << "," << y;
            }
        }
        if (plain.dib->biBitCount > 8) {
            EXPECT_EQ(memcmp(VoDibBits(interlaced.dib), VoDibBits(plain.dib), plain.dib->biSizeImage), 0);
        }
        ++pairs;
    }
    EXPECT_GE(pairs, 20);
}

TEST(PngSuite, FileGammaIsCorrectedForAScreenOf22)
{
    ASSERT_FALSE(SuiteFolder().empty()) << "PngSuite not found; run scripts/setup";
    // basn0g08 and basn2c08 are linear (gAMA 1.0): v becomes 255 (v/255)^(1/2.2).
    for (const char *name : {"basn0g08.png", "basn2c08.png"}) {
        SCOPED_TRACE(name);
        Bytes original = ReadBytes(SuiteImage(name));
        DibHolder corrected, plain;
        ASSERT_EQ(FromMemory(original, corrected), S_OK);
        ASSERT_EQ(FromMemory(StripGamma(original), plain), S_OK);
        const uint8_t *a = VoDibBits(corrected.dib), *b = VoDibBits(plain.dib);
        for (uint32_t i = 0; i < plain.dib->biSizeImage; ++i) {
            int want = (int)std::lround(255.0 * std::pow(b[i] / 255.0, 1.0 / 2.2));
            ASSERT_LE(std::abs(a[i] - want), 1) << "byte " << i << " from " << (int)b[i];
        }
    }
}

// ---------------------------------------------------------------------------
// Layouts of built images.

TEST(PngLayout, RgbOfWidth3HasStride12AndBottomUpRows)
{
    std::vector<Bytes> rows = {{1, 2, 3, 4, 5, 6, 7, 8, 9}, {10, 11, 12, 13, 14, 15, 16, 17, 18}};
    DibHolder dib;
    ASSERT_EQ(FromMemory(MakePng(3, 2, 8, PNG_COLOR_TYPE_RGB, rows), dib), S_OK);
    EXPECT_EQ(dib.dib->biBitCount, 24);
    EXPECT_EQ(dib.dib->biCompression, (uint32_t)BI_RGB);
    EXPECT_EQ(Stride(dib.dib), 12u);
    EXPECT_EQ(dib.dib->biSizeImage, 24u);
    EXPECT_EQ(dib.dib->biClrUsed, 0u);
    const Bytes want = {12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0,   // the image's last row first
                        3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0};
    EXPECT_EQ(Bytes(VoDibBits(dib.dib), VoDibBits(dib.dib) + 24), want);
}

TEST(PngLayout, PaletteIndicesOfTwoAndFourBitsBecomeNibbles)
{
    Bytes plte4, plte16;
    for (int i = 0; i < 4; ++i) plte4.insert(plte4.end(), {(uint8_t)(i * 10), (uint8_t)(i * 20), (uint8_t)(i * 30)});
    for (int i = 0; i < 16; ++i) plte16.insert(plte16.end(), {(uint8_t)i, (uint8_t)(i + 1), (uint8_t)(i + 2)});

    // Width 5, 2-bit indices 3 1 2 0 3 -> nibbles 3 1 | 2 0 | 3 (0).
    DibHolder two;
    ASSERT_EQ(FromMemory(MakePng(5, 1, 2, PNG_COLOR_TYPE_PALETTE, {{0xD8, 0xC0}}, {{"PLTE", plte4}}), two), S_OK);
    EXPECT_EQ(two.dib->biBitCount, 4);
    EXPECT_EQ(two.dib->biCompression, (uint32_t)BI_RGB);
    ASSERT_EQ(two.dib->biClrUsed, 4u);
    EXPECT_EQ(VoDibColorTable(two.dib)[3], 0xFF1E3C5Au);  // bytes: blue 90, green 60, red 30, alpha 255
    EXPECT_EQ(Bytes(VoDibBits(two.dib), VoDibBits(two.dib) + 4), (Bytes{0x31, 0x20, 0x30, 0x00}));

    DibHolder four;
    ASSERT_EQ(FromMemory(MakePng(3, 1, 4, PNG_COLOR_TYPE_PALETTE, {{0xF7, 0x20}}, {{"PLTE", plte16}}), four), S_OK);
    EXPECT_EQ(four.dib->biBitCount, 4);
    EXPECT_EQ(four.dib->biClrUsed, 16u);
    EXPECT_EQ(Bytes(VoDibBits(four.dib), VoDibBits(four.dib) + 4), (Bytes{0xF7, 0x20, 0, 0}));
}

TEST(PngLayout, RgbOf16BitsGetsOpaqueAlphaAndLittleEndianValues)
{
    DibHolder dib;
    ASSERT_EQ(FromMemory(MakePng(1, 1, 16, PNG_COLOR_TYPE_RGB, {{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}}), dib), S_OK);
    EXPECT_EQ(dib.dib->biBitCount, 64);
    EXPECT_EQ(Bytes(VoDibBits(dib.dib), VoDibBits(dib.dib) + 8), (Bytes{0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xFF}));
}

TEST(PngLayout, PaletteGammaFollowsTheFileGamma)
{
    // gAMA 0.5: each colour byte v becomes 255 (v/255)^2, cut toward zero.
    Bytes gama;
    PutBe32(gama, 50000);
    DibHolder dib;
    ASSERT_EQ(FromMemory(MakePng(1, 1, 8, PNG_COLOR_TYPE_PALETTE, {{0}}, {{"gAMA", gama}, {"PLTE", {0, 128, 255}}}), dib),
              S_OK);
    ASSERT_EQ(dib.dib->biClrUsed, 1u);
    EXPECT_EQ(VoDibColorTable(dib.dib)[0], 0xFF000000u | (0u << 16) | (64u << 8) | 255u);
}

TEST(PngDibAlloc, HeaderAndColourTable)
{
    DibHolder grey;
    ASSERT_EQ(VoDibAlloc(&grey.dib, VO_PIXEL_GREY8, 5, 3, nullptr, 0, VO_DIB_ZERO), S_OK);
    EXPECT_EQ(grey.dib->biClrUsed, 255u);
    EXPECT_EQ(grey.dib->biSizeImage, 24u);
    EXPECT_EQ(grey.dib->biClrImportant, 0u);
    EXPECT_EQ(grey.dib->biXPelsPerMeter, 0);

    const uint32_t palette[3] = {0x11223344u, 0x55667788u, 0x99AABBCCu};
    DibHolder pal;
    ASSERT_EQ(VoDibAlloc(&pal.dib, VO_PIXEL_PAL4, 9, 2, palette, 3, VO_DIB_ZERO), S_OK);
    EXPECT_EQ(pal.dib->biClrUsed, 3u);
    EXPECT_EQ(memcmp(VoDibColorTable(pal.dib), palette, sizeof(palette)), 0);
    EXPECT_EQ(VoDibBits(pal.dib), (uint8_t *)pal.dib + 40 + 12);
    EXPECT_EQ(pal.dib->biSizeImage, 16u);

    DibHolder bad;
    EXPECT_EQ(VoDibAlloc(&bad.dib, 22, 4, 4, nullptr, 0, 0), E_INVALIDARG);
    EXPECT_EQ(VoDibAlloc(&bad.dib, VO_PIXEL_PAL4, 4, 4, palette, 17, 0), E_INVALIDARG);
    EXPECT_EQ(VoDibAlloc(&bad.dib, VO_PIXEL_BGR24, 0, 4, nullptr, 0, 0), E_INVALIDARG);
    EXPECT_EQ(VoDibAlloc(&bad.dib, VO_PIXEL_BGRA64, 100000, 100000, nullptr, 0, 0), E_OUTOFMEMORY);
    EXPECT_EQ(bad.dib, nullptr);
    EXPECT_EQ(VoDibFree(nullptr), S_OK);
}

// ---------------------------------------------------------------------------
// Failures.

TEST(PngFailure, ShortOrForeignDataIsBadData)
{
    ScratchFolder scratch;
    const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const Bytes inputs[] = {Bytes(), Bytes(signature.begin(), signature.begin() + 5), TextBytes("GIF89a not a png")};
    for (const Bytes &input : inputs) {
        fs::path path = scratch / "image.png";
        WriteBytes(path, input);
        BITMAPINFOHEADER *dib = (BITMAPINFOHEADER *)&scratch;  // must be reset
        EXPECT_EQ(VoLoadPngDib(nullptr, ToVo(path).c_str(), VO_PNG_FROM_FILE, &dib), VO_E_BADDATA);
        EXPECT_EQ(dib, nullptr);
        dib = (BITMAPINFOHEADER *)&scratch;
        EXPECT_EQ(VoDibFromPng(&dib, input.data(), input.size()), VO_E_BADDATA);
        EXPECT_EQ(dib, nullptr);
    }
}

TEST(PngFailure, MissingFileNullPathAndMissingResource)
{
    ScratchFolder scratch;
    BITMAPINFOHEADER *dib = nullptr;
    EXPECT_EQ(VoLoadPngDib(nullptr, ToVo(scratch / "none.png").c_str(), VO_PNG_FROM_FILE, &dib), VO_E_OPENFAILED);
    EXPECT_EQ(VoLoadPngDib(nullptr, nullptr, VO_PNG_FROM_FILE, &dib), E_INVALIDARG);
    EXPECT_EQ(VoLoadPngDib(nullptr, ToVo(scratch.Path()).c_str(), VO_PNG_FROM_FILE, &dib), VO_E_OPENFAILED);
    // The test program carries no image resources.
    EXPECT_EQ(VoLoadPngDib(nullptr, (const VOCHAR *)(uintptr_t)107, 0, &dib), VO_E_NORESOURCE);
    EXPECT_EQ(dib, nullptr);
}

TEST(PngFailure, EveryTruncationFailsCleanly)
{
    ASSERT_FALSE(SuiteFolder().empty()) << "PngSuite not found; run scripts/setup";
    ScratchFolder scratch;
    for (const char *name : {"basn3p02.png", "basn2c16.png", "ibasn0g16.png", "ftbbn0g04.png"}) {
        Bytes png = ReadBytes(SuiteImage(name));
        for (size_t size = 8; size < png.size(); ++size) {
            BITMAPINFOHEADER *dib = nullptr;
            ASSERT_EQ(VoDibFromPng(&dib, png.data(), size), E_FAIL) << name << " cut to " << size;
            ASSERT_EQ(dib, nullptr);
        }
        // And once through the file reader.
        fs::path path = scratch / name;
        WriteBytes(path, Bytes(png.begin(), png.begin() + png.size() / 2));
        BITMAPINFOHEADER *dib = nullptr;
        EXPECT_EQ(VoLoadPngDib(nullptr, ToVo(path).c_str(), VO_PNG_FROM_FILE, &dib), E_FAIL) << name;
        EXPECT_EQ(dib, nullptr);
    }
}

TEST(PngFailure, CorruptChunksFail)
{
    ASSERT_FALSE(SuiteFolder().empty()) << "PngSuite not found; run scripts/setup";
    Bytes png = ReadBytes(SuiteImage("basn6a08.png"));
    // A flipped bit in a critical chunk (header, image data, end) is a bad
    // CRC, header or compressed stream: E_FAIL, never a silent success.
    // Damaged ancillary chunks such as gAMA are skipped by libpng.
    for (size_t i = 8; i < png.size(); i += 3) {
        size_t chunk = 8;
        while (chunk + 12 + Be32(&png[chunk]) <= i) chunk += 12 + Be32(&png[chunk]);
        if (memcmp(&png[chunk + 4], "gAMA", 4) == 0) continue;
        Bytes broken = png;
        broken[i] ^= 0x10;
        BITMAPINFOHEADER *dib = nullptr;
        HRESULT hr = VoDibFromPng(&dib, broken.data(), broken.size());
        VoDibFree(dib);
        ASSERT_EQ(hr, E_FAIL) << "byte " << i;
        ASSERT_EQ(dib, nullptr);
    }
}

TEST(PngFailure, UnsupportedAndAbsurdHeadersAreRefused)
{
    BITMAPINFOHEADER *dib = nullptr;
    // Grey of depth 3, RGB of depth 4.
    Bytes grey3 = MakePng(1, 1, 3, PNG_COLOR_TYPE_GRAY, {{0}});
    EXPECT_EQ(VoDibFromPng(&dib, grey3.data(), grey3.size()), E_FAIL);
    Bytes rgb4 = MakePng(1, 1, 4, PNG_COLOR_TYPE_RGB, {{0, 0}});
    EXPECT_EQ(VoDibFromPng(&dib, rgb4.data(), rgb4.size()), E_FAIL);
    // A million by a million pixels of 64 bits: refused before any allocation.
    // (read_info stops at the first IDAT: a stub one will do.)
    const std::vector<tExtraChunk> stub = {{"IDAT", {0x78, 0x9C}}};
    Bytes huge = MakePng(1000000, 1000000, 16, PNG_COLOR_TYPE_RGB_ALPHA, {}, stub);
    EXPECT_EQ(VoDibFromPng(&dib, huge.data(), huge.size()), E_OUTOFMEMORY);
    Bytes wide = MakePng(20000, 20000, 8, PNG_COLOR_TYPE_RGB, {}, stub);
    EXPECT_EQ(VoDibFromPng(&dib, wide.data(), wide.size()), E_OUTOFMEMORY);
    EXPECT_EQ(dib, nullptr);
    // Rows missing: the header is fine, the pixels never come.
    Bytes empty = MakePng(4, 4, 8, PNG_COLOR_TYPE_RGB, {});
    EXPECT_EQ(VoDibFromPng(&dib, empty.data(), empty.size()), E_FAIL);
    EXPECT_EQ(dib, nullptr);
}

}  // namespace
