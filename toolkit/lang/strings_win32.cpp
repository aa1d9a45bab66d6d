// Strings of a language instance: loading from RT_STRING blocks, the
// per-instance cache, the scratch ring and the code-page conversions.
#include "lang_internal.h"

#include <cstring>
#include <cwchar>

namespace {

const wchar_t kEmptyText[1] = {0};
char kEmptyBytes[1] = {0};
const int kCachedStringUnits = 1024;

// One cached string: its id and its text with terminator.
struct CachedString {
    uint32_t id;
    wchar_t text[1];
};

int VOAPI_CALLBACK CompareCachedIds(uint32_t, const void *first, const void *second)
{
    uint32_t a = static_cast<const CachedString *>(first)->id;
    uint32_t b = static_cast<const CachedString *>(second)->id;
    return a < b ? -1 : a > b ? 1 : 0;
}

// Copies string id from the block of module in language into out. A
// string table block (resource id / 16 + 1) holds 16 counted strings
// without terminators. Returns the units copied; 0 when the block or the
// entry is missing or empty.
int CopyFromStringBlock(HINSTANCE module, UINT id, WORD language, wchar_t *out, int size)
{
    HRSRC resource = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!resource) return 0;
    HGLOBAL loaded = LoadResource(module, resource);
    const WORD *data = loaded ? static_cast<const WORD *>(LockResource(loaded)) : nullptr;
    if (!data) return 0;
    const WORD *end = data + SizeofResource(module, resource) / sizeof(WORD);
    for (UINT entry = id % 16; entry > 0 && data < end; --entry) data += 1 + *data;
    if (data >= end) return 0;
    size_t length = *data++;
    if (length == 0 || data + length > end) return 0;
    size_t copied = length < (size_t)size - 1 ? length : (size_t)size - 1;
    std::memcpy(out, data, copied * sizeof(wchar_t));
    out[copied] = 0;
    return (int)copied;
}

int LoadBySelectionRule(HVOLANG lang, UINT id, wchar_t *out, int size)
{
    if (VoLang_SearchLanguageFirst(lang)) {
        int n = CopyFromStringBlock(lang->languageModule, id, VoLang_ResourceLanguage(lang), out, size);
        if (n > 0) return n;
    }
    if (VoLang_SearchEnglish(lang))
        return CopyFromStringBlock(lang->module, id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), out,
                                   size);
    return LoadStringW(lang->module, id, out, size);
}

}  // namespace

int VoLoadString(HVOLANG lang, UINT id, wchar_t *out, int size)
{
    if (!out || size <= 0) return 0;
    out[0] = 0;
    if (!lang) return 0;
    int length = LoadBySelectionRule(lang, id, out, size);
    if (length <= 0) {
        out[0] = 0;
        return 0;
    }
    // A leading "^*" marks a string that must not be shown as it stands
    // (menu texts of hidden commands); it is dropped.
    if (length >= 2 && out[0] == L'^' && out[1] == L'*') {
        std::memmove(out, out + 2, (size_t)(length - 1) * sizeof(wchar_t));
        length -= 2;
    }
    return length;
}

const wchar_t *VoGetString(HVOLANG lang, UINT id)
{
    if (!lang || !lang->cache) return kEmptyText;
    const wchar_t *result = kEmptyText;
    EnterCriticalSection(&lang->lock);
    CachedString key = {id, {0}};
    int index = VoList_FindSortedItemRange(lang->cache, &key, 0, -1, CompareCachedIds);
    if (index >= 0) {
        result = static_cast<CachedString *>(VoList_GetItem(lang->cache, index))->text;
    } else {
        wchar_t text[kCachedStringUnits];
        int length = VoLoadString(lang, id, text, kCachedStringUnits);
        if (length > 0) {
            int at = VoList_FindSortedInsertIndexRange(lang->cache, &key, 0, -1, CompareCachedIds);
            size_t bytes = offsetof(CachedString, text) + ((size_t)length + 1) * sizeof(wchar_t);
            void *item = nullptr;
            if (at >= 0 && SUCCEEDED(VoList_AllocItem(lang->cache, (int)bytes, &item))) {
                auto *entry = static_cast<CachedString *>(item);
                entry->id = id;
                std::memcpy(entry->text, text, ((size_t)length + 1) * sizeof(wchar_t));
                if (SUCCEEDED(VoList_InsertList(lang->cache, at, nullptr, -1))) result = entry->text;
                else VoList_DeleteList(lang->cache, -1, -1, 0);
            }
        }
    }
    LeaveCriticalSection(&lang->lock);
    return result;
}

const wchar_t *VoGetMenuString(HVOLANG lang, UINT id)
{
    const wchar_t *text = VoGetString(lang, id);
    if (text == kEmptyText) return text;
    // The cached copy is the instance's own; menus want backspaces where
    // the string tables hold tabs.
    for (wchar_t *c = const_cast<wchar_t *>(text); *c; ++c)
        if (*c == L'\t') *c = L'\b';
    return text;
}

wchar_t *VoGetTempStringBuffer(HVOLANG lang, int units)
{
    if (!lang || !lang->scratch || units < 0) return nullptr;
    // A request the ring cannot hold at all is refused rather than handed
    // a buffer that would run past the ring's end.
    if (units + 1 > lang->scratchSize) return nullptr;
    EnterCriticalSection(&lang->lock);
    if (lang->scratchOffset > lang->scratchSize - lang->scratchReserve ||
        lang->scratchOffset + units + 1 > lang->scratchSize)
        lang->scratchOffset = 0;
    wchar_t *buffer = lang->scratch + lang->scratchOffset;
    if (units == 0) buffer[0] = 0;
    lang->scratchOffset += (units + 2) & ~1;
    LeaveCriticalSection(&lang->lock);
    return buffer;
}

char *VoGetMultiByteFromPrintString(HVOLANG lang, const wchar_t *text)
{
    if (!text) return kEmptyBytes;
    int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return kEmptyBytes;
    auto *buffer = reinterpret_cast<char *>(VoGetTempStringBuffer(lang, (bytes + 1) / 2));
    if (!buffer) return kEmptyBytes;
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, bytes, nullptr, nullptr) <= 0) return kEmptyBytes;
    return buffer;
}

wchar_t *VoGetPrintFromMultiByteString(HVOLANG lang, const char *text)
{
    static wchar_t empty[1];
    empty[0] = 0;
    if (!text) return empty;
    int units = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, nullptr, 0);
    if (units <= 1) return empty;
    wchar_t *buffer = VoGetTempStringBuffer(lang, units);
    if (!buffer) return empty;
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text, -1, buffer, units) <= 0) return empty;
    return buffer;
}

const wchar_t *VoGetWideFromPrintString(HVOLANG lang, const wchar_t *text)
{
    return lang && lang->scratch ? text : kEmptyText;
}

const wchar_t *VoGetPrintFromWideString(HVOLANG lang, const wchar_t *text)
{
    return lang && lang->scratch ? text : kEmptyText;
}
