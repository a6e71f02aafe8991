// What the toolkit's GUI tests share: a top-level host window that forwards its mouse messages
// to a test's hooks, pixel reading in a window's client coordinates, and the screenshot folder.
#pragma once

#include <platform/afxwin.h>
#include <platform/display.h>

#include <functional>
#include <string>

namespace uitest {

namespace hl = kvp::headless;

inline const char* HostClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "UiTestHost", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "UiTestHost";
    AfxRegisterClass(&wc);
  }
  return "UiTestHost";
}

// A plain top-level window at (x, y) on the screen; its mouse messages go to the hooks when set.
class Host : public CWnd {
 public:
  std::function<void(CPoint)> onDown, onMove, onUp;
  std::function<void()> onCancelMode;
  std::function<void(CDC*)> onPaint;
  COLORREF fill = RGB(40, 40, 40);

  BOOL CreateTop(int x, int y, int width, int height) {
    return CreateEx(0, HostClass(), "host", WS_POPUP | WS_VISIBLE, x, y, width, height, 0, 0);
  }
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, fill);
    if (onPaint) onPaint(&dc);
  }
  void OnLButtonDown(UINT f, CPoint p) override { onDown ? onDown(p) : CWnd::OnLButtonDown(f, p); }
  void OnMouseMove(UINT f, CPoint p) override { onMove ? onMove(p) : CWnd::OnMouseMove(f, p); }
  void OnLButtonUp(UINT f, CPoint p) override { onUp ? onUp(p) : CWnd::OnLButtonUp(f, p); }
  void OnCancelMode() override {
    CWnd::OnCancelMode();
    if (onCancelMode) onCancelMode();
  }
};

inline COLORREF Pixel(const CWnd& w, int x, int y) { return kvp::WindowPixel(w.GetSafeHwnd(), x, y); }

inline std::string Hex(COLORREF c) {
  char b[16];
  std::snprintf(b, sizeof b, "%06X", static_cast<unsigned>(c));
  return b;
}

inline std::string ScreenshotPath(const char* name) { return std::string(KV_SCREENSHOT_DIR) + "/" + name; }

// A modal message box opening over the window that holds the capture; answered at once.
inline void OpenAndCloseModalBox(HWND owner) { ::MessageBox(owner, "busy", "Note", MB_OK); }

}  // namespace uitest
