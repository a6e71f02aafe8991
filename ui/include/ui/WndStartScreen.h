// CWndStartScreen: the main window's plain pane (no tab) with three large buttons that jump to the
// oscilloscope, the engine tester and the special tests by sending WM_SELECTTAB to the main window.
#pragma once

#include <ui/PaneWnd.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

class CWndStartScreen : public CXPWndBaseColor, public CXPCtrlBtn::IDrawClbck, public CXPCtrlBtn::IBtnClbck {
 public:
  static constexpr int kButtons = 3;
  static constexpr int kButtonSize = 200;
  static constexpr int kButtonStep = 250;

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  // The tab a button selects (-1 outside 0..2).
  static int TabOf(int button);

  CXPCtrlBtn m_Buttons[kButtons];
};

// The table entry of the start screen (no tab).
PaneEntry StartScreenEntry();
