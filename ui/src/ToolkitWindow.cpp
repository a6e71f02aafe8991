#include "ToolkitWindow.h"

#include <core/MemDC.h>
#include <core/ResourceHolder.h>

#include <stdexcept>
#include <string>

namespace ui_toolkit {

HCURSOR SharedCursor(int resourceId) {
  if (HCURSOR c = GetResourceHolder().GetCursor(resourceId)) return c;
  if (HCURSOR c = LoadCursor(AfxGetInstanceHandle(), MAKEINTRESOURCE(resourceId))) return c;
  return LoadCursor(0, IDC_ARROW);
}

void EnsureWindowClass(const char* name, UINT style, int cursorResource) {
  WNDCLASS known{};
  if (GetClassInfo(AfxGetInstanceHandle(), name, &known)) return;
  WNDCLASS wc{};
  wc.style = style;
  wc.lpfnWndProc = ::DefWindowProc;
  wc.hInstance = AfxGetInstanceHandle();
  wc.hCursor = SharedCursor(cursorResource);
  wc.hbrBackground = static_cast<HBRUSH>(5);
  wc.lpszClassName = name;
  if (!AfxRegisterClass(&wc) && !GetClassInfo(AfxGetInstanceHandle(), name, &known))
    throw std::runtime_error(std::string("cannot register the window class ") + name);
}

}  // namespace ui_toolkit

namespace ui_detail {

void PaintThroughWindowDc(CWnd* wnd, IToolkitPaint* painter) {
  if (!wnd || !wnd->GetSafeHwnd() || !painter) return;
  CClientDC dc(wnd);
  CMemDC mem(&dc);
  painter->PaintNow(&mem);
}

void PressMachine::Release(CWnd* wnd) {
  if (::GetCapture() == wnd->GetSafeHwnd()) ::ReleaseCapture();
  captured = 0;
}

void PressMachine::Down(CWnd* wnd) {
  if (::GetCapture() != wnd->GetSafeHwnd()) wnd->SetCapture();
  captured = 1;
  state = 1;
}

BOOL PressMachine::Move(CWnd* wnd, const RECT& client, POINT p) {
  if (state == 1) return FALSE;
  if (state == 2) {
    if (Inside(client, p)) return FALSE;
    Release(wnd);
    state = 0;
    return TRUE;
  }
  wnd->SetCapture();
  captured = 1;
  state = 2;
  return TRUE;
}

BOOL PressMachine::Up(CWnd* wnd, const RECT& client, POINT p) {
  const int old = state;
  Release(wnd);
  state = 0;
  return old == 1 && Inside(client, p);
}

void PressMachine::Cancel(CWnd* wnd) {
  Release(wnd);
  state = 0;
}

}  // namespace ui_detail

void RedrawNow(CWnd* wnd) {
  if (!wnd || !wnd->GetSafeHwnd()) return;
  if (auto* painter = dynamic_cast<IToolkitPaint*>(wnd)) {
    ui_detail::PaintThroughWindowDc(wnd, painter);
    return;
  }
  wnd->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}
