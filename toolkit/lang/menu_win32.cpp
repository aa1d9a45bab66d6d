// Menus: loading by the selection rule and the helpers that trim, gray and
// search them.
#include "lang_internal.h"

#include <cwchar>

#include "format/format.h"

namespace {

const int kMaxListedIds = 10000;
const int kMenuTextUnits = 100;

// Number of entries of a command list: up to its first 0, at most count
// (a negative count allows up to 10000).
int ListLength(const UINT *ids, int count)
{
    if (!ids) return 0;
    int limit = count < 0 ? kMaxListedIds : count;
    int n = 0;
    while (n < limit && ids[n] != 0) ++n;
    return n;
}

bool IsSeparator(HMENU menu, int position)
{
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE;
    return GetMenuItemInfoW(menu, (UINT)position, TRUE, &info) && (info.fType & MFT_SEPARATOR);
}

// Calls visit(menu, position) for every item of menu and of its popups,
// depth first; popups are visited after their items.
template <typename Visit>
void ForEachItem(HMENU menu, Visit visit)
{
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        HMENU popup = GetSubMenu(menu, i);
        if (popup) ForEachItem(popup, visit);
        visit(menu, i);
    }
}

// Rewrites an item's text through edit(text, units) when it returns true.
template <typename Edit>
void EditItemText(HMENU menu, int position, Edit edit)
{
    if (IsSeparator(menu, position)) return;
    wchar_t text[kMenuTextUnits + 1];
    if (GetMenuStringW(menu, (UINT)position, text, kMenuTextUnits, MF_BYPOSITION) <= 0) return;
    if (!edit(text, kMenuTextUnits + 1)) return;
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    SetMenuItemInfoW(menu, (UINT)position, TRUE, &info);
}

void StripHiddenMarks(HMENU menu)
{
    ForEachItem(menu, [](HMENU owner, int position) {
        EditItemText(owner, position, [](wchar_t *text, int) {
            if (text[0] != L'^' || text[1] != L'*') return false;
            wmemmove(text, text + 2, wcslen(text + 2) + 1);
            return true;
        });
    });
}

}  // namespace

HMENU VoLoadMenu(HVOLANG lang, const wchar_t *name)
{
    if (!lang) return nullptr;
    HMENU menu = nullptr;
    auto fromModule = [&](HINSTANCE module, WORD language) -> HMENU {
        HRSRC resource = FindResourceExW(module, RT_MENU, name, language);
        HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
        const void *data = loaded ? LockResource(loaded) : nullptr;
        return data ? LoadMenuIndirectW(data) : nullptr;
    };
    if (VoLang_SearchLanguageFirst(lang)) menu = fromModule(lang->languageModule, VoLang_ResourceLanguage(lang));
    if (!menu) {
        if (VoLang_SearchEnglish(lang)) menu = fromModule(lang->module, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        else menu = LoadMenuW(lang->module, name);
    }
    if (menu) StripHiddenMarks(menu);
    return menu;
}

HMENU VoLoadCulledMenu(HVOLANG lang, const wchar_t *name, const UINT *ids, int count, BOOL clean)
{
    HMENU menu = VoLoadMenu(lang, name);
    if (menu) VoCullMenu(menu, ids, count, clean);
    return menu;
}

void VoCullMenu(HMENU menu, const UINT *ids, int count, BOOL clean)
{
    if (!menu) return;
    int n = ListLength(ids, count);
    for (int i = 0; i < n; ++i) DeleteMenu(menu, ids[i], MF_BYCOMMAND);
    if (clean) VoCleanMenu(menu, nullptr, 0);
}

void VoGrayMenu(HMENU menu, const UINT *ids, int count)
{
    if (!menu) return;
    int n = ListLength(ids, count);
    for (int i = 0; i < n; ++i) EnableMenuItem(menu, ids[i], MF_BYCOMMAND | MF_GRAYED);
}

void VoGrayAllMenuItems(HMENU menu)
{
    int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) EnableMenuItem(menu, (UINT)i, MF_BYPOSITION | MF_GRAYED);
}

void VoEnableAllMenuItems(HMENU menu)
{
    int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) EnableMenuItem(menu, (UINT)i, MF_BYPOSITION | MF_ENABLED);
}

void VoCleanMenu(HMENU menu, HMENU parent, int position)
{
    if (!menu) return;
    for (int i = GetMenuItemCount(menu) - 1; i >= 0; --i) {
        HMENU popup = GetSubMenu(menu, i);
        if (popup) VoCleanMenu(popup, menu, i);
    }
    // Separators at the start, at the end, or following another separator.
    for (int i = GetMenuItemCount(menu) - 1; i >= 0; --i) {
        int count = GetMenuItemCount(menu);
        if (!IsSeparator(menu, i)) continue;
        bool atEdge = i == 0 || i == count - 1;
        if (atEdge || IsSeparator(menu, i - 1)) DeleteMenu(menu, (UINT)i, MF_BYPOSITION);
    }
    if (parent && GetMenuItemCount(menu) == 0) DeleteMenu(parent, (UINT)position, MF_BYPOSITION);
}

BOOL VoFindSubMenu(HMENU menu, UINT id, HMENU *out, int *outPosition)
{
    if (!menu) return FALSE;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        HMENU popup = GetSubMenu(menu, i);
        if (popup) {
            if (VoFindSubMenu(popup, id, out, outPosition)) return TRUE;
        } else if (GetMenuItemID(menu, i) == id) {
            if (out) *out = menu;
            if (outPosition) *outPosition = i;
            return TRUE;
        }
    }
    return FALSE;
}

HMENU VoGetSubmenuByID(HMENU menu, UINT id, int *outPosition)
{
    if (outPosition) *outPosition = -1;
    if (!menu) return nullptr;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        HMENU popup = GetSubMenu(menu, i);
        if (!popup) {
            if (GetMenuItemID(menu, i) == id) return menu;
            continue;
        }
        HMENU holder = nullptr;
        if (VoFindSubMenu(popup, id, &holder, nullptr)) {
            if (outPosition) *outPosition = i;
            return holder;
        }
    }
    return nullptr;
}

void VoMenuReplaceTokens(HMENU menu)
{
    if (!menu) return;
    ForEachItem(menu, [](HMENU owner, int position) {
        EditItemText(owner, position, [](wchar_t *text, int units) {
            wchar_t formatted[2048];
            VoPrintFN(formatted, 2048, text);
            wcsncpy(text, formatted, (size_t)units - 1);
            text[units - 1] = 0;
            return true;
        });
    });
}
