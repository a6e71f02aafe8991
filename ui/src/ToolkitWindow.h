// What the toolkit's windows share: their window classes, the shared cursors, the paint-at-once
// through an off-screen DC, and the press / hover / click state machine of the owner-drawn
// controls.
#pragma once

#include <ui/WindowClass.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxwin.h>

namespace ui_detail {

inline bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// The shared default cursor of every toolkit window and the other shared cursors.
enum CursorId { kCursorDefault = 145, kCursorDragA = 143, kCursorDragB = 144, kCursorHover = 146, kCursorCheck = 187 };

// A shared cursor by resource id (ui_toolkit::SharedCursor).
inline HCURSOR ToolkitCursor(int resourceId) { return ui_toolkit::SharedCursor(resourceId); }

// Registers a toolkit window class unless the module knows it, with the shared default cursor
// (ui_toolkit::EnsureWindowClass).
inline void EnsureToolkitClass(const char* name, UINT style) {
  ui_toolkit::EnsureWindowClass(name, style, kCursorDefault);
}

// Paints the window at once: a client DC, an off-screen DC over it, then painter->PaintNow.
void PaintThroughWindowDc(CWnd* wnd, IToolkitPaint* painter);

// The press / hover / click rules shared by the buttons, the check box and the link. `state`:
// 0 normal, 1 pressed, 2 hot; `captured`: this control holds the capture.
struct PressMachine {
  int& captured;
  int& state;

  // Button down: the capture (unless held), state 1.
  void Down(CWnd* wnd);
  // Mouse move when not pressed: hot takes the capture on the first move, leaving the rectangle
  // lets it go. TRUE when the state changed.
  BOOL Move(CWnd* wnd, const RECT& client, POINT p);
  // Button up: releases, state 0; TRUE when it is a click (pressed before, point inside).
  BOOL Up(CWnd* wnd, const RECT& client, POINT p);
  // WM_CANCELMODE: releases, state 0.
  void Cancel(CWnd* wnd);
  void Release(CWnd* wnd);
};

}  // namespace ui_detail
