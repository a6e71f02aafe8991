// The handle beside an undocked control panel: a click, or resting the mouse on it for a second,
// slides the panel in or out; its dock button docks the panel again. It darkens while the mouse
// is over it and fades back when the mouse leaves.
#pragma once

#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

class CWndOsc_MinimizePanel : public CXPWndBaseColor, public CXPCtrlBtn::IDrawClbck, public CXPCtrlBtn::IBtnClbck {
 public:
  // What the pane offers the handle.
  class IMinimizeToolClbck {
   public:
    // Slides the control panel in or out.
    virtual void Toggle() = 0;
    // 1 when the control panel is expanded (not minimized).
    virtual int IsExpanded() = 0;
    // The dock button: the pane docks the control panel again.
    virtual void Dock() = 0;

   protected:
    ~IMinimizeToolClbck() = default;
  };

  enum { kTimerDarken = 0, kTimerLighten = 1, kTimerHover = 2 };
  static constexpr UINT kFadeMs = 30;
  static constexpr UINT kHoverMs = 1000;

  CWndOsc_MinimizePanel();
  ~CWndOsc_MinimizePanel() override;

  void SetCallback(IMinimizeToolClbck* callback) { m_pCallback = callback; }
  // Set by the pane when it undocks the panel: the next mouse entry starts no hover timer.
  void SetExpandedHandle(BOOL on) { m_bExpandedHandle = on; }
  BOOL ExpandedHandle() const { return m_bExpandedHandle; }
  BOOL Tracking() const { return m_bTracking; }
  COLORREF BaseColor() const { return m_crBase; }
  COLORREF DarkColor() const { return m_crDark; }

  BOOL CreateChildren() override;
  void PaintContent(CDC* dc) override;
  void RecalcLayout() override;

  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnTimer(UINT_PTR id) override;

  CXPCtrlBtn m_dockButton;

 private:
  // Moves the background colour by delta towards the target; true when it arrived (or passed it).
  bool Fade(int delta, COLORREF target, bool darker);

  IMinimizeToolClbck* m_pCallback = nullptr;
  BOOL m_bTracking = FALSE;
  COLORREF m_crBase;
  COLORREF m_crDark;
  BOOL m_bExpandedHandle = FALSE;
};
