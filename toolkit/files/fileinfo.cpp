// Facts about single files (size, writability, executable headers, DOS
// time stamps), the current time in packed form, and sizes as text.
#include "files/files_internal.h"

#include "format/format.h"

namespace {

const int64_t kSecondsPerDay = 86400;
const int64_t kDaysFrom1601To1970 = 134774;

uint32_t ReadLe32(const uint8_t *p)
{
    return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

uint16_t ReadLe16(const uint8_t *p) { return (uint16_t)(p[0] | p[1] << 8); }

struct CivilTime {
    int year, month, day, hour, minute, second, millisecond;
};

// A file time broken down into the calendar (proleptic Gregorian).
CivilTime BreakDown(VOFILETIME time)
{
    CivilTime civil;
    uint64_t milliseconds = time / 10000;
    int64_t days = (int64_t)(milliseconds / 1000 / kSecondsPerDay) - kDaysFrom1601To1970;
    uint64_t inDay = milliseconds % (1000 * (uint64_t)kSecondsPerDay);
    civil.millisecond = (int)(inDay % 1000);
    civil.second = (int)(inDay / 1000 % 60);
    civil.minute = (int)(inDay / 60000 % 60);
    civil.hour = (int)(inDay / 3600000);
    // Days since 1970-01-01 to year, month, day.
    int64_t z = days + 719468;
    int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    int64_t dayOfEra = z - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t mp = (5 * dayOfYear + 2) / 153;
    civil.day = (int)(dayOfYear - (153 * mp + 2) / 5 + 1);
    civil.month = (int)(mp < 10 ? mp + 3 : mp - 9);
    civil.year = (int)(yearOfEra + era * 400 + (civil.month <= 2 ? 1 : 0));
    return civil;
}

// DOS date in the high word, DOS time (two-second steps) in the low word;
// 0 for dates a DOS stamp cannot hold.
uint32_t DosStamp(VOFILETIME time)
{
    CivilTime c = BreakDown(time);
    if (c.year < 1980 || c.year > 2107) return 0;
    uint32_t date = (uint32_t)((c.year - 1980) << 9 | c.month << 5 | c.day);
    uint32_t clock = (uint32_t)(c.hour << 11 | c.minute << 5 | c.second / 2);
    return date << 16 | clock;
}

uint32_t DosDateTime(const VOCHAR *path, bool local)
{
    HVOFILE file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ | VO_SHARE_WRITE, VO_OPEN_EXISTING);
    if (!file) return 0;
    VOFILETIME written = 0;
    bool ok = VoFileGetTimes(file, nullptr, nullptr, &written);
    VoFileClose(file);
    if (!ok) return 0;
    return DosStamp(local ? VoFileTimeToLocal(written) : written);
}

struct ByteSizeFormats {
    const VOCHAR *bytes, *kilo, *mega, *giga;
};

int ByteSizeText(int64_t size, VOCHAR *out, const ByteSizeFormats &formats)
{
    if (!out) return 0;
    if (size < 1024) return VoPrintF(out, formats.bytes, size);
    if (size < 1024000) return VoPrintF(out, formats.kilo, (double)size / 1024.0);
    if (size < 1024000000) return VoPrintF(out, formats.mega, (double)size / 1024000.0);
    return VoPrintF(out, formats.giga, (double)size / 1024000000.0);
}

}  // namespace

HRESULT VoGetFileSizeByName(const VOCHAR *path, uint64_t *size)
{
    if (!size) return E_INVALIDARG;
    *size = 0;
    HVOFILE file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ | VO_SHARE_WRITE, VO_OPEN_EXISTING);
    if (!file) return VO_E_FILES_OPEN;
    int64_t length = VoFileGetSize(file);
    VoFileClose(file);
    if (length < 0) return E_FAIL;
    *size = (uint64_t)length;
    return S_OK;
}

int VoIsFileWritable(const VOCHAR *path)
{
    HVOFILE file = VoFileOpen(path, VO_ACCESS_WRITE, VO_SHARE_WRITE, VO_OPEN_EXISTING);
    if (!file) return 0;
    VoFileClose(file);
    return 1;
}

// The DOS header ("MZ") holds at offset 60 the offset of the PE header:
// "PE\0\0", then the file header whose machine is at +4 and whose
// characteristics are at +22.
int VoIsFileExecutable(HVOFILE file, uint16_t *machine, uint16_t *characteristics)
{
    if (machine) *machine = 0;
    if (characteristics) *characteristics = 0;
    if (!file) return 0;
    const uint32_t kChunk = 4096, kHeader = 24;
    uint8_t buffer[kChunk];
    uint32_t got = 0;
    int result = 0;
    if (VoFileSeek(file, 0) && VoFileRead(file, buffer, kChunk, &got) && got >= 64 &&
        buffer[0] == 'M' && buffer[1] == 'Z') {
        uint32_t offset = ReadLe32(buffer + 60);
        const uint8_t *header = nullptr;
        if ((uint64_t)offset + kHeader <= got)
            header = buffer + offset;
        else if (VoFileSeek(file, offset) && VoFileRead(file, buffer, kChunk, &got) && got >= kHeader)
            header = buffer;
        if (header && ReadLe32(header) == 0x00004550) {
            if (machine) *machine = ReadLe16(header + 4);
            if (characteristics) *characteristics = ReadLe16(header + 22);
            result = 1;
        }
    }
    VoFileSeek(file, 0);
    return result;
}

HRESULT VoGetFileExecutableInfo(const VOCHAR *path, uint16_t *machine, uint16_t *characteristics)
{
    uint32_t error = 0;
    HVOFILE file = VoFileOpen(path, VO_ACCESS_READ, VO_SHARE_READ, VO_OPEN_EXISTING, &error);
    if (!file) {
        if (machine) *machine = 0;
        if (characteristics) *characteristics = 0;
        HRESULT result = (int32_t)error <= 0 ? (HRESULT)error : (HRESULT)((error & 0xFFFF) | 0x80070000u);
        // An open that failed without an error number is still a failure.
        return FAILED(result) ? result : E_FAIL;
    }
    int executable = VoIsFileExecutable(file, machine, characteristics);
    VoFileClose(file);
    return executable ? S_OK : VO_E_FILES_NOTEXE;
}

uint32_t VoDosGetDateTime(const VOCHAR *path) { return DosDateTime(path, true); }

uint32_t VoDosGetDateTimeUTC(const VOCHAR *path) { return DosDateTime(path, false); }

uint32_t VoGetDateTime(uint32_t dateTime[2])
{
    CivilTime now = BreakDown(VoFileTimeToLocal(VoGetSystemTimeAsFileTime()));
    uint32_t hundredths = (uint32_t)now.millisecond / 10;
    if (dateTime) {
        dateTime[0] = (uint32_t)now.month << 24 | (uint32_t)now.day << 16 | (uint32_t)now.year;
        dateTime[1] = (uint32_t)now.hour << 24 | (uint32_t)now.minute << 16 | (uint32_t)now.second << 8 | hundredths;
    }
    return hundredths;
}

// Sizes below 1024 bytes (and negative ones) are printed whole, as 64-bit
// numbers so that no size is cut to 32 bits.
int VoGetByteSizeText(int64_t size, VOCHAR *out)
{
    static const ByteSizeFormats kFormats = {VOTEXT("%I64d"), VOTEXT("$.2fKB"), VOTEXT("$.2fMB"),
                                             VOTEXT("$.2fGB")};
    return ByteSizeText(size, out, kFormats);
}

int VoGetByteSizeText2(int64_t size, VOCHAR *out)
{
    static const ByteSizeFormats kFormats = {VOTEXT("%I64d bytes"), VOTEXT("$.2f KB"), VOTEXT("$.2f MB"),
                                             VOTEXT("$.2f GB")};
    return ByteSizeText(size, out, kFormats);
}
