// Toolkit start-up and shut-down: the process-wide state of the toolkit.
#include "kernel.h"

#include "format/format.h"
#include "lang/inat.h"
#include "lang/lang.h"
#include "kernel_internal.h"

namespace {

HVOMODULE g_instance = nullptr;
HVOMODULE g_resourceModule = nullptr;

uint32_t g_cpuDetected = 0;
bool g_cpuDetectedOnce = false;
uint32_t g_cpuAllowed = 0xFFFFFFFFu;
uint32_t g_cpuForced = 0;
uint32_t g_cpuMask = 0;

int64_t g_ticksPerSecond = 0;
int64_t g_ticksPerMillisecond = 0;
int64_t g_ticksPerMicrosecond = 0;

uint32_t g_uiColors[VO_UI_COLOR_COUNT];

void UpdateCpuMask() { g_cpuMask = (g_cpuDetected & g_cpuAllowed) | g_cpuForced; }

// The timer base is set once, and only from a counter that ticks.
void InitTimerBase()
{
    if (g_ticksPerSecond) return;
    int64_t frequency = VoKernel_CounterFrequency();
    if (frequency <= 0) return;
    g_ticksPerSecond = frequency;
    g_ticksPerMillisecond = frequency / 1000;
    g_ticksPerMicrosecond = frequency / 1000000;
}

// Built-in colours: the classic Windows scheme for the system's 31 colour
// indices, then the toolkit's own entries (meter and selection colours).
const uint32_t kDefaultUIColors[VO_UI_COLOR_COUNT] = {
    0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
    0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
    0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xFF9933, 0xF0F0F0, 0x00FF00,
    0x00FFFF, 0x0000FF, 0x008000, 0x008080, 0x000080, 0x404040, 0x606060, 0x202020,
    0xFFFFFF, 0xE0E0E0, 0xA0A0A0, 0x6A240A, 0xFFFFFF, 0xC0C0C0, 0x808080, 0x000000,
    0xFF0000, 0x00C000, 0x0000C0, 0xF0F0F0, 0x303030,
};

}  // namespace

int VoKernel_Startup(HVOMODULE instance, HVOMODULE module)
{
    VoKernel_PlatformStartup();
    InitTimerBase();
    VoKernel_IsWin95Family();
    g_instance = instance;
    if (!g_cpuDetectedOnce) {
        g_cpuDetected = 0;
        g_cpuDetectedOnce = true;
    }
    UpdateCpuMask();
    g_resourceModule = module ? module : VoKernel_ProcessModule();
    for (int i = 0; i < VO_UI_COLOR_COUNT; ++i) g_uiColors[i] = kDefaultUIColors[i];
    if (!VoPrintF_CreateTokenTable()) return 0;
    if (!VoKernel_OpenDefaultLanguage(instance)) return 0;
    VoLang_GetInternationals(nullptr, 0);
    return 1;
}

int VoKernel_Shutdown(HVOMODULE instance, uintptr_t reserved)
{
    VoKernel_CloseDefaultLanguage();
    VoPrintF_DestroyTokenTable();
    VoKernel_PlatformShutdown();
    g_instance = nullptr;
    return 1;
}

HVOMODULE VoKernel_GetInstance() { return g_instance; }
HVOMODULE VoKernel_GetResourceModule() { return g_resourceModule; }

uint32_t VoGetCPUSupport() { return g_cpuMask; }
void VoAllowCPUSupport(uint32_t features)
{
    g_cpuAllowed |= features;
    UpdateCpuMask();
}
void VoDisallowCPUSupport(uint32_t features)
{
    g_cpuAllowed &= ~features;
    g_cpuForced &= ~features;
    UpdateCpuMask();
}
void VoOnlyAllowCPUSupport(uint32_t features)
{
    g_cpuAllowed = features;
    UpdateCpuMask();
}

int64_t VoKernel_TicksPerSecond() { return g_ticksPerSecond; }
int64_t VoKernel_TicksPerMillisecond() { return g_ticksPerMillisecond; }
int64_t VoKernel_TicksPerMicrosecond() { return g_ticksPerMicrosecond; }

uint32_t VoKernel_GetUIColor(int index)
{
    return index >= 0 && index < VO_UI_COLOR_COUNT ? g_uiColors[index] : 0;
}

void VoKernel_SetUIColor(int index, uint32_t color)
{
    if (index >= 0 && index < VO_UI_COLOR_COUNT) g_uiColors[index] = color;
}
