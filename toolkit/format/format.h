// The token formatter: every text the system shows or builds goes through
// VoPrintF. It is a printf-style formatter for UTF-16 text with three
// additions of its own:
//   - named tokens "$(Name)", replaced from one process-wide token table
//     (names compare without regard to case; values are inserted as they
//     stand, never formatted again);
//   - "$" as a second conversion introducer that shapes numbers with the
//     user's locale ("$d" groups digits, "$.2f" also uses the decimal sign);
//   - conversions without an argument that insert locale separators:
//     "%*" decimal sign, "%," list separator, "%:" time separator, "%!:",
//     "%!.", "%!," time-code separators, "%&:", "%&." musical-time ones.
// "$$" writes "$", "%%" writes "%". "$(1234.5)" writes a grouped number.
// Incomplete directives and unknown or unclosed tokens are copied as
// they stand.
//
// Arguments: every integer and character argument is 32 bits wide (int,
// unsigned), a text is a pointer (const VOCHAR *); "%I64d" and friends take
// 64 bits, the floating conversions a double.
#pragma once

#include <cstdarg>

#include "platform.h"

// Formats into out, which the caller makes large enough for the result.
// Returns the length of the result in units, without the terminator.
int VoPrintF(VOCHAR *out, const VOCHAR *format, ...);
int VoVPrintF(VOCHAR *out, const VOCHAR *format, va_list args);
// The same into a buffer of size units: the result is cut to size - 1
// units and always terminated. Returns the length written.
int VoPrintFN(VOCHAR *out, int size, const VOCHAR *format, ...);
int VoVPrintFN(VOCHAR *out, int size, const VOCHAR *format, va_list args);

// The tokens of text ("$(Name)", and numbers "$(1234.5)") expanded into out
// of size units, cut and terminated like VoPrintFN; nothing else is read:
// a '%' or '$' stands as written ("$$" is one '$'). For texts that come
// from a package's author, which must never be read as conversions.
int VoExpandTokensN(VOCHAR *out, int size, const VOCHAR *text);

// Adds or replaces a token (the name keeps the spelling of the latest call);
// a null value counts as empty. Returns 1, or 0 when the entry could not be
// allocated or there is no token table.
int VoPrintF_AddToken(const VOCHAR *name, const VOCHAR *value);
// Removes a token; returns 1 when one of that name existed.
int VoPrintF_DeleteToken(const VOCHAR *name);

// The token table's life: created by the toolkit's start-up before anything
// registers a token, destroyed with all its entries by the shut-down.
// Creating an existing table keeps it and returns 1.
int VoPrintF_CreateTokenTable();
void VoPrintF_DestroyTokenTable();

#ifdef _WIN32
// Formats source with FormatMessageW (numbered inserts "%1", "%2!d!", ...;
// no tokens) into buffer of size units. Returns the units written, 0 on
// failure.
int VoComposeStr(wchar_t *buffer, int size, const wchar_t *source, ...);

// Shorten text in place so its extent in the device context is at most
// width - 2 pixels, with "..." at the end (characters dropped from the end)
// or at the start (characters dropped from the front). The first returns 1
// only when it shortened the text; the second returns 1 when the text
// fitted or was shortened. Both return 0 when nothing fits.
int VoCalcStringEllipsis(HDC hdc, wchar_t *text, int size, int width);
int VoCalcStringEllipsisFromEnd(HDC hdc, wchar_t *text, int size, int width);
#endif
