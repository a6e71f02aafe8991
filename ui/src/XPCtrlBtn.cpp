#include <ui/XPCtrlBtn.h>

#include "ToolkitWindow.h"

#include <core/ColorScheme.h>
#include <core/MemDC.h>
#include <core/NumberFormat.h>
#include <platform/dcscope.h>

using ui_detail::PressMachine;

namespace {

constexpr COLORREF kUnsetColour = 0x10000;

}  // namespace

// ------------------------------------------------------------------------------------------------
// CXPCtrlBtn

CXPCtrlBtn::CXPCtrlBtn()
    : face(GetSchemeColor(14)), hotFace(AdjustColor(face, 40)), back(GetSchemeColor(6)), frame(RGB(80, 80, 80)) {
  data.cursor = ui_detail::ToolkitCursor(ui_detail::kCursorHover);
  ui_detail::EnsureToolkitClass(kClassName, CS_HREDRAW | CS_VREDRAW);
}

CXPCtrlBtn::~CXPCtrlBtn() = default;

void CXPCtrlBtn::SetColors(COLORREF newFace, COLORREF newHotFace, COLORREF newBack, COLORREF newFrame) {
  face = newFace;
  hotFace = newHotFace == kUnsetColour ? AdjustColor(newFace, 30) : newHotFace;
  back = newBack;
  frame = newFrame;
  RebuildGdi();
}

void CXPCtrlBtn::RebuildGdi() {
  faceBrush.DeleteObject();
  hotFaceBrush.DeleteObject();
  backBrush.DeleteObject();
  frameBrush.DeleteObject();
  framePen.DeleteObject();
  outlinePen.DeleteObject();
  faceBrush.CreateSolidBrush(face);
  hotFaceBrush.CreateSolidBrush(hotFace);
  backBrush.CreateSolidBrush(back);
  frameBrush.CreateSolidBrush(frame);
  framePen.CreatePen(PS_SOLID, 1, frame);
  outlinePen.CreatePen(PS_SOLID, 1, AdjustColor(face, -40));
}

BOOL CXPCtrlBtn::Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  data.id = static_cast<int>(id);
  return CWnd::Create(kClassName, text, style, rect, parent, id);
}

void CXPCtrlBtn::PaintNow(CDC* dc) {
  if (data.rebuild || !faceBrush.GetSafeHandle()) RebuildGdi();
  CRect rc;
  GetClientRect(&rc);
  if (!ui_detail::SameRect(rc, rcClient)) rcClient = rc;
  dc->FillRect(&rc, &backBrush);
  CRect content = rc;
  if (flags & kFlat) {
    dc->FillRect(&rc, &faceBrush);
    if (!(flags & kFlatNoEdge)) dc->DrawEdge(&rc, EDGE_SUNKEN, BF_RECT);
  } else if (flags & kFlatHot) {
    dc->FillRect(&rc, data.state == 0 ? &faceBrush : &hotFaceBrush);
  } else {
    CRect r = rc;
    r.DeflateRect(2, 2);
    kvp::DcSelect pen(dc, &framePen);
    kvp::DcSelect brush(dc, &frameBrush);
    dc->RoundRect(r.left + 2, r.top + 2, r.right + 2, r.bottom + 2, 16, 16);
    dc->SelectObject(&outlinePen);
    dc->SelectObject(data.state == 0 ? &faceBrush : &hotFaceBrush);
    if (data.state == 1) r.OffsetRect(2, 2);
    dc->RoundRect(r.left, r.top, r.right, r.bottom, 16, 16);
    content = r;
    content.DeflateRect(4, 4);
  }
  if (drawClbck) drawClbck->Draw(dc, &content, &data, this);
}

BOOL CXPCtrlBtn::OnEraseBkgnd(CDC*) { return TRUE; }

void CXPCtrlBtn::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  PaintNow(&mem);
}

void CXPCtrlBtn::OnLButtonDown(UINT, CPoint) {
  PressMachine{data.captured, data.state}.Down(this);
  Redraw();
}

void CXPCtrlBtn::OnMouseMove(UINT, CPoint point) {
  if (PressMachine{data.captured, data.state}.Move(this, rcClient, point)) Redraw();
}

void CXPCtrlBtn::OnLButtonUp(UINT, CPoint point) {
  const BOOL click = PressMachine{data.captured, data.state}.Up(this, rcClient, point);
  Redraw();
  if (!click) return;
  data.value += 1;
  if (data.value > data.max) data.value = data.min;
  if (btnClbck) btnClbck->OnClick(&data, this);
  Redraw();
}

void CXPCtrlBtn::OnCancelMode() {
  CWnd::OnCancelMode();
  PressMachine{data.captured, data.state}.Cancel(this);
  Redraw();
}

BOOL CXPCtrlBtn::OnSetCursor(CWnd*, UINT, UINT) {
  ::SetCursor(data.cursor);
  return TRUE;
}

// ------------------------------------------------------------------------------------------------
// CXPCheckBtn

CXPCheckBtn::CXPCheckBtn() : cursor(ui_detail::ToolkitCursor(ui_detail::kCursorCheck)), back(GetSchemeColor(6)) {
  ui_detail::EnsureToolkitClass(kClassName, CS_HREDRAW | CS_VREDRAW);
}

CXPCheckBtn::~CXPCheckBtn() = default;

BOOL CXPCheckBtn::Create(const RECT& rect, CWnd* parent, UINT newId) {
  id = static_cast<int>(newId);
  return CWnd::Create(kClassName, "MyCheckBox", WS_CHILD | WS_VISIBLE, rect, parent, newId);
}

void CXPCheckBtn::PaintNow(CDC* dc) {
  CRect rc;
  GetClientRect(&rc);
  if (!ui_detail::SameRect(rc, rcClient)) rcClient = rc;
  dc->FillSolidRect(&rc, back);
  CPen pen(PS_SOLID, 1, RGB(50, 50, 50));
  kvp::DcSelect select(dc, &pen);
  CRect box = rc;
  if (state == 1) {
    box.left += 2;
    box.top += 2;
    dc->Rectangle(&box);
  } else {
    box.right -= 2;
    box.bottom -= 2;
    if (state == 2) dc->Rectangle(&box);
  }
  box.DeflateRect(1, 1);
  if (drawClbck) {
    drawClbck->Draw(checked, dc, &box, this);
  } else {
    if (checked) {
      CRect cross = box;
      cross.DeflateRect(3, 3);
      CPen crossPen(PS_SOLID, 2, RGB(0, 0, 0));
      dc->SelectObject(&crossPen);
      dc->MoveTo(cross.left, cross.top);
      dc->LineTo(cross.right, cross.bottom);
      dc->MoveTo(cross.right, cross.top);
      dc->LineTo(cross.left, cross.bottom);
      dc->SelectObject(&pen);
    }
    dc->DrawEdge(&box, EDGE_SUNKEN, BF_RECT);
  }
}

BOOL CXPCheckBtn::OnEraseBkgnd(CDC*) { return TRUE; }

void CXPCheckBtn::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  PaintNow(&mem);
}

void CXPCheckBtn::OnLButtonDown(UINT, CPoint) {
  PressMachine{captured, state}.Down(this);
  Redraw();
}

void CXPCheckBtn::OnMouseMove(UINT, CPoint point) {
  if (PressMachine{captured, state}.Move(this, rcClient, point)) Redraw();
}

void CXPCheckBtn::OnLButtonUp(UINT, CPoint point) {
  const BOOL click = PressMachine{captured, state}.Up(this, rcClient, point);
  Redraw();
  if (!click) return;
  checked = !checked;
  if (checkClbck) checkClbck->OnCheck(checked, this);
  Redraw();
}

void CXPCheckBtn::OnCancelMode() {
  CWnd::OnCancelMode();
  PressMachine{captured, state}.Cancel(this);
  Redraw();
}

BOOL CXPCheckBtn::OnSetCursor(CWnd*, UINT, UINT) {
  ::SetCursor(cursor);
  return TRUE;
}
