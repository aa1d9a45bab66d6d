// Language instances: opening and closing, the language in force, and the
// registry-stored language choice.
#include "lang_internal.h"

#include <commctrl.h>
#include <cwchar>

#include "format/format.h"

namespace {

HVOLANG g_defaultLang = nullptr;

const int kDefaultScratchUnits = 8192;
const int kMinScratchUnits = 2048;
const int kScratchReserve = 1024;

// The satellite file of a module: its file name with the extension
// replaced by "LNG" ("setup.exe" -> "setup.LNG"). It is loaded as data
// only: a file planted beside a downloaded program can lend it texts but
// never run code in it.
HINSTANCE LoadSatellite(HINSTANCE module)
{
    wchar_t path[MAX_PATH + 4];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    wchar_t *slash = wcsrchr(path, L'\\');
    wchar_t *dot = wcsrchr(path, L'.');
    if (!dot || (slash && dot < slash)) dot = path + length;
    wcscpy(dot, L".LNG");
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return nullptr;
    return LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

// The module's own manifest as an activation context (resource 2, the one
// isolation-aware code uses, else 1); INVALID_HANDLE_VALUE when it has none.
HANDLE CreateModuleActivationContext(HINSTANCE module)
{
    const WORD ids[] = {2, 1};
    for (WORD id : ids) {
        if (!FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(24))) continue;
        ACTCTXW context = {};
        context.cbSize = sizeof(context);
        context.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
        context.hModule = module;
        context.lpResourceName = MAKEINTRESOURCEW(id);
        HANDLE handle = CreateActCtxW(&context);
        if (handle != INVALID_HANDLE_VALUE) return handle;
    }
    return INVALID_HANDLE_VALUE;
}

void FlushCache(HVOLANG lang)
{
    if (!lang->cache) return;
    EnterCriticalSection(&lang->lock);
    VoList_DeleteList(lang->cache, 0, -1, 1);
    LeaveCriticalSection(&lang->lock);
}

// Stores a new language in one instance; the cache goes when it changed.
void SetInstanceLanguage(HVOLANG lang, DWORD lcid, int useLanguage)
{
    if (lang->lcid != lcid) {
        lang->lcid = lcid;
        FlushCache(lang);
    }
    lang->useLanguage = useLanguage;
}

void SetLanguageModule(HVOLANG lang, HINSTANCE languageModule)
{
    if (lang->languageModule == languageModule) return;
    if (lang->ownsLanguageModule) FreeLibrary(lang->languageModule);
    lang->languageModule = languageModule;
    lang->ownsLanguageModule = 0;
}

}  // namespace

CVoLangActCtxScope::CVoLangActCtxScope(HVOLANG lang)
{
    if (lang && lang->activationContext != INVALID_HANDLE_VALUE)
        m_active = ActivateActCtx(lang->activationContext, &m_cookie) != FALSE;
}

CVoLangActCtxScope::~CVoLangActCtxScope()
{
    if (m_active) DeactivateActCtx(0, m_cookie);
}

HVOLANG VoLang_GetDefault() { return g_defaultLang; }
void VoLang_SetDefault(HVOLANG lang) { g_defaultLang = lang; }

HRESULT VoLang_Open(HVOLANG *out, HINSTANCE module, DWORD lcid, DWORD scratchUnits)
{
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    auto *lang = static_cast<tVOLANGINST *>(VoMemAlloc(sizeof(tVOLANGINST)));
    if (!lang) return E_OUTOFMEMORY;
    lang->module = module;
    lang->activationContext = INVALID_HANDLE_VALUE;
    lang->scratchSize = scratchUnits == 0 ? kDefaultScratchUnits
                        : scratchUnits <= (DWORD)kMinScratchUnits ? kMinScratchUnits
                                                                  : (int)scratchUnits;
    lang->scratchReserve = kScratchReserve;
    lang->scratch = static_cast<wchar_t *>(VoMemAlloc((size_t)lang->scratchSize * sizeof(wchar_t)));
    if (!lang->scratch) {
        VoMemFree(lang);
        return E_OUTOFMEMORY;
    }
    HRESULT hr = VoList_CreateExZ(&lang->cache, 0, 64, 64, VOLIST_HEAPITEMS, 0, 0, 0);
    if (FAILED(hr)) {
        VoMemFree(lang->scratch);
        VoMemFree(lang);
        return hr;
    }
    if (lcid) lang->lcid = lcid;
    lang->activationContext = CreateModuleActivationContext(module);
    {
        CVoLangActCtxScope scope(lang);
        lang->languageModule = LoadSatellite(module);
    }
    if (lang->languageModule) lang->ownsLanguageModule = 1;
    else lang->languageModule = module;
    InitializeCriticalSection(&lang->lock);
    lang->lockReady = 1;
    *out = lang;
    return S_OK;
}

HRESULT VoLang_Close(HVOLANG lang)
{
    if (!lang) return S_OK;
    if (lang == g_defaultLang) g_defaultLang = nullptr;
    if (lang->lockReady) DeleteCriticalSection(&lang->lock);
    SetLanguageModule(lang, nullptr);
    if (lang->activationContext != INVALID_HANDLE_VALUE) ReleaseActCtx(lang->activationContext);
    VoMemFree(lang->scratch);
    VoList_Destroy(lang->cache);
    VoMemFree(lang);
    return S_OK;
}

int VoLang_ChangeLangInst(HVOLANG lang, HINSTANCE languageModule)
{
    if (!lang || !g_defaultLang) return 0;
    if (!languageModule) return 1;
    SetLanguageModule(lang, languageModule);
    SetLanguageModule(g_defaultLang, languageModule);
    return 1;
}

int VoLang_UpdateKernelLCID(HVOLANG lang, DWORD lcid, DWORD reserved)
{
    if (!lang || !g_defaultLang) return 0;
    if (lcid == 0) lcid = VO_LANG_ENGLISH;
    int useLanguage = (lcid & 0x3FF) != LANG_ENGLISH ? 1 : 0;
    SetInstanceLanguage(lang, lcid, useLanguage);
    if (g_defaultLang != lang) SetInstanceLanguage(g_defaultLang, lcid, useLanguage);
    SetProcessDefaultLayout(VoLang_UseRTL(lang) ? LAYOUT_RTL : 0);
    return 1;
}

DWORD VoLang_GetLCID(HVOLANG lang) { return lang ? lang->lcid : 0; }

DWORD VoLang_GetConditionedLCID(DWORD lcid)
{
    DWORD primary = lcid & 0x3FF;
    DWORD sub = (lcid >> 10) & 0x3F;
    if (primary == LANG_CHINESE) {
        bool traditional = sub == SUBLANG_CHINESE_TRADITIONAL || sub == SUBLANG_CHINESE_HONGKONG ||
                           sub == SUBLANG_CHINESE_MACAU;
        return traditional ? 0x0404 : 0x0804;
    }
    if (primary == LANG_PORTUGUESE) return lcid;
    return primary | 0x0400;
}

int VoLang_UseRTL(HVOLANG lang)
{
    if (!lang) return 0;
    DWORD primary = lang->lcid & 0x3FF;
    return primary == LANG_ARABIC || primary == LANG_HEBREW || primary == LANG_URDU ||
           primary == LANG_FARSI;
}

int VoLang_IsLCIDEnglish(DWORD lcid) { return (lcid & 0x3FF) == LANG_ENGLISH; }

int VoLang_IsNameOrderReversed(HVOLANG lang) { return lang && lang->lcid == 1041; }

BOOL VoLang_EnableProcessMirroring() { return SetProcessDefaultLayout(LAYOUT_RTL); }
BOOL VoLang_DisableProcessMirroring() { return SetProcessDefaultLayout(0); }

BOOL VoLang_UpdateThreadLocale(HVOLANG lang)
{
    DWORD lcid = VoLang_GetLCID(lang);
    BOOL result = SetThreadLocale(lcid);
    InitMUILanguage((LANGID)lcid);
    return result;
}

int VoLang_GetLangAbbrev(HVOLANG lang, wchar_t *out, int size)
{
    if (!out || size <= 0) return 0;
    DWORD lcid = VoLang_GetConditionedLCID(VoLang_GetLCID(lang));
    if (GetLocaleInfoW(lcid, LOCALE_SABBREVLANGNAME, out, size) > 0) return 1;
    out[0] = 0;
    return 0;
}

HINSTANCE VoLang_InstFromLang(HVOLANG lang)
{
    if (!lang) return nullptr;
    return lang->useLanguage ? lang->languageModule : lang->module;
}

// ---------------------------------------------------------------------------
// The user's language choice in the registry.

namespace {

bool MetricKeyName(const wchar_t *product, DWORD version, wchar_t *key, size_t size)
{
    if (!product) return false;
    int n = _snwprintf(key, size, L"Software\\Avel Media\\%s\\%u.%u\\Lang", product,
                       (unsigned)(version >> 24) & 0xFF, (unsigned)(version >> 16) & 0xFF);
    return n > 0 && (size_t)n < size;
}

}  // namespace

int VoLang_LoadUserLCIDMetric(const wchar_t *product, DWORD version, LANGID *out)
{
    wchar_t keyName[400];
    if (!out || !MetricKeyName(product, version, keyName, 400)) return 0;
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD value = 0, type = 0, bytes = sizeof(value);
    LONG status = RegQueryValueExW(key, L"ULangID", nullptr, &type, (BYTE *)&value, &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof(value)) return 0;
    *out = (LANGID)(value & 0xFFFF);
    return 1;
}

int VoLang_SaveUserLCIDMetric(const wchar_t *product, DWORD version, LANGID langId)
{
    wchar_t keyName[400];
    if (!MetricKeyName(product, version, keyName, 400)) return 0;
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, keyName, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    DWORD value = langId;
    LONG status = RegSetValueExW(key, L"ULangID", 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}
