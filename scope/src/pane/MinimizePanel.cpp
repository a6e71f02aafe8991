#include <scope/pane/MinimizePanel.h>

#include <core/NumberFormat.h>

#include <platform/controls.h>
#include <platform/dcscope.h>

CWndOsc_MinimizePanel::CWndOsc_MinimizePanel()
    : m_crBase(m_crBack), m_crDark(AdjustColor(m_crBack, -70)) {}

CWndOsc_MinimizePanel::~CWndOsc_MinimizePanel() = default;

BOOL CWndOsc_MinimizePanel::CreateChildren() {
  if (!m_dockButton.Create("DockButton", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, 0)) return FALSE;
  m_dockButton.drawClbck = this;
  m_dockButton.btnClbck = this;
  m_dockButton.SetColors(m_crBack, 0x10000, 0x10000, RGB(80, 80, 80));
  SetOption(m_dockButton, 4, TRUE);
  return TRUE;
}

void CWndOsc_MinimizePanel::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (!m_dockButton.GetSafeHwnd()) return;
  const int side = m_rcClient.Width() - 2;
  m_dockButton.MoveWindow(m_rcClient.left + 1, m_rcClient.Height() / 156, side, side);
}

void CWndOsc_MinimizePanel::PaintContent(CDC* dc) {
  CPen pen;
  pen.CreatePen(PS_SOLID, 1, RGB(192, 192, 192));
  CBrush brush;
  brush.CreateSolidBrush(RGB(0, 0, 0));
  kvp::DcSelect selPen(dc, &pen);
  kvp::DcSelect selBrush(dc, &brush);

  CRect r = m_rcClient;
  r.DeflateRect(2, 2);
  const int side = r.Width();
  const int top = r.top + (r.Height() - side) / 2;
  const int w = side / 2 + (side % 2 == 0 ? 1 : 0) + 1;
  const int left = r.left + (side - w) / 2;
  const int right = left + w;
  const int midY = top + side / 2;
  POINT p[3];
  if (m_pCallback && m_pCallback->IsExpanded()) {  // points right: slide the panel out
    p[0] = {left, midY - w / 2};
    p[1] = {right - 1, midY};
    p[2] = {left, midY + w / 2};
  } else {  // points left: bring the panel in
    p[0] = {right, midY - w / 2};
    p[1] = {left + 1, midY};
    p[2] = {right, midY + w / 2};
  }
  if (side > 0) dc->Polygon(p, 3);
}

void CWndOsc_MinimizePanel::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id != 0 || !content) return;
  const CRect b(*content);
  const int h = b.Width() / 2 + 1;
  const int top = b.top + b.Height() / 2 - h / 2;
  CBrush brush;
  brush.CreateSolidBrush(RGB(0, 0, 0));
  kvp::DcSelect selBrush(dc, &brush);
  const POINT p[3] = {{b.left, top}, {b.right - 1, top}, {b.left + b.Width() / 2, top + h}};
  dc->Polygon(p, 3);
}

void CWndOsc_MinimizePanel::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id == 0 && m_pCallback) m_pCallback->Dock();
}

LRESULT CWndOsc_MinimizePanel::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_MOUSELEAVE) {
    m_bTracking = FALSE;
    KillTimer(kTimerDarken);
    SetTimer(kTimerLighten, kFadeMs, nullptr);
  }
  return CXPWndBaseColor::WindowProc(message, wParam, lParam);
}

void CWndOsc_MinimizePanel::OnLButtonDown(UINT flags, CPoint point) {
  CXPWndBaseColor::OnLButtonDown(flags, point);
  KillTimer(kTimerHover);
  if (m_pCallback) m_pCallback->Toggle();
}

void CWndOsc_MinimizePanel::OnMouseMove(UINT flags, CPoint point) {
  if (!m_bTracking) {
    TRACKMOUSEEVENT tme{};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_LEAVE;
    tme.hwndTrack = m_hWnd;
    tme.dwHoverTime = static_cast<DWORD>(-1);
    TrackMouseEvent(&tme);
    KillTimer(kTimerLighten);
    SetTimer(kTimerDarken, kFadeMs, nullptr);
    if (m_bExpandedHandle)
      m_bExpandedHandle = FALSE;
    else
      SetTimer(kTimerHover, kHoverMs, nullptr);
    m_bTracking = TRUE;
  }
  CXPWndBaseColor::OnMouseMove(flags, point);
}

bool CWndOsc_MinimizePanel::Fade(int delta, COLORREF target, bool darker) {
  COLORREF next = AdjustColor(m_crBack, delta);
  // The fade compares whole COLORREF values, as the colours only move along one grey-ish line.
  const bool arrived = darker ? next <= target : next >= target;
  if (arrived || next == m_crBack) next = target;
  SetColor(next);
  RedrawNow(this);
  return next == target;
}

void CWndOsc_MinimizePanel::OnTimer(UINT_PTR id) {
  switch (id) {
    case kTimerDarken:
      if (Fade(-5, m_crDark, true)) KillTimer(kTimerDarken);
      break;
    case kTimerLighten:
      if (Fade(+5, m_crBase, false)) KillTimer(kTimerLighten);
      break;
    case kTimerHover:
      KillTimer(kTimerHover);
      if (m_pCallback) m_pCallback->Toggle();
      break;
    default:
      CXPWndBaseColor::OnTimer(id);
      break;
  }
}
