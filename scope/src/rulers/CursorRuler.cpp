#include <scope/rulers/CursorRuler.h>

#include "RulerMath.h"

#include <core/ChartHelpers.h>
#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/MemDC.h>
#include <core/NumberFormat.h>
#include <core/Scale.h>

#include <platform/dcscope.h>

#include <algorithm>

using rulers_detail::RulerCursor;
using rulers_detail::SameRect;
using rulers_detail::kCursorDefault;
using rulers_detail::kCursorThumbHorizontal;
using rulers_detail::kCursorThumbVertical;

// ------------------------------------------------------------------------------------------------
// CVisualDrawHotArrow

void CVisualDrawHotArrow::Draw(CDC* dc, CVisualItemThumb* thumb) {
  CBrush* fill = thumb->state == 2 && m_pHotBrush && m_pHotBrush->GetSafeHandle() ? m_pHotBrush : thumb->brush;
  kvp::DcSelect brush(dc, fill);
  const RECT& r = thumb->rect;
  DrawThumbShape(m_nShape, r.left, r.top, r.right, r.bottom, dc);
}

// ------------------------------------------------------------------------------------------------
// COscCursorRuler

COscCursorRuler::COscCursorRuler()
    : m_hCursorVertical(RulerCursor(kCursorThumbVertical)),
      m_hCursorHorizontal(RulerCursor(kCursorThumbHorizontal)),
      m_hCursorDefault(RulerCursor(kCursorDefault)) {}

COscCursorRuler::~COscCursorRuler() {
  if (GetSafeHwnd() && ::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
}

BOOL COscCursorRuler::Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  rulers_detail::RegisterRulerClass(kClassName);
  return CWnd::Create(kClassName, name, style, rect, parent, id);
}

int COscCursorRuler::AddCursor(CursorRecord* record, int kind) {
  auto* item = new CursorData;
  const int index = m_Items.Add(item);  // deletes the item when it cannot be stored
  if (index < 0) return -1;
  item->m_pRecord = record;
  item->m_nKind = kind;
  item->m_brNormal.CreateSolidBrush(record->m_crColor);
  item->m_brHot.CreateSolidBrush(AdjustColor(record->m_crColor, 40));
  item->brush = &item->m_brNormal;
  item->m_Arrow.m_pHotBrush = &item->m_brHot;
  item->SetState(1);
  item->clbck = this;
  if (m_nOrientation == kVertical) {
    item->m_Arrow.m_nShape = 3;
    item->SetCursor(m_hCursorVertical);
  } else {
    item->m_Arrow.m_nShape = 1;
    item->SetCursor(m_hCursorHorizontal);
  }
  return index;
}

void COscCursorRuler::CreateCursorItems() {
  GlobalProps& props = GetGlobalProps();
  if (m_nOrientation == kVertical) {
    for (int kind = 0; kind <= 6; ++kind) {
      if (kind == 2) continue;  // the trigger level: the chart's own marker
      AddCursor(&props.m_Styles[GlobalProps::STYLE_LEVEL_B + kind], kind);
    }
  } else {
    for (int kind = 0; kind < GlobalProps::CURSOR_STYLE_COUNT; ++kind) AddCursor(&props.m_Styles[kind], kind);
  }
}

void COscCursorRuler::Redraw() {
  if (!GetSafeHwnd()) return;
  CClientDC dc(this);
  CMemDC mem(&dc);
  Paint(&mem);
}

void COscCursorRuler::PlaceItem(CursorData* item) {
  const CursorRecord& record = *item->m_pRecord;
  const int pixel = record.m_pScale ? record.m_pScale->ValueToPixel(record.m_dValue) : 0;  // saturating
  const RECT& c = m_rcClient;
  if (m_nOrientation == kVertical) {
    const int half = (c.right - c.left) / 2;
    const int kind = item->m_nKind;
    int left = c.left, right = c.right;
    if (kind == 0 || kind == 4 || kind == 6) {
      right = c.right - half - 1;
    } else if (kind == 1 || kind == 3 || kind == 5) {
      left = c.left + half + 1;
    }
    item->SetRect(left, pixel - kHalfHeight, right, pixel + kHalfHeight);
  } else {
    const int h2 = (c.bottom - c.top) / 2;
    item->SetRect(pixel - h2, c.top, pixel + h2, c.bottom);
  }
}

void COscCursorRuler::Paint(CDC* dc) {
  RECT client;
  GetClientRect(&client);
  if (!SameRect(client, m_rcClient)) m_rcClient = client;
  if (!m_brBackground.GetSafeHandle()) m_brBackground.CreateSolidBrush(GetSchemeColor(12));
  dc->FillRect(&m_rcClient, &m_brBackground);

  CreateFontOnce(m_fontLabel, "Arial", -12, GetGlobalProps().GetCharSet(), FALSE, FALSE, FALSE, 0);
  kvp::DcSelect pen(dc->m_hDC, GetStockObject(BLACK_PEN));
  for (int i = 0; i < m_Items.GetSize(); ++i) {
    CursorData* item = m_Items[i];
    CursorRecord& record = *item->m_pRecord;
    if (!record.m_pScale || !IsValueInScaleRange(*record.m_pScale, record.m_dValue) || !record.IsShown()) {
      item->SetRect(0, 0, 0, 0);  // not placed: not grabbable either
      continue;
    }
    PlaceItem(item);
    item->Draw(dc);
    kvp::DcSelect font(dc, &m_fontLabel);
    kvp::DcText text(dc, RGB(0, 0, 0), TRANSPARENT);
    RECT label = item->rect;
    const int height = label.bottom - label.top;
    label.top -= height;
    label.bottom -= height;
    dc->DrawText(record.m_strName, &label, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
  }
}

BOOL COscCursorRuler::MoveCursorTo(CursorData* item, int pixel, BOOL apply) {
  CursorRecord& record = *item->m_pRecord;
  if (!record.m_pScale) return FALSE;
  const double value = record.m_pScale->PixelToValue(pixel);
  if (value == record.m_dValue) return FALSE;
  if (!IsValueInScaleRange(*record.m_pScale, value)) return FALSE;
  if (apply) record.m_dValue = value;
  return TRUE;
}

int COscCursorRuler::HitTest(POINT point) {
  for (int i = 0; i < m_Items.GetSize(); ++i) {
    CursorData* item = m_Items[i];
    if (item->m_pRecord->IsShown() && PointInItemRect(item->rect, point)) return i;
  }
  return -1;
}

void COscCursorRuler::OnSystemNotify(notify::Sender sender, notify::Code code, int) {
  using namespace notify;
  if (sender == kSenderId) return;
  switch (code) {
    case kTriggerLevelChanged:
    case kChannelRangeA:
    case kChannelRangeB:
    case kChannelPositionA:
    case kChannelPositionB:
    case kChannelOnOffA:
    case kChannelOnOffB:
    case kChannelShown:
    case kRedrawAll:
    case kSavedScopeOpened:
    case kSavedScopesCleared: Redraw(); break;
    default: break;
  }
}

void COscCursorRuler::OnClick(POINT*, CVisualItemThumb*) {}
void COscCursorRuler::OnDragEnd(POINT*, POINT*, CVisualItemThumb*) {}

void COscCursorRuler::OnDrag(POINT* from, POINT* to, CVisualItemThumb* thumb) {
  if (m_nState != 1 || m_Items.GetAt(m_nHot) != thumb) return;
  OnThumbMoved(from, to);
}

void COscCursorRuler::OnThumbMoved(POINT* from, POINT* to) {
  CursorData* item = m_Items.GetAt(m_nHot);
  if (!item) return;
  CursorRecord& record = *item->m_pRecord;
  POINT a = *from, b = *to;
  ClientToScreen(&a);
  ClientToScreen(&b);
  const bool vertical = m_nOrientation == kVertical;
  if (record.DragMode() == 0) {
    const RECT& r = m_rcPressed;
    int pixel = vertical ? (r.top + r.bottom) / 2 + (b.y - a.y) : (r.left + r.right) / 2 + (b.x - a.x);
    const int low = vertical ? m_rcClient.top : m_rcClient.left;
    const int high = (vertical ? m_rcClient.bottom : m_rcClient.right) - 1;
    pixel = std::clamp(pixel, low, std::max(low, high));
    if (pixel != m_nLastDrag) {
      if (MoveCursorTo(item, pixel, TRUE)) {
        Redraw();
        if (m_pClbck) m_pClbck->OnCursorChanged(&record, this);
      }
      m_nLastDrag = pixel;
    }
  } else if (vertical && record.m_pScale) {
    const int d = m_ptPrevious.y - m_ptCurrent.y;
    const double before = record.m_pScale->PixelToValue(m_ptPrevious.y);
    const double now = record.m_pScale->PixelToValue(m_ptCurrent.y);
    if (d != 0 && before != now) {
      record.m_dValue2 = now;
      if (m_pClbck) m_pClbck->OnCursorChanged(&record, this);
    }
    m_nLastDrag = d;
  }
  m_ptPrevious = m_ptCurrent;
}

void COscCursorRuler::DrawItemNow(int index) {
  CursorData* item = m_Items.GetAt(index);
  if (!item) return;
  item->SetState(m_nState);
  Redraw();
}

void COscCursorRuler::TakeCapture() {
  if (::GetCapture() != GetSafeHwnd()) SetCapture();
}

void COscCursorRuler::LetCaptureGo() {
  if (::GetCapture() == GetSafeHwnd()) ::ReleaseCapture();
}

void COscCursorRuler::EndPress() {
  m_bDraggable = FALSE;
  LetCaptureGo();
  m_nState = 0;
  DrawItemNow(m_nHot);
  m_nHot = -1;
}

BOOL COscCursorRuler::OnEraseBkgnd(CDC*) { return TRUE; }

void COscCursorRuler::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  Paint(&mem);
}

void COscCursorRuler::OnLButtonDown(UINT, CPoint point) {
  const int hit = HitTest(point);
  if (hit < 0) return;
  if (m_nHot >= 0 && m_nHot != hit) m_Items[m_nHot]->SetState(0);
  m_nState = 1;
  m_nHot = hit;
  m_ptPress = point;
  m_ptCurrent = point;
  m_ptPrevious = point;
  m_rcPressed = m_Items[hit]->rect;
  m_bDraggable = m_Items[hit]->IsDraggable();
  m_nLastDrag = -1;
  TakeCapture();
  DrawItemNow(hit);
}

void COscCursorRuler::OnMouseMove(UINT, CPoint point) {
  if (m_nState == 1) {
    m_ptCurrent = point;
    if (m_bDraggable) {
      if (CursorData* item = m_Items.GetAt(m_nHot)) item->OnDrag(&m_ptPress, &m_ptCurrent);
    }
    return;
  }
  const int hit = HitTest(point);
  if (m_nState == 2 && hit != m_nHot) {
    LetCaptureGo();
    m_nState = 0;
    DrawItemNow(m_nHot);
    m_nHot = -1;
  }
  if (hit < 0) return;
  CursorData* item = m_Items[hit];
  ::SetCursor(item->GetCursor() ? item->GetCursor() : m_hCursorDefault);
  if (m_nState == 2) return;  // still over the hot thumb
  TakeCapture();
  m_nState = 2;
  m_nHot = hit;
  DrawItemNow(hit);
}

void COscCursorRuler::OnLButtonUp(UINT flags, CPoint point) {
  if (m_nHot < 0) return;
  if (m_nState == 1) {
    CursorData* item = m_Items.GetAt(m_nHot);
    if (item && HitTest(point) == m_nHot) {
      if (m_bDraggable)
        item->OnDragEnd(&m_ptPress, &m_ptCurrent);
      else
        item->OnClick(&m_ptCurrent, 0);
    }
  }
  EndPress();
  OnMouseMove(flags, point);
}

void COscCursorRuler::OnCancelMode() {
  CWnd::OnCancelMode();
  if (m_nHot < 0 && m_nState == 0) return;
  EndPress();
}
