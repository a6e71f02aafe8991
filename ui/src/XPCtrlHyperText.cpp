#include <ui/XPCtrlHyperText.h>

#include "ToolkitWindow.h"

#include <core/GlobalProps.h>
#include <core/MemDC.h>
#include <platform/dcscope.h>

using ui_detail::PressMachine;

CXPCtrlHyperText::CXPCtrlHyperText() : cursor(LoadCursor(0, IDC_HAND)) {
  ui_detail::EnsureToolkitClass(kClassName, CS_HREDRAW | CS_VREDRAW);
  RebuildBrushes();
}

CXPCtrlHyperText::~CXPCtrlHyperText() = default;

void CXPCtrlHyperText::SetColors(COLORREF c1, COLORREF hot, COLORREF normal, COLORREF c4, COLORREF focus) {
  colour1 = c1;
  hotFill = hot;
  normalFill = normal;
  colour4 = c4;
  focusFill = focus;
  RebuildBrushes();
}

void CXPCtrlHyperText::RebuildBrushes() {
  normalBrush.DeleteObject();
  hotBrush.DeleteObject();
  focusBrush.DeleteObject();
  normalBrush.CreateSolidBrush(normalFill);
  hotBrush.CreateSolidBrush(hotFill);
  focusBrush.CreateSolidBrush(focusFill);
}

BOOL CXPCtrlHyperText::Create(LPCSTR windowText, DWORD style, const RECT& rect, CWnd* parent, UINT newId) {
  id = static_cast<int>(newId);
  return CWnd::Create(kClassName, windowText, style, rect, parent, newId);
}

void CXPCtrlHyperText::PaintNow(CDC* dc) {
  CRect rc;
  GetClientRect(&rc);
  if (!font.GetSafeHandle() || !ui_detail::SameRect(rc, rcFont)) {
    rcFont = rc;
    font.DeleteObject();
    font.CreateFont(FontHeightFor(rc.Height()), 0, 0, 0, FW_NORMAL, 0, 0, 0, GetGlobalProps().GetCharSet(), 0, 0, 0,
                    0, "Times New Roman");
  }
  CBrush* fill = &normalBrush;
  COLORREF fillColour = normalFill;
  if (state == 2) {
    fill = &hotBrush;
    fillColour = hotFill;
  } else if (focused) {
    fill = &focusBrush;
    fillColour = focusFill;
  }
  dc->FillRect(&rc, fill);
  const COLORREF oldBk = dc->SetBkColor(fillColour);
  kvp::DcSelect select(dc, &font);
  CRect textRect = rc;
  textRect.left += 3;
  // A link wider than the control ends in an ellipsis instead of being cut off mid-word.
  dc->DrawText(text, &textRect, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  dc->SetBkColor(oldBk);
}

BOOL CXPCtrlHyperText::OnEraseBkgnd(CDC*) { return TRUE; }

void CXPCtrlHyperText::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  PaintNow(&mem);
}

void CXPCtrlHyperText::OnLButtonDown(UINT, CPoint) {
  PressMachine{captured, state}.Down(this);
  Redraw();
}

void CXPCtrlHyperText::OnMouseMove(UINT, CPoint point) {
  if (PressMachine{captured, state}.Move(this, rcFont, point)) Redraw();
}

void CXPCtrlHyperText::OnLButtonUp(UINT, CPoint point) {
  const BOOL click = PressMachine{captured, state}.Up(this, rcFont, point);
  Redraw();
  if (!click) return;
  if (clbck) clbck->OnLinkClicked(this);
  if (!GetSafeHwnd()) return;
  SetFocus();
  Redraw();
}

void CXPCtrlHyperText::OnCancelMode() {
  CWnd::OnCancelMode();
  PressMachine{captured, state}.Cancel(this);
  Redraw();
}

BOOL CXPCtrlHyperText::OnSetCursor(CWnd*, UINT, UINT) {
  ::SetCursor(cursor);
  return TRUE;
}

void CXPCtrlHyperText::OnSetFocus(CWnd* oldWnd) {
  CWnd::OnSetFocus(oldWnd);
  focused = TRUE;
}

void CXPCtrlHyperText::OnKillFocus(CWnd* newWnd) {
  CWnd::OnKillFocus(newWnd);
  focused = FALSE;
  Redraw();
}
