// The Unpacking Wizard and the "File Exists" dialog in real windows under
// Wine: packages built with voxpack.exe are run without /QUIET and their
// pages, boxes and questions are answered from here as a person would, by
// control id. Judged by the texts shown, the progress bar, the files left
// on disk, the exit codes and whether the installer (fake_installer) ran.
#include <gtest/gtest.h>

#include <vector>

#include "wizard_driver.h"

using namespace wizdriver;

namespace {

const DWORD kWindowMs = 20000;   // a window that should come or go
const DWORD kRunMs = 60000;      // a package run
const DWORD kPackMs = 240000;    // voxpack.exe

// Control ids of the pages and of "File Exists".
const int kEdit = 1101, kNext = 2000, kBack = 2001, kBar = 1001, kStatus = 1002, kExplanation = 1004;
const int kFileText = 1201, kQuestionText = 1202, kYes = 2002, kYesAll = 2003, kNo = 2004, kNoAll = 2005;
const wchar_t kTitle[] = L"Wiz Title";

std::wstring Replace(std::wstring text, const std::wstring &what, const std::wstring &with)
{
    size_t at = text.find(what);
    return at == std::wstring::npos ? text : text.replace(at, what.size(), with);
}

// An English text of the stub's string tables, read from voxstub.exe.
std::wstring StubString(UINT id)
{
    static HMODULE stub =
        LoadLibraryExW(WindowsPath(VOX_E2E_VOXSTUB).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC block = FindResourceExW(stub, (LPCWSTR)RT_STRING, MAKEINTRESOURCEW(id / 16 + 1),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    const WCHAR *p = block ? (const WCHAR *)LockResource(LoadResource(stub, block)) : nullptr;
    for (UINT i = 0; p && i < id % 16; ++i) p += 1 + *p;
    return p ? std::wstring(p + 1, *p) : L"<no string " + std::to_wstring(id) + L">";
}

// A name as the package stores it: UTF-16LE.
std::string Utf16Bytes(const char *text)
{
    std::string out;
    for (; *text; ++text) out += std::string(1, *text) + '\0';
    return out;
}

// What the test does with one "File Exists" question: a button id, or a key.
struct Reply {
    int button;
    WORD key;
};
const Reply kReplyYes = {kYes, 0}, kReplyYesAll = {kYesAll, 0}, kReplyNo = {kNo, 0}, kReplyNoAll = {kNoAll, 0},
            kReplyCancel = {IDCANCEL, 0}, kReplyEnter = {0, VK_RETURN}, kReplyEscape = {0, VK_ESCAPE};

class WizardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::wstring name = Widen(::testing::UnitTest::GetInstance()->current_test_info()->name());
        m_scratch = TempFolder() + L"vox-wiz-" + std::to_wstring(GetCurrentProcessId()) + L"\\" + name;
        RemoveTree(m_scratch);
        ASSERT_TRUE(MakeFolders(m_scratch));
        m_package = Join(m_scratch, L"pkg\\wizard_setup.exe");
        m_target = Join(m_scratch, L"target");
        m_record = Join(m_scratch, L"record.txt");
        SetEnvironmentVariableW(L"VOX_E2E_RECORD", m_record.c_str());
        m_workFolders = WorkFolders();
    }

    void TearDown() override
    {
        m_run.Finish(0);
        EXPECT_EQ(WorkFolders(), m_workFolders) << "the stub left a work folder behind";
        RemoveTree(m_scratch);
        RemoveDirectoryW((TempFolder() + L"vox-wiz-" + std::to_wstring(GetCurrentProcessId())).c_str());
    }

    std::wstring Caption() const { return Replace(StubString(700), L"$(AppName.Title)", kTitle); }

    // A source folder: the fake installer, a text file in a sub folder and,
    // so that the progress page stays long enough to be seen, noise.
    std::wstring MakeSource(const std::wstring &name, size_t noiseBytes = 12u << 20)
    {
        std::wstring source = Join(m_scratch, name);
        MakeFolders(Join(source, L"sub"));
        CopyFileW(WindowsPath(VOX_E2E_INSTALLER).c_str(), Join(source, L"fake_installer.exe").c_str(), FALSE);
        WriteBytes(Join(source, L"sub\\note.txt"), "nested\r\n");
        if (noiseBytes) WriteBytes(Join(source, L"noise.bin"), Noise(noiseBytes, 7));
        return source;
    }

    ::testing::AssertionResult Pack(const std::wstring &source, const std::vector<std::wstring> &options,
                                    const std::wstring &package = L"")
    {
        std::wstring output = package.empty() ? m_package : package;
        MakeFolders(output.substr(0, output.rfind(L'\\')));
        std::wstring arguments = L"package " + Quote(source) + L" -o " + Quote(output) +
                                 L" --force -l 1 --stub " + Quote(WindowsPath(VOX_E2E_VOXSTUB)) +
                                 L" --setup-app fake_installer.exe --title " + Quote(kTitle) +
                                 L" --default-target " + Quote(m_target);
        for (const std::wstring &option : options) arguments += L" " + Quote(option);
        std::wstring logPath = TempFolder() + L"vox-wiz-voxpack.log";
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE log = CreateFileW(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, &inherit,
                                 CREATE_ALWAYS, 0, nullptr);
        Process voxpack;
        DWORD code = voxpack.Start(WindowsPath(VOX_E2E_VOXPACK), arguments, log) ? voxpack.Finish(kPackMs) : 0xFFFF;
        CloseHandle(log);
        std::string printed = ReadBytes(logPath);
        DeleteFileW(logPath.c_str());
        if (code == 0) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "voxpack " << arguments << " ended with " << code << ":\n" << printed;
    }

    bool Start(const std::wstring &arguments) { return m_run.Start(m_package, arguments); }

    // The next wizard page (not skip) that shows control id.
    HWND WaitForPage(int controlId, HWND skip = nullptr)
    {
        HWND page = WaitForDialog(m_run.Id(), Caption(), kWindowMs, skip);
        EXPECT_TRUE(page && GetDlgItem(page, controlId)) << "no page with control " << controlId;
        return page && GetDlgItem(page, controlId) ? page : nullptr;
    }

    // Waits for a box of the wizard, reads it and presses button.
    uidriver::MessageBoxSeen AnswerBox(int button)
    {
        HWND box = WaitForDialog(m_run.Id(), StubString(515), kWindowMs);
        if (!box) {
            ADD_FAILURE() << "no message box came";
            return {};
        }
        uidriver::MessageBoxSeen seen = uidriver::ReadMessageBox(box);
        uidriver::PressButton(box, button);
        EXPECT_TRUE(uidriver::WaitUntilGone(box, kWindowMs));
        return seen;
    }

    std::wstring Record() { return Exists(m_record) ? Widen(ReadBytes(m_record)) : L""; }

    wizdriver::Process m_run;
    std::wstring m_scratch, m_package, m_target, m_record;
    std::set<std::wstring> m_workFolders;
};

// ---------------------------------------------------------------------------

TEST_F(WizardTest, DestinationPageRefusesBadFoldersAndExtractsIntoANewOne)
{
    std::wstring source = MakeSource(L"src");
    ASSERT_TRUE(Pack(source, {L"--extract-to-temp", L"0"}));
    ASSERT_TRUE(Start(L"/NOSETUP x"));
    HWND page = WaitForPage(kEdit);
    ASSERT_TRUE(page);
    EXPECT_EQ(EditText(page, kEdit), m_target);
    EXPECT_FALSE(Enabled(page, kBack));

    // Next follows whether the edit holds anything.
    SetText(page, kEdit, L"");
    EXPECT_FALSE(Enabled(page, kNext));
    TypeText(page, kEdit, L"C");
    EXPECT_TRUE(Enabled(page, kNext));

    // Each refused folder gets its box and the page stays, creating nothing.
    wchar_t drive = L'Q';
    while (drive < L'Z' && (GetLogicalDrives() & (1u << (drive - L'A')))) ++drive;
    // Typing stops where the longest entry name still fits behind the text.
    TypeText(page, kEdit, L"C:\\" + std::wstring(250, L'y'));
    EXPECT_LE(EditText(page, kEdit).size() + wcslen(L"\\fake_installer.exe"), (size_t)MAX_PATH - 1);
    // Set whole (as the folder browser does) it is refused all the same,
    // even where Windows could still make the folder (up to 248 units).
    std::wstring tooLong = Join(m_scratch, std::wstring(244 - m_scratch.size(), L'x'));
    const struct {
        std::wstring folder;
        UINT message;
    } refused[] = {{L"C:\\", 555}, {L"C:\\a|b", 554}, {std::wstring(1, drive) + L":\\x", 557}, {tooLong, 559}};
    for (const auto &one : refused) {
        SCOPED_TRACE(one.folder);
        if (one.message == 559) SetText(page, kEdit, one.folder);
        else TypeText(page, kEdit, one.folder);
        ASSERT_EQ(EditText(page, kEdit), one.folder);
        uidriver::PressButton(page, kNext);
        EXPECT_EQ(AnswerBox(IDOK).text, StubString(one.message));
        EXPECT_TRUE(IsWindowVisible(page));
        if (one.message != 555) {
            EXPECT_FALSE(Exists(one.folder));
        }
    }

    // A new folder two levels deep is made, and the progress page takes the
    // destination page's place.
    std::wstring folder = Join(m_scratch, L"new place\\deeper");
    TypeText(page, kEdit, folder);
    POINT where = TopLeft(page);
    uidriver::PressButton(page, kNext);
    HWND progress = WaitForPage(kBar, page);
    ASSERT_TRUE(progress);
    EXPECT_FALSE(IsWindow(page) && IsWindowVisible(page));
    POINT now = TopLeft(progress);
    EXPECT_EQ(now.x, where.x);
    EXPECT_EQ(now.y, where.y);

    // The bar counts KiB: polled until the page closes, it ends full.
    HWND bar = GetDlgItem(progress, kBar);
    long range = -1, position = -1;
    for (DWORD start = GetTickCount(); IsWindow(progress) && GetTickCount() - start < kRunMs;) {
        long r = BarRange(bar), p = BarPosition(bar);
        if (r >= 0 && p >= 0) range = r, position = p;
    }
    EXPECT_EQ(m_run.Finish(kRunMs), 0u);
    std::map<std::wstring, int64_t> extracted = ListTree(folder);
    int64_t total = 0;
    for (const auto &entry : extracted) total += entry.second > 0 ? entry.second : 0;
    EXPECT_EQ(range, (long)(total / 1024));
    EXPECT_EQ(position, range);
    ASSERT_EQ(extracted.erase(L"voxctrl.ach"), 1u);  // the control archive is a payload entry too
    EXPECT_EQ(extracted, ListTree(source));
    EXPECT_EQ(ReadBytes(Join(folder, L"noise.bin")), ReadBytes(Join(source, L"noise.bin")));
    EXPECT_FALSE(Exists(m_target));
    EXPECT_EQ(Record(), L"");
}

TEST_F(WizardTest, CancelOnTheDestinationPageAsksAndExtractsNothing)
{
    ASSERT_TRUE(Pack(MakeSource(L"src", 0), {L"--extract-to-temp", L"0"}));
    ASSERT_TRUE(Start(L""));
    HWND page = WaitForPage(kEdit);
    ASSERT_TRUE(page);
    uidriver::PressButton(page, IDCANCEL);
    EXPECT_EQ(AnswerBox(IDNO).text, StubString(516));
    EXPECT_TRUE(IsWindowVisible(page));
    uidriver::PressButton(page, IDCANCEL);
    EXPECT_EQ(AnswerBox(IDYES).text, StubString(516));
    EXPECT_EQ(m_run.Finish(kRunMs), 1602u);
    EXPECT_FALSE(Exists(m_target));
    EXPECT_EQ(Record(), L"");
}

TEST_F(WizardTest, ExtractToTempStartsOnTheProgressPage)
{
    ASSERT_TRUE(Pack(MakeSource(L"src"), {L"--extract-to-temp", L"1"}));
    ASSERT_TRUE(Start(L""));
    HWND page = WaitForPage(kBar);
    ASSERT_TRUE(page);
    EXPECT_FALSE(GetDlgItem(page, kEdit));
    EXPECT_EQ(uidriver::ControlText(page, kExplanation), Replace(StubString(152), L"$(AppName.Title)", kTitle));
    EXPECT_EQ(m_run.Finish(kRunMs), 0u);
    EXPECT_EQ(ReadBytes(Join(m_target, L"sub\\note.txt")), "nested\r\n");
    EXPECT_NE(Record().find(L"cmd=\"" + Join(m_target, L"fake_installer.exe") + L"\""), std::wstring::npos) << Record();
}

// An entry whose name would leave the destination: its box names it, and
// the run ends as a failed extraction (1603), not as cancelled by the user.
TEST_F(WizardTest, AnUnsafeNameIsNamedAndTheRunFails)
{
    ASSERT_TRUE(Pack(MakeSource(L"src", 1000), {L"--extract-to-temp", L"1"}));
    std::string bytes = ReadBytes(m_package), from = Utf16Bytes("noise.bin"), to = Utf16Bytes("..\\se.bin");
    for (size_t at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at)) bytes.replace(at, from.size(), to);
    ASSERT_TRUE(WriteBytes(m_package, bytes));
    ASSERT_TRUE(Start(L""));
    HWND box = WaitForDialog(m_run.Id(), StubString(500), kWindowMs);  // "Error"
    ASSERT_TRUE(box);
    EXPECT_NE(uidriver::ReadMessageBox(box).text.find(L"..\\se.bin"), std::wstring::npos);
    uidriver::PressButton(box, IDOK);
    EXPECT_EQ(m_run.Finish(kRunMs), 1603u);
    EXPECT_EQ(Record(), L"");
}

// An entry of the package claims a petabyte.
::testing::AssertionResult ClaimAPetabyte(const std::wstring &package)
{
    std::string bytes = ReadBytes(package), name = Utf16Bytes("noise.bin");
    const std::string directorySignature("\x55\x4D\x01\x0B", 4);
    size_t at = bytes.find(name);
    while (at != std::string::npos && (at < 84 || bytes.compare(at - 84, 4, directorySignature) != 0))
        at = bytes.find(name, at + 1);
    if (at == std::string::npos) return ::testing::AssertionFailure() << "no directory record for noise.bin";
    bytes[at - 84 + 44 + 6] = 4;  // declared size: 2^50 bytes and a little
    return WriteBytes(package, bytes) ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "not written";
}

// No disk has room for the package.
TEST_F(WizardTest, NoRoomIsToldAndLeavesNothingBehind)
{
    std::wstring source = MakeSource(L"src", 1000), direct = Join(m_scratch, L"direct.exe");
    const std::wstring deep = Join(m_target, L"deep");
    ASSERT_TRUE(Pack(source, {L"--default-target", deep, L"--extract-to-temp", L"0"}));
    ASSERT_TRUE(Pack(source, {L"--default-target", deep, L"--extract-to-temp", L"1"}, direct));
    ASSERT_TRUE(ClaimAPetabyte(m_package));
    ASSERT_TRUE(ClaimAPetabyte(direct));

    // Next refuses the folder and takes away the folders it made for it.
    ASSERT_TRUE(Start(L""));
    HWND page = WaitForPage(kEdit);
    ASSERT_TRUE(page);
    uidriver::PressButton(page, kNext);
    EXPECT_EQ(AnswerBox(IDOK).text, StubString(558));
    EXPECT_FALSE(Exists(m_target));
    uidriver::PressButton(page, IDCANCEL);
    AnswerBox(IDYES);
    EXPECT_EQ(m_run.Finish(kRunMs), 1602u);

    // Without the destination page the worker's own check fails: a box
    // names the disk and the page ends by itself with the disk-full code.
    ASSERT_TRUE(m_run.Start(direct, L""));
    EXPECT_EQ(AnswerBox(IDOK).text.rfind(L"Out of disk space on ", 0), 0u);
    EXPECT_EQ(m_run.Finish(kRunMs), 112u);
    EXPECT_FALSE(Exists(m_target));
    EXPECT_EQ(Record(), L"");
}

// The package is moved away while the destination page is up: Next takes
// the folder, the worker's open fails with a box, and the page ends by
// itself as a failed extraction.
TEST_F(WizardTest, APayloadThatNoLongerOpensEndsTheRunByItself)
{
    ASSERT_TRUE(Pack(MakeSource(L"src", 1000), {L"--extract-to-temp", L"0"}));
    ASSERT_TRUE(Start(L""));
    HWND page = WaitForPage(kEdit);
    ASSERT_TRUE(page);
    ASSERT_TRUE(MoveFileW(m_package.c_str(), (m_package + L".moved").c_str()));
    uidriver::PressButton(page, kNext);
    HWND box = WaitForDialog(m_run.Id(), StubString(500), kWindowMs);  // "Error"
    ASSERT_TRUE(box);
    uidriver::PressButton(box, IDOK);
    EXPECT_EQ(m_run.Finish(kRunMs), 1603u);
    EXPECT_EQ(Record(), L"");
}

// One package over 64 MiB: the bar's range in KiB does not fit 16 bits.
// Cancel pauses the extraction while it asks; No lets it finish, Yes stops
// it and nothing is launched.
TEST_F(WizardTest, LargePackageFillsItsBarAndCancelAsksFirst)
{
    const size_t bigSize = (70u << 20) + 123;
    std::wstring source = MakeSource(L"src", 0);
    ASSERT_TRUE(WriteBytes(Join(source, L"big.bin"), Noise(bigSize, 70)));
    ASSERT_TRUE(Pack(source, {L"-l", L"0"}));
    DeleteFileW(Join(source, L"big.bin").c_str());
    const std::wstring extractingPrefix = StubString(154).substr(0, StubString(154).find(L"%s"));

    ASSERT_TRUE(Start(L"/NOSETUP x"));
    HWND page = WaitForPage(kBar);
    ASSERT_TRUE(page);
    HWND bar = GetDlgItem(page, kBar);
    long range = -1;
    for (DWORD start = GetTickCount(); range <= 0xFFFF && GetTickCount() - start < kWindowMs;) range = BarRange(bar);
    uidriver::PressButton(page, IDCANCEL);
    HWND box = WaitForDialog(m_run.Id(), StubString(515), kWindowMs);
    ASSERT_TRUE(box);
    EXPECT_EQ(uidriver::ReadMessageBox(box).text, StubString(516));
    EXPECT_EQ(uidriver::ControlText(page, kStatus).rfind(extractingPrefix, 0), 0u);
    long before = BarPosition(bar);
    Sleep(500);
    EXPECT_EQ(BarPosition(bar), before) << "the extraction went on while the box asked";
    EXPECT_LT(before, range);
    uidriver::PressButton(box, IDNO);
    long position = -1;
    for (DWORD start = GetTickCount(); IsWindow(page) && GetTickCount() - start < kRunMs;)
        if (long p = BarPosition(bar); p >= 0) position = p;
    EXPECT_EQ(m_run.Finish(kRunMs), 0u);
    int64_t total = 0;
    for (const auto &entry : ListTree(m_target)) total += entry.second > 0 ? entry.second : 0;
    EXPECT_EQ(range, (long)(total / 1024));
    EXPECT_EQ(position, range);
    EXPECT_EQ(ListTree(m_target)[L"big.bin"], (int64_t)bigSize);

    // Cancel and Yes: the installer is not started, the run says cancelled.
    RemoveTree(m_target);
    ASSERT_TRUE(Start(L""));
    page = WaitForPage(kBar);
    ASSERT_TRUE(page);
    uidriver::PressButton(page, IDCANCEL);
    EXPECT_EQ(AnswerBox(IDYES).text, StubString(516));
    EXPECT_EQ(m_run.Finish(kRunMs), 1602u);
    EXPECT_EQ(Record(), L"");
    EXPECT_LT(ListTree(m_target)[L"big.bin"], (int64_t)bigSize) << "the extraction was not stopped";
    EXPECT_FALSE(Exists(Join(m_target, L"voxctrl.ach")));
    EXPECT_EQ(WorkFolders(), m_workFolders);
}

// ---------------------------------------------------------------------------
// "File Exists"

class FileExistsTest : public WizardTest {
protected:
    // Names a1.txt ... a5.txt and ro.txt, in the package "new <name>".
    std::wstring MakeOverwriteSource()
    {
        std::wstring source = MakeSource(L"src", 0);
        for (const wchar_t *name : {L"a1.txt", L"a2.txt", L"a3.txt", L"a4.txt", L"a5.txt", L"ro.txt"})
            WriteBytes(Join(source, name), "new " + Narrow(name));
        return source;
    }

    // The destination holds "old <name>" for each name; ro.txt read-only.
    void Prepare(const std::wstring &folder, const std::vector<std::wstring> &names)
    {
        RemoveTree(folder);
        MakeFolders(folder);
        for (const std::wstring &name : names) {
            WriteBytes(Join(folder, name), "old " + Narrow(name));
            if (name == L"ro.txt") SetFileAttributesW(Join(folder, name).c_str(), FILE_ATTRIBUTE_READONLY);
        }
    }
    std::string Content(const std::wstring &name, const std::wstring &folder = L"")
    {
        return ReadBytes(Join(folder.empty() ? m_target : folder, name));
    }

    struct Asked {
        std::wstring name;
        bool readOnly;
    };

    // Runs package (arguments), presses Next on the destination page when
    // it comes, and answers the questions: the read-only file with
    // readOnlyReply, the others with replies in turn; a question beyond
    // those fails. Returns what was asked.
    std::vector<Asked> Unpack(const std::wstring &arguments, const std::vector<Reply> &replies, DWORD *exitCode,
                              Reply readOnlyReply = {}, const std::wstring &folder = L"",
                              const std::wstring &package = L"")
    {
        std::vector<Asked> asked;
        std::wstring destination = folder.empty() ? m_target : folder;
        if (!m_run.Start(package.empty() ? m_package : package, arguments)) return asked;
        HWND page = WaitForDialog(m_run.Id(), Caption(), kWindowMs);
        EXPECT_TRUE(page);
        if (page && GetDlgItem(page, kEdit)) {
            EXPECT_EQ(EditText(page, kEdit), destination);
            uidriver::PressButton(page, kNext);
        }
        size_t next = 0;
        for (DWORD start = GetTickCount(); m_run.Running() && GetTickCount() - start < kRunMs; Sleep(20)) {
            HWND dialog = WaitForDialog(m_run.Id(), StubString(511), 0);
            if (!dialog) continue;
            std::wstring text = uidriver::ControlText(dialog, kFileText);
            std::wstring name = text.substr(text.rfind(L'\\') + 1);
            bool readOnly = name == L"ro.txt";
            asked.push_back({name, readOnly});
            EXPECT_EQ(text, Replace(StubString(readOnly ? 513 : 512), L"%s", Join(destination, name)));
            EXPECT_EQ(uidriver::ControlText(dialog, kQuestionText), StubString(514));
            Reply reply = readOnly ? readOnlyReply : next < replies.size() ? replies[next++] : Reply{};
            if (!reply.button && !reply.key) {
                ADD_FAILURE() << "an unexpected question about " << name;
                break;
            }
            reply.key ? PressKey(dialog, reply.key) : (void)uidriver::PressButton(dialog, reply.button);
            EXPECT_TRUE(uidriver::WaitUntilGone(dialog, kWindowMs));
        }
        *exitCode = m_run.Finish(kWindowMs);
        EXPECT_EQ(next, replies.size()) << "fewer questions than expected";
        return asked;
    }
};

TEST_F(FileExistsTest, EachAnswerDoesWhatItSays)
{
    ASSERT_TRUE(Pack(MakeOverwriteSource(), {L"--extract-to-temp", L"0", L"--show-overwrite", L"1"}));
    const std::vector<std::wstring> all = {L"a1.txt", L"a2.txt", L"a3.txt", L"a4.txt", L"a5.txt", L"ro.txt"};
    DWORD code = 0;

    // Yes, No, Enter, Yes to All; the fifth file is then replaced unasked.
    // The read-only file is asked about with its own text, and replaced.
    Prepare(m_target, all);
    std::vector<Asked> asked =
        Unpack(L"/NOSETUP x", {kReplyYes, kReplyNo, kReplyEnter, kReplyYesAll}, &code, kReplyYes);
    EXPECT_EQ(code, 0u);
    ASSERT_EQ(asked.size(), 5u);
    std::wstring kept;
    int readOnlyAsked = 0, normal = 0;
    for (const Asked &one : asked) {
        readOnlyAsked += one.readOnly;
        if (!one.readOnly && normal++ == 1) kept = one.name;
    }
    EXPECT_EQ(readOnlyAsked, 1);
    for (const std::wstring &name : all) EXPECT_EQ(Content(name), (name == kept ? "old " : "new ") + Narrow(name));
    EXPECT_EQ(Content(L"sub\\note.txt"), "nested\r\n");

    // No to All: one question, every existing file kept, the rest extracted.
    Prepare(m_target, {L"a1.txt", L"a2.txt", L"a3.txt"});
    asked = Unpack(L"/NOSETUP x", {kReplyNoAll}, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(asked.size(), 1u);
    for (const wchar_t *name : {L"a1.txt", L"a2.txt", L"a3.txt"}) EXPECT_EQ(Content(name), "old " + Narrow(name));
    EXPECT_EQ(Content(L"a4.txt"), "new a4.txt");

    // Cancel and Escape stop the run at the first question: nothing existing
    // is replaced, the installer is not started, the run says cancelled.
    for (Reply stop : {kReplyCancel, kReplyEscape}) {
        SCOPED_TRACE(stop.key ? "Escape" : "Cancel");
        Prepare(m_target, {L"a1.txt", L"a2.txt"});
        asked = Unpack(L"", {stop}, &code);
        EXPECT_EQ(code, 1602u);
        EXPECT_EQ(asked.size(), 1u);
        EXPECT_EQ(Content(L"a1.txt"), "old a1.txt");
        EXPECT_EQ(Content(L"a2.txt"), "old a2.txt");
        EXPECT_EQ(Record(), L"");
    }
}

TEST_F(FileExistsTest, NotAskedWhenThePackageOrTempExtSaysSo)
{
    std::wstring source = MakeOverwriteSource();
    std::wstring quiet = Join(m_scratch, L"pkg\\no_questions.exe");
    ASSERT_TRUE(Pack(source, {L"--extract-to-temp", L"0", L"--show-overwrite", L"0"}, quiet));
    ASSERT_TRUE(Pack(source, {L"--extract-to-temp", L"0", L"--show-overwrite", L"1"}));
    DWORD code = 0;

    Prepare(m_target, {L"a1.txt", L"ro.txt"});
    EXPECT_TRUE(Unpack(L"/NOSETUP x", {}, &code, {}, L"", quiet).empty());
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Content(L"a1.txt"), "new a1.txt");
    EXPECT_EQ(Content(L"ro.txt"), "new ro.txt");

    RemoveTree(m_target);
    std::wstring folder = Join(m_scratch, L"temp ext");
    Prepare(folder, {L"a1.txt", L"ro.txt"});
    EXPECT_TRUE(Unpack(L"/NOSETUP x /TEMPEXT " + Quote(folder), {}, &code, {}, folder).empty());
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(Content(L"a1.txt", folder), "new a1.txt");
    EXPECT_EQ(Content(L"ro.txt", folder), "new ro.txt");
    EXPECT_FALSE(Exists(m_target));
}

}  // namespace
