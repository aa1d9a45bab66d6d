// The internationals record: one process-wide copy of the user's locale
// settings that the toolkit's text services need (number separators and
// settings, list and time separators, language and country names) plus five
// separators of the toolkit's own for time codes and musical time.
//
// The record is filled from the user's default locale on first use (or by
// VoKernel start-up through VoLang_GetInternationals(nullptr, 0)) and again
// on every explicit refresh. Readers take no lock: the record only changes
// at start-up and on a refresh.
#pragma once

#include "platform.h"

// Capacities in UTF-16 units, terminator included.
#define VOINAT_NAME_CHARS 66  // 64 units of text, terminator, one unit keeping the next field aligned
#define VOINAT_SEP_CHARS 8    // 7 units of text and the terminator

// The record's size in bytes, as stored in its first field.
#define VOINAT_SIZE 796

// Every text is terminated and has its length (units, no terminator) beside it.
struct tVOINAT {
    int32_t size;                    // VOINAT_SIZE in the process record
    uint32_t systemLCID;             // the system's default LCID

    int32_t languageCode;            // LOCALE_ILANGUAGE (hexadecimal text, "0409" -> 0x0409)
    int32_t languageNameLen;
    VOCHAR languageName[VOINAT_NAME_CHARS];         // localised language name
    int32_t englishLanguageNameLen;
    VOCHAR englishLanguageName[VOINAT_NAME_CHARS];

    int32_t countryCode;             // LOCALE_ICOUNTRY (decimal text)
    int32_t countryNameLen;
    VOCHAR countryName[VOINAT_NAME_CHARS];          // localised country name
    int32_t englishCountryNameLen;
    VOCHAR englishCountryName[VOINAT_NAME_CHARS];

    int32_t negativeSignLen;
    VOCHAR negativeSign[VOINAT_SEP_CHARS];          // the locale's negative sign
    int32_t minusSignLen;
    VOCHAR minusSign[VOINAT_SEP_CHARS];             // always "-"

    int32_t thousandSepLen;
    VOCHAR thousandSep[VOINAT_SEP_CHARS];
    int32_t decimalSepLen;
    VOCHAR decimalSep[VOINAT_SEP_CHARS];            // never equal to thousandSep

    int32_t grouping;                // first group size, e.g. 3 (from "3;0")
    int32_t digits;                  // decimals of the locale's number format
    int32_t leadingZero;             // 1: "0.5", 0: ".5"

    int32_t timeSepLen;
    VOCHAR timeSep[VOINAT_SEP_CHARS];
    int32_t listSepLen;
    VOCHAR listSep[VOINAT_SEP_CHARS];
    int32_t measure;                 // 0 metric, 1 U.S.

    // The toolkit's own separators.
    int32_t timeCodeWholeSepLen;
    VOCHAR timeCodeWholeSep[VOINAT_SEP_CHARS];      // ":"
    int32_t timeCodeNonDropSepLen;
    VOCHAR timeCodeNonDropSep[VOINAT_SEP_CHARS];    // "."
    int32_t timeCodeDropSepLen;
    VOCHAR timeCodeDropSep[VOINAT_SEP_CHARS];       // ","
    int32_t measureBeatSepLen;
    VOCHAR measureBeatSep[VOINAT_SEP_CHARS];        // "."
    int32_t beatTickSepLen;
    VOCHAR beatTickSep[VOINAT_SEP_CHARS];           // "."
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(tVOINAT) == VOINAT_SIZE, "the internationals record is 796 bytes");
#endif

// Codes of VoGetInat.
enum {
    VOINAT_SYSTEM_LCID = 0,          // value
    VOINAT_LANGUAGE_CODE = 1,        // value
    VOINAT_LANGUAGE_NAME = 2,        // text
    VOINAT_ENGLISH_LANGUAGE_NAME = 3,// text
    VOINAT_COUNTRY_CODE = 4,         // value
    VOINAT_DECIMAL_SEP = 24,
    VOINAT_LIST_SEP = 40,
    VOINAT_TIME_SEP = 60,
    VOINAT_TIMECODE_WHOLE_SEP = 100,
    VOINAT_TIMECODE_NONDROP_SEP = 101,
    VOINAT_TIMECODE_DROP_SEP = 102,
    VOINAT_MEASURE_BEAT_SEP = 120,
    VOINAT_BEAT_TICK_SEP = 121
};

// With out null: fills (refreshes) the process record from the user's
// locale and returns 1. With out: copies min(size, VOINAT_SIZE) bytes of
// the record into out, stores that count in the copy's first field (when
// the copy holds that field) and returns the count; a size of 0 or less
// copies nothing and returns 0.
int VoLang_GetInternationals(tVOINAT *out, int size);

// Codes 0, 1 and 4 return the value. Text codes copy the text into out
// (a language name needs VOINAT_NAME_CHARS units, a separator
// VOINAT_SEP_CHARS) and return its length; out may be null to ask for the
// length only. Unknown codes leave an empty text and return 0.
int VoGetInat(int code, VOCHAR *out);

// The process record, filled on first use. Never null.
const tVOINAT *VoGetInatRecord();

// Fills a record from the user's default locale as the process record is
// filled (used by the refresh, and by tests on a record of their own).
void VoInat_Fill(tVOINAT *record);

// Replaces the process record by a copy of `record` (its size field set to
// VOINAT_SIZE), to run the text services under other settings, as tests do.
// VoLang_GetInternationals(nullptr, 0) brings back the user's settings.
void VoInat_SetRecord(const tVOINAT *record);

// One step of the filling: when the thousands and decimal separators are equal,
// the decimal separator becomes "," if the thousands separator is "." and
// "." otherwise, so that number texts stay readable.
void VoInat_MakeSeparatorsDistinct(tVOINAT *record);

// Registers the record's separators as tokens ("SMPTE.Whole", "SMPTE.NonDrop",
// "SMPTE.Drop", "m.b", "b.t") and, on Windows, the time-code and
// musical-time labels built from the default language instance's strings.
// Part of every explicit refresh.
void VoInat_RegisterTokens(const tVOINAT *record);
