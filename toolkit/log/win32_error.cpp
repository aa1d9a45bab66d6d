// Translation of Win32 error numbers into the toolkit's result codes.
#include "errors.h"

namespace {

struct ErrorPair {
    uint32_t error;
    HRESULT result;
};

// Numbers that map to something other than E_FAIL. Every other number,
// known to Windows or not, translates to E_FAIL.
const ErrorPair kWin32Errors[] = {
    {0, S_OK},
    {1, E_INVALIDARG},           // ERROR_INVALID_FUNCTION
    {2, VO_E_FILENOTFOUND},      // ERROR_FILE_NOT_FOUND
    {3, VO_E_FILENOTFOUND},      // ERROR_PATH_NOT_FOUND
    {4, VO_E_TOOMANYFILES},      // ERROR_TOO_MANY_OPEN_FILES
    {5, VO_E_ACCESSDENIED},      // ERROR_ACCESS_DENIED
    {6, VO_E_HANDLE},            // ERROR_INVALID_HANDLE
    {14, E_OUTOFMEMORY},         // ERROR_OUTOFMEMORY
    {15, VO_E_INVALIDDRIVE},     // ERROR_INVALID_DRIVE
    {32, VO_E_SHARING},          // ERROR_SHARING_VIOLATION
    {39, VO_E_NOSPACE},          // ERROR_HANDLE_DISK_FULL
    {80, VO_E_NOFILE},           // ERROR_FILE_EXISTS
    {84, E_OUTOFMEMORY},         // ERROR_OUT_OF_STRUCTURES
    {110, VO_E_OPENFAILED},      // ERROR_OPEN_FAILED
    {112, VO_E_NOSPACE},         // ERROR_DISK_FULL
    {120, E_NOTIMPL},            // ERROR_CALL_NOT_IMPLEMENTED
    {123, VO_E_INVALIDNAME},     // ERROR_INVALID_NAME
    {126, VO_E_FILENOTFOUND},    // ERROR_MOD_NOT_FOUND
    {127, VO_E_FILENOTFOUND},    // ERROR_PROC_NOT_FOUND
    {170, VO_E_BUSY},            // ERROR_BUSY
    {183, VO_E_ALREADYEXISTS},   // ERROR_ALREADY_EXISTS
};

}  // namespace

HRESULT VoErrorHandler_TranslateWin32Error(uint32_t error)
{
    for (const ErrorPair &pair : kWin32Errors)
        if (pair.error == error) return pair.result;
    return E_FAIL;
}
