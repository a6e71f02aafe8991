// CXPCtrlStaticWFont: a static text with its own font, colours, alignment and an optional drop
// shadow (dialog titles, the scope's labels).
#pragma once

#include <ui/XPWndBaseColor.h>

#include <platform/afxwin.h>

class CXPCtrlStaticWFont : public CWnd, public IToolkitPaint {
 public:
  static constexpr const char* kClassName = "XPCtrlStaticWFont";
  // In either colour: leave the DC's colour unchanged.
  static constexpr COLORREF kKeepColour = 0x10000;

  CXPCtrlStaticWFont(COLORREF textColour, COLORREF backColour, CFont* font, BOOL shadow, UINT format1, UINT format2);
  ~CXPCtrlStaticWFont() override;

  // Creates the static text window with the text.
  BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;
  void Redraw() { RedrawNow(this); }
  void PaintNow(CDC* dc) override;

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;

  COLORREF textColour;
  COLORREF backColour;
  CFont* font;
  UINT format1;
  UINT format2;
  BOOL shadow;
};
