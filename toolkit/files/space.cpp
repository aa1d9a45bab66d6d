// Room and writability: free disk space, the writable-folder test and
// unique numbered new files.
#include "files/files_internal.h"

#include <atomic>

#include "format/format.h"
#include "log/errors.h"

namespace {

const uint32_t kErrorSharingViolation = 32;
const uint32_t kErrorFileExists = 80;

// The folder part of path (up to and including its last separator), read
// from path cut to 259 units. Windows also takes "/" here, as its path
// splitter does.
void GetQueryFolder(const VOCHAR *path, VOCHAR *out)
{
    VoStrCopyN(out, path, VO_MAX_PATH);
    size_t end = 0;
    for (size_t i = 0; out[i]; ++i) {
#ifdef _WIN32
        if (out[i] == '\\' || out[i] == '/') end = i + 1;
#else
        if (out[i] == '/') end = i + 1;
#endif
    }
    out[end] = 0;
}

bool SameText(const VOCHAR *a, const VOCHAR *b)
{
    while (*a && *a == *b) ++a, ++b;
    return *a == *b;
}

uint32_t Saturate(uint64_t value)
{
    return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)value;
}

#ifdef _WIN32
typedef BOOL(WINAPI *PFNGETDISKFREESPACEEXW)(LPCWSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);

// GetDiskFreeSpaceExW, looked up once per process; the flag stays cleared
// for good when the system lacks it. Racing first calls store the same value.
std::atomic<bool> s_useFreeSpaceEx{true};
std::atomic<PFNGETDISKFREESPACEEXW> s_freeSpaceEx{nullptr};

PFNGETDISKFREESPACEEXW GetFreeSpaceEx()
{
    if (!s_useFreeSpaceEx.load(std::memory_order_relaxed)) return nullptr;
    PFNGETDISKFREESPACEEXW function = s_freeSpaceEx.load(std::memory_order_relaxed);
    if (!function) {
        HMODULE kernel = GetModuleHandleW(L"KERNEL32");
        function = kernel ? (PFNGETDISKFREESPACEEXW)(void *)GetProcAddress(kernel, "GetDiskFreeSpaceExW") : nullptr;
        if (!function) {
            s_useFreeSpaceEx.store(false, std::memory_order_relaxed);
            return nullptr;
        }
        s_freeSpaceEx.store(function, std::memory_order_relaxed);
    }
    return function;
}
#endif

}  // namespace

uint32_t VoGetDiskFreeSpace(const VOCHAR *path, uint32_t unit)
{
    VOCHAR root[VO_MAX_PATH];
    if (VoGetRootPathFromFilePath(path, root, VO_MAX_PATH) > 0) {
        VOCHAR folder[VO_MAX_PATH];
        GetQueryFolder(path, folder);
#ifdef _WIN32
        if (PFNGETDISKFREESPACEEXW freeSpaceEx = GetFreeSpaceEx()) {
            ULARGE_INTEGER available, total, totalFree;
            if (freeSpaceEx(folder, &available, &total, &totalFree))
                return Saturate(unit ? available.QuadPart / unit : available.QuadPart);
        } else {
            DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
            if (GetDiskFreeSpaceW(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) {
                double bytes = (double)sectorsPerCluster * (double)bytesPerSector * (double)freeClusters;
                if (unit) bytes /= (double)unit;
                return bytes > 4294967295.0 ? 0xFFFFFFFFu : (uint32_t)bytes;
            }
        }
#else
        uint64_t available = 0;
        if (VoPathGetFreeSpace(folder, &available))
            return Saturate(unit ? available / unit : available);
#endif
    }
    // Unknown: a UNC share may refuse the query, so count it as ample there.
    return root[0] == '\\' && root[1] == '\\' ? 0xFFFFFFFFu : 0;
}

HRESULT VoCreateTempFileAndNameEx(const VOCHAR *prefix, const VOCHAR *middle, const VOCHAR *suffix,
                                  const VOCHAR *numberFormat, VOCHAR *out, int outChars)
{
    if (!out || (!prefix && !middle && !suffix)) return E_INVALIDARG;
#ifdef _WIN32
    if (outChars > 0 && IsBadWritePtr(out, (UINT_PTR)outChars * sizeof(wchar_t))) return E_INVALIDARG;
#endif
    static const VOCHAR kDefaultFormat[] = {'%', 'd', 0};
    if (!numberFormat) numberFormat = kDefaultFormat;

    // Room for the formatted number: one conversion prints at most about a
    // thousand units (widths stop at 999), and a format has fewer
    // conversions than units. The previous number is kept beside it to
    // notice a format whose text does not change with the number.
    size_t formatLength = VoStrLen(numberFormat);
    size_t numberChars = (formatLength + 1) * 1024;
    VOCHAR *number = (VOCHAR *)VoMemAlloc(2 * numberChars * sizeof(VOCHAR));
    if (!number) {
        if (outChars > 0) out[0] = 0;
        return E_OUTOFMEMORY;
    }
    VOCHAR *previous = number + numberChars;
    size_t fixedLength = VoStrLen(prefix) + VoStrLen(middle) + VoStrLen(suffix);

    HRESULT result = E_INVALIDARG;
    uint32_t error = 0;
    for (uint32_t n = 1; n != 0; ++n) {
        int numberLength = VoPrintFN(number, (int)numberChars, numberFormat, (int)n);
        if (outChars < 0 || (size_t)outChars < fixedLength + (size_t)numberLength + 1) {
            result = E_INVALIDARG;
            break;
        }
        if (n > 1 && SameText(number, previous)) {
            // The same name again would be tried for ever.
            result = VoErrorHandler_TranslateWin32Error(error);
            if (SUCCEEDED(result)) result = E_FAIL;
            break;
        }
        VoStrCopyN(previous, number, numberChars);
        size_t length = VoStrCopyN(out, prefix, (size_t)outChars);
        length += VoStrCopyN(out + length, middle, (size_t)outChars - length);
        length += VoStrCopyN(out + length, number, (size_t)outChars - length);
        VoStrCopyN(out + length, suffix, (size_t)outChars - length);
        HVOFILE file = VoFileOpen(out, VO_ACCESS_WRITE, VO_SHARE_NONE, VO_CREATE_NEW, &error);
        if (file) {
            VoFileClose(file);
            VoMemFree(number);
            return S_OK;
        }
        if (error == kErrorFileExists || error == kErrorSharingViolation) {
            result = E_FAIL;  // if the numbers run out
            continue;
        }
        result = VoErrorHandler_TranslateWin32Error(error);
        if (SUCCEEDED(result)) result = E_FAIL;
        break;
    }
    VoMemFree(number);
    if (outChars > 0) out[0] = 0;
    return result;
}

HRESULT VoCreateTempFileAndName(const VOCHAR *prefix, const VOCHAR *suffix, VOCHAR *out, int outChars)
{
    return VoCreateTempFileAndNameEx(prefix, nullptr, suffix, nullptr, out, outChars);
}

int VoIsDirectoryWritable(const VOCHAR *path)
{
    if (!VoPathIsFolder(path)) return 0;
    VOCHAR folder[VO_MAX_PATH];
    if (vofiles::BoundedLength(path, VO_MAX_PATH) < 0) return 0;
    VoStrCopyN(folder, path, VO_MAX_PATH);
    if (VoAddSlashToPathName(folder, VO_MAX_PATH) == 0) return 0;
    static const VOCHAR kEmptySuffix[] = {0};
    VOCHAR name[VO_MAX_PATH];
    if (FAILED(VoCreateTempFileAndNameEx(folder, nullptr, kEmptySuffix, nullptr, name, VO_MAX_PATH))) return 0;
    VoPathDeleteFile(name);
    return 1;
}
