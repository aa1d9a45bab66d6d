// Window placement on the work area and the folder browser's conventions.
#include <gtest/gtest.h>

#include <string>

#include "log/errors.h"
#include "window/window.h"
#include "window_driver.h"

namespace {

RECT WorkArea()
{
    RECT work;
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

HWND Popup(int width, int height, HWND owner = nullptr)
{
    return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 300, 300, width, height, owner, nullptr, nullptr, nullptr);
}

RECT RectOf(HWND window)
{
    RECT rect;
    GetWindowRect(window, &rect);
    return rect;
}

TEST(WndCenter, AWindowLargerThanTheWorkAreaKeepsItsTopLeftOnIt)
{
    RECT work = WorkArea();
    HWND big = Popup(work.right - work.left + 300, work.bottom - work.top + 200);
    ASSERT_NE(big, nullptr);
    EXPECT_TRUE(VoWndCenter(big, nullptr, nullptr, 0));
    RECT placed = RectOf(big);
    EXPECT_EQ(placed.left, work.left);
    EXPECT_EQ(placed.top, work.top);
    DestroyWindow(big);
}

TEST(WndCenter, ModesAgainstTheScreenAndAPoint)
{
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HWND window = Popup(200, 90);
    VoWndCenter(window, nullptr, nullptr, 0);
    RECT r = RectOf(window);
    EXPECT_EQ(r.left, (screenWidth - 200) / 2);
    EXPECT_EQ(r.top, (screenHeight - 90) / 2);
    VoWndCenter(window, nullptr, nullptr, VO_WNDCENTER_UPPER_THIRD);
    r = RectOf(window);
    EXPECT_EQ(r.top, screenHeight / 3 - 90 / 3);
    POINT point = {400, 300};
    VoWndCenter(window, nullptr, &point, VO_WNDCENTER_ON_POINT);
    r = RectOf(window);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 255);
    // Near a corner the window is pushed back onto the work area.
    RECT work = WorkArea();
    point = {work.right - 5, work.bottom - 5};
    VoWndCenter(window, nullptr, &point, VO_WNDCENTER_ON_POINT);
    r = RectOf(window);
    EXPECT_EQ(r.right, work.right);
    EXPECT_EQ(r.bottom, work.bottom);
    DestroyWindow(window);
}

TEST(WndCenter, OwnedWindowsCentreOnTheirOwnerUnlessItIsMinimised)
{
    HWND owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 120, 400, 300, nullptr, nullptr,
                                 nullptr, nullptr);
    HWND owned = Popup(100, 60, owner);
    VoWndCenter(owned, nullptr, nullptr, VO_WNDCENTER_PARENT);
    RECT r = RectOf(owned);
    EXPECT_EQ(r.left, 100 + (400 - 100) / 2);
    EXPECT_EQ(r.top, 120 + (300 - 60) / 2);
    ShowWindow(owner, SW_MINIMIZE);
    VoWndCenter(owned, nullptr, nullptr, VO_WNDCENTER_PARENT | VO_WNDCENTER_UPPER_THIRD);
    r = RectOf(owned);
    EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - 100) / 2);
    EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) / 3 - 60 / 3);
    DestroyWindow(owned);
    DestroyWindow(owner);
}

TEST(ForceRectOntoDesktop, MarginsAndOneCorrectionPerAxis)
{
    RECT work = WorkArea();
    RECT rect = {work.left - 50, work.top + 10, work.left + 50, work.top + 60};
    EXPECT_EQ(VoForceRectOntoDesktop(&rect, 8, 20), work.top + 20);
    EXPECT_EQ(rect.left, work.left + 8);
    EXPECT_EQ(rect.right - rect.left, 100);
    rect = {work.right - 10, work.bottom - 10, work.right + 40, work.bottom + 40};
    VoForceRectOntoDesktop(&rect, 0, 0);
    EXPECT_EQ(rect.right, work.right);
    EXPECT_EQ(rect.bottom, work.bottom);
}

TEST(SelectDirectory, StartFolderNormalisingAndTheBufferRule)
{
    wchar_t path[260] = L"C:";
    VoNormalizeBrowseStartFolder(path, 260);
    EXPECT_STREQ(path, L"C:\\");
    VoNormalizeBrowseStartFolder(path, 260);
    EXPECT_STREQ(path, L"C:\\");
    wcscpy(path, L"C:\\Temp\\");
    VoNormalizeBrowseStartFolder(path, 260);
    EXPECT_STREQ(path, L"C:\\Temp");
    // A 259-unit buffer is refused before anything is shown.
    wchar_t small[259] = L"C:\\windows";
    EXPECT_EQ(VoSelectDirectoryDlgEx2(nullptr, L"t", small, 259, VO_BROWSE_START_AT_PATH), E_INVALIDARG);
}

TEST(SelectDirectory, OkReturnsTheStartFolderWithATrailingBackslash)
{
    wchar_t folder[MAX_PATH];
    GetWindowsDirectoryW(folder, MAX_PATH);
    wchar_t path[260];
    wcscpy(path, folder);
    // The browser's dialog has the platform's own caption; press OK on
    // whatever "#32770" window appears with it.
    wchar_t caption[128] = L"";
    std::thread pressOk([&] {
        for (int i = 0; i < 500; ++i) {
            HWND browser = FindWindowW(L"#32770", nullptr);
            if (browser && IsWindowVisible(browser) && GetDlgItem(browser, IDOK)) {
                Sleep(300);
                GetWindowTextW(browser, caption, 128);
                PostMessageW(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             (LPARAM)GetDlgItem(browser, IDOK));
                return;
            }
            Sleep(20);
        }
    });
    HRESULT hr = VoSelectDirectoryDlgEx(nullptr, L"Select Directory", path, 260, TRUE, TRUE);
    pressOk.join();
    ASSERT_EQ(hr, S_OK) << "browser caption: " << std::wstring(caption).size();
    std::wstring expected = std::wstring(folder) + L"\\";
    EXPECT_EQ(lstrcmpiW(path, expected.c_str()), 0);
}

}  // namespace
