// CXPCtrlHyperText: a one-line link that changes colour under the pointer, takes the focus when
// clicked and tells its owner (the list of measurements uses it for its links).
#pragma once

#include <ui/OptionData.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxwin.h>

class CXPCtrlHyperText : public CWnd, public OptionData, public IToolkitPaint {
 public:
  static constexpr const char* kClassName = "XPCtrlHyperText";

  class IHyperTextClbck {
   public:
    virtual void OnLinkClicked(CXPCtrlHyperText* link) = 0;

   protected:
    ~IHyperTextClbck() = default;
  };

  CXPCtrlHyperText();
  ~CXPCtrlHyperText() override;

  // Stores the five colours (colour1 and colour4 take no part in drawing) and rebuilds the brushes.
  virtual void SetColors(COLORREF colour1, COLORREF hotFill, COLORREF normalFill, COLORREF colour4,
                         COLORREF focusFill);
  virtual void RebuildBrushes();

  // Keeps the id and creates the window; the owner sets `text` and the callback.
  BOOL Create(LPCSTR windowText, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;
  void Redraw() { RedrawNow(this); }
  void PaintNow(CDC* dc) override;

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnCancelMode() override;
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;
  void OnSetFocus(CWnd* oldWnd) override;
  void OnKillFocus(CWnd* newWnd) override;

  BOOL captured = FALSE;
  int id = -1;
  int state = 0;  // 0 normal, 1 pressed, 2 hot
  HCURSOR cursor;
  COLORREF colour1 = 0;
  COLORREF hotFill = RGB(117, 137, 240);
  COLORREF normalFill = RGB(235, 236, 208);
  COLORREF colour4 = RGB(80, 80, 80);
  COLORREF focusFill = RGB(176, 174, 174);
  CRect rcFont;  // the client rectangle the font was made for
  CBrush normalBrush;
  CBrush hotBrush;
  CBrush focusBrush;
  IHyperTextClbck* clbck = nullptr;
  CFont font;
  BOOL focused = FALSE;
  CString text;

  // The font height for a client height: int(h / -1.4), a character height of h / 1.4.
  static int FontHeightFor(int clientHeight) { return static_cast<int>(clientHeight / -1.4); }
};
