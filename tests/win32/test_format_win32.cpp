// The Windows-only members of the formatter family, with a real device
// context and the real message formatter.
#include <gtest/gtest.h>

#include <string>

#include "format/format.h"

TEST(ComposeStr, UsesNumberedInserts)
{
    wchar_t out[64];
    EXPECT_EQ(VoComposeStr(out, 64, L"%2 before %1, %3!d! times", L"one", L"two", 3), 23);
    EXPECT_STREQ(out, L"two before one, 3 times");
    // Tokens are not its business.
    VoComposeStr(out, 64, L"$(AppName) %1", L"x");
    EXPECT_STREQ(out, L"$(AppName) x");
}

TEST(ComposeStr, TooSmallBufferFails)
{
    wchar_t out[4] = L"abc";
    EXPECT_EQ(VoComposeStr(out, 4, L"%1", L"much too long"), 0);
    EXPECT_EQ(out[0], 0);
}

namespace {

class Ellipsis : public ::testing::Test {
protected:
    void SetUp() override
    {
        dc = CreateCompatibleDC(nullptr);
        ASSERT_NE(dc, nullptr);
        SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    }
    void TearDown() override { DeleteDC(dc); }
    int Width(const wchar_t *text)
    {
        SIZE s;
        GetTextExtentPoint32W(dc, text, lstrlenW(text), &s);
        return s.cx;
    }
    HDC dc = nullptr;
};

}  // namespace

TEST_F(Ellipsis, FittingTextIsLeftAlone)
{
    wchar_t text[64] = L"short";
    int width = Width(text) + 2;
    EXPECT_EQ(VoCalcStringEllipsis(dc, text, 64, width), 0);
    EXPECT_STREQ(text, L"short");
    EXPECT_EQ(VoCalcStringEllipsisFromEnd(dc, text, 64, width), 1);
    EXPECT_STREQ(text, L"short");
}

TEST_F(Ellipsis, ShortensFromTheEnd)
{
    wchar_t text[64] = L"C:\\Program Files\\A rather long folder name";
    int width = Width(L"C:\\Program Files...") + 2;
    EXPECT_EQ(VoCalcStringEllipsis(dc, text, 64, width), 1);
    std::wstring result = text;
    EXPECT_EQ(result.substr(result.size() - 3), L"...");
    EXPECT_EQ(result.compare(0, 10, L"C:\\Program"), 0);
    EXPECT_LE(Width(text), width - 2);
}

TEST_F(Ellipsis, ShortensFromTheFront)
{
    wchar_t text[64] = L"C:\\Program Files\\A rather long folder name";
    int width = Width(L"...folder name") + 2;
    EXPECT_EQ(VoCalcStringEllipsisFromEnd(dc, text, 64, width), 1);
    std::wstring result = text;
    EXPECT_EQ(result.substr(0, 3), L"...");
    EXPECT_EQ(result.substr(result.size() - 4), L"name");
    EXPECT_LE(Width(text), width - 2);
}

TEST_F(Ellipsis, NothingFitsLeavesTheTextUnchanged)
{
    wchar_t text[64] = L"some text";
    EXPECT_EQ(VoCalcStringEllipsis(dc, text, 64, 1), 0);
    EXPECT_STREQ(text, L"some text");
    EXPECT_EQ(VoCalcStringEllipsisFromEnd(dc, text, 64, 1), 0);
    EXPECT_STREQ(text, L"some text");
}

TEST_F(Ellipsis, ResultRespectsTheBufferSize)
{
    // Room for "ab..." only: the shortened text must fit in 6 units even
    // when the width would allow more.
    wchar_t text[16] = L"abcdefghij";
    wchar_t guard = text[6 + 1];
    EXPECT_EQ(VoCalcStringEllipsis(dc, text, 6, Width(L"abcdefghi") + 2), 1);
    EXPECT_STREQ(text, L"ab...");
    EXPECT_EQ(text[7], guard);
}
