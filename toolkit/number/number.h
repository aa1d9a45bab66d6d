// Number and text conversion: reading numbers from user-typed or stored
// text, writing numbers as text (fixed or shaped by the user's locale) and
// a few in-place text clean-ups.
//
// Locale data comes from the internationals record (lang/inat.h): the
// thousands and decimal separators, the first group size, the leading-zero
// flag and the locale's negative sign.
#pragma once

#include "platform.h"

// ---------------------------------------------------------------------------
// Parsers ("tokens"). Each skips leading white space, reads what it can and
// stores in *end (when end is not null) the first character it did not
// consume. They never fail: unreadable text gives 0 with *end at the
// offending character. A null text gives 0 and a null *end.
//
// Decimal parsers read an optional leading "-" (the locale's own negative
// sign is not accepted), digits, and separators: with the locale, the
// thousands separator is skipped and the decimal separator read as the
// decimal point; without it, "," is skipped and "." is the decimal point.
// At most 63 characters of that run count; the rest is consumed unread.

// Leading digits, modulo 2^32; "-" gives 0, the decimal point ends the number.
uint32_t VoTextToDWordToken(const VOCHAR *text, const VOCHAR **end);
// The same modulo 2^64.
uint64_t VoTextToDWordLongToken(const VOCHAR *text, const VOCHAR **end);
// Signed, saturating at the 32-bit limits.
int32_t VoTextToLongToken(const VOCHAR *text, const VOCHAR **end);
// Signed, saturating at the 64-bit limits.
int64_t VoTextToLongLongToken(const VOCHAR *text, const VOCHAR **end);
// Hexadecimal digits after an optional "0x" or "0X", modulo 2^32; no sign.
uint32_t VoHexToDWordToken(const VOCHAR *text, const VOCHAR **end);
// The same modulo 2^64.
uint64_t VoHexToDWordLongToken(const VOCHAR *text, const VOCHAR **end);
// A decimal fraction; localeAware chooses the separators as above.
double VoTextToDoubleToken(const VOCHAR *text, const VOCHAR **end, int localeAware);

// The Ex variants parse as above; when the value is 0 and *end is neither
// the end of the text nor white space (nothing usable, or garbage after a
// zero), the default is taken instead. The result is then held to
// [minimum, maximum]: below minimum gives minimum, else above maximum gives
// maximum.
uint32_t VoTextToDWordTokenEx(const VOCHAR *text, uint32_t def, uint32_t minimum,
                              uint32_t maximum, const VOCHAR **end);
uint64_t VoTextToDWordLongTokenEx(const VOCHAR *text, uint64_t def, uint64_t minimum,
                                  uint64_t maximum, const VOCHAR **end);
int32_t VoTextToLongTokenEx(const VOCHAR *text, int32_t def, int32_t minimum,
                            int32_t maximum, const VOCHAR **end);
int64_t VoTextToLongLongTokenEx(const VOCHAR *text, int64_t def, int64_t minimum,
                                int64_t maximum, const VOCHAR **end);
uint32_t VoHexToDWordTokenEx(const VOCHAR *text, uint32_t def, uint32_t minimum,
                             uint32_t maximum, const VOCHAR **end);
uint64_t VoHexToDWordLongTokenEx(const VOCHAR *text, uint64_t def, uint64_t minimum,
                                 uint64_t maximum, const VOCHAR **end);
double VoTextToDoubleTokenEx(const VOCHAR *text, double def, double minimum,
                             double maximum, const VOCHAR **end, int localeAware);

// ---------------------------------------------------------------------------
// Writers. `out` holds VONUMBER_TEXT_CHARS units; the result is the length
// written (terminator not counted). With grouped, the digits are grouped
// and the decimal separator set as the user's locale has them.

#define VONUMBER_TEXT_CHARS 64

int VoDWordToText(uint32_t value, VOCHAR *out, int grouped);
int VoLongToText(int32_t value, VOCHAR *out, int grouped);
// The 64-bit value high:low.
int VoDWordLongToText(uint32_t low, uint32_t high, VOCHAR *out, int grouped);
int VoLongLongToText(uint32_t low, uint32_t high, VOCHAR *out, int grouped);
// Rounds half up to `decimals` places (0 to 9) and writes the integer part,
// then "." and exactly `decimals` digits (no point for 0 decimals); "-"
// only when the rounded text is not zero. Magnitudes of 2^64 and more are
// written as 18446744073709551615, NaN as zero.
int VoDoubleToText(VOCHAR *out, double value, int decimals, int grouped);

// ---------------------------------------------------------------------------
// Locale shaping of a number text. A leading run of other characters (a
// currency sign, say, and leading zeros unless a "." follows the zero)
// passes through unchanged; the number behind it is grouped and given the
// locale's decimal separator, and a locale negative sign in front becomes
// "-". They write at most outChars units including the terminator and
// return the length written; a number that does not fit, or text behind
// the prefix that is not a plain number, leaves only the prefix.

// Integer grouping; any fraction is rounded away.
int VoFormatNumber(const VOCHAR *digits, VOCHAR *out, int outChars);
// Decimal separator only, no grouping; as many decimals as the text has
// after its last ".".
int VoFormatDecimalNumber(const VOCHAR *number, VOCHAR *out, int outChars);
// Grouping and decimal separator; decimals < 0 counts them as above.
int VoFormatGroupDecimalNumber(const VOCHAR *number, VOCHAR *out, int outChars, int decimals);

// ---------------------------------------------------------------------------
// Text clean-ups. White space is what the C library's wide test accepts.

// Removes leading (moving the text down) and trailing white space in place;
// returns the new length.
int VoStripWhiteSpace(VOCHAR *text);
// Copies text without its leading white space, cut to outChars - 1 units,
// then removes trailing white space. Returns out, or null when text is null
// or the result is empty.
VOCHAR *VoPrepareName(const VOCHAR *text, VOCHAR *out, int outChars);
// Doubles every "&" so a menu shows it literally, cut to outChars - 1 units
// and to 259. out may be text itself.
// Returns the length written.
int VoFixNameForMenu(VOCHAR *out, const VOCHAR *text, int outChars);
// Replaces every `character` in place; a replacement of 0 cuts the text at
// the first one. Returns the resulting length.
int VoStringReplaceChars(VOCHAR *text, VOCHAR character, VOCHAR replacement);
