// The list of measurements: 34 links in a fixed order, rows of a twentieth of the height.
#include <ui/WndListOfMeasure.h>

#include <core/GlobalProps.h>
#include <core/MotortesterData.h>
#include <core/TextIds.h>

#include <algorithm>

namespace {

struct LinkDef {
  const char* name;
  int page;
  int text;  // language text; 0: the voltmeter and ammeter pair
};

// Creation order. Rows: "All connectors" (index 15), the meters (0..3), the engine tester (4..14),
// the vehicle measurements (16..33).
constexpr LinkDef kLinks[CWndListOfMeasure::LINKS] = {
    {"Measure_1", 2, 10030},   {"Measure_2", 3, 10159},   {"Measure_3", 4, 10158},   {"Measure_4", 5, 10160},
    {"Measure_5", 6, 10024},   {"Measure_6", 7, 0},       {"Measure_7", 8, 10036},   {"Measure_8", 9, 10037},
    {"Measure_9", 10, 10033},  {"Measure_10", 11, 10034}, {"Measure_11", 12, 10035}, {"Measure_12", 13, 10029},
    {"Measure_13", 14, 10069}, {"Measure_14", 15, 10031}, {"Measure_15", 16, 10032}, {"Measure_15", 1, 10161},
    {"Measure_16", 17, 10016}, {"Measure_17", 18, 10006}, {"Measure_18", 19, 10000}, {"Measure_19", 20, 10001},
    {"Measure_20", 21, 10002}, {"Measure_21", 22, 10003}, {"Measure_22", 23, 10004}, {"Measure_23", 24, 10007},
    {"Measure_24", 25, 10008}, {"Measure_25", 26, 10009}, {"Measure_26", 27, 10010}, {"Measure_27", 28, 10011},
    {"Measure_28", 29, 10012}, {"Measure_29", 30, 10014}, {"Measure_30", 31, 10015}, {"Measure_31", 32, 10017},
    {"Measure_32", 33, 10109}, {"Measure_33", 34, 10134},
};
constexpr int kAllConnectors = 15;

CString LinkText(const LinkDef& def) {
  GlobalProps& props = GetGlobalProps();
  if (def.text != 0) return props.GetText(def.text);
  CString pair;
  pair.Format("%s, %s", props.GetText(kTextVoltmeter), props.GetText(kTextAmmeter));
  return pair;
}

}  // namespace

CWndListOfMeasure::CWndListOfMeasure() {
  SetColor(kBackground);
  m_engineTester = [] { return GetMotortesterDevice()->IsReady(); };
}

BOOL CWndListOfMeasure::CreateChildren() {
  if (!m_ScrollBar.Create(WS_CHILD | WS_VISIBLE | SBS_VERT | SBS_RIGHTALIGN, CRect(0, 0, 0, 0), this, 0)) return FALSE;
  for (int i = 0; i < LINKS; ++i) {
    CXPCtrlHyperText& link = m_Links[i];
    link.clbck = this;
    link.text = LinkText(kLinks[i]);
    if (!link.Create(kLinks[i].name, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, kLinks[i].page)) return FALSE;
  }
  m_bEngineTester = m_engineTester ? m_engineTester() : FALSE;
  if (!m_bEngineTester) {
    for (int i = 0; i < LINKS; ++i) {
      if (IsEngineLink(i)) m_Links[i].ShowWindow(SW_HIDE);
    }
  }
  m_nScrollPos = 0;
  m_ScrollBar.SetScrollRange(0, MaxScroll(), FALSE);
  m_ScrollBar.SetScrollPos(0, TRUE);
  return TRUE;
}

CXPCtrlHyperText* CWndListOfMeasure::LinkOfPage(int page) {
  for (CXPCtrlHyperText& link : m_Links) {
    if (link.id == page) return &link;
  }
  return nullptr;
}

void CWndListOfMeasure::LayoutRows() {
  if (!m_ScrollBar.GetSafeHwnd()) return;
  CRect client;
  GetClientRect(&client);
  m_ScrollBar.MoveWindow(client.right - SCROLL_WIDTH, client.top, SCROLL_WIDTH, client.Height(), TRUE);
  const int rowHeight = client.Height() / VISIBLE_ROWS;
  const int width = client.Width() - SCROLL_WIDTH;
  int top = client.top - m_nScrollPos * rowHeight;
  auto place = [&](int index) {
    m_Links[index].MoveWindow(client.left, top, width, rowHeight, TRUE);
    top += rowHeight;
  };
  place(kAllConnectors);
  for (int i = 0; i < 4; ++i) place(i);
  if (m_bEngineTester) {
    for (int i = 4; i < 4 + ENGINE_LINKS; ++i) place(i);
  }
  for (int i = kAllConnectors + 1; i < LINKS; ++i) place(i);
}

void CWndListOfMeasure::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  LayoutRows();
}

int CWndListOfMeasure::Redraw() {
  LayoutRows();
  return CXPWndBaseColor::Redraw();
}

void CWndListOfMeasure::ScrollToRow(int row) {
  m_nScrollPos = std::clamp(row, 0, MaxScroll());
  if (m_ScrollBar.GetSafeHwnd()) m_ScrollBar.SetScrollPos(m_nScrollPos, TRUE);
  Redraw();
}

void CWndListOfMeasure::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
  (void)bar;
  int row = m_nScrollPos;
  switch (code) {
    case SB_LINEUP: row -= 1; break;
    case SB_LINEDOWN: row += 1; break;
    case SB_PAGEUP: row -= 2; break;
    case SB_PAGEDOWN: row += 2; break;
    case SB_TOP: row = 0; break;
    case SB_BOTTOM: row = MaxScroll(); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: row = static_cast<int>(pos); break;
    default: return;  // end-scroll changes nothing
  }
  ScrollToRow(row);
}

void CWndListOfMeasure::OnLinkClicked(CXPCtrlHyperText* link) {
  if (link && m_onLink) m_onLink(link->id);
}
