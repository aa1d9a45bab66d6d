// Inside the engine: the items of the entry list while an archive is
// written.
#pragma once

#include "archive/archive.h"

// Create and append modes: one item per entry written since Open, in the
// order of the central directory to be written.
struct ArcEntryItem {
    ArcLocalHeader header;
    uint64_t headerOffset;  // archive offset of the local header
    VOCHAR name[ARC_TEXT_UNITS];
    VOCHAR second[ARC_TEXT_UNITS];  // always empty
};

// Delete mode: one item per directory record of the archive.
struct ArcDeleteItem {
    uint32_t deleteFlag;
    uint32_t spare;
    int64_t newOffset;
};
