#include <meters/analyzer/AnalyzerTimeLine.h>

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>

#include <core/ColorScheme.h>
#include <core/MemDC.h>

#include <platform/dcscope.h>

#include <algorithm>

using namespace analyzer;

namespace {
int FirstCount() {
  const CRecordList& list = GetRecordList();
  return list.IsEmpty() ? 0 : list[0]->GetPointCount();
}
}  // namespace

CWndAnalyzerTimeLine::CWndAnalyzerTimeLine(CRecorder* recorder)
    : m_pRecorder(recorder ? recorder : &GetRecorder()),
      m_crBackground(GetSchemeColor(6)),
      m_hCursor(AnalyzerCursor(kCursorNormal)) {
  EnsureWindowClass(kClassName, CS_VREDRAW | CS_HREDRAW, kCursorNormal);
}

CWndAnalyzerTimeLine::~CWndAnalyzerTimeLine() = default;

BOOL CWndAnalyzerTimeLine::Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(kClassName, name, style, rect, parent, id);
}

void CWndAnalyzerTimeLine::SetColors(COLORREF thumb, COLORREF played, COLORREF rest, COLORREF background) {
  m_crThumb = thumb;
  m_crPlayed = played;
  m_crRest = rest;
  m_crBackground = background;
  RebuildGdi();
}

void CWndAnalyzerTimeLine::RebuildGdi() {
  for (CGdiObject* o : {static_cast<CGdiObject*>(&m_brPlayed), static_cast<CGdiObject*>(&m_brRest),
                        static_cast<CGdiObject*>(&m_brThumb), static_cast<CGdiObject*>(&m_brBackground),
                        static_cast<CGdiObject*>(&m_penStop)})
    o->DeleteObject();
  m_brPlayed.CreateSolidBrush(m_crPlayed);
  m_brRest.CreateSolidBrush(m_crRest);
  m_brThumb.CreateSolidBrush(m_crThumb);
  m_brBackground.CreateSolidBrush(m_crBackground);
  m_penStop.CreatePen(PS_SOLID, 4, 0x000000);
  m_GdiColours = {m_crPlayed, m_crRest, m_crThumb, m_crBackground};
}

CWndAnalyzerTimeLine::Shown CWndAnalyzerTimeLine::WhatIsShown() {
  Shown s{};
  GetClientRect(&s.client);
  s.min = m_nMin;
  s.max = m_nMax;
  s.value = m_nValue;
  s.colours = {m_crPlayed, m_crRest, m_crThumb, m_crBackground};
  s.cursors = !m_pRecorder->m_bCursorsHidden;
  if (s.cursors)
    for (int i = 0; i < 2; ++i) {
      s.cursorAt[i] = m_pRecorder->m_Cursors[i].m_dValue;
      s.cursorColours[i] = m_pRecorder->m_Cursors[i].m_crColor;
    }
  return s;
}

void CWndAnalyzerTimeLine::SetRange(int a, int b) {
  m_nMin = std::min(a, b);
  m_nMax = std::max(a, b);
  m_nValue = std::clamp(m_nValue, m_nMin, m_nMax);
  Repaint();
}

void CWndAnalyzerTimeLine::SetValue(int v) {
  m_nValue = std::clamp(v, m_nMin, m_nMax);
  Repaint();
}

void CWndAnalyzerTimeLine::Repaint() {
  if (!GetSafeHwnd()) return;
  const Shown now = WhatIsShown();
  if (m_bPainted && now == m_Painted) return;
  m_Painted = now;
  m_bPainted = true;
  CClientDC dc(this);
  CMemDC mem(&dc);
  Paint(&mem);
}

BOOL CWndAnalyzerTimeLine::OnEraseBkgnd(CDC*) { return TRUE; }

void CWndAnalyzerTimeLine::OnPaint() {
  CPaintDC dc(this);
  // A paint of part of the line leaves the rest as it was: only a whole one is a picture to keep.
  m_Painted = WhatIsShown();
  m_bPainted = CRect(dc.m_ps.rcPaint) == m_Painted.client;
  CMemDC mem(&dc);
  Paint(&mem);
}

void CWndAnalyzerTimeLine::Paint(CDC* dc) {
  if (!m_brPlayed.GetSafeHandle() || m_GdiColours != std::array<COLORREF, 4>{m_crPlayed, m_crRest, m_crThumb, m_crBackground})
    RebuildGdi();
  GetClientRect(&m_rcClient);
  const CRect& c = m_rcClient;
  const int L = c.left, R = c.right, T = c.top, B = c.bottom;
  const int W = R - L;
  const double span = m_nMax > m_nMin ? static_cast<double>(m_nMax) - m_nMin : 1.0;
  const int tw = W / 72;
  int tx = static_cast<int>((m_nValue - static_cast<double>(m_nMin)) / span * W + L - W / 144);
  if (tx + tw > R - 4) tx = R - tw - 4;
  if (tx < L + 4) tx = L + 4;
  dc->FillRect(&c, &m_brBackground);
  CPen thin(PS_SOLID, 1, 0x000000);
  kvp::DcSelect pens(dc, &m_penStop);
  dc->MoveTo(L + 2, T);
  dc->LineTo(L + 2, B);
  dc->MoveTo(R - 2, T);
  dc->LineTo(R - 2, B);
  pens.Select(&thin);
  CRect band = c;
  band.DeflateRect(3, c.Height() / 5);
  kvp::DcSelect brushes(dc, &m_brPlayed);
  const int split = std::clamp(tx + 2, static_cast<int>(band.left), static_cast<int>(band.right));
  if (split > band.left) dc->Rectangle(band.left, band.top, split, band.bottom);
  brushes.Select(&m_brRest);
  if (band.right > split) dc->Rectangle(split, band.top, band.right, band.bottom);
  if (!m_pRecorder->m_bCursorsHidden) {
    for (const CursorRecord& cur : m_pRecorder->m_Cursors) {
      CPen pen(PS_SOLID, 2, cur.m_crColor);
      pens.Select(&pen);
      const double at = cur.m_dValue / span * (W - 8);
      const int x = L + (at > -1e9 && at < 1e9 ? static_cast<int>(at) : (at > 0 ? 1000000000 : -1000000000)) + 4;
      dc->MoveTo(x, T);
      dc->LineTo(x, B);
      pens.Select(&thin);
    }
  }
  m_rcThumb.SetRect(tx, T, tx + tw, B);
  brushes.Select(&m_brThumb);
  dc->RoundRect(&m_rcThumb, CPoint(4, 4));
}

void CWndAnalyzerTimeLine::MoveTo(int x) {
  CRect c;
  GetClientRect(&c);
  const int W = c.Width() > 0 ? c.Width() : 1;
  const double v = static_cast<double>(x) / W * (static_cast<double>(m_nMax) - m_nMin) + m_nMin;
  m_nValue = std::clamp(static_cast<int>(v), m_nMin, m_nMax);
  m_pRecorder->SetPosition(m_nValue + m_nOffset);
  Notify(kFromTimeLine, kTimeLineMoved);
}

void CWndAnalyzerTimeLine::OnLButtonDown(UINT, CPoint point) {
  if (m_rcThumb.PtInRect(point)) {
    m_hCursor = AnalyzerCursor(kCursorDrag);
    ::SetCursor(m_hCursor);
    if (!m_bCaptured) {
      SetCapture();
      m_bCaptured = 1;
    }
    m_bDragging = 1;
  } else {
    MoveTo(point.x);
  }
  Repaint();
}

void CWndAnalyzerTimeLine::OnMouseMove(UINT, CPoint point) {
  if (m_rcThumb.PtInRect(point))
    m_hCursor = AnalyzerCursor(kCursorDrag);
  else if (!m_bDragging)
    m_hCursor = AnalyzerCursor(kCursorNormal);
  if (m_bDragging) {
    CRect c;
    GetClientRect(&c);
    int x = point.x;
    if (x < c.left + 4) x = c.left;
    if (x > c.right - 4) x = c.right;
    MoveTo(x);
  }
  Repaint();
}

void CWndAnalyzerTimeLine::OnLButtonUp(UINT, CPoint) {
  if (m_bDragging) m_hCursor = AnalyzerCursor(kCursorNormal);
  if (m_bCaptured && ::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
  m_bDragging = 0;
  m_bCaptured = 0;
  Repaint();
}

void CWndAnalyzerTimeLine::OnCancelMode() {
  if (m_bCaptured && ::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
  m_bDragging = 0;
  m_bCaptured = 0;
  Repaint();
}

BOOL CWndAnalyzerTimeLine::OnSetCursor(CWnd*, UINT, UINT) {
  ::SetCursor(m_hCursor);
  return TRUE;
}

void CWndAnalyzerTimeLine::OnAnalyzerNotify(int sender, int code, int) {
  if (sender == kFromTimeLine) return;
  CRecorder::ViewState& view = m_pRecorder->m_View;
  switch (code) {
    case kNewData: {
      m_nOffset = view.m_nZoom * CRecorder::SCREEN_COLUMNS / 2;
      m_nValue = 0;
      SetRange(0, FirstCount() - 2 * m_nOffset - 1);
      SetValue(0);
      m_pRecorder->SetPosition(m_nOffset);
      break;
    }
    case kHZoomChanged: {
      const int h = view.m_nZoom * CRecorder::SCREEN_COLUMNS / 2;
      SetRange(0, FirstCount() - 2 * h - 1);
      SetValue(m_nValue + m_nOffset - h);
      if (view.m_nPosition < h) m_pRecorder->SetPosition(h);
      m_nOffset = h;
      break;
    }
    case kStepNext:
    case kStepBack:
    case kToStart:
    case kToEnd:
    case kPlayTick:
      SetValue(view.m_nPosition - m_nOffset);
      break;
    case kCursorL:
    case kCursorR:
    case kCursorsShown:
      Repaint();
      break;
    default:
      break;
  }
}
