// End-to-end tests of the stub: packages are built with voxpack.exe from
// folders made here, run the way a person or a script runs them, and judged
// by what they leave on disk, what they hand the installer (fake_installer
// records it), the boxes they show and their exit codes. Runs under Wine;
// every process started here has a time limit and is killed when it ends.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "e2e_files.h"
#include "ui_driver.h"

namespace {

using namespace e2efiles;

const DWORD kRunLimitMs = 60000;
const DWORD kPackLimitMs = 180000;

std::string Utf8(const std::wstring &text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? (size_t)bytes : 0, '\0');
    if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], bytes, nullptr, nullptr);
    return out;
}

std::wstring FromUtf8(const std::string &text)
{
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0);
    std::wstring out(units > 0 ? (size_t)units : 0, L'\0');
    if (units > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], units);
    return out;
}

// The build hands over Unix paths; Wine shows the Unix root as drive Z:.
std::wstring WindowsPath(const char *unixPath)
{
    std::wstring path = L"Z:" + FromUtf8(unixPath);
    for (wchar_t &c : path)
        if (c == L'/') c = L'\\';
    return path;
}

std::wstring ShortPath(const std::wstring &path)
{
    wchar_t out[MAX_PATH] = L"";
    return GetShortPathNameW(path.c_str(), out, MAX_PATH) ? out : path;
}

// Removes path and everything in it, read-only files too (children sort
// after their folder, so going backwards empties each folder first).
void RemoveTree(const std::wstring &path)
{
    std::map<std::wstring, int64_t> entries = ListTree(path);
    for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
        std::wstring child = Join(path, entry->first);
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        entry->second < 0 ? RemoveDirectoryW(child.c_str()) : DeleteFileW(child.c_str());
    }
    RemoveDirectoryW(path.c_str());
}

// The stub's work folders (VoInstall_N) in the temp folder.
std::set<std::wstring> WorkFolders()
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((TempFolder() + L"VoInstall_*").c_str(), &data);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data)) names.insert(data.cFileName);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return names;
}

// Quotes one argument for a program that splits its command line by the
// C runtime's rules (voxpack.exe).
std::wstring QuoteArgument(const std::wstring &argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    return out.append(backslashes * 2, L'\\') + L"\"";
}

struct RunResult {
    DWORD exitCode = 0xFFFFFFFF;
    std::vector<uidriver::MessageBoxSeen> boxes;  // in the order they came
};

// Runs program with arguments in this program's current folder, answering
// each box it shows with OK; kills it (and fails the test) when it outlives
// limitMs. A console program's output goes to output.
RunResult RunProcess(const std::wstring &program, const std::wstring &arguments, DWORD limitMs = kRunLimitMs,
                     HANDLE output = nullptr)
{
    RunResult result;
    std::wstring line = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = output;
    }
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, output != nullptr, output ? DETACHED_PROCESS : 0,
                        nullptr, nullptr, &startup, &process)) {
        ADD_FAILURE() << Utf8(line) << ": cannot be started (" << GetLastError() << ")";
        return result;
    }
    DWORD start = GetTickCount();
    uidriver::WindowQuery boxes;
    boxes.processId = process.dwProcessId;
    while (WaitForSingleObject(process.hProcess, 50) == WAIT_TIMEOUT) {
        if (GetTickCount() - start > limitMs) {
            TerminateProcess(process.hProcess, 0xDEAD);
            WaitForSingleObject(process.hProcess, 10000);
            ADD_FAILURE() << Utf8(line) << ": still running after " << limitMs << " ms, killed";
            break;
        }
        if (HWND box = uidriver::FindTopWindow(boxes)) {
            result.boxes.push_back(uidriver::ReadMessageBox(box));
            uidriver::PressButton(box, IDOK);
            uidriver::WaitUntilGone(box, 5000);
        }
    }
    GetExitCodeProcess(process.hProcess, &result.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

// Deterministic bytes: stretches of noise between stretches of text.
std::string Bytes(size_t size, uint32_t seed)
{
    std::string out(size, '\0');
    uint32_t x = seed * 2654435761u + 12345;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        out[i] = (i >> 12) % 3 ? (char)x : "etaoin shrdlu\r\n"[x % 15];
    }
    return out;
}

// The boxes of a run as "caption | text", without the text's trailing blanks.
std::vector<std::wstring> Boxes(const RunResult &run)
{
    std::vector<std::wstring> out;
    for (const auto &box : run.boxes) {
        std::wstring text = box.text;
        while (!text.empty() && iswspace(text.back())) text.pop_back();
        out.push_back(box.caption + L" | " + text);
    }
    return out;
}

class StubE2E : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring name = FromUtf8(::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_scratch = TempFolder() + L"vox-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"\\" + name;
        RemoveTree(m_scratch);
        ASSERT_TRUE(MakeFolders(m_scratch));
        m_package = Join(Join(m_scratch, L"pkg dir"), L"e2e_" + name + L".exe");
        m_quietLog = TempFolder() + L"e2e_" + name + L".log";
        DeleteFileW(m_quietLog.c_str());
        m_record = Join(m_scratch, L"record.txt");
        m_target = Join(m_scratch, L"target");
        SetEnvironmentVariableW(L"VOX_E2E_RECORD", m_record.c_str());
        SetEnvironmentVariableW(L"VOX_E2E_EXIT", nullptr);
        m_workFolders = WorkFolders();
    }

    void TearDown() override
    {
        EXPECT_EQ(WorkFolders(), m_workFolders) << "the stub left a work folder behind";
        RemoveTree(m_scratch);
        RemoveDirectoryW((TempFolder() + L"vox-e2e-" + std::to_wstring(GetCurrentProcessId())).c_str());
        DeleteFileW(m_quietLog.c_str());
        DeleteFileW((m_quietLog + L".voxpack").c_str());
    }

    static std::wstring Stub() { return WindowsPath(VOX_E2E_VOXSTUB); }
    static std::wstring Installer() { return WindowsPath(VOX_E2E_INSTALLER); }

    // A small source folder: the fake installer, a text file, a sub folder.
    std::wstring MakeSource(const std::wstring &name)
    {
        std::wstring source = Join(m_scratch, name);
        MakeFolders(Join(source, L"sub"));
        CopyFileW(Installer().c_str(), Join(source, L"fake_installer.exe").c_str(), FALSE);
        WriteBytes(Join(source, L"readme.txt"), "from the package\r\n");
        WriteBytes(Join(source, L"sub\\note.txt"), "nested\r\n");
        return source;
    }

    // Builds m_package from source with voxpack.exe: the fake installer as
    // SetupApp, m_target as the destination, then options (later ones win).
    ::testing::AssertionResult Pack(const std::wstring &source, const std::vector<std::wstring> &options = {})
    {
        MakeFolders(Join(m_scratch, L"pkg dir"));
        std::wstring arguments = L"package " + QuoteArgument(source) + L" -o " + QuoteArgument(m_package) +
                                 L" --force --stub " + QuoteArgument(Stub()) + L" --setup-app fake_installer.exe" +
                                 L" --default-target " + QuoteArgument(m_target);
        for (const std::wstring &option : options) arguments += L" " + QuoteArgument(option);
        // Beside the scratch folder: a handle voxpack.exe passed on may
        // outlive it for a while, and the folder could not be removed.
        std::wstring logPath = m_quietLog + L".voxpack";
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE log = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        RunResult run = RunProcess(WindowsPath(VOX_E2E_VOXPACK), arguments, kPackLimitMs, log);
        CloseHandle(log);
        if (run.exitCode == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "voxpack " << Utf8(arguments) << " exited with " << run.exitCode
                                             << ":\n" << ReadBytes(logPath);
    }

    RunResult RunPackage(const std::wstring &arguments) { return RunProcess(m_package, arguments); }

    // What the fake installer records when started from folder: the
    // current folder is the stub's own, not the installer's.
    std::wstring InstallerRun(const std::wstring &folder, const std::wstring &parameters)
    {
        wchar_t current[MAX_PATH] = L"";
        GetCurrentDirectoryW(MAX_PATH, current);
        return L"cmd=\"" + Join(folder, L"fake_installer.exe") + L"\" " + parameters + L"\ncwd=" + current + L"\nexe=" +
               Join(folder, L"fake_installer.exe") + L"\n";
    }
    std::wstring Record() { return Exists(m_record) ? FromUtf8(ReadBytes(m_record)) : L""; }

    std::wstring m_scratch, m_package, m_quietLog, m_record, m_target;
    std::set<std::wstring> m_workFolders;
};

TEST_F(StubE2E, QuietRunExtractsEveryFileWithItsBytesAndTimes)
{
    // Some 300 files in nested folders, every ninth one empty, names beyond
    // ASCII, an empty folder and a 20 MB file; odd last-write times with
    // fractions of a second.
    std::wstring source = MakeSource(L"src");
    const std::wstring unicodeName = L"\u00DCn\u00EFc\u00F8d\u00E9 \u30D5\u30A1\u30A4\u30EB.txt";
    std::vector<std::wstring> files = {L"readme.txt", L"sub\\note.txt", L"fake_installer.exe", unicodeName,
                                       L"\u041F\u0430\u043F\u043A\u0430\\\u00E9t\u00E9 \u6D4B\u8BD5.bin", L"big.bin"};
    for (int folder = 0; folder < 10; ++folder)
        for (int sub = 0; sub < 3; ++sub)
            for (int n = 0; n < 10; ++n)
                files.push_back(L"d" + std::to_wstring(folder) + L"\\s" + std::to_wstring(sub) + L"\\f" +
                                std::to_wstring(n) + L".dat");
    ASSERT_TRUE(MakeFolders(Join(source, L"empty folder")));
    uint64_t ticks = 126960000000000000ull + 12345671;  // 2003-04-25 with odd seconds and fractions
    for (size_t i = 0; i < files.size(); ++i) {
        std::wstring path = Join(source, files[i]);
        MakeFolders(path.substr(0, path.rfind(L'\\')));
        std::string bytes = files[i] == L"big.bin" ? Bytes(20 << 20, 99)
                            : i < 3                ? ReadBytes(path)
                            : i % 9 == 0           ? std::string()
                                                   : Bytes((i * 7919) % 30000, (uint32_t)i);
        uint64_t when = ticks + i * 36000123457ull;
        FILETIME time = {(DWORD)when, (DWORD)(when >> 32)};
        ASSERT_TRUE(WriteBytes(path, bytes, &time)) << Utf8(path);
    }
    ASSERT_TRUE(Pack(source, {L"--name", L"QuietApp", L"--default-target", Join(m_scratch, L"out\\$(AppName)")}));

    RunResult run = RunPackage(L"/QUIET");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_FALSE(Exists(m_quietLog)) << ReadBytes(m_quietLog);
    EXPECT_EQ(Record(), L"") << "a quiet run never starts the installer";

    std::wstring dest = Join(m_scratch, L"out\\QuietApp");
    std::map<std::wstring, int64_t> extracted = ListTree(dest);
    extracted.erase(L"voxctrl.ach");  // the control archive is a payload entry too
    ASSERT_EQ(extracted, ListTree(source));
    int differing = 0;
    for (const std::wstring &file : files) {
        WIN32_FILE_ATTRIBUTE_DATA from = {}, to = {};
        GetFileAttributesExW(Join(source, file).c_str(), GetFileExInfoStandard, &from);
        GetFileAttributesExW(Join(dest, file).c_str(), GetFileExInfoStandard, &to);
        bool same = ReadBytes(Join(source, file)) == ReadBytes(Join(dest, file)) &&
                    CompareFileTime(&from.ftLastWriteTime, &to.ftLastWriteTime) == 0;
        if (!same && ++differing <= 5) ADD_FAILURE() << Utf8(file) << ": bytes or last-write time differ";
    }
    EXPECT_EQ(differing, 0);
}

TEST_F(StubE2E, InstallerGetsItsCommandLineAndItsExitCodeIsTheStubs)
{
    ASSERT_TRUE(Pack(MakeSource(L"src")));
    // RUN starts the installer from its folder and extracts nothing.
    std::wstring folder = Join(m_scratch, L"run");
    MakeFolders(folder);
    CopyFileW(Installer().c_str(), Join(folder, L"fake_installer.exe").c_str(), FALSE);
    RunResult run = RunPackage(L"/RUN " + folder);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(Record(), InstallerRun(folder, L"-r \"" + ShortPath(m_package) + L"\" --vox"));
    EXPECT_EQ(ListTree(folder).size(), 1u);
    EXPECT_FALSE(Exists(m_target));

    // POST_INSTALL on empty SetupAppParams: the parameters are the switch
    // alone, without the default ones.
    DeleteFileW(m_record.c_str());
    SetEnvironmentVariableW(L"VOX_E2E_EXIT", L"7");
    run = RunPackage(L"-post_install:x --run:" + folder);
    EXPECT_EQ(run.exitCode, 7u);
    EXPECT_EQ(Record(), InstallerRun(folder, L" --post_install"));
}

TEST_F(StubE2E, AnEmptySetupAppFailsWithTheLaunchErrorBox)
{
    ASSERT_TRUE(Pack(MakeSource(L"src"), {L"--setup-app", L""}));
    std::wstring folder = Join(m_scratch, L"src");
    RunResult run = RunPackage(L"/RUN " + folder);
    EXPECT_EQ(run.exitCode, 1619u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].caption, L"Launch Error");
    EXPECT_NE(run.boxes[0].text.find(folder + L"\\"), std::wstring::npos) << Utf8(run.boxes[0].text);
    EXPECT_EQ(Record(), L"");
}

TEST_F(StubE2E, UnicodeQuotesAndBlanksSurviveTheSettingsFile)
{
    const std::wstring name = L"\u041F\u0440\u0438\u0431\u043E\u0440 \u6D4B\u8BD5 \u00FC";
    std::wstring source = MakeSource(L"src");
    ASSERT_TRUE(Pack(source, {L"--name", name, L"--title", L"  \"x\" ", L"--default-target",
                              Join(m_scratch, L"$(AppName)"), L"--setup-params",
                              L"$(AppName) x [$(AppName.Title)] $(Stowage)"}));
    RunResult run = RunPackage(L"/QUIET");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(ReadBytes(Join(Join(m_scratch, name), L"sub\\note.txt")), "nested\r\n");
    std::map<std::wstring, int64_t> top;
    for (const auto &entry : ListTree(m_scratch))
        if (entry.first.find(L'\\') == std::wstring::npos) top.insert(entry);
    EXPECT_EQ(top, (std::map<std::wstring, int64_t>{{name, -1}, {L"pkg dir", -1}, {L"src", -1}}));

    run = RunPackage(L"/POST_INSTALL x /RUN " + source);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Record(), InstallerRun(source, name + L" x [  \"x\" ] " + ShortPath(m_package) + L" --post_install"));
}

TEST_F(StubE2E, APercentAndABlankInTheDestinationAreTakenAsWritten)
{
    // A '%' in the author's text is a '%'; a program planted where the
    // destination's first word ends is never started in the installer's place.
    std::wstring folder = Join(m_scratch, L"100% src");
    CopyFileW(Installer().c_str(), Join(m_scratch, L"100%.exe").c_str(), FALSE);
    ASSERT_TRUE(Pack(MakeSource(L"src"), {L"--default-target", Join(m_scratch, L"100% $(AppName)")}));
    RunResult run = RunPackage(L"/QUIET");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(ReadBytes(Join(folder, L"readme.txt")), "from the package\r\n");
    run = RunPackage(L"/RUN " + QuoteArgument(folder));
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Record(), InstallerRun(folder, L"-r \"" + ShortPath(m_package) + L"\" --vox"));
}

TEST_F(StubE2E, TempExtOverwritesAReadOnlyFileWithoutAsking)
{
    ASSERT_TRUE(Pack(MakeSource(L"src"), {L"--extract-to-temp", L"0", L"--show-overwrite", L"1"}));
    std::wstring folder = Join(m_scratch, L"temp ext");
    MakeFolders(folder);
    std::wstring kept = Join(folder, L"readme.txt");
    WriteBytes(kept, "older");
    SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY);
    RunResult run = RunPackage(L"--tempext:\"" + folder + L"\" -Quiet");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ReadBytes(kept), "from the package\r\n");
    EXPECT_EQ(ReadBytes(Join(folder, L"sub\\note.txt")), "nested\r\n");
    EXPECT_FALSE(Exists(m_target));
    EXPECT_FALSE(Exists(m_quietLog)) << ReadBytes(m_quietLog);
}

TEST_F(StubE2E, AQuietExtractionThatFailsSaysSo)
{
    // The destination lies under a file, so it cannot be made.
    ASSERT_TRUE(Pack(MakeSource(L"src")));
    std::wstring blocker = Join(m_scratch, L"blocker");
    WriteBytes(blocker, "a file, not a folder");
    RunResult run = RunPackage(L"/QUIET /TEMPEXT " + Join(blocker, L"dest"));
    EXPECT_EQ(run.exitCode, 1603u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_NE(ReadBytes(m_quietLog).find("Extraction failed"), std::string::npos) << ReadBytes(m_quietLog);
    EXPECT_NE(ReadBytes(m_quietLog).find("The run ended with exit code 1603."), std::string::npos);
    EXPECT_EQ(Record(), L"");
}

// Two runs started at the same moment: each makes a work folder of its own,
// both extract completely, and neither leaves its folder behind (checked
// at tear-down).
TEST_F(StubE2E, TwoRunsStartedTogetherBothExtract)
{
    ASSERT_TRUE(Pack(MakeSource(L"src")));
    std::wstring folders[2] = {Join(m_scratch, L"one"), Join(m_scratch, L"two")};
    PROCESS_INFORMATION runs[2] = {};
    for (int i = 0; i < 2; ++i) {
        std::wstring line = L"\"" + m_package + L"\" /QUIET /TEMPEXT " + QuoteArgument(folders[i]);
        STARTUPINFOW startup = {sizeof(startup)};
        ASSERT_TRUE(CreateProcessW(m_package.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                                   nullptr, &startup, &runs[i]));
    }
    for (PROCESS_INFORMATION &run : runs) ResumeThread(run.hThread);
    for (PROCESS_INFORMATION &run : runs) {
        EXPECT_EQ(WaitForSingleObject(run.hProcess, kRunLimitMs), WAIT_OBJECT_0);
        DWORD code = 0xFFFF;
        GetExitCodeProcess(run.hProcess, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(run.hThread);
        CloseHandle(run.hProcess);
    }
    for (const std::wstring &folder : folders) {
        EXPECT_EQ(ReadBytes(Join(folder, L"readme.txt")), "from the package\r\n");
        EXPECT_EQ(ReadBytes(Join(folder, L"sub\\note.txt")), "nested\r\n");
    }
}

TEST_F(StubE2E, APackageWhoseDirectoryLiesIsRefusedBeforeAnythingIsExtracted)
{
    ASSERT_TRUE(Pack(MakeSource(L"src")));
    // The end record claims one entry more than the directory holds: every
    // real record reads, so only the count can tell.
    std::string bytes = ReadBytes(m_package);
    size_t end = bytes.rfind(std::string("\x55\x4D\x05\x0C", 4));
    ASSERT_NE(end, std::string::npos);
    for (size_t at : {end + 12, end + 16}) ++bytes[at];
    ASSERT_TRUE(WriteBytes(m_package, bytes));
    RunResult run = RunPackage(L"/QUIET");
    EXPECT_EQ(run.exitCode, 1620u);
    EXPECT_NE(ReadBytes(m_quietLog).find("error reading this install package"), std::string::npos)
        << ReadBytes(m_quietLog);
    EXPECT_NE(ReadBytes(m_quietLog).find("The run ended with exit code 1620."), std::string::npos);
    EXPECT_FALSE(Exists(m_target));
    EXPECT_EQ(Record(), L"");
}

TEST_F(StubE2E, ResponseFiles)
{
    ASSERT_TRUE(Pack(MakeSource(L"src")));
    // Two levels: the outer file's TEMPEXT and the inner file's QUIET and
    // NOSETUP are all applied (without QUIET the wizard would come up).
    std::wstring inner = Join(m_scratch, L"inner.rsp"), outer = Join(m_scratch, L"outer.rsp");
    std::wstring nested = Join(m_scratch, L"nested");
    WriteBytes(inner, "-quiet\r\n--NoSetup:yes\r\n");
    WriteBytes(outer, Utf8(L"/TEMPEXT \"" + nested + L"\" @" + inner));
    RunResult run = RunPackage(L"@" + outer);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ReadBytes(Join(nested, L"readme.txt")), "from the package\r\n");

    // An empty response file changes nothing.
    std::wstring empty = Join(m_scratch, L"empty.rsp"), plain = Join(m_scratch, L"plain");
    WriteBytes(empty, "");
    run = RunPackage(L"/QUIET @" + empty + L" /TEMPEXT " + plain);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(ReadBytes(Join(plain, L"readme.txt")), "from the package\r\n");
    EXPECT_EQ(Record(), L"");

    // A file naming itself is given up after 8 levels, with a message.
    std::wstring self = Join(m_scratch, L"self.rsp"), looped = Join(m_scratch, L"looped");
    WriteBytes(self, Utf8(L"@" + self));
    run = RunPackage(L"/QUIET /TEMPEXT " + looped + L" @" + self);
    EXPECT_EQ(run.exitCode, 1639u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_NE(FromUtf8(ReadBytes(m_quietLog))
                  .find(L"Response files are nested more than 8 levels deep; " + self + L" was not read."),
              std::wstring::npos)
        << ReadBytes(m_quietLog);
    EXPECT_FALSE(Exists(looped));
    EXPECT_FALSE(Exists(m_target));

    // A response file that cannot be read rejects the command line.
    DeleteFileW(m_quietLog.c_str());
    run = RunPackage(L"/QUIET @" + Join(m_scratch, L"missing.rsp"));
    EXPECT_EQ(run.exitCode, 1639u);
    EXPECT_NE(ReadBytes(m_quietLog).find("Error 0x8004e007: The file could not be opened."), std::string::npos)
        << ReadBytes(m_quietLog);
    EXPECT_FALSE(Exists(m_target));
}

TEST_F(StubE2E, HelpShowsItsBoxAndNothingAfterItIsApplied)
{
    ASSERT_TRUE(Pack(MakeSource(L"src")));
    std::wstring folder = Join(m_scratch, L"tempext");
    for (const wchar_t *help : {L"/?", L"--HELP"}) {
        RunResult run = RunPackage(std::wstring(help) + L" /TEMPEXT " + folder);
        EXPECT_EQ(run.exitCode, 0u) << Utf8(help);
        ASSERT_EQ(run.boxes.size(), 1u) << Utf8(help);
        EXPECT_EQ(run.boxes[0].caption, L"Unpacking Wizard - Command Line Options");
        EXPECT_EQ(run.boxes[0].text.rfind(L"Usage:", 0), 0u) << Utf8(run.boxes[0].text);
    }
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(Exists(m_target));
}

TEST_F(StubE2E, CommandLinesThatAreRefused)
{
    ASSERT_TRUE(Pack(MakeSource(L"src")));
    std::wstring folder = Join(m_scratch, L"tempext");
    // Stray words: one box each, in order; the options between them are
    // not acted on.
    RunResult run = RunPackage(L"foo /TEMPEXT " + folder + L" bar");
    EXPECT_EQ(run.exitCode, 1639u);
    EXPECT_EQ(Boxes(run), (std::vector<std::wstring>{L"Unpacking Wizard | Invalid Argument: foo",
                                                     L"Unpacking Wizard | Invalid Argument: bar"}));
    // Malformed lines: refused as a whole, without a box.
    for (const wchar_t *bad : {L"/QUIET:1", L"/NOSETUP", L"/BOGUS", L"-", L"/RUN -x"}) {
        run = RunPackage(L"/QUIET /TEMPEXT " + folder + L" " + bad);
        EXPECT_EQ(run.exitCode, 1639u) << Utf8(bad);
        EXPECT_EQ(Boxes(run), std::vector<std::wstring>()) << Utf8(bad);
    }
    EXPECT_FALSE(Exists(folder));
    EXPECT_FALSE(Exists(m_target));
    EXPECT_FALSE(Exists(m_quietLog)) << ReadBytes(m_quietLog);
}

TEST_F(StubE2E, AWindows9xSystemIsRefused)
{
    ASSERT_TRUE(Pack(MakeSource(L"src")));
    // Wine reports the Windows version set for a program's file name.
    std::wstring key = L"Software\\Wine\\AppDefaults\\" + m_package.substr(m_package.rfind(L'\\') + 1);
    HKEY handle;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE *>(L"win98"), 12);
    RegCloseKey(handle);
    RunResult run = RunPackage(L"/QUIET");
    RegDeleteKeyW(HKEY_CURRENT_USER, key.c_str());
    if (run.exitCode == 0 && run.boxes.empty()) GTEST_SKIP() << "this Wine does not report win98 for the package";
    EXPECT_EQ(run.exitCode, 1633u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].text, L"This Operating System does not support this Application.");
    EXPECT_FALSE(Exists(m_target));
}

// An .ico file: 16 and 32 pixel 32-bit bitmaps and a 48 pixel PNG.
std::string LittleEndian(uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back((char)(value >> (8 * i) & 0xFF));
    return out;
}

std::string IconFile()
{
    static const char kPng[] =
    "\x89\x50\x4E\x47\x0D\x0A\x1A\x0A\x00\x00\x00\x0D\x49\x48\x44\x52\x00\x00\x00\x30\x00\x00\x00\x30"
    "\x08\x06\x00\x00\x00\x57\x02\xF9\x87\x00\x00\x00\x44\x49\x44\x41\x54\x78\xDA\xED\xCF\x41\x11\x00"
    "\x00\x04\x00\x30\x49\xE4\x14\x51\x2B\x2A\xF8\xBA\xDB\x63\x01\x16\x59\x3D\x9F\x85\x80\x80\x80\x80"
    "\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80\x80"
    "\x80\x80\x80\x80\x80\x80\xC0\xD5\x02\xE3\xDF\x46\x3C\x39\x15\x34\x2A\x00\x00\x00\x00\x49\x45\x4E"
    "\x44\xAE\x42\x60\x82";
    std::vector<std::pair<int, std::string>> images;
    for (int size : {16, 32}) {
        std::string dib = LittleEndian(40, 4) + LittleEndian(size, 4) + LittleEndian(2 * size, 4) +
                          LittleEndian(1, 2) + LittleEndian(32, 2) + std::string(24, '\0');
        for (int i = 0; i < size * size; ++i) dib += size == 16 ? "\x20\x80\xE0\xFF" : "\xE0\x60\x20\xFF";
        dib += std::string(size * 4, '\0');  // the AND mask, rows of 32 bits
        images.emplace_back(size, dib);
    }
    images.emplace_back(48, std::string(kPng, sizeof kPng - 1));
    std::string file = LittleEndian(0, 2) + LittleEndian(1, 2) + LittleEndian((uint32_t)images.size(), 2);
    uint32_t offset = 6 + 16 * (uint32_t)images.size();
    for (const auto &image : images) {
        file += std::string(2, (char)image.first) + std::string(2, '\0') + LittleEndian(1, 2) + LittleEndian(32, 2) +
                LittleEndian((uint32_t)image.second.size(), 4) + LittleEndian(offset, 4);
        offset += (uint32_t)image.second.size();
    }
    for (const auto &image : images) file += image.second;
    return file;
}

// A value of the version resource as VerQueryValueW finds it.
std::wstring VersionValue(const std::vector<BYTE> &block, const std::wstring &key)
{
    wchar_t *value = nullptr;
    UINT length = 0;
    std::wstring path = L"\\StringFileInfo\\040904B0\\" + key;
    if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void **>(&value), &length) || !value)
        return L"<missing>";
    return value;
}

TEST_F(StubE2E, APackageShowsItsOwnIconAndVersionInformation)
{
    std::wstring icon = Join(m_scratch, L"app.ico");
    ASSERT_TRUE(WriteBytes(icon, IconFile()));
    ASSERT_TRUE(Pack(MakeSource(L"src"), {L"--name", L"Identity App", L"--title", L"Identity App Setup", L"--icon", icon,
                                          L"--version-info", L"CompanyName=Vox \u00C9ditions",
                                          L"--version-info", L"ProductVersion=2.5.0.17",
                                          L"--version-info", L"LegalCopyright=\u00A9 2026 Vox"}));

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(m_package.c_str(), &handle);
    ASSERT_GT(size, 0u) << "no version resource, error " << GetLastError();
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(m_package.c_str(), 0, size, block.data()));
    EXPECT_EQ(VersionValue(block, L"CompanyName"), L"Vox \u00C9ditions");
    EXPECT_EQ(VersionValue(block, L"ProductName"), L"Identity App");
    EXPECT_EQ(VersionValue(block, L"FileDescription"), L"Identity App Setup");
    EXPECT_EQ(VersionValue(block, L"ProductVersion"), L"2.5.0.17");
    EXPECT_EQ(VersionValue(block, L"FileVersion"), L"2.5.0.17");
    EXPECT_EQ(VersionValue(block, L"LegalCopyright"), L"\u00A9 2026 Vox");
    EXPECT_EQ(VersionValue(block, L"OriginalFilename"), m_package.substr(m_package.rfind(L'\\') + 1));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void **>(&fixed), &length));
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00020005u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000011u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00020005u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000011u);

    // The icon: one group, found in both sizes.
    EXPECT_EQ(ExtractIconExW(m_package.c_str(), -1, nullptr, nullptr, 0), 1u);
    HICON large = nullptr, small = nullptr;
    // The count is of icons made: 2 here (as Windows and Wine count it), at
    // least 1 in any case.
    EXPECT_GE(ExtractIconExW(m_package.c_str(), 0, &large, &small, 1), 1u);
    EXPECT_NE(large, nullptr);
    EXPECT_NE(small, nullptr);
    ICONINFO info = {};
    if (large && GetIconInfo(large, &info)) {
        BITMAP bitmap = {};
        GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXICON));
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    if (large) DestroyIcon(large);
    if (small) DestroyIcon(small);

    // And the package still installs.
    RunResult run = RunPackage(L"/QUIET");
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_TRUE(run.boxes.empty());
    EXPECT_EQ(ReadBytes(Join(m_target, L"readme.txt")), "from the package\r\n");
}

}  // namespace
