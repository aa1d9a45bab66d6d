// Windows side of the toolkit's start-up: error mode, default language
// instance, the caches of user-interface fonts and cursors.
#include "kernel_internal.h"

#include "lang/lang.h"

namespace {

HWND g_splash = nullptr;
int g_win95Family = -1;

// Cached stock fonts, indexed by stock object id (OEM_FIXED_FONT 10 up to
// DEFAULT_GUI_FONT 17).
const int kFirstStockFont = OEM_FIXED_FONT;
const int kStockFontCount = DEFAULT_GUI_FONT - OEM_FIXED_FONT + 1;
HFONT g_fonts[kStockFontCount];

struct CachedCursor {
    const wchar_t *id;
    HCURSOR cursor;
};
CachedCursor g_cursors[16];

}  // namespace

void VoKernel_PlatformStartup()
{
    // The call that reads the mode sets its own value; the old mode comes
    // back with the two "no system dialog" bits added.
    UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetErrorMode(previous | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    g_splash = nullptr;
}

void VoKernel_PlatformShutdown()
{
    for (HFONT &font : g_fonts) {
        if (font) DeleteObject(font);
        font = nullptr;
    }
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    for (CachedCursor &entry : g_cursors) {
        // System cursors are shared and must not be destroyed; the cache
        // only holds those, so releasing means forgetting.
        entry = CachedCursor{};
    }
}

int64_t VoKernel_CounterFrequency()
{
    LARGE_INTEGER frequency;
    return QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

HVOMODULE VoKernel_ProcessModule() { return GetModuleHandleW(nullptr); }

int VoKernel_OpenDefaultLanguage(HVOMODULE instance)
{
    HVOLANG lang = nullptr;
    if (FAILED(VoLang_Open(&lang, instance, 0, 0))) return 0;
    VoLang_SetDefault(lang);
    return 1;
}

void VoKernel_CloseDefaultLanguage()
{
    HVOLANG lang = VoLang_GetDefault();
    VoLang_SetDefault(nullptr);
    VoLang_Close(lang);
}

int VoKernel_IsWin95Family()
{
    if (g_win95Family < 0) {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
        g_win95Family = GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    }
    return g_win95Family;
}

void VoKernel_SetSplash(HWND splash) { g_splash = splash; }
HWND VoKernel_GetSplash() { return g_splash; }

HFONT VoKernel_GetUIFont(int stockFont)
{
    int index = stockFont - kFirstStockFont;
    if (index < 0 || index >= kStockFontCount) return nullptr;
    if (!g_fonts[index]) {
        LOGFONTW description;
        HGDIOBJ stock = GetStockObject(stockFont);
        if (stock && GetObjectW(stock, sizeof(description), &description))
            g_fonts[index] = CreateFontIndirectW(&description);
    }
    return g_fonts[index];
}

HCURSOR VoKernel_GetCursor(const wchar_t *id)
{
    for (CachedCursor &entry : g_cursors) {
        if (entry.cursor && entry.id == id) return entry.cursor;
        if (!entry.cursor) {
            entry.cursor = LoadCursorW(nullptr, id);
            entry.id = id;
            return entry.cursor;
        }
    }
    return LoadCursorW(nullptr, id);
}
