// The details collection: lines gathered by the thread that met an error,
// shown with the next error message.
#include "log/errors.h"

#include <cstring>

#include "format/format.h"

#ifdef _WIN32
static uint32_t CurrentThread() { return GetCurrentThreadId(); }
#else
#include <pthread.h>
static uint32_t CurrentThread() { return (uint32_t)(uintptr_t)pthread_self(); }
#endif

namespace {

const int kDetailUnits = 8192;

struct DetailsRecord {
    HRESULT lastCode;
    uint32_t ownerThread;
    int lineCount;
    size_t length;
    VOCHAR text[kDetailUnits];
};
DetailsRecord g_details;

bool HasDirective(const VOCHAR *format)
{
    for (const VOCHAR *c = format; *c; ++c)
        if (*c == '$' || *c == '%') return true;
    return false;
}

}  // namespace

HRESULT VoErrorHandler_DetailsInit()
{
    memset(&g_details, 0, sizeof g_details);
    return S_OK;
}

HRESULT VoErrorHandler_DetailsAddString(HRESULT code, const VOCHAR *format, ...)
{
    uint32_t thread = CurrentThread();
    if (g_details.ownerThread == 0) g_details.ownerThread = thread;
    else if (g_details.ownerThread != thread && code != g_details.lastCode) return E_FAIL;
    if (!format) return (HRESULT)0x80004003L;  // E_POINTER
    static VOCHAR expanded[kDetailUnits];
    const VOCHAR *text = format;
    if (HasDirective(format)) {
        va_list args;
        va_start(args, format);
        VoVPrintFN(expanded, kDetailUnits, format, args);
        va_end(args);
        text = expanded;
    }
    size_t length = VoStrLen(text);
    if (g_details.length + length + 2 >= (size_t)kDetailUnits) return E_FAIL;
    memcpy(g_details.text + g_details.length, text, length * sizeof(VOCHAR));
    g_details.length += length;
    g_details.text[g_details.length++] = '\r';
    g_details.text[g_details.length++] = '\n';
    g_details.text[g_details.length] = 0;
    ++g_details.lineCount;
    g_details.lastCode = code;
    return S_OK;
}

const VOCHAR *VoErrorHandler_DetailsInfo(HRESULT *code, int *count, uint32_t *ownerThread)
{
    if (code) *code = g_details.lastCode;
    if (count) *count = g_details.lineCount;
    if (ownerThread) *ownerThread = g_details.ownerThread;
    return g_details.lineCount > 0 ? g_details.text : nullptr;
}

HRESULT VoErrorHandler_GetLastError() { return g_details.lastCode; }
