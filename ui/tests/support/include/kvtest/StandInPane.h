// CStandInPane: a plain pane for the main window's tests. It paints its window name on the scheme's
// background, counts its activations and always lets go.
#pragma once

#include <ui/PaneWnd.h>
#include <ui/XPWndBaseColor.h>

class CStandInPane : public CXPWndBaseColor, public IPaneWnd {
 public:
  void Init() override {}
  void Activate(int previousTab) override;
  BOOL Deactivate() override;
  void Show(BOOL show) override { ShowWindow(show ? SW_SHOW : SW_HIDE); }

  void PaintContent(CDC* dc) override;

  int m_nActivations = 0;
  int m_nLastPrevious = -2;
};

// A table entry for a stand-in pane.
PaneEntry StandInEntry(int tab, const char* name, UINT childId);
