// IScopeNotifyTarget: a child of the scope pane that takes the pane's notifications. The pane's
// hub (CWndOsc::OnSystemNotify) forwards every notification it receives to its children in a
// fixed order: time ruler, level-marker ruler, chart, control panel, cursor panel, minimize panel.
// Called on the GUI thread only; `sender` is the id of the part that raised the notification,
// `code` what changed and `param` its value (a channel, a mask or 0).
#pragma once

namespace scope {

class IScopeNotifyTarget {
 public:
  virtual void OnSystemNotify(int sender, int code, int param) = 0;

 protected:
  ~IScopeNotifyTarget() = default;
};

}  // namespace scope
