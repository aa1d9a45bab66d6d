// Re-entrant lock and thread helpers.
#include "platform.h"

#ifdef _WIN32

void VoLockInit(tVOLOCK *lock) { InitializeCriticalSection(&lock->section); }
void VoLockDelete(tVOLOCK *lock) { DeleteCriticalSection(&lock->section); }
void VoLockEnter(tVOLOCK *lock) { EnterCriticalSection(&lock->section); }
void VoLockLeave(tVOLOCK *lock) { LeaveCriticalSection(&lock->section); }

uint32_t VoGetCurrentThreadId() { return GetCurrentThreadId(); }

uint32_t VoAtomicExchange32(volatile uint32_t *target, uint32_t value)
{
    return (uint32_t)InterlockedExchange((volatile LONG *)target, (LONG)value);
}

#else

#include <sys/syscall.h>
#include <unistd.h>

void VoLockInit(tVOLOCK *lock)
{
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(&lock->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
}

void VoLockDelete(tVOLOCK *lock) { pthread_mutex_destroy(&lock->mutex); }
void VoLockEnter(tVOLOCK *lock) { pthread_mutex_lock(&lock->mutex); }
void VoLockLeave(tVOLOCK *lock) { pthread_mutex_unlock(&lock->mutex); }

uint32_t VoGetCurrentThreadId() { return (uint32_t)syscall(SYS_gettid); }

uint32_t VoAtomicExchange32(volatile uint32_t *target, uint32_t value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

#endif
