// DLLs of the system folder, loaded by full path.
#include "platform.h"

#include <cwchar>

HMODULE VoLoadSystemLibrary(const wchar_t *name)
{
    wchar_t path[MAX_PATH];
    UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + wcslen(name) + 2 > MAX_PATH) return nullptr;
    path[length] = L'\\';
    wcscpy(path + length + 1, name);
    HMODULE module = GetModuleHandleW(path);
    return module ? module : LoadLibraryW(path);
}
