// CLog: a text log file shared by the threads of a process.
//
// Lines carry a type prefix ("ERR ", "WARN", "INFO", "DBG ", "????"),
// optionally the local date and time and the source position, and the
// message. Init and Write hold the log's lock for their whole work, so lines
// of several threads never interleave and rotation happens exactly once:
// when a line finds the file at maxSize bytes or more, the file becomes
// "<name>.previous" (replacing an older one) and a new file starts.
//
// The file is UTF-8 with CR LF line ends on every system, so that any text
// survives and a log reads the same wherever it was written.
#pragma once

#include <cstdio>
#include <memory>

#include "platform.h"

class CLog {
public:
    enum LOGFLAGS : uint32_t {
        LOG_ERR = 0x00001,
        LOG_WARN = 0x00002,
        LOG_INFO = 0x00004,
        LOG_DBG = 0x00008,
        LOG_TIMESTAMP = 0x10000,
        LOG_SOURCE = 0x20000,
    };
    // Longest message of one line, in UTF-16 units; longer ones are cut.
    static const int kMaxMessage = 1023;

    CLog();
    virtual ~CLog();
    // A copy writes to the same open file; the file closes with the last
    // holder. Each object has a lock of its own.
    CLog(const CLog &other);
    CLog &operator=(const CLog &other);

    // Opens fileName for appending. E_INVALIDARG for a null name, flags 0 or
    // a name too long to take ".previous" within 259 units; VO_E_OPENFAILED
    // when the file cannot be opened.
    HRESULT Init(const VOCHAR *fileName, uint32_t flags, int32_t maxSize);
    // Writes one line when (type & flags & 0xFFFF) is not 0; S_OK also when
    // the type is not selected. VO_E_NOTENABLED before Init; VO_E_OPENFAILED
    // when the file could not be reopened after rotation (the log is then
    // disabled). The message is formatted with VoVPrintFN, with the C
    // conversions only: a "$" in the format is written as it stands.
    HRESULT Write(uint32_t type, const VOCHAR *sourceFile, int sourceLine, const VOCHAR *format, ...);
    HRESULT WriteV(uint32_t type, const VOCHAR *sourceFile, int sourceLine, const VOCHAR *format, va_list args);
    void Shutdown();
    const VOCHAR *GetLogFileName() const { return m_fileName; }
    bool IsEnabled() const { return m_enabled != 0; }

private:
    bool Open();
    bool Rotate();
    void WriteLine(uint32_t type, const VOCHAR *sourceFile, int sourceLine, const VOCHAR *message);

    int32_t m_enabled = 0;
    std::shared_ptr<FILE> m_stream;
    uint32_t m_flags = 0;
    int32_t m_maxSize = -1;
    VOCHAR m_fileName[260] = {};
    VOCHAR m_previousName[260] = {};
    tVOLOCK m_lock;
};
