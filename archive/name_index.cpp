// Entry names sorted for lookups.
#include "archive/name_index.h"

#include <algorithm>

void CArcNameIndex::Add(const VOCHAR *name, int64_t value)
{
    m_entries.emplace_back(m_text.size(), value);
    size_t length = VoStrLen(name);
    m_text.insert(m_text.end(), name, name + length + 1);
}

void CArcNameIndex::Sort()
{
    const VOCHAR *text = m_text.data();
    std::stable_sort(m_entries.begin(), m_entries.end(), [text](const auto &a, const auto &b) {
        return VoStrCmpI(text + a.first, text + b.first) < 0;
    });
}

int64_t CArcNameIndex::Find(const VOCHAR *name) const
{
    const VOCHAR *text = m_text.data();
    auto at = std::lower_bound(m_entries.begin(), m_entries.end(), name, [text](const auto &entry, const VOCHAR *key) {
        return VoStrCmpI(text + entry.first, key) < 0;
    });
    if (at == m_entries.end() || VoStrCmpI(text + at->first, name) != 0) return -1;
    return at->second;
}
