// The language instance record and helpers shared by the lang family's
// Windows sources.
#pragma once

#include "lang.h"
#include "list/list.h"

#ifdef _WIN32

struct tVOLANGINST {
    HINSTANCE module;            // program module: fallback source of resources
    int lockReady;               // 1 once lock is initialised
    CRITICAL_SECTION lock;       // guards the string cache and the scratch ring
    int scratchSize;             // ring size in units
    int scratchReserve;          // the ring restarts once the offset passes size - reserve
    int scratchOffset;           // current offset into the ring
    wchar_t *scratch;            // the ring
    int useLanguage;             // 1: search the language module first
    HINSTANCE languageModule;    // satellite file or the program module
    int ownsLanguageModule;      // 1 when this instance loaded languageModule
    DWORD lcid;                  // 0 until set
    tVOLIST *cache;              // sorted {id, text} entries, owned items
    HANDLE activationContext;    // the module's manifest context, or INVALID_HANDLE_VALUE
};

// Runs a scope inside the instance's activation context, so that library
// loading and dialog creation use the manifest's common controls.
class CVoLangActCtxScope {
public:
    explicit CVoLangActCtxScope(HVOLANG lang);
    ~CVoLangActCtxScope();
    CVoLangActCtxScope(const CVoLangActCtxScope &) = delete;
    CVoLangActCtxScope &operator=(const CVoLangActCtxScope &) = delete;

private:
    ULONG_PTR m_cookie = 0;
    bool m_active = false;
};

// The 16-bit language of the instance for FindResourceExW.
inline WORD VoLang_ResourceLanguage(HVOLANG lang) { return (WORD)(lang->lcid & 0xFFFF); }
// Step 1 of the selection rule applies.
inline bool VoLang_SearchLanguageFirst(HVOLANG lang)
{
    return lang && lang->languageModule && lang->useLanguage;
}
// Step 2 applies: the language module is the program module.
inline bool VoLang_SearchEnglish(HVOLANG lang) { return lang && lang->languageModule == lang->module; }

#define VO_LANG_ENGLISH 1033

#endif  // _WIN32
