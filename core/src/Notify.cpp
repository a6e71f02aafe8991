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

void NotifySystem(notify::Sender sender, notify::Code code, int value) {
  if (ISystemNotify* sink = GetSystemNotify()) sink->OnSystemNotify(sender, code, value);
}

void NotifyQuit() {
  if (IAnalyzerNotify* sink = GetAnalyzerNotify()) sink->OnAnalyzerNotify(notify::kAnalyzerFromMain, notify::kAnalyzerQuit, 0);
  NotifySystem(notify::kFromAnyone, notify::kQuit);
}
