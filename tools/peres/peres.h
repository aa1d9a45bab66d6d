// peres: the packager's own PE resource writer. Portable C++ without the
// Windows API, so that voxpack gives a package its icon and version
// information on Linux as on Windows.
//
//   ParseIcoFile          an .ico file's images (BMP and PNG)
//   BuildVersionResource  a VS_VERSIONINFO block from text values
//   SetPackageIdentity    a stub's bytes with its icon group, icon images and
//                         version resource replaced, every other resource
//                         kept byte for byte
//
// The resource section is rebuilt and may grow or shrink. When it is the
// image's last section it changes size in place. When sections follow it,
// they must be ones nothing in the image points into except a data
// directory that is fixed here: discardable sections holding at most the
// base relocations (.reloc, as the MinGW linker lays out a program). Those
// are moved behind the new resource section, their relocation data
// unchanged. Anything else is refused. Every header field that follows
// from the layout is rewritten: the sections' sizes and places, the size
// of the image and of its initialized data, the resource and relocation
// data directories, the checksum; a certificate table is removed.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace peres {

using Bytes = std::string;

// ----- Icons -----

// One image of an .ico file: its directory entry as the file gives it (a
// width or height of 0 meaning 256) and its bytes, a DIB or a PNG file.
struct IconImage {
    uint8_t width = 0, height = 0, colorCount = 0;
    uint16_t planes = 0, bitCount = 0;
    bool png = false;
    Bytes data;
};

// The images of an .ico file. False with a reason when the bytes are not an
// icon file, hold no image, or an entry points outside the file or at
// something that is neither a DIB nor a PNG.
bool ParseIcoFile(const Bytes &file, std::vector<IconImage> &images, std::string &error);

// An RT_GROUP_ICON resource for images whose RT_ICON ids are firstId,
// firstId + 1, ... A planes or bit count of 0 in the file is filled in from
// the image itself.
Bytes BuildIconGroup(const std::vector<IconImage> &images, uint16_t firstId);

// ----- Version information -----

struct VersionInfo {
    // StringFileInfo values (UTF-8), in the order they are written.
    std::vector<std::pair<std::string, std::string>> strings;
    uint16_t fileVersion[4] = {0, 0, 0, 0};
    uint16_t productVersion[4] = {0, 0, 0, 0};
    uint16_t language = 0x0409;  // the string table's language and code page
    uint16_t codePage = 1200;
};

// "a", "a.b", "a.b.c" or "a.b.c.d", each a decimal number of at most 65535
// (missing parts are 0). False for anything else.
bool ParseVersionNumber(const std::string &text, uint16_t out[4]);

// The VS_VERSIONINFO resource. False with a reason (naming the longest
// value) when it would exceed the 65535 bytes a version resource holds.
bool BuildVersionResource(const VersionInfo &info, Bytes &out, std::string &error);

// The reverse, for tests and checks: the string table's values and the
// fixed versions. False when the bytes are not a version resource.
bool ParseVersionResource(const Bytes &resource, VersionInfo &info);

// ----- Resources of a PE image -----

// A resource name: an integer id, or a string (UTF-16).
struct ResourceName {
    bool isId = true;
    uint16_t id = 0;
    std::u16string text;
};

// One leaf of the resource tree: type, name, language and the data.
struct Resource {
    ResourceName type, name;
    uint16_t language = 0;
    uint32_t codePage = 0;
    Bytes data;
};

// The resources of an image in directory order.
bool ReadResources(const Bytes &image, std::vector<Resource> &resources, std::string &error);

// ----- The whole change -----

enum : uint16_t { kRtIcon = 3, kRtGroupIcon = 14, kRtVersion = 16 };

struct Identity {
    std::vector<IconImage> icon;  // empty: the icons stay as they are
    bool setVersion = false;
    VersionInfo version;
};

// The stub image with its identity replaced. The icon: the first icon
// group (or a new group 1 when there is none) with the given images under
// fresh RT_ICON ids; the old group's images go unless another group uses
// them. The version: every RT_VERSION entry gives way to one, id 1 in the
// language of the first one the stub had (else the string table's).
// False with a reason when the image cannot be rewritten.
bool SetPackageIdentity(const Bytes &stub, const Identity &identity, Bytes &out, std::string &error);

// The PE checksum of an image whose checksum field lies at checksumOffset.
uint32_t ComputeChecksum(const Bytes &image, size_t checksumOffset);

}  // namespace peres
