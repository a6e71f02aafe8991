// The two notification sinks through which panes find each other: the scope pane registers the
// system sink, the record analyzer the analyzer sink. Notifications are made on the GUI thread.
//
// A system notification is (sender, code, value): who raised it, what changed, and a value (a
// channel, a cursor's index, a position or 0). Sender and code have types of their own so that a
// bare number passes for neither: the values are the system's ids, named once where they are
// owned. The ones that cross panes are named here; the scope's own parts and codes are named in
// <scope/ScopeNotify.h>. The analyzer sink keeps its own code space
// (<meters/analyzer/AnalyzerCommon.h>); the two share only the main window's quit.
#pragma once

namespace notify {

enum class Sender : int {};
enum class Code : int {};

constexpr int ToInt(Sender sender) { return static_cast<int>(sender); }
constexpr int ToInt(Code code) { return static_cast<int>(code); }

// The i-th of a run of per-channel (or per-signal) codes that starts at `first`.
constexpr Code Nth(Code first, int i) { return Code{ToInt(first) + i}; }

// Senders that several parts use. A notification from kFromAnyone is heard by every target,
// the one that raised it included.
inline constexpr Sender kFromAnyone{-1};        // the main window; the scope's own parts, heard by all
inline constexpr Sender kFromEngineStop{0};     // the acquisition engine as a run is stopped
inline constexpr Sender kFromControlPanel{5};   // the scope's control panel; a run's start speaks as it
inline constexpr Sender kFromEngineTester{9};   // the engine-tester pane

// Codes that cross panes.
inline constexpr Code kQuit{1};                  // the main window closes
inline constexpr Code kRunStarted{24};           // the acquisition engine runs
inline constexpr Code kRunStopped{25};           // the acquisition engine stopped
inline constexpr Code kCylinderChanged{48};      // engine tester: another cylinder is measured
inline constexpr Code kMeasureTypeChanged{49};   // engine tester: another measurement was chosen

// The analyzer sink's values for the main window's quit (its sender -1 and code 1).
inline constexpr int kAnalyzerFromMain = -1;
inline constexpr int kAnalyzerQuit = 1;

}  // namespace notify

class ISystemNotify {
 public:
  virtual void OnSystemNotify(notify::Sender sender, notify::Code code, int value) = 0;

 protected:
  ~ISystemNotify() = default;
};

class IAnalyzerNotify {
 public:
  virtual void OnAnalyzerNotify(int sender, int code, int value) = 0;

 protected:
  ~IAnalyzerNotify() = default;
};

// Registering replaces the previous sink. Null until a pane registers.
void SetSystemNotify(ISystemNotify* sink);
ISystemNotify* GetSystemNotify();
void SetAnalyzerNotify(IAnalyzerNotify* sink);
IAnalyzerNotify* GetAnalyzerNotify();
// A pane that goes away takes itself out, unless another sink has replaced it meanwhile.
void UnregisterSystemNotify(ISystemNotify* sink);
void UnregisterAnalyzerNotify(IAnalyzerNotify* sink);

// Hands (sender, code, value) to the registered system sink, if any.
void NotifySystem(notify::Sender sender, notify::Code code, int value = 0);
// The main window closes: the analyzer sink hears it first, then the system sink.
void NotifyQuit();
