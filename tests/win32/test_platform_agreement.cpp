// The portable text and number shaping (used by the POSIX build) must give
// what the real Win32 functions give. These tests run under Wine.
#include <gtest/gtest.h>

#include <string>

#include "platform.h"

namespace {

struct TextCase {
    const wchar_t *directive;
    bool isString;     // text pointer argument, else a character
    const void *text;
    int character;
};

const char kNarrow[] = "narrow text";

const TextCase kTextCases[] = {
    {L"%s", true, L"plain", 0},
    {L"%5s", true, L"ab", 0},
    {L"%-5s", true, L"ab", 0},
    {L"%-10s", true, L"left", 0},
    {L"%10s", true, L"right", 0},
    {L"%05s", true, L"zero", 0},
    {L"%-05s", true, L"zl", 0},
    {L"%.3s", true, L"precision", 0},
    {L"%.0s", true, L"zero precision", 0},
    {L"%8.3s", true, L"abcdef", 0},
    {L"%-8.3s", true, L"abcdef", 0},
    {L"%2s", true, L"longer than width", 0},
    {L"%s", true, L"", 0},
    {L"%5s", true, L"", 0},
    {L"%s", true, nullptr, 0},
    {L"%10s", true, nullptr, 0},
    {L"%.2s", true, nullptr, 0},
    {L"%ls", true, L"long", 0},
    {L"%ws", true, L"wide", 0},
    {L"%hs", true, kNarrow, 0},
    {L"%12hs", true, kNarrow, 0},
    {L"%.6hs", true, kNarrow, 0},
    {L"%S", true, kNarrow, 0},
    {L"%lS", true, L"long upper", 0},
    {L"%#s", true, L"hash", 0},
    {L"%s", true, L"\x00e9t\x00e9 \x65e5\x672c", 0},
    {L"%c", false, nullptr, 'x'},
    {L"%5c", false, nullptr, 'y'},
    {L"%-5c", false, nullptr, 'z'},
    {L"%05c", false, nullptr, 'q'},
    {L"%.3c", false, nullptr, 'p'},
    {L"%hc", false, nullptr, 'n'},
    {L"%lc", false, nullptr, 0x263A},
    {L"%C", false, nullptr, 'N'},
    {L"%lC", false, nullptr, 0x00E9},
    {L"%c", false, nullptr, 0x65E5},
    {L"%Ls", true, L"unknown size", 0},
    {L"%Sx", true, kNarrow, 0},
    {L"%-#010s", true, L"flags", 0},
};

std::wstring Portable(const TextCase &c)
{
    wchar_t out[1100];
    auto call = [&](int dummy, ...) {
        va_list args;
        va_start(args, dummy);
        VoPortableWsprintfOne(out, c.directive, &args);
        va_end(args);
    };
    if (c.isString) call(0, c.text);
    else call(0, c.character);
    return out;
}

std::wstring Platform(const TextCase &c)
{
    wchar_t out[1100];
    if (c.isString) wsprintfW(out, c.directive, c.text);
    else wsprintfW(out, c.directive, c.character);
    return out;
}

}  // namespace

TEST(WsprintfAgreement, TextConversionsMatchWsprintfW)
{
    static_assert(sizeof(kTextCases) / sizeof(kTextCases[0]) >= 30, "the table holds at least 30 cases");
    for (const TextCase &c : kTextCases)
        EXPECT_EQ(Portable(c), Platform(c)) << "directive " << std::wstring(c.directive).c_str();
}

TEST(WsprintfAgreement, LongTextIsCutAt1023Units)
{
    std::wstring longText(3000, L'a');
    TextCase c{L"%s", true, longText.c_str(), 0};
    std::wstring portable = Portable(c);
    EXPECT_EQ(portable, Platform(c));
    EXPECT_EQ(portable.size(), 1023u);
}

TEST(NumberFormatAgreement, PortableShapingMatchesGetNumberFormatW)
{
    const wchar_t *values[] = {L"0", L"1", L"12", L"123", L"1234", L"1234567", L"-1234567",
                               L"1234.5", L"0.5", L".5", L"-0.5", L"007", L"1234567.891",
                               L"99.994", L"-99.994", L"0.001", L"-0.001", L"12345678901234567890",
                               L"", L"-", L".", L"1.2.3", L"12a", L" 12", L"1,234"};
    const struct { unsigned digits, lz, grouping; const wchar_t *dec, *thou; unsigned neg; } formats[] = {
        {0, 1, 3, L".", L",", 1}, {2, 1, 3, L".", L",", 1}, {2, 0, 3, L",", L".", 1},
        {3, 1, 0, L".", L",", 1}, {1, 1, 4, L"::", L"  ", 1}, {2, 1, 3, L".", L",", 0},
        {2, 1, 3, L".", L",", 2}, {2, 1, 3, L".", L",", 3}, {2, 1, 3, L".", L",", 4},
    };
    // Values whose rounding adds a digit ("999.995" to 2 decimals) are left
    // out: Wine then skips the grouping, Windows and the portable code group.
    for (const auto &f : formats) {
        tVONUMBERFORMAT nf{f.digits, f.lz, f.grouping, f.dec, f.thou, f.neg};
        for (const wchar_t *v : values) {
            wchar_t a[128], b[128];
            int na = VoPortableNumberFormat(v, &nf, a, 128);
            int nb = VoPlatformFormatNumber(v, &nf, b, 128);
            EXPECT_EQ(std::wstring(a), std::wstring(b))
                << "value '" << std::wstring(v).c_str() << "' digits " << f.digits << " neg " << f.neg;
            EXPECT_EQ(na, nb);
        }
    }
}

TEST(NumberFormatAgreement, TooSmallOutputGivesNothing)
{
    tVONUMBERFORMAT nf{2, 1, 3, L".", L",", 1};
    wchar_t a[6], b[6];
    EXPECT_EQ(VoPortableNumberFormat(L"123456", &nf, a, 6), 0);
    EXPECT_EQ(VoPlatformFormatNumber(L"123456", &nf, b, 6), 0);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(b[0], 0);
}
