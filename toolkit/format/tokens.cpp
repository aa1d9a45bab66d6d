// The process-wide token table of the formatter.
//
// A sorted list of owned entries, ordered by name without regard to case.
// Each entry is one allocation: a header (a zero word, the name pointer, the
// value's length, the value pointer) followed by the name text, padded to a
// multiple of 4 bytes, and the value text.
#include "format/tokens.h"

#include <algorithm>

#include <cstring>

#include "format/format.h"
#include "list/list.h"

namespace {

struct TokenEntry {
    uint32_t zero;
    VOCHAR *name;
    uint32_t valueLength;
    VOCHAR *value;
};

tVOLIST *g_tokens = nullptr;

int VOAPI_CALLBACK CompareNameWithEntry(uint32_t, const void *key, const void *item)
{
    return VoStrCmpI((const VOCHAR *)key, ((const TokenEntry *)item)->name);
}

int FindToken(const VOCHAR *name)
{
    return VoList_FindSortedItemRange(g_tokens, name, 0, -1, CompareNameWithEntry);
}

size_t Align4(size_t bytes)
{
    return (bytes + 3) & ~(size_t)3;
}

}  // namespace

int VoPrintF_CreateTokenTable()
{
    if (g_tokens) return 1;
    tVOLIST *list = nullptr;
    if (FAILED(VoList_CreateExZ(&list, sizeof(void *), 16, 16, VOLIST_HEAPITEMS | VOLIST_THREADSAFE, 0, 0, 0)))
        return 0;
    g_tokens = list;
    return 1;
}

void VoPrintF_DestroyTokenTable()
{
    tVOLIST *list = g_tokens;
    g_tokens = nullptr;
    VoList_Destroy(list);
}

int VoPrintF_AddToken(const VOCHAR *name, const VOCHAR *value)
{
    if (!g_tokens || !name) return 0;
    CVoListLock lock(g_tokens);
    int index = FindToken(name);
    if (index >= 0) VoList_DeleteList(g_tokens, index, 1, 0);
    index = VoList_FindSortedInsertIndexRange(g_tokens, name, 0, -1, CompareNameWithEntry);

    size_t nameUnits = VoStrLen(name) + 1;
    size_t valueUnits = VoStrLen(value) + 1;
    size_t nameBytes = Align4(nameUnits * sizeof(VOCHAR));
    size_t size = sizeof(TokenEntry) + nameBytes + valueUnits * sizeof(VOCHAR);
    void *item = nullptr;
    if (FAILED(VoList_AllocItem(g_tokens, (int)size, &item))) return 0;

    TokenEntry *entry = (TokenEntry *)item;
    entry->zero = 0;
    entry->name = (VOCHAR *)(entry + 1);
    memcpy(entry->name, name, nameUnits * sizeof(VOCHAR));
    entry->valueLength = (uint32_t)(valueUnits - 1);
    entry->value = (VOCHAR *)((char *)entry->name + nameBytes);
    if (value) memcpy(entry->value, value, valueUnits * sizeof(VOCHAR));

    if (FAILED(VoList_InsertList(g_tokens, index, nullptr, -1))) {
        VoList_DeleteList(g_tokens, -1, -1, 0);
        return 0;
    }
    return 1;
}

int VoPrintF_DeleteToken(const VOCHAR *name)
{
    if (!g_tokens || !name) return 0;
    CVoListLock lock(g_tokens);
    int index = FindToken(name);
    if (index < 0) return 0;
    VoList_DeleteList(g_tokens, index, 1, 0);
    return 1;
}

VOCHAR *VoTokenTable_WriteValue(const VOCHAR *name, VOCHAR *out, VOCHAR *limit)
{
    if (!g_tokens) return nullptr;
    CVoListLock lock(g_tokens);
    int index = FindToken(name);
    if (index < 0) return nullptr;
    const TokenEntry *entry = (const TokenEntry *)VoList_GetItem(g_tokens, index);
    size_t room = entry->valueLength;
    if (limit) room = out >= limit ? 0 : std::min(room, (size_t)(limit - out));
    memcpy(out, entry->value, room * sizeof(VOCHAR));
    return out + entry->valueLength;
}
