// The two notification sinks through which panes find each other: the scope pane registers the
// system sink, the record analyzer the analyzer sink. Notifications are made on the GUI thread.
#pragma once

class ISystemNotify {
 public:
  virtual void OnSystemNotify(int sender, int code, int value) = 0;

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
