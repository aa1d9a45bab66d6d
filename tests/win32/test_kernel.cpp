// The toolkit's start-up: what it leaves in place, and a full restart.
#include <gtest/gtest.h>

#include "format/format.h"
#include "kernel/kernel.h"
#include "lang/lang.h"

namespace {

std::wstring Format(const wchar_t *format)
{
    wchar_t out[512];
    VoPrintF(out, format);
    return out;
}

TEST(Kernel, StartupLeavesTokensLanguageErrorModeAndTimer)
{
    HINSTANCE self = GetModuleHandleW(nullptr);
    // The test program runs with the toolkit started; restart it to see a
    // start-up of its own.
    EXPECT_EQ(VoKernel_Shutdown(self, 0), 1);
    EXPECT_EQ(VoLang_GetDefault(), nullptr);
    EXPECT_EQ(VoKernel_GetInstance(), nullptr);
    EXPECT_EQ(VoPrintF_AddToken(L"Probe", L"x"), 0);

    SetErrorMode(0);
    ASSERT_EQ(VoKernel_Startup(self, nullptr), 1);
    EXPECT_EQ(GetErrorMode() & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX),
              (UINT)(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
    EXPECT_NE(VoLang_GetDefault(), nullptr);
    EXPECT_EQ(VoKernel_GetInstance(), self);
    EXPECT_EQ(VoKernel_GetResourceModule(), self);
    EXPECT_GT(VoKernel_TicksPerSecond(), 0);
    EXPECT_EQ(VoKernel_TicksPerMillisecond(), VoKernel_TicksPerSecond() / 1000);
    EXPECT_EQ(VoKernel_IsWin95Family(), 0);
    // The separators and the labels built from this program's strings.
    EXPECT_EQ(Format(L"$(SMPTE.Whole)$(SMPTE.Drop)$(m.b)"), L":,.");
    EXPECT_EQ(Format(L"$(SMPTE.Label.NonDrop)"), L"hh:mm:ss.ff");
    EXPECT_EQ(Format(L"$(SMPTE.Label.Drop.Full)"), L"Hours:Minutes:Seconds,Frames");
    EXPECT_EQ(Format(L"$(MusicTime.Label)"), L"mmm.bb.ttt");
}

TEST(Kernel, ProcessorFeatureMasks)
{
    VoOnlyAllowCPUSupport(0);
    EXPECT_EQ(VoGetCPUSupport(), 0u);
    VoAllowCPUSupport(0xFFFFFFFFu);
    EXPECT_EQ(VoGetCPUSupport(), 0u);  // nothing detected, nothing forced
}

TEST(Kernel, UserInterfaceFontIsCachedUntilShutdown)
{
    HFONT font = VoKernel_GetUIFont(DEFAULT_GUI_FONT);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(VoKernel_GetUIFont(DEFAULT_GUI_FONT), font);
    EXPECT_NE(font, (HFONT)GetStockObject(DEFAULT_GUI_FONT));
    EXPECT_EQ(VoKernel_GetUIFont(12345), nullptr);
}

}  // namespace
