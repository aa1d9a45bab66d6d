// Error messages from the string tables, the details shown with them, and
// the crash report of the stub.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "log/errors.h"
#include "msgbox/msgbox.h"

namespace {

std::wstring g_seen;
int g_calls = 0;

int CALLBACK RecordingHook(LPARAM, HWND, const wchar_t *text, const wchar_t *, UINT)
{
    g_seen = text ? text : L"";
    ++g_calls;
    return IDOK;
}

class ErrorReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        VoMsgBoxSetAppData(GetModuleHandleW(nullptr), nullptr, L"Report Test");
        VoMsgBoxSetHook(RecordingHook, 0);
        VoErrorHandler_DetailsInit();
        g_seen.clear();
        g_calls = 0;
    }
    void TearDown() override { VoMsgBoxSetAppData(GetModuleHandleW(nullptr), nullptr, L""); }
};

TEST_F(ErrorReport, MessagesFromKeysAndCodeTexts)
{
    EXPECT_STREQ(VoErrorHandler_GetErrorMessage(VO_MSG_KEY(VO_MSG_OPEN_FILE), VO_E_SHARING, L"a.txt"),
                 L"The file a.txt could not be opened.\nThe file is in use by another program.");
    EXPECT_STREQ(VoErrorHandler_GetErrorMessage(VO_MSG_KEY(999), E_OUTOFMEMORY, L"Copying"),
                 L"Copying\nNot enough memory.");
    EXPECT_STREQ(VoErrorHandler_GetErrorMessage(L"Step: ", (HRESULT)0x8004E0FE, nullptr),
                 L"Step: Unknown error (code 0x8004E0FE).");
}

TEST_F(ErrorReport, CancelShowsNothingAndDetailsGoWithTheNextBox)
{
    EXPECT_EQ(VoErrorHandler_MsgBox(nullptr, MB_OK, VO_MSG_KEY(VO_MSG_GENERIC), VO_E_CANCEL, L"x", FALSE), 1);
    EXPECT_EQ(g_calls, 0);
    VoErrorHandler_DetailsAddString(E_FAIL, L"first detail");
    VoErrorHandler_DetailsAddString(E_FAIL, L"second detail");
    BSTR composed = VoErrorHandler_ComposeErrorText(VO_MSG_KEY(VO_MSG_WRITE_FILE), VO_E_DISKFULL, L"out.bin");
    ASSERT_NE(composed, nullptr);
    EXPECT_STREQ(composed, L"The file out.bin could not be written.\nThere is not enough disk space.\r\n<Details>\r\n"
                          L"first detail\r\nsecond detail\r\n\r\n</Details>");
    SysFreeString(composed);
    EXPECT_EQ(VoErrorHandler_MsgBox(nullptr, MB_OK, VO_MSG_KEY(VO_MSG_WRITE_FILE), VO_E_DISKFULL, L"out.bin", TRUE),
              IDOK);
    EXPECT_EQ(g_seen.rfind(L"The following error occurred:The file out.bin", 0), 0u);
    EXPECT_NE(g_seen.find(L"\r\n<Details>\r\nfirst detail\r\nsecond detail"), std::wstring::npos);
    // The details went with that box.
    EXPECT_EQ(VoErrorHandler_DetailsInfo(nullptr, nullptr, nullptr), nullptr);
}

std::wstring WindowsPath(const char *unixPath)
{
    std::wstring path = L"Z:";
    for (const char *c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : (wchar_t)*c;
    return path;
}

// A crash of the stub is reported with its dump; a quiet run writes the
// report to its log instead of waiting on a box.
// Runs the stub with its test triggers, one of them set to value, and
// returns its exit code (0xFFFFFFFF when it did not start or end in time).
DWORD RunTestStub(const wchar_t *trigger, const wchar_t *value)
{
    std::wstring command = L"\"" + WindowsPath(VOX_CRASHTEST_STUB) + L"\" /QUIET";
    SetEnvironmentVariableW(trigger, value);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    SetEnvironmentVariableW(trigger, nullptr);
    DWORD code = 0xFFFFFFFFu;
    if (!started) return code;
    if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) TerminateProcess(process.hProcess, code);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(CrashReport, TheStubReportsAnUnhandledExceptionWithItsDump)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring log = std::wstring(temp) + L"voxstub_crashtest.log";
    DeleteFileW(log.c_str());
    EXPECT_EQ(RunTestStub(L"VOX_TEST_CRASH", L"1"), 0xC0000005u);
    std::ifstream file(std::filesystem::path(log), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    std::string report = text.str();
    EXPECT_NE(report.find("stopped because of an unexpected error"), std::string::npos) << report;
    EXPECT_NE(report.find("<Details>"), std::string::npos);
    EXPECT_NE(report.find("Exception 0xC0000005 (access violation) WRITE:0x0"), std::string::npos) << report;
    EXPECT_NE(report.find("Registers:"), std::string::npos);
    EXPECT_NE(report.find("Stack Dump:"), std::string::npos);
    DeleteFileW(log.c_str());
}

// The stub's clean-up of its work folder removes a link planted there, not
// what it leads to.
TEST(StubCleanup, ALinkInTheWorkFolderIsRemovedNotFollowed)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::filesystem::path base = std::filesystem::path(temp) / ("vox-cleanup-" + std::to_string(GetCurrentProcessId()));
    std::filesystem::create_directories(base / "outside");
    std::filesystem::create_directories(base / "work" / "sub");
    std::ofstream(base / "outside" / "keep.txt") << "keep";
    std::ofstream(base / "work" / "sub" / "own.txt") << "own";
    std::wstring link = (base / "work" / "link").wstring();
    if (!CreateSymbolicLinkW(link.c_str(), (base / "outside").wstring().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        std::filesystem::remove_all(base);
        GTEST_SKIP() << "no symbolic link could be made here (error " << GetLastError() << ")";
    }
    EXPECT_EQ(RunTestStub(L"VOX_TEST_DELETE_TREE", (base / "work").wstring().c_str()), 0u);
    EXPECT_FALSE(std::filesystem::exists(base / "work"));
    EXPECT_TRUE(std::filesystem::exists(base / "outside" / "keep.txt"));
    std::filesystem::remove_all(base);
}

}  // namespace
