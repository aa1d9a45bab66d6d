#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "lang/inat.h"

namespace {

std::string Narrow(const VOCHAR *text)
{
    std::string s;
    for (; *text; ++text) s += *text < 128 ? (char)*text : '?';
    return s;
}

void SetSeparators(tVOINAT &r, const char *thousand, const char *decimal)
{
    r.thousandSepLen = (int32_t)VoAsciiToText(r.thousandSep, thousand, VOINAT_SEP_CHARS);
    r.decimalSepLen = (int32_t)VoAsciiToText(r.decimalSep, decimal, VOINAT_SEP_CHARS);
}

}  // namespace

// Both the POSIX build and Wine answer with English (United States).
TEST(InatRecord, GetInatAnswersFromTheEnglishUSLocale)
{
    const tVOINAT *r = VoGetInatRecord();  // filled on first use
    EXPECT_EQ(r->size, VOINAT_SIZE);
    EXPECT_EQ(r->grouping, 3);  // from "3;0"

    VOCHAR out[VOINAT_NAME_CHARS];
    EXPECT_EQ(VoGetInat(0, out), (int)VoPlatformGetSystemDefaultLCID());
    EXPECT_EQ(VoGetInat(1, out), 0x0409);  // "0409" read as hexadecimal
    EXPECT_EQ(VoGetInat(4, out), 1);
    EXPECT_EQ(VoGetInat(3, out), 7);
    EXPECT_EQ(Narrow(out), "English");
    struct { int code; const char *text; } separators[] = {
        {24, "."}, {40, ","}, {60, ":"}, {100, ":"}, {101, "."}, {102, ","}, {120, "."}, {121, "."}};
    for (const auto &s : separators) {
        EXPECT_EQ(VoGetInat(s.code, out), 1) << s.code;
        EXPECT_EQ(Narrow(out), s.text) << s.code;
    }
    for (int code : {-1, 5, 25, 103, 1000}) {
        out[0] = 'x';
        EXPECT_EQ(VoGetInat(code, out), 0) << code;
        EXPECT_EQ(out[0], 0) << code;
    }
    EXPECT_EQ(VoGetInat(24, nullptr), 1);
}

TEST(InatRecord, CopyIsCutToTheRecordAndTheGivenSize)
{
    const tVOINAT *record = VoGetInatRecord();
    unsigned char big[VOINAT_SIZE + 16];
    std::memset(big, 0xAB, sizeof(big));
    EXPECT_EQ(VoLang_GetInternationals(reinterpret_cast<tVOINAT *>(big), (int)sizeof(big)), VOINAT_SIZE);
    EXPECT_EQ(std::memcmp(big, record, VOINAT_SIZE), 0);
    EXPECT_EQ(big[VOINAT_SIZE], 0xAB);

    unsigned char small[16];
    std::memset(small, 0xAB, sizeof(small));
    EXPECT_EQ(VoLang_GetInternationals(reinterpret_cast<tVOINAT *>(small), 12), 12);
    int32_t size;
    std::memcpy(&size, small, sizeof(size));
    EXPECT_EQ(size, 12);
    EXPECT_EQ(std::memcmp(small + 4, reinterpret_cast<const unsigned char *>(record) + 4, 8), 0);
    EXPECT_EQ(small[12], 0xAB);

    // Too small for the size field: only the bytes asked for.
    std::memset(small, 0xAB, sizeof(small));
    EXPECT_EQ(VoLang_GetInternationals(reinterpret_cast<tVOINAT *>(small), 2), 2);
    EXPECT_EQ(small[2], 0xAB);
    EXPECT_EQ(VoLang_GetInternationals(reinterpret_cast<tVOINAT *>(small), -5), 0);
}

TEST(InatRecord, RefreshRestoresTheUserSettings)
{
    tVOINAT changed = *VoGetInatRecord();
    SetSeparators(changed, ".", ",");
    VoInat_SetRecord(&changed);
    VOCHAR out[VOINAT_SEP_CHARS];
    VoGetInat(24, out);
    EXPECT_EQ(Narrow(out), ",");

    EXPECT_EQ(VoLang_GetInternationals(nullptr, 0), 1);
    VoGetInat(24, out);
    EXPECT_EQ(Narrow(out), ".");
}

TEST(InatRecord, EqualSeparatorsAreMadeDistinct)
{
    struct { const char *thousand, *decimal, *expected; } cases[] = {
        {".", ".", ","}, {",", ",", "."}, {"..", "..", "."}, {"", "", "."}, {".", ",", ","},
    };
    for (const auto &c : cases) {
        tVOINAT r;
        VoInat_Fill(&r);
        SetSeparators(r, c.thousand, c.decimal);
        VoInat_MakeSeparatorsDistinct(&r);
        EXPECT_EQ(Narrow(r.decimalSep), c.expected) << "'" << c.thousand << "'";
        EXPECT_EQ(r.decimalSepLen, (int32_t)VoStrLen(r.decimalSep));
    }
}
