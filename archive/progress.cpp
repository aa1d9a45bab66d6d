// The default behaviour of the archive progress object.
#include "archive/progress.h"

CVoArchiveProgress::CVoArchiveProgress() : CVoArchiveProgress(0) {}

CVoArchiveProgress::CVoArchiveProgress(uintptr_t owner)
    : m_semaphore(VoSemaphoreCreate(0, 1)), m_pendingAnswer(0), m_owner(owner), m_total(0),
      m_spare(0), m_done(0), m_counters{0, 0, 0}, m_text{0}
{
}

CVoArchiveProgress::~CVoArchiveProgress()
{
    VoSemaphoreClose(m_semaphore);
}

int CVoArchiveProgress::Begin(const VOCHAR *text, uint32_t totalLow, uint32_t totalHigh)
{
    SetText(text);
    m_total = (uint64_t)totalHigh << 32 | totalLow;
    if (m_done > m_total) m_done = m_total;
    return OnStatus(ARC_STAT_BEGIN);
}

int CVoArchiveProgress::OnError(uint32_t)
{
    return 0;
}

int CVoArchiveProgress::OnStatus(uint32_t)
{
    return 0;
}

int CVoArchiveProgress::OnProgress(uint32_t countLow, uint32_t countHigh)
{
    m_done += (uint64_t)countHigh << 32 | countLow;
    return 0;
}

void CVoArchiveProgress::SetText(const VOCHAR *text)
{
    VoStrCopyN(m_text, text, ARC_TEXT_UNITS);
}

HRESULT CVoArchiveProgress::GetAnswer()
{
    // A release left over from an answer that was taken without waiting
    // wakes the wait once too early; the loop then simply waits again.
    for (;;) {
        int32_t value = m_pendingAnswer.load();
        if (value == VO_E_PAUSE) {
            VoSemaphoreWait(m_semaphore);
            continue;
        }
        // Take the answer only if no pause was stored in the meantime.
        if (m_pendingAnswer.compare_exchange_weak(value, 0)) return value;
    }
}

void CVoArchiveProgress::SetAnswer(HRESULT value)
{
    m_pendingAnswer.store(value);
    VoSemaphoreRelease(m_semaphore);
}
