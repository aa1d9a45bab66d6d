// The token formatter, under the English (United States) settings that the
// Linux build and Wine's default locale both give.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "format/format.h"
#include "text_buffer.h"

namespace {

using Text = std::basic_string<VOCHAR>;

Text T(const char *ascii)
{
    Text t;
    while (*ascii) t.push_back((VOCHAR)(unsigned char)*ascii++);
    return t;
}

std::string Narrow(const VOCHAR *text)
{
    std::string s;
    for (; *text; ++text) s.push_back(*text < 128 ? (char)*text : '?');
    return s;
}

// Formats into a guarded buffer and checks the return value and that
// nothing was written past the terminator's place.
template <typename... Args>
std::string Fmt(const char *format, Args... args)
{
    std::vector<VOCHAR> out(4096, (VOCHAR)0x7777);
    Text f = T(format);
    int n = VoPrintF(out.data(), f.c_str(), args...);
    EXPECT_EQ((size_t)n, VoStrLen(out.data())) << format;
    EXPECT_EQ(out[n + 1], (VOCHAR)0x7777) << format;
    return Narrow(out.data());
}

class Tokens : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(VoPrintF_CreateTokenTable(), 1); }
    void TearDown() override { VoPrintF_DestroyTokenTable(); }
    static void Add(const char *name, const char *value)
    {
        ASSERT_EQ(VoPrintF_AddToken(T(name).c_str(), T(value).c_str()), 1);
    }
};

}  // namespace

TEST(Format, PlainTextAndEscapes)
{
    EXPECT_EQ(Fmt(""), "");
    EXPECT_EQ(Fmt("plain text"), "plain text");
    EXPECT_EQ(Fmt("100$$"), "100$");
    EXPECT_EQ(Fmt("50%%"), "50%");
    EXPECT_EQ(Fmt("$%"), "%");
    EXPECT_EQ(Fmt("%%d$$d", 5), "%d$d");
}

TEST(Format, IntegersPlainAndGrouped)
{
    EXPECT_EQ(Fmt("%d", 1234567), "1234567");
    EXPECT_EQ(Fmt("$d", 1234567), "1,234,567");
    EXPECT_EQ(Fmt("$i", -1234567), "-1,234,567");
    EXPECT_EQ(Fmt("%d", INT_MIN), "-2147483648");
    EXPECT_EQ(Fmt("$d", INT_MIN), "-2,147,483,648");
    EXPECT_EQ(Fmt("%u", 4294967295u), "4294967295");
    EXPECT_EQ(Fmt("$u", 4294967295u), "4,294,967,295");
    EXPECT_EQ(Fmt("$d", 0), "0");
    EXPECT_EQ(Fmt("$d", 999), "999");
    EXPECT_EQ(Fmt("%d and %d", 1, 2), "1 and 2");
}

TEST(Format, IntegersWithFlagsWidthAndSize)
{
    EXPECT_EQ(Fmt("[%5d]", 42), "[   42]");
    EXPECT_EQ(Fmt("[%-5d]", 42), "[42   ]");
    EXPECT_EQ(Fmt("[%05d]", 42), "[00042]");
    EXPECT_EQ(Fmt("[%+d]", 42), "[+42]");
    EXPECT_EQ(Fmt("%x %X %#x %o", 255, 255, 255, 8), "ff FF 0xff 10");
    EXPECT_EQ(Fmt("$x", 0x12345), "12345");
    EXPECT_EQ(Fmt("%ld %hd", 7, 8), "7 8");
    EXPECT_EQ(Fmt("$5d", 1234567), "1,234,567");
    EXPECT_EQ(Fmt("%I64u", (unsigned long long)1 << 40), "1099511627776");
    EXPECT_EQ(Fmt("$I64d", -((long long)1 << 40)), "-1,099,511,627,776");
    EXPECT_EQ(Fmt("%I64x %d", 0x123456789ull, 5), "123456789 5");
}

TEST(Format, SizeLettersCannotReachTheCLibrary)
{
    // "%n" would make a C library store through the argument; here the "n"
    // is only a letter inside the directive.
    int target = 1234;
    EXPECT_EQ(Fmt("%nd", 5), "5");
    EXPECT_EQ(target, 1234);
    EXPECT_EQ(Fmt("%pd", 5), "5");
}

TEST(Format, FixedPoint)
{
    EXPECT_EQ(Fmt("%.2z", 12345), "123.45");
    EXPECT_EQ(Fmt("$.2z", 123456789), "1,234,567.89");
    EXPECT_EQ(Fmt("%.2z", -5), "-0.05");
    EXPECT_EQ(Fmt("%.1z", 7), "0.7");
    EXPECT_EQ(Fmt("%.20z", 1), "0.00000000000000000001");
    EXPECT_EQ(Fmt("%z", 42), "42");
    EXPECT_EQ(Fmt("$z", 1234), "1,234");
    EXPECT_EQ(Fmt("%5z", 42), "   42");
}

TEST(Format, FloatingPoint)
{
    EXPECT_EQ(Fmt("%.2f", 3.14159), "3.14");
    EXPECT_EQ(Fmt("$.2f", 1234567.891), "1,234,567.89");
    EXPECT_EQ(Fmt("$f", 1234.5), "1,234.500000");
    EXPECT_EQ(Fmt("%e", 12345.678), "1.234568e+04");
    EXPECT_EQ(Fmt("%g", 0.5), "0.5");
    EXPECT_EQ(Fmt("$g", 1234.5), "1234.5");
    EXPECT_EQ(Fmt("$g", 1e20), "1e+20");
    EXPECT_EQ(Fmt("$E", 1.5), "1.500000E+00");
}

TEST(Format, OverlongNumbersAreCutNotOverrun)
{
    // 1e300 printed with "%f" has more than 300 digits; the scratch buffer
    // keeps 259 of them.
    std::string huge = Fmt("%f", 1e300);
    EXPECT_EQ(huge.size(), 259u);
    EXPECT_EQ(huge.substr(0, 4), "1000");
    EXPECT_EQ(Fmt("%400d|", 1).size(), 260u);
    // Grouping the cut digits still fits the room given to shaping.
    std::string grouped = Fmt("$f", 1e300);
    EXPECT_GT(grouped.size(), 259u);
    EXPECT_EQ(grouped.substr(0, 5), "1,000");
}

TEST(Format, LocaleSeparators)
{
    EXPECT_EQ(Fmt("%*"), ".");
    EXPECT_EQ(Fmt("%,"), ",");
    EXPECT_EQ(Fmt("%:"), ":");
    EXPECT_EQ(Fmt("%5*"), ".");
    EXPECT_EQ(Fmt("%!:"), ":");
    EXPECT_EQ(Fmt("%!."), ".");
    EXPECT_EQ(Fmt("%!,"), ",");
    EXPECT_EQ(Fmt("%!x"), "x");
    EXPECT_EQ(Fmt("%!"), "");
    EXPECT_EQ(Fmt("%&:%&."), "..");
    EXPECT_EQ(Fmt("%&,"), ",");
    // Separators take no argument.
    EXPECT_EQ(Fmt("%*%d%:%d", 1, 2), ".1:2");
}

TEST(Format, TextConversions)
{
    Text ab = T("ab");
    EXPECT_EQ(Fmt("%s", T("value").c_str()), "value");
    EXPECT_EQ(Fmt("[%5s]", ab.c_str()), "[   ab]");
    EXPECT_EQ(Fmt("[%-10s]", ab.c_str()), "[ab        ]");
    EXPECT_EQ(Fmt("%.3s", T("abcdef").c_str()), "abc");
    EXPECT_EQ(Fmt("$s", ab.c_str()), "ab");
    EXPECT_EQ(Fmt("%c%c", 'o', 'k'), "ok");
    EXPECT_EQ(Fmt("%s=%d", ab.c_str(), 5), "ab=5");
    EXPECT_EQ(Fmt("%s", (const VOCHAR *)nullptr), "(null)");
    EXPECT_EQ(Fmt("%s", T("%d $(X) $$").c_str()), "%d $(X) $$");
}

TEST(Format, IncompleteDirectivesAreCopied)
{
    EXPECT_EQ(Fmt("%ab", 5), "%ab");
    // The directive runs on to the next conversion character, so here
    // "%ab%d" is one integer conversion.
    EXPECT_EQ(Fmt("%ab%d", 5), "5");
    EXPECT_EQ(Fmt("100%"), "100%");
    EXPECT_EQ(Fmt("%5"), "%5");
    EXPECT_EQ(Fmt("$ab"), "$ab");
    EXPECT_EQ(Fmt("cost: $"), "cost: $");
    // A directive longer than its buffer is copied whole, and the scan
    // goes on after it.
    std::string longDirective = "%" + std::string(300, '1');
    std::string expect = longDirective + "7";
    EXPECT_EQ(Fmt((longDirective + "%d").c_str(), 7), expect);
}

TEST(Format, NumberLiterals)
{
    EXPECT_EQ(Fmt("$(1234567.5)"), "1,234,567.5");
    EXPECT_EQ(Fmt("$(1234567)"), "1,234,567");
    EXPECT_EQ(Fmt("$(-1234)"), "-1,234");
    EXPECT_EQ(Fmt("$(.5)"), "0.5");
    EXPECT_EQ(Fmt("$(1,234.25)"), "1,234.25");
    EXPECT_EQ(Fmt("size $(1234"), "size $(1234");
    EXPECT_EQ(Fmt("$(12a)"), "$(12a)");
    EXPECT_EQ(Fmt("$(1.2.3) x"), "$(1.2.3) x");
    std::string longLiteral = "$(" + std::string(300, '9') + ")";
    EXPECT_EQ(Fmt(longLiteral.c_str()), longLiteral);
}

TEST_F(Tokens, LookupIsCaseInsensitiveAndValuesAreLiteral)
{
    Add("AppName", "Avel Setup");
    Add("Stowage", "C:\\Temp\\pkg.exe");
    Add("Raw", "$(AppName) 100% $d $$");
    EXPECT_EQ(Fmt("$(AppName)"), "Avel Setup");
    EXPECT_EQ(Fmt("$(appname) / $(APPNAME)"), "Avel Setup / Avel Setup");
    EXPECT_EQ(Fmt("-r \"$(Stowage)\" --vox"), "-r \"C:\\Temp\\pkg.exe\" --vox");
    EXPECT_EQ(Fmt("$(Raw)"), "$(AppName) 100% $d $$");
}

TEST_F(Tokens, UnknownUnclosedAndNestedNamesStayAsWritten)
{
    Add("B", "b");
    EXPECT_EQ(Fmt("$(Unknown)"), "$(Unknown)");
    EXPECT_EQ(Fmt("x $(AppName"), "x $(AppName");
    EXPECT_EQ(Fmt("$(A$(B))"), "$(A$(B))");
    EXPECT_EQ(Fmt("$()"), "$()");
    EXPECT_EQ(Fmt("$(B)$(B)"), "bb");
}

TEST_F(Tokens, AuthorTextsExpandTokensAndNothingElse)
{
    Add("AppName", "My App");
    const char *cases[][2] = {
        {"C:\\100% $(AppName)", "C:\\100% My App"},  {"%ProgramFiles%\\%TEMP%", "%ProgramFiles%\\%TEMP%"},
        {"%s %d %n %%", "%s %d %n %%"},                 {"$s $d $$ $(Unknown)", "$s $d $ $(Unknown)"},
    };
    for (const auto &c : cases) {
        std::vector<VOCHAR> out(64, (VOCHAR)0x7777);
        int n = VoExpandTokensN(out.data(), 64, T(c[0]).c_str());
        EXPECT_EQ(Narrow(out.data()), c[1]);
        EXPECT_EQ((size_t)n, VoStrLen(out.data()));
    }
    VOCHAR small[8];
    EXPECT_EQ(VoExpandTokensN(small, 8, T("$(AppName) more").c_str()), 7);  // cut, terminated
}

TEST_F(Tokens, ReplaceAndDelete)
{
    Add("Name", "first");
    Add("NAME", "second");
    EXPECT_EQ(Fmt("$(name)"), "second");
    EXPECT_EQ(VoPrintF_DeleteToken(T("nAmE").c_str()), 1);
    EXPECT_EQ(Fmt("$(Name)"), "$(Name)");
    EXPECT_EQ(VoPrintF_DeleteToken(T("Name").c_str()), 0);
    EXPECT_EQ(VoPrintF_AddToken(T("Empty").c_str(), nullptr), 1);
    EXPECT_EQ(Fmt("[$(Empty)]"), "[]");
    Add("AppName.Title", "Title");
    Add("x", "1");
    EXPECT_EQ(Fmt("$(AppName.Title)$(X)"), "Title1");
}

TEST_F(Tokens, NameLengthLimit)
{
    std::string name259(259, 'n');
    Add(name259.c_str(), "found");
    EXPECT_EQ(Fmt(("$(" + name259 + ")").c_str()), "found");
    // A name of 260 units does not fit the name buffer: copied as written.
    std::string name260(260, 'n');
    EXPECT_EQ(Fmt(("$(" + name260 + ")").c_str()), "$(" + name260 + ")");
    std::string unclosed = "$(" + std::string(400, 'u');
    EXPECT_EQ(Fmt(unclosed.c_str()), unclosed);
}

TEST_F(Tokens, TableIsSharedSafelyBetweenThreads)
{
    Add("Stable", "yes");
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([t] {
            Text name = T(t ? "Moving1" : "Moving0");
            for (int i = 0; i < 2000; ++i) {
                VoPrintF_AddToken(name.c_str(), T("value").c_str());
                VoPrintF_DeleteToken(name.c_str());
            }
        });
        threads.emplace_back([] {
            VOCHAR out[64];
            Text f = T("$(Stable)");
            for (int i = 0; i < 2000; ++i) {
                VoPrintF(out, f.c_str());
                if (Narrow(out) != "yes") ADD_FAILURE() << Narrow(out);
            }
        });
    }
    for (std::thread &th : threads) th.join();
    EXPECT_EQ(Fmt("$(Moving0)$(Moving1)"), "$(Moving0)$(Moving1)");
}

TEST(FormatWithoutTable, TokensAreLiteralAndCannotBeAdded)
{
    VoPrintF_DestroyTokenTable();
    EXPECT_EQ(VoPrintF_AddToken(T("A").c_str(), T("a").c_str()), 0);
    EXPECT_EQ(Fmt("$(A)"), "$(A)");
    ASSERT_EQ(VoPrintF_CreateTokenTable(), 1);
    EXPECT_EQ(VoPrintF_CreateTokenTable(), 1);
    VoPrintF_DestroyTokenTable();
}

// The bounded forms never write past their buffer, whatever the tokens and
// arguments expand to, and always terminate.
TEST_F(Tokens, BoundedFormattingCutsAtTheBuffer)
{
    VoPrintF_AddToken(VOTEXT("Long"), VOTEXT("abcdefghijklmnopqrstuvwxyz"));
    VOCHAR out[12];
    for (VOCHAR &c : out) c = '#';
    EXPECT_EQ(VoPrintFN(out, 10, VOTEXT("x$(Long)y")), 9);
    EXPECT_EQ(Narrow(out), "xabcdefgh");
    EXPECT_EQ(out[10], '#');
    EXPECT_EQ(VoPrintFN(out, 10, VOTEXT("%s and %d"), VOTEXT("a long argument"), 42), 9);
    EXPECT_EQ(Narrow(out), "a long ar");
    EXPECT_EQ(VoPrintFN(out, 10, VOTEXT("%d|%d"), 12345, 678), 9);
    EXPECT_EQ(Narrow(out), "12345|678");
    EXPECT_EQ(VoPrintFN(out, 1, VOTEXT("abc")), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(VoPrintFN(out, 0, VOTEXT("abc")), 0);
    EXPECT_EQ(VoPrintFN(out, 12, VOTEXT("$(Unknown) x")), 11);
    EXPECT_EQ(Narrow(out), "$(Unknown) ");
}

// The growing heap text the stub builds its command line and messages in:
// appends across growth, room for a formatter, and clearing.
TEST(TextBuffer, GrowsKeepsItsTextAndTakesFormattedParts)
{
    CVoTextBuffer text;
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_EQ(text.Text()[0], 0);
    EXPECT_EQ(text.Data(), nullptr);
    std::basic_string<VOCHAR> expected;
    for (int i = 0; i < 200; ++i) {
        text.Append(VOTEXT("part "));
        expected += VOTEXT("part ");
    }
    text.Append(VOTEXT("xyz"), 2);
    expected += VOTEXT("xy");
    EXPECT_EQ(std::basic_string<VOCHAR>(text.Text()), expected);
    EXPECT_EQ(text.Length(), expected.size());
    VOCHAR *room = text.Reserve(32);
    ASSERT_NE(room, nullptr);
    int written = VoPrintFN(room, 32, VOTEXT("=%d"), 42);
    text.Commit((size_t)written);
    EXPECT_EQ(std::basic_string<VOCHAR>(text.Text()), expected + VOTEXT("=42"));
    EXPECT_FALSE(text.Failed());
    text.Clear();
    EXPECT_EQ(text.Length(), 0u);
    EXPECT_EQ(text.Text()[0], 0);
}
