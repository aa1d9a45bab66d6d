// Inside the engine: where an entry's data is read from.
#pragma once

#include "fileio.h"

// The main file or a volume, and how many bytes of the data stream that
// file still holds from the current position.
struct ArcDataSource {
    HVOFILE file = nullptr;
    bool ownsFile = false;  // a volume opened for this entry
    int volume = 1;
    uint64_t bytesLeft = 0;
    ArcDataSource() = default;
    ArcDataSource(const ArcDataSource &) = delete;
    ArcDataSource &operator=(const ArcDataSource &) = delete;
    ~ArcDataSource() { if (ownsFile) VoFileClose(file); }
};
