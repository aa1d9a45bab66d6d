// The toolkit's process-wide state and its start-up and shut-down.
//
// VoKernel_Startup is the first toolkit call of an application and
// VoKernel_Shutdown the last. Between the two the toolkit owns the token
// table of the formatter, the default language instance (Windows), the
// internationals record, the timer base, the processor-feature mask, the
// user-interface colour table and the caches of fonts and cursors.
#pragma once

#include "platform.h"
#include "fileio.h"

// Starts the toolkit for the application module instance; module (may be
// null: the process's own module) is where the toolkit's resources are
// found. Returns 1 when the token table and the default language instance
// exist (on POSIX: the token table), else 0.
int VoKernel_Startup(HVOMODULE instance, HVOMODULE module);
// Releases everything the start-up made. Always returns 1.
int VoKernel_Shutdown(HVOMODULE instance, uintptr_t reserved);

HVOMODULE VoKernel_GetInstance();
HVOMODULE VoKernel_GetResourceModule();
// 1 on the Windows 95 family (never on POSIX); computed once.
int VoKernel_IsWin95Family();

// Processor features: (detected AND allowed) OR forced. Nothing is detected
// by the toolkit itself, so the mask holds only forced features.
uint32_t VoGetCPUSupport();
void VoAllowCPUSupport(uint32_t features);
void VoDisallowCPUSupport(uint32_t features);
void VoOnlyAllowCPUSupport(uint32_t features);

// The high-resolution timer base (0 until the start-up found a counter).
int64_t VoKernel_TicksPerSecond();
int64_t VoKernel_TicksPerMillisecond();
int64_t VoKernel_TicksPerMicrosecond();

// The user-interface colour table (0x00BBGGRR), reset at start-up.
#define VO_UI_COLOR_COUNT 53
uint32_t VoKernel_GetUIColor(int index);
void VoKernel_SetUIColor(int index, uint32_t color);

#ifdef _WIN32
// The splash window, if the application shows one.
void VoKernel_SetSplash(HWND splash);
HWND VoKernel_GetSplash();
// The toolkit's cached copy of a stock font (DEFAULT_GUI_FONT and the
// like), built from the stock font's description; deleted at shut-down.
HFONT VoKernel_GetUIFont(int stockFont);
// A cached cursor of the system (IDC_*); destroyed at shut-down.
HCURSOR VoKernel_GetCursor(const wchar_t *id);
#endif
