// Scoped changes to a device context, for drawing code: what a function selects or sets is put
// back when the scope ends, on every way out.
//
//   kvp::DcSelect pen(dc, &m_pen);            // selected now, the replaced pen back at the end
//   kvp::DcSelect font(dc, &m_font);
//   kvp::DcText text(dc, RGB(0, 0, 0), TRANSPARENT);   // text colour and background mode
//   kvp::DcTextColor color(dc, RGB(255, 0, 0));         // the text colour alone
//   kvp::DcBkMode mode(dc, TRANSPARENT);                 // the background mode alone
//   kvp::DcState saved(dc);                   // SaveDC now, RestoreDC at the end (all of the state)
//
// Declare the selector after the object it selects: the object is then deselected before it is
// destroyed. A selector given no object (or no DC) does nothing.
#pragma once

#include <platform/afxgdi.h>
#include <platform/gdi.h>

namespace kvp {

// One selected object; the object it replaced goes back when the scope ends.
class DcSelect {
 public:
  DcSelect(HDC dc, HGDIOBJ obj) : dc_(dc) { Select(obj); }
  DcSelect(CDC* dc, const CGdiObject* obj) : DcSelect(dc ? dc->GetSafeHdc() : 0, obj ? obj->GetSafeHandle() : 0) {}
  DcSelect(CDC& dc, const CGdiObject& obj) : DcSelect(&dc, &obj) {}
  ~DcSelect() {
    if (old_) ::SelectObject(dc_, old_);
  }
  DcSelect(const DcSelect&) = delete;
  DcSelect& operator=(const DcSelect&) = delete;

  // Selects another object of the same kind for the rest of the scope; the object replaced first
  // is still the one put back.
  void Select(HGDIOBJ obj) {
    if (!dc_ || !obj) return;
    const HGDIOBJ replaced = ::SelectObject(dc_, obj);
    if (!old_) old_ = replaced;
  }
  void Select(const CGdiObject* obj) { Select(obj ? obj->GetSafeHandle() : HGDIOBJ{}); }

 private:
  HDC dc_ = 0;
  HGDIOBJ old_ = 0;
};

// The text colour and background mode for a scope; both go back when it ends.
class DcText {
 public:
  DcText(HDC dc, COLORREF color, int bkMode) : dc_(dc) {
    if (!dc_) return;
    oldColor_ = ::SetTextColor(dc_, color);
    oldMode_ = ::SetBkMode(dc_, bkMode);
  }
  DcText(CDC* dc, COLORREF color, int bkMode) : DcText(dc ? dc->GetSafeHdc() : 0, color, bkMode) {}
  ~DcText() {
    if (!dc_) return;
    ::SetBkMode(dc_, oldMode_);
    ::SetTextColor(dc_, oldColor_);
  }
  DcText(const DcText&) = delete;
  DcText& operator=(const DcText&) = delete;

 private:
  HDC dc_ = 0;
  COLORREF oldColor_ = 0;
  int oldMode_ = 0;
};

// The text colour alone for a scope; the colour it replaced goes back when it ends, also after
// Set changed it again.
class DcTextColor {
 public:
  DcTextColor(HDC dc, COLORREF color) : dc_(dc) {
    if (dc_) old_ = ::SetTextColor(dc_, color);
  }
  DcTextColor(CDC* dc, COLORREF color) : DcTextColor(dc ? dc->GetSafeHdc() : 0, color) {}
  ~DcTextColor() {
    if (dc_) ::SetTextColor(dc_, old_);
  }
  DcTextColor(const DcTextColor&) = delete;
  DcTextColor& operator=(const DcTextColor&) = delete;

  void Set(COLORREF color) {
    if (dc_) ::SetTextColor(dc_, color);
  }

 private:
  HDC dc_ = 0;
  COLORREF old_ = 0;
};

// The background mode alone for a scope; the mode it replaced goes back when it ends.
class DcBkMode {
 public:
  DcBkMode(HDC dc, int bkMode) : dc_(dc) {
    if (dc_) old_ = ::SetBkMode(dc_, bkMode);
  }
  DcBkMode(CDC* dc, int bkMode) : DcBkMode(dc ? dc->GetSafeHdc() : 0, bkMode) {}
  ~DcBkMode() {
    if (dc_) ::SetBkMode(dc_, old_);
  }
  DcBkMode(const DcBkMode&) = delete;
  DcBkMode& operator=(const DcBkMode&) = delete;

 private:
  HDC dc_ = 0;
  int old_ = 0;
};

// The whole state of a DC (selected objects, colours, modes, clipping, origins) saved for a scope
// and restored when it ends.
class DcState {
 public:
  explicit DcState(HDC dc) : dc_(dc), saved_(dc ? ::SaveDC(dc) : 0) {}
  explicit DcState(CDC* dc) : DcState(dc ? dc->GetSafeHdc() : 0) {}
  ~DcState() {
    if (saved_) ::RestoreDC(dc_, saved_);
  }
  DcState(const DcState&) = delete;
  DcState& operator=(const DcState&) = delete;

 private:
  HDC dc_ = 0;
  int saved_ = 0;
};

}  // namespace kvp
