#include <ui/RepeatCtrl.h>

#include "ToolkitWindow.h"

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/MemDC.h>
#include <core/NumberFormat.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <cstdio>

// ------------------------------------------------------------------------------------------------
// Arrow geometry. Every division is an integer division truncating toward zero.

ArrowPair LayoutArrows(const RECT& client, int orientation, bool grouped) {
  const int h = client.bottom - client.top;
  const int w = client.right - client.left;
  int b = static_cast<int>(h / 2.608);
  if (b >= 0 && b % 2 == 0) b += 1;  // an odd depth gives the arrow a middle pixel
  const int c = static_cast<int>(h / 1.48);
  ArrowPair out{};
  if (orientation == 0) {
    const int x0 = client.right - c - 5, x1 = client.right - 5;
    const int m = h / 2 - h / 16;
    out.first = RECT{x0, client.top + m - b, x1, client.top + m};
    const int y = client.top + h / 2 + h / 16;
    out.second = RECT{x0, y, x1, y + b};
  } else if (!grouped) {
    const int bottom = client.bottom - (h - c) / 2;
    out.first = RECT{client.left + 5, bottom - c, client.left + 5 + b, bottom};
    out.second = RECT{client.right - 5 - b, bottom - c, client.right - 5, bottom};
  } else {
    const int d = static_cast<int>(0.9 * h);
    const int cx = client.left + w / 2, cy = client.top + h / 2;
    const int top = cy - d / 2;
    const int rightStart = cx + w / 18;
    const int leftEnd = cx - w / 18;
    out.first = RECT{leftEnd - w / 3, top, leftEnd, top + d};
    out.second = RECT{rightStart, top, rightStart + w / 3, top + d};
  }
  return out;
}

RECT ArrowBox(const RECT& item, int state) {
  RECT r = item;
  if (state == 1) {
    r.left += 1, r.right += 1, r.top += 1, r.bottom += 1;
  }
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  RECT s{r.left + 3, r.top + 3, r.right - 3, r.bottom - 3};
  int width = s.right - s.left, height = s.bottom - s.top;
  if (width > height) {
    if (width % 2 == 0) width -= 1;  // the left edge moves right
    height = width / 2 + 1;
  } else {
    if (height % 2 == 0) height -= 1;  // the top moves down
    width = height / 2 + 1;
  }
  if (width <= 0 || height <= 0) return RECT{cx, cy, cx, cy};
  const int l = cx - width / 2, t = cy - height / 2;
  return RECT{l, t, l + width, t + height};
}

ArrowPolygon ArrowPoints(const RECT& box, int direction) {
  const LONG l = box.left, t = box.top, r = box.right, b = box.bottom;
  switch (direction) {
    case 1: return ArrowPolygon{{{r - 1, t}, {l + (r - l - 1) / 2, b - 1}, {l, t}}};
    case 2: return ArrowPolygon{{{r, t}, {l + 1, t + (b - t - 1) / 2}, {r, b - 1}}};
    case 3: return ArrowPolygon{{{l, t}, {r - 1, t + (b - t - 1) / 2}, {l, b - 1}}};
    default: return ArrowPolygon{{{l, b}, {l + (r - l - 1) / 2, t + 1}, {r - 1, b}}};
  }
}

CString FormatOptionValue(const NumericOptionRecord& record) {
  char format[16];
  std::snprintf(format, sizeof format, "%%.%df", std::clamp(record.decimals, 0, 20));
  char text[512];
  std::snprintf(text, sizeof text, format, record.value);
  return CString(text);
}

// ------------------------------------------------------------------------------------------------
// CVisualItemBtn

void CVisualItemBtn::Draw(CDC* dc) {
  if (painter) {
    painter->Draw(dc, this, &brushes, this);
    return;
  }
  RECT r = rect;
  if (look == 0 || look == 1) {
    if (brushes.brush) dc->FillRect(&r, brushes.brush);
    RECT line = r;
    if (look == 0) {
      const LONG cx = (r.left + r.right) / 2;
      line.left = cx - 1, line.right = cx + 1;
      dc->DrawEdge(&line, EDGE_RAISED, BF_LEFT | BF_RIGHT);
    } else {
      const LONG cy = (r.top + r.bottom) / 2;
      line.top = cy - 1, line.bottom = cy + 1;
      dc->DrawEdge(&line, EDGE_RAISED, BF_TOP | BF_BOTTOM);
    }
    return;
  }
  CBrush* fill = state == 1 ? brushes.pressedBrush : brushes.brush;
  if (fill) dc->FillRect(&r, fill);
  if (state == 2) dc->DrawEdge(&r, EDGE_RAISED, BF_RECT);
  if (state == 1) dc->DrawEdge(&r, EDGE_SUNKEN, BF_RECT);
  if (imageList && imageList->GetSafeHandle()) {
    const int shown = state == 2 && hotImage >= 0 ? hotImage : image;
    if (shown >= 0) {
      const int offset = state == 1 ? 3 : 2;
      imageList->Draw(dc, shown, POINT{rect.left + offset, rect.top + offset}, ILD_TRANSPARENT);
    }
  }
}

void CVisualItemBtn::OnClick(POINT* point, int repeat) {
  if (clbck) clbck->OnItemClick(point, repeat, this);
}

void CVisualDrawArrow::Draw(CDC* dc, CVisualItem* data, CVisualItemBtn::Brushes* brushes, CVisualItemBtn*) {
  RECT r = data->rect;
  if (data->state == 2) dc->DrawEdge(&r, EDGE_RAISED, BF_RECT);
  if (data->state == 1) {
    RECT moved{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
    dc->DrawEdge(&moved, EDGE_SUNKEN, BF_RECT);
  }
  const RECT box = ArrowBox(data->rect, data->state);
  if (box.right <= box.left || box.bottom <= box.top) return;
  CBrush* fill = brushes->brush;
  if (data->state != 0 && brushes->pressedBrush && brushes->pressedBrush->GetSafeHandle()) fill = brushes->pressedBrush;
  kvp::DcSelect select(dc, fill && fill->GetSafeHandle() ? fill : nullptr);
  const ArrowPolygon poly = ArrowPoints(box, direction < 0 ? 0 : direction);
  dc->Polygon(poly.p, 3);
}

// ------------------------------------------------------------------------------------------------
// CRepeatCtrl

CRepeatCtrl::CRepeatCtrl()
    : item{&items[0], &items[1]},
      face(GetSchemeColor(14)),
      back(GetSchemeColor(6)),
      arrow(GetSchemeColor(19)),
      hoverCursor(ui_detail::ToolkitCursor(ui_detail::kCursorHover)) {
  ui_detail::EnsureToolkitClass(kClassName, CS_HREDRAW | CS_VREDRAW);
  items[0].clbck = this;
  items[1].clbck = this;
  SetArrowLayout();
}

CRepeatCtrl::~CRepeatCtrl() = default;

BOOL CRepeatCtrl::Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(kClassName, text, style, rect, parent, id);
}

void CRepeatCtrl::InitOptionFromRecord(const NumericOptionRecord* source) { CopyOptionRecord(&record, source); }

void CRepeatCtrl::Redraw() { RedrawNow(this); }

void CRepeatCtrl::Enable(BOOL enable, BOOL redraw) {
  record.enabled = enable ? 1 : 0;
  if (!enable && state != 0) Stop();
  if (GetSafeHwnd()) EnableWindow(enable);
  if (redraw) Redraw();
}

void CRepeatCtrl::SetArrowLayout() {
  painters[0].direction = orientation == 0 ? 0 : 2;
  painters[1].direction = orientation == 0 ? 1 : 3;
  for (int i = 0; i < 2; ++i) {
    items[i].painter = &painters[i];
    items[i].brushes = CVisualItemBtn::Brushes{&arrowBrush, &arrowHotBrush};
  }
  rcClient.SetRectEmpty();  // the next paint lays the arrows out again
}

void CRepeatCtrl::PaintNow(CDC* dc) {
  const bool flat = (flags & kFlat) != 0;
  if (!faceBrush.GetSafeHandle()) faceBrush.CreateSolidBrush(face);
  if (!arrowHotBrush.GetSafeHandle()) arrowHotBrush.CreateSolidBrush(AdjustColor(arrow, 40));
  if (!arrowBrush.GetSafeHandle()) arrowBrush.CreateSolidBrush(arrow);
  if (!outlinePen.GetSafeHandle()) outlinePen.CreatePen(PS_SOLID, 1, AdjustColor(face, flat ? -70 : -40));
  if (!flat) {
    if (!shadowBrush.GetSafeHandle()) shadowBrush.CreateSolidBrush(RGB(80, 80, 80));
    if (!shadowPen.GetSafeHandle()) shadowPen.CreatePen(PS_SOLID, 1, RGB(80, 80, 80));
  }
  CRect rc;
  GetClientRect(&rc);
  if (!ui_detail::SameRect(rc, rcClient)) {
    rcClient = rc;
    const ArrowPair arrows = LayoutArrows(rc, orientation, orientation == 1 && (flags & kGrouped));
    items[0].SetRect(&arrows.first);
    items[1].SetRect(&arrows.second);
  }
  dc->FillSolidRect(&rcClient, back);
  kvp::DcSelect pen(dc, &outlinePen);
  kvp::DcSelect brush(dc, &faceBrush);
  if (!flat) {
    dc->SelectObject(&shadowPen);
    dc->SelectObject(&shadowBrush);
    dc->RoundRect(rcClient.left + 2, rcClient.top + 2, rcClient.right + 2, rcClient.bottom + 2, 16, 16);
    dc->SelectObject(&outlinePen);
    dc->SelectObject(&faceBrush);
  }
  dc->RoundRect(rcClient.left, rcClient.top, rcClient.right, rcClient.bottom, 16, 16);
  if (drawClbck) {
    drawClbck->Draw(dc, &rcClient, &record, this);
  } else {
    const CString text = FormatOptionValue(record);
    CreateFontOnce(valueFont, "Arial", -15, GetGlobalProps().GetCharSet(), TRUE, FALSE, FALSE, 0);
    kvp::DcSelect font(dc, &valueFont);
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    CRect textRect = rcClient;
    textRect.right -= 10;
    dc->DrawText(text, &textRect, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    dc->SetBkMode(oldMode);
  }
  if (record.enabled) {
    items[0].Draw(dc);
    items[1].Draw(dc);
  }
}

int CRepeatCtrl::HitArrow(POINT p) const {
  if (!record.enabled) return -1;  // no arrows are shown
  for (int i = 0; i < 2; ++i) {
    if (PointInItemRect(items[i].rect, p)) return i;
  }
  return -1;
}

void CRepeatCtrl::OnItemClick(POINT*, BOOL, CVisualItemBtn* clicked) {
  if (active < 0 || clicked != &items[active]) return;
  repeatCount += 1;
  const double amount = record.accelAfter > 0 && repeatCount > record.accelAfter ? record.bigStep : record.step;
  const bool up = orientation == 0 ? active == 0 : active == 1;
  const BOOL changed = up ? StepValueUp(&record, amount) : StepValueDown(&record, amount);
  if (!changed) return;
  Redraw();
  ReportValue();
}

void CRepeatCtrl::ReportValue() {
  if (scrollClbck) scrollClbck->OnValueChanged(&record, this);
}

BOOL CRepeatCtrl::OnEraseBkgnd(CDC*) { return TRUE; }

void CRepeatCtrl::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  PaintNow(&mem);
}

void CRepeatCtrl::OnLButtonDown(UINT, CPoint point) {
  const int hit = HitArrow(point);
  if (hit < 0) return;
  if (::GetCapture() != GetSafeHwnd()) SetCapture();
  if (active >= 0 && active != hit) items[active].SetState(0);
  state = 1;
  active = hit;
  pressPoint = point;
  lastPoint = point;
  items[hit].SetState(1);
  Redraw();
  repeatCount = 0;
  pressedRect = items[hit].rect;
  ClientToScreen(&pressedRect);
  if (autoRepeat) {
    firstDelay = 500;
    repeatPeriod = 200;
    SetTimer(kTimerFirst, firstDelay);
  }
}

void CRepeatCtrl::OnTimer(UINT_PTR id) {
  if (id == kTimerFirst) {
    KillTimer(kTimerFirst);
    SetTimer(kTimerRepeat, repeatPeriod);
  } else if (id == kTimerRepeat) {
    if (state == 2 || active < 0) return;
    if (HitArrow(lastPoint) == active) items[active].OnClick(&lastPoint, TRUE);
  } else {
    CWnd::OnTimer(id);
  }
}

void CRepeatCtrl::HoverMove(POINT p) {
  const int hit = HitArrow(p);
  if (state == 2 && hit != active) {
    if (::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
    if (active >= 0) items[active].SetState(0);
    state = 0;
    active = -1;
    Redraw();
  }
  if (hit >= 0 && state == 0) {
    ::SetCursor(items[hit].cursor ? items[hit].cursor : hoverCursor);
    SetCapture();
    state = 2;
    active = hit;
    items[hit].SetState(2);
    Redraw();
  }
}

void CRepeatCtrl::OnMouseMove(UINT, CPoint point) {
  lastPoint = point;
  if (state == 1) {
    if (dragMode && active >= 0) items[active].OnDrag(&pressPoint, &lastPoint);
    return;
  }
  HoverMove(point);
}

void CRepeatCtrl::Stop() {
  KillTimer(kTimerFirst);
  KillTimer(kTimerRepeat);
  if (::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
  state = 0;
  if (active >= 0) items[active].SetState(0);
  active = -1;
  repeatCount = 0;
  Redraw();
}

void CRepeatCtrl::OnLButtonUp(UINT, CPoint point) {
  lastPoint = point;
  if (state == 1 && active >= 0 && HitArrow(point) == active) {
    if (dragMode)
      items[active].OnDragEnd(&pressPoint, &lastPoint);
    else
      items[active].OnClick(&lastPoint, FALSE);
  }
  Stop();
  HoverMove(point);
}

void CRepeatCtrl::OnCancelMode() {
  CWnd::OnCancelMode();
  Stop();
}

void CRepeatCtrl::OnCaptureChanged(CWnd* newCapture) { CWnd::OnCaptureChanged(newCapture); }
