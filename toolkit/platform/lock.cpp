// Re-entrant lock and thread helpers.
#include "platform.h"

#ifdef _WIN32

void VoLockInit(tVOLOCK *lock) { InitializeCriticalSection(&lock->section); }
void VoLockDelete(tVOLOCK *lock) { DeleteCriticalSection(&lock->section); }
void VoLockEnter(tVOLOCK *lock) { EnterCriticalSection(&lock->section); }
void VoLockLeave(tVOLOCK *lock) { LeaveCriticalSection(&lock->section); }

uint32_t VoGetCurrentThreadId() { return GetCurrentThreadId(); }

HVOSEMAPHORE VoSemaphoreCreate(int initialCount, int maximumCount)
{
    return (HVOSEMAPHORE)CreateSemaphoreW(nullptr, initialCount, maximumCount, nullptr);
}

void VoSemaphoreClose(HVOSEMAPHORE semaphore)
{
    if (semaphore) CloseHandle((HANDLE)semaphore);
}

void VoSemaphoreRelease(HVOSEMAPHORE semaphore)
{
    if (semaphore) ReleaseSemaphore((HANDLE)semaphore, 1, nullptr);
}

void VoSemaphoreWait(HVOSEMAPHORE semaphore)
{
    if (semaphore) WaitForSingleObject((HANDLE)semaphore, INFINITE);
}

uint32_t VoAtomicExchange32(volatile uint32_t *target, uint32_t value)
{
    return (uint32_t)InterlockedExchange((volatile LONG *)target, (LONG)value);
}

#else

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>

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

struct tVOSEMAPHORE {
    pthread_mutex_t mutex;
    pthread_cond_t cond;
    int count;
    int maximum;
};

HVOSEMAPHORE VoSemaphoreCreate(int initialCount, int maximumCount)
{
    tVOSEMAPHORE *s = (tVOSEMAPHORE *)calloc(1, sizeof(tVOSEMAPHORE));
    if (!s) return nullptr;
    pthread_mutex_init(&s->mutex, nullptr);
    pthread_cond_init(&s->cond, nullptr);
    s->count = initialCount;
    s->maximum = maximumCount;
    return s;
}

void VoSemaphoreClose(HVOSEMAPHORE s)
{
    if (!s) return;
    pthread_cond_destroy(&s->cond);
    pthread_mutex_destroy(&s->mutex);
    free(s);
}

void VoSemaphoreRelease(HVOSEMAPHORE s)
{
    if (!s) return;
    pthread_mutex_lock(&s->mutex);
    if (s->count < s->maximum) {
        ++s->count;
        pthread_cond_signal(&s->cond);
    }
    pthread_mutex_unlock(&s->mutex);
}

void VoSemaphoreWait(HVOSEMAPHORE s)
{
    if (!s) return;
    pthread_mutex_lock(&s->mutex);
    while (s->count == 0) pthread_cond_wait(&s->cond, &s->mutex);
    --s->count;
    pthread_mutex_unlock(&s->mutex);
}

uint32_t VoAtomicExchange32(volatile uint32_t *target, uint32_t value)
{
    return __atomic_exchange_n(target, value, __ATOMIC_SEQ_CST);
}

#endif
