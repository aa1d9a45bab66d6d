// Searching and sorting a list with the caller's comparators.
#include "list/list_internal.h"

using namespace volist;

namespace {

// Swaps two slots: the pointers, or itemSize bytes in 4-byte steps.
void SwapSlots(tVOLIST *list, int a, int b)
{
    if (!InPlaceItems(list)) {
        void **slots = (void **)list->items;
        void *held = slots[a];
        slots[a] = slots[b];
        slots[b] = held;
        return;
    }
    uint8_t *x = Slot(list, a);
    uint8_t *y = Slot(list, b);
    for (uint32_t offset = 0; offset < list->itemSize; offset += 4) {
        uint32_t held;
        memcpy(&held, x + offset, 4);
        memcpy(x + offset, y + offset, 4);
        memcpy(y + offset, &held, 4);
    }
}

int Compare(const tVOLIST *list, PFNVOLISTCOMPARE compare, int a, int b)
{
    return compare(list->sortCriteria, ItemArgument(list, a), ItemArgument(list, b));
}

struct SearchResult {
    int found;     // index of an equal item, or -1
    int insertAt;  // where the key belongs
};

// Binary search over the non-empty range of n slots at first. Each probe
// takes the middle item, the lower of the two middle items for an even
// count; among equal items the first one probed is found.
SearchResult BinarySearch(const tVOLIST *list, const void *key, int first, int n,
                          PFNVOLISTCOMPARE compare)
{
    int lo = first;
    int hi = first + n - 1;
    int insertAt = first;
    while (lo <= hi) {
        const int probe = lo + (hi - lo) / 2;
        const int order = compare(list->sortCriteria, key, ItemArgument(list, probe));
        if (order == 0) return {probe, probe};
        if (order < 0) {
            insertAt = probe;
            hi = probe - 1;
        } else {
            insertAt = probe + 1;
            lo = probe + 1;
        }
    }
    return {-1, insertAt};
}

// Moves node k (1-based) of a heap of h nodes down below larger children.
void SiftDown(tVOLIST *list, PFNVOLISTCOMPARE compare, int k, int h)
{
    while (k <= h / 2) {
        int child = 2 * k;
        if (child < h && Compare(list, compare, child, child - 1) > 0) ++child;
        if (Compare(list, compare, child - 1, k - 1) > 0) SwapSlots(list, child - 1, k - 1);
        k = child;
    }
}

}  // namespace

int VoList_FindSpecificItemRange(tVOLIST *list, int first, int n, const void *item)
{
    CListScope scope(list);
    if (!scope.Valid() || !ClampRange(list, first, n)) return -1;
    const bool inPlace = InPlaceItems(list);
    if (inPlace && !item) return -1;
    for (int i = first; i < first + n; ++i) {
        if (inPlace ? memcmp(Slot(list, i), item, list->itemSize) == 0 : StoredPointer(list, i) == item)
            return i;
    }
    return -1;
}

int VoList_FindItemRange(tVOLIST *list, int first, int n, const void *key, PFNVOLISTMATCH match)
{
    CListScope scope(list);
    if (!scope.Valid() || !match || !ClampRange(list, first, n)) return -1;
    for (int i = first; i < first + n; ++i) {
        if (match(key, ItemArgument(list, i)) == 0) return i;
    }
    return -1;
}

int VoList_FindSortedItemRange(tVOLIST *list, const void *key, int first, int n,
                               PFNVOLISTCOMPARE compare)
{
    CListScope scope(list);
    if (!scope.Valid() || !compare || !ClampRange(list, first, n)) return -1;
    return BinarySearch(list, key, first, n, compare).found;
}

int VoList_FindSortedInsertIndexRange(tVOLIST *list, const void *key, int first, int n,
                                      PFNVOLISTCOMPARE compare)
{
    CListScope scope(list);
    if (!scope.Valid() || !compare) return -1;
    if (first < 0) first = 0;
    if (first > list->count) return -1;
    // An empty range: the key goes where the range begins.
    if (!ClampRange(list, first, n)) return first;
    return BinarySearch(list, key, first, n, compare).insertAt;
}

HRESULT VoList_Sort(tVOLIST *list, uint32_t criteria, PFNVOLISTCOMPARE compare)
{
    CListScope scope(list);
    if (!scope.Valid()) return E_INVALIDARG;
    list->sortCriteria = criteria;
    if (!compare) return S_OK;
    // Selection sort: move the largest of 0..end to end; among equal
    // largest items the earliest is taken.
    for (int end = list->count - 1; end >= 1; --end) {
        int largest = 0;
        for (int i = 1; i <= end; ++i) {
            if (Compare(list, compare, i, largest) > 0) largest = i;
        }
        if (largest != end) SwapSlots(list, largest, end);
    }
    return S_OK;
}

HRESULT VoList_HeapSort(tVOLIST *list, uint32_t criteria, PFNVOLISTCOMPARE compare)
{
    CListScope scope(list);
    if (!scope.Valid()) return E_INVALIDARG;
    list->sortCriteria = criteria;
    if (!compare || list->count < 2) return S_OK;
    for (int k = list->count / 2; k >= 1; --k) SiftDown(list, compare, k, list->count);
    for (int h = list->count; h >= 2; --h) {
        SwapSlots(list, 0, h - 1);
        SiftDown(list, compare, 1, h - 1);
    }
    return S_OK;
}

HRESULT VoList_SortTo(tVOLIST *destination, tVOLIST *source, uint32_t criteria,
                      PFNVOLISTCOMPARE compare)
{
    if (destination == source || !compare || !IsLive(destination)) return E_INVALIDARG;
    CListScope scope(source);
    if (!scope.Valid()) return E_INVALIDARG;
    // The slots are copied as they are: both lists must hold the same kind
    // of slot, and an owning destination would free the source's items.
    if (OwnsItems(destination) || InPlaceItems(destination) != InPlaceItems(source) ||
        destination->itemSize != source->itemSize)
        return E_FAIL;
    {
        CListScope destScope(destination);
        destination->sortCriteria = criteria;
    }
    for (int i = 0; i < source->count; ++i) {
        const int at = VoList_FindSortedInsertIndexRange(destination, ItemArgument(source, i), 0, -1, compare);
        const HRESULT hr = VoList_InsertList(destination, at, Slot(source, i), 1);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}
