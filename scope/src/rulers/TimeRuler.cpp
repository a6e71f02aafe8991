#include <scope/rulers/TimeRuler.h>

#include "RulerMath.h"

#include <core/ChartHelpers.h>
#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/MemDC.h>
#include <core/Notify.h>
#include <core/NumberFormat.h>
#include <core/OscScale.h>
#include <core/ResourceHolder.h>
#include <core/Scale.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <cmath>

using rulers_detail::PixelOf;

// ------------------------------------------------------------------------------------------------
// CHICCursors

CHICCursors::CHICCursors(CWnd* host) : CHotItemsContainer(host), m_pProps(&GetGlobalProps()) {
  flags = kHorizontal;
}

void CHICCursors::RecalcRange() {
  m_dPercentLeft = 0.0;
  m_dPercentRight = 100.0;
  m_dPixelLeft = bounds.left;
  m_dPixelRight = bounds.right;
  m_dPercentPerPixel = bounds.right == bounds.left ? 1.0 : 100.0 / (bounds.right - bounds.left);
}

void CHICCursors::CreateCursors() {
  RemoveAll();
  const HCURSOR horizontal = rulers_detail::RulerCursor(rulers_detail::kCursorThumbHorizontal);
  for (int i = 0; i < GlobalProps::CURSOR_STYLE_COUNT; ++i) {
    CursorRecord& record = m_pProps->m_Styles[i];
    auto* thumb = new CVICursor;
    thumb->SetRect(-kHalfLeft, 0, kHalfRight, 0);
    thumb->m_crColor = record.m_crColor;
    thumb->m_brNormal.CreateSolidBrush(record.m_crColor);
    thumb->m_brHot.CreateSolidBrush(AdjustColor(record.m_crColor, 100));
    thumb->m_pRecord = &record;
    thumb->SetCursor(horizontal);
    thumb->painter = this;
    thumb->clbck = this;
    thumb->anchorX = kHalfLeft;  // the drag reports the thumb's centre line
    thumb->Show(record.IsShown());
    AddItem(thumb);
  }
}

namespace {

// The map of a time record's axis over the whole record: origin .. end onto left .. right.
struct WholeRecordMap {
  double origin;
  double end;
  double perPixel;
};

WholeRecordMap WholeRecordOf(const CScale& axis, const RECT& bounds) {
  const double origin = axis.m_dOrigin, end = axis.m_dEnd;
  const double perPixel = bounds.right == bounds.left ? 1.0 : (end - origin) / (bounds.right - bounds.left);
  return {origin, end, perPixel};
}

}  // namespace

void CHICCursors::LayoutCursors() {
  for (int i = 0; i < GetCount(); ++i) {
    auto* thumb = static_cast<CVICursor*>(GetItem(i));
    const CursorRecord& record = *thumb->m_pRecord;
    if (!record.m_pScale) {
      thumb->Show(FALSE);
      continue;
    }
    const WholeRecordMap map = WholeRecordOf(*record.m_pScale, bounds);
    // A collapsed axis puts the thumb at the left; a value far outside keeps its rectangle inside
    // the int range.
    int x = map.perPixel == 0.0 ? bounds.left
                                : PixelOf(bounds.left + (record.m_dValue - map.origin) / map.perPixel);
    x = std::clamp(x, rulers_detail::kFarPixel * -1, rulers_detail::kFarPixel);
    thumb->SetRect(x - kHalfLeft, bounds.top + 1, x + kHalfRight, bounds.top + 11);
    thumb->Show(record.IsShown());
  }
}

void CHICCursors::Draw(CDC* dc, CVisualItemThumb* item) {
  auto* thumb = static_cast<CVICursor*>(item);
  if (!thumb->IsVisible()) return;
  CreateFontOnce(m_fontLabel, "Arial", -9, m_pProps->GetCharSet(), TRUE, FALSE, FALSE, 0);
  kvp::DcSelect font(dc, &m_fontLabel);
  kvp::DcText text(dc, thumb->m_crColor, TRANSPARENT);
  kvp::DcSelect brush(dc, thumb->state != 0 ? &thumb->m_brHot : &thumb->m_brNormal);
  kvp::DcSelect pen(dc->m_hDC, GetStockObject(BLACK_PEN));
  const RECT& r = thumb->rect;
  DrawThumbShape(1, r.left, r.top, r.right, r.bottom, dc);
  RECT label{r.left - 13, r.bottom + 2, r.right + 14, r.bottom + 12};
  dc->DrawText(thumb->m_pRecord->m_strName, &label, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
}

void CHICCursors::MoveCursor(CVisualItemThumb* item, int x) {
  auto* thumb = static_cast<CVICursor*>(item);
  CursorRecord& record = *thumb->m_pRecord;
  switch (record.Kind()) {
    case GlobalProps::STYLE_CURSOR_LEFT:
    case GlobalProps::STYLE_CURSOR_RIGHT: MoveTimeCursor(record, x); break;
    case GlobalProps::STYLE_TRIGGER_POSITION: MoveTriggerPosition(record, x); break;
    default: break;
  }
}

void CHICCursors::MoveTimeCursor(CursorRecord& record, int x) {
  if (!record.m_pScale) return;
  const WholeRecordMap map = WholeRecordOf(*record.m_pScale, bounds);
  double time = map.origin + (x - bounds.left) * map.perPixel;
  time = std::clamp(time, std::min(map.origin, map.end), std::max(map.origin, map.end));
  const COscScale& scale = GetOscScale();
  const double step = scale.CursorStepOf(time);
  if (!std::isfinite(step) || step == scale.CursorStepOf(record.m_dValue)) return;  // the same cell
  time = scale.CursorTimeOf(step);
  if (record.Kind() == GlobalProps::STYLE_CURSOR_LEFT) {
    const double right = m_pProps->m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_dValue;
    if (time > right) time = right;  // never past the right cursor
    if (time == record.m_dValue) return;
    record.m_dValue = time;
    Notify(notify::kCursorLeftMoved, record);
  } else {
    if (time < m_pProps->m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue) return;  // never before the left one
    record.m_dValue = time;
    Notify(notify::kCursorRightMoved, record);
  }
}

void CHICCursors::MoveTriggerPosition(CursorRecord& record, int x) {
  int percent = PixelOf((x - m_dPixelLeft) * m_dPercentPerPixel + m_dPercentLeft);
  const double current = m_pProps->m_dTriggerPosition;
  if (percent > 90) {
    if (current >= 90.0) return;
    percent = 90;
  }
  if (percent == current) return;
  m_pProps->SetTriggerPosition(percent);
  Notify(notify::kTriggerPositionChanged, record);
}

void CHICCursors::Notify(notify::Code code, const CursorRecord& record) {
  // The record travels as its index in the settings' cursor table.
  NotifySystem(notify::kFromAnyone, code, record.Kind());
}

// ------------------------------------------------------------------------------------------------
// COscTimeRuler

COscTimeRuler::COscTimeRuler()
    : m_crBackground(GetSchemeColor(21)),
      m_crAxis(GetSchemeColor(20)),
      m_crThumb(GetSchemeColor(22)),
      m_crThumbHot(GetSchemeColor(23)),
      m_hCursorDefault(rulers_detail::RulerCursor(rulers_detail::kCursorDefault)),
      m_Cursors(this) {
  flags = kSnapBack;
  m_Thumb.SetState(1);
  m_Thumb.brush = &m_brThumb;
  m_Thumb.pressedBrush = &m_brThumbHot;
  m_Thumb.clbck = this;
  m_Cursors.hostClbck = this;
}

COscTimeRuler::~COscTimeRuler() {
  if (GetSafeHwnd() && ::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
}

BOOL COscTimeRuler::Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  rulers_detail::RegisterRulerClass(kClassName);
  return CWnd::Create(kClassName, name, style, rect, parent, id);
}

void COscTimeRuler::Layout() {
  TimeRulerParams& p = m_Params;
  p.m_dPixelFirst = m_rcDraw.left;
  p.m_dPixelLast = m_rcDraw.right;
  p.m_dValuePerPixel =
      m_rcDraw.right == m_rcDraw.left ? 1.0 : (p.m_dValueLast - p.m_dValueFirst) / (m_rcDraw.right - m_rcDraw.left);
  m_rcExtended = m_rcDraw;
  if (GetSafeHwnd()) ClientToScreen(&m_rcExtended);
  m_rcExtended = rulers_detail::Inflated(m_rcExtended, kExtendBy, kExtendBy);
  m_Cursors.bounds = m_rcDraw;
  m_Cursors.RecalcRange();
  m_Cursors.LayoutCursors();
  PlaceWindowThumb();
}

void COscTimeRuler::PlaceWindowThumb() {
  const TimeRulerParams& p = m_Params;
  int x = static_cast<int>(p.m_dPixelFirst), width = 0;
  if (p.m_dValuePerPixel != 0.0) {
    x = PixelOf((p.m_nPosition - p.m_dValueFirst) / p.m_dValuePerPixel + p.m_dPixelFirst);
    width = PixelOf(p.m_nShown / p.m_dValuePerPixel);
  }
  m_Thumb.SetRect(x, m_rcDraw.top, rulers_detail::SaturatedAdd(x, width), m_rcDraw.bottom);
}

void COscTimeRuler::MakeGdiObjects() {
  if (!m_brBackground.GetSafeHandle()) m_brBackground.CreateSolidBrush(m_crBackground);
  if (!m_brThumb.GetSafeHandle()) m_brThumb.CreateSolidBrush(m_crThumb);
  if (!m_brThumbHot.GetSafeHandle()) m_brThumbHot.CreateSolidBrush(m_crThumbHot);
  if (!m_penAxis.GetSafeHandle()) m_penAxis.CreatePen(PS_DASH, 1, m_crAxis);
  if (!m_penBorder.GetSafeHandle()) m_penBorder.CreatePen(PS_SOLID, 2, m_crAxis);
}

void COscTimeRuler::Redraw(BOOL markers) {
  if (!GetSafeHwnd()) return;
  CClientDC dc(this);
  CMemDC mem(&dc);
  Paint(&mem, markers);
}

void COscTimeRuler::Paint(CDC* dc, BOOL markers) {
  MakeGdiObjects();
  RECT client;
  GetClientRect(&client);
  if (!rulers_detail::SameRect(client, m_rcClient)) {
    m_rcClient = client;
    const int width = client.right - client.left;
    m_rcDraw = RECT{client.left + 2, client.top, client.right - (width % 2 == 0 ? 2 : 1), client.bottom};
    Layout();
  }
  dc->FillRect(&m_rcDraw, &m_brBackground);
  {
    kvp::DcBkMode mode(dc, TRANSPARENT);
    kvp::DcSelect pen(dc, &m_penAxis);
    const int y = m_rcDraw.top + (m_rcDraw.bottom - m_rcDraw.top) / 2;
    dc->MoveTo(m_rcDraw.left, y);
    dc->LineTo(m_rcDraw.right, y);

    dc->FillRect(&m_Thumb.rect, m_nState != 0 ? &m_brThumbHot : &m_brThumb);

    pen.Select(&m_penBorder);
    dc->MoveTo(m_rcClient.left + 1, m_rcClient.top);
    dc->LineTo(m_rcClient.left + 1, m_rcClient.bottom);
    dc->MoveTo(m_rcClient.right - 1, m_rcClient.top);
    dc->LineTo(m_rcClient.right - 1, m_rcClient.bottom);
  }

  if (markers) m_Cursors.Draw(dc, FALSE);
}

void COscTimeRuler::OnSystemNotify(notify::Sender sender, notify::Code code, int) {
  using namespace notify;
  if (sender == kSenderId) return;
  switch (code) {
    case kScopeInit:
      m_Cursors.CreateCursors();
      m_Cursors.LayoutCursors();
      Redraw(TRUE);
      break;
    case kTriggerPositionChanged:
    case kCursorLeftMoved:
    case kCursorRightMoved:
    case kCursorsShown:
      m_Cursors.LayoutCursors();
      Redraw(TRUE);
      break;
    case kTimePositionChanged:
      if (GetOscScale().m_nHorizontalOffset != m_Params.m_nPosition) {
        m_Params.m_nPosition = GetOscScale().m_nHorizontalOffset;
        PlaceWindowThumb();
        Redraw(TRUE);
      }
      break;
    case kRedrawAll: Redraw(TRUE); break;
    default: break;
  }
}

void COscTimeRuler::OnClick(POINT*, CVisualItemThumb*) {}
void COscTimeRuler::OnDragEnd(POINT*, POINT*, CVisualItemThumb*) {}

void COscTimeRuler::OnDrag(POINT* from, POINT* to, CVisualItemThumb* thumb) {
  if (thumb == &m_Thumb && m_nState == 1) OnThumbMoved(from, to);
}

void COscTimeRuler::OnThumbMoved(POINT* from, POINT* to) {
  TimeRulerParams& p = m_Params;
  POINT a = *from, b = *to;
  ClientToScreen(&a);
  ClientToScreen(&b);
  int target;
  if (HasOption(kSnapBack) && !rulers_detail::Contains(m_rcExtended, b)) {
    target = m_nPressPosition;  // the pointer left the strip: back to where the drag started
  } else {
    const int width = m_rcPressed.right - m_rcPressed.left;
    int pixel = m_rcPressed.left + (b.x - a.x);
    pixel = std::max(std::min(pixel, static_cast<int>(m_rcDraw.right) - width), static_cast<int>(m_rcDraw.left));
    target = PixelOf((pixel - p.m_dPixelFirst) * p.m_dValuePerPixel + p.m_dValueFirst);
  }
  if (target < p.m_nMinimum || static_cast<long long>(target) + p.m_nShown > p.m_nMaximum || target == p.m_nPosition) {
    return;
  }
  p.m_nPosition = target;
  m_bMoved = TRUE;
  PlaceWindowThumb();
  Redraw(TRUE);
  if (m_pClbck) m_pClbck->OnTimeScroll(&m_Params, this);
}

void COscTimeRuler::DrawBackground(CDC* dc) { Paint(dc, FALSE); }

BOOL COscTimeRuler::OnItemMoving(int, CVisualItemThumb* thumb, ItemMovingData* data, CHotItemsContainer*) {
  m_Cursors.MoveCursor(thumb, data->x);
  return FALSE;  // the notification handlers place the thumb
}

void COscTimeRuler::TakeCapture() {
  if (::GetCapture() != GetSafeHwnd()) SetCapture();
}

void COscTimeRuler::LetCaptureGo() {
  if (::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
}

BOOL COscTimeRuler::OnEraseBkgnd(CDC*) { return TRUE; }

void COscTimeRuler::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  Paint(&mem, TRUE);
}

void COscTimeRuler::OnLButtonDown(UINT, CPoint point) {
  if (m_Cursors.OnLButtonDown(point)) return;
  if (!PointInItemRect(m_Thumb.rect, point)) {
    m_bMoved = FALSE;
    m_nPressPosition = -1;
    return;
  }
  TakeCapture();
  m_ptPress = point;
  m_ptCurrent = point;
  m_rcPressed = m_Thumb.rect;
  m_nPressPosition = m_Params.m_nPosition;
  m_bMoved = FALSE;
  m_nHot = 0;
  m_nState = 1;
  m_bDraggable = m_Thumb.IsDraggable();
  Redraw(TRUE);
}

void COscTimeRuler::OnMouseMove(UINT, CPoint point) {
  if (m_nState != 1 && m_Cursors.OnMouseMove(point)) return;
  if (m_nState == 1) {
    if (m_bMoved) ::SetCursor(m_Thumb.GetCursor() ? m_Thumb.GetCursor() : m_hCursorDefault);
    m_ptCurrent = point;
    if (m_bDraggable) m_Thumb.OnDrag(&m_ptPress, &m_ptCurrent);
    return;
  }
  const bool over = PointInItemRect(m_Thumb.rect, point);
  if (m_nState == 2 && !over) {
    LetCaptureGo();
    m_nState = 0;
    m_nHot = -1;
    Redraw(TRUE);
  } else if (m_nState == 0 && over) {
    TakeCapture();
    m_nState = 2;
    m_nHot = 0;
    Redraw(TRUE);
  }
}

void COscTimeRuler::OnLButtonUp(UINT flags, CPoint point) {
  if (m_nState != 1 && m_Cursors.OnLButtonUp(point)) return;
  if (m_nState != 1) return;
  if (PointInItemRect(m_Thumb.rect, point)) {
    if (m_bDraggable)
      m_Thumb.OnDragEnd(&m_ptPress, &m_ptCurrent);
    else
      m_Thumb.OnClick(&point, 0);
  }
  m_bDraggable = FALSE;
  m_nState = 0;
  m_nHot = -1;
  LetCaptureGo();
  Redraw(TRUE);
  OnMouseMove(flags, point);
}

void COscTimeRuler::OnCancelMode() {
  CWnd::OnCancelMode();
  m_bDraggable = FALSE;
  m_nState = 0;
  m_nHot = -1;
  LetCaptureGo();
  m_Cursors.OnCancelMode();
}
