// IPaneWnd: what the main window knows of each of its panes. It switches tabs only through these
// four calls: Init once after creation, Activate when the pane's tab is selected (with the tab
// that was active before), Deactivate when another tab is chosen (FALSE keeps the pane), Show.
#pragma once

#include <platform/types.h>

class IPaneWnd {
 public:
  virtual void Init() = 0;
  virtual void Activate(int previousTab) = 0;
  virtual BOOL Deactivate() = 0;
  virtual void Show(BOOL show) = 0;

 protected:
  ~IPaneWnd() = default;
};
