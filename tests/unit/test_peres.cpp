// The packager's PE resource writer (tools/peres): images laid out here by
// hand, independently of the writer, given an icon and version information,
// then read back: the new icon group and images, the version values, every
// other resource byte for byte, and the headers that follow from the new
// layout (32 and 64 bits; resources last or followed by .reloc).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "peres.h"

namespace {

using peres::Bytes;

uint16_t G16(const Bytes &b, size_t at) { return (uint16_t)((uint8_t)b[at] | (uint8_t)b[at + 1] << 8); }
uint32_t G32(const Bytes &b, size_t at) { return G16(b, at) | (uint32_t)G16(b, at + 2) << 16; }
void P16(Bytes &b, size_t at, uint32_t v)
{
    b[at] = (char)(v & 0xFF);
    b[at + 1] = (char)((v >> 8) & 0xFF);
}
void P32(Bytes &b, size_t at, uint32_t v)
{
    P16(b, at, v & 0xFFFF);
    P16(b, at + 2, v >> 16);
}
void A16(Bytes &b, uint32_t v)
{
    b.push_back((char)(v & 0xFF));
    b.push_back((char)((v >> 8) & 0xFF));
}
void A32(Bytes &b, uint32_t v)
{
    A16(b, v & 0xFFFF);
    A16(b, v >> 16);
}
uint32_t Align(uint32_t v, uint32_t a) { return (v + a - 1) / a * a; }

// A resource of the test images: integer type and language; the name an
// integer or a string.
struct TestResource {
    uint16_t type;
    std::u16string name;  // empty: the id
    uint16_t id;
    uint16_t language;
    Bytes data;
};

// The resource section of the given resources (three levels, names before
// ids, each sorted) whose data entries point at rva + offset.
Bytes ResourceSection(std::vector<TestResource> list, uint32_t rva)
{
    std::sort(list.begin(), list.end(), [](const TestResource &a, const TestResource &b) {
        if (a.type != b.type) return a.type < b.type;
        bool an = !a.name.empty(), bn = !b.name.empty();
        if (an != bn) return an;
        if (an && a.name != b.name) return a.name < b.name;
        if (!an && a.id != b.id) return a.id < b.id;
        return a.language < b.language;
    });
    // Tables: root, one per type, one per (type, name).
    std::vector<uint16_t> types;
    std::vector<std::pair<uint16_t, std::pair<std::u16string, uint16_t>>> names;
    for (const auto &r : list) {
        if (types.empty() || types.back() != r.type) types.push_back(r.type);
        auto key = std::make_pair(r.type, std::make_pair(r.name, r.id));
        if (names.empty() || names.back() != key) names.push_back(key);
    }
    auto typeCount = [&](uint16_t t) { return std::count_if(names.begin(), names.end(), [&](const auto &n) { return n.first == t; }); };
    auto langCount = [&](const auto &n) {
        return std::count_if(list.begin(), list.end(), [&](const TestResource &r) { return r.type == n.first && r.name == n.second.first && r.id == n.second.second; });
    };
    uint32_t rootSize = 16 + 8 * (uint32_t)types.size();
    std::vector<uint32_t> typeAt, nameAt;
    uint32_t at = rootSize;
    for (uint16_t t : types) {
        typeAt.push_back(at);
        at += 16 + 8 * (uint32_t)typeCount(t);
    }
    for (const auto &n : names) {
        nameAt.push_back(at);
        at += 16 + 8 * (uint32_t)langCount(n);
    }
    uint32_t leafAt = at;
    at += 16 * (uint32_t)list.size();
    std::map<std::u16string, uint32_t> stringAt;
    for (const auto &n : names)
        if (!n.second.first.empty() && !stringAt.count(n.second.first)) {
            stringAt[n.second.first] = at;
            at += 2 + 2 * (uint32_t)n.second.first.size();
        }
    at = Align(at, 4);
    Bytes out(at, '\0');
    auto table = [&](uint32_t offset, size_t named, size_t ids) {
        P16(out, offset + 12, (uint32_t)named);
        P16(out, offset + 14, (uint32_t)ids);
    };
    table(0, 0, types.size());
    for (size_t i = 0; i < types.size(); ++i) {
        P32(out, 16 + 8 * i, types[i]);
        P32(out, 16 + 8 * i + 4, 0x80000000 | typeAt[i]);
        size_t named = 0, count = 0, k = 0;
        for (size_t j = 0; j < names.size(); ++j) {
            if (names[j].first != types[i]) continue;
            ++count;
            if (!names[j].second.first.empty()) ++named;
            uint32_t slot = typeAt[i] + 16 + 8 * (uint32_t)k++;
            const std::u16string &text = names[j].second.first;
            P32(out, slot, text.empty() ? names[j].second.second : 0x80000000 | stringAt[text]);
            P32(out, slot + 4, 0x80000000 | nameAt[j]);
        }
        table(typeAt[i], named, count - named);
    }
    for (const auto &s : stringAt) {
        P16(out, s.second, (uint32_t)s.first.size());
        for (size_t c = 0; c < s.first.size(); ++c) P16(out, s.second + 2 + 2 * c, s.first[c]);
    }
    size_t leaf = 0;
    for (size_t j = 0; j < names.size(); ++j) {
        size_t k = 0;
        for (const auto &r : list) {
            if (r.type != names[j].first || r.name != names[j].second.first || r.id != names[j].second.second) continue;
            uint32_t slot = nameAt[j] + 16 + 8 * (uint32_t)k++;
            uint32_t entry = leafAt + 16 * (uint32_t)leaf++;
            P32(out, slot, r.language);
            P32(out, slot + 4, entry);
            uint32_t dataAt = Align((uint32_t)out.size(), 4);
            out.resize(dataAt, '\0');
            out += r.data;
            P32(out, entry, rva + dataAt);
            P32(out, entry + 4, (uint32_t)r.data.size());
        }
        table(nameAt[j], 0, k);
    }
    return out;
}

enum Tail { kNothingBehind, kRelocBehind, kDataBehind };

// An image: .text at 0x1000 (a page of code with a relocation), .rsrc at
// 0x2000, and behind it .reloc, a writable data section, or nothing.
Bytes TestImage(bool plus, const std::vector<TestResource> &resources, Tail tail)
{
    const uint32_t fileAlign = 0x200, sectionAlign = 0x1000;
    Bytes rsrc = ResourceSection(resources, 0x2000);
    Bytes reloc;
    A32(reloc, 0x1000);
    A32(reloc, 12);
    A16(reloc, 3 << 12 | 0x10);
    A16(reloc, 0);
    struct S {
        const char *name;
        uint32_t va;
        Bytes data;
        uint32_t flags;
    };
    std::vector<S> sections = {{".text", 0x1000, Bytes(0x80, '\xC3'), 0x60000020}, {".rsrc", 0x2000, rsrc, 0x40000040}};
    uint32_t next = Align(0x2000 + (uint32_t)rsrc.size(), sectionAlign);
    if (tail == kRelocBehind) sections.push_back({".reloc", next, reloc, 0x42000040});
    if (tail == kDataBehind) sections.push_back({".data", next, Bytes(0x40, 'd'), 0xC0000040});
    uint32_t optionalSize = plus ? 240 : 224;
    Bytes image(0x400, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    P32(image, 60, 0x80);
    image.replace(0x80, 4, std::string("PE\0\0", 4));
    size_t coff = 0x84, opt = coff + 20;
    P16(image, coff, plus ? 0x8664 : 0x14C);
    P16(image, coff + 2, (uint32_t)sections.size());
    P16(image, coff + 16, optionalSize);
    P16(image, coff + 18, 0x0102);
    P16(image, opt, plus ? 0x20B : 0x10B);
    P32(image, opt + 16, 0x1000);  // entry point
    P32(image, opt + 32, sectionAlign);
    P32(image, opt + 36, fileAlign);
    P16(image, opt + 40, 6);
    P32(image, opt + 60, 0x400);  // size of headers
    P16(image, opt + 68, 2);      // GUI
    size_t dirs = opt + (plus ? 112 : 96);
    P32(image, dirs - 4, 16);
    uint32_t initialized = 0, end = 0;
    for (size_t i = 0; i < sections.size(); ++i) {
        const S &s = sections[i];
        size_t h = opt + optionalSize + 40 * i;
        image.replace(h, strlen(s.name), s.name);
        uint32_t raw = Align((uint32_t)s.data.size(), fileAlign);
        P32(image, h + 8, (uint32_t)s.data.size());
        P32(image, h + 12, s.va);
        P32(image, h + 16, raw);
        P32(image, h + 20, (uint32_t)image.size());
        P32(image, h + 36, s.flags);
        Bytes data = s.data;
        data.resize(raw, '\0');
        image += data;
        if (s.flags & 0x40) initialized += raw;
        end = s.va + (uint32_t)s.data.size();
        if (std::string(s.name) == ".rsrc") {
            P32(image, dirs + 16, s.va);
            P32(image, dirs + 20, (uint32_t)s.data.size());
        }
        if (std::string(s.name) == ".reloc") {
            P32(image, dirs + 40, s.va);
            P32(image, dirs + 44, (uint32_t)s.data.size());
        }
    }
    P32(image, opt + 8, initialized);
    P32(image, opt + 56, Align(end, sectionAlign));
    P32(image, opt + 64, peres::ComputeChecksum(image, opt + 64));
    return image;
}

// An icon image: a 32-bit DIB of the given size, or a PNG's first bytes.
Bytes DibImage(int size, char fill)
{
    Bytes b;
    A32(b, 40);
    A32(b, size);
    A32(b, 2 * size);
    A16(b, 1);
    A16(b, 32);
    b.resize(40, '\0');
    b += Bytes((size_t)size * size * 4 + (size_t)size * 4, fill);
    return b;
}

Bytes PngImage(int size, size_t extra)
{
    Bytes b("\x89PNG\r\n\x1A\n", 8);
    b += Bytes("\0\0\0\x0DIHDR", 8);
    for (int shift : {24, 16, 8, 0}) b.push_back((char)((size >> shift) & 0xFF));
    for (int shift : {24, 16, 8, 0}) b.push_back((char)((size >> shift) & 0xFF));
    b += Bytes("\x08\x06\0\0\0", 5);  // 8 bits, RGBA
    b += Bytes(4, 'c');
    b += Bytes(extra, 'p');
    return b;
}

// An .ico file of the images; a 256-pixel image is entered as 0.
Bytes IcoFile(const std::vector<std::pair<int, Bytes>> &images)
{
    Bytes f;
    A16(f, 0);
    A16(f, 1);
    A16(f, (uint32_t)images.size());
    uint32_t offset = 6 + 16 * (uint32_t)images.size();
    for (const auto &image : images) {
        f.push_back((char)(image.first & 0xFF));
        f.push_back((char)(image.first & 0xFF));
        f.push_back(0);
        f.push_back(0);
        A16(f, 0);  // planes and bit count left for the writer to fill in
        A16(f, 0);
        A32(f, (uint32_t)image.second.size());
        A32(f, offset);
        offset += (uint32_t)image.second.size();
    }
    for (const auto &image : images) f += image.second;
    return f;
}

Bytes OldGroup(std::vector<uint16_t> ids)
{
    Bytes g;
    A16(g, 0);
    A16(g, 1);
    A16(g, (uint32_t)ids.size());
    for (uint16_t id : ids) {
        g += Bytes("\x10\x10\0\0", 4);
        A16(g, 1);
        A16(g, 32);
        A32(g, 100);
        A16(g, id);
    }
    return g;
}

// The stub's resources: strings, a dialog, a named banner, the manifest, a
// version block, and two icon groups sharing icon 2.
std::vector<TestResource> StubResources()
{
    return {
        {6, u"", 1, 0x409, Bytes("\x05\0H\0e\0l\0l\0o\0", 12)},
        {6, u"", 1, 0x407, Bytes("\x05\0H\0a\0l\0l\0o\0", 12)},
        {5, u"", 1000, 0x409, Bytes(300, 'D')},
        {32, u"BANNER", 0, 0x409, Bytes(5000, 'B')},
        {24, u"", 1, 0, Bytes("<assembly/>")},
        {16, u"", 1, 0x409, Bytes(200, 'V')},
        {14, u"", 1, 0x409, OldGroup({1, 2})},
        {14, u"", 7, 0x409, OldGroup({2})},
        {3, u"", 1, 0x409, Bytes(100, '1')},
        {3, u"", 2, 0x409, Bytes(100, '2')},
    };
}

struct Headers {
    size_t opt = 0;
    bool plus = false;
    std::map<std::string, std::vector<uint32_t>> sections;  // va, vsize, raw size, raw pointer
    uint32_t Dir(const Bytes &b, int i) const { return G32(b, opt + (plus ? 112 : 96) + 8 * i); }
    uint32_t DirSize(const Bytes &b, int i) const { return G32(b, opt + (plus ? 112 : 96) + 8 * i + 4); }
};

Headers ReadHeaders(const Bytes &b)
{
    Headers h;
    size_t pe = G32(b, 60), coff = pe + 4;
    h.opt = coff + 20;
    h.plus = G16(b, h.opt) == 0x20B;
    size_t table = h.opt + G16(b, coff + 16);
    for (size_t i = 0; i < G16(b, coff + 2); ++i) {
        size_t at = table + 40 * i;
        std::string name = b.substr(at, 8);
        name = name.substr(0, name.find('\0'));
        h.sections[name] = {G32(b, at + 12), G32(b, at + 8), G32(b, at + 16), G32(b, at + 20)};
    }
    return h;
}

std::vector<peres::Resource> Resources(const Bytes &image)
{
    std::vector<peres::Resource> list;
    std::string error;
    EXPECT_TRUE(peres::ReadResources(image, list, error)) << error;
    return list;
}

std::vector<const peres::Resource *> OfType(const std::vector<peres::Resource> &list, uint16_t type)
{
    std::vector<const peres::Resource *> found;
    for (const auto &r : list)
        if (r.type.isId && r.type.id == type) found.push_back(&r);
    return found;
}

peres::Identity TestIdentity(size_t pngExtra)
{
    peres::Identity identity;
    std::string error;
    EXPECT_TRUE(peres::ParseIcoFile(IcoFile({{16, DibImage(16, 'a')}, {32, DibImage(32, 'b')}, {256, PngImage(256, pngExtra)}}),
                                    identity.icon, error))
        << error;
    identity.setVersion = true;
    identity.version.strings = {{"CompanyName", "Ä Company"},
                                {"FileDescription", "Sample Setup"},
                                {"FileVersion", "1.2.3.4"},
                                {"LegalCopyright", "© 2026 Somebody"},
                                {"OriginalFilename", "SampleSetup.exe"},
                                {"ProductName", "Sample 日本"},
                                {"ProductVersion", "1.2"}};
    EXPECT_TRUE(peres::ParseVersionNumber("1.2.3.4", identity.version.fileVersion));
    EXPECT_TRUE(peres::ParseVersionNumber("1.2", identity.version.productVersion));
    return identity;
}

// The whole change on one layout, and every check of the result.
void CheckRewrite(bool plus, Tail tail, size_t pngExtra)
{
    Bytes stub = TestImage(plus, StubResources(), tail);
    auto before = Resources(stub);
    ASSERT_EQ(before.size(), StubResources().size());
    peres::Identity identity = TestIdentity(pngExtra);
    Bytes out, again;
    std::string error;
    ASSERT_TRUE(peres::SetPackageIdentity(stub, identity, out, error)) << error;
    ASSERT_TRUE(peres::SetPackageIdentity(stub, identity, again, error)) << error;
    EXPECT_EQ(out, again) << "the same input gave different bytes";

    auto after = Resources(out);
    // Every other resource as it was, in the same order.
    std::vector<const peres::Resource *> keptBefore, keptAfter;
    for (const auto &r : before)
        if (r.type.id != 3 && r.type.id != 14 && r.type.id != 16) keptBefore.push_back(&r);
    for (const auto &r : after)
        if (r.type.id != 3 && r.type.id != 14 && r.type.id != 16) keptAfter.push_back(&r);
    ASSERT_EQ(keptBefore.size(), keptAfter.size());
    for (size_t i = 0; i < keptBefore.size(); ++i) {
        EXPECT_EQ(keptBefore[i]->type.id, keptAfter[i]->type.id);
        EXPECT_EQ(keptBefore[i]->name.isId, keptAfter[i]->name.isId);
        EXPECT_EQ(keptBefore[i]->name.id, keptAfter[i]->name.id);
        EXPECT_EQ(keptBefore[i]->name.text, keptAfter[i]->name.text);
        EXPECT_EQ(keptBefore[i]->language, keptAfter[i]->language);
        EXPECT_TRUE(keptBefore[i]->data == keptAfter[i]->data) << "resource " << i << " changed";
    }

    // The icon: group 1 lists the three new images; group 7 and its image 2
    // stay; the old image 1 is gone.
    auto groups = OfType(after, 14);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0]->name.id, 1);
    EXPECT_EQ(groups[0]->language, 0x409);
    EXPECT_TRUE(groups[1]->data == OldGroup({2}));
    const Bytes &group = groups[0]->data;
    ASSERT_EQ(G16(group, 4), 3);
    auto icons = OfType(after, 3);
    ASSERT_EQ(icons.size(), 4u);
    EXPECT_EQ(icons[0]->name.id, 2);
    EXPECT_TRUE(icons[0]->data == Bytes(100, '2'));
    for (int i = 0; i < 3; ++i) {
        size_t entry = 6 + 14 * i;
        uint16_t id = G16(group, entry + 12);
        auto icon = std::find_if(icons.begin(), icons.end(), [&](const peres::Resource *r) { return r->name.id == id; });
        ASSERT_NE(icon, icons.end()) << "icon " << id << " missing";
        EXPECT_TRUE((*icon)->data == identity.icon[i].data);
        EXPECT_EQ(G32(group, entry + 8), identity.icon[i].data.size());
        EXPECT_EQ((uint8_t)group[entry], i == 0 ? 16 : i == 1 ? 32 : 0);
        EXPECT_EQ(G16(group, entry + 4), 1);   // planes filled in
        EXPECT_EQ(G16(group, entry + 6), 32);  // bit count from the image
    }

    // The version: one block, read back as written.
    auto versions = OfType(after, 16);
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(versions[0]->language, 0x409);
    peres::VersionInfo read;
    ASSERT_TRUE(peres::ParseVersionResource(versions[0]->data, read));
    EXPECT_EQ(read.strings, identity.version.strings);
    EXPECT_EQ(std::vector<uint16_t>(read.fileVersion, read.fileVersion + 4), (std::vector<uint16_t>{1, 2, 3, 4}));
    EXPECT_EQ(std::vector<uint16_t>(read.productVersion, read.productVersion + 4), (std::vector<uint16_t>{1, 2, 0, 0}));
    EXPECT_EQ(read.language, 0x409);
    EXPECT_EQ(read.codePage, 1200);
    EXPECT_EQ(G32(versions[0]->data, 0) & 0xFFFF, versions[0]->data.size());

    // The headers.
    Headers h0 = ReadHeaders(stub), h = ReadHeaders(out);
    const auto &rsrc = h.sections[".rsrc"];
    EXPECT_EQ(rsrc[0], 0x2000u);
    EXPECT_EQ(h.Dir(out, 2), 0x2000u);
    EXPECT_EQ(h.DirSize(out, 2), rsrc[1]);
    EXPECT_EQ(rsrc[2] % 0x200, 0u);
    EXPECT_GE(rsrc[2], rsrc[1]);
    uint32_t imageEnd = 0x2000 + rsrc[1];
    if (tail == kRelocBehind) {
        const auto &reloc = h.sections[".reloc"];
        EXPECT_EQ(reloc[0], Align(0x2000 + rsrc[1], 0x1000));
        EXPECT_EQ(reloc[3], rsrc[3] + rsrc[2]);
        EXPECT_EQ(h.Dir(out, 5), reloc[0]);
        EXPECT_EQ(h.DirSize(out, 5), 12u);
        EXPECT_EQ(out.substr(reloc[3], 12), stub.substr(h0.sections[".reloc"][3], 12));
        imageEnd = reloc[0] + reloc[1];
        EXPECT_GT(reloc[0], h0.sections[".reloc"][0]) << "the resources did not grow past a page";
    }
    EXPECT_EQ(G32(out, h.opt + 56), Align(imageEnd, 0x1000));
    EXPECT_EQ(G32(out, h.opt + 8), G32(stub, h0.opt + 8) + rsrc[2] - h0.sections[".rsrc"][2]);
    EXPECT_EQ(G32(out, h.opt + 64), peres::ComputeChecksum(out, h.opt + 64));
    EXPECT_EQ(h.Dir(out, 4), 0u);
    EXPECT_EQ(out.substr(0, 0x80), stub.substr(0, 0x80));
    EXPECT_EQ(out.substr(0x400, 0x200), stub.substr(0x400, 0x200)) << ".text changed";
}

TEST(PeResources, Pe32WithRelocationsBehind) { CheckRewrite(false, kRelocBehind, 9000); }
TEST(PeResources, Pe32PlusWithRelocationsBehind) { CheckRewrite(true, kRelocBehind, 9000); }
TEST(PeResources, ResourcesLast) { CheckRewrite(false, kNothingBehind, 10); }
TEST(PeResources, Pe32PlusResourcesLast) { CheckRewrite(true, kNothingBehind, 70000); }

TEST(PeResources, AStubWithoutIconsGetsGroupOne)
{
    std::vector<TestResource> resources = {{6, u"", 1, 0x409, Bytes(20, 's')}, {16, u"", 1, 0x409, Bytes(80, 'v')}};
    Bytes stub = TestImage(false, resources, kRelocBehind), out;
    peres::Identity identity = TestIdentity(0);
    std::string error;
    ASSERT_TRUE(peres::SetPackageIdentity(stub, identity, out, error)) << error;
    auto after = Resources(out);
    auto groups = OfType(after, 14);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]->name.id, 1);
    auto icons = OfType(after, 3);
    ASSERT_EQ(icons.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(icons[i]->name.id, i + 1);
    // Types stay in ascending order.
    std::vector<uint16_t> types;
    for (const auto &r : after) types.push_back(r.type.id);
    EXPECT_TRUE(std::is_sorted(types.begin(), types.end()));
    EXPECT_TRUE(OfType(after, 6)[0]->data == Bytes(20, 's'));
}

TEST(PeResources, OnlyTheVersion)
{
    Bytes stub = TestImage(false, StubResources(), kRelocBehind), out;
    peres::Identity identity;
    identity.setVersion = true;
    identity.version.strings = {{"ProductName", "x"}};
    std::string error;
    ASSERT_TRUE(peres::SetPackageIdentity(stub, identity, out, error)) << error;
    auto before = Resources(stub), after = Resources(out);
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i)
        if (before[i].type.id != 16) {
            EXPECT_TRUE(before[i].data == after[i].data);
        }
}

TEST(PeResources, SectionsThatCannotMove)
{
    Bytes stub = TestImage(false, StubResources(), kDataBehind), out;
    std::string error;
    EXPECT_FALSE(peres::SetPackageIdentity(stub, TestIdentity(0), out, error));
    EXPECT_NE(error.find(".data"), std::string::npos) << error;
    EXPECT_FALSE(peres::SetPackageIdentity("MZ not a program", TestIdentity(0), out, error));
    EXPECT_EQ(error, "not a Windows program");
    // No resource directory at all.
    Bytes bare = TestImage(false, StubResources(), kRelocBehind);
    Headers h = ReadHeaders(bare);
    P32(bare, h.opt + 96 + 16, 0);
    P32(bare, h.opt + 96 + 20, 0);
    EXPECT_FALSE(peres::SetPackageIdentity(bare, TestIdentity(0), out, error));
    EXPECT_EQ(error, "it has no resource section");
    // A cut-short image.
    Bytes cut = TestImage(false, StubResources(), kRelocBehind);
    cut.resize(cut.size() - 0x200);
    EXPECT_FALSE(peres::SetPackageIdentity(cut, TestIdentity(0), out, error));
}

TEST(PeResources, ACertificateTableIsRemoved)
{
    Bytes stub = TestImage(false, StubResources(), kRelocBehind), out;
    Headers h = ReadHeaders(stub);
    uint32_t at = (uint32_t)stub.size();
    stub += Bytes(64, 'C');
    P32(stub, h.opt + 96 + 32, at);
    P32(stub, h.opt + 96 + 36, 64);
    std::string error;
    ASSERT_TRUE(peres::SetPackageIdentity(stub, TestIdentity(0), out, error)) << error;
    Headers after = ReadHeaders(out);
    EXPECT_EQ(after.Dir(out, 4), 0u);
    EXPECT_EQ(after.DirSize(out, 4), 0u);
    EXPECT_EQ(out.find(Bytes(64, 'C')), std::string::npos);
    const auto &reloc = after.sections[".reloc"];
    EXPECT_EQ(out.size(), reloc[3] + reloc[2]);
}

TEST(PeResources, IconFiles)
{
    std::vector<peres::IconImage> images;
    std::string error;
    EXPECT_FALSE(peres::ParseIcoFile("", images, error));
    EXPECT_EQ(error, "not an icon file");
    EXPECT_FALSE(peres::ParseIcoFile(Bytes("\x89PNG\r\n\x1A\n", 8) + Bytes(40, 'x'), images, error));
    EXPECT_EQ(error, "not an icon file");
    EXPECT_FALSE(peres::ParseIcoFile(Bytes("\0\0\2\0\1\0", 6) + Bytes(16, '\0'), images, error));
    EXPECT_EQ(error, "a cursor file, not an icon file");
    EXPECT_FALSE(peres::ParseIcoFile(Bytes("\0\0\1\0\0\0", 6), images, error));
    EXPECT_EQ(error, "the icon file holds no image");
    Bytes ico = IcoFile({{16, DibImage(16, 'a')}});
    EXPECT_FALSE(peres::ParseIcoFile(ico.substr(0, ico.size() - 1), images, error));
    EXPECT_NE(error.find("lies outside the file"), std::string::npos) << error;
    Bytes garbage = IcoFile({{16, Bytes(60, 'g')}});
    EXPECT_FALSE(peres::ParseIcoFile(garbage, images, error));
    EXPECT_NE(error.find("neither a bitmap nor a PNG image"), std::string::npos) << error;
    ASSERT_TRUE(peres::ParseIcoFile(IcoFile({{48, PngImage(48, 3)}, {0, DibImage(256, 'z')}}), images, error)) << error;
    ASSERT_EQ(images.size(), 2u);
    EXPECT_TRUE(images[0].png);
    EXPECT_FALSE(images[1].png);
    EXPECT_EQ(images[0].width, 48);
    EXPECT_EQ(images[1].width, 0);
}

TEST(PeResources, VersionNumbers)
{
    uint16_t v[4] = {9, 9, 9, 9};
    EXPECT_TRUE(peres::ParseVersionNumber("1.2.3.4", v));
    EXPECT_EQ(v[3], 4);
    EXPECT_TRUE(peres::ParseVersionNumber("65535.0", v));
    EXPECT_EQ(v[0], 65535);
    EXPECT_EQ(v[2], 0);
    for (const char *bad : {"", "1.", ".1", "1.2.3.4.5", "1.0 beta", "65536", "v1", "1..2", "-1", "1.2.3.4 "})
        EXPECT_FALSE(peres::ParseVersionNumber(bad, v)) << bad;
}

TEST(PeResources, VersionValuesTooLong)
{
    peres::VersionInfo info;
    info.strings = {{"ProductName", "short"}, {"LegalCopyright", std::string(33000, 'x')}};
    Bytes out;
    std::string error;
    EXPECT_FALSE(peres::BuildVersionResource(info, out, error));
    EXPECT_NE(error.find("LegalCopyright has 33000 characters"), std::string::npos) << error;
    info.strings[1].second = std::string(30000, 'x');
    EXPECT_TRUE(peres::BuildVersionResource(info, out, error)) << error;
    peres::VersionInfo read;
    ASSERT_TRUE(peres::ParseVersionResource(out, read));
    EXPECT_EQ(read.strings, info.strings);
}

}  // namespace
