// Creation, destruction and the record's accessors.
#include "list/list_internal.h"

using namespace volist;

namespace {

const int kDefaultCount = 16;
const int kMinCount = 4;
const int kMinGrowBy = 4;
const int kMaxGrowBy = 66560;
const size_t kPrivateHeapSize = 4096;
// Flags of the private item heap as the heap functions take them: no
// serialisation (the list has its own lock), zero-filled allocations.
const uint32_t kHeapNoSerialize = 0x1;
const uint32_t kHeapZeroMemory = 0x8;
// In-place slots are whole multiples of 4 bytes, the stride of the records
// callers keep in them.
const uint32_t kSlotAlign = 4;

size_t OwnedItemSize(const tVOLIST *list, const void *item)
{
    return list->itemHeap ? VoHeapSize(list->itemHeap, item) : VoMemSize(item);
}

// Frees every item an owning list holds, the pending one included.
void FreeAllOwnedItems(tVOLIST *list)
{
    if (!OwnsItems(list)) return;
    if (list->itemHeap) {
        VoHeapDestroy(list->itemHeap);
        list->itemHeap = nullptr;
    } else {
        for (int i = 0; i < list->count; ++i) VoMemFree(StoredPointer(list, i));
        VoMemFree(list->pendingItem);
    }
    list->pendingItem = nullptr;
}

}  // namespace

void volist::FreeOwnedItem(tVOLIST *list, void *item)
{
    if (list->itemHeap)
        VoHeapFree(list->itemHeap, item);
    else
        VoMemFree(item);
}

HRESULT VoList_CreateExZ(tVOLIST **out, uint32_t itemSize, int initialCount, int growBy,
                         uint32_t options, uintptr_t, uintptr_t, uintptr_t)
{
    if (!out) return E_INVALIDARG;
    const bool inPlaceRecord = (options & VOLIST_INPLACERECORD) != 0;
    if (inPlaceRecord && !*out) return E_FAIL;
    if (!inPlaceRecord) *out = nullptr;
    if ((options & VOLIST_INPLACEITEMS) && (options & VOLIST_HEAPITEMS)) return E_FAIL;

    uint32_t slotSize = (uint32_t)sizeof(void *);
    if (options & VOLIST_INPLACEITEMS) {
        if (itemSize == 0 || itemSize > UINT32_MAX - kSlotAlign) return E_INVALIDARG;
        slotSize = (uint32_t)RoundUp(itemSize, kSlotAlign);
    }
    if (initialCount < 1) initialCount = kDefaultCount;
    if (initialCount < kMinCount) initialCount = kMinCount;
    if (growBy < 1) growBy = kDefaultCount;
    if (growBy < kMinGrowBy) growBy = kMinGrowBy;
    if (growBy > kMaxGrowBy) growBy = kMaxGrowBy;

    const int64_t capacity = RoundUp(initialCount, growBy);
    size_t bytes = 0;
    if (!SlotBytes(slotSize, capacity, bytes)) return E_OUTOFMEMORY;

    tVOLIST *list = inPlaceRecord ? *out : (tVOLIST *)VoMemAlloc(sizeof(tVOLIST));
    if (!list) return E_OUTOFMEMORY;
    memset((void *)list, 0, sizeof(tVOLIST));
    list->itemSize = slotSize;
    list->capacity = (int32_t)capacity;
    list->growBy = growBy;
    list->magic = VOLIST_MAGIC;
    list->items = VoMemAlloc(bytes);
    if (!list->items) {
        list->magic = 0;
        if (!inPlaceRecord) VoMemFree(list);
        return E_OUTOFMEMORY;
    }
    if (options & VOLIST_THREADSAFE) VoLockInit(&list->lock);
    list->ownerThread = VoGetCurrentThreadId();
    list->options = options | VOLIST_ANYTHREAD;

    if (options & VOLIST_HEAPITEMS) {
        list->heapAllocFlags = kHeapNoSerialize | kHeapZeroMemory;
        list->heapFreeFlags = kHeapNoSerialize;
        if (options & VOLIST_PRIVATEHEAP) {
            list->itemHeap = VoHeapCreate(kPrivateHeapSize);
            if (!list->itemHeap) {
                VoList_Destroy(list);
                return E_OUTOFMEMORY;
            }
        }
    }
    *out = list;
    return S_OK;
}

HRESULT VoList_Destroy(tVOLIST *list)
{
    if (!list) return S_OK;
    if (!IsLive(list)) return E_INVALIDARG;
    const uint32_t options = list->options;
    {
        CListScope scope(list);
        FreeAllOwnedItems(list);
        VoMemFree(list->items);
        list->items = nullptr;
        list->count = 0;
        list->capacity = 0;
        list->magic = 0;
    }
    if (options & VOLIST_THREADSAFE) VoLockDelete(&list->lock);
    if (!(options & VOLIST_INPLACERECORD)) VoMemFree(list);
    return S_OK;
}

HRESULT VoList_ConvertToInPlace(tVOLIST **list, tVOLIST *storage)
{
    if (!list || !storage || !IsLive(*list) || *list == storage) return E_INVALIDARG;
    tVOLIST *old = *list;
    if (HasOption(old, VOLIST_INPLACERECORD)) return E_FAIL;
    const bool threadSafe = HasOption(old, VOLIST_THREADSAFE);
    {
        CListScope scope(old);
        memcpy((void *)storage, (const void *)old, sizeof(tVOLIST));
        // A lock cannot be moved by copying its bytes: the new record gets
        // a lock of its own.
        if (threadSafe) VoLockInit(&storage->lock);
        storage->options |= VOLIST_INPLACERECORD;
        old->magic = 0;
    }
    if (threadSafe) VoLockDelete(&old->lock);
    VoMemFree(old);
    *list = nullptr;
    return S_OK;
}

uint32_t VoList_GetUserData(tVOLIST *list)
{
    CListScope scope(list);
    return scope.Valid() ? list->userData : 0;
}

uint32_t VoList_SetUserData(tVOLIST *list, uint32_t value)
{
    CListScope scope(list);
    return scope.Valid() ? VoAtomicExchange32(&list->userData, value) : 0;
}

uint32_t VoList_GetCreateOptions(tVOLIST *list)
{
    CListScope scope(list);
    return scope.Valid() ? list->options : 0;
}

uint32_t VoList_GetSortCriteria(tVOLIST *list)
{
    CListScope scope(list);
    return scope.Valid() ? list->sortCriteria : 0;
}

uint32_t VoList_GetThreadOwner(tVOLIST *list)
{
    CListScope scope(list);
    return scope.Valid() ? list->ownerThread : 0;
}

HRESULT VoList_SetThreadOwner(tVOLIST *list, uint32_t threadId)
{
    CListScope scope(list);
    if (!scope.Valid()) return E_INVALIDARG;
    list->ownerThread = threadId ? threadId : VoGetCurrentThreadId();
    return S_OK;
}

int VoList_IsValidIndexSlow(tVOLIST *list, int index)
{
    CListScope scope(list);
    return scope.Valid() && index >= 0 && index < list->count ? 1 : 0;
}

int VoList_IsList(const tVOLIST *list, size_t size)
{
    return size == sizeof(tVOLIST) && IsLive(list) ? 1 : 0;
}

int VoList_IsListFast(const tVOLIST *list)
{
    return IsLive(list) ? 1 : 0;
}

int VoList_GetFileAndLine(tVOLIST *list, VOCHAR *text, int textSize, int *line)
{
    if (text && textSize > 0) text[0] = 0;
    if (line) *line = 0;
    return -1;
}

void *VoList_GetItem(tVOLIST *list, int index)
{
    CListScope scope(list);
    if (!scope.Valid() || index < 0 || index >= list->count) return nullptr;
    return ItemArgument(list, index);
}

int64_t VoList_AllocSize(tVOLIST *list, int index)
{
    CListScope scope(list);
    if (!scope.Valid()) return -1;
    if (index >= 0) {
        if (index >= list->count) return -1;
        if (InPlaceItems(list)) return list->itemSize;
        // Items of a plain pointer list belong to the caller, who may not
        // have allocated them from the toolkit at all.
        return OwnsItems(list) ? (int64_t)OwnedItemSize(list, StoredPointer(list, index)) : 0;
    }
    int64_t total = (int64_t)sizeof(tVOLIST) + (int64_t)VoMemSize(list->items);
    if (OwnsItems(list)) {
        for (int i = 0; i < list->count; ++i) total += OwnedItemSize(list, StoredPointer(list, i));
        total += OwnedItemSize(list, list->pendingItem);
    }
    return total;
}
