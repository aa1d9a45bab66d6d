// The product's resources in every language: each string id is present in
// each language with the placeholders of its English text, and each dialog
// can be created in each language with all its controls.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "string_ids.h"

namespace {

const WORD kEnglish = 1033;

// The string exactly as the table of one language holds it (no fallback);
// empty when the language lacks it.
std::wstring RawString(WORD language, UINT id)
{
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC block = FindResourceExW(self, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    if (!block) return L"";
    auto *data = static_cast<const WORD *>(LockResource(LoadResource(self, block)));
    for (UINT i = 0; i < id % 16; ++i) data += 1 + *data;
    return std::wstring(reinterpret_cast<const wchar_t *>(data + 1), *data);
}

// What the formatter and the layout depend on, in order: conversions
// ("%s", "%08X"), tokens ("$(AppName)"), line breaks and tabs.
std::vector<std::wstring> Placeholders(const std::wstring &text)
{
    std::vector<std::wstring> found;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\n' || c == L'\t') {
            found.push_back(std::wstring(1, c));
        } else if (c == L'%') {
            size_t end = i + 1;
            while (end < text.size() && wcschr(L"-+ #0123456789.l", text[end])) ++end;
            found.push_back(text.substr(i, end + 1 - i));
            i = end;
        } else if (c == L'$' && i + 1 < text.size() && text[i + 1] == L'(') {
            size_t end = text.find(L')', i);
            found.push_back(text.substr(i, end == std::wstring::npos ? std::wstring::npos : end + 1 - i));
            if (end != std::wstring::npos) i = end;
        }
    }
    return found;
}

TEST(StringTables, EveryStringInEveryLanguageWithTheEnglishPlaceholders)
{
    for (UINT id : kVoxStringIds) {
        std::wstring english = RawString(kEnglish, id);
        ASSERT_FALSE(english.empty()) << "English string " << id;
        for (WORD language : kVoxLanguageIds) {
            std::wstring text = RawString(language, id);
            EXPECT_FALSE(text.empty()) << "string " << id << " missing in language " << language;
            EXPECT_EQ(Placeholders(text), Placeholders(english)) << "string " << id << " in language " << language;
        }
    }
}

TEST(StringTables, PlaceholderScan)
{
    std::vector<std::wstring> expected = {L"%s", L"\n", L"$(AppName.Title)", L"%08X", L"%%"};
    EXPECT_EQ(Placeholders(L"a %s\n$(AppName.Title) 0x%08X 100%%"), expected);
}

INT_PTR CALLBACK IdleDialogProc(HWND, UINT, WPARAM, LPARAM) { return 0; }

std::vector<unsigned> ControlsOf(unsigned dialogId)
{
    switch (dialogId) {
    case 1000: return {std::begin(kVoxDialog1000Controls), std::end(kVoxDialog1000Controls)};
    case 1100: return {std::begin(kVoxDialog1100Controls), std::end(kVoxDialog1100Controls)};
    default: return {std::begin(kVoxDialog1200Controls), std::end(kVoxDialog1200Controls)};
    }
}

TEST(StringTables, EveryDialogInEveryLanguageHasAllItsControls)
{
    HMODULE self = GetModuleHandleW(nullptr);
    for (unsigned dialogId : kVoxDialogIds) {
        for (WORD language : kVoxLanguageIds) {
            HRSRC found = FindResourceExW(self, RT_DIALOG, MAKEINTRESOURCEW(dialogId), language);
            ASSERT_NE(found, nullptr) << "dialog " << dialogId << " in language " << language;
            // Created hidden: only the controls matter here.
            auto *data = static_cast<const BYTE *>(LockResource(LoadResource(self, found)));
            std::vector<BYTE> copy(data, data + SizeofResource(self, found));
            ASSERT_EQ(*reinterpret_cast<WORD *>(&copy[2]), 0xFFFF) << "an extended template";
            DWORD *style = reinterpret_cast<DWORD *>(&copy[12]);  // after version, signature and help id
            *style &= ~(DWORD)WS_VISIBLE;
            HWND dialog = CreateDialogIndirectParamW(self, reinterpret_cast<DLGTEMPLATE *>(copy.data()), nullptr,
                                                     IdleDialogProc, 0);
            ASSERT_NE(dialog, nullptr) << "dialog " << dialogId << " in language " << language;
            EXPECT_GT(GetWindowTextLengthW(dialog), 0) << "caption of " << dialogId << " in " << language;
            for (unsigned control : ControlsOf(dialogId))
                EXPECT_NE(GetDlgItem(dialog, (int)control), nullptr)
                    << "control " << control << " of dialog " << dialogId << " in language " << language;
            DestroyWindow(dialog);
        }
    }
}

}  // namespace
