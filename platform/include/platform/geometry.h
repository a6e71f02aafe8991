// Points, sizes and rectangles with the Windows conventions: a rectangle covers
// [left, right) x [top, bottom).
#pragma once

#include <platform/types.h>

#include <algorithm>

struct POINT {
  LONG x;
  LONG y;
};
typedef POINT* LPPOINT;
struct SIZE {
  LONG cx;
  LONG cy;
};
typedef SIZE* LPSIZE;
struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};
typedef RECT* LPRECT;
typedef const RECT* LPCRECT;

class CPoint : public POINT {
 public:
  CPoint() : POINT{0, 0} {}
  CPoint(LONG x0, LONG y0) : POINT{x0, y0} {}
  CPoint(POINT p) : POINT(p) {}
  void Offset(LONG dx, LONG dy) { x += dx; y += dy; }
  bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
  bool operator!=(const POINT& o) const { return !(*this == o); }
  // Two CPoints match exactly here, so C++20's reversed candidates leave no doubt.
  bool operator==(const CPoint& o) const { return *this == static_cast<const POINT&>(o); }
  bool operator!=(const CPoint& o) const { return !(*this == o); }
  CPoint operator+(const POINT& o) const { return CPoint(x + o.x, y + o.y); }
  CPoint operator-(const POINT& o) const { return CPoint(x - o.x, y - o.y); }
  CPoint& operator+=(const POINT& o) { x += o.x; y += o.y; return *this; }
  CPoint& operator-=(const POINT& o) { x -= o.x; y -= o.y; return *this; }
};

class CSize : public SIZE {
 public:
  CSize() : SIZE{0, 0} {}
  CSize(LONG w, LONG h) : SIZE{w, h} {}
  CSize(SIZE s) : SIZE(s) {}
  bool operator==(const SIZE& o) const { return cx == o.cx && cy == o.cy; }
  bool operator!=(const SIZE& o) const { return !(*this == o); }
};

class CRect : public RECT {
 public:
  CRect() : RECT{0, 0, 0, 0} {}
  CRect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
  CRect(const RECT& r) : RECT(r) {}
  CRect(POINT p, SIZE s) : RECT{p.x, p.y, p.x + s.cx, p.y + s.cy} {}
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  CSize Size() const { return CSize(Width(), Height()); }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool PtInRect(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void SetRect(LONG l, LONG t, LONG r, LONG b) { left = l; top = t; right = r; bottom = b; }
  void SetRectEmpty() { SetRect(0, 0, 0, 0); }
  void OffsetRect(LONG dx, LONG dy) { left += dx; right += dx; top += dy; bottom += dy; }
  void OffsetRect(POINT p) { OffsetRect(p.x, p.y); }
  void InflateRect(LONG dx, LONG dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
  void DeflateRect(LONG dx, LONG dy) { InflateRect(-dx, -dy); }
  void DeflateRect(LONG l, LONG t, LONG r, LONG b) { left += l; top += t; right -= r; bottom -= b; }
  void NormalizeRect() {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
  }
  // Intersection; an empty result is set to all zeroes, as the original does.
  bool IntersectRect(const RECT& a, const RECT& b) {
    SetRect(std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom));
    if (IsRectEmpty()) { SetRectEmpty(); return false; }
    return true;
  }
  bool UnionRect(const RECT& a, const RECT& b) {
    const CRect ra(a), rb(b);
    if (ra.IsRectEmpty()) { *this = rb; return !IsRectEmpty(); }
    if (rb.IsRectEmpty()) { *this = ra; return !IsRectEmpty(); }
    SetRect(std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom));
    return true;
  }
  bool operator==(const RECT& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  bool operator!=(const RECT& o) const { return !(*this == o); }
  // Two CRects match exactly here, so C++20's reversed candidates leave no doubt.
  bool operator==(const CRect& o) const { return *this == static_cast<const RECT&>(o); }
  bool operator!=(const CRect& o) const { return !(*this == o); }
  operator LPRECT() { return this; }
  operator LPCRECT() const { return this; }
};
