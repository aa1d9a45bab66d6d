// The progress object of voxpack's commands: a progress bar on a terminal,
// one line per failure, and the overwrite questions.
#pragma once

#include <chrono>
#include <string>

#include "archive/archive.h"
#include "archive/progress.h"
#include "cli.h"

enum class OverwritePolicy {
    Ask,      // on a terminal: ask; elsewhere: keep and report
    Replace,  // --overwrite
    Keep,     // --skip-existing
};

class CConsoleProgress : public CVoArchiveProgress {
public:
    CConsoleProgress(const std::string &archive, bool showBar, bool verbose);

    // The whole run's size and entry count, for the bar.
    void SetPlan(uint64_t bytes, uint64_t entries);
    void SetOverwritePolicy(OverwritePolicy policy) { m_policy = policy; }
    // What the user can do about a file kept for want of an answer.
    void SetKeepHint(const std::string &hint) { m_keepHint = hint; }
    // Clears the bar's line before other output.
    void Finish();

    int OnError(uint32_t diagnostic) override;
    int OnStatus(uint32_t status) override;
    int OnProgress(uint32_t countLow, uint32_t countHigh) override;

    int Failures() const { return m_failures; }
    int KeptByDefault() const { return m_keptByDefault; }
    // Prints a failure of the run that came as a result code only.
    void ReportResult(HRESULT result, const std::string &what);
    // Prints a failure told in words of the caller's own.
    void ReportFailure(const std::string &what);

private:
    void Draw(bool force);
    void ClearBar();
    void AnswerQuestion(bool readOnly);

    std::string m_archive;
    std::string m_entry;  // the entry being worked on
    std::string m_lastError;
    bool m_showBar;
    bool m_verbose;
    bool m_barShown = false;
    OverwritePolicy m_policy = OverwritePolicy::Ask;
    std::string m_keepHint = "use --overwrite to replace it";
    uint64_t m_planBytes = 0, m_planEntries = 0;
    uint64_t m_bytesDone = 0, m_entriesDone = 0;
    int m_failures = 0;
    int m_keptByDefault = 0;
    std::chrono::steady_clock::time_point m_lastDraw;
};

// Words for an engine diagnostic code, for error lines.
const char *DescribeDiagnostic(uint32_t diagnostic);
// Words for an engine result code.
std::string DescribeResult(HRESULT result);
// Words for the result of opening (or annotating) an archive: a damaged
// directory names the entry where the walk stopped.
std::string DescribeOpenResult(const CArchive2 &archive, HRESULT result);
