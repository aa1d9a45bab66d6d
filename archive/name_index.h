// Inside the engine: entry names found by the engine's case-insensitive
// comparison (VoStrCmpI) in O(log n) instead of a walk of every entry.
// Names are added, sorted once by that same comparison (stably, so that of
// equal names the first added is found), then looked up.
//
//   CArcNameIndex index;
//   index.Add(name, position);   // for each entry, in directory order
//   index.Sort();
//   int64_t position = index.Find(name);   // -1: no such name
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "platform.h"

class CArcNameIndex {
public:
    void Add(const VOCHAR *name, int64_t value);
    void Sort();
    // The value of the first added name equal to name, -1 when none is.
    int64_t Find(const VOCHAR *name) const;
    bool Empty() const { return m_entries.empty(); }

private:
    // Where a name starts in m_text, and its value.
    std::vector<std::pair<size_t, int64_t>> m_entries;
    std::vector<VOCHAR> m_text;  // the names, each terminated
};
