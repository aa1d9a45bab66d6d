// Zero-filled memory blocks that know their size, and private heaps.
//
// Windows uses the process heap and HeapCreate. The POSIX build puts a small
// header in front of every block: the size, and for private heaps the links
// that let the heap release all its blocks at once.
#include "platform.h"

#include <cstdlib>
#include <cstring>

#ifdef _WIN32

void *VoMemAlloc(size_t size)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
}

void *VoMemReAlloc(void *block, size_t size)
{
    if (!block) return VoMemAlloc(size);
    return HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, block, size ? size : 1);
}

void VoMemFree(void *block)
{
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

size_t VoMemSize(const void *block)
{
    return block ? HeapSize(GetProcessHeap(), 0, block) : 0;
}

HVOHEAP VoHeapCreate(size_t initialSize)
{
    return (HVOHEAP)HeapCreate(HEAP_NO_SERIALIZE, initialSize, 0);
}

void VoHeapDestroy(HVOHEAP heap)
{
    if (heap) HeapDestroy((HANDLE)heap);
}

void *VoHeapAlloc(HVOHEAP heap, size_t size)
{
    return HeapAlloc((HANDLE)heap, HEAP_NO_SERIALIZE | HEAP_ZERO_MEMORY, size ? size : 1);
}

void *VoHeapReAlloc(HVOHEAP heap, void *block, size_t size)
{
    return HeapReAlloc((HANDLE)heap, HEAP_NO_SERIALIZE | HEAP_ZERO_MEMORY, block, size ? size : 1);
}

void VoHeapFree(HVOHEAP heap, void *block)
{
    if (block) HeapFree((HANDLE)heap, HEAP_NO_SERIALIZE, block);
}

size_t VoHeapSize(HVOHEAP heap, const void *block)
{
    return block ? HeapSize((HANDLE)heap, HEAP_NO_SERIALIZE, block) : 0;
}

#else

namespace {
// 16 bytes keep the caller's part aligned as malloc's own blocks are.
struct alignas(16) BlockHeader {
    size_t size;
};

struct alignas(16) HeapBlockHeader {
    HeapBlockHeader *prev;
    HeapBlockHeader *next;
    size_t size;
};
}

struct tVOHEAP {
    HeapBlockHeader head;  // circular list of live blocks
};

void *VoMemAlloc(size_t size)
{
    if (size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    BlockHeader *h = (BlockHeader *)calloc(1, sizeof(BlockHeader) + size);
    if (!h) return nullptr;
    h->size = size;
    return h + 1;
}

void *VoMemReAlloc(void *block, size_t size)
{
    if (!block) return VoMemAlloc(size);
    if (size > SIZE_MAX - sizeof(BlockHeader)) return nullptr;
    BlockHeader *old = (BlockHeader *)block - 1;
    size_t oldSize = old->size;
    BlockHeader *h = (BlockHeader *)realloc(old, sizeof(BlockHeader) + size);
    if (!h) return nullptr;
    if (size > oldSize) memset((char *)(h + 1) + oldSize, 0, size - oldSize);
    h->size = size;
    return h + 1;
}

void VoMemFree(void *block)
{
    if (block) free((BlockHeader *)block - 1);
}

size_t VoMemSize(const void *block)
{
    return block ? ((const BlockHeader *)block - 1)->size : 0;
}

HVOHEAP VoHeapCreate(size_t)
{
    tVOHEAP *heap = (tVOHEAP *)calloc(1, sizeof(tVOHEAP));
    if (!heap) return nullptr;
    heap->head.prev = heap->head.next = &heap->head;
    return heap;
}

void VoHeapDestroy(HVOHEAP heap)
{
    if (!heap) return;
    HeapBlockHeader *p = heap->head.next;
    while (p != &heap->head) {
        HeapBlockHeader *next = p->next;
        free(p);
        p = next;
    }
    free(heap);
}

static void LinkBlock(HVOHEAP heap, HeapBlockHeader *h)
{
    h->prev = &heap->head;
    h->next = heap->head.next;
    heap->head.next->prev = h;
    heap->head.next = h;
}

static void UnlinkBlock(HeapBlockHeader *h)
{
    h->prev->next = h->next;
    h->next->prev = h->prev;
}

void *VoHeapAlloc(HVOHEAP heap, size_t size)
{
    if (!heap || size > SIZE_MAX - sizeof(HeapBlockHeader)) return nullptr;
    HeapBlockHeader *h = (HeapBlockHeader *)calloc(1, sizeof(HeapBlockHeader) + size);
    if (!h) return nullptr;
    h->size = size;
    LinkBlock(heap, h);
    return h + 1;
}

void *VoHeapReAlloc(HVOHEAP heap, void *block, size_t size)
{
    if (!block) return VoHeapAlloc(heap, size);
    if (size > SIZE_MAX - sizeof(HeapBlockHeader)) return nullptr;
    HeapBlockHeader *old = (HeapBlockHeader *)block - 1;
    size_t oldSize = old->size;
    UnlinkBlock(old);
    HeapBlockHeader *h = (HeapBlockHeader *)realloc(old, sizeof(HeapBlockHeader) + size);
    if (!h) {
        LinkBlock(heap, old);
        return nullptr;
    }
    if (size > oldSize) memset((char *)(h + 1) + oldSize, 0, size - oldSize);
    h->size = size;
    LinkBlock(heap, h);
    return h + 1;
}

void VoHeapFree(HVOHEAP, void *block)
{
    if (!block) return;
    HeapBlockHeader *h = (HeapBlockHeader *)block - 1;
    UnlinkBlock(h);
    free(h);
}

size_t VoHeapSize(HVOHEAP, const void *block)
{
    return block ? ((const HeapBlockHeader *)block - 1)->size : 0;
}

#endif
