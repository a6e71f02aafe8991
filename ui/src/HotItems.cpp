#include <ui/HotItems.h>

#include "ToolkitWindow.h"

#include <core/MemDC.h>
#include <core/Scale.h>
#include <core/TraceStyle.h>

#include <algorithm>

bool PointInItemRect(const RECT& r, POINT p) {
  const LONG l = std::min(r.left, r.right), rr = std::max(r.left, r.right);
  const LONG t = std::min(r.top, r.bottom), b = std::max(r.top, r.bottom);
  return p.x >= l && p.x < rr && p.y >= t && p.y < b;
}

// ------------------------------------------------------------------------------------------------
// CVisualItem

CVisualItem::~CVisualItem() = default;
RECT* CVisualItem::GetRect() { return &rect; }
void CVisualItem::SetRect(int left, int top, int right, int bottom) {
  const RECT r{left, top, right, bottom};
  SetRect(&r);
}
void CVisualItem::SetRect(const RECT* r) { rect = *r; }
BOOL CVisualItem::IsVisible() { return (flags & kHidden) == 0; }
void CVisualItem::Show(BOOL show) {
  if (show)
    flags &= ~kHidden;
  else
    flags |= kHidden;
}
int CVisualItem::QueryValue(int, int) { return 0; }
void CVisualItem::OnClick(POINT*, int) {}
HCURSOR CVisualItem::GetCursor() { return cursor; }
void CVisualItem::SetCursor(HCURSOR c) { cursor = c; }
BOOL CVisualItem::IsDraggable() { return FALSE; }
void CVisualItem::OnDrag(POINT*, POINT*) {}
void CVisualItem::OnDragEnd(POINT*, POINT*) {}
void CVisualItem::SetState(int s) { state = s; }
BOOL CVisualItem::HitTest(POINT point) { return PointInItemRect(rect, point); }

// ------------------------------------------------------------------------------------------------
// CVisualItemThumb

void CVisualItemThumb::Draw(CDC* dc) {
  if (painter) {
    painter->Draw(dc, this);
    return;
  }
  CBrush* fill = state == 1 ? pressedBrush : brush;
  if (fill) dc->FillRect(&rect, fill);
  RECT r = rect;
  if (edge == 1) dc->DrawEdge(&r, EDGE_RAISED, BF_RECT);
  if (edge == 2) dc->DrawEdge(&r, EDGE_SUNKEN, BF_RECT);
}

void CVisualItemThumb::OnClick(POINT* point, int) {
  if (clbck) clbck->OnClick(point, this);
}
BOOL CVisualItemThumb::IsDraggable() { return TRUE; }
void CVisualItemThumb::OnDrag(POINT* from, POINT* to) {
  if (clbck) clbck->OnDrag(from, to, this);
}
void CVisualItemThumb::OnDragEnd(POINT* from, POINT* to) {
  if (clbck) clbck->OnDragEnd(from, to, this);
}

// ------------------------------------------------------------------------------------------------
// Side thumbs

RECT SideThumbRect(int side, int a, const RECT& B) {
  switch (side) {
    case CRecordThumb::kBottom: return RECT{a - 6, B.bottom, a + 7, B.bottom - 12};
    case CRecordThumb::kTop: return RECT{a - 6, B.top, a + 7, B.top + 12};
    case CRecordThumb::kRight: return RECT{B.right, a - 6, B.right - 13, a + 6};
    default: return RECT{B.left, a - 6, B.left + 13, a + 6};
  }
}

int RecordPixel(const CTraceStyle& record, const IRecorderViewMap* recorder) {
  if (record.Kind() == 4 || record.Kind() == 5) return recorder ? recorder->CursorPixel(record.m_dValue) : 0;
  return record.m_pScale ? record.m_pScale->ValueToPixel(record.m_dValue) : 0;
}

// ------------------------------------------------------------------------------------------------
// CHotItemsContainer

CHotItemsContainer::CHotItemsContainer(CWnd* hostWnd)
    : host(hostWnd),
      cursorDefault(ui_detail::ToolkitCursor(ui_detail::kCursorDefault)),
      cursorA(ui_detail::ToolkitCursor(ui_detail::kCursorDragA)),
      cursorB(ui_detail::ToolkitCursor(ui_detail::kCursorDragB)) {}

CHotItemsContainer::~CHotItemsContainer() {
  if (host && host->GetSafeHwnd() && ::GetCapture() == host->GetSafeHwnd() && mode != 0) ::ReleaseCapture();
}

void CHotItemsContainer::OnClick(POINT*, CVisualItemThumb*) {}
void CHotItemsContainer::OnDragEnd(POINT*, POINT*, CVisualItemThumb*) {}
void CHotItemsContainer::RecalcRange() {}

int CHotItemsContainer::AddItem(CVisualItemThumb* thumb) {
  if (thumb && !thumb->clbck) thumb->clbck = this;
  return items.Add(thumb);
}

void CHotItemsContainer::TakeCapture() {
  if (host && host->GetSafeHwnd() && ::GetCapture() != host->GetSafeHwnd()) host->SetCapture();
}

void CHotItemsContainer::ReleaseCapture() {
  if (host && host->GetSafeHwnd() && ::GetCapture() == host->GetSafeHwnd()) ::ReleaseCapture();
}

int CHotItemsContainer::HitTest(POINT* point, BOOL all) {
  for (int i = 0; i < items.GetSize(); ++i) {
    CVisualItemThumb* t = items[i];
    if (!all && !t->IsVisible()) continue;
    if (t->HitTest(*point)) return i;
  }
  return -1;
}

BOOL CHotItemsContainer::OnLButtonDown(POINT point) {
  const int hit = HitTest(&point, FALSE);
  if (hit < 0) return FALSE;
  if (active >= 0 && active != hit) items[active]->SetState(0);
  mode = 1;
  active = hit;
  lastPos = -1;
  pressPoint = point;
  currentPoint = point;
  lastMouse = point;
  CVisualItemThumb* t = items[hit];
  pressRect = t->rect;
  pressOffset = POINT{point.x - t->rect.left, point.y - t->rect.top};
  dragging = t->IsDraggable();
  TakeCapture();
  RedrawItem();
  return TRUE;
}

BOOL CHotItemsContainer::OnMouseMove(POINT point) {
  if (mode == 1) {
    if (point.x != lastMouse.x || point.y != lastMouse.y) {
      currentPoint = point;
      lastMouse = point;
      if (dragging) {
        if (CVisualItemThumb* t = items[active]) t->OnDrag(&pressPoint, &currentPoint);
      }
    }
    return TRUE;
  }
  lastMouse = point;
  const int hit = HitTest(&point, FALSE);
  if (mode == 2 && hit != active) {
    ReleaseCapture();
    mode = 0;
    RedrawItem();
    active = -1;
  }
  if (hit < 0) return FALSE;
  CVisualItemThumb* t = items[hit];
  ::SetCursor(t->GetCursor() ? t->GetCursor() : cursorDefault);
  if (mode == 2) return TRUE;  // still over the hot thumb
  TakeCapture();
  mode = 2;
  active = hit;
  RedrawItem();
  return TRUE;
}

void CHotItemsContainer::EndPress() {
  dragging = FALSE;
  ReleaseCapture();
  mode = 0;
  RedrawItem();
  pressOffset = POINT{0, 0};
  active = -1;
  lastPos = -1;
}

BOOL CHotItemsContainer::OnLButtonUp(POINT point) {
  if (active < 0) return FALSE;
  CVisualItemThumb* t = items[active];
  if (mode == 1 && t && t->HitTest(point)) {
    if (dragging)
      t->OnDragEnd(&pressPoint, &currentPoint);
    else
      t->OnClick(&point, 0);
  }
  EndPress();
  return TRUE;
}

BOOL CHotItemsContainer::OnCancelMode() {
  if (active < 0 && mode == 0) return FALSE;
  EndPress();
  return TRUE;
}

void CHotItemsContainer::OnDrag(POINT* from, POINT* to, CVisualItemThumb* thumb) {
  if (active < 0 || items[active] != thumb || !host || !host->GetSafeHwnd()) return;
  POINT o = *from, n = *to;
  host->ClientToScreen(&o);
  host->ClientToScreen(&n);
  bool horizontal;
  if (flags & kHorizontal)
    horizontal = true;
  else if (flags & kVertical)
    horizontal = false;
  else if ((flags & kPerItemAxis) && (thumb->axis == 1 || thumb->axis == 2))
    horizontal = thumb->axis == 1;
  else
    return;
  const RECT& R = pressRect;
  ItemMovingData moving{};
  int p;
  if (horizontal) {
    p = R.left + (n.x - o.x) + thumb->anchorX;
    p = std::max(p, static_cast<int>(bounds.left));
    p = std::min(p, static_cast<int>(bounds.right));
    if (p == lastPos) return;
    const int dx = p - thumb->anchorX - R.left;
    moving = ItemMovingData{p, thumb->anchorY, RECT{R.left + dx, R.top, R.right + dx, R.bottom}};
  } else {
    p = R.top + (n.y - o.y) + thumb->anchorY;
    p = std::max(p, static_cast<int>(bounds.top));
    p = std::min(p, static_cast<int>(bounds.bottom));
    if (p == lastPos) return;
    const int dy = p - thumb->anchorY - R.top;
    moving = ItemMovingData{thumb->anchorX, p, RECT{R.left, R.top + dy, R.right, R.bottom + dy}};
  }
  if (!hostClbck || hostClbck->OnItemMoving(active, thumb, &moving, this)) {
    thumb->SetRect(&moving.rect);
    Redraw(TRUE);
  }
  lastPos = p;
}

void CHotItemsContainer::Draw(CDC* dc, BOOL background) {
  if (background && hostClbck) hostClbck->DrawBackground(dc);
  for (int i = 0; i < items.GetSize(); ++i) {
    if (items[i]->IsVisible()) items[i]->Draw(dc);
  }
}

void CHotItemsContainer::Redraw(BOOL background) {
  if (!host || !host->GetSafeHwnd()) return;
  CClientDC dc(host);
  CMemDC mem(&dc);
  Draw(&mem, background);
}

void CHotItemsContainer::RedrawItem() {
  CVisualItemThumb* t = items[active];
  if (!t) return;
  t->SetState(mode);
  if (!host || !host->GetSafeHwnd() || !t->IsVisible()) return;
  CClientDC dc(host);
  t->Draw(&dc);
}

void CHotItemsContainer::RemoveAll() {
  if (active >= 0) OnCancelMode();
  items.RemoveAll();
}

void CHotItemsContainer::ApplyItemState() {
  for (int i = 0; i < items.GetSize(); ++i) {
    auto* t = dynamic_cast<CRecordThumb*>(items[i]);
    if (t && t->record) t->Show(t->record->m_nFlags & 1);
  }
}

void CHotItemsContainer::RemoveExtraItems() {
  if (active >= 2) OnCancelMode();
  items.RemoveFrom(2);
}

void CHotItemsContainer::PlaceThumbs(const IRecorderViewMap* recorder) {
  for (int i = 0; i < items.GetSize(); ++i) {
    auto* t = dynamic_cast<CRecordThumb*>(items[i]);
    if (!t || !t->record) continue;
    const RECT r = SideThumbRect(t->side, RecordPixel(*t->record, recorder), bounds);
    t->SetRect(&r);
    t->Show(t->record->m_nFlags & 1);
  }
}
