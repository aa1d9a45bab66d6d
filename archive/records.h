// The three records of the archive format and the search for the end record.
//
// An archive is: [stub] entries (local header, name, data) ... central
// directory (one directory record with its texts per entry) end record
// (with the volume comment and the base name). All integers little-endian;
// texts UTF-16LE without terminator, each counted by a 32-bit length in
// units; sizes and offsets 64-bit; offsets count from the archive start,
// which lies "start offset" bytes into the file behind a stub.
//
// The records are kept as plain structs and converted to and from their
// byte images field by field, so the layout does not depend on the
// compiler's packing or the machine's byte order.
#pragma once

#include <cstddef>
#include <cstdint>

#define ARC_LOCAL_SIGNATURE     0x0A034D55u
#define ARC_DIRECTORY_SIGNATURE 0x0B014D55u
#define ARC_END_SIGNATURE       0x0C054D55u

#define ARC_LOCAL_HEADER_SIZE     64
#define ARC_DIRECTORY_RECORD_SIZE 84
#define ARC_END_RECORD_SIZE       56

#define ARC_METHOD_STORE   0
#define ARC_METHOD_DEFLATE 1

// The end record lies within this many bytes of the end of the file.
#define ARC_END_SEARCH_WINDOW 32768

// Texts as kept in memory: cut to these many units (plus a terminator).
#define ARC_MAX_NAME    259
#define ARC_MAX_COMMENT 1023

#define ARC_ATTR_FOLDER 0x10u

struct ArcLocalHeader {
    uint32_t signature;
    uint32_t reserved1;
    uint32_t reserved2;
    uint32_t method;
    uint32_t level;
    uint64_t fileTime;
    uint32_t dataCrc;       // over the stored bytes
    uint32_t contentCrc;    // over the uncompressed bytes
    uint64_t compressedSize;
    uint64_t uncompressedSize;
    uint32_t attributes;
    uint32_t nameLength;    // units
    uint32_t secondLength;  // units
};

struct ArcDirectoryRecord {
    uint32_t signature;
    uint32_t reserved1;
    uint32_t reserved2;
    uint32_t method;
    uint32_t level;
    uint64_t fileTime;
    uint32_t dataCrc;
    uint32_t contentCrc;
    uint64_t compressedSize;
    uint64_t uncompressedSize;
    uint32_t nameLength;
    uint32_t secondLength;
    uint32_t thirdLength;
    uint32_t reserved3;
    uint32_t attributes;
    uint32_t reserved4;
    uint64_t localHeaderOffset;
};

struct ArcEndRecord {
    uint32_t signature;
    uint32_t volumeCount;
    uint32_t reserved;
    uint32_t entryCount1;
    uint32_t entryCount;       // the copy that is read
    uint64_t directorySize;
    uint64_t directoryOffset;  // also the length of the data part in a main file with volumes
    uint64_t startOffset;      // stub length
    uint32_t commentLength;
    uint32_t baseNameLength;
    uint32_t thirdLength;
};

void ArcDecodeLocalHeader(const uint8_t *bytes, ArcLocalHeader *header);
void ArcEncodeLocalHeader(const ArcLocalHeader *header, uint8_t *bytes);
void ArcDecodeDirectoryRecord(const uint8_t *bytes, ArcDirectoryRecord *record);
void ArcEncodeDirectoryRecord(const ArcDirectoryRecord *record, uint8_t *bytes);
void ArcDecodeEndRecord(const uint8_t *bytes, ArcEndRecord *record);
void ArcEncodeEndRecord(const ArcEndRecord *record, uint8_t *bytes);

// Bytes a directory record takes with its texts.
uint64_t ArcDirectoryRecordSpan(const ArcDirectoryRecord *record);
// Archive offset where an entry's data begins.
uint64_t ArcEntryDataOffset(const ArcDirectoryRecord *record);

// Searches the tail of a file (the last bytes, at most the search window)
// backwards for the end record's signature, starting where 56 bytes still
// remain. Returns the hit's position within the buffer, or -1.
long ArcFindEndSignature(const uint8_t *tail, size_t size);

// Little-endian helpers shared by the readers and writers.
uint32_t ArcGet32(const uint8_t *p);
uint64_t ArcGet64(const uint8_t *p);
void ArcPut32(uint8_t *p, uint32_t value);
void ArcPut64(uint8_t *p, uint64_t value);
