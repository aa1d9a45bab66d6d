// The platform layer: the only place where the Windows and POSIX builds differ.
//
// Everything above this layer (archive/, portable toolkit/) includes this
// header instead of <windows.h>. It provides:
//   - the text type VOCHAR (UTF-16 everywhere) and the VOTEXT literal macro;
//   - result codes (HRESULT and the common E_* values on POSIX);
//   - zero-filling memory blocks that know their size, and private heaps;
//   - a re-entrant lock (critical section);
//   - a few text primitives the toolkit needs on both systems.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdarg>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
typedef wchar_t VOCHAR;
#define VOTEXT_(s) L##s
#else
#include <pthread.h>
typedef char16_t VOCHAR;
#define VOTEXT_(s) u##s
typedef int32_t HRESULT;
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001L)
#define E_FAIL ((HRESULT)0x80004005L)
#define E_OUTOFMEMORY ((HRESULT)0x8007000EL)
#define E_INVALIDARG ((HRESULT)0x80070057L)
#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)
#endif

// A literal of the toolkit's text type: VOTEXT("abc").
#define VOTEXT(s) VOTEXT_(s)

// ---------------------------------------------------------------------------
// Text primitives (UTF-16 units, terminator not counted unless said).

// Length up to the first terminator; 0 for a null text.
size_t VoStrLen(const VOCHAR *text);
// Copies at most size - 1 units and always terminates (when size > 0).
// Returns the number of units copied.
size_t VoStrCopyN(VOCHAR *out, const VOCHAR *text, size_t size);
// Case-insensitive comparison used for the toolkit's sorted name tables
// (lstrcmpiW on Windows; simple case folding of each unit elsewhere).
int VoStrCmpI(const VOCHAR *a, const VOCHAR *b);
// Character classes of the C library's wide functions.
bool VoIsDigit(VOCHAR c);
bool VoIsSpace(VOCHAR c);
// Widens an ASCII text into VOCHAR units; returns the length written.
size_t VoAsciiToText(VOCHAR *out, const char *text, size_t size);

// ---------------------------------------------------------------------------
// Memory. Every block is zero-filled and remembers its size; the functions
// never throw, they return null when memory cannot be had.

void *VoMemAlloc(size_t size);
// Resizes a block; new bytes are zero. On failure returns null and the old
// block is untouched. A null block allocates.
void *VoMemReAlloc(void *block, size_t size);
void VoMemFree(void *block);
// The size the block was allocated with (0 for null).
size_t VoMemSize(const void *block);

// A private heap: all its blocks are released at once by VoHeapDestroy.
typedef struct tVOHEAP *HVOHEAP;
HVOHEAP VoHeapCreate(size_t initialSize);
void VoHeapDestroy(HVOHEAP heap);
void *VoHeapAlloc(HVOHEAP heap, size_t size);
void *VoHeapReAlloc(HVOHEAP heap, void *block, size_t size);
void VoHeapFree(HVOHEAP heap, void *block);
size_t VoHeapSize(HVOHEAP heap, const void *block);

// ---------------------------------------------------------------------------
// A re-entrant lock: the same thread may enter it several times.

struct tVOLOCK {
#ifdef _WIN32
    CRITICAL_SECTION section;
#else
    pthread_mutex_t mutex;
#endif
};
void VoLockInit(tVOLOCK *lock);
void VoLockDelete(tVOLOCK *lock);
void VoLockEnter(tVOLOCK *lock);
void VoLockLeave(tVOLOCK *lock);

// Holds a lock for a scope; a null lock is not taken.
class CVoLockHolder {
public:
    explicit CVoLockHolder(tVOLOCK *lock) : m_lock(lock) { if (m_lock) VoLockEnter(m_lock); }
    ~CVoLockHolder() { if (m_lock) VoLockLeave(m_lock); }
    CVoLockHolder(const CVoLockHolder &) = delete;
    CVoLockHolder &operator=(const CVoLockHolder &) = delete;
private:
    tVOLOCK *m_lock;
};

// ---------------------------------------------------------------------------
// A counting semaphore with a maximum count, private to its creator.

typedef struct tVOSEMAPHORE *HVOSEMAPHORE;
HVOSEMAPHORE VoSemaphoreCreate(int initialCount, int maximumCount);
void VoSemaphoreClose(HVOSEMAPHORE semaphore);
// Raises the count by one unless it is at the maximum.
void VoSemaphoreRelease(HVOSEMAPHORE semaphore);
// Waits without time limit until the count is above 0, then lowers it.
void VoSemaphoreWait(HVOSEMAPHORE semaphore);

// ---------------------------------------------------------------------------
// Threads.

uint32_t VoGetCurrentThreadId();
// Atomically stores value and returns the previous one.
uint32_t VoAtomicExchange32(volatile uint32_t *target, uint32_t value);

// ---------------------------------------------------------------------------
// Locale information of the user's default locale (see toolkit/lang/inat.h).
// Windows reads it with GetLocaleInfoW; the POSIX build answers with the
// settings of English (United States). Returns the length copied (without
// terminator), 0 when the item is unknown.

enum VoLocaleItem {
    VO_LOCALE_ILANGUAGE, VO_LOCALE_SLANGUAGE, VO_LOCALE_SENGLANGUAGE,
    VO_LOCALE_ICOUNTRY, VO_LOCALE_SCOUNTRY, VO_LOCALE_SENGCOUNTRY,
    VO_LOCALE_SNEGATIVESIGN, VO_LOCALE_STHOUSAND, VO_LOCALE_SDECIMAL,
    VO_LOCALE_SGROUPING, VO_LOCALE_IDIGITS, VO_LOCALE_ILZERO,
    VO_LOCALE_STIME, VO_LOCALE_SLIST, VO_LOCALE_IMEASURE
};
size_t VoPlatformGetLocaleText(VoLocaleItem item, VOCHAR *out, size_t size);
uint32_t VoPlatformGetSystemDefaultLCID();

// Number shaping as the platform's number formatter does it (GetNumberFormatW
// with LOCALE_USER_DEFAULT on Windows, VoPortableNumberFormat elsewhere).
struct tVONUMBERFORMAT {
    unsigned numDigits;        // decimals after rounding
    unsigned leadingZero;      // 1: "0.5", 0: ".5"
    unsigned grouping;         // first group size, 0 for none
    const VOCHAR *decimalSep;
    const VOCHAR *thousandSep;
    unsigned negativeOrder;    // 1: sign directly in front
};
// Formats the plain number text `value` ("-", digits, one ".") into out
// (outChars units with terminator). Returns the length written, or 0 when
// the text is not a plain number or the result does not fit.
int VoPlatformFormatNumber(const VOCHAR *value, const tVONUMBERFORMAT *format,
                           VOCHAR *out, int outChars);
// The portable implementation of the above, built on every platform so the
// Windows tests can compare it with GetNumberFormatW.
int VoPortableNumberFormat(const VOCHAR *value, const tVONUMBERFORMAT *format,
                           VOCHAR *out, int outChars);

// One %s / %c conversion as the platform's wsprintfW does it: `directive` is a
// whole directive ("%-10s", "%hc", ...) possibly followed by plain
// characters, consuming exactly one argument from args. Writes at most 1024
// units including the terminator, returns the length written.
int VoPlatformWsprintfOne(VOCHAR *out, const VOCHAR *directive, va_list *args);
// The portable implementation of the above (see VoPlatformFormatNumber).
int VoPortableWsprintfOne(VOCHAR *out, const VOCHAR *directive, va_list *args);

#ifdef _WIN32
// Loads a DLL of the system folder by its full path, never from the program's
// folder or the search path, so that a planted copy is never used. Callers
// keep the handle for the life of the process.
HMODULE VoLoadSystemLibrary(const wchar_t *name);
// A function of such a DLL, or null.
template <typename Function>
Function VoSystemFunction(const wchar_t *library, const char *name)
{
    HMODULE module = VoLoadSystemLibrary(library);
    FARPROC address = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(address));
}
#endif
