// POSIX side of the toolkit's start-up: no error mode, no language
// instance, a monotonic clock in nanoseconds as the timer.
#ifndef _WIN32
#include "kernel_internal.h"

void VoKernel_PlatformStartup() {}
void VoKernel_PlatformShutdown() {}
int64_t VoKernel_CounterFrequency() { return 1000000000; }
HVOMODULE VoKernel_ProcessModule() { return nullptr; }
int VoKernel_OpenDefaultLanguage(HVOMODULE) { return 1; }
void VoKernel_CloseDefaultLanguage() {}
int VoKernel_IsWin95Family() { return 0; }
#endif
