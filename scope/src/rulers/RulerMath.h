// What the rulers and the cursor panel share: the saturating double-to-pixel conversion, the
// strips' window class and their mouse cursors from the resource holder.
#pragma once

#include <platform/afxwin.h>

namespace rulers_detail {

// The mouse cursors of the resource holder the strips use.
constexpr int kCursorDefault = 145;
constexpr int kCursorThumbHorizontal = 143;  // left-right
constexpr int kCursorThumbVertical = 144;    // up-down

// Truncated toward zero and saturated to the int range; NaN gives 0, so an extreme value or a
// degenerate axis never reaches an undefined conversion.
int PixelOf(double value);
// Far outside any window, yet a thumb's rectangle around it stays inside the int range.
constexpr int kFarPixel = 1 << 30;

// a + b saturated to the int range.
int SaturatedAdd(int a, int b);

inline bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// The rectangle grown by dx and dy on each side (negative: shrunk).
inline RECT Inflated(const RECT& r, int dx, int dy) { return RECT{r.left - dx, r.top - dy, r.right + dx, r.bottom + dy}; }
inline bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// The resource holder's cursor, the arrow before it has loaded them.
HCURSOR RulerCursor(int id);
// Registers the class once: CS_VREDRAW | CS_HREDRAW, default window procedure, default cursor.
void RegisterRulerClass(const char* name);

}  // namespace rulers_detail
