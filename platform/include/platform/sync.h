// Threads and synchronisation: events, waits, critical sections, mutexes (also named, across
// processes), threads, sleeps and tick counts, all on the replaceable clock (platform/clock.h).
//
// Wait rules: wait-any returns the lowest signalled index and consumes an auto-reset event only
// when it is the one returned; setting a manual-reset event wakes every waiter even if it is reset
// at once; a thread handle is signalled when the thread has ended. No thread is ever killed:
// TerminateThread does not exist; see AbandonThread.
#pragma once

#include <platform/types.h>

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

#define CREATE_SUSPENDED 0x00000004u
#define STILL_ACTIVE 259u

#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF

#define SYNCHRONIZE 0x00100000u
#define MUTEX_ALL_ACCESS 0x001F0001u
#define EVENT_ALL_ACCESS 0x001F0003u

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID param);

// Recursive like the original: the owning thread may enter again and must leave as often.
struct CRITICAL_SECTION {
  void* impl;
};
typedef CRITICAL_SECTION* LPCRITICAL_SECTION;

extern "C" {

// Events.
PLATFORM_API HANDLE CreateEvent(LPSECURITY_ATTRIBUTES sa, BOOL manualReset, BOOL initialState, LPCSTR name);
PLATFORM_API BOOL SetEvent(HANDLE event);
PLATFORM_API BOOL ResetEvent(HANDLE event);
PLATFORM_API BOOL PulseEvent(HANDLE event);

// Waits. Time-outs in milliseconds of the platform clock; INFINITE waits without limit.
PLATFORM_API DWORD WaitForSingleObject(HANDLE h, DWORD timeoutMs);
PLATFORM_API DWORD WaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD timeoutMs);

// Critical sections.
PLATFORM_API void InitializeCriticalSection(LPCRITICAL_SECTION cs);
PLATFORM_API void DeleteCriticalSection(LPCRITICAL_SECTION cs);
PLATFORM_API void EnterCriticalSection(LPCRITICAL_SECTION cs);
PLATFORM_API BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs);
PLATFORM_API void LeaveCriticalSection(LPCRITICAL_SECTION cs);

// Mutexes. A named mutex is shared between processes through a lock file in the per-user runtime
// folder: a holder that dies releases it. Creating an existing name succeeds and sets
// ERROR_ALREADY_EXISTS; the caller then does not own it.
PLATFORM_API HANDLE CreateMutex(LPSECURITY_ATTRIBUTES sa, BOOL initialOwner, LPCSTR name);
PLATFORM_API HANDLE OpenMutex(DWORD access, BOOL inherit, LPCSTR name);
PLATFORM_API BOOL ReleaseMutex(HANDLE mutex);

// Threads.
PLATFORM_API HANDLE CreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                                 LPVOID param, DWORD flags, LPDWORD threadId);
PLATFORM_API DWORD ResumeThread(HANDLE thread);
PLATFORM_API BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
PLATFORM_API BOOL SetThreadPriority(HANDLE thread, int priority);  // advisory
PLATFORM_API int GetThreadPriority(HANDLE thread);
PLATFORM_API HANDLE GetCurrentThread(void);  // pseudo handle
PLATFORM_API DWORD GetCurrentThreadId(void);
PLATFORM_API DWORD GetCurrentProcessId(void);
PLATFORM_API void ExitThread(DWORD exitCode);

// Time.
PLATFORM_API void Sleep(DWORD ms);
PLATFORM_API DWORD GetTickCount(void);
PLATFORM_API DWORD timeGetTime(void);

// Interlocked operations on 32-bit values.
PLATFORM_API LONG InterlockedIncrement(LONG volatile* v);
PLATFORM_API LONG InterlockedDecrement(LONG volatile* v);
PLATFORM_API LONG InterlockedExchange(LONG volatile* v, LONG value);
PLATFORM_API LONG InterlockedCompareExchange(LONG volatile* v, LONG exchange, LONG comparand);

}  // extern "C"

namespace kvp {

// Replacement for forced termination: the thread is marked abandoned, its handle is signalled
// for waiters as if it had ended, and whatever it does later is its own affair (its module is
// never unloaded under it). Callers first signal stop and wait; this is the last resort.
PLATFORM_API BOOL AbandonThread(HANDLE thread);

// Whether the calling thread has been abandoned (code that posts callbacks drops them then).
PLATFORM_API bool CurrentThreadAbandoned();

}  // namespace kvp
