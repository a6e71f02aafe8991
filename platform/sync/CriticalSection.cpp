// Critical sections: a recursive lock, entered again by its owner as often as it likes.
#include <platform/sync.h>

#include <mutex>

namespace {
std::recursive_mutex* Impl(LPCRITICAL_SECTION cs) { return static_cast<std::recursive_mutex*>(cs->impl); }
}  // namespace

extern "C" {

PLATFORM_API void InitializeCriticalSection(LPCRITICAL_SECTION cs) { cs->impl = new std::recursive_mutex; }

PLATFORM_API void DeleteCriticalSection(LPCRITICAL_SECTION cs) {
  delete Impl(cs);
  cs->impl = nullptr;
}

PLATFORM_API void EnterCriticalSection(LPCRITICAL_SECTION cs) { Impl(cs)->lock(); }

PLATFORM_API BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs) { return Impl(cs)->try_lock() ? TRUE : FALSE; }

PLATFORM_API void LeaveCriticalSection(LPCRITICAL_SECTION cs) { Impl(cs)->unlock(); }

}  // extern "C"
