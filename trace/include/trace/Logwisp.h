// Logwisp: the trace library of the link libraries.
//
// Each trace line goes to the outside viewer "LogwispWnd" when one is running, with the module
// filter word beside it (the viewer decides what to show), or else to the debugger output.
// The link libraries import the one global instance GTRACE by name and, before every line, set
// filter, tab and prefix on it and call TraceIt, from any of their threads.
#pragma once

#include <platform/types.h>

#include <memory>
#include <mutex>

namespace logwisp {
class ViewerTransport;
class ViewerLink;
}  // namespace logwisp

class KV_EXPORT_CLASS CLogwisp {
 public:
  // Tabs and filter 0, prefix empty; the first trace call looks for the viewer.
  CLogwisp();
  // A copy takes the settings (tabs, filter, the whole prefix) and shares the original's viewer
  // connection and rescan schedule; destroying either leaves the other fully working.
  CLogwisp(const CLogwisp& other);
  CLogwisp& operator=(const CLogwisp& other);
  virtual ~CLogwisp();

  // Indentation in steps of two blanks for every line.
  void SetModuleTab(unsigned long tab);
  // Indentation for the next line only; 0 means the module tab.
  void SetOneShotTab(unsigned long tab);
  // The word sent to the viewer beside each line.
  void SetModuleFilter(unsigned long filter);
  // Text put before each line; at most kMaxPrefix characters are kept.
  void SetModulePrefix(const char* prefix);

  // Formats one line like printf and sends it to the viewer, or writes it to the debugger
  // output when there is none. Safe to call from several threads at once.
  void TraceIt(const char* format, ...) __attribute__((format(printf, 2, 3)));

  static constexpr size_t kMaxPrefix = 29;

  // For the library's own tests: an object that reaches the viewer through the given transport.
  // Not exported; other modules use GTRACE.
  __attribute__((visibility("hidden"))) explicit CLogwisp(std::shared_ptr<logwisp::ViewerTransport> transport);

 private:
  struct LineSettings;
  __attribute__((visibility("hidden"))) LineSettings TakeLineSettings();

  mutable std::mutex m_lock;  // guards the settings below; never held while sending
  DWORD m_dwModuleTab = 0;
  DWORD m_dwOneShotTab = 0;
  DWORD m_dwModuleFilter = 0;
  char m_szModulePrefix[kMaxPrefix + 1] = {};
  std::shared_ptr<logwisp::ViewerLink> m_pViewer;  // viewer presence and connection
};

// The one instance, built when the library is loaded and destroyed when it is unloaded.
extern KV_EXPORT_CLASS CLogwisp GTRACE;
