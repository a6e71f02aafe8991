#include <core/Notify.h>

#include <atomic>

namespace {
std::atomic<ISystemNotify*> g_system{nullptr};
std::atomic<IAnalyzerNotify*> g_analyzer{nullptr};
}  // namespace

void SetSystemNotify(ISystemNotify* sink) { g_system.store(sink); }
ISystemNotify* GetSystemNotify() { return g_system.load(); }
void SetAnalyzerNotify(IAnalyzerNotify* sink) { g_analyzer.store(sink); }
IAnalyzerNotify* GetAnalyzerNotify() { return g_analyzer.load(); }

void UnregisterSystemNotify(ISystemNotify* sink) {
  ISystemNotify* expected = sink;
  g_system.compare_exchange_strong(expected, nullptr);
}

void UnregisterAnalyzerNotify(IAnalyzerNotify* sink) {
  IAnalyzerNotify* expected = sink;
  g_analyzer.compare_exchange_strong(expected, nullptr);
}
