// CWndAnalyzerTimeLine: the record analyzer's horizontal scroll bar for the view position. Its
// value runs over the positions of the first full window to the last (offset = half a window);
// a click jumps there, a drag of the thumb follows the pointer, and either announces (12, 55).
// It also marks the L and R cursors while they are shown. A repaint asked for when nothing it
// shows has changed (a pointer move over the line, a value set again) draws nothing. GUI thread
// only.
#pragma once

#include <core/Notify.h>

#include <platform/afxgdi.h>
#include <platform/afxwin.h>

#include <array>

class CRecorder;

class CWndAnalyzerTimeLine : public CWnd, public IAnalyzerNotify {
 public:
  static constexpr const char* kClassName = "AnalyzerTimeLineWnd";
  enum { kCursorNormal = 187, kCursorDrag = 191 };

  explicit CWndAnalyzerTimeLine(CRecorder* recorder = nullptr);
  ~CWndAnalyzerTimeLine() override;

  BOOL Create(LPCSTR name, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  using CWnd::Create;

  // Colours in the order thumb, played part, rest, background; rebuilds the GDI objects.
  void SetColors(COLORREF thumb, COLORREF played, COLORREF rest, COLORREF background);
  // Makes the brushes and the pen from the colours (again).
  void RebuildGdi();
  // Minimum := the smaller, maximum := the larger; the value is clamped and the line repainted.
  void SetRange(int a, int b);
  void SetValue(int v);
  // Paints the line now when what it shows differs from what it last painted.
  void Repaint();
  void Paint(CDC* dc);

  void OnAnalyzerNotify(int sender, int code, int value) override;

  BOOL OnEraseBkgnd(CDC* dc) override;
  void OnPaint() override;
  void OnLButtonDown(UINT flags, CPoint point) override;
  void OnLButtonUp(UINT flags, CPoint point) override;
  void OnMouseMove(UINT flags, CPoint point) override;
  void OnCancelMode() override;
  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;

  CRecorder* m_pRecorder;
  COLORREF m_crPlayed = 0xA3A350;
  COLORREF m_crRest = 0xF2F2E1;
  COLORREF m_crThumb = 255;
  COLORREF m_crBackground;
  CBrush m_brPlayed;
  CBrush m_brRest;
  CBrush m_brThumb;
  CBrush m_brBackground;
  CPen m_penStop;
  int m_bCaptured = 0;
  int m_bDragging = 0;
  HCURSOR m_hCursor;
  int m_nOffset = 0;
  int m_nMin = 0;
  int m_nMax = 100000;
  int m_nValue = 0;
  CRect m_rcThumb{0, 0, 0, 0};
  CRect m_rcClient{0, 0, 0, 0};

 private:
  // The value at client x; the position goes to value + offset and (12, 55) is announced.
  void MoveTo(int x);
  // Everything a paint depends on.
  struct Shown {
    CRect client;
    int min, max, value;
    std::array<COLORREF, 4> colours;
    bool cursors;
    std::array<double, 2> cursorAt;
    std::array<COLORREF, 2> cursorColours;
    bool operator==(const Shown&) const = default;
  };
  Shown WhatIsShown();
  Shown m_Painted{};
  bool m_bPainted = false;
  std::array<COLORREF, 4> m_GdiColours{};  // the colours the brushes were made from
};
