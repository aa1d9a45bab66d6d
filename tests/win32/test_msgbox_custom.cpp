// The custom message box: real dialogs driven from a second thread (labels,
// default button, cancel rules, details pane, check box, geometry), and the
// hook path with its combined details text.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "msgbox/msgbox.h"

namespace {

const wchar_t kCaption[] = L"Custom Box Test";

struct SeenBox {
    int calls = 0, answer = 77;
    std::wstring text, caption;
    UINT style = 0;
};

int CALLBACK RecordingHook(LPARAM data, HWND, const wchar_t *text, const wchar_t *caption, UINT style)
{
    auto *seen = reinterpret_cast<SeenBox *>(data);
    seen->calls++;
    seen->text = text, seen->caption = caption, seen->style = style;
    return seen->answer;
}

// Runs show() on this thread while act(box) runs on another thread once the
// box is visible; returns show()'s answer after the driver has finished.
template <class Act, class Show> int Drive(Act act, Show show)
{
    std::thread driver([&] {
        for (int waited = 0; waited < 10000; waited += 20, Sleep(20)) {
            HWND box = FindWindowW(L"#32770", kCaption);
            if (box && IsWindowVisible(box)) return act(box);
        }
    });
    int answer = show();
    driver.join();
    return answer;
}

std::wstring Text(HWND window)
{
    wchar_t text[256] = {};
    return GetWindowTextW(window, text, 256), text;
}
RECT Rect(HWND window)
{
    RECT rect = {};
    return GetWindowRect(window, &rect), rect;
}
void Press(HWND box, int id) { PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
bool IsDefault(HWND box, int id) { return (GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & 0xF) == BS_DEFPUSHBUTTON; }

class MsgBoxCustom : public ::testing::Test {
protected:
    void SetUp() override { VoMsgBoxSetAppData(GetModuleHandleW(nullptr), nullptr, kCaption); }
    void TearDown() override { VoMsgBoxSetHook(nullptr, 0); }
};

TEST_F(MsgBoxCustom, EscapeOnOkBoxesAnswersOkAndCancelsElsewhere)
{
    bool cancelButton = true;
    auto escape = [&](HWND box) { cancelButton = GetDlgItem(box, IDCANCEL) != nullptr, Press(box, IDCANCEL); };
    EXPECT_EQ(Drive(escape, [] { return VoMsgBox_Custom(nullptr, MB_OK, nullptr, L"Done."); }), IDOK);
    EXPECT_FALSE(cancelButton);
    // An unknown set is a plain OK box.
    EXPECT_EQ(Drive(escape, [] { return VoMsgBox_Custom(nullptr, 7, nullptr, L"Done."); }), IDOK);
    EXPECT_FALSE(cancelButton);
    EXPECT_EQ(Drive(escape, [] { return VoMsgBox_Custom(nullptr, MB_OKCANCEL, nullptr, L"Go?"); }), IDCANCEL);
    EXPECT_TRUE(cancelButton);
}

TEST_F(MsgBoxCustom, AYesNoBoxIgnoresCancelAndGraysClose)
{
    bool stillShown = false, closeGrayed = false;
    auto act = [&](HWND box) {
        SendMessageW(box, WM_COMMAND, IDCANCEL, 0);
        SendMessageW(box, WM_COMMAND, IDOK, 0);  // not a button of this box
        stillShown = IsWindowVisible(box);
        closeGrayed = (GetMenuState(GetSystemMenu(box, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED) != 0;
        Press(box, IDYES);
    };
    EXPECT_EQ(Drive(act, [] { return VoMsgBox_Custom(nullptr, MB_YESNO | MB_ICONQUESTION, nullptr, L"Sure?"); }), IDYES);
    EXPECT_TRUE(stillShown);
    EXPECT_TRUE(closeGrayed);
}

TEST_F(MsgBoxCustom, TheFiveButtonSetHasItsLabelsInOneRow)
{
    const int ids[] = {IDYES, VO_ID_YESTOALL, IDNO, VO_ID_NOTOALL, IDCANCEL};
    std::vector<std::wstring> labels(5);
    RECT rects[5];
    auto act = [&](HWND box) {
        for (int i = 0; i < 5; ++i) labels[i] = Text(GetDlgItem(box, ids[i])), rects[i] = Rect(GetDlgItem(box, ids[i]));
        Press(box, VO_ID_NOTOALL);
    };
    EXPECT_EQ(Drive(act, [] { return VoMsgBox_Custom(nullptr, VO_MB_YESALLNONOALLCANCEL, nullptr, L"Replace?"); }),
              VO_ID_NOTOALL);
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"&Yes", L"Yes to &All", L"&No", L"No to A&ll", L"Cancel"}));
    for (int i = 1; i < 5; ++i) {
        EXPECT_EQ(rects[i].top, rects[0].top);
        EXPECT_GE(rects[i].left, rects[i - 1].right);
    }
}

TEST_F(MsgBoxCustom, TheDefaultButtonIndexIsHonouredAndClamped)
{
    bool defaults[3] = {};
    auto enter = [&](HWND box) {
        defaults[0] = IsDefault(box, IDYES), defaults[1] = IsDefault(box, IDNO), defaults[2] = IsDefault(box, IDCANCEL);
        GUITHREADINFO info = {};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetWindowThreadProcessId(box, nullptr), &info);
        PostMessageW(info.hwndFocus, WM_KEYDOWN, VK_RETURN, 0);
    };
    EXPECT_EQ(Drive(enter, [] { return VoMsgBox_Custom(nullptr, MB_YESNOCANCEL | MB_DEFBUTTON2, nullptr, L"?"); }), IDNO);
    EXPECT_FALSE(defaults[0]);
    EXPECT_TRUE(defaults[1]);
    EXPECT_FALSE(defaults[2]);
    // An index past the row is the last button.
    EXPECT_EQ(Drive(enter, [] { return VoMsgBox_Custom(nullptr, MB_YESNO | 0x500, nullptr, L"?"); }), IDNO);
    EXPECT_TRUE(defaults[1]);
}

TEST_F(MsgBoxCustom, TheDetailsButtonTogglesThePane)
{
    int heights[3] = {};
    std::vector<std::wstring> labels(3);
    std::wstring details;
    bool paneShown[2] = {}, readOnly = false;
    auto act = [&](HWND box) {
        HWND edit = GetDlgItem(box, VO_ID_DETAILSTEXT);
        for (int i = 0; i < 3; ++i) {
            if (i) SendMessageW(box, WM_COMMAND, VO_ID_DETAILS, 0);
            heights[i] = Rect(box).bottom - Rect(box).top;
            labels[i] = Text(GetDlgItem(box, VO_ID_DETAILS));
            if (i < 2) paneShown[i] = IsWindowVisible(edit);
        }
        details = Text(edit);
        readOnly = (GetWindowLongW(edit, GWL_STYLE) & (ES_READONLY | WS_VSCROLL)) == (ES_READONLY | WS_VSCROLL);
        Press(box, IDOK);
    };
    EXPECT_EQ(Drive(act, [] { return VoMsgBox_Custom(nullptr, VO_MB_DETAILS, L"a.dll\r\nb.dll", L"Failed."); }), IDOK);
    EXPECT_GT(heights[1], heights[0]);
    EXPECT_EQ(heights[2], heights[0]);
    EXPECT_EQ(labels, (std::vector<std::wstring>{L"&Details >>", L"<< &Hide Details", L"&Details >>"}));
    EXPECT_FALSE(paneShown[0]);
    EXPECT_TRUE(paneShown[1]);
    EXPECT_EQ(details, L"a.dll\r\nb.dll");
    EXPECT_TRUE(readOnly);
    // With one of the two bits there is no toggle, so the pane is open.
    bool toggle = true, open = false;
    auto oneBit = [&](HWND box) {
        toggle = GetDlgItem(box, VO_ID_DETAILS) != nullptr;
        open = IsWindowVisible(GetDlgItem(box, VO_ID_DETAILSTEXT));
        Press(box, IDOK);
    };
    EXPECT_EQ(Drive(oneBit, [] { return VoMsgBox_Custom(nullptr, 0x4000, L"log", L"Failed."); }), IDOK);
    EXPECT_FALSE(toggle);
    EXPECT_TRUE(open);
}

TEST_F(MsgBoxCustom, TheCheckBoxStateComesBack)
{
    BOOL checked = TRUE;
    std::wstring label;
    LRESULT before = 0;
    auto act = [&](HWND box) {
        HWND check = GetDlgItem(box, VO_ID_CHECKBOX);
        label = Text(check);
        before = SendMessageW(check, BM_GETCHECK, 0, 0);
        SendMessageW(check, BM_CLICK, 0, 0);
        Press(box, IDCANCEL);
    };
    auto show = [&] { return VoMsgBox_CustomEx(nullptr, VO_MB_CHECKBOX, nullptr, nullptr, &checked, L"Hint"); };
    EXPECT_EQ(Drive(act, show), IDOK);
    EXPECT_EQ(label, L"&Do not show this message again");
    EXPECT_EQ(before, BST_CHECKED);
    EXPECT_FALSE(checked);
    // The plain form has nowhere to store a state: no check box.
    bool hasCheck = true;
    auto plain = [&](HWND box) { hasCheck = GetDlgItem(box, VO_ID_CHECKBOX) != nullptr, Press(box, IDOK); };
    EXPECT_EQ(Drive(plain, [] { return VoMsgBox_Custom(nullptr, VO_MB_CHECKBOX, nullptr, L"Hint"); }), IDOK);
    EXPECT_FALSE(hasCheck);
}

TEST_F(MsgBoxCustom, LongTextWrapsAndTheBoxStaysWithinTheScreen)
{
    std::wstring text;
    for (int i = 0; i < 3000; ++i) text += L"word ";
    RECT box = {};
    EXPECT_EQ(Drive([&](HWND w) { box = Rect(w), Press(w, IDOK); },
                    [&] { return VoMsgBox_Custom(nullptr, MB_ICONHAND, nullptr, text.c_str()); }),
              IDOK);
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(box.right - box.left, (work.right - work.left) * 3 / 4);
    EXPECT_LE(box.bottom - box.top, GetSystemMetrics(SM_CYSCREEN) * 3 / 4);
    EXPECT_GE(box.left, work.left);
    EXPECT_GE(box.top, work.top);
}

TEST_F(MsgBoxCustom, TheHookGetsTheDetailsAndAnswersButNotInconsistentCalls)
{
    SeenBox seen;
    seen.answer = VO_ID_ALWAYS;
    VoMsgBoxSetHook(RecordingHook, (LPARAM)&seen);
    // Details without text, a check box without a state: 0, nothing asked.
    EXPECT_EQ(VoMsgBox_Custom(nullptr, VO_MB_DETAILS, nullptr, L"x"), 0);
    EXPECT_EQ(VoMsgBox_Custom(nullptr, 0x4000, nullptr, L"x"), 0);
    EXPECT_EQ(VoMsgBox_CustomEx(nullptr, VO_MB_CHECKBOX, nullptr, L"label", nullptr, L"x"), 0);
    EXPECT_EQ(seen.calls, 0);
    UINT flags = VO_MB_YESNOALWAYS | VO_MB_DETAILS | MB_ICONQUESTION;
    EXPECT_EQ(VoMsgBox_Custom(nullptr, flags, L"a.dll", L"Copied %d files", 3), VO_ID_ALWAYS);
    EXPECT_EQ(seen.text, L"Copied 3 files\r\n<Details>\r\na.dll\r\n</Details>");
    EXPECT_EQ(seen.caption, kCaption);
    EXPECT_EQ(seen.style, flags);
    // Texts beyond the formatting buffer are combined whole.
    std::wstring message(3000, L'm'), details(9000, L'd');
    VoMsgBox_Custom(nullptr, VO_MB_DETAILS, details.c_str(), message.c_str());
    EXPECT_EQ(seen.text, message + L"\r\n<Details>\r\n" + details + L"\r\n</Details>");
    VoMsgBox_Custom(nullptr, MB_OK, nullptr, L"plain");
    EXPECT_EQ(seen.text, L"plain");
    // A hook answering -1 lets the box be shown.
    seen.answer = -1;
    EXPECT_EQ(Drive([](HWND box) { Press(box, IDRETRY); },
                    [] { return VoMsgBox_Custom(nullptr, MB_RETRYCANCEL, nullptr, L"Again?"); }),
              IDRETRY);
}

}  // namespace
