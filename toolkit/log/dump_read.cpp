// Readability of memory for the dumps: Windows asks the memory manager
// about the page; elsewhere the dumps are only ever given the process's own
// buffers, which are taken as readable.
#include "log/dump_internal.h"

#include <cstring>

namespace {

bool IsReadable(const void *address, size_t size)
{
    if (!address) return false;
#ifdef _WIN32
    MEMORY_BASIC_INFORMATION info;
    const char *start = static_cast<const char *>(address);
    for (const char *p = start; p < start + size;) {
        if (VirtualQuery(p, &info, sizeof info) != sizeof info || info.State != MEM_COMMIT) return false;
        DWORD protect = info.Protect & 0xFF;
        if ((info.Protect & PAGE_GUARD) || protect == PAGE_NOACCESS || protect == PAGE_EXECUTE) return false;
        p = static_cast<const char *>(info.BaseAddress) + info.RegionSize;
    }
#else
    (void)size;
#endif
    return true;
}

}  // namespace

bool VoDumpReadByte(const void *address, uint8_t *value)
{
    if (!IsReadable(address, 1)) return false;
    *value = *static_cast<const volatile uint8_t *>(address);
    return true;
}

bool VoDumpReadWord(const void *address, uint32_t *value)
{
    if (!IsReadable(address, 4)) return false;
    memcpy(value, address, 4);
    return true;
}

bool VoDumpReadSlot(const void *address, uintptr_t *value)
{
    if (!IsReadable(address, sizeof *value)) return false;
    memcpy(value, address, sizeof *value);
    return true;
}
