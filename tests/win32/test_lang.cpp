// Language instances on this program's own resources: the product's string
// tables and dialogs in 16 languages plus the test strings and menu of
// test_resources.rc.
#include <gtest/gtest.h>

#include <string>

#include "lang/lang.h"
#include "files/files.h"
#include "png/png.h"

namespace {

const wchar_t kEnglishCaption[] = L"Unpacking Wizard";
const wchar_t kGermanCaption[] = L"Entpackungs-Assistent";

INT_PTR CALLBACK IdleDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

// Ends a modal dialog at once with 42 when it has control 2004.
INT_PTR CALLBACK EndAtOnceDialogProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG) return 0;
    EndDialog(dialog, GetDlgItem(dialog, 2004) ? 42 : 7);
    return 1;
}

// An instance on this program, with the program as its language module,
// as the stub opens its own; the language goes back to English afterwards.
class LangTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(VoLang_Open(&lang, GetModuleHandleW(nullptr), 3, 0), S_OK);
        ASSERT_EQ(VoLang_ChangeLangInst(lang, GetModuleHandleW(nullptr)), 1);
    }
    void TearDown() override
    {
        VoLang_UpdateKernelLCID(lang, 1033, 0);
        VoLang_Close(lang);
    }
    std::wstring Load(UINT id, int size = 1024)
    {
        std::wstring text(size, L'#');
        int n = VoLoadString(lang, id, &text[0], size);
        text.resize(wcslen(text.c_str()));
        EXPECT_EQ((size_t)n, text.size());
        return text;
    }
    HVOLANG lang = nullptr;
};

TEST_F(LangTest, StringsComeInTheLanguageSetWithEnglishAsFallback)
{
    EXPECT_EQ(VoLang_GetLCID(lang), 3u);
    // Until a language is set, strings are English.
    EXPECT_EQ(Load(515), kEnglishCaption);
    ASSERT_EQ(VoLang_UpdateKernelLCID(lang, 1031, 0), 1);
    EXPECT_EQ(Load(515), kGermanCaption);
    EXPECT_EQ(Load(904), L"Hallo");
    EXPECT_EQ(Load(902), L"English only");
    // Spanish is reachable under both of its language ids.
    VoLang_UpdateKernelLCID(lang, 1034, 0);
    std::wstring traditional = Load(515);
    VoLang_UpdateKernelLCID(lang, 3082, 0);
    EXPECT_EQ(Load(515), traditional);
    EXPECT_NE(traditional, kEnglishCaption);
    // 0 means English.
    VoLang_UpdateKernelLCID(lang, 0, 0);
    EXPECT_EQ(VoLang_GetLCID(lang), 1033u);
    EXPECT_EQ(Load(904), L"Hello");
}

TEST_F(LangTest, LoadStringMarksCutsAndMisses)
{
    EXPECT_EQ(Load(900), L"Open");
    // 10 units for a 20-unit string: 9 units and the terminator.
    wchar_t small[12];
    wmemset(small, L'#', 12);
    EXPECT_EQ(VoLoadString(lang, 901, small, 10), 9);
    EXPECT_STREQ(small, L"abcdefghi");
    EXPECT_EQ(small[10], L'#');
    wchar_t out[8] = L"junk";
    EXPECT_EQ(VoLoadString(lang, 903, out, 8), 0);
    EXPECT_STREQ(out, L"");
    EXPECT_EQ(VoLoadString(nullptr, 515, out, 8), 0);
    EXPECT_EQ(VoLoadString(lang, 515, out, 0), 0);
}

TEST_F(LangTest, CacheServesRepeatsAndIsFlushedByALanguageChange)
{
    const wchar_t *first = VoGetString(lang, 515);
    EXPECT_STREQ(first, kEnglishCaption);
    EXPECT_EQ(VoGetString(lang, 515), first);
    // A missing string is not cached: once the language has it, it loads.
    EXPECT_STREQ(VoGetString(lang, 905), L"");
    VoLang_UpdateKernelLCID(lang, 1031, 0);
    EXPECT_STREQ(VoGetString(lang, 515), kGermanCaption);
    EXPECT_STREQ(VoGetString(lang, 905), L"Nur Deutsch");
    // The menu form turns tabs into backspaces.
    VoLang_UpdateKernelLCID(lang, 1033, 0);
    EXPECT_STREQ(VoGetMenuString(lang, 906), L"Tab\bhere");
    EXPECT_STREQ(VoGetString(nullptr, 515), L"");
}

TEST_F(LangTest, RightToLeftLanguagesMirrorNewWindows)
{
    VoLang_UpdateKernelLCID(lang, 1037, 0);
    EXPECT_EQ(VoLang_UseRTL(lang), 1);
    HWND mirrored = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    VoLang_UpdateKernelLCID(lang, 1033, 0);
    HWND plain = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(mirrored && plain);
    EXPECT_TRUE(GetWindowLongW(mirrored, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    EXPECT_FALSE(GetWindowLongW(plain, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
    DestroyWindow(mirrored);
    DestroyWindow(plain);
}

TEST(LangLcid, ConditionedLanguagesAndClassification)
{
    EXPECT_EQ(VoLang_GetConditionedLCID(0x0C04), 0x0404u);
    EXPECT_EQ(VoLang_GetConditionedLCID(0x1404), 0x0404u);
    EXPECT_EQ(VoLang_GetConditionedLCID(0x1004), 0x0804u);
    EXPECT_EQ(VoLang_GetConditionedLCID(0x0416), 0x0416u);
    EXPECT_EQ(VoLang_GetConditionedLCID(0x0809), 0x0409u);
    EXPECT_EQ(VoLang_GetConditionedLCID(0x10407), 0x0407u);
    EXPECT_EQ(VoLang_IsLCIDEnglish(0x0809), 1);
    EXPECT_EQ(VoLang_IsLCIDEnglish(0x0407), 0);
    EXPECT_EQ(VoLang_UseRTL(nullptr), 0);
    EXPECT_EQ(VoLang_GetLCID(nullptr), 0u);
}

TEST_F(LangTest, ScratchRingWrapsAndRefusesWhatItCannotHold)
{
    wchar_t *first = VoGetTempStringBuffer(lang, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first[0], 0);
    wchar_t *second = VoGetTempStringBuffer(lang, 100);
    EXPECT_EQ(second, first + 2);
    // 8192 units with 1024 in reserve: the ring comes round before its end.
    wchar_t *last = second;
    for (int i = 0; i < 100; ++i) {
        wchar_t *next = VoGetTempStringBuffer(lang, 1000);
        ASSERT_NE(next, nullptr);
        if (next < last) break;
        EXPECT_LE(next + 1001, first + 8192);
        last = next;
    }
    EXPECT_EQ(VoGetTempStringBuffer(lang, 8192), nullptr);
    EXPECT_STREQ(VoGetPrintFromMultiByteString(lang, "abc"), L"abc");
    EXPECT_STREQ(VoGetMultiByteFromPrintString(lang, L"abc"), "abc");
    EXPECT_STREQ(VoGetMultiByteFromPrintString(lang, L""), "");
}

TEST_F(LangTest, DialogsAndCustomResourcesFollowTheLanguage)
{
    DWORD size = 0;
    auto *banner = static_cast<const unsigned char *>(
        VoLoadResourceCustom(lang, MAKEINTRESOURCEW(107), MAKEINTRESOURCEW(32), &size));
    ASSERT_NE(banner, nullptr);
    EXPECT_GT(size, 8u);
    EXPECT_EQ(memcmp(banner, "\x89PNG", 4), 0);
    BITMAPINFOHEADER *dib = nullptr;
    ASSERT_EQ(VoLoadPngDib(lang, MAKEINTRESOURCEW(107), 0, &dib), S_OK);
    EXPECT_GT(dib->biWidth, 400);
    EXPECT_GT(dib->biHeight, 40);
    VoDibFree(dib);

    auto captionOf = [&](UINT id) {
        HWND dialog = VoCreateDialogParam(lang, id, nullptr, IdleDialogProc, 0);
        EXPECT_NE(dialog, nullptr);
        wchar_t caption[100] = L"";
        GetWindowTextW(dialog, caption, 100);
        DestroyWindow(dialog);
        return std::wstring(caption);
    };
    EXPECT_EQ(captionOf(1100), L"Select destination...");
    VoLang_UpdateKernelLCID(lang, 1031, 0);
    EXPECT_EQ(captionOf(1100), L"Ziel auswählen...");
    // A modal dialog ends with its procedure's result.
    EXPECT_EQ(VoDialogBoxParam(lang, 1200, nullptr, EndAtOnceDialogProc, 0), 42);
    EXPECT_EQ(VoDialogBoxParam(lang, 4321, nullptr, nullptr, 0), -1);
}

TEST_F(LangTest, MenusLoseTheirMarksAndCanBeCleaned)
{
    HMENU menu = VoLoadMenu(lang, MAKEINTRESOURCEW(950));
    ASSERT_NE(menu, nullptr);
    wchar_t text[64];
    GetMenuStringW(menu, 9001, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"&Open");
    int position = 99;
    HMENU holder = VoGetSubmenuByID(menu, 9004, &position);
    EXPECT_EQ(position, 1);
    EXPECT_EQ(GetMenuItemID(holder, 0), 9004u);
    // Culling 9005 empties "&Gone"; cleaning drops it and the separators
    // at the ends of "&File" and the doubled one inside it.
    const UINT cull[] = {9005, 0, 9001};
    VoCullMenu(menu, cull, -1, TRUE);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    HMENU file = GetSubMenu(menu, 0);
    ASSERT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(GetMenuItemID(file, 0), 9001u);
    EXPECT_EQ(GetMenuItemID(file, 2), 9002u);
    DestroyMenu(menu);
}

// A satellite file beside the program lends its texts; it is loaded as
// data, so nothing in it runs.
TEST(LangSatellite, ASatelliteFileBesideTheProgramServesTheLanguage)
{
    wchar_t program[MAX_PATH], satellite[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    wcscpy(satellite, program);
    wcscpy(wcsrchr(satellite, L'.'), L".LNG");
    ASSERT_TRUE(CopyFileW(program, satellite, FALSE));
    HVOLANG lang = nullptr;
    ASSERT_EQ(VoLang_Open(&lang, GetModuleHandleW(nullptr), 0, 0), S_OK);
    DeleteFileW(satellite);  // still open as data: deleted once released
    ASSERT_EQ(VoLang_UpdateKernelLCID(lang, 1031, 0), 1);
    EXPECT_NE(VoLang_InstFromLang(lang), GetModuleHandleW(nullptr));
    EXPECT_STREQ(VoGetString(lang, 515), kGermanCaption);
    VoLang_UpdateKernelLCID(lang, 1033, 0);
    EXPECT_EQ(VoLang_InstFromLang(lang), GetModuleHandleW(nullptr));
    VoLang_Close(lang);
    DeleteFileW(satellite);
    EXPECT_EQ(GetFileAttributesW(satellite), INVALID_FILE_ATTRIBUTES);
}

}  // namespace

namespace {

TEST(LangMetric, UserLanguageChoiceRoundTripsThroughTheRegistry)
{
    const DWORD version = 0x02050000;  // 2.5
    LANGID loaded = 0;
    EXPECT_EQ(VoLang_LoadUserLCIDMetric(L"VoxkitTestProduct", 0x09090000, &loaded), 0);
    ASSERT_EQ(VoLang_SaveUserLCIDMetric(L"VoxkitTestProduct", version, 1031), 1);
    ASSERT_EQ(VoLang_LoadUserLCIDMetric(L"VoxkitTestProduct", version, &loaded), 1);
    EXPECT_EQ(loaded, 1031);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Avel Media\\VoxkitTestProduct");
}

TEST(LangFreeSpace, FreeSpaceTextFromTheDefaultInstance)
{
    wchar_t out[260];
    VoFormatDiskFreeSpace(L"", out);
    EXPECT_STREQ(out, L"Free space: unknown");
    VoFormatDiskFreeSpace(L"C:\\", out);
    std::wstring text = out;
    EXPECT_EQ(text.rfind(L"Free space: ", 0), 0u) << text.size();
    EXPECT_EQ(text.substr(text.size() - 5), L"00 KB");
}

}  // namespace
