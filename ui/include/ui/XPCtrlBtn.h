// The owner-drawn window controls every pane, panel and dialog uses instead of the system
// buttons: CXPCtrlBtn, a push button that doubles as a multi-state switch (its value steps
// through a range on every click), and CXPCheckBtn, a check box. Both draw themselves off-screen
// and report to their owner through small callback interfaces instead of WM_COMMAND. While the
// pointer is over one of them, it holds the mouse capture to see the pointer leave.
#pragma once

#include <ui/OptionData.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxwin.h>

class CXPCtrlBtn;

// The button data block, handed to both callbacks.
struct XPCtrlBtnData {
  int enabled = 1;   // owners clear it with the window disabled and draw their faces from it
  int min = 0;
  int max = 0;
  int value = 0;     // steps value + 1 on each click, past max back to min
  int captured = 0;  // this button holds the capture
  int rebuild = 1;   // every paint recreates the GDI objects from the colours
  int id = -1;       // the control id, from Create
  int state = 0;     // 0 normal, 1 pressed, 2 hot
  int user = 0;      // left to the owner
  HCURSOR cursor = 0;  // shown over the button (the shared cursor 146)
};

class CXPCtrlBtn : public CWnd, public OptionData, public IToolkitPaint {
 public:
  static constexpr const char* kClassName = "XPCtrlBtn";
  // Option flags: the face look. None of them: rounded face with shadow.
  enum : uint32_t {
    kFlat = 0x1,         // flat face filled with the face colour, sunken edge
    kFlatNoEdge = 0x2,   // with kFlat: no sunken edge
    kFlatHot = 0x4,      // flat face that changes colour on hover and press
  };

  class IBtnClbck {
   public:
    // After the value has stepped.
    virtual void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) = 0;

   protected:
    ~IBtnClbck() = default;
  };
  class IDrawClbck {
   public:
    // The owner draws captions and icons into the content rectangle; called in every look.
    virtual void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) = 0;

   protected:
    ~IDrawClbck() = default;
  };

  CXPCtrlBtn();
  ~CXPCtrlBtn() override;

  // Own virtual operations, in slot order.
  // Stores the colours (a hotFace of 0x10000: the face lightened by 30) and rebuilds the GDI objects.
  virtual void SetColors(COLORREF face, COLORREF hotFace, COLORREF back, COLORREF frame);
  virtual void RebuildGdi();

  // Keeps id in the data block and creates the window (the program uses WS_CHILD | WS_VISIBLE).
  BOOL Create(LPCSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;
  // Paints at once through a window DC and an off-screen DC.
  void Redraw() { RedrawNow(this); }
  void PaintNow(CDC* dc) override;

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnCancelMode() override;
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;

  XPCtrlBtnData data;
  COLORREF face;
  COLORREF hotFace;
  COLORREF back;
  COLORREF frame;
  CRect rcClient;  // at the last paint
  CBrush faceBrush;
  CBrush hotFaceBrush;
  CBrush backBrush;
  CBrush frameBrush;
  CPen framePen;
  CPen outlinePen;
  IBtnClbck* btnClbck = nullptr;
  IDrawClbck* drawClbck = nullptr;
};

class CXPCheckBtn : public CWnd, public IToolkitPaint {
 public:
  static constexpr const char* kClassName = "XPCheckBtn";

  class ICheckBtnClbck {
   public:
    virtual void OnCheck(BOOL newState, CXPCheckBtn* box) = 0;

   protected:
    ~ICheckBtnClbck() = default;
  };
  class ICheckDrawClbck {
   public:
    // Draws the box's content (box = the inner rectangle).
    virtual void Draw(BOOL checked, CDC* dc, RECT* box, CXPCheckBtn* control) = 0;

   protected:
    ~ICheckDrawClbck() = default;
  };

  CXPCheckBtn();
  ~CXPCheckBtn() override;

  // Keeps id and creates the window "MyCheckBox" with WS_CHILD | WS_VISIBLE.
  BOOL Create(const RECT& rect, CWnd* parent, UINT id);
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

  BOOL checked = TRUE;
  int captured = 0;
  int style = 1;
  int id = -1;
  int state = 0;  // 0 normal, 1 pressed, 2 hot
  HCURSOR cursor;
  COLORREF back;
  CRect rcClient;  // at the last paint
  ICheckBtnClbck* checkClbck = nullptr;
  ICheckDrawClbck* drawClbck = nullptr;
};
