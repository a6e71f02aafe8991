#include <ui/XPWndBaseColor.h>

#include "ToolkitWindow.h"

#include <core/ColorScheme.h>
#include <core/MemDC.h>
#include <core/ResourceHolder.h>

CXPWndBaseColor::CXPWndBaseColor() : m_crBack(GetSchemeColor(6)), m_pResources(&GetResourceHolder()) {
  ui_detail::EnsureToolkitClass(kClassName, 0);
}

CXPWndBaseColor::~CXPWndBaseColor() = default;

BOOL CXPWndBaseColor::Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  m_nId = static_cast<int>(id);
  return CWnd::Create(kClassName, text, style, rect, parent, id);
}

BOOL CXPWndBaseColor::CreateEx(DWORD exStyle, LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                               LPVOID param) {
  m_nId = static_cast<int>(id);
  return CWnd::CreateEx(exStyle, kClassName, text, style, rect, parent, id, param);
}

int CXPWndBaseColor::Redraw() {
  if (!GetSafeHwnd()) return 0;
  CClientDC dc(this);
  CMemDC mem(&dc);
  return Paint(&mem);
}

BOOL CXPWndBaseColor::CreateChildren() { return TRUE; }

int CXPWndBaseColor::Paint(CDC* dc) {
  if (!IsWindowVisible()) return 0;
  CRect rc;
  GetClientRect(&rc);
  if (!ui_detail::SameRect(rc, m_rcClient)) {
    m_rcClient = rc;
    RecalcLayout();
  }
  PaintBackground(dc);
  PaintContent(dc);
  PaintOverlay(dc);
  return 1;
}

void CXPWndBaseColor::PaintBackground(CDC* dc) {
  if (!m_brBack.GetSafeHandle()) m_brBack.CreateSolidBrush(m_crBack);
  dc->FillRect(&m_rcClient, &m_brBack);
}

void CXPWndBaseColor::PaintContent(CDC*) {}

void CXPWndBaseColor::PaintOverlay(CDC*) {}

void CXPWndBaseColor::RecalcLayout() { m_rcWork = m_rcClient; }

void CXPWndBaseColor::SetColor(COLORREF color) {
  m_crBack = color;
  m_brBack.DeleteObject();
}

void CXPWndBaseColor::SetId(int id) {
  m_nId = id;
  if (GetSafeHwnd()) SetDlgCtrlID(id);
}

int CXPWndBaseColor::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  return CreateChildren() ? 0 : -1;
}

BOOL CXPWndBaseColor::OnEraseBkgnd(CDC*) { return TRUE; }

void CXPWndBaseColor::OnPaint() {
  CPaintDC dc(this);
  CMemDC mem(&dc);
  Paint(&mem);
}

void CXPWndBaseColor::OnWindowPosChanged(WINDOWPOS* pos) {
  CWnd::OnWindowPosChanged(pos);
  Redraw();
}
