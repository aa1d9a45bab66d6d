// tVOLIST: the toolkit's growable array.
//
// A list is one of three kinds, chosen at creation:
//   - a pointer list whose items belong to the caller (no kind option);
//   - a pointer list that owns its items (VOLIST_HEAPITEMS): items are
//     allocated by the list (VoList_AllocItem) and freed when their slot is
//     deleted or the list destroyed;
//   - an array of fixed-size records held in the slots themselves
//     (VOLIST_INPLACEITEMS).
//
// Indices are 0-based. A range is (first, n): a negative first means 0, a
// negative n or one reaching past the end means up to the end.
//
// Failures travel as result codes: E_FAIL for misuse (wrong list kind, bad
// index, pending item conflict), E_OUTOFMEMORY when memory cannot be had (the
// list then keeps its previous state), E_INVALIDARG for null or destroyed
// lists. Searches and size queries answer -1 instead.
//
// A VOLIST_THREADSAFE list holds its re-entrant lock during every operation,
// comparators included; CVoListLock holds it across several operations.
#pragma once

#include "platform.h"

// Comparators use the platform's standard calling convention.
#if defined(_WIN32)
#define VOAPI_CALLBACK __stdcall
#else
#define VOAPI_CALLBACK
#endif

// Creation options.
#define VOLIST_HEAPITEMS     0x00000002u  // pointer list owning its items
#define VOLIST_INPLACEITEMS  0x00000004u  // slots hold the items themselves
#define VOLIST_INPLACERECORD 0x00000008u  // the record lives in caller storage
#define VOLIST_PRIVATEHEAP   0x10000000u  // owned items come from a heap of the list's own
#define VOLIST_ANYTHREAD     0x40000000u  // set on every list by creation
#define VOLIST_THREADSAFE    0x80000000u  // every operation holds the list's lock

// The magic value of a live list record ("VLST" in memory).
#define VOLIST_MAGIC 0x54534C56u

// Sort and sorted-search comparator: negative, 0 or positive as first is less
// than, equal to or greater than second. Items are passed as the stored
// pointer in pointer lists and as the slot's address in in-place lists; in
// the searches, first is the caller's key.
typedef int(VOAPI_CALLBACK *PFNVOLISTCOMPARE)(uint32_t criteria, const void *first, const void *second);
// Match function of VoList_FindItemRange: 0 when item matches key.
typedef int(VOAPI_CALLBACK *PFNVOLISTMATCH)(const void *key, const void *item);

// The list record. On the 32-bit Windows target it is 84 bytes, a size that
// VoList_IsList and VoList_AllocSize rely on.
struct tVOLIST {
    int32_t count;            // items in use
    uint32_t itemSize;        // bytes per slot
    void *items;              // capacity * itemSize zero-initialised bytes
    tVOLOCK lock;             // used with VOLIST_THREADSAFE only
    uint32_t magic;           // VOLIST_MAGIC while alive, 0 after destruction
    uint32_t options;         // creation options | VOLIST_ANYTHREAD
    uint32_t userData;        // free for the caller
    uint32_t sortCriteria;    // last value given to a sort, passed to comparators
    uint32_t ownerThread;     // id of the creating thread or the one set later
    int32_t capacity;         // slots allocated
    int32_t growBy;           // allocation granularity in slots, 4..66560
    HVOHEAP itemHeap;         // private item heap (VOLIST_PRIVATEHEAP)
    uint32_t heapAllocFlags;  // flags of allocations from the private heap
    uint32_t heapFreeFlags;   // flags of frees on the private heap
    void *pendingItem;        // owned item allocated but not yet inserted
    uint32_t reserved;        // keeps the record at its published size
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(tVOLIST) == 84, "the list record is part of the interface");
#endif

// Creates a list. itemSize counts only for in-place lists, whose slots are
// rounded up to a multiple of 4 bytes; pointer lists have pointer-sized
// slots. initialCount and growBy below 1 mean 16; growBy is
// kept within 4..66560 and the first capacity is initialCount rounded up to a
// multiple of it. With VOLIST_INPLACERECORD, *list must point at caller
// storage of sizeof(tVOLIST) bytes; otherwise the record is allocated and
// *list receives it. The last three values are ignored (pass 0).
HRESULT VoList_CreateExZ(tVOLIST **list, uint32_t itemSize, int initialCount, int growBy,
                         uint32_t options, uintptr_t reserved1, uintptr_t reserved2,
                         uintptr_t reserved3);
// Frees owned items (the pending one too), the slots, the lock and, unless
// the record is in caller storage, the record. A null list is S_OK.
HRESULT VoList_Destroy(tVOLIST *list);

// Inserts n slots copied from items before index (index < 0 or >= count
// appends). A negative n with items inserts -n slots; on an owning list the
// inserted pointers then belong to the list and must come from VoMemAlloc
// (or from the list's own heap). Without items, n = -1 inserts the pending
// item. A positive n on an owning list is E_FAIL.
HRESULT VoList_InsertList(tVOLIST *list, int index, const void *items, int n);
// Deletes n slots from index (n < 0: to the end), freeing owned items. With
// index < 0 and n < 0 it frees the pending item instead. With shrink, spare
// capacity beyond one growBy is released.
HRESULT VoList_DeleteList(tVOLIST *list, int index, int n, int shrink);

// Owning lists: allocates size zeroed bytes as the pending item. Only one
// item may be pending; it enters the list by VoList_InsertList(list, index,
// nullptr, -1) and is dropped by VoList_DeleteList(list, -1, -1, 0).
HRESULT VoList_AllocItem(tVOLIST *list, int size, void **item);
// Allocates an item, copies size bytes of source into it (when given) and
// inserts it at index (index outside 0..count-1 appends). *outIndex (when
// given) receives the index, or -1 on failure.
HRESULT VoList_AllocAndInsertItem(tVOLIST *list, const void *source, int size, int index,
                                  int *outIndex);
// Owning lists: resizes the item at index; on failure the old item stays.
HRESULT VoList_ReAllocItem(tVOLIST *list, int index, int size);

// Adds n slots (n <= 0: growBy), rounded up to a multiple of growBy.
HRESULT VoList_GrowAllocated(tVOLIST *list, int n);
// Releases up to n spare slots (n < 0: all spare slots) in steps of growBy,
// never cutting into the slots in use.
HRESULT VoList_ShrinkAllocated(tVOLIST *list, int n);
// Moves n slots from index from so that they begin at index to (to < 0: 0;
// n < 0: from the larger of the two to the end).
HRESULT VoList_MoveRange(tVOLIST *list, int from, int to, int n);

// The item at index: the stored pointer in pointer lists, the slot's address
// in in-place lists; null for an index outside the list.
void *VoList_GetItem(tVOLIST *list, int index);

// Linear searches over a range; the index found or -1. The first compares
// the stored pointers (pointer lists) or itemSize bytes at item (in-place).
int VoList_FindSpecificItemRange(tVOLIST *list, int first, int n, const void *item);
int VoList_FindItemRange(tVOLIST *list, int first, int n, const void *key, PFNVOLISTMATCH match);
// Binary searches over a range sorted ascending by compare. The first returns
// an equal item's index or -1. The second returns where key belongs: before
// an equal item, after every smaller one; first itself for an empty range,
// -1 when first lies past count.
int VoList_FindSortedItemRange(tVOLIST *list, const void *key, int first, int n,
                               PFNVOLISTCOMPARE compare);
int VoList_FindSortedInsertIndexRange(tVOLIST *list, const void *key, int first, int n,
                                      PFNVOLISTCOMPARE compare);

// Sorts ascending: a selection sort, and a heap sort. Neither is stable.
HRESULT VoList_Sort(tVOLIST *list, uint32_t criteria, PFNVOLISTCOMPARE compare);
HRESULT VoList_HeapSort(tVOLIST *list, uint32_t criteria, PFNVOLISTCOMPARE compare);
// Inserts every slot of source, in source order, at its sorted place in
// destination. Both lists must have slots of the same kind and size, and the
// destination must not own its items (the items would then be freed twice).
HRESULT VoList_SortTo(tVOLIST *destination, tVOLIST *source, uint32_t criteria,
                      PFNVOLISTCOMPARE compare);
// Moves n owned items (n < 0: the source's count) from sourceIndex of one
// owning list to destIndex of another (destIndex < 0: the end) without
// copying them, keeping their order. Both lists must allocate from the
// common heap, not from private heaps. Takes the destination's lock first.
HRESULT VoList_MoveItemsBetweenHeapLists(tVOLIST *destination, int destIndex, tVOLIST *source,
                                         int sourceIndex, int n);
// Moves an allocated record into caller storage and nulls *list. The lock of
// a thread-safe list is created anew in the storage; no other thread may use
// the list meanwhile.
HRESULT VoList_ConvertToInPlace(tVOLIST **list, tVOLIST *storage);
// In-place lists: sets the count to n, growing the capacity when needed.
// Slots uncovered again keep the bytes they held. With shrink, spare
// capacity beyond one growBy is released after a cut.
HRESULT VoList_ArrayForceItemCount(tVOLIST *list, int n, int shrink);

uint32_t VoList_GetUserData(tVOLIST *list);
// Stores value atomically and returns the previous one.
uint32_t VoList_SetUserData(tVOLIST *list, uint32_t value);
uint32_t VoList_GetCreateOptions(tVOLIST *list);
uint32_t VoList_GetSortCriteria(tVOLIST *list);
uint32_t VoList_GetThreadOwner(tVOLIST *list);
// threadId 0 means the calling thread.
HRESULT VoList_SetThreadOwner(tVOLIST *list, uint32_t threadId);
// 1 when 0 <= index < count.
int VoList_IsValidIndexSlow(tVOLIST *list, int index);
// 1 when size is the record's size and the record is a live list.
int VoList_IsList(const tVOLIST *list, size_t size);
// 1 when the record carries the live magic.
int VoList_IsListFast(const tVOLIST *list);
// No creation site is recorded: empties text (when textSize > 0), sets *line
// to 0 and returns -1.
int VoList_GetFileAndLine(tVOLIST *list, VOCHAR *text, int textSize, int *line);

// index >= 0: bytes of that slot's item (in-place lists: itemSize; lists not
// owning their items: 0). index < 0: all owned items + the slots + the
// record. -1 for a bad list or index.
int64_t VoList_AllocSize(tVOLIST *list, int index);

// Holds a thread-safe list's lock for a scope (nothing for other lists), so
// that several operations form one step.
class CVoListLock {
public:
    explicit CVoListLock(tVOLIST *list)
        : m_lock(VoList_IsListFast(list) && (list->options & VOLIST_THREADSAFE) ? &list->lock : nullptr)
    {
        if (m_lock) VoLockEnter(m_lock);
    }
    ~CVoListLock() { if (m_lock) VoLockLeave(m_lock); }
    CVoListLock(const CVoListLock &) = delete;
    CVoListLock &operator=(const CVoListLock &) = delete;
private:
    tVOLOCK *m_lock;
};
