// Byte images of the archive records.
#include "archive/records.h"

uint32_t ArcGet32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint64_t ArcGet64(const uint8_t *p)
{
    return (uint64_t)ArcGet32(p) | (uint64_t)ArcGet32(p + 4) << 32;
}

void ArcPut32(uint8_t *p, uint32_t value)
{
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
    p[2] = (uint8_t)(value >> 16);
    p[3] = (uint8_t)(value >> 24);
}

void ArcPut64(uint8_t *p, uint64_t value)
{
    ArcPut32(p, (uint32_t)value);
    ArcPut32(p + 4, (uint32_t)(value >> 32));
}

// The local header and the directory record share their fields from +4 to
// +51; these two helpers walk that common run.
namespace {

struct CommonFields {
    uint32_t *reserved1, *reserved2, *method, *level;
    uint64_t *fileTime;
    uint32_t *dataCrc, *contentCrc;
    uint64_t *compressedSize, *uncompressedSize;
};

void DecodeCommon(const uint8_t *b, const CommonFields &f)
{
    *f.reserved1 = ArcGet32(b + 4);
    *f.reserved2 = ArcGet32(b + 8);
    *f.method = ArcGet32(b + 12);
    *f.level = ArcGet32(b + 16);
    *f.fileTime = ArcGet64(b + 20);
    *f.dataCrc = ArcGet32(b + 28);
    *f.contentCrc = ArcGet32(b + 32);
    *f.compressedSize = ArcGet64(b + 36);
    *f.uncompressedSize = ArcGet64(b + 44);
}

void EncodeCommon(uint8_t *b, const CommonFields &f)
{
    ArcPut32(b + 4, *f.reserved1);
    ArcPut32(b + 8, *f.reserved2);
    ArcPut32(b + 12, *f.method);
    ArcPut32(b + 16, *f.level);
    ArcPut64(b + 20, *f.fileTime);
    ArcPut32(b + 28, *f.dataCrc);
    ArcPut32(b + 32, *f.contentCrc);
    ArcPut64(b + 36, *f.compressedSize);
    ArcPut64(b + 44, *f.uncompressedSize);
}

template <typename Record>
CommonFields Common(Record *r)
{
    return CommonFields{&r->reserved1, &r->reserved2, &r->method, &r->level, &r->fileTime,
                        &r->dataCrc, &r->contentCrc, &r->compressedSize, &r->uncompressedSize};
}

}  // namespace

void ArcDecodeLocalHeader(const uint8_t *b, ArcLocalHeader *h)
{
    h->signature = ArcGet32(b);
    DecodeCommon(b, Common(h));
    h->attributes = ArcGet32(b + 52);
    h->nameLength = ArcGet32(b + 56);
    h->secondLength = ArcGet32(b + 60);
}

void ArcEncodeLocalHeader(const ArcLocalHeader *h, uint8_t *b)
{
    ArcLocalHeader copy = *h;
    ArcPut32(b, h->signature);
    EncodeCommon(b, Common(&copy));
    ArcPut32(b + 52, h->attributes);
    ArcPut32(b + 56, h->nameLength);
    ArcPut32(b + 60, h->secondLength);
}

void ArcDecodeDirectoryRecord(const uint8_t *b, ArcDirectoryRecord *r)
{
    r->signature = ArcGet32(b);
    DecodeCommon(b, Common(r));
    r->nameLength = ArcGet32(b + 52);
    r->secondLength = ArcGet32(b + 56);
    r->thirdLength = ArcGet32(b + 60);
    r->reserved3 = ArcGet32(b + 64);
    r->attributes = ArcGet32(b + 68);
    r->reserved4 = ArcGet32(b + 72);
    r->localHeaderOffset = ArcGet64(b + 76);
}

void ArcEncodeDirectoryRecord(const ArcDirectoryRecord *r, uint8_t *b)
{
    ArcDirectoryRecord copy = *r;
    ArcPut32(b, r->signature);
    EncodeCommon(b, Common(&copy));
    ArcPut32(b + 52, r->nameLength);
    ArcPut32(b + 56, r->secondLength);
    ArcPut32(b + 60, r->thirdLength);
    ArcPut32(b + 64, r->reserved3);
    ArcPut32(b + 68, r->attributes);
    ArcPut32(b + 72, r->reserved4);
    ArcPut64(b + 76, r->localHeaderOffset);
}

void ArcDecodeEndRecord(const uint8_t *b, ArcEndRecord *r)
{
    r->signature = ArcGet32(b);
    r->volumeCount = ArcGet32(b + 4);
    r->reserved = ArcGet32(b + 8);
    r->entryCount1 = ArcGet32(b + 12);
    r->entryCount = ArcGet32(b + 16);
    r->directorySize = ArcGet64(b + 20);
    r->directoryOffset = ArcGet64(b + 28);
    r->startOffset = ArcGet64(b + 36);
    r->commentLength = ArcGet32(b + 44);
    r->baseNameLength = ArcGet32(b + 48);
    r->thirdLength = ArcGet32(b + 52);
}

void ArcEncodeEndRecord(const ArcEndRecord *r, uint8_t *b)
{
    ArcPut32(b, r->signature);
    ArcPut32(b + 4, r->volumeCount);
    ArcPut32(b + 8, r->reserved);
    ArcPut32(b + 12, r->entryCount1);
    ArcPut32(b + 16, r->entryCount);
    ArcPut64(b + 20, r->directorySize);
    ArcPut64(b + 28, r->directoryOffset);
    ArcPut64(b + 36, r->startOffset);
    ArcPut32(b + 44, r->commentLength);
    ArcPut32(b + 48, r->baseNameLength);
    ArcPut32(b + 52, r->thirdLength);
}

uint64_t ArcDirectoryRecordSpan(const ArcDirectoryRecord *r)
{
    return ARC_DIRECTORY_RECORD_SIZE +
           2 * ((uint64_t)r->nameLength + r->secondLength + r->thirdLength);
}

uint64_t ArcEntryDataOffset(const ArcDirectoryRecord *r)
{
    return r->localHeaderOffset + ARC_LOCAL_HEADER_SIZE + 2 * ((uint64_t)r->nameLength + r->secondLength);
}

long ArcFindEndSignature(const uint8_t *tail, size_t size)
{
    if (size < ARC_END_RECORD_SIZE) return -1;
    for (size_t i = size - ARC_END_RECORD_SIZE + 1; i-- > 0;)
        if (ArcGet32(tail + i) == ARC_END_SIGNATURE) return (long)i;
    return -1;
}
