// Windows only: the maker's folders below the shell's special folders, and
// the shared folders whose places are stored in the registry.
#include <shlobj.h>

#include "files/files.h"

namespace {

const wchar_t kSharedKey[] = L"Software\\Avel Media\\Shared Information";
const wchar_t kSharedComponentsValue[] = L"SharedComponentsFolder";

struct SpecialFolder {
    const wchar_t *valueName;
    const wchar_t *defaultName;
};

const SpecialFolder kSpecialFolders[2] = {
    {L"SharedPlugInsFolder", L"Plug-Ins"},
    {L"SharedPresetsFolder", L"Presets"},
};

// Appends text to out (which holds length units) when it fits in outChars.
bool AppendText(wchar_t *out, int outChars, size_t *length, const wchar_t *text)
{
    size_t add = VoStrLen(text);
    if (*length + add + 1 > (size_t)outChars) return false;
    VoStrCopyN(out + *length, text, add + 1);
    *length += add;
    return true;
}

// Reads a string value of the shared key into out (outChars units). The
// stored text need not be terminated; it is terminated here, and one that
// does not fit is refused.
bool ReadSharedValue(const wchar_t *name, wchar_t *out, int outChars)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    wchar_t value[VO_MAX_PATH + 1];
    DWORD type = 0, bytes = sizeof value - sizeof(wchar_t);
    LONG status = RegQueryValueExW(key, name, nullptr, &type, (BYTE *)value, &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    value[bytes / sizeof(wchar_t)] = 0;
    if (VoStrLen(value) + 1 > (size_t)outChars) return false;
    VoStrCopyN(out, value, (size_t)outChars);
    return true;
}

HRESULT GetSpecialFolder(wchar_t *out, int outChars, int csidl, const wchar_t *productName, bool version,
                         int major, int minor)
{
    if (!out || !productName || outChars < VO_MAX_PATH) return E_INVALIDARG;
    out[0] = 0;
    HRESULT result = SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, out);
    if (FAILED(result)) return result;
    // "Avel\name\" or "Avel\name\major.minor\" behind one backslash.
    wchar_t numbers[32];
    wsprintfW(numbers, L"%d.%d\\", major, minor);
    size_t length = VoStrLen(out);
    bool ok = (length == 0 || out[length - 1] == '\\' || AppendText(out, VO_MAX_PATH, &length, L"\\")) &&
              AppendText(out, VO_MAX_PATH, &length, L"Avel\\") &&
              AppendText(out, VO_MAX_PATH, &length, productName) &&
              AppendText(out, VO_MAX_PATH, &length, L"\\") &&
              (!version || AppendText(out, VO_MAX_PATH, &length, numbers));
    if (!ok || !VoCreateDirectory(out, nullptr)) {
        out[0] = 0;
        return E_FAIL;
    }
    return S_OK;
}

}  // namespace

HRESULT VoGetSpecialFolderVer(wchar_t *out, int outChars, int csidl, const wchar_t *productName, int major,
                              int minor)
{
    return GetSpecialFolder(out, outChars, csidl, productName, true, major, minor);
}

HRESULT VoGetSpecialFolderNoVer(wchar_t *out, int outChars, int csidl, const wchar_t *productName)
{
    return GetSpecialFolder(out, outChars, csidl, productName, false, 0, 0);
}

HRESULT VoGetSharedComponentsFolder(wchar_t *out, int outChars)
{
    if (!out || outChars <= 0) return E_INVALIDARG;
    out[0] = 0;
    wchar_t folder[VO_MAX_PATH + 1];
    if (!ReadSharedValue(kSharedComponentsValue, folder, VO_MAX_PATH)) return E_FAIL;
    VoAddSlashToPathName(folder, VO_MAX_PATH + 1);
    if (VoStrLen(folder) >= (size_t)outChars) return E_FAIL;
    VoStrCopyN(out, folder, (size_t)outChars);
    return S_OK;
}

// A folder that would not fit whole is refused (out empty, E_FAIL) rather
// than handed back cut.
HRESULT VoGetSpecialAvelFolder(wchar_t *out, int outChars, int index)
{
    if (!out || outChars <= 0 || index < 0 || index > 1) return E_INVALIDARG;
    out[0] = 0;
    if (ReadSharedValue(kSpecialFolders[index].valueName, out, outChars)) return S_OK;
    HRESULT result = VoGetSharedComponentsFolder(out, outChars);
    if (FAILED(result)) return result;
    size_t length = VoStrLen(out);
    if (!AppendText(out, outChars, &length, kSpecialFolders[index].defaultName) ||
        !AppendText(out, outChars, &length, L"\\")) {
        out[0] = 0;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT VoGetSpecialAvelDefaultFolderName(wchar_t *out, int outChars, int index)
{
    if (!out || outChars <= 0 || index < 0 || index > 1) return E_INVALIDARG;
    VoStrCopyN(out, kSpecialFolders[index].defaultName, (size_t)outChars);
    return S_OK;
}

HRESULT VoSetSpecialAvelFolder(const wchar_t *path, int index)
{
    if (!path || index < 0 || index > 1) return E_INVALIDARG;
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSharedKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return VO_E_FILES_REGISTRY;
    DWORD bytes = (DWORD)((VoStrLen(path) + 1) * sizeof(wchar_t));
    LONG status = RegSetValueExW(key, kSpecialFolders[index].valueName, 0, REG_SZ, (const BYTE *)path, bytes);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? S_OK : VO_E_FILES_REGISTRY;
}
