#include <gtest/gtest.h>

#include "log/errors.h"

TEST(Win32ErrorTranslation, MapsTableEntriesAndFallsBackToFail)
{
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(0), S_OK);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(112), (HRESULT)0x8004E002);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(39), (HRESULT)0x8004E002);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(2), (HRESULT)0x8004E00A);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(127), (HRESULT)0x8004E00A);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(5), (HRESULT)0x80070005);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(183), (HRESULT)0x8004E170);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(120), E_NOTIMPL);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(14), E_OUTOFMEMORY);
    // Known to Windows but not mapped, and unknown numbers.
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(87), E_FAIL);
    EXPECT_EQ(VoErrorHandler_TranslateWin32Error(0xFFFFFFFFu), E_FAIL);
}
