// What the portable start-up needs from the system it runs on.
#pragma once

#include "kernel.h"

// Error mode and other per-system start-up; the caches' release.
void VoKernel_PlatformStartup();
void VoKernel_PlatformShutdown();
// Ticks per second of the high-resolution counter, 0 when there is none.
int64_t VoKernel_CounterFrequency();
HVOMODULE VoKernel_ProcessModule();
// The default language instance (Windows); 1 on success. On POSIX there is
// none and opening succeeds trivially.
int VoKernel_OpenDefaultLanguage(HVOMODULE instance);
void VoKernel_CloseDefaultLanguage();
