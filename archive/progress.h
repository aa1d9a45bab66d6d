// CVoArchiveProgress: the object through which the archive engine reports
// and asks. The engine announces each phase with Begin, reports bytes with
// OnProgress, the entry or path it works on with SetText, each failure with
// OnError (a diagnostic code, the failing operation's name as the text),
// and asks questions with OnStatus(ARC_STAT_ASK...) followed by GetAnswer.
//
// Answers and commands travel the other way through one pending answer that
// the engine polls after every chunk of data: SetAnswer(VO_E_CANCEL) from any
// thread stops the running operation; VO_E_PAUSE makes the engine wait in
// GetAnswer until the next SetAnswer.
//
// Each object owns a private semaphore, so a pause or cancel meant for one
// object can never release a wait on another (in this process or another).
#pragma once

#include <atomic>

#include "log/errors.h"
#include "platform.h"

// Answers read with GetAnswer (besides VO_E_CANCEL and VO_E_PAUSE).
#define ARC_ANSWER_YES    1
#define ARC_ANSWER_NO     2
#define ARC_ANSWER_YESALL 3
#define ARC_ANSWER_NOALL  4

// Status and question codes passed to OnStatus.
#define ARC_STAT_ITEMDONE     0x00000000u
#define ARC_STAT_EXTRACT      0x0AAAAAA0u
#define ARC_STAT_ADD          0x0AAAAAA1u
#define ARC_STAT_DELETE       0x0AAAAAA3u
#define ARC_STAT_ASK          0x0AAAAAA4u
#define ARC_STAT_SKIP         0x0AAAAAA5u
#define ARC_STAT_REPLACE      0x0AAAAAA6u
#define ARC_STAT_COPY         0x0AAAAAA7u
#define ARC_STAT_VALIDATE     0x0AAAAAA8u
#define ARC_STAT_ASKREADONLY  0x0AAAAAA9u
#define ARC_STAT_BEGIN        0x0AAAAAAEu
#define ARC_STAT_DONE         0x0AAAAAAFu

// Diagnostic codes passed to OnError.
#define ARC_ERR_INVALIDARG 0xAAAAAAA0u
#define ARC_ERR_BADSTATE   0xAAAAAAA1u
#define ARC_ERR_CREATE     0xAAAAAAA2u
#define ARC_ERR_NOMEMORY   0xAAAAAAA3u
#define ARC_ERR_OPEN       0xAAAAAAA4u
#define ARC_ERR_SIGNATURE  0xAAAAAAA5u
#define ARC_ERR_BLOCK      0xAAAAAAA6u
#define ARC_ERR_BUFFER     0xAAAAAAA7u
#define ARC_ERR_DISKSPACE  0xAAAAAAA8u
#define ARC_ERR_WRITE      0xAAAAAAA9u
#define ARC_ERR_READ       0xAAAAAAAAu
#define ARC_ERR_FILETIME   0xAAAAAAABu
#define ARC_ERR_NOWILDCARD 0xAAAAAAACu
#define ARC_ERR_VOLUME     0xAAAAAAADu
#define ARC_ERR_NOFILE     0xAAAAAAAEu
#define ARC_ERR_CRC        0xAAAAAAAFu
#define ARC_ERR_NOTOPEN    0xAAAAAAB0u
#define ARC_ERR_EXISTS     0xAAAAAAB1u  // an output that may not be replaced exists
#define ARC_ERR_BADNAME    0xAAAAAAB2u  // a name Windows cannot hold, refused when adding
#define ARC_ERR_DUPLICATE  0xAAAAAAB3u  // a name added before, but for letter case

#define ARC_TEXT_UNITS 260

class CVoArchiveProgress {
public:
    CVoArchiveProgress();
    explicit CVoArchiveProgress(uintptr_t owner);
    virtual ~CVoArchiveProgress();
    CVoArchiveProgress(const CVoArchiveProgress &) = delete;
    CVoArchiveProgress &operator=(const CVoArchiveProgress &) = delete;

    // Copies text, sets the phase's total, keeps done at most the total,
    // then reports ARC_STAT_BEGIN.
    virtual int Begin(const VOCHAR *text, uint32_t totalLow, uint32_t totalHigh);
    virtual int OnError(uint32_t diagnostic);
    virtual int OnStatus(uint32_t status);
    // Adds the count to done.
    virtual int OnProgress(uint32_t countLow, uint32_t countHigh);

    // Copies at most 259 units and terminates.
    void SetText(const VOCHAR *text);
    // Waits while the pending answer is VO_E_PAUSE, then takes it (0 after).
    HRESULT GetAnswer();
    // Stores the pending answer and wakes a waiting GetAnswer.
    void SetAnswer(HRESULT value);

    const VOCHAR *GetText() const { return m_text; }
    uint64_t GetTotal() const { return m_total; }
    uint64_t GetDone() const { return m_done; }
    uintptr_t GetOwner() const { return m_owner; }

protected:
    HVOSEMAPHORE m_semaphore;
    std::atomic<int32_t> m_pendingAnswer;
    uintptr_t m_owner;
    uint64_t m_total;
    uint64_t m_spare;
    uint64_t m_done;
    uint64_t m_counters[3];
    VOCHAR m_text[ARC_TEXT_UNITS];
};

// Splits a 64-bit count into the two halves the progress calls take.
inline uint32_t ArcLow(uint64_t value) { return (uint32_t)value; }
inline uint32_t ArcHigh(uint64_t value) { return (uint32_t)(value >> 32); }
