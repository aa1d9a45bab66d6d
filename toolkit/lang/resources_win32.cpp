// Resources of a language instance by the selection rule: custom data,
// dialogs, accelerators, images, and the languages of a version resource.
#include "lang_internal.h"

#include <cwchar>

#include "kernel/kernel.h"

namespace {

const WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// A located resource and the module that holds it.
struct FoundResource {
    HINSTANCE module = nullptr;
    HRSRC resource = nullptr;
};

// Steps 1 and 2 of the selection rule; step 3 is left to the caller, whose
// platform loader differs by resource kind. withEnglish = false skips step 2.
FoundResource FindByRule(HVOLANG lang, const wchar_t *name, const wchar_t *type, bool withEnglish)
{
    FoundResource found;
    if (VoLang_SearchLanguageFirst(lang)) {
        found.resource = FindResourceExW(lang->languageModule, type, name, VoLang_ResourceLanguage(lang));
        if (found.resource) {
            found.module = lang->languageModule;
            return found;
        }
    }
    if (withEnglish && VoLang_SearchEnglish(lang)) {
        found.resource = FindResourceExW(lang->module, type, name, kEnglish);
        if (found.resource) found.module = lang->module;
    }
    return found;
}

const void *LockFound(const FoundResource &found, DWORD *size)
{
    if (!found.resource) return nullptr;
    HGLOBAL loaded = LoadResource(found.module, found.resource);
    const void *data = loaded ? LockResource(loaded) : nullptr;
    if (data && size) *size = SizeofResource(found.module, found.resource);
    return data;
}

// The module whose image holds a resource handle found by this family:
// the language module when the handle lies in its image, else the program.
HINSTANCE ModuleOfResource(HVOLANG lang, HRSRC resource)
{
    if (!lang) return nullptr;
    MEMORY_BASIC_INFORMATION info;
    if (lang->languageModule != lang->module &&
        VirtualQuery(resource, &info, sizeof(info)) == sizeof(info)) {
        // Modules loaded as data files carry flag bits in their handle.
        auto base = reinterpret_cast<uintptr_t>(lang->languageModule) & ~(uintptr_t)3;
        if (reinterpret_cast<uintptr_t>(info.AllocationBase) == base) return lang->languageModule;
    }
    return lang->module;
}

}  // namespace

const void *VoLoadResourceCustom(HVOLANG lang, const wchar_t *name, const wchar_t *type, DWORD *size)
{
    if (size) *size = 0;
    if (!lang) return nullptr;
    FoundResource found = FindByRule(lang, name, type, true);
    if (!found.resource && !VoLang_SearchEnglish(lang)) {
        found.module = lang->module;
        found.resource = FindResourceW(lang->module, name, type);
    }
    return LockFound(found, size);
}

HRSRC VoFindResource(HVOLANG lang, const wchar_t *name, const wchar_t *type)
{
    if (!lang) return nullptr;
    FoundResource found = FindByRule(lang, name, type, false);
    return found.resource ? found.resource : FindResourceW(lang->module, name, type);
}

HRSRC VoFindResourceMulti(HVOLANG lang, const wchar_t *name, const wchar_t *const *types, int count,
                          int *found)
{
    if (found) *found = -1;
    if (!types) return nullptr;
    for (int i = 0; i < count; ++i) {
        HRSRC resource = VoFindResource(lang, name, types[i]);
        if (resource) {
            if (found) *found = i;
            return resource;
        }
    }
    return nullptr;
}

HGLOBAL VoLoadResource(HVOLANG lang, HRSRC resource)
{
    return resource && lang ? LoadResource(ModuleOfResource(lang, resource), resource) : nullptr;
}

DWORD VoSizeofResource(HVOLANG lang, HRSRC resource)
{
    return resource && lang ? SizeofResource(ModuleOfResource(lang, resource), resource) : 0;
}

HINSTANCE VoFindResInstance(HVOLANG lang, const wchar_t *name, const wchar_t *type)
{
    if (!lang) return nullptr;
    FoundResource found = FindByRule(lang, name, type, false);
    if (found.resource) return found.module;
    return FindResourceW(lang->module, name, type) ? lang->module : nullptr;
}

// ---------------------------------------------------------------------------
// Dialogs: templates found in steps 1 and 2 are created from memory with
// the module that holds them; a failure in step 1 moves on.

namespace {

template <typename Result, typename FromTemplate, typename FromModule>
Result CreateByRule(HVOLANG lang, UINT templateId, Result failed, FromTemplate fromTemplate,
                    FromModule fromModule)
{
    if (!lang) return failed;
    CVoLangActCtxScope scope(lang);
    const wchar_t *name = MAKEINTRESOURCEW(templateId);
    if (VoLang_SearchLanguageFirst(lang)) {
        FoundResource found;
        found.resource = FindResourceExW(lang->languageModule, RT_DIALOG, name, VoLang_ResourceLanguage(lang));
        found.module = lang->languageModule;
        auto *dialog = static_cast<const DLGTEMPLATE *>(LockFound(found, nullptr));
        if (dialog) {
            Result result = fromTemplate(lang->languageModule, dialog);
            if (result != failed) return result;
        }
    }
    if (VoLang_SearchEnglish(lang)) {
        FoundResource found;
        found.resource = FindResourceExW(lang->module, RT_DIALOG, name, kEnglish);
        found.module = lang->module;
        auto *dialog = static_cast<const DLGTEMPLATE *>(LockFound(found, nullptr));
        return dialog ? fromTemplate(lang->module, dialog) : failed;
    }
    return fromModule(lang->module, name);
}

}  // namespace

INT_PTR VoDialogBoxParam(HVOLANG lang, UINT templateId, HWND parent, DLGPROC proc, LPARAM param)
{
    return CreateByRule<INT_PTR>(
        lang, templateId, -1,
        [&](HINSTANCE module, const DLGTEMPLATE *dialog) {
            INT_PTR result = DialogBoxIndirectParamW(module, dialog, parent, proc, param);
            return result < 0 ? (INT_PTR)-1 : result;
        },
        [&](HINSTANCE module, const wchar_t *name) { return DialogBoxParamW(module, name, parent, proc, param); });
}

HWND VoCreateDialogParam(HVOLANG lang, UINT templateId, HWND parent, DLGPROC proc, LPARAM param)
{
    return CreateByRule<HWND>(
        lang, templateId, nullptr,
        [&](HINSTANCE module, const DLGTEMPLATE *dialog) {
            return CreateDialogIndirectParamW(module, dialog, parent, proc, param);
        },
        [&](HINSTANCE module, const wchar_t *name) { return CreateDialogParamW(module, name, parent, proc, param); });
}

HACCEL VoLoadAccelerators(HVOLANG lang, const wchar_t *name)
{
    if (!lang) return nullptr;
    FoundResource found = FindByRule(lang, name, RT_ACCELERATOR, false);
    DWORD size = 0;
    // Accelerator resources hold 8-byte entries {flags, key, command, pad};
    // the last entry has flag 0x80.
    auto *entries = static_cast<const WORD *>(LockFound(found, &size));
    if (!entries) return LoadAcceleratorsW(lang->module, name);
    int count = (int)(size / 8);
    if (count <= 0) return nullptr;
    auto *table = static_cast<ACCEL *>(VoMemAlloc(sizeof(ACCEL) * (size_t)count));
    if (!table) return nullptr;
    int used = 0;
    for (; used < count; ++used) {
        const WORD *entry = entries + used * 4;
        table[used].fVirt = (BYTE)(entry[0] & 0x7F);
        table[used].key = entry[1];
        table[used].cmd = entry[2];
        if (entry[0] & 0x80) {
            ++used;
            break;
        }
    }
    HACCEL accelerators = CreateAcceleratorTableW(table, used);
    VoMemFree(table);
    return accelerators;
}

// ---------------------------------------------------------------------------
// Images come from the program module only.

HBITMAP VoLoadBitmap(HVOLANG lang, const wchar_t *name)
{
    return LoadBitmapW(lang ? lang->module : nullptr, name);
}

HICON VoLoadIcon(HVOLANG lang, const wchar_t *name)
{
    return LoadIconW(lang ? lang->module : nullptr, name);
}

HANDLE VoLoadImage(HVOLANG lang, const wchar_t *name, UINT type, int cx, int cy, UINT flags)
{
    return LoadImageW(lang ? lang->module : nullptr, name, type, cx, cy, flags);
}

HCURSOR VoLoadCursor(HVOLANG lang, const wchar_t *name)
{
    if (lang) return LoadCursorW(lang->module, name);
    UINT_PTR id = reinterpret_cast<UINT_PTR>(name);
    if (id >= 0x7F00 && id <= 0xFFFF) return LoadCursorW(nullptr, name);
    return LoadCursorW(VoKernel_GetResourceModule(), name);
}

// ---------------------------------------------------------------------------

namespace {

struct LanguageList {
    wchar_t *out;
    int size;
    int length;
};

BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param)
{
    auto *list = reinterpret_cast<LanguageList *>(param);
    wchar_t abbreviation[16];
    if (GetLocaleInfoW(MAKELCID(language, SORT_DEFAULT), LOCALE_SABBREVLANGNAME, abbreviation, 16) <= 0)
        return TRUE;
    wchar_t joined[1024];
    int n = list->length ? _snwprintf(joined, 1024, L"%s,%s", list->out, abbreviation)
                         : _snwprintf(joined, 1024, L"%s", abbreviation);
    if (n < 0 || n >= list->size) return FALSE;
    wcscpy(list->out, joined);
    list->length = n;
    return TRUE;
}

}  // namespace

int VoEnumResourceLanguages(HVOLANG lang, const wchar_t *name, wchar_t *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!lang || !lang->languageModule) return 0;
    LanguageList list = {out, size < 1024 ? size : 1024, 0};
    EnumResourceLanguagesW(lang->languageModule, RT_VERSION, name, AddLanguage, (LONG_PTR)&list);
    return list.length;
}
