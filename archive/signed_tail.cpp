// Packages signed with Authenticode carry the signature after the archive:
// the certificate table that the PE header points to is appended at the
// file's end. The archive then ends where that table begins.
#include "archive/signed_tail.h"

#include "archive/records.h"

namespace {

const uint32_t kDosHeaderSize = 64;
const uint32_t kPeHeaderOffsetField = 0x3C;
const uint32_t kPe32Magic = 0x10B, kPe32PlusMagic = 0x20B;
// The certificate table is data directory 4; its entry lies at these
// offsets of the optional header.
const uint32_t kPe32SecurityEntry = 128, kPe32PlusSecurityEntry = 144;

bool ReadAt(HVOFILE file, int64_t position, uint8_t *bytes, uint32_t size)
{
    uint32_t got = 0;
    return VoFileSeek(file, position) && VoFileRead(file, bytes, size, &got) && got == size;
}

}  // namespace

int64_t ArcSignedDataEnd(HVOFILE file, int64_t fileSize)
{
    uint8_t dos[kDosHeaderSize];
    if (fileSize < (int64_t)kDosHeaderSize || !ReadAt(file, 0, dos, kDosHeaderSize) || dos[0] != 'M' || dos[1] != 'Z')
        return fileSize;
    uint32_t peOffset = ArcGet32(dos + kPeHeaderOffsetField);
    uint8_t pe[24 + kPe32PlusSecurityEntry + 8];
    if ((int64_t)peOffset + (int64_t)sizeof pe > fileSize || !ReadAt(file, peOffset, pe, sizeof pe) ||
        ArcGet32(pe) != 0x00004550u)
        return fileSize;
    const uint8_t *optional = pe + 24;
    uint32_t magic = (uint32_t)(optional[0] | optional[1] << 8);
    uint32_t entry = magic == kPe32Magic ? kPe32SecurityEntry : magic == kPe32PlusMagic ? kPe32PlusSecurityEntry : 0;
    if (!entry) return fileSize;
    int64_t tableOffset = ArcGet32(optional + entry);
    int64_t tableSize = ArcGet32(optional + entry + 4);
    // Only a table at the very end counts: a signed stub with an archive
    // appended afterwards has its table inside the stub.
    if (tableOffset <= 0 || tableSize <= 0 || tableOffset + tableSize != fileSize) return fileSize;
    return tableOffset;
}
