// A PE image's resource section: read into a tree, changed, written anew,
// and the image's headers fixed to the new layout (see peres.h).
#include <algorithm>
#include <memory>

#include "bytes.h"
#include "peres.h"

namespace peres {

namespace {

const uint32_t kScnDiscardable = 0x02000000;
const uint32_t kScnInitializedData = 0x00000040;
enum { kDirResource = 2, kDirSecurity = 4, kDirBaseReloc = 5 };
const char *const kDirectoryNames[] = {"export",       "import", "resource",  "exception",    "certificate",
                                       "relocation",   "debug",  "architecture", "global pointer", "TLS",
                                       "load config",  "bound import", "import address", "delay import", "CLR",
                                       "reserved"};

struct Section {
    size_t header = 0;  // offset of its header in the file
    std::string name;
    uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawPointer = 0, characteristics = 0;
    uint32_t Span() const { return std::max(virtualSize, rawSize); }
};

struct Layout {
    size_t optional = 0, sectionTable = 0, directories = 0;
    uint32_t directoryCount = 0;
    uint32_t sectionAlignment = 0, fileAlignment = 0;
    uint32_t symbolTable = 0;
    size_t symbolTableField = 0;
    std::vector<Section> sections;

    size_t ChecksumField() const { return optional + 64; }
    uint32_t DirectoryRva(int i) const;
    uint32_t DirectorySize(int i) const;
    const Bytes *image = nullptr;
};

uint32_t Layout::DirectoryRva(int i) const
{
    return (uint32_t)i < directoryCount ? Get32(*image, directories + 8 * i) : 0;
}

uint32_t Layout::DirectorySize(int i) const
{
    return (uint32_t)i < directoryCount ? Get32(*image, directories + 8 * i + 4) : 0;
}

uint32_t AlignUp(uint32_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool ParseLayout(const Bytes &image, Layout &pe, std::string &error)
{
    pe.image = &image;
    error = "not a Windows program";
    if (image.size() < 64 || image.compare(0, 2, "MZ") != 0) return false;
    size_t header = Get32(image, 60);
    if (!Within(image.size(), header, 24) || image.compare(header, 4, std::string("PE\0\0", 4)) != 0) return false;
    size_t coff = header + 4;
    size_t sectionCount = Get16(image, coff + 2);
    pe.symbolTableField = coff + 8;
    pe.symbolTable = Get32(image, coff + 8);
    size_t optionalSize = Get16(image, coff + 16);
    pe.optional = coff + 20;
    if (!Within(image.size(), pe.optional, optionalSize) || optionalSize < 2) return false;
    uint16_t magic = Get16(image, pe.optional);
    if (magic != 0x10B && magic != 0x20B) return false;
    bool plus = magic == 0x20B;
    size_t countField = pe.optional + (plus ? 108 : 92);
    pe.directories = countField + 4;
    if (pe.directories > pe.optional + optionalSize) return false;
    pe.directoryCount = std::min<uint32_t>(Get32(image, countField), 16);
    if (pe.directories + 8 * pe.directoryCount > pe.optional + optionalSize) return false;
    pe.sectionAlignment = Get32(image, pe.optional + 32);
    pe.fileAlignment = Get32(image, pe.optional + 36);
    if (pe.sectionAlignment == 0 || pe.fileAlignment == 0) return false;
    pe.sectionTable = pe.optional + optionalSize;
    if (!Within(image.size(), pe.sectionTable, 40 * sectionCount)) return false;
    for (size_t i = 0; i < sectionCount; ++i) {
        Section s;
        s.header = pe.sectionTable + 40 * i;
        s.name = image.substr(s.header, 8);
        s.name = s.name.substr(0, s.name.find('\0'));
        s.virtualSize = Get32(image, s.header + 8);
        s.virtualAddress = Get32(image, s.header + 12);
        s.rawSize = Get32(image, s.header + 16);
        s.rawPointer = Get32(image, s.header + 20);
        s.characteristics = Get32(image, s.header + 36);
        if (s.rawSize && !Within(image.size(), s.rawPointer, s.rawSize)) {
            error = "a Windows program cut short (section " + s.name + " lies beyond its end)";
            return false;
        }
        pe.sections.push_back(s);
    }
    error.clear();
    return true;
}

// The bytes at an RVA, from the raw data of the section holding them.
bool ReadRva(const Bytes &image, const Layout &pe, uint32_t rva, uint32_t size, Bytes &out)
{
    for (const Section &s : pe.sections) {
        if (rva < s.virtualAddress || rva - s.virtualAddress >= s.Span()) continue;
        uint32_t at = rva - s.virtualAddress;
        if (!Within(s.rawSize, at, size)) return false;
        out = image.substr((size_t)s.rawPointer + at, size);
        return true;
    }
    return false;
}

// ----- The resource tree -----

struct Directory;

struct Entry {
    ResourceName name;
    std::unique_ptr<Directory> directory;  // or, at a leaf:
    uint32_t codePage = 0, reserved = 0;
    Bytes data;
};

struct Directory {
    uint32_t characteristics = 0, timeDateStamp = 0;
    uint16_t majorVersion = 0, minorVersion = 0;
    std::vector<Entry> entries;
};

class TreeReader {
public:
    TreeReader(const Bytes &image, const Layout &pe, const Bytes &section) : m_image(image), m_pe(pe), m_section(section)
    {
    }
    bool Read(uint32_t offset, Directory &out, int depth, std::string &error);

private:
    const Bytes &m_image;
    const Layout &m_pe;
    const Bytes &m_section;
    size_t m_entries = 0;
};

bool TreeReader::Read(uint32_t offset, Directory &out, int depth, std::string &error)
{
    error = "its resource directory is damaged";
    if (depth > 8 || !Within(m_section.size(), offset, 16)) return false;
    out.characteristics = Get32(m_section, offset);
    out.timeDateStamp = Get32(m_section, offset + 4);
    out.majorVersion = Get16(m_section, offset + 8);
    out.minorVersion = Get16(m_section, offset + 10);
    size_t count = (size_t)Get16(m_section, offset + 12) + Get16(m_section, offset + 14);
    m_entries += count;
    if (m_entries > 65536 || !Within(m_section.size(), offset + 16, 8 * count)) return false;
    for (size_t i = 0; i < count; ++i) {
        size_t at = offset + 16 + 8 * i;
        uint32_t name = Get32(m_section, at), target = Get32(m_section, at + 4);
        Entry entry;
        if (name & 0x80000000) {
            uint32_t text = name & 0x7FFFFFFF;
            if (!Within(m_section.size(), text, 2)) return false;
            size_t length = Get16(m_section, text);
            if (!Within(m_section.size(), text + 2, 2 * length)) return false;
            entry.name.isId = false;
            for (size_t k = 0; k < length; ++k) entry.name.text.push_back((char16_t)Get16(m_section, text + 2 + 2 * k));
        } else {
            if (name > 0xFFFF) return false;
            entry.name.id = (uint16_t)name;
        }
        if (target & 0x80000000) {
            entry.directory.reset(new Directory);
            if (!Read(target & 0x7FFFFFFF, *entry.directory, depth + 1, error)) return false;
        } else {
            if (!Within(m_section.size(), target, 16)) return false;
            uint32_t rva = Get32(m_section, target), size = Get32(m_section, target + 4);
            entry.codePage = Get32(m_section, target + 8);
            entry.reserved = Get32(m_section, target + 12);
            if (!ReadRva(m_image, m_pe, rva, size, entry.data)) {
                error = "a resource's data lies outside the program's sections";
                return false;
            }
        }
        out.entries.push_back(std::move(entry));
    }
    error.clear();
    return true;
}

// The section's bytes: directory tables breadth first, then the data
// entries, the names, and the data, each piece of data on an 8-byte
// boundary. Data entries point at baseRva + their data's offset.
Bytes WriteTree(const Directory &root, uint32_t baseRva)
{
    std::vector<const Directory *> tables = {&root};
    for (size_t i = 0; i < tables.size(); ++i)
        for (const Entry &e : tables[i]->entries)
            if (e.directory) tables.push_back(e.directory.get());
    std::vector<uint32_t> tableOffsets;
    uint32_t size = 0;
    size_t leaves = 0, nameBytes = 0;
    for (const Directory *t : tables) {
        tableOffsets.push_back(size);
        size += 16 + 8 * (uint32_t)t->entries.size();
        for (const Entry &e : t->entries) {
            if (!e.directory) ++leaves;
            if (!e.name.isId) nameBytes += 2 + 2 * e.name.text.size();
        }
    }
    uint32_t leafStart = size;
    uint32_t nameStart = leafStart + 16 * (uint32_t)leaves;
    uint32_t dataStart = AlignUp(nameStart + (uint32_t)nameBytes, 8);
    uint32_t total = dataStart;
    for (const Directory *t : tables)
        for (const Entry &e : t->entries)
            if (!e.directory) total = AlignUp(total + (uint32_t)e.data.size(), 8);

    Bytes out(total, '\0');
    uint32_t nextTable = 1, nextLeaf = leafStart, nextName = nameStart, nextData = dataStart;
    for (size_t i = 0; i < tables.size(); ++i) {
        const Directory &t = *tables[i];
        uint32_t at = tableOffsets[i];
        Put32(out, at, t.characteristics);
        Put32(out, at + 4, t.timeDateStamp);
        Put16(out, at + 8, t.majorVersion);
        Put16(out, at + 10, t.minorVersion);
        uint16_t named = (uint16_t)std::count_if(t.entries.begin(), t.entries.end(),
                                                 [](const Entry &e) { return !e.name.isId; });
        Put16(out, at + 12, named);
        Put16(out, at + 14, (uint16_t)(t.entries.size() - named));
        for (size_t k = 0; k < t.entries.size(); ++k) {
            const Entry &e = t.entries[k];
            uint32_t slot = at + 16 + 8 * (uint32_t)k;
            if (e.name.isId) {
                Put32(out, slot, e.name.id);
            } else {
                Put32(out, slot, 0x80000000 | nextName);
                Put16(out, nextName, (uint16_t)e.name.text.size());
                for (size_t c = 0; c < e.name.text.size(); ++c) Put16(out, nextName + 2 + 2 * c, e.name.text[c]);
                nextName += 2 + 2 * (uint32_t)e.name.text.size();
            }
            if (e.directory) {
                Put32(out, slot + 4, 0x80000000 | tableOffsets[nextTable++]);
            } else {
                Put32(out, slot + 4, nextLeaf);
                Put32(out, nextLeaf, baseRva + nextData);
                Put32(out, nextLeaf + 4, (uint32_t)e.data.size());
                Put32(out, nextLeaf + 8, e.codePage);
                Put32(out, nextLeaf + 12, e.reserved);
                out.replace(nextData, e.data.size(), e.data);
                nextLeaf += 16;
                nextData = AlignUp(nextData + (uint32_t)e.data.size(), 8);
            }
        }
    }
    return out;
}

Entry *FindId(Directory &d, uint16_t id)
{
    for (Entry &e : d.entries)
        if (e.name.isId && e.name.id == id) return &e;
    return nullptr;
}

// A new entry with an integer id, in its sorted place (names first, then
// ids ascending).
Entry &InsertId(Directory &d, uint16_t id)
{
    auto place = std::find_if(d.entries.begin(), d.entries.end(), [&](const Entry &e) { return e.name.isId && e.name.id > id; });
    Entry entry;
    entry.name.id = id;
    return *d.entries.insert(place, std::move(entry));
}

Entry &SubdirectoryById(Directory &d, uint16_t id)
{
    Entry *e = FindId(d, id);
    if (!e) e = &InsertId(d, id);
    if (!e->directory) e->directory.reset(new Directory);
    return *e;
}

// A name's only language: data under one language entry.
void SetSingleLanguage(Entry &name, uint16_t language, uint32_t codePage, Bytes data)
{
    if (!name.directory) name.directory.reset(new Directory);
    name.directory->entries.clear();
    Entry &leaf = InsertId(*name.directory, language);
    leaf.codePage = codePage;
    leaf.data = std::move(data);
}

// The first leaf below an entry (the first language of a name).
const Entry *FirstLeaf(const Entry &e)
{
    if (!e.directory) return &e;
    for (const Entry &child : e.directory->entries)
        if (const Entry *leaf = FirstLeaf(child)) return leaf;
    return nullptr;
}

std::vector<uint16_t> GroupIconIds(const Bytes &group)
{
    std::vector<uint16_t> ids;
    if (group.size() < 6) return ids;
    size_t count = Get16(group, 4);
    for (size_t i = 0; i < count && Within(group.size(), 6 + 14 * i, 14); ++i) ids.push_back(Get16(group, 6 + 14 * i + 12));
    return ids;
}

bool SetIcon(Directory &root, const std::vector<IconImage> &images, std::string &error)
{
    Entry &groups = SubdirectoryById(root, kRtGroupIcon);
    Entry *icons = FindId(root, kRtIcon);
    uint16_t language = 0;
    uint32_t codePage = 0;
    std::vector<uint16_t> oldIds, keptIds;
    Entry *group = nullptr;
    for (Entry &name : groups.directory->entries) {
        if (!group) {
            group = &name;
            if (const Entry *leaf = FirstLeaf(name)) {
                language = leaf->name.isId ? leaf->name.id : 0;
                codePage = leaf->codePage;
            }
        }
        std::vector<uint16_t> &list = &name == group ? oldIds : keptIds;
        if (!name.directory) continue;
        for (const Entry &leaf : name.directory->entries) {
            std::vector<uint16_t> ids = GroupIconIds(leaf.data);
            list.insert(list.end(), ids.begin(), ids.end());
        }
    }
    if (!group) group = &InsertId(*groups.directory, 1);
    // The replaced group's images go, unless another group shows them too.
    if (icons && icons->directory) {
        auto &names = icons->directory->entries;
        names.erase(std::remove_if(names.begin(), names.end(),
                                   [&](const Entry &e) {
                                       return e.name.isId &&
                                              std::count(oldIds.begin(), oldIds.end(), e.name.id) &&
                                              !std::count(keptIds.begin(), keptIds.end(), e.name.id);
                                   }),
                    names.end());
    }
    uint32_t firstId = 1;
    if (icons && icons->directory)
        for (const Entry &e : icons->directory->entries)
            if (e.name.isId) firstId = std::max<uint32_t>(firstId, e.name.id + 1u);
    if (firstId + images.size() - 1 > 0xFFFF) {
        error = "its icon ids are used up";
        return false;
    }
    SetSingleLanguage(*group, language, codePage, BuildIconGroup(images, (uint16_t)firstId));
    Entry &iconType = SubdirectoryById(root, kRtIcon);
    for (size_t i = 0; i < images.size(); ++i)
        SetSingleLanguage(InsertId(*iconType.directory, (uint16_t)(firstId + i)), language, codePage, images[i].data);
    return true;
}

bool SetVersion(Directory &root, const VersionInfo &info, std::string &error)
{
    Bytes data;
    if (!BuildVersionResource(info, data, error)) return false;
    Entry &versions = SubdirectoryById(root, kRtVersion);
    uint16_t language = info.language;
    uint32_t codePage = 0;
    ResourceName name;
    name.id = 1;
    if (!versions.directory->entries.empty()) {
        name = versions.directory->entries[0].name;
        if (const Entry *leaf = FirstLeaf(versions.directory->entries[0])) {
            language = leaf->name.isId ? leaf->name.id : language;
            codePage = leaf->codePage;
        }
    }
    versions.directory->entries.clear();
    Entry entry;
    entry.name = name;
    versions.directory->entries.push_back(std::move(entry));
    SetSingleLanguage(versions.directory->entries[0], language, codePage, std::move(data));
    return true;
}

void Flatten(const Directory &d, std::vector<ResourceName> &path, std::vector<Resource> &out)
{
    for (const Entry &e : d.entries) {
        path.push_back(e.name);
        if (e.directory) {
            Flatten(*e.directory, path, out);
        } else if (path.size() == 3) {
            Resource r;
            r.type = path[0];
            r.name = path[1];
            r.language = path[2].id;
            r.codePage = e.codePage;
            r.data = e.data;
            out.push_back(std::move(r));
        }
        path.pop_back();
    }
}

// The image's resource section and tree.
bool ReadTree(const Bytes &image, const Layout &pe, size_t *sectionIndex, Directory &root, std::string &error)
{
    uint32_t rva = pe.DirectoryRva(kDirResource);
    if (rva == 0 || pe.DirectorySize(kDirResource) == 0) {
        error = "it has no resource section";
        return false;
    }
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const Section &s = pe.sections[i];
        if (s.virtualAddress != rva) continue;
        *sectionIndex = i;
        Bytes bytes = image.substr(s.rawPointer, std::min(s.rawSize, s.Span()));
        bytes.resize(s.Span(), '\0');
        TreeReader reader(image, pe, bytes);
        return reader.Read(0, root, 0, error);
    }
    error = "its resource directory does not start a section of its own";
    return false;
}

bool InSection(const Section &s, uint32_t rva) { return rva >= s.virtualAddress && rva - s.virtualAddress < s.Span(); }

// Refuses a layout in which the resource section cannot change size: data
// the image points at inside it besides the resources, sections behind it
// that anything but a fixed data directory points into, relocations of
// places in or behind it, a certificate table that is not the file's end.
bool CheckMovable(const Bytes &image, const Layout &pe, size_t r, std::string &error)
{
    const Section &rsrc = pe.sections[r];
    for (uint32_t d = 0; d < pe.directoryCount; ++d) {
        if (d == kDirResource || d == kDirSecurity || pe.DirectoryRva((int)d) == 0) continue;
        if (InSection(rsrc, pe.DirectoryRva((int)d))) {
            error = std::string("its resource section also holds the ") + kDirectoryNames[d] + " directory";
            return false;
        }
        for (const Section &s : pe.sections)
            if (s.virtualAddress > rsrc.virtualAddress && d != kDirBaseReloc && InSection(s, pe.DirectoryRva((int)d))) {
                error = "section " + s.name + " behind the resources holds the " + kDirectoryNames[d] +
                        " directory and cannot move";
                return false;
            }
    }
    for (const Section &s : pe.sections) {
        bool behind = s.virtualAddress > rsrc.virtualAddress;
        if (behind && !(s.characteristics & kScnDiscardable)) {
            error = "section " + s.name + " lies behind the resources and cannot move";
            return false;
        }
        bool rawBehind = s.rawSize && s.rawPointer >= rsrc.rawPointer + rsrc.rawSize;
        if (s.rawSize && &s != &rsrc && behind != rawBehind) {
            error = "its sections are not in the same order in the file as in memory";
            return false;
        }
    }
    uint32_t relocRva = pe.DirectoryRva(kDirBaseReloc), relocSize = pe.DirectorySize(kDirBaseReloc);
    Bytes relocs;
    if (relocRva && !ReadRva(image, pe, relocRva, relocSize, relocs)) {
        error = "its relocation table lies outside its sections";
        return false;
    }
    for (size_t at = 0; at + 8 <= relocs.size();) {
        uint32_t page = Get32(relocs, at), blockSize = Get32(relocs, at + 4);
        if (blockSize < 8 || !Within(relocs.size(), at, blockSize)) break;
        for (size_t k = at + 8; k + 2 <= at + blockSize; k += 2) {
            uint16_t item = Get16(relocs, k);
            if ((item >> 12) != 0 && page + (item & 0xFFF) >= rsrc.virtualAddress) {
                error = "it relocates addresses in its resources or behind them";
                return false;
            }
        }
        at += blockSize;
    }
    uint32_t certificate = pe.DirectoryRva(kDirSecurity), certificateSize = pe.DirectorySize(kDirSecurity);
    if (certificateSize && (uint64_t)certificate + certificateSize != image.size()) {
        error = "its certificate table is not at the end of the file";
        return false;
    }
    return true;
}

}  // namespace

uint32_t ComputeChecksum(const Bytes &image, size_t checksumOffset)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < image.size(); i += 2) {
        if (i == checksumOffset || i == checksumOffset + 2) continue;
        uint16_t word = (uint8_t)image[i];
        if (i + 1 < image.size()) word |= (uint16_t)((uint8_t)image[i + 1] << 8);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return (uint32_t)(sum + image.size());
}

bool ReadResources(const Bytes &image, std::vector<Resource> &resources, std::string &error)
{
    Layout pe;
    Directory root;
    size_t r = 0;
    if (!ParseLayout(image, pe, error) || !ReadTree(image, pe, &r, root, error)) return false;
    resources.clear();
    std::vector<ResourceName> path;
    Flatten(root, path, resources);
    return true;
}

bool SetPackageIdentity(const Bytes &stub, const Identity &identity, Bytes &out, std::string &error)
{
    Layout pe;
    Directory root;
    size_t r = 0;
    if (!ParseLayout(stub, pe, error) || !ReadTree(stub, pe, &r, root, error) || !CheckMovable(stub, pe, r, error))
        return false;
    if (!identity.icon.empty() && !SetIcon(root, identity.icon, error)) return false;
    if (identity.setVersion && !SetVersion(root, identity.version, error)) return false;

    const Section rsrc = pe.sections[r];
    Bytes tree = WriteTree(root, rsrc.virtualAddress);
    uint32_t newRaw = AlignUp((uint32_t)tree.size(), pe.fileAlignment);
    uint32_t oldVirtual = rsrc.virtualSize ? rsrc.virtualSize : rsrc.rawSize;
    int64_t deltaVirtual = (int64_t)AlignUp(rsrc.virtualAddress + (uint32_t)tree.size(), pe.sectionAlignment) -
                           (int64_t)AlignUp(rsrc.virtualAddress + oldVirtual, pe.sectionAlignment);
    int64_t deltaRaw = (int64_t)newRaw - (int64_t)rsrc.rawSize;
    uint64_t end = pe.DirectorySize(kDirSecurity) ? pe.DirectoryRva(kDirSecurity) : stub.size();
    size_t rawEnd = (size_t)rsrc.rawPointer + rsrc.rawSize;
    if (end < rawEnd) {
        error = "its certificate table overlaps its sections";
        return false;
    }

    out = stub.substr(0, rsrc.rawPointer);
    out += tree;
    out.resize((size_t)rsrc.rawPointer + newRaw, '\0');
    out += stub.substr(rawEnd, (size_t)end - rawEnd);

    Put32(out, rsrc.header + 8, (uint32_t)tree.size());
    Put32(out, rsrc.header + 16, newRaw);
    uint32_t imageEnd = 0;
    for (const Section &s : pe.sections) {
        uint32_t virtualAddress = s.virtualAddress, virtualSize = s.virtualSize;
        if (s.virtualAddress > rsrc.virtualAddress) {
            virtualAddress = (uint32_t)(s.virtualAddress + deltaVirtual);
            Put32(out, s.header + 12, virtualAddress);
            if (s.rawSize) Put32(out, s.header + 20, (uint32_t)(s.rawPointer + deltaRaw));
        }
        uint32_t span = &s == &pe.sections[r] ? (uint32_t)tree.size() : virtualSize ? virtualSize : s.rawSize;
        imageEnd = std::max(imageEnd, virtualAddress + span);
    }
    size_t directories = pe.directories;
    uint32_t relocRva = pe.DirectoryRva(kDirBaseReloc);
    if (relocRva > rsrc.virtualAddress) Put32(out, directories + 8 * kDirBaseReloc, (uint32_t)(relocRva + deltaVirtual));
    Put32(out, directories + 8 * kDirResource + 4, (uint32_t)tree.size());
    if (pe.directoryCount > kDirSecurity) {
        Put32(out, directories + 8 * kDirSecurity, 0);
        Put32(out, directories + 8 * kDirSecurity + 4, 0);
    }
    if (pe.symbolTable >= rawEnd) Put32(out, pe.symbolTableField, (uint32_t)(pe.symbolTable + deltaRaw));
    Put32(out, pe.optional + 56, AlignUp(imageEnd, pe.sectionAlignment));
    if (rsrc.characteristics & kScnInitializedData)
        Put32(out, pe.optional + 8, (uint32_t)(Get32(out, pe.optional + 8) + deltaRaw));
    Put32(out, pe.ChecksumField(), ComputeChecksum(out, pe.ChecksumField()));
    return true;
}

}  // namespace peres
