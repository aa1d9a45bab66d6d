// The user's locale settings, and the platform's number shaping.
#include "platform.h"

#ifdef _WIN32

static LCTYPE LocaleType(VoLocaleItem item)
{
    switch (item) {
    case VO_LOCALE_ILANGUAGE: return LOCALE_ILANGUAGE;
    case VO_LOCALE_SLANGUAGE: return LOCALE_SLANGUAGE;
    case VO_LOCALE_SENGLANGUAGE: return LOCALE_SENGLANGUAGE;
    case VO_LOCALE_ICOUNTRY: return LOCALE_ICOUNTRY;
    case VO_LOCALE_SCOUNTRY: return LOCALE_SCOUNTRY;
    case VO_LOCALE_SENGCOUNTRY: return LOCALE_SENGCOUNTRY;
    case VO_LOCALE_SNEGATIVESIGN: return LOCALE_SNEGATIVESIGN;
    case VO_LOCALE_STHOUSAND: return LOCALE_STHOUSAND;
    case VO_LOCALE_SDECIMAL: return LOCALE_SDECIMAL;
    case VO_LOCALE_SGROUPING: return LOCALE_SGROUPING;
    case VO_LOCALE_IDIGITS: return LOCALE_IDIGITS;
    case VO_LOCALE_ILZERO: return LOCALE_ILZERO;
    case VO_LOCALE_STIME: return LOCALE_STIME;
    case VO_LOCALE_SLIST: return LOCALE_SLIST;
    case VO_LOCALE_IMEASURE: return LOCALE_IMEASURE;
    }
    return 0;
}

size_t VoPlatformGetLocaleText(VoLocaleItem item, VOCHAR *out, size_t size)
{
    if (!out || size == 0) return 0;
    out[0] = 0;
    LCTYPE type = LocaleType(item);
    if (!type || size > 0x7FFFFFFF) return 0;
    int n = GetLocaleInfoW(LOCALE_USER_DEFAULT, type, out, (int)size);
    if (n <= 0) {
        out[0] = 0;
        return 0;
    }
    return VoStrLen(out);
}

uint32_t VoPlatformGetSystemDefaultLCID()
{
    return GetSystemDefaultLCID();
}

// Longest number text handed to GetNumberFormatW itself.
static const size_t kLongNumber = 64;

int VoPlatformFormatNumber(const VOCHAR *value, const tVONUMBERFORMAT *format,
                           VOCHAR *out, int outChars)
{
    if (!out || outChars <= 0) return 0;
    out[0] = 0;
    // Very long numbers (the formatter prints up to 259 digits) overrun a
    // fixed buffer inside some implementations of GetNumberFormatW (Wine's
    // among them); the portable code, which gives the same result, takes
    // those.
    if (VoStrLen(value) > kLongNumber) return VoPortableNumberFormat(value, format, out, outChars);
    NUMBERFMTW nf;
    nf.NumDigits = format->numDigits;
    nf.LeadingZero = format->leadingZero;
    nf.Grouping = format->grouping;
    nf.lpDecimalSep = const_cast<LPWSTR>(format->decimalSep);
    nf.lpThousandSep = const_cast<LPWSTR>(format->thousandSep);
    nf.NegativeOrder = format->negativeOrder;
    int n = GetNumberFormatW(LOCALE_USER_DEFAULT, 0, value, &nf, out, outChars);
    if (n <= 0) {
        out[0] = 0;
        return 0;
    }
    return n - 1;
}

#else

// The POSIX build answers with English (United States).
static const char *EnglishUS(VoLocaleItem item)
{
    switch (item) {
    case VO_LOCALE_ILANGUAGE: return "0409";
    case VO_LOCALE_SLANGUAGE: return "English (United States)";
    case VO_LOCALE_SENGLANGUAGE: return "English";
    case VO_LOCALE_ICOUNTRY: return "1";
    case VO_LOCALE_SCOUNTRY: return "United States";
    case VO_LOCALE_SENGCOUNTRY: return "United States";
    case VO_LOCALE_SNEGATIVESIGN: return "-";
    case VO_LOCALE_STHOUSAND: return ",";
    case VO_LOCALE_SDECIMAL: return ".";
    case VO_LOCALE_SGROUPING: return "3;0";
    case VO_LOCALE_IDIGITS: return "2";
    case VO_LOCALE_ILZERO: return "1";
    case VO_LOCALE_STIME: return ":";
    case VO_LOCALE_SLIST: return ",";
    case VO_LOCALE_IMEASURE: return "1";
    }
    return "";
}

size_t VoPlatformGetLocaleText(VoLocaleItem item, VOCHAR *out, size_t size)
{
    return VoAsciiToText(out, EnglishUS(item), size);
}

uint32_t VoPlatformGetSystemDefaultLCID()
{
    return 0x0409;
}

int VoPlatformFormatNumber(const VOCHAR *value, const tVONUMBERFORMAT *format,
                           VOCHAR *out, int outChars)
{
    return VoPortableNumberFormat(value, format, out, outChars);
}

#endif
