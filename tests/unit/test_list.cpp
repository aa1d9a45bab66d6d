#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "list/list.h"

namespace {

struct Record {  // an in-place item: sorted by key, seq tells copies apart
    int32_t key;
    uint32_t seq;
    uint32_t pad;
};

tVOLIST *Make(uint32_t options, uint32_t itemSize = 0, int initial = -1, int growBy = -1)
{
    tVOLIST *list = nullptr;
    EXPECT_EQ(VoList_CreateExZ(&list, itemSize, initial, growBy, options, 0, 0, 0), S_OK);
    return list;
}

// Pointer lists hold small integers cast to pointers; records sort by key.
// Criteria 1 sorts descending.
intptr_t Value(tVOLIST *list, int i) { return (intptr_t)VoList_GetItem(list, i); }
int Order(uint32_t criteria, int32_t x, int32_t y) { return criteria ? (y > x) - (y < x) : (x > y) - (x < y); }
int VOAPI_CALLBACK ComparePointers(uint32_t c, const void *a, const void *b)
{
    return Order(c, (int32_t)(intptr_t)a, (int32_t)(intptr_t)b);
}
int VOAPI_CALLBACK CompareRecords(uint32_t c, const void *a, const void *b)
{
    return Order(c, *(const int32_t *)a, *(const int32_t *)b);
}
// Matches items that begin with the key's 32-bit value (records, owned ints).
int VOAPI_CALLBACK MatchKey(const void *key, const void *item)
{
    return *(const int32_t *)key != *(const int32_t *)item;
}

std::vector<intptr_t> Contents(tVOLIST *list)
{
    std::vector<intptr_t> out;
    for (int i = 0; i < list->count; ++i) out.push_back(Value(list, i));
    return out;
}

// The ints that the items of an owning list hold, in list order.
std::vector<int> OwnedInts(tVOLIST *list)
{
    std::vector<int> out;
    for (int i = 0; i < list->count; ++i) out.push_back(*(int *)VoList_GetItem(list, i));
    return out;
}

void Append(tVOLIST *list, std::vector<intptr_t> values)
{
    for (intptr_t v : values) ASSERT_EQ(VoList_InsertList(list, -1, &v, 1), S_OK);
}

}  // namespace

TEST(ListCreate, SizesGranularityAndRefusals)
{
    tVOLIST *list = Make(0, 0, 0, 0);
    EXPECT_EQ(list->capacity, 16);
    EXPECT_EQ(list->itemSize, sizeof(void *));
    EXPECT_EQ(VoList_IsList(list, sizeof(tVOLIST)), 1);
    EXPECT_EQ(VoList_IsList(list, sizeof(tVOLIST) + 4), 0);
    VoList_Destroy(list);
    list = Make(0, 0, 1, 100000);
    EXPECT_EQ(list->growBy, 66560);
    EXPECT_EQ(list->capacity, 66560);
    VoList_Destroy(list);
    list = Make(VOLIST_INPLACEITEMS, 6, 17, 16);
    EXPECT_EQ(list->capacity, 32);
    EXPECT_EQ(list->itemSize, 8u);
    VoList_Destroy(list);

    tVOLIST *none = nullptr;
    EXPECT_EQ(VoList_CreateExZ(&none, 4, 0, 0, VOLIST_INPLACEITEMS | VOLIST_HEAPITEMS, 0, 0, 0), E_FAIL);
    EXPECT_EQ(VoList_CreateExZ(&none, 4, 0, 0, VOLIST_INPLACERECORD, 0, 0, 0), E_FAIL);
    EXPECT_EQ(VoList_CreateExZ(nullptr, 4, 0, 0, 0, 0, 0, 0), E_INVALIDARG);
    EXPECT_EQ(VoList_CreateExZ(&none, 0, 0, 0, VOLIST_INPLACEITEMS, 0, 0, 0), E_INVALIDARG);
    // A capacity past the 32-bit count is refused instead of wrapping.
    EXPECT_EQ(VoList_CreateExZ(&none, 4, INT32_MAX, 16, VOLIST_INPLACEITEMS, 0, 0, 0), E_OUTOFMEMORY);
    EXPECT_EQ(none, nullptr);
}

TEST(ListCreate, InPlaceRecordAndConversionKeepTheListWorking)
{
    tVOLIST storage, *list = &storage;
    ASSERT_EQ(VoList_CreateExZ(&list, 4, 0, 0, VOLIST_INPLACERECORD | VOLIST_THREADSAFE, 0, 0, 0), S_OK);
    Append(list, {1, 2});
    EXPECT_EQ(VoList_Destroy(list), S_OK);  // frees the slots, not the storage
    EXPECT_EQ(VoList_IsListFast(&storage), 0);
    EXPECT_EQ(VoList_Destroy(&storage), E_INVALIDARG);  // a second destruction does nothing

    list = Make(VOLIST_THREADSAFE);
    Append(list, {7});
    EXPECT_EQ(VoList_ConvertToInPlace(&list, nullptr), E_INVALIDARG);
    EXPECT_EQ(VoList_ConvertToInPlace(&list, &storage), S_OK);
    EXPECT_EQ(list, nullptr);
    tVOLIST *moved = &storage, other;
    EXPECT_EQ(VoList_ConvertToInPlace(&moved, &other), E_FAIL);
    // The new lock serves two threads at once.
    auto fill = [&] { for (intptr_t i = 0; i < 500; ++i) VoList_InsertList(&storage, 0, &i, 1); };
    std::thread a(fill), b(fill);
    a.join();
    b.join();
    EXPECT_EQ(storage.count, 1001);
    EXPECT_EQ(VoList_Destroy(&storage), S_OK);
}

TEST(ListEdit, InsertDeleteAndBounds)
{
    tVOLIST *list = Make(0, 0, 4, 4);
    Append(list, {1, 2});
    intptr_t front = 0, tail[3] = {7, 8, 9};
    EXPECT_EQ(VoList_InsertList(list, 2, tail, 1), S_OK);  // at count: appends
    EXPECT_EQ(VoList_InsertList(list, 0, &front, 1), S_OK);
    EXPECT_EQ(VoList_InsertList(list, 2, tail, -3), S_OK);  // negative n with items
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{0, 1, 7, 8, 9, 2, 7}));
    EXPECT_EQ(list->capacity, 8);
    EXPECT_EQ(VoList_DeleteList(list, list->count, 1, 0), E_FAIL);
    EXPECT_EQ(VoList_DeleteList(list, 1, 0, 0), S_OK);
    EXPECT_EQ(VoList_DeleteList(list, 1, 3, 0), S_OK);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{0, 9, 2, 7}));
    EXPECT_EQ(VoList_DeleteList(list, 2, -1, 0), S_OK);
    EXPECT_EQ(Contents(list), (std::vector<intptr_t>{0, 9}));
    for (int i = list->count; i < list->capacity; ++i) EXPECT_EQ(((void **)list->items)[i], nullptr);
    // Counts that cannot be represented are refused before any copy.
    EXPECT_EQ(VoList_InsertList(list, 0, tail, INT32_MIN), E_OUTOFMEMORY);
    EXPECT_EQ(VoList_GrowAllocated(list, INT32_MAX), E_OUTOFMEMORY);
    EXPECT_EQ(list->capacity, 8);
    VoList_Destroy(list);
}

TEST(ListEdit, CapacityNeverCutsIntoItems)
{
    tVOLIST *list = Make(VOLIST_INPLACEITEMS, 4, 16, 4);
    EXPECT_EQ(VoList_GrowAllocated(list, 9), S_OK);  // rounded up to whole growBy steps
    EXPECT_EQ(list->capacity, 28);
    for (int32_t i = 0; i < 10; ++i) VoList_InsertList(list, -1, &i, 1);
    EXPECT_EQ(VoList_ShrinkAllocated(list, 100), S_OK);  // more than the spare slots
    EXPECT_EQ(list->capacity, 12);
    EXPECT_EQ(VoList_ShrinkAllocated(list, -1), S_OK);  // 2 spare: less than one growBy
    EXPECT_EQ(list->capacity, 12);
    // Inserting a list's own slot survives the growth that frees the old block.
    for (int i = 0; i < 40; ++i) ASSERT_EQ(VoList_InsertList(list, 0, VoList_GetItem(list, 9 + i), 1), S_OK);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(*(int32_t *)VoList_GetItem(list, i), 9);
    EXPECT_EQ(VoList_DeleteList(list, 0, 45, 1), S_OK);
    EXPECT_LE(list->capacity - list->count, list->growBy);

    EXPECT_EQ(VoList_ArrayForceItemCount(list, 200, 0), S_OK);
    EXPECT_EQ(VoList_ArrayForceItemCount(list, 3, 1), S_OK);  // a cut with shrink
    EXPECT_LE(list->capacity, 3 + list->growBy);
    EXPECT_EQ(*(int32_t *)VoList_GetItem(list, 2), 7);
    VoList_Destroy(list);
}

TEST(ListEdit, MoveRangeMatchesRotation)
{
    for (int itemSize : {4, 200}) {  // 200-byte slots take the heap copy
        tVOLIST *list = Make(VOLIST_INPLACEITEMS, itemSize);
        std::vector<uint8_t> slot(itemSize);
        for (int i = 0; i < 10; ++i) {
            slot[0] = (uint8_t)i;
            VoList_InsertList(list, -1, slot.data(), 1);
        }
        std::vector<int> model{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        struct { int from, to, n; } moves[] = {{2, 6, 3}, {7, 1, 2}, {5, 0, -1}, {0, 8, -1}};
        for (auto m : moves) {
            ASSERT_EQ(VoList_MoveRange(list, m.from, m.to, m.n), S_OK);
            int n = m.n < 0 ? 10 - std::max(m.from, m.to) : m.n;
            std::vector<int> block(model.begin() + m.from, model.begin() + m.from + n);
            model.erase(model.begin() + m.from, model.begin() + m.from + n);
            model.insert(model.begin() + m.to, block.begin(), block.end());
            for (int i = 0; i < 10; ++i) EXPECT_EQ(*(uint8_t *)VoList_GetItem(list, i), model[i]) << i;
        }
        EXPECT_EQ(VoList_MoveRange(list, -1, 0, 1), E_INVALIDARG);
        EXPECT_EQ(VoList_MoveRange(list, 8, 0, 3), E_FAIL);
        EXPECT_EQ(VoList_MoveRange(list, 0, 8, 3), E_FAIL);
        VoList_Destroy(list);
    }
}

TEST(ListOwnedItems, PendingItemRulesAndFreeing)
{
    for (uint32_t heap : {0u, VOLIST_PRIVATEHEAP}) {
        tVOLIST *list = Make(VOLIST_HEAPITEMS | heap);
        intptr_t borrowed = 5;
        void *item = nullptr, *other = nullptr;
        EXPECT_EQ(VoList_InsertList(list, 0, &borrowed, 1), E_FAIL);
        EXPECT_EQ(VoList_InsertList(list, 0, nullptr, -1), E_FAIL);  // nothing pending
        EXPECT_EQ(VoList_DeleteList(list, -1, -1, 0), E_FAIL);
        ASSERT_EQ(VoList_AllocItem(list, 16, &item), S_OK);
        EXPECT_EQ(VoList_AllocItem(list, 16, &other), E_FAIL);
        EXPECT_EQ(VoList_InsertList(list, 0, nullptr, -2), E_FAIL);
        EXPECT_EQ(VoList_DeleteList(list, -1, -1, 0), S_OK);  // frees the pending item
        ASSERT_EQ(VoList_AllocItem(list, 16, &item), S_OK);
        EXPECT_EQ(VoList_InsertList(list, 0, &item, -1), S_OK);  // the pending item, through an array
        EXPECT_EQ(list->pendingItem, nullptr);

        int index = 0;
        const char text[] = "owned";
        EXPECT_EQ(VoList_AllocAndInsertItem(list, text, sizeof(text), 0, &index), S_OK);
        EXPECT_EQ(index, 0);
        EXPECT_EQ(VoList_AllocAndInsertItem(list, text, sizeof(text), 99, &index), S_OK);
        EXPECT_EQ(index, 2);
        EXPECT_EQ(VoList_ReAllocItem(list, 2, 4000), S_OK);
        EXPECT_STREQ((const char *)VoList_GetItem(list, 2), "owned");
        EXPECT_EQ(VoList_AllocSize(list, -1),
                  (int64_t)(sizeof(tVOLIST) + list->capacity * sizeof(void *) + 16 + sizeof(text) + 4000));
        EXPECT_EQ(VoList_ReAllocItem(list, 3, 8), E_FAIL);
        EXPECT_EQ(VoList_DeleteList(list, 0, 1, 0), S_OK);
        ASSERT_EQ(VoList_AllocItem(list, 8, &item), S_OK);  // left pending: freed by Destroy
        EXPECT_EQ(VoList_Destroy(list), S_OK);
    }
    tVOLIST *plain = Make(0);
    void *item = nullptr;
    EXPECT_EQ(VoList_AllocItem(plain, 8, &item), E_FAIL);
    EXPECT_EQ(VoList_ArrayForceItemCount(plain, 3, 0), E_FAIL);
    EXPECT_EQ(VoList_AllocSize(plain, -1), (int64_t)(sizeof(tVOLIST) + 16 * sizeof(void *)));
    VoList_Destroy(plain);
}

TEST(ListOwnedItems, MoveBetweenListsKeepsOrderAndOwnership)
{
    tVOLIST *source = Make(VOLIST_HEAPITEMS), *dest = Make(VOLIST_HEAPITEMS);
    for (int i = 0; i < 6; ++i) VoList_AllocAndInsertItem(source, &i, sizeof(i), -1, nullptr);
    int first = 100;
    VoList_AllocAndInsertItem(dest, &first, sizeof(first), -1, nullptr);
    EXPECT_EQ(VoList_MoveItemsBetweenHeapLists(dest, -1, source, 1, 3), S_OK);
    EXPECT_EQ(VoList_MoveItemsBetweenHeapLists(dest, 0, source, 2, 1), S_OK);
    EXPECT_EQ(VoList_MoveItemsBetweenHeapLists(dest, 0, source, 2, 2), E_FAIL);
    EXPECT_EQ(OwnedInts(dest), (std::vector<int>{5, 100, 1, 2, 3}));
    EXPECT_EQ(OwnedInts(source), (std::vector<int>{0, 4}));

    tVOLIST *privateHeap = Make(VOLIST_HEAPITEMS | VOLIST_PRIVATEHEAP);
    EXPECT_EQ(VoList_MoveItemsBetweenHeapLists(privateHeap, 0, source, 0, 1), E_FAIL);
    void *pending = nullptr;
    VoList_AllocItem(dest, 4, &pending);
    EXPECT_EQ(VoList_MoveItemsBetweenHeapLists(dest, 0, source, 0, 1), E_FAIL);
    for (tVOLIST *list : {source, dest, privateHeap}) VoList_Destroy(list);
}

TEST(ListSort, BothSortsMatchStdSortForPointersAndRecords)
{
    std::mt19937 random(7);
    for (int n : {0, 1, 2, 3, 50, 301}) {
        for (uint32_t criteria : {0u, 1u}) {
            std::vector<int32_t> keys(n);
            for (int32_t &k : keys) k = (int32_t)(random() % 40) - 20;
            std::vector<int32_t> expected = keys;
            std::sort(expected.begin(), expected.end());
            if (criteria) std::reverse(expected.begin(), expected.end());
            for (auto sort : {VoList_Sort, VoList_HeapSort}) {
                tVOLIST *pointers = Make(0), *records = Make(VOLIST_INPLACEITEMS, sizeof(Record));
                for (int i = 0; i < n; ++i) {
                    Record r{keys[i], (uint32_t)i, 0};
                    VoList_InsertList(records, -1, &r, 1);
                    void *p = (void *)(intptr_t)keys[i];
                    VoList_InsertList(pointers, -1, &p, 1);
                }
                EXPECT_EQ(sort(pointers, criteria, ComparePointers), S_OK);
                EXPECT_EQ(sort(records, criteria, CompareRecords), S_OK);
                EXPECT_EQ(VoList_GetSortCriteria(records), criteria);
                std::vector<bool> seen(n);
                for (int i = 0; i < n; ++i) {
                    EXPECT_EQ(Value(pointers, i), expected[i]);
                    const Record *r = (const Record *)VoList_GetItem(records, i);
                    EXPECT_EQ(r->key, expected[i]);
                    ASSERT_LT(r->seq, (uint32_t)n);
                    EXPECT_EQ(r->key, keys[r->seq]);  // records move whole
                    EXPECT_FALSE(seen[r->seq]);
                    seen[r->seq] = true;
                }
                VoList_Destroy(pointers);
                VoList_Destroy(records);
            }
        }
    }
}

TEST(ListSearch, BinarySearchAndInsertIndexProperties)
{
    tVOLIST *list = Make(0);
    EXPECT_EQ(VoList_FindSortedInsertIndexRange(list, (void *)5, 0, -1, ComparePointers), 0);
    EXPECT_EQ(VoList_FindSortedItemRange(list, (void *)5, 0, -1, ComparePointers), -1);
    Append(list, {1, 1, 1, 1});
    // The lower middle is probed first among equal items.
    EXPECT_EQ(VoList_FindSortedItemRange(list, (void *)1, 0, -1, ComparePointers), 1);
    EXPECT_EQ(VoList_DeleteList(list, 0, -1, 0), S_OK);

    std::mt19937 random(11);
    std::vector<intptr_t> values(97);
    for (intptr_t &v : values) v = (intptr_t)(random() % 60) * 2;  // even values, duplicates likely
    std::sort(values.begin(), values.end());
    Append(list, values);
    for (intptr_t key = -1; key <= 121; ++key) {
        const int at = VoList_FindSortedInsertIndexRange(list, (void *)key, 0, -1, ComparePointers);
        const int found = VoList_FindSortedItemRange(list, (void *)key, 0, -1, ComparePointers);
        // Inserting at `at` keeps the order; an equal item found is where
        // the key would go.
        ASSERT_TRUE(at >= 0 && at <= list->count);
        if (at > 0) { EXPECT_LE(values[at - 1], key); }
        if (at < list->count) { EXPECT_GE(values[at], key); }
        const bool present = std::binary_search(values.begin(), values.end(), key);
        EXPECT_EQ(found, present ? at : -1) << key;
    }
    EXPECT_EQ(VoList_FindSortedInsertIndexRange(list, (void *)999, 0, -1, ComparePointers), list->count);
    EXPECT_EQ(VoList_FindSortedInsertIndexRange(list, (void *)0, list->count + 1, -1, ComparePointers), -1);
    EXPECT_EQ(VoList_FindSortedInsertIndexRange(list, (void *)0, list->count, -1, ComparePointers), list->count);
    EXPECT_EQ(VoList_FindSortedInsertIndexRange(list, (void *)-1, 10, 5, ComparePointers), 10);  // sub-range
    EXPECT_EQ(VoList_FindSpecificItemRange(list, 0, -1, (void *)1), -1);
    VoList_Destroy(list);
}

TEST(ListSearch, LinearSearchAndSortToOnRecords)
{
    tVOLIST *source = Make(VOLIST_INPLACEITEMS, sizeof(Record)), *sorted = Make(VOLIST_INPLACEITEMS, sizeof(Record));
    const int32_t keys[] = {5, -2, 9, 5, 0};
    for (uint32_t i = 0; i < 5; ++i) {
        Record r{keys[i], i, 0};
        VoList_InsertList(source, -1, &r, 1);
    }
    int32_t key = 5;
    EXPECT_EQ(VoList_FindItemRange(source, 1, -1, &key, MatchKey), 3);
    EXPECT_EQ(VoList_FindItemRange(source, 1, 2, &key, MatchKey), -1);
    Record probe{9, 2, 0};
    EXPECT_EQ(VoList_FindSpecificItemRange(source, 0, -1, &probe), 2);
    EXPECT_EQ(VoList_SortTo(sorted, source, 1, CompareRecords), S_OK);  // descending
    std::vector<int32_t> got;
    for (int i = 0; i < sorted->count; ++i) got.push_back(((Record *)VoList_GetItem(sorted, i))->key);
    EXPECT_EQ(got, (std::vector<int32_t>{9, 5, 5, 0, -2}));
    tVOLIST *pointers = Make(0), *owning = Make(VOLIST_HEAPITEMS);
    EXPECT_EQ(VoList_SortTo(pointers, source, 0, CompareRecords), E_FAIL);
    EXPECT_EQ(VoList_SortTo(owning, pointers, 0, ComparePointers), E_FAIL);
    for (tVOLIST *list : {source, sorted, pointers, owning}) VoList_Destroy(list);
}

TEST(ListThreads, ConcurrentInsertAndDeleteStayConsistent)
{
    tVOLIST *list = Make(VOLIST_HEAPITEMS | VOLIST_THREADSAFE);
    auto work = [list](int base) {
        for (int i = 0; i < 2000; ++i) {
            int value = base + i;
            ASSERT_EQ(VoList_AllocAndInsertItem(list, &value, sizeof(value), i % 2 ? 0 : -1, nullptr), S_OK);
            if (i % 4 == 0) {  // take the item just added out again, found by search
                CVoListLock hold(list);
                const int at = VoList_FindItemRange(list, 0, -1, &value, MatchKey);
                ASSERT_GE(at, 0);
                ASSERT_EQ(VoList_DeleteList(list, at, 1, 1), S_OK);
            }
        }
    };
    std::thread a(work, 0), b(work, 100000);
    a.join();
    b.join();
    std::vector<int> values = OwnedInts(list), expected;
    for (int base : {0, 100000})
        for (int i = 0; i < 2000; ++i)
            if (i % 4) expected.push_back(base + i);
    std::sort(values.begin(), values.end());
    EXPECT_EQ(values, expected);
    VoList_Destroy(list);
}

TEST(ListAccessors, NullListsAndUserData)
{
    tVOLIST *list = Make(0);
    EXPECT_EQ(VoList_SetUserData(list, 42), 0u);
    EXPECT_EQ(VoList_SetUserData(list, 43), 42u);
    VoList_Destroy(list);
    int value = 0;
    EXPECT_EQ(VoList_Destroy(nullptr), S_OK);
    EXPECT_EQ(VoList_InsertList(nullptr, 0, &value, 1), E_INVALIDARG);
    EXPECT_EQ(VoList_DeleteList(nullptr, 0, 1, 0), E_INVALIDARG);
    EXPECT_EQ(VoList_Sort(nullptr, 0, ComparePointers), E_INVALIDARG);
    EXPECT_EQ(VoList_FindSortedItemRange(nullptr, nullptr, 0, -1, ComparePointers), -1);
    EXPECT_EQ(VoList_AllocSize(nullptr, -1), -1);
    EXPECT_EQ(VoList_GetItem(nullptr, 0), nullptr);
}
