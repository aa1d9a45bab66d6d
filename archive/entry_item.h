// Inside the engine: the items of the entry list while an archive is
// written.
#pragma once

#include <cstddef>

#include "archive/archive.h"

// Create and append modes: one item per entry written since Open, in the
// order of the central directory to be written. The list holds each item
// only up to its name's terminator (ArcEntryItemSize), so that an archive
// of many entries costs what their names take.
struct ArcEntryItem {
    ArcLocalHeader header;
    uint64_t headerOffset;  // archive offset of the local header
    VOCHAR name[ARC_TEXT_UNITS];
};

inline size_t ArcEntryItemSize(const ArcEntryItem *item)
{
    return offsetof(ArcEntryItem, name) + (VoStrLen(item->name) + 1) * sizeof(VOCHAR);
}

// Delete mode: one item per directory record of the archive.
struct ArcDeleteItem {
    uint32_t deleteFlag;
    uint32_t spare;
    int64_t newOffset;
};
