// CWndListOfMeasure: the scrollable column of links beside the help pane's connector table. Each
// link names one measurement and carries its help page number as id; a click asks the help pane
// to show that page. The engine tester's eleven links are left out without the engine-tester board.
#pragma once

#include <ui/XPCtrlHyperText.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxwin.h>

#include <functional>

class CWndListOfMeasure : public CXPWndBaseColor, public CXPCtrlHyperText::IHyperTextClbck {
 public:
  enum { LINKS = 34, VISIBLE_ROWS = 20, SCROLL_WIDTH = 20, ENGINE_LINKS = 11 };
  static constexpr COLORREF kBackground = RGB(235, 236, 208);

  CWndListOfMeasure();

  BOOL CreateChildren() override;
  void RecalcLayout() override;
  int Redraw() override;
  void OnLinkClicked(CXPCtrlHyperText* link) override;
  void OnVScroll(UINT code, UINT pos, CScrollBar* bar) override;

  // Sets the scroll position (kept within the range) and lays the rows out again.
  void ScrollToRow(int row);
  int ScrollPos() const { return m_nScrollPos; }
  int MaxScroll() const { return m_bEngineTester ? LINKS - VISIBLE_ROWS : LINKS - ENGINE_LINKS - VISIBLE_ROWS; }
  // The link whose id is the page number (null when none).
  CXPCtrlHyperText* LinkOfPage(int page);
  // Whether a link (by creation index) belongs to the engine tester (indexes 4..14).
  static bool IsEngineLink(int index) { return index >= 4 && index < 4 + ENGINE_LINKS; }

  // Told the page number of a clicked link (the help pane).
  std::function<void(int page)> m_onLink;
  // Whether the engine-tester board is present; asked once at creation.
  std::function<BOOL()> m_engineTester;

  CScrollBar m_ScrollBar;
  CXPCtrlHyperText m_Links[LINKS];
  int m_nScrollPos = 0;
  BOOL m_bEngineTester = FALSE;

 private:
  void LayoutRows();
};
