// The internationals record: filling it from the user's locale, copying it
// out and answering VoGetInat.
#include "lang/inat.h"

#include <cstring>

namespace {

tVOINAT g_inat;

// Serialises refreshes and copies. Made on first use: a function's static
// object is made once, safely across threads. (The toolkit's own lock keeps
// the stub free of the C++ thread library.)
tVOLOCK *RefreshLock()
{
    static struct Holder {
        tVOLOCK lock;
        Holder() { VoLockInit(&lock); }
    } holder;
    return &holder.lock;
}

// Room for any locale item; longer texts are cut when stored.
const size_t kItemChars = 256;
// A name field holds 64 units of text and its terminator; its last unit
// only keeps the next field aligned.
const size_t kNameChars = VOINAT_NAME_CHARS - 1;

// Reads a text item into a field of `capacity` units, cut to fit.
int32_t ReadText(VoLocaleItem item, VOCHAR *field, size_t capacity)
{
    VOCHAR text[kItemChars];
    VoPlatformGetLocaleText(item, text, kItemChars);
    return (int32_t)VoStrCopyN(field, text, capacity);
}

bool IsHexDigit(VOCHAR c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(VOCHAR c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}

// Reads the leading digits of a numeric item in the given base. The locale
// answers with short texts ("0409", "1", "3;0"), so the value cannot grow
// past a few digits; longer runs are cut at 8 digits to stay in range.
int32_t ReadNumber(VoLocaleItem item, int base)
{
    VOCHAR text[kItemChars];
    VoPlatformGetLocaleText(item, text, kItemChars);
    const VOCHAR *p = text;
    while (*p && VoIsSpace(*p)) ++p;
    int32_t value = 0;
    for (int n = 0; n < 8; ++n, ++p) {
        if (base == 16 && IsHexDigit(*p)) value = value * 16 + HexValue(*p);
        else if (base == 10 && *p >= '0' && *p <= '9') value = value * 10 + (*p - '0');
        else break;
    }
    return value;
}

int32_t SetText(VOCHAR *field, size_t capacity, const char *text)
{
    return (int32_t)VoAsciiToText(field, text, capacity);
}

int CopyOut(VOCHAR *out, const VOCHAR *text, int32_t length)
{
    if (out) VoStrCopyN(out, text, (size_t)length + 1);
    return length;
}

}  // namespace

void VoInat_MakeSeparatorsDistinct(tVOINAT *record)
{
    if (record->thousandSepLen != record->decimalSepLen ||
        std::memcmp(record->thousandSep, record->decimalSep,
                    sizeof(VOCHAR) * (size_t)record->thousandSepLen) != 0)
        return;
    bool thousandIsPoint = record->thousandSepLen == 1 && record->thousandSep[0] == '.';
    record->decimalSepLen = SetText(record->decimalSep, VOINAT_SEP_CHARS, thousandIsPoint ? "," : ".");
}

void VoInat_Fill(tVOINAT *r)
{
    std::memset(r, 0, sizeof(*r));
    r->size = VOINAT_SIZE;
    r->systemLCID = VoPlatformGetSystemDefaultLCID();

    // The language arrives as hexadecimal text ("0409"): read in base 16 it
    // is the language identifier the LCIDs are built from.
    r->languageCode = ReadNumber(VO_LOCALE_ILANGUAGE, 16);
    r->languageNameLen = ReadText(VO_LOCALE_SLANGUAGE, r->languageName, kNameChars);
    r->englishLanguageNameLen = ReadText(VO_LOCALE_SENGLANGUAGE, r->englishLanguageName, kNameChars);

    r->countryCode = ReadNumber(VO_LOCALE_ICOUNTRY, 10);
    r->countryNameLen = ReadText(VO_LOCALE_SCOUNTRY, r->countryName, kNameChars);
    r->englishCountryNameLen = ReadText(VO_LOCALE_SENGCOUNTRY, r->englishCountryName, kNameChars);

    r->negativeSignLen = ReadText(VO_LOCALE_SNEGATIVESIGN, r->negativeSign, VOINAT_SEP_CHARS);
    r->minusSignLen = SetText(r->minusSign, VOINAT_SEP_CHARS, "-");

    r->thousandSepLen = ReadText(VO_LOCALE_STHOUSAND, r->thousandSep, VOINAT_SEP_CHARS);
    r->decimalSepLen = ReadText(VO_LOCALE_SDECIMAL, r->decimalSep, VOINAT_SEP_CHARS);

    r->grouping = ReadNumber(VO_LOCALE_SGROUPING, 10);
    r->digits = ReadNumber(VO_LOCALE_IDIGITS, 10);
    r->leadingZero = ReadNumber(VO_LOCALE_ILZERO, 10);

    r->timeSepLen = ReadText(VO_LOCALE_STIME, r->timeSep, VOINAT_SEP_CHARS);
    r->listSepLen = ReadText(VO_LOCALE_SLIST, r->listSep, VOINAT_SEP_CHARS);
    r->measure = ReadNumber(VO_LOCALE_IMEASURE, 10);

    // A number text must tell its decimal separator from its grouping.
    VoInat_MakeSeparatorsDistinct(r);

    r->timeCodeWholeSepLen = SetText(r->timeCodeWholeSep, VOINAT_SEP_CHARS, ":");
    r->timeCodeNonDropSepLen = SetText(r->timeCodeNonDropSep, VOINAT_SEP_CHARS, ".");
    r->timeCodeDropSepLen = SetText(r->timeCodeDropSep, VOINAT_SEP_CHARS, ",");
    r->measureBeatSepLen = SetText(r->measureBeatSep, VOINAT_SEP_CHARS, ".");
    r->beatTickSepLen = SetText(r->beatTickSep, VOINAT_SEP_CHARS, ".");
}

const tVOINAT *VoGetInatRecord()
{
    static const bool filled = (VoInat_Fill(&g_inat), true);
    (void)filled;
    return &g_inat;
}

void VoInat_SetRecord(const tVOINAT *record)
{
    if (!record) return;
    VoGetInatRecord();
    CVoLockHolder hold(RefreshLock());
    g_inat = *record;
    g_inat.size = VOINAT_SIZE;
}

int VoLang_GetInternationals(tVOINAT *out, int size)
{
    const tVOINAT *record = VoGetInatRecord();
    if (!out) {
        // Filled aside and copied in one go, so that a reader never sees a
        // cleared record; concurrent refreshes are serialised.
        tVOINAT fresh;
        VoInat_Fill(&fresh);
        {
            CVoLockHolder hold(RefreshLock());
            g_inat = fresh;
        }
        VoInat_RegisterTokens(&fresh);
        return 1;
    }
    if (size <= 0) return 0;
    int count = size < VOINAT_SIZE ? size : VOINAT_SIZE;
    {
        CVoLockHolder hold(RefreshLock());
        std::memcpy(out, record, (size_t)count);
    }
    // The count goes into the size field only when the copy holds that field.
    if (count >= (int)sizeof(out->size)) out->size = count;
    return count;
}

int VoGetInat(int code, VOCHAR *out)
{
    const tVOINAT *r = VoGetInatRecord();
    switch (code) {
    case VOINAT_SYSTEM_LCID: return (int)r->systemLCID;
    case VOINAT_LANGUAGE_CODE: return r->languageCode;
    case VOINAT_COUNTRY_CODE: return r->countryCode;
    case VOINAT_LANGUAGE_NAME: return CopyOut(out, r->languageName, r->languageNameLen);
    case VOINAT_ENGLISH_LANGUAGE_NAME: return CopyOut(out, r->englishLanguageName, r->englishLanguageNameLen);
    case VOINAT_DECIMAL_SEP: return CopyOut(out, r->decimalSep, r->decimalSepLen);
    case VOINAT_LIST_SEP: return CopyOut(out, r->listSep, r->listSepLen);
    case VOINAT_TIME_SEP: return CopyOut(out, r->timeSep, r->timeSepLen);
    case VOINAT_TIMECODE_WHOLE_SEP: return CopyOut(out, r->timeCodeWholeSep, r->timeCodeWholeSepLen);
    case VOINAT_TIMECODE_NONDROP_SEP: return CopyOut(out, r->timeCodeNonDropSep, r->timeCodeNonDropSepLen);
    case VOINAT_TIMECODE_DROP_SEP: return CopyOut(out, r->timeCodeDropSep, r->timeCodeDropSepLen);
    case VOINAT_MEASURE_BEAT_SEP: return CopyOut(out, r->measureBeatSep, r->measureBeatSepLen);
    case VOINAT_BEAT_TICK_SEP: return CopyOut(out, r->beatTickSep, r->beatTickSepLen);
    default:
        if (out) out[0] = 0;
        return 0;
    }
}
