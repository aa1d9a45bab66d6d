// A text on the heap that grows as parts are appended, for texts whose
// length is not known in advance. The stub uses it instead of the standard
// string classes, whose library code is large in a static Windows program.
// An allocation that fails leaves the text as it was and marks it failed.
#pragma once

#include "platform.h"

class CVoTextBuffer {
public:
    CVoTextBuffer() = default;
    explicit CVoTextBuffer(const VOCHAR *text) { Append(text); }
    ~CVoTextBuffer() { VoMemFree(m_text); }
    CVoTextBuffer(const CVoTextBuffer &) = delete;
    CVoTextBuffer &operator=(const CVoTextBuffer &) = delete;

    // Appends length units of text (all of it when length is kAll).
    static constexpr size_t kAll = (size_t)-1;
    CVoTextBuffer &Append(const VOCHAR *text, size_t length = kAll);
    // Room for units more units and a terminator at the end, for a writer
    // such as VoPrintFN; null when it cannot be had. Commit then adds the
    // units written.
    VOCHAR *Reserve(size_t units);
    void Commit(size_t units);
    void Clear();

    const VOCHAR *Text() const { return m_text ? m_text : kEmpty; }
    // The text in place, writable and terminated (null while empty).
    VOCHAR *Data() { return m_text; }
    size_t Length() const { return m_length; }
    bool Failed() const { return m_failed; }

private:
    static constexpr VOCHAR kEmpty[1] = {0};
    VOCHAR *m_text = nullptr;
    size_t m_length = 0;
    size_t m_capacity = 0;  // units, terminator included
    bool m_failed = false;
};
