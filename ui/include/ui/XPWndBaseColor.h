// CXPWndBaseColor: the child window nearly every pane and panel derives from. It owns one
// background colour, keeps its client rectangle and runs a fixed paint pipeline through an
// off-screen DC, so derived classes only override the hooks. It never lets the system erase its
// background. Also RedrawNow, the paint-at-once of any toolkit window.
#pragma once

#include <platform/afxwin.h>

class CResourceHolder;

// The paint routine of a toolkit window, as RedrawNow and the window's own paint use it: draws
// the whole window onto the DC it is given (an off-screen DC over the window).
class IToolkitPaint {
 public:
  virtual void PaintNow(CDC* dc) = 0;

 protected:
  ~IToolkitPaint() = default;
};

// Paints a toolkit window at once through a window DC and an off-screen DC with its own paint
// routine; any other window is invalidated and updated. Does nothing for a null or windowless object.
void RedrawNow(CWnd* wnd);

class CXPWndBaseColor : public CWnd, public IToolkitPaint {
 public:
  static constexpr const char* kClassName = "CXPWndBaseColor";

  // Takes the scheme's main-window background; registers the window class once.
  CXPWndBaseColor();
  ~CXPWndBaseColor() override;

  // 1. Stores id in m_nId and creates the window of class "CXPWndBaseColor".
  virtual BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  // 2. The same through the extended creation call.
  virtual BOOL CreateEx(DWORD exStyle, LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                        LPVOID param = nullptr);
  // 3. Paints at once through a window DC and an off-screen DC; 0 when there is no window.
  virtual int Redraw();
  // 4. Called from WM_CREATE; FALSE fails the creation.
  virtual BOOL CreateChildren();
  // 5. 0 on a hidden window. Re-reads the client rectangle (RecalcLayout when it changed), then
  // the background, the content and the overlay.
  virtual int Paint(CDC* dc);
  // 6. Fills m_rcClient with the background brush, made first when it has no handle.
  virtual void PaintBackground(CDC* dc);
  // 7. Empty in the base.
  virtual void PaintContent(CDC* dc);
  // 8. Empty in the base.
  virtual void PaintOverlay(CDC* dc);
  // 9. Copies m_rcClient into m_rcWork.
  virtual void RecalcLayout();

  // Stores the colour and drops the brush; the next paint makes it again (allowed before creation).
  void SetColor(COLORREF color);
  // Stores the id and writes it into the window.
  void SetId(int id);

  void PaintNow(CDC* dc) override { Paint(dc); }

  // The class library's create forms stay reachable for derived classes.
  using CWnd::Create;
  using CWnd::CreateEx;

  int OnCreate(LPCREATESTRUCT cs) override;
  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnWindowPosChanged(WINDOWPOS* pos) override;

  COLORREF m_crBack;
  CBrush m_brBack;
  CRect m_rcClient;
  CRect m_rcWork;
  CResourceHolder* m_pResources;
  int m_nId = -1;
};
