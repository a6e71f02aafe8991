#include <kvtest/StandInPane.h>

void CStandInPane::Activate(int previousTab) {
  ++m_nActivations;
  m_nLastPrevious = previousTab;
  Show(TRUE);
}

BOOL CStandInPane::Deactivate() {
  Show(FALSE);
  return TRUE;
}

void CStandInPane::PaintContent(CDC* dc) {
  char name[128] = {};
  ::GetWindowText(m_hWnd, name, sizeof name);
  dc->SetBkMode(TRANSPARENT);
  dc->SetTextColor(RGB(255, 255, 255));
  CRect text = m_rcClient;
  dc->DrawText(name, -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

PaneEntry StandInEntry(int tab, const char* name, UINT childId) {
  PaneEntry entry;
  entry.tab = tab;
  entry.name = name;
  entry.childId = childId;
  entry.make = [] { return std::unique_ptr<CWnd>(new CStandInPane); };
  entry.create = [](CWnd& pane, const char* windowName, CWnd* parent, UINT id) {
    return static_cast<CStandInPane&>(pane).Create(windowName, WS_CHILD | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), parent, id);
  };
  return entry;
}
