#include <ui/XPCtrlStaticWFont.h>

#include "ToolkitWindow.h"

#include <core/MemDC.h>
#include <platform/dcscope.h>

CXPCtrlStaticWFont::CXPCtrlStaticWFont(COLORREF text, COLORREF background, CFont* textFont, BOOL withShadow,
                                       UINT fmt1, UINT fmt2)
    : textColour(text), backColour(background), font(textFont), format1(fmt1), format2(fmt2), shadow(withShadow) {
  ui_detail::EnsureToolkitClass(kClassName, CS_HREDRAW | CS_VREDRAW);
}

CXPCtrlStaticWFont::~CXPCtrlStaticWFont() = default;

BOOL CXPCtrlStaticWFont::Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(kClassName, text, style, rect, parent, id);
}

void CXPCtrlStaticWFont::PaintNow(CDC* dc) {
  CRect rc;
  GetClientRect(&rc);
  kvp::DcSelect select(dc, font && font->GetSafeHandle() ? font : nullptr);
  if (backColour != kKeepColour) dc->FillSolidRect(&rc, backColour);
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  CString text;
  GetWindowText(text);
  const UINT format = format2 | format1 | DT_SINGLELINE;
  if (shadow && textColour != kKeepColour) {
    const COLORREF old = dc->SetTextColor(RGB(128, 128, 128));
    CRect moved = rc;
    moved.OffsetRect(2, 2);
    dc->DrawText(text, &moved, format);
    dc->SetTextColor(old);
  }
  COLORREF oldText = 0;
  if (textColour != kKeepColour) oldText = dc->SetTextColor(textColour);
  dc->DrawText(text, &rc, format);
  if (textColour != kKeepColour) dc->SetTextColor(oldText);
  dc->SetBkMode(oldMode);
}

BOOL CXPCtrlStaticWFont::OnEraseBkgnd(CDC*) { return TRUE; }

void CXPCtrlStaticWFont::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  PaintNow(&mem);
}
