#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <functional>
#include <limits>
#include <string>

#include "lang/inat.h"
#include "number/number.h"

// The process record is the user's: English (United States) both natively
// and under Wine, so "," groups by three and "." is the decimal point.

namespace {

typedef std::basic_string<VOCHAR> Text;

std::string Narrow(const VOCHAR *text)
{
    std::string s;
    for (; *text; ++text) s += *text < 128 ? (char)*text : '?';
    return s;
}

Text Wide(const std::string &ascii)
{
    return Text(ascii.begin(), ascii.end());
}

const VOCHAR kGuard = 0xBEEF;

// Runs a parser on ASCII text; returns the value and the end's offset.
template <typename T, typename F>
std::pair<T, long> Parse(F parser, const std::string &ascii)
{
    Text text = Wide(ascii);
    const VOCHAR *end = nullptr;
    T value = parser(text.c_str(), &end);
    return {value, (long)(end - text.c_str())};
}

}  // namespace

TEST(NumberParse, DecimalParsersGroupWrapAndSaturate)
{
    EXPECT_EQ(Parse<uint32_t>(VoTextToDWordToken, "  1,234abc"), std::make_pair(1234u, 7L));
    EXPECT_EQ(Parse<uint32_t>(VoTextToDWordToken, "-5"), std::make_pair(0u, 2L));
    EXPECT_EQ(Parse<uint32_t>(VoTextToDWordToken, "12.9x"), std::make_pair(12u, 4L));
    EXPECT_EQ(Parse<uint32_t>(VoTextToDWordToken, "4294967297"), std::make_pair(1u, 10L));
    EXPECT_EQ(Parse<uint64_t>(VoTextToDWordLongToken, "18,446,744,073,709,551,617").first, 1u);

    EXPECT_EQ(Parse<int32_t>(VoTextToLongToken, "--5"), std::make_pair(0, 1L));
    EXPECT_EQ(Parse<int32_t>(VoTextToLongToken, "  abc"), std::make_pair(0, 2L));
    EXPECT_EQ(Parse<int32_t>(VoTextToLongToken, "2147483648").first, INT32_MAX);
    EXPECT_EQ(Parse<int32_t>(VoTextToLongToken, "-2,147,483,649").first, INT32_MIN);
    EXPECT_EQ(Parse<int64_t>(VoTextToLongLongToken, "-9,223,372,036,854,775,808").first, INT64_MIN);
    EXPECT_EQ(Parse<int64_t>(VoTextToLongLongToken, "9223372036854775808").first, INT64_MAX);

    // Past 63 characters the run is consumed but no longer read.
    EXPECT_EQ(Parse<int64_t>(VoTextToLongLongToken, std::string(100, '9') + "z"),
              std::make_pair(INT64_MAX, 100L));
}

TEST(NumberParse, HexadecimalAndDouble)
{
    EXPECT_EQ(Parse<uint32_t>(VoHexToDWordToken, "0X1f"), std::make_pair(31u, 4L));
    EXPECT_EQ(Parse<uint32_t>(VoHexToDWordToken, "1fz"), std::make_pair(31u, 2L));
    EXPECT_EQ(Parse<uint32_t>(VoHexToDWordToken, "-1"), std::make_pair(0u, 0L));
    EXPECT_EQ(Parse<uint64_t>(VoHexToDWordLongToken, "0x123456789ABCDEF0").first, 0x123456789ABCDEF0ull);
    EXPECT_EQ(Parse<uint64_t>(VoHexToDWordLongToken, "1FFFFFFFFFFFFFFFF").first, UINT64_MAX);

    auto plain = [](const VOCHAR *t, const VOCHAR **e) { return VoTextToDoubleToken(t, e, 0); };
    EXPECT_EQ(Parse<double>(plain, " -1,234.25"), std::make_pair(-1234.25, 10L));
    EXPECT_EQ(Parse<double>(plain, "12.5.7e3"), std::make_pair(12.5, 6L));
    EXPECT_EQ(Parse<double>(plain, "1" + std::string(62, '0') + ".999").first, 1e62);
}

TEST(NumberParse, ExVariantsTakeTheDefaultOnlyForUnreadTextThenClamp)
{
    EXPECT_EQ(VoTextToLongTokenEx(VOTEXT("abc"), 7, -100, 100, nullptr), 7);
    EXPECT_EQ(VoTextToLongTokenEx(VOTEXT("0"), 7, -100, 100, nullptr), 0);
    EXPECT_EQ(VoTextToLongTokenEx(VOTEXT("0abc"), 7, -100, 100, nullptr), 7);
    EXPECT_EQ(VoTextToLongTokenEx(nullptr, 7, -100, 100, nullptr), 7);
    EXPECT_EQ(VoHexToDWordLongTokenEx(VOTEXT("0xg"), 0x10, 0, 0xFF, nullptr), 0x10u);
    const VOCHAR *text = VOTEXT("  x");
    const VOCHAR *end = nullptr;
    EXPECT_EQ(VoTextToDWordTokenEx(text, 9, 0, 100, &end), 9u);
    EXPECT_EQ(end, text + 2);

    EXPECT_EQ(VoTextToDWordTokenEx(VOTEXT("500"), 0, 1, 100, nullptr), 100u);
    EXPECT_EQ(VoTextToDWordTokenEx(VOTEXT("0"), 0, 3, 100, nullptr), 3u);
    // Each compares with its own signedness.
    EXPECT_EQ(VoTextToLongTokenEx(VOTEXT("-1"), 0, 0, 100, nullptr), 0);
    EXPECT_EQ(VoTextToLongLongTokenEx(VOTEXT("-5000000000"), 0, INT64_MIN, -6000000000LL, nullptr),
              -6000000000LL);
    EXPECT_EQ(VoHexToDWordTokenEx(VOTEXT("0x80000000"), 0, 0, 0x7FFFFFFF, nullptr), 0x7FFFFFFFu);
    EXPECT_EQ(VoTextToDoubleTokenEx(VOTEXT("-2.5"), 0.0, -1.0, 1.0, nullptr, 0), -1.0);
}

TEST(NumberWrite, Integers)
{
    VOCHAR out[VONUMBER_TEXT_CHARS];
    struct { std::function<int()> write; const char *text; } cases[] = {
        {[&] { return VoDWordToText(0, out, 0); }, "0"},
        {[&] { return VoDWordToText(1234567, out, 1); }, "1,234,567"},
        {[&] { return VoLongToText(INT32_MIN, out, 1); }, "-2,147,483,648"},
        {[&] { return VoDWordLongToText(0xFFFFFFFFu, 0xFFFFFFFFu, out, 1); }, "18,446,744,073,709,551,615"},
        {[&] { return VoLongLongToText(0xFFFFFFFFu, 0xFFFFFFFFu, out, 0); }, "-1"},
        {[&] { return VoLongLongToText(0, 0x80000000u, out, 1); }, "-9,223,372,036,854,775,808"},
        {[&] { return VoLongLongToText(0xFFFFFFFFu, 0, out, 0); }, "4294967295"},  // high 0: unsigned
    };
    for (const auto &c : cases) {
        int length = c.write();
        EXPECT_EQ(Narrow(out), c.text);
        EXPECT_EQ(length, (int)VoStrLen(out)) << c.text;
    }
}

TEST(NumberWrite, DoubleRoundsHalfUpAndDropsTheSignOfZero)
{
    VOCHAR out[VONUMBER_TEXT_CHARS];
    struct { double value; int decimals; int grouped; const char *text; } cases[] = {
        {-0.004, 2, 0, "0.00"},
        {-12.5, 2, 0, "-12.50"},
        {1.5, 0, 0, "2"},
        {0.9999999999, 9, 0, "1.000000000"},
        {1.0, 12, 0, "1.000000000"},  // at most 9 decimals
        {1234567.891, 2, 1, "1,234,567.89"},
        // Beyond the integer part's 64 bits: saturated, not undefined.
        {1e300, 2, 0, "18446744073709551615.00"},
        {-HUGE_VAL, 0, 1, "-18,446,744,073,709,551,615"},
        {std::numeric_limits<double>::quiet_NaN(), 2, 0, "0.00"},
    };
    for (const auto &c : cases) {
        int length = VoDoubleToText(out, c.value, c.decimals, c.grouped);
        EXPECT_EQ(Narrow(out), c.text) << c.value << " " << c.decimals;
        EXPECT_EQ(length, (int)VoStrLen(out)) << c.value;
    }
}

TEST(NumberLocaleFormat, ShapesTheNumberBehindAnUnchangedPrefix)
{
    VOCHAR out[260];
    struct { const char *in; int decimals; const char *out; } cases[] = {
        // decimals -2: VoFormatNumber, -3: VoFormatDecimalNumber
        {"1234567", -2, "1,234,567"},
        {"", -2, ""},
        {"007", -2, "007"},       // leading zeros pass through
        {"-1234", -2, "-1,234"},
        {"1234.56", -2, "1,235"},
        {"12abc", -2, ""},        // not a plain number behind the prefix
        {"1234.5", -3, "1234.5"},
        {"-0.250", -3, "-0.250"},
        {"1234567.5", -1, "1,234,567.5"},
        {"1234567.555", 2, "1,234,567.56"},
        {".5", -1, "0.5"},
        {"$0.5", -1, "$0.5"},
    };
    for (const auto &c : cases) {
        Text in = Wide(c.in);
        int length = c.decimals == -2   ? VoFormatNumber(in.c_str(), out, 260)
                     : c.decimals == -3 ? VoFormatDecimalNumber(in.c_str(), out, 260)
                                        : VoFormatGroupDecimalNumber(in.c_str(), out, 260, c.decimals);
        EXPECT_EQ(Narrow(out), c.out) << c.in;
        EXPECT_EQ(length, (int)VoStrLen(out)) << c.in;
    }
}

TEST(NumberLocaleFormat, NeverWritesPastOutChars)
{
    for (const char *input : {"$1234567", "1234567.25", "$$$$$$$$$$1", "-9876543210", "0001"}) {
        Text text = Wide(input);
        for (int outChars = 1; outChars <= 16; ++outChars) {
            for (int which = 0; which < 3; ++which) {
                VOCHAR buffer[17];
                for (VOCHAR &u : buffer) u = kGuard;
                int length = which == 0   ? VoFormatNumber(text.c_str(), buffer, outChars)
                             : which == 1 ? VoFormatDecimalNumber(text.c_str(), buffer, outChars)
                                          : VoFormatGroupDecimalNumber(text.c_str(), buffer, outChars, 3);
                ASSERT_EQ(buffer[outChars], kGuard) << input << " " << outChars << " " << which;
                ASSERT_EQ(VoStrLen(buffer), (size_t)length) << input << " " << outChars;
            }
        }
    }
    // A prefix is cut to the room; a number that does not fit leaves the
    // prefix alone; an exact fit is whole.
    VOCHAR out[12];
    EXPECT_EQ(VoFormatNumber(VOTEXT("$$$$$$$$1"), out, 4), 3);
    EXPECT_EQ(VoFormatNumber(VOTEXT("$1234567"), out, 10), 1);
    EXPECT_EQ(Narrow(out), "$");
    EXPECT_EQ(VoFormatNumber(VOTEXT("$1234567"), out, 11), 10);
}

// Other settings installed in the process record; the refresh restores them.
class NumberOtherLocale : public ::testing::Test {
protected:
    void Install(const char *thousand, const char *decimal, int leadingZero)
    {
        tVOINAT r = *VoGetInatRecord();
        r.thousandSepLen = (int32_t)VoAsciiToText(r.thousandSep, thousand, VOINAT_SEP_CHARS);
        r.decimalSepLen = (int32_t)VoAsciiToText(r.decimalSep, decimal, VOINAT_SEP_CHARS);
        r.leadingZero = leadingZero;
        VoInat_SetRecord(&r);
    }
    void TearDown() override { VoLang_GetInternationals(nullptr, 0); }
};

TEST_F(NumberOtherLocale, ParsersAndWritersUseTheLocaleSeparators)
{
    auto aware = [](const VOCHAR *t, const VOCHAR **e) { return VoTextToDoubleToken(t, e, 1); };
    auto plain = [](const VOCHAR *t, const VOCHAR **e) { return VoTextToDoubleToken(t, e, 0); };
    Install(".", ",", 0);
    EXPECT_EQ(Parse<uint32_t>(VoTextToDWordToken, "1.234,5"), std::make_pair(1234u, 7L));
    EXPECT_EQ(Parse<double>(aware, "1.234,5").first, 1234.5);
    EXPECT_EQ(Parse<double>(plain, "1.234,5").first, 1.2345);
    VOCHAR out[VONUMBER_TEXT_CHARS];
    EXPECT_EQ(VoDoubleToText(out, -1234.5, 2, 1), 9);
    EXPECT_EQ(Narrow(out), "-1.234,50");
    VoFormatDecimalNumber(VOTEXT("0.5"), out, VONUMBER_TEXT_CHARS);
    EXPECT_EQ(Narrow(out), ",5");

    Install("  ", "::", 1);  // separators of two units
    EXPECT_EQ(Parse<double>(aware, "12  345::25 :x"), std::make_pair(12345.25, 11L));
    Install("", ".", 1);  // no grouping separator: nothing is skipped
    EXPECT_EQ(Parse<uint32_t>(VoTextToDWordToken, "1,5"), std::make_pair(1u, 1L));
}

// The C library's own locale (here one with a decimal comma) does not change
// how a text is read. Under Wine the Windows name is known.
TEST(NumberParse, DoubleIgnoresTheCLibraryLocale)
{
    const char *set = nullptr;
    for (const char *name : {"de_DE.UTF-8", "de_DE", "German_Germany.1252"})
        if ((set = setlocale(LC_NUMERIC, name))) break;
    bool comma = set && localeconv()->decimal_point[0] == ',';
    double value = VoTextToDoubleToken(VOTEXT("1.5"), nullptr, 0);
    double grouped = VoTextToDoubleToken(VOTEXT("-12,345.25"), nullptr, 0);
    setlocale(LC_NUMERIC, "C");
    if (!comma) GTEST_SKIP() << "no locale with a decimal comma here";
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(grouped, -12345.25);
}

TEST(NumberTextCleanup, TrimPrepareAndReplace)
{
    VOCHAR text[16] = {' ', ' ', 'a', ' ', 'b', '\t', ' ', 0};
    EXPECT_EQ(VoStripWhiteSpace(text), 3);
    EXPECT_EQ(Narrow(text), "a b");

    // Cut first, trimmed after: the blank left at the cut goes too.
    VOCHAR out[7];
    out[6] = kGuard;
    EXPECT_EQ(VoPrepareName(VOTEXT(" abcd efgh"), out, 6), out);
    EXPECT_EQ(Narrow(out), "abcd");
    EXPECT_EQ(out[6], kGuard);
    EXPECT_EQ(VoPrepareName(VOTEXT(" \t "), out, 6), nullptr);

    VOCHAR path[8] = {'a', '/', 'b', '/', 'c', 0};
    EXPECT_EQ(VoStringReplaceChars(path, '/', '\\'), 5);
    EXPECT_EQ(Narrow(path), "a\\b\\c");
    EXPECT_EQ(VoStringReplaceChars(path, '\\', 0), 1);
    EXPECT_EQ(Narrow(path), "a");
}

TEST(NumberTextCleanup, FixNameForMenu)
{
    VOCHAR out[300];
    EXPECT_EQ(VoFixNameForMenu(out, VOTEXT("Save & Exit"), 300), 12);
    EXPECT_EQ(Narrow(out), "Save && Exit");
    out[5] = kGuard;
    EXPECT_EQ(VoFixNameForMenu(out, VOTEXT("a&b&c"), 5), 4);
    EXPECT_EQ(Narrow(out), "a&&b");
    EXPECT_EQ(out[5], kGuard);

    // Doubling a long text stays within the 259-unit working copy.
    Text amps(250, '&');
    for (VOCHAR &u : out) u = kGuard;
    EXPECT_EQ(VoFixNameForMenu(out, amps.c_str(), 300), 259);
    EXPECT_EQ(out[260], kGuard);
}
