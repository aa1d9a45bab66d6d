// Crash reports: the dump of an exception (code, module, thread, registers,
// code bytes, stack) and the unhandled-exception filter that shows it.
#include "log/errors.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "log/dump_internal.h"
#include "msgbox/msgbox.h"

namespace {

const int kFilterDumpBytes = 4096;
const int kStackLineReserve = 56 + 2 * (int)sizeof(void *);
// Stack slots are pointer-sized; addresses print at full width.
const uintptr_t kSlot = sizeof(void *);
const int kDigits = (int)(2 * sizeof(void *));
#if defined(__i386__) || defined(_M_IX86)
// A 32-bit return address lies in an image loaded below 256 MiB (the
// executable and the system's own libraries); heaps and mapped files lie above.
bool LikelyCodeBase(uintptr_t base) { return base <= 0x10000000; }
#else
bool LikelyCodeBase(uintptr_t) { return true; }
#endif

struct ExceptionName {
    DWORD code;
    const char *name;
};
const ExceptionName kNames[] = {
    {0x80000001, "guard page violation"},  {0x80000002, "datatype misalignment"},
    {0x80000003, "breakpoint"},            {0x80000004, "single step"},
    {0xC0000005, "access violation"},      {0xC0000006, "in page error"},
    {0xC0000008, "invalid handle"},        {0xC0000017, "no memory"},
    {0xC000001D, "illegal instruction"},   {0xC0000025, "noncontinuable exception"},
    {0xC0000026, "invalid disposition"},   {0xC000008C, "array bounds exceeded"},
    {0xC000008D, "float denormal operand"}, {0xC000008E, "float divide by zero"},
    {0xC000008F, "float inexact result"},  {0xC0000090, "float invalid operation"},
    {0xC0000091, "float overflow"},        {0xC0000092, "float stack check"},
    {0xC0000093, "float underflow"},       {0xC0000094, "integer divide by zero"},
    {0xC0000095, "integer overflow"},      {0xC0000096, "privileged instruction"},
    {0xC00000FD, "stack overflow"},        {0xC000013A, "control+c exit"},
};

const char *NameOf(DWORD code)
{
    for (const ExceptionName &entry : kNames)
        if (entry.code == code) return entry.name;
    return "Unknown Type";
}

// Appends formatted text when it fits; the dump's running output.
struct DumpOut {
    char *out;
    int size;
    int written;
    int Room() const { return size - written; }
    void Add(const char *format, ...)
    {
        if (written >= size - 1) return;
        va_list args;
        va_start(args, format);
        int n = vsnprintf(out + written, (size_t)(size - written), format, args);
        va_end(args);
        if (n > 0) written += n < size - written ? n : size - written - 1;
    }
};

// The module that holds address, its base and its file name.
bool ModuleOf(uintptr_t address, uintptr_t *base, char *name, DWORD nameSize)
{
    MEMORY_BASIC_INFORMATION info;
    if (!VirtualQuery(reinterpret_cast<void *>(address), &info, sizeof info) || !info.AllocationBase) return false;
    *base = reinterpret_cast<uintptr_t>(info.AllocationBase);
    return GetModuleFileNameA(static_cast<HMODULE>(info.AllocationBase), name, nameSize) > 0;
}

void StackRegion(uintptr_t stackPointer, uintptr_t *low, uintptr_t *high)
{
    MEMORY_BASIC_INFORMATION info;
    *low = *high = stackPointer;
    if (VirtualQuery(reinterpret_cast<void *>(stackPointer), &info, sizeof info)) {
        *low = reinterpret_cast<uintptr_t>(info.BaseAddress);
        *high = *low + info.RegionSize;
    }
}

// One stack slot; true when its value points into a loaded module that may
// hold code, so the slot is likely a return address.
bool StackLine(DumpOut &d, uintptr_t slot, char lead)
{
    uintptr_t value = 0;
    if (lead) d.Add("%c", lead);
    if (!VoDumpReadSlot(reinterpret_cast<void *>(slot), &value)) {
        d.Add(" %0*" PRIXPTR ": %.*s \r\n", kDigits, slot, kDigits, "................");
        return false;
    }
    d.Add(" %0*" PRIXPTR ": %0*" PRIXPTR " ", kDigits, slot, kDigits, value);
    MEMORY_BASIC_INFORMATION info;
    bool candidate = false;
    if (VirtualQuery(reinterpret_cast<void *>(value), &info, sizeof info) && info.State == MEM_COMMIT) {
        uintptr_t base = reinterpret_cast<uintptr_t>(info.AllocationBase);
        d.Add(" %0*" PRIXPTR " + %" PRIXPTR " ", kDigits, base, value - base);
        char name[MAX_PATH];
        if (GetModuleFileNameA(static_cast<HMODULE>(info.AllocationBase), name, MAX_PATH)) {
            d.Add("(%s)", name);
            candidate = LikelyCodeBase(base);
        }
    }
    d.Add("\r\n");
    return candidate;
}

void DumpStack(DumpOut &d, uintptr_t stackPointer)
{
    uintptr_t low, high;
    StackRegion(stackPointer, &low, &high);
    d.Add("Stack Dump:\r\n");
    uintptr_t slot = stackPointer;
    uintptr_t firstEnd = stackPointer + 16 * kSlot;
    if (high > stackPointer && high - stackPointer <= 20 * kSlot && high - stackPointer >= 16 * kSlot) firstEnd = high;
    int candidates = 0;
    for (; slot < firstEnd && slot + kSlot <= high && d.Room() >= kStackLineReserve; slot += kSlot)
        candidates += StackLine(d, slot, 0);
    // Further down the stack only the likely return addresses and the slots
    // right after them are shown.
    int extraLines = 0, after = 0;
    for (; candidates < 6 && slot + 4 * kSlot <= high && extraLines < 16 && d.Room() >= kStackLineReserve;
         slot += kSlot) {
        uintptr_t value;
        bool readable = VoDumpReadSlot(reinterpret_cast<void *>(slot), &value);
        uintptr_t base;
        char name[MAX_PATH];
        bool inModule = readable && ModuleOf(value, &base, name, MAX_PATH) && LikelyCodeBase(base);
        if (inModule || !readable) {
            StackLine(d, slot, '>');
            ++candidates, ++extraLines;
            after = 4;
            if (!readable) break;
        } else if (after > 0) {
            StackLine(d, slot, ' ');
            --after, ++extraLines;
        }
    }
    if (slot + 4 * kSlot < high && d.Room() >= kStackLineReserve) {
        d.Add("- - -\r\n");
        for (uintptr_t last = high - 4 * kSlot; last < high && d.Room() >= kStackLineReserve; last += kSlot)
            StackLine(d, last, 0);
    }
}

// A detail line taken as it stands: passed as the format when it holds
// nothing the formatter would read (a "%s" conversion stops at 1024 units).
void AddVerbatim(const wchar_t *text)
{
    bool plain = !wcschr(text, L'%') && !wcschr(text, L'$');
    VoErrorHandler_DetailsAddString(VO_E_EXCEPTION, plain ? text : L"%s", text);
}

}  // namespace

void VoErrorHandler_DumpExceptionRecord(char *out, int outSize, const wchar_t *threadName,
                                        EXCEPTION_POINTERS *pointers, uint32_t sections)
{
    if (!out || outSize <= 0) return;
    out[0] = 0;
    if (!pointers || !pointers->ExceptionRecord || !pointers->ContextRecord) return;
    if (sections == 0) sections = 0xFF;
    DumpOut d{out, outSize, 0};
    const EXCEPTION_RECORD *record = pointers->ExceptionRecord;
    const CONTEXT *c = pointers->ContextRecord;
#if defined(__i386__) || defined(_M_IX86)
    uintptr_t ip = c->Eip, sp = c->Esp;
#elif defined(__x86_64__) || defined(_M_X64)
    uintptr_t ip = c->Rip, sp = c->Rsp;
#else
    uintptr_t ip = (uintptr_t)record->ExceptionAddress, sp = 0;
    (void)c;
#endif
    if (sections & VO_DUMP_EXCEPTION) {
        char access[48] = "";
        if (record->ExceptionCode == 0xC0000005 && record->NumberParameters >= 2)
            snprintf(access, sizeof access, " %s:0x%" PRIXPTR, record->ExceptionInformation[0] ? "WRITE" : "READ",
                     (uintptr_t)record->ExceptionInformation[1]);
        d.Add("Exception 0x%X (%s)%s IP:0x%" PRIXPTR "\r\n", (unsigned)record->ExceptionCode,
              NameOf(record->ExceptionCode), access, ip);
    }
    uintptr_t base = 0;
    char module[MAX_PATH] = "";
    if ((sections & VO_DUMP_MODULE) && ModuleOf(ip, &base, module, MAX_PATH))
        d.Add("In Module '%s' at Address 0x%" PRIXPTR " + 0x%" PRIXPTR "\r\n", module, base, ip - base);
    if (sections & VO_DUMP_THREAD) {
        char name[128] = "";
        if (threadName) WideCharToMultiByte(CP_ACP, 0, threadName, -1, name, sizeof name, nullptr, nullptr);
        uintptr_t low, high;
        StackRegion(sp, &low, &high);
        d.Add("Thread: %s ID=0x%X Stack=0x%" PRIXPTR "-0x%" PRIXPTR "\r\n", name, (unsigned)GetCurrentThreadId(), low,
              high);
    }
#if defined(__i386__) || defined(_M_IX86)
    if (sections & VO_DUMP_REGISTERS) {
        d.Add("Registers:\r\n");
        d.Add(" EAX=%08x CS=%04x EIP=%08x EFLGS=%08x\r\n", (unsigned)c->Eax, (unsigned)c->SegCs, (unsigned)c->Eip,
              (unsigned)c->EFlags);
        d.Add(" EBX=%08x SS=%04x ESP=%08x EBP=%08x\r\n", (unsigned)c->Ebx, (unsigned)c->SegSs, (unsigned)c->Esp,
              (unsigned)c->Ebp);
        d.Add(" ECX=%08x DS=%04x ESI=%08x FS=%04x\r\n", (unsigned)c->Ecx, (unsigned)c->SegDs, (unsigned)c->Esi,
              (unsigned)c->SegFs);
        d.Add(" EDX=%08x ES=%04x EDI=%08x GS=%04x\r\n", (unsigned)c->Edx, (unsigned)c->SegEs, (unsigned)c->Edi,
              (unsigned)c->SegGs);
    }
#elif defined(__x86_64__) || defined(_M_X64)
    if (sections & VO_DUMP_REGISTERS) {
        d.Add("Registers:\r\n");
        d.Add(" RAX=%016llx RBX=%016llx RCX=%016llx\r\n", (unsigned long long)c->Rax, (unsigned long long)c->Rbx,
              (unsigned long long)c->Rcx);
        d.Add(" RDX=%016llx RSI=%016llx RDI=%016llx\r\n", (unsigned long long)c->Rdx, (unsigned long long)c->Rsi,
              (unsigned long long)c->Rdi);
        d.Add(" RSP=%016llx RBP=%016llx RIP=%016llx\r\n", (unsigned long long)c->Rsp, (unsigned long long)c->Rbp,
              (unsigned long long)c->Rip);
        d.Add(" CS=%04x SS=%04x EFLGS=%08x\r\n", (unsigned)c->SegCs, (unsigned)c->SegSs, (unsigned)c->EFlags);
    }
#endif
    if (sections & VO_DUMP_CODE_BYTES) {
        d.Add("Bytes at CS:EIP:\r\n");
        d.written += VoErrorHandler_DumpHex(out + d.written, d.Room(), reinterpret_cast<void *>(ip), 16);
    }
    if ((sections & VO_DUMP_STACK) && sp) DumpStack(d, sp);
}

LONG VoErrorHandler_ExceptionFilter(EXCEPTION_POINTERS *pointers, const wchar_t *threadName)
{
    if (pointers && pointers->ExceptionRecord && pointers->ExceptionRecord->ExceptionCode == 0x80000002)
        return EXCEPTION_CONTINUE_SEARCH;
    static char dump[kFilterDumpBytes];
    VoErrorHandler_DumpExceptionRecord(dump, kFilterDumpBytes, threadName, pointers, 0);
    typedef BOOL(WINAPI * DebuggerFunction)();
    static DebuggerFunction isDebuggerPresent = reinterpret_cast<DebuggerFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"KERNEL32"), "IsDebuggerPresent")));
    if (isDebuggerPresent && isDebuggerPresent()) return EXCEPTION_CONTINUE_SEARCH;
    VoErrorHandler_DetailsInit();
    AddVerbatim(VoMsgBoxGetCaption());
    static wchar_t wide[kFilterDumpBytes];
    MultiByteToWideChar(CP_ACP, 0, dump, -1, wide, kFilterDumpBytes - 1);
    wide[kFilterDumpBytes - 1] = 0;
    AddVerbatim(wide);
    VoErrorHandler_MsgBoxText(nullptr, MB_ICONEXCLAMATION,
                              VoErrorHandler_GetErrorMessage(VO_MSG_KEY(VO_MSG_EXCEPTION), VO_E_EXCEPTION,
                                                             VoMsgBoxGetCaption()),
                              FALSE);
    return EXCEPTION_EXECUTE_HANDLER;
}
