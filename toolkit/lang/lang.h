// Language instances: every user-visible resource (strings, dialogs, menus,
// accelerators, images, custom resources) is loaded through one.
//
// An instance knows the program module, an optional language module with
// translated resources (a satellite "<program>.LNG" file beside the program,
// or the program itself) and the language in force (an LCID). Every loader
// applies one selection rule:
//   1. when the language is not English, search the language module in the
//      instance's language;
//   2. when that finds nothing and the language module is the program
//      module, search the program module in English (1033);
//   3. otherwise let the platform's ordinary loader pick from the program
//      module.
// Strings are served from a per-instance cache; a small ring of scratch
// buffers serves short-lived conversions. The toolkit's start-up opens one
// default instance; applications open their own.
//
// Everything here except the handle type is Windows-only.
#pragma once

#include "platform.h"

// Handle of a language instance: the address of its record.
typedef struct tVOLANGINST *HVOLANG;

#ifdef _WIN32
#include <windows.h>

// Opens an instance for module. A non-zero lcid is stored as its language;
// scratchUnits 0 gives a ring of 8192 units, values up to 2048 give 2048.
// Returns 0, E_OUTOFMEMORY or the list module's error; *out stays null on
// failure.
HRESULT VoLang_Open(HVOLANG *out, HINSTANCE module, DWORD lcid, DWORD scratchUnits);
// Frees the satellite module (when it is not the program), the ring, the
// cache and the record. Null is accepted. Returns 0.
HRESULT VoLang_Close(HVOLANG lang);

// The toolkit's default instance (opened by the toolkit's start-up).
HVOLANG VoLang_GetDefault();
void VoLang_SetDefault(HVOLANG lang);

// Makes languageModule the language module of lang and of the default
// instance. Returns 1; 0 when lang or the default instance is null.
int VoLang_ChangeLangInst(HVOLANG lang, HINSTANCE languageModule);
// Sets the language of lang and of the default instance (0 means 1033),
// flushes their caches when it changed, decides whether the language module
// is searched first and mirrors the process for right-to-left languages.
// Returns 1; 0 when lang or the default instance is null.
int VoLang_UpdateKernelLCID(HVOLANG lang, DWORD lcid, DWORD reserved);
DWORD VoLang_GetLCID(HVOLANG lang);
// The language whose texts serve a locale: Chinese goes to Traditional
// (Taiwan, Hong Kong, Macau) or Simplified, Portuguese stays as it is, any
// other language gets its default sublanguage.
DWORD VoLang_GetConditionedLCID(DWORD lcid);
int VoLang_UseRTL(HVOLANG lang);
int VoLang_IsLCIDEnglish(DWORD lcid);
int VoLang_IsNameOrderReversed(HVOLANG lang);
BOOL VoLang_EnableProcessMirroring();
BOOL VoLang_DisableProcessMirroring();
BOOL VoLang_UpdateThreadLocale(HVOLANG lang);
int VoLang_GetLangAbbrev(HVOLANG lang, wchar_t *out, int size);
HINSTANCE VoLang_InstFromLang(HVOLANG lang);

// The user's language choice for a product, under HKEY_LOCAL_MACHINE
// "Software\Avel Media\<product>\<major>.<minor>\Lang", value "ULangID".
int VoLang_LoadUserLCIDMetric(const wchar_t *product, DWORD version, LANGID *out);
int VoLang_SaveUserLCIDMetric(const wchar_t *product, DWORD version, LANGID langId);

// Strings. VoLoadString copies string id into out (size units with the
// terminator) and returns its length, size when it was cut, or 0 when there
// is none. A leading "^*" is removed. VoGetString returns the cached string,
// never null (an empty text when there is none).
int VoLoadString(HVOLANG lang, UINT id, wchar_t *out, int size);
const wchar_t *VoGetString(HVOLANG lang, UINT id);
// VoGetString with each tab of the cached text turned into a backspace.
const wchar_t *VoGetMenuString(HVOLANG lang, UINT id);

// Scratch buffers of at least units + 1 units from the instance's ring,
// good until the ring comes round again.
wchar_t *VoGetTempStringBuffer(HVOLANG lang, int units);
// Conversions through the ANSI code page into scratch buffers; a failed or
// empty conversion gives an empty text. The wide forms return their input.
char *VoGetMultiByteFromPrintString(HVOLANG lang, const wchar_t *text);
wchar_t *VoGetPrintFromMultiByteString(HVOLANG lang, const char *text);
const wchar_t *VoGetWideFromPrintString(HVOLANG lang, const wchar_t *text);
const wchar_t *VoGetPrintFromWideString(HVOLANG lang, const wchar_t *text);

// Resource loaders with the selection rule (the ones without a language
// search in English only use steps 1 and 3).
const void *VoLoadResourceCustom(HVOLANG lang, const wchar_t *name, const wchar_t *type, DWORD *size);
HRSRC VoFindResource(HVOLANG lang, const wchar_t *name, const wchar_t *type);
HRSRC VoFindResourceMulti(HVOLANG lang, const wchar_t *name, const wchar_t *const *types, int count,
                          int *found);
HGLOBAL VoLoadResource(HVOLANG lang, HRSRC resource);
DWORD VoSizeofResource(HVOLANG lang, HRSRC resource);
HINSTANCE VoFindResInstance(HVOLANG lang, const wchar_t *name, const wchar_t *type);
INT_PTR VoDialogBoxParam(HVOLANG lang, UINT templateId, HWND parent, DLGPROC proc, LPARAM param);
HWND VoCreateDialogParam(HVOLANG lang, UINT templateId, HWND parent, DLGPROC proc, LPARAM param);
HACCEL VoLoadAccelerators(HVOLANG lang, const wchar_t *name);

// Images and cursors from the program module only; a null instance loads
// the system's own.
HBITMAP VoLoadBitmap(HVOLANG lang, const wchar_t *name);
HICON VoLoadIcon(HVOLANG lang, const wchar_t *name);
HANDLE VoLoadImage(HVOLANG lang, const wchar_t *name, UINT type, int cx, int cy, UINT flags);
HCURSOR VoLoadCursor(HVOLANG lang, const wchar_t *name);

// The languages of the version resource name in the language module, as
// three-letter abbreviations joined by ","; returns the length.
int VoEnumResourceLanguages(HVOLANG lang, const wchar_t *name, wchar_t *out, int size);

// Menus. VoLoadMenu removes a leading "^*" from every item text. Command
// lists end at the first 0; a negative count allows up to 10000 entries.
HMENU VoLoadMenu(HVOLANG lang, const wchar_t *name);
HMENU VoLoadCulledMenu(HVOLANG lang, const wchar_t *name, const UINT *ids, int count, BOOL clean);
void VoCullMenu(HMENU menu, const UINT *ids, int count, BOOL clean);
void VoGrayMenu(HMENU menu, const UINT *ids, int count);
void VoGrayAllMenuItems(HMENU menu);
void VoEnableAllMenuItems(HMENU menu);
// Removes separators at either end or next to another one, recursively, and
// deletes from parent (at position) a popup left empty.
void VoCleanMenu(HMENU menu, HMENU parent, int position);
BOOL VoFindSubMenu(HMENU menu, UINT id, HMENU *out, int *outPosition);
HMENU VoGetSubmenuByID(HMENU menu, UINT id, int *outPosition);
// Formats every item text with VoPrintF, recursively.
void VoMenuReplaceTokens(HMENU menu);

#endif  // _WIN32

// VoLang_GetInternationals, the internationals record, is in inat.h.
