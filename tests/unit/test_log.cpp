// The log file, the error tables, the details collection and the dumps.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "format/format.h"
#include "log/clog.h"
#include "log/errors.h"
#include "scratch.h"

namespace fs = std::filesystem;

namespace {

std::string ReadText(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

TEST(Log, RefusalsAndSelection)
{
    ScratchFolder s;
    CLog log;
    VoString path = ToVo(s / "run.log");
    EXPECT_EQ(log.Write(CLog::LOG_ERR, nullptr, 0, VOTEXT("early")), VO_E_NOTENABLED);
    EXPECT_EQ(log.Init(path.c_str(), 0, 0), E_INVALIDARG);
    EXPECT_EQ(log.Init(nullptr, CLog::LOG_ERR, 0), E_INVALIDARG);
    EXPECT_EQ(log.Init(ToVo(s / "missing" / "run.log").c_str(), CLog::LOG_ERR, 0), VO_E_OPENFAILED);
    ASSERT_EQ(log.Init(path.c_str(), CLog::LOG_ERR, 0), S_OK);
    EXPECT_EQ(log.Write(CLog::LOG_WARN, nullptr, 0, VOTEXT("not selected")), S_OK);
    EXPECT_EQ(log.Write(3, nullptr, 0, VOTEXT("both %d"), 2), S_OK);
    EXPECT_EQ(log.Write(CLog::LOG_ERR, nullptr, 0, VOTEXT("%s 100%%"), VOTEXT("done")), S_OK);
    EXPECT_EQ(log.Write(CLog::LOG_ERR, nullptr, 0, VOTEXT("$d $(Name) $$ %d"), 7), S_OK);
    VoString longer(1500, 'x');
    EXPECT_EQ(log.Write(CLog::LOG_ERR, nullptr, 0, longer.c_str()), S_OK);
    log.Shutdown();
    EXPECT_EQ(log.Write(CLog::LOG_ERR, nullptr, 0, VOTEXT("late")), VO_E_NOTENABLED);
    std::vector<std::string> lines = Lines(ReadText(s / "run.log"));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "????both 2");
    EXPECT_EQ(lines[1], "ERR done 100%");
    EXPECT_EQ(lines[2], "ERR $d $(Name) $$ 7");
    EXPECT_EQ(lines[3], "ERR " + std::string(1023, 'x'));
    // A name that cannot take ".previous" whole is refused.
    VoString folder = ToVo(s / "");
    VoString fits = folder + VoString(250 - folder.size(), 'n');
    EXPECT_EQ(CLog().Init((fits + VOTEXT("n")).c_str(), CLog::LOG_ERR, 0), E_INVALIDARG);
    EXPECT_EQ(CLog().Init(fits.c_str(), CLog::LOG_ERR, 0), S_OK);
}

TEST(Log, TimeStampAndSourcePosition)
{
    ScratchFolder s;
    CLog log;
    ASSERT_EQ(log.Init(ToVo(s / "run.log").c_str(), CLog::LOG_INFO | CLog::LOG_TIMESTAMP | CLog::LOG_SOURCE, 0), S_OK);
    log.Write(CLog::LOG_INFO, ToVo(fs::path("src") / "engine.cpp").c_str(), 42, VOTEXT("Ünïcode ok"));
    log.Shutdown();
    std::string line = Lines(ReadText(s / "run.log")).at(0);
    // "INFO yyyy-mm-dd hh:mm:ss " then the source in 15 and 4 columns.
    std::string shape = line.substr(0, 25);
    for (char &c : shape)
        if (c >= '0' && c <= '9') c = '9';
    EXPECT_EQ(shape, "INFO 9999-99-99 99:99:99 ") << line;
    EXPECT_EQ(line.substr(25), "     engine.cpp(  42): Ünïcode ok");
}

// Lines of several threads never mix, and a limit crossed once rotates once.
TEST(Log, ThreadsAndRotation)
{
    ScratchFolder s;
    fs::path path = s / "run.log";
    WriteBytes(fs::path(path.string() + ".previous"), TextBytes("an old generation\r\n"));
    CLog log;
    ASSERT_EQ(log.Init(ToVo(path).c_str(), CLog::LOG_INFO, 6000), S_OK);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 50; ++i) log.Write(CLog::LOG_INFO, nullptr, 0, VOTEXT("thread %d line %03d ........"), t, i);
        });
    for (std::thread &t : threads) t.join();
    CLog copy(log);  // shares the open file; it closes with the last holder
    copy.Write(CLog::LOG_INFO, nullptr, 0, VOTEXT("from the copy"));
    log.Shutdown();
    copy.Shutdown();
    std::vector<std::string> previous = Lines(ReadText(fs::path(path.string() + ".previous")));
    std::vector<std::string> current = Lines(ReadText(path));
    EXPECT_GE(ReadText(fs::path(path.string() + ".previous")).size(), 6000u);
    EXPECT_LT(ReadText(path).size(), 6000u);
    EXPECT_EQ(previous.size() + current.size(), 201u);
    // Every line whole: "INFOthread T line NNN ........" or the copy's.
    for (const auto *lines : {&previous, &current})
        for (const std::string &line : *lines) {
            bool threadLine = line.size() == 30 && line.compare(0, 10, "INFOthread") == 0 &&
                              line.compare(12, 6, " line ") == 0 && line.compare(21, 9, " ........") == 0;
            EXPECT_TRUE(threadLine || line == "INFOfrom the copy") << line;
        }
    EXPECT_EQ(current.back(), "INFOfrom the copy");
}

TEST(ErrorHandler, TablesAndCommonDialogCodes)
{
    static const VOCHAR kOwn[] = VOTEXT("our own words");
    static const VoErrorTableEntry table[] = {{E_FAIL, kOwn}};
    EXPECT_EQ(VoErrorHandler_GetHresultString((HRESULT)0x8004E0FF), nullptr);
    ASSERT_EQ(VoErrorHandler_AddErrorTable(table, 1), 0);
    EXPECT_EQ(VoErrorHandler_GetHresultString(E_FAIL), kOwn);
    int added = 1;
    while (VoErrorHandler_AddErrorTable(table, 1) == 0) ++added;
    EXPECT_EQ(added, VO_MAX_ERROR_TABLES);
    EXPECT_EQ(Narrow(VoErrorHandler_GetErrorMessage(VOTEXT("Saving %s: "), E_FAIL, VOTEXT("a.txt"))),
              "Saving a.txt: our own words");
    EXPECT_EQ(VoErrorHandler_TranslateCommDlgError(0), S_OK);
    EXPECT_EQ(VoErrorHandler_TranslateCommDlgError(0x3003), E_INVALIDARG);
    EXPECT_EQ(VoErrorHandler_TranslateCommDlgError(0x3001), E_OUTOFMEMORY);
    EXPECT_EQ(VoErrorHandler_TranslateCommDlgError(6), VO_E_NORESOURCE);
    EXPECT_EQ(VoErrorHandler_TranslateCommDlgError(0x3002), VO_RESULT(0x8004E00D));
    EXPECT_EQ(VoErrorHandler_TranslateCommDlgError(12), E_FAIL);
}

TEST(ErrorHandler, DetailsBelongToOneThreadAndHaveRoom)
{
    VoErrorHandler_DetailsInit();
    EXPECT_EQ(VoErrorHandler_DetailsInfo(nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(VoErrorHandler_DetailsAddString(E_FAIL, VOTEXT("first 100")), S_OK);
    EXPECT_EQ(VoErrorHandler_DetailsAddString(E_FAIL, VOTEXT("line %d"), 2), S_OK);
    EXPECT_EQ(VoErrorHandler_DetailsAddString(E_FAIL, nullptr), (HRESULT)0x80004003L);
    HRESULT fromOther = S_OK, sameCode = E_FAIL;
    std::thread([&] {
        fromOther = VoErrorHandler_DetailsAddString(E_OUTOFMEMORY, VOTEXT("elsewhere"));
        sameCode = VoErrorHandler_DetailsAddString(E_FAIL, VOTEXT("same error"));
    }).join();
    EXPECT_EQ(fromOther, E_FAIL);
    EXPECT_EQ(sameCode, S_OK);
    HRESULT code = 0;
    int count = 0;
    EXPECT_EQ(Narrow(VoErrorHandler_DetailsInfo(&code, &count, nullptr)), "first 100\r\nline 2\r\nsame error\r\n");
    EXPECT_EQ(count, 3);
    EXPECT_EQ(VoErrorHandler_GetLastError(), E_FAIL);
    VoString big(8160, 'd');
    EXPECT_EQ(VoErrorHandler_DetailsAddString(E_FAIL, big.c_str()), E_FAIL);
    VoErrorHandler_DetailsInit();
    EXPECT_EQ(VoErrorHandler_DetailsAddString(E_FAIL, big.c_str()), S_OK);
}

TEST(ErrorHandler, HexDumps)
{
    const unsigned char bytes[10] = {'A', 'B', 0, 0x7F, 'z', ' ', '~', 0x80, 'q', '!'};
    char out[512];
    int n = VoErrorHandler_DumpHex(out, sizeof out, bytes, 10);
    std::vector<std::string> lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(n, (int)strlen(out));
    EXPECT_EQ(lines[0].substr(10), " 41 42 00 7F 7A 20 7E 80 AB..z ~.");
    EXPECT_EQ(lines[1].substr(10), " 71 21                   q!");
    // Too little room for another line: the dump stops before it.
    EXPECT_EQ(VoErrorHandler_DumpHex(out, 60, bytes, 10), (int)lines[0].size() + 2);
    const uint32_t words[5] = {1, 0xDEADBEEF, 3, 4, 5};
    VoErrorHandler_DumpHexDWords(out, sizeof out, words, 5);
    lines = Lines(out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].substr(10), " 00000001 DEADBEEF 00000003 00000004 ");
    EXPECT_EQ(lines[1].substr(10), " 00000005 ");
}

}  // namespace
