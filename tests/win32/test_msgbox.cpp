// Message boxes: hooks and the no-UI hook, the application caption,
// formatting, and real boxes answered by a driver thread.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "msgbox/msgbox.h"
#include "window_driver.h"

namespace {

std::vector<std::wstring> g_logged;
void CALLBACK LogText(const wchar_t *text) { g_logged.push_back(text); }

struct SeenBox {
    std::wstring text, caption;
    UINT style = 0;
};

int CALLBACK RecordingHook(LPARAM data, HWND, const wchar_t *text, const wchar_t *caption, UINT style)
{
    auto *seen = reinterpret_cast<SeenBox *>(data);
    seen->text = text ? text : L"(null)";
    seen->caption = caption ? caption : L"(null)";
    seen->style = style;
    return 77;
}

class MsgBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_logged.clear();
        VoMsgBoxSetAppData(GetModuleHandleW(nullptr), nullptr, L"Test Caption");
    }
    void TearDown() override { VoMsgBoxSetAppData(GetModuleHandleW(nullptr), nullptr, L""); }
};

TEST_F(MsgBoxTest, NoUIHookAnswersWithTheDefaultButtonAndLogsTheText)
{
    ASSERT_EQ(VoMsgBoxSetNoUIHook(LogText), 1);
    EXPECT_EQ(VoMessageBox(nullptr, L"Overwrite?", nullptr, MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(VoMessageBox(nullptr, L"Go on?", nullptr, MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
    EXPECT_EQ(VoMsgBox(nullptr, MB_OK, L"Copied %d files", 3), IDOK);
    ASSERT_EQ(g_logged.size(), 3u);
    EXPECT_EQ(g_logged[0], L"Overwrite?");
    EXPECT_EQ(g_logged[2], L"Copied 3 files");
    // Another thread gets 0 at once and logs nothing.
    int foreign = -5;
    std::thread([&] { foreign = VoMessageBox(nullptr, L"elsewhere", nullptr, MB_OK); }).join();
    EXPECT_EQ(foreign, 0);
    EXPECT_EQ(g_logged.size(), 3u);
    // Removing it with null leaves no hook; a foreign hook would stay.
    EXPECT_EQ(VoMsgBoxSetNoUIHook(nullptr), 1);
    SeenBox seen;
    VoMsgBoxSetHook(RecordingHook, (LPARAM)&seen);
    VoMsgBoxSetNoUIHook(nullptr);
    EXPECT_EQ(VoMessageBox(nullptr, L"x", nullptr, MB_OK), 77);
}

TEST_F(MsgBoxTest, DefaultAnswerTable)
{
    EXPECT_EQ(VoMsgBoxDefaultAnswer(MB_OK), IDOK);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(MB_OK | MB_DEFBUTTON4), IDOK);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(MB_OKCANCEL | MB_DEFBUTTON2), IDCANCEL);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(MB_ABORTRETRYIGNORE | MB_DEFBUTTON3), IDIGNORE);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(MB_RETRYCANCEL), IDRETRY);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(VO_MB_YESYESALLNOCANCEL | MB_DEFBUTTON2), VO_ID_YESTOALL);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(VO_MB_YESNOALWAYS | MB_DEFBUTTON3), VO_ID_ALWAYS);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(VO_MB_YESNONOALLCANCEL | MB_DEFBUTTON3), VO_ID_NOTOALL);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(VO_MB_YESALLNONOALLCANCEL | 0x400), IDCANCEL);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(15 | MB_DEFBUTTON2), IDOK);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(MB_YESNO | MB_DEFBUTTON3), -1);
    EXPECT_EQ(VoMsgBoxDefaultAnswer(MB_OK | 0x500), -1);
}

TEST_F(MsgBoxTest, AnUnknownDefaultIsLoggedAndTheBoxShown)
{
    VoMsgBoxSetNoUIHook(LogText);
    CWindowDriver driver(L"Test Caption", IDYES);
    EXPECT_EQ(VoMessageBox(nullptr, L"Which?", nullptr, MB_YESNO | MB_DEFBUTTON3), IDYES);
    EXPECT_TRUE(driver.Found());
    ASSERT_EQ(g_logged.size(), 2u);
    EXPECT_EQ(g_logged[1], VO_MSGBOX_INVALID_TEXT);
}

TEST_F(MsgBoxTest, HooksSeeTheTextAsFormattedAndTheCaptionAsGiven)
{
    SeenBox seen;
    ASSERT_EQ(VoMsgBoxSetHook(RecordingHook, (LPARAM)&seen), 1);
    // No "$" or "%": the text is passed as it stands, even with a percent.
    EXPECT_EQ(VoMsgBox(nullptr, MB_OK, L"100"), 77);
    EXPECT_EQ(seen.text, L"100");
    EXPECT_EQ(VoMsgBox(nullptr, MB_ICONHAND, L"%s at 100%%", L"Done"), 77);
    EXPECT_EQ(seen.text, L"Done at 100%");
    EXPECT_EQ(seen.caption, L"(null)");
    EXPECT_EQ(seen.style, (UINT)MB_ICONHAND);
    EXPECT_EQ(VoMsgBoxId(nullptr, nullptr, MB_OK, 515), 77);
    EXPECT_EQ(seen.text, L"");
    // Hooks are set only from the thread that set the application data.
    int fromOther = -1;
    std::thread([&] { fromOther = VoMsgBoxSetHook(nullptr, 0); }).join();
    EXPECT_EQ(fromOther, 0);
    // Setting the data again clears the hook.
    VoMsgBoxSetAppData(GetModuleHandleW(nullptr), nullptr, L"Test Caption");
    CWindowDriver driver(L"Test Caption", IDOK);
    EXPECT_EQ(VoMessageBox(nullptr, L"shown", nullptr, MB_OK), IDOK);
}

TEST_F(MsgBoxTest, CaptionIsCutTo131Units)
{
    std::wstring longCaption(200, L'c');
    VoMsgBoxSetAppData(nullptr, nullptr, longCaption.c_str());
    EXPECT_EQ(std::wstring(VoMsgBoxGetCaption()), longCaption.substr(0, 131));
}

TEST_F(MsgBoxTest, AnUnownedBoxHasTheApplicationCaptionAndStaysOnTheWorkArea)
{
    CWindowDriver driver(L"Test Caption", IDOK);
    EXPECT_EQ(VoMessageBox(nullptr, L"Hello from the test", nullptr, MB_OK | MB_ICONINFORMATION), IDOK);
    ASSERT_TRUE(driver.Found());
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT box = driver.Rect();
    EXPECT_GE(box.left, work.left);
    EXPECT_GE(box.top, work.top);
    EXPECT_LE(box.right, work.right);
    EXPECT_LE(box.bottom, work.bottom);
    // Centred across the screen (to within a pixel of rounding).
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    EXPECT_NEAR((box.left + box.right) / 2, screenWidth / 2, 2);
}

TEST_F(MsgBoxTest, FormattedWindowTexts)
{
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE, 0, 0, 200, 100, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(VoSetWindowText(edit, L"%d%%", 50), 3);
    wchar_t text[100];
    GetWindowTextW(edit, text, 100);
    EXPECT_STREQ(text, L"50%");
    VoMEditPrintF(edit, nullptr);
    VoMEditPrintF(edit, L"line %d", 1);
    VoMEditPrintF(edit, L"~no break");
    VoMEditPrintF(edit, L"~~ end");
    GetWindowTextW(edit, text, 100);
    EXPECT_STREQ(text, L"line 1\r\nno break end");
    DestroyWindow(edit);
}

}  // namespace
