// .ico files read, and the RT_GROUP_ICON resource that lists their images.
#include "bytes.h"
#include "peres.h"

namespace peres {

namespace {

const char kPngSignature[] = "\x89PNG\r\n\x1A\n";

uint32_t GetBig32(const Bytes &b, size_t at)
{
    return (uint32_t)(uint8_t)b[at] << 24 | (uint32_t)(uint8_t)b[at + 1] << 16 | (uint32_t)(uint8_t)b[at + 2] << 8 |
           (uint32_t)(uint8_t)b[at + 3];
}

// A PNG image: the signature and an IHDR chunk with a size; its bits per
// pixel from the colour type and depth.
bool ReadPngHeader(const Bytes &image, uint16_t *bitCount)
{
    if (image.size() < 33 || image.compare(0, 8, kPngSignature, 8) != 0 || image.compare(12, 4, "IHDR") != 0)
        return false;
    if (GetBig32(image, 16) == 0 || GetBig32(image, 20) == 0) return false;
    unsigned depth = (uint8_t)image[24], colorType = (uint8_t)image[25];
    unsigned channels = colorType == 2 ? 3 : colorType == 4 ? 2 : colorType == 6 ? 4 : 1;
    *bitCount = (uint16_t)(depth * channels);
    return true;
}

// A DIB as icons hold it: a BITMAPINFOHEADER (or a later version of it), a
// size and a known bit count.
bool ReadDibHeader(const Bytes &image, uint16_t *bitCount)
{
    if (image.size() < 40) return false;
    uint32_t headerSize = Get32(image, 0);
    int32_t width = (int32_t)Get32(image, 4), height = (int32_t)Get32(image, 8);
    uint16_t bits = Get16(image, 14);
    if (headerSize < 40 || headerSize > image.size() || width <= 0 || height == 0) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    *bitCount = bits;
    return true;
}

}  // namespace

bool ParseIcoFile(const Bytes &file, std::vector<IconImage> &images, std::string &error)
{
    images.clear();
    if (file.size() < 6 || Get16(file, 0) != 0 || (Get16(file, 2) != 1 && Get16(file, 2) != 2)) {
        error = "not an icon file";
        return false;
    }
    if (Get16(file, 2) == 2) {
        error = "a cursor file, not an icon file";
        return false;
    }
    size_t count = Get16(file, 4);
    if (count == 0) {
        error = "the icon file holds no image";
        return false;
    }
    if (!Within(file.size(), 6, 16 * count)) {
        error = "not an icon file (its directory of " + std::to_string(count) + " images is cut short)";
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        size_t entry = 6 + 16 * i;
        uint32_t size = Get32(file, entry + 8), offset = Get32(file, entry + 12);
        std::string which = "image " + std::to_string(i + 1) + " of " + std::to_string(count);
        if (size == 0 || !Within(file.size(), offset, size)) {
            error = "not an icon file (" + which + " lies outside the file)";
            return false;
        }
        IconImage image;
        image.width = (uint8_t)file[entry];
        image.height = (uint8_t)file[entry + 1];
        image.colorCount = (uint8_t)file[entry + 2];
        image.planes = Get16(file, entry + 4);
        image.bitCount = Get16(file, entry + 6);
        image.data = file.substr(offset, size);
        uint16_t bits = 0;
        image.png = ReadPngHeader(image.data, &bits);
        if (!image.png && !ReadDibHeader(image.data, &bits)) {
            error = "not an icon file (" + which + " is neither a bitmap nor a PNG image)";
            return false;
        }
        if (image.planes == 0) image.planes = 1;
        if (image.bitCount == 0) image.bitCount = bits;
        images.push_back(std::move(image));
    }
    return true;
}

Bytes BuildIconGroup(const std::vector<IconImage> &images, uint16_t firstId)
{
    Bytes group;
    Append16(group, 0);
    Append16(group, 1);
    Append16(group, (uint16_t)images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage &image = images[i];
        group.push_back((char)image.width);
        group.push_back((char)image.height);
        group.push_back((char)image.colorCount);
        group.push_back(0);
        Append16(group, image.planes);
        Append16(group, image.bitCount);
        Append32(group, (uint32_t)image.data.size());
        Append16(group, (uint16_t)(firstId + i));
    }
    return group;
}

}  // namespace peres
