// The growing heap text.
#include "text_buffer.h"

#include <cstring>

VOCHAR *CVoTextBuffer::Reserve(size_t units)
{
    size_t needed = m_length + units + 1;
    if (units >= ((size_t)-1) / sizeof(VOCHAR) / 2 - m_length) {
        m_failed = true;
        return nullptr;
    }
    if (needed > m_capacity) {
        size_t capacity = m_capacity ? m_capacity * 2 : 64;
        if (capacity < needed) capacity = needed;
        VOCHAR *text = (VOCHAR *)VoMemAlloc(capacity * sizeof(VOCHAR));
        if (!text) {
            m_failed = true;
            return nullptr;
        }
        if (m_text) memcpy(text, m_text, (m_length + 1) * sizeof(VOCHAR));
        else text[0] = 0;
        VoMemFree(m_text);
        m_text = text;
        m_capacity = capacity;
    }
    return m_text + m_length;
}

void CVoTextBuffer::Commit(size_t units)
{
    if (!m_text || m_length + units >= m_capacity) return;
    m_length += units;
    m_text[m_length] = 0;
}

CVoTextBuffer &CVoTextBuffer::Append(const VOCHAR *text, size_t length)
{
    if (!text) return *this;
    if (length == kAll) length = VoStrLen(text);
    VOCHAR *end = Reserve(length);
    if (end) {
        memcpy(end, text, length * sizeof(VOCHAR));
        Commit(length);
    }
    return *this;
}

void CVoTextBuffer::Clear()
{
    m_length = 0;
    if (m_text) m_text[0] = 0;
    m_failed = false;
}
