// Changing a list: insertion, deletion, owned items, capacity and moves.
#include "list/list_internal.h"

using namespace volist;

namespace {

// Moves of up to this many bytes need no heap block.
const size_t kMoveStackBytes = 512;

bool InsideItemBlock(const tVOLIST *list, const void *p)
{
    const uintptr_t start = (uintptr_t)list->items;
    const uintptr_t end = start + (size_t)list->capacity * list->itemSize;
    return (uintptr_t)p >= start && (uintptr_t)p < end;
}

}  // namespace

HRESULT volist::ListGrow(tVOLIST *list, int n)
{
    const int64_t add = n <= 0 ? list->growBy : RoundUp(n, list->growBy);
    const int64_t slots = list->capacity + add;
    size_t bytes = 0;
    if (!SlotBytes(list->itemSize, slots, bytes)) return E_OUTOFMEMORY;
    void *block = VoMemReAlloc(list->items, bytes);
    if (!block) return E_OUTOFMEMORY;
    list->items = block;
    list->capacity = (int32_t)slots;
    return S_OK;
}

HRESULT volist::ListShrink(tVOLIST *list, int n)
{
    // Never more than the spare slots: the slots in use stay.
    const int spare = list->capacity - list->count;
    if (n < 0 || n > spare) n = spare;
    int64_t cut = RoundUp(n, list->growBy);
    if (cut > spare) cut -= list->growBy;
    if (cut <= 0) return S_OK;
    const int64_t slots = list->capacity - cut;
    // The block keeps at least one slot's bytes, even for no slots.
    const size_t bytes = (size_t)(slots > 0 ? slots : 1) * list->itemSize;
    void *block = VoMemReAlloc(list->items, bytes);
    if (!block) return E_OUTOFMEMORY;
    list->items = block;
    list->capacity = (int32_t)slots;
    return S_OK;
}

void volist::ListShrinkSpare(tVOLIST *list)
{
    const int spare = list->capacity - list->count;
    if (spare > list->growBy) ListShrink(list, spare);
}

HRESULT volist::ListInsertSlots(tVOLIST *list, int index, const void *items, int n)
{
    size_t bytes = 0;
    size_t total = 0;
    if (!SlotBytes(list->itemSize, n, bytes) || !SlotBytes(list->itemSize, (int64_t)list->count + n, total))
        return E_OUTOFMEMORY;
    // Slots copied from the list itself would move or be freed by the
    // growth below: take a copy of them first.
    void *copy = nullptr;
    if (InsideItemBlock(list, items)) {
        copy = VoMemAlloc(bytes);
        if (!copy) return E_OUTOFMEMORY;
        memcpy(copy, items, bytes);
        items = copy;
    }
    if (list->capacity - list->count < n) {
        const HRESULT hr = ListGrow(list, n);
        if (FAILED(hr)) {
            VoMemFree(copy);
            return hr;
        }
    }
    uint8_t *at = Slot(list, index);
    memmove(at + bytes, at, (size_t)(list->count - index) * list->itemSize);
    memcpy(at, items, bytes);
    list->count += n;
    VoMemFree(copy);
    return S_OK;
}

void volist::ListRemoveSlots(tVOLIST *list, int index, int n)
{
    const int tail = list->count - index - n;
    memmove(Slot(list, index), Slot(list, index + n), (size_t)tail * list->itemSize);
    memset(Slot(list, list->count - n), 0, (size_t)n * list->itemSize);
    list->count -= n;
}

HRESULT VoList_InsertList(tVOLIST *list, int index, const void *items, int n)
{
    CListScope scope(list);
    if (!scope.Valid()) return E_INVALIDARG;
    int64_t slots = n;
    if (!items) {
        if (n != -1 || !list->pendingItem) return E_FAIL;
        items = &list->pendingItem;
        slots = 1;
    } else if (n < 0) {
        slots = -(int64_t)n;
    } else if (n > 0 && OwnsItems(list)) {
        return E_FAIL;
    }
    if (slots == 0) return S_OK;
    if (slots > INT32_MAX) return E_OUTOFMEMORY;
    if (index < 0 || index > list->count) index = list->count;
    const HRESULT hr = ListInsertSlots(list, index, items, (int)slots);
    if (FAILED(hr) || !list->pendingItem) return hr;
    // The pending item ends its pending state once it is in a slot, whether
    // it came through the pending call or in the caller's array. Another
    // pending item stays pending, to be inserted or freed later.
    for (int i = index; i < index + (int)slots; ++i) {
        if (StoredPointer(list, i) == list->pendingItem) {
            list->pendingItem = nullptr;
            break;
        }
    }
    return S_OK;
}

HRESULT VoList_DeleteList(tVOLIST *list, int index, int n, int shrink)
{
    CListScope scope(list);
    if (!scope.Valid()) return E_INVALIDARG;
    if (index < 0 && n < 0) {
        if (!list->pendingItem) return E_FAIL;
        FreeOwnedItem(list, list->pendingItem);
        list->pendingItem = nullptr;
        return S_OK;
    }
    if (n == 0) return S_OK;
    if (index < 0) index = 0;
    if (index >= list->count) return E_FAIL;
    const int rest = list->count - index;
    if (n < 0 || n > rest) n = rest;
    if (OwnsItems(list)) {
        for (int i = index; i < index + n; ++i) FreeOwnedItem(list, StoredPointer(list, i));
    }
    ListRemoveSlots(list, index, n);
    if (shrink) ListShrinkSpare(list);
    return S_OK;
}

HRESULT VoList_AllocItem(tVOLIST *list, int size, void **item)
{
    if (item) *item = nullptr;
    CListScope scope(list);
    if (!scope.Valid() || size < 0) return E_INVALIDARG;
    if (!OwnsItems(list) || list->pendingItem) return E_FAIL;
    void *block = list->itemHeap ? VoHeapAlloc(list->itemHeap, (size_t)size) : VoMemAlloc((size_t)size);
    if (!block) return E_OUTOFMEMORY;
    list->pendingItem = block;
    if (item) *item = block;
    return S_OK;
}

HRESULT VoList_AllocAndInsertItem(tVOLIST *list, const void *source, int size, int index,
                                  int *outIndex)
{
    if (outIndex) *outIndex = -1;
    CListScope scope(list);
    if (!scope.Valid()) return E_INVALIDARG;
    const int target = index >= 0 && index < list->count ? index : list->count;
    void *item = nullptr;
    HRESULT hr = VoList_AllocItem(list, size, &item);
    if (FAILED(hr)) return hr;
    if (source) memcpy(item, source, (size_t)size);
    hr = VoList_InsertList(list, target, nullptr, -1);
    if (FAILED(hr)) {
        FreeOwnedItem(list, item);
        list->pendingItem = nullptr;
        return hr;
    }
    if (outIndex) *outIndex = target;
    return S_OK;
}

HRESULT VoList_ReAllocItem(tVOLIST *list, int index, int size)
{
    CListScope scope(list);
    if (!scope.Valid() || size < 0) return E_INVALIDARG;
    if (!OwnsItems(list) || index < 0 || index >= list->count) return E_FAIL;
    void *old = StoredPointer(list, index);
    void *block = list->itemHeap ? VoHeapReAlloc(list->itemHeap, old, (size_t)size)
                                 : VoMemReAlloc(old, (size_t)size);
    if (!block) return E_OUTOFMEMORY;
    ((void **)list->items)[index] = block;
    return S_OK;
}

HRESULT VoList_GrowAllocated(tVOLIST *list, int n)
{
    CListScope scope(list);
    return scope.Valid() ? ListGrow(list, n) : E_INVALIDARG;
}

HRESULT VoList_ShrinkAllocated(tVOLIST *list, int n)
{
    CListScope scope(list);
    return scope.Valid() ? ListShrink(list, n) : E_INVALIDARG;
}

HRESULT VoList_MoveRange(tVOLIST *list, int from, int to, int n)
{
    CListScope scope(list);
    if (!scope.Valid() || from < 0) return E_INVALIDARG;
    if (to < 0) to = 0;
    if (n < 0) n = list->count - (from > to ? from : to);
    if (n < 0 || from > list->count - n || to > list->count - n) return E_FAIL;
    if (n == 0 || from == to) return S_OK;

    const size_t bytes = (size_t)n * list->itemSize;
    uint8_t onStack[kMoveStackBytes];
    void *onHeap = nullptr;
    uint8_t *copy = onStack;
    if (bytes > sizeof(onStack)) {
        onHeap = VoMemAlloc(bytes);
        if (!onHeap) return E_OUTOFMEMORY;
        copy = (uint8_t *)onHeap;
    }
    memcpy(copy, Slot(list, from), bytes);
    if (to < from)
        memmove(Slot(list, to + n), Slot(list, to), (size_t)(from - to) * list->itemSize);
    else
        memmove(Slot(list, from), Slot(list, from + n), (size_t)(to - from) * list->itemSize);
    memcpy(Slot(list, to), copy, bytes);
    VoMemFree(onHeap);
    return S_OK;
}

HRESULT VoList_ArrayForceItemCount(tVOLIST *list, int n, int shrink)
{
    CListScope scope(list);
    if (!scope.Valid() || n < 0) return E_INVALIDARG;
    if (!InPlaceItems(list)) return E_FAIL;
    if (n > list->capacity) {
        const HRESULT hr = ListGrow(list, n - list->capacity);
        if (FAILED(hr)) return hr;
    }
    const int old = list->count;
    list->count = n;
    if (shrink && n < old) ListShrinkSpare(list);
    return S_OK;
}

HRESULT VoList_MoveItemsBetweenHeapLists(tVOLIST *destination, int destIndex, tVOLIST *source,
                                         int sourceIndex, int n)
{
    if (destination == source) return E_INVALIDARG;
    CListScope destScope(destination);
    CListScope sourceScope(source);
    if (!destScope.Valid() || !sourceScope.Valid()) return E_INVALIDARG;
    if (!OwnsItems(destination) || !OwnsItems(source) || destination->pendingItem) return E_FAIL;
    // An item from a private heap cannot be freed by another allocator, and
    // destroying that heap would free items the other list still holds.
    if (destination->itemHeap || source->itemHeap) return E_FAIL;
    if (n < 0) n = source->count;
    if (n == 0) return S_OK;
    if (sourceIndex < 0 || sourceIndex > source->count - n) return E_FAIL;
    // Fix the place once, so that the items keep their order when appended.
    if (destIndex < 0 || destIndex > destination->count) destIndex = destination->count;
    for (int i = sourceIndex + n - 1; i >= sourceIndex; --i) {
        void *item = StoredPointer(source, i);
        const HRESULT hr = ListInsertSlots(destination, destIndex, &item, 1);
        if (FAILED(hr)) return hr;
        ListRemoveSlots(source, i, 1);
    }
    return S_OK;
}
