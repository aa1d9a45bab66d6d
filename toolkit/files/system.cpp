// Paths the system knows: long forms, the temp folder, module file names
// and full paths.
#include "files/files_internal.h"

#include <atomic>

namespace {

// Copies text cut to size - 1 units unless the two buffers are the same.
void CopyUnlessSame(const VOCHAR *text, VOCHAR *out, uint32_t size)
{
    if (out && out != text) VoStrCopyN(out, text, size);
}

#ifdef _WIN32
typedef DWORD(WINAPI *PFNGETLONGPATHNAMEW)(LPCWSTR, LPWSTR, DWORD);

// GetLongPathNameW, looked up by name once per process; a missing function
// is not looked up again.
std::atomic<bool> s_longPathLooked{false};
std::atomic<PFNGETLONGPATHNAMEW> s_longPathName{nullptr};

PFNGETLONGPATHNAMEW GetLongPathFunction()
{
    if (!s_longPathLooked.load(std::memory_order_acquire)) {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        PFNGETLONGPATHNAMEW function =
            kernel ? (PFNGETLONGPATHNAMEW)(void *)GetProcAddress(kernel, "GetLongPathNameW") : nullptr;
        s_longPathName.store(function, std::memory_order_relaxed);
        s_longPathLooked.store(true, std::memory_order_release);
    }
    return s_longPathName.load(std::memory_order_relaxed);
}
#else
// POSIX has no short names: an existing path is its own long form. The
// result follows GetLongPathNameW: the length, the size needed, or 0 when
// the path does not exist.
uint32_t LongPathName(const VOCHAR *shortPath, VOCHAR *longPath, uint32_t longChars)
{
    if (!shortPath || VoPathGetAttributes(shortPath) == VO_INVALID_ATTRIBUTES) return 0;
    uint32_t length = (uint32_t)VoStrLen(shortPath);
    if (longChars < length + 1) return length + 1;
    CopyUnlessSame(shortPath, longPath, longChars);
    return length;
}
#endif

}  // namespace

uint32_t VoGetLongPathName(const VOCHAR *shortPath, VOCHAR *longPath, uint32_t longChars)
{
#ifdef _WIN32
    PFNGETLONGPATHNAMEW longPathName = GetLongPathFunction();
    if (!longPathName) {
        uint32_t length = (uint32_t)VoStrLen(shortPath);
        if (longPath == shortPath) return length;
        if (longChars < length + 1) return length + 1;
        CopyUnlessSame(shortPath, longPath, longChars);
        return length;
    }
    uint32_t result = longPathName(shortPath, longPath, longChars);
#else
    uint32_t result = LongPathName(shortPath, longPath, longChars);
#endif
    // The caller always gets a usable path, even when it is the short one.
    if (result == 0 || result > longChars) CopyUnlessSame(shortPath, longPath, longChars);
    return result;
}

uint32_t VoGetTempPath(uint32_t bufChars, VOCHAR *buf)
{
#ifdef _WIN32
    uint32_t result = GetTempPathW(bufChars, buf);
#else
    uint32_t result = VoPathGetTempFolder(buf, bufChars);
#endif
    if (result == 0 || result > bufChars) return result;
    return VoGetLongPathName(buf, buf, bufChars);
}

uint32_t VoGetModuleFileName(HVOMODULE module, VOCHAR *out, uint32_t outChars)
{
    if (out && outChars > 0) out[0] = 0;
    VOCHAR buffer[VO_MAX_PATH];
#ifdef _WIN32
    DWORD length = GetModuleFileNameW(module, buffer, VO_MAX_PATH);
#else
    size_t length = VoPathGetModuleFile(module, buffer, VO_MAX_PATH);
#endif
    // A name that filled the whole buffer was cut (and may lack its
    // terminator on older systems): that is a failure, not a path.
    if (length == 0 || length >= VO_MAX_PATH) return 0;
    return VoGetLongPathName(buffer, out, outChars);
}

int VoGetModulePath(HVOMODULE module, VOCHAR *out, int outChars)
{
    if (out && outChars > 0) out[0] = 0;
    VOCHAR buffer[VO_MAX_PATH];
    uint32_t length = VoGetModuleFileName(module, buffer, VO_MAX_PATH);
    if (length == 0 || length >= VO_MAX_PATH) return 0;
    int folderLength = VoGetPathNameFromFilePath(buffer, out, outChars);
    if (folderLength == 0 || folderLength + 1 > outChars) {
        if (out && outChars > 0) out[0] = 0;
        return 0;
    }
    return folderLength;
}

// The long form replaces the full one only when it could be made: a path
// that does not exist (yet) keeps its full form, which is still usable.
uint32_t VoGetFullPathName(const VOCHAR *fileName, uint32_t bufChars, VOCHAR *buffer, VOCHAR **filePart)
{
    if (filePart) *filePart = nullptr;
#ifdef _WIN32
    uint32_t result = GetFullPathNameW(fileName, bufChars, buffer, nullptr);
#else
    size_t length = VoPathGetFull(fileName, buffer, bufChars);
    uint32_t result = length == 0 ? 0 : length < bufChars ? (uint32_t)length : (uint32_t)length + 1;
#endif
    if (result == 0 || result >= bufChars) return result;
    uint32_t longLength = VoGetLongPathName(buffer, buffer, bufChars);
    if (longLength > 0 && longLength < bufChars) result = longLength;
    if (filePart) {
        VOCHAR *name = VoGetFileNamePtrW(buffer);
        *filePart = *name ? name : nullptr;
    }
    return result;
}

int VoQualifyPath(const VOCHAR *fileName, VOCHAR *out, int outChars)
{
    if (!out || outChars <= 0) return 0;
    uint32_t result = VoGetFullPathName(fileName, (uint32_t)outChars, out, nullptr);
    if (result == 0 || result >= (uint32_t)outChars) {
        out[0] = 0;
        return 0;
    }
    return 1;
}
