// Test helper: lays out archives byte by byte, independently of the
// engine's own record code, so the reader is tested against the format and
// not against itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

using Bytes = std::vector<uint8_t>;

struct TestEntry {
    std::u16string name;       // with "\" separators; a folder ends with "\"
    Bytes data;                // uncompressed content
    uint32_t method = 0;       // 0 stored, 1 deflated
    uint32_t attributes = 0x20;
    uint64_t fileTime = 132000000000000000ull;  // 2019-04-18
    // Overrides for damaged archives.
    bool badContentCrc = false;
    int64_t declaredSize = -1;  // uncompressed size written to the records
    Bytes storedOverride;       // stored bytes written instead of the real ones
    bool hasStoredOverride = false;
};

inline void Put32(Bytes &b, uint32_t v)
{
    for (int i = 0; i < 4; ++i) b.push_back((uint8_t)(v >> (8 * i)));
}

inline void Put64(Bytes &b, uint64_t v)
{
    Put32(b, (uint32_t)v);
    Put32(b, (uint32_t)(v >> 32));
}

inline void PutText(Bytes &b, const std::u16string &t)
{
    for (char16_t c : t) {
        b.push_back((uint8_t)c);
        b.push_back((uint8_t)(c >> 8));
    }
}

inline Bytes RawDeflate(const Bytes &data)
{
    if (data.empty()) return {};
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, (uLong)data.size()) + 16);
    z.next_in = const_cast<Bytes::value_type *>(data.data());
    z.avail_in = (uInt)data.size();
    z.next_out = out.data();
    z.avail_out = (uInt)out.size();
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

inline uint32_t Crc32(const Bytes &b)
{
    return (uint32_t)crc32(crc32(0, nullptr, 0), b.data(), (uInt)b.size());
}

struct TestArchive {
    Bytes stub;                  // bytes in front of the archive
    std::vector<TestEntry> entries;
    std::u16string comment;
    std::u16string baseName;
    uint32_t volumeCount = 1;
    int64_t entryCountOverride = -1;

    // The whole single file: stub, entries, directory, end record.
    Bytes Build() const
    {
        Bytes data, directory;
        for (const TestEntry &e : entries) {
            bool folder = !e.name.empty() && e.name.back() == u'\\';
            Bytes stored = folder ? Bytes{} : (e.method == 1 ? RawDeflate(e.data) : e.data);
            if (e.hasStoredOverride) stored = e.storedOverride;
            uint32_t dataCrc = folder ? 0 : Crc32(stored);
            uint32_t contentCrc = folder ? 0 : Crc32(e.data) ^ (e.badContentCrc ? 1u : 0u);
            uint64_t size = e.declaredSize >= 0 ? (uint64_t)e.declaredSize : e.data.size();
            uint32_t attributes = folder ? (e.attributes | 0x10) : e.attributes;
            uint64_t offset = data.size();
            // Local header
            Put32(data, 0x0A034D55);
            Put32(data, 0);
            Put32(data, 0);
            Put32(data, e.method);
            Put32(data, 6);
            Put64(data, e.fileTime);
            Put32(data, dataCrc);
            Put32(data, contentCrc);
            Put64(data, stored.size());
            Put64(data, size);
            Put32(data, attributes);
            Put32(data, (uint32_t)e.name.size());
            Put32(data, 0);
            PutText(data, e.name);
            data.insert(data.end(), stored.begin(), stored.end());
            // Directory record
            Put32(directory, 0x0B014D55);
            Put32(directory, 0);
            Put32(directory, 0);
            Put32(directory, e.method);
            Put32(directory, 6);
            Put64(directory, e.fileTime);
            Put32(directory, dataCrc);
            Put32(directory, contentCrc);
            Put64(directory, stored.size());
            Put64(directory, size);
            Put32(directory, (uint32_t)e.name.size());
            Put32(directory, 0);
            Put32(directory, 0);
            Put32(directory, 0);
            Put32(directory, attributes);
            Put32(directory, 0);
            Put64(directory, offset);
            PutText(directory, e.name);
        }
        Bytes file = stub;
        file.insert(file.end(), data.begin(), data.end());
        file.insert(file.end(), directory.begin(), directory.end());
        uint32_t count = entryCountOverride >= 0 ? (uint32_t)entryCountOverride : (uint32_t)entries.size();
        Put32(file, 0x0C054D55);
        Put32(file, volumeCount);
        Put32(file, 0);
        Put32(file, count);
        Put32(file, count);
        Put64(file, directory.size());
        Put64(file, data.size());
        Put64(file, stub.size());
        Put32(file, (uint32_t)comment.size());
        Put32(file, (uint32_t)baseName.size());
        Put32(file, 0);
        PutText(file, comment);
        PutText(file, baseName);
        return file;
    }

    // A split archive: the main file keeps the first `mainData` bytes of the
    // data stream; the rest goes to volumes of `volumeSize` bytes each.
    std::vector<Bytes> BuildSplit(size_t mainData, size_t volumeSize) const
    {
        TestArchive whole = *this;
        Bytes single = whole.Build();
        // Find the data part and the directory in the single file.
        size_t dataStart = stub.size();
        size_t dataEnd = dataStart;
        for (const TestEntry &e : entries) {
            bool folder = !e.name.empty() && e.name.back() == u'\\';
            Bytes stored = folder ? Bytes{} : (e.method == 1 ? RawDeflate(e.data) : e.data);
            if (e.hasStoredOverride) stored = e.storedOverride;
            dataEnd += 64 + 2 * e.name.size() + stored.size();
        }
        Bytes streamBytes(single.begin() + dataStart, single.begin() + dataEnd);
        Bytes rest(single.begin() + dataEnd, single.end());  // directory + end record
        std::vector<Bytes> files;
        Bytes main(single.begin(), single.begin() + dataStart);
        main.insert(main.end(), streamBytes.begin(), streamBytes.begin() + mainData);
        size_t endRecordAt = rest.size() - 56 - 2 * (comment.size() + baseName.size());
        // Patch the end record: volume count and the data part's length.
        size_t volumes = 1;
        for (size_t at = mainData; at < streamBytes.size(); at += volumeSize) ++volumes;
        auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) rest[at + i] = (uint8_t)(v >> (8 * i)); };
        put32(endRecordAt + 4, (uint32_t)volumes);
        for (int i = 0; i < 8; ++i) rest[endRecordAt + 28 + i] = (uint8_t)((uint64_t)mainData >> (8 * i));
        main.insert(main.end(), rest.begin(), rest.end());
        files.push_back(main);
        for (size_t at = mainData; at < streamBytes.size(); at += volumeSize) {
            size_t end = at + volumeSize < streamBytes.size() ? at + volumeSize : streamBytes.size();
            files.emplace_back(streamBytes.begin() + at, streamBytes.begin() + end);
        }
        return files;
    }
};
