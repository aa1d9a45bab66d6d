// Inside the list family: helpers shared by its source files. The functions
// named List* work on a list already checked and locked by the caller.
#pragma once

#include <cstring>

#include "list/list.h"

namespace volist {

inline bool IsLive(const tVOLIST *list)
{
    return list && list->magic == VOLIST_MAGIC;
}

inline bool HasOption(const tVOLIST *list, uint32_t option)
{
    return (list->options & option) != 0;
}

inline bool OwnsItems(const tVOLIST *list) { return HasOption(list, VOLIST_HEAPITEMS); }
inline bool InPlaceItems(const tVOLIST *list) { return HasOption(list, VOLIST_INPLACEITEMS); }

// Checks the list and holds its lock (thread-safe lists) for a scope.
class CListScope {
public:
    explicit CListScope(tVOLIST *list)
        : m_list(IsLive(list) ? list : nullptr),
          m_holder(m_list && HasOption(m_list, VOLIST_THREADSAFE) ? &m_list->lock : nullptr)
    {
    }
    bool Valid() const { return m_list != nullptr; }
private:
    tVOLIST *m_list;
    CVoLockHolder m_holder;
};

inline uint8_t *Slot(const tVOLIST *list, int index)
{
    return (uint8_t *)list->items + (size_t)index * list->itemSize;
}

// The pointer stored in a slot of a pointer list.
inline void *StoredPointer(const tVOLIST *list, int index)
{
    return ((void **)list->items)[index];
}

// What comparators and match functions get for a slot.
inline void *ItemArgument(const tVOLIST *list, int index)
{
    return InPlaceItems(list) ? (void *)Slot(list, index) : StoredPointer(list, index);
}

// Clamps a range to the list: false when it holds no slot.
inline bool ClampRange(const tVOLIST *list, int &first, int &n)
{
    if (first < 0) first = 0;
    if (first >= list->count) return false;
    int rest = list->count - first;
    if (n < 0 || n > rest) n = rest;
    return n > 0;
}

// The bytes of `slots` slots of itemSize bytes; false when the count or the
// bytes cannot be represented (the caller then refuses with E_OUTOFMEMORY).
inline bool SlotBytes(uint32_t itemSize, int64_t slots, size_t &bytes)
{
    if (slots < 0 || slots > INT32_MAX) return false;
    const uint64_t total = (uint64_t)slots * itemSize;
    if (total > (uint64_t)SIZE_MAX) return false;
    bytes = (size_t)total;
    return true;
}

inline int64_t RoundUp(int64_t value, int64_t step)
{
    return (value + step - 1) / step * step;
}

void FreeOwnedItem(tVOLIST *list, void *item);
// Adds n slots (n <= 0: growBy), rounded up to a multiple of growBy.
HRESULT ListGrow(tVOLIST *list, int n);
HRESULT ListShrink(tVOLIST *list, int n);
// Releases spare capacity when more than growBy slots are spare.
void ListShrinkSpare(tVOLIST *list);
// Inserts n slots copied from items before index (already within 0..count).
HRESULT ListInsertSlots(tVOLIST *list, int index, const void *items, int n);
// Removes n slots at index without freeing their items.
void ListRemoveSlots(tVOLIST *list, int index, int n);

}  // namespace volist
