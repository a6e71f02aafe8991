#include <core/DrawHelpers.h>

#include <algorithm>

int CreateFontOnce(CFont& font, LPCSTR face, int height, BYTE charSet, BOOL bold, BOOL italic, BOOL underline,
                   int angleDegrees) {
  if (font.GetSafeHandle()) return 1;
  font.CreateFont(height, 0, angleDegrees * 10, angleDegrees * 10, bold ? 700 : 400, italic ? 1 : 0,
                  underline ? 1 : 0, 0, charSet, 2, 1, 0, 0, face);
  return font.GetSafeHandle() ? 1 : 0;
}

namespace {

void Horizontal(CDC* dc, int left, int top, int right, int bottom, int step) {
  for (int y = top; y < bottom; y += step) {
    dc->MoveTo(left, y);
    dc->LineTo(right, y);
  }
}

void Vertical(CDC* dc, int left, int top, int right, int bottom, int step) {
  for (int x = left; x < right; x += step) {
    dc->MoveTo(x, top);
    dc->LineTo(x, bottom);
  }
}

// Lines of slope +1 (falling: down to the right) or -1, clipped to the rectangle.
void Diagonal(CDC* dc, int left, int top, int right, int bottom, int step, bool falling) {
  const int w = right - left, h = bottom - top;
  for (int k = -h; k < w; k += step) {
    // Line through (left + k, top) in the rectangle's coordinates, going down by one per pixel.
    int x0 = k, y0 = 0;
    if (x0 < 0) {
      y0 = -x0;
      x0 = 0;
    }
    const int len = std::min(w - x0, h - y0);
    if (len <= 0) continue;
    if (falling) {
      dc->MoveTo(left + x0, top + y0);
      dc->LineTo(left + x0 + len, top + y0 + len);
    } else {
      dc->MoveTo(right - x0, top + y0);
      dc->LineTo(right - x0 - len, top + y0 + len);
    }
  }
}

}  // namespace

void DrawLinePattern(CDC* dc, int left, int top, int right, int bottom, int type, int edges, int step) {
  if (!dc || step <= 0 || right <= left || bottom <= top) return;
  switch (type) {
    case 0:
      Horizontal(dc, left, top, right, bottom, step);
      break;
    case 2:
      Diagonal(dc, left, top, right, bottom, step, true);
      break;
    case 3:
      Diagonal(dc, left, top, right, bottom, step, false);
      break;
    case 4:
      Horizontal(dc, left, top, right, bottom, step);
      Vertical(dc, left, top, right, bottom, step);
      break;
    case 5:
      Diagonal(dc, left, top, right, bottom, step, true);
      Diagonal(dc, left, top, right, bottom, step, false);
      break;
    default:
      Vertical(dc, left, top, right, bottom, step);
      break;
  }
  if (edges & 1) {
    dc->MoveTo(left, top);
    dc->LineTo(left, bottom);
  }
  if (edges & 2) {
    dc->MoveTo(left, top);
    dc->LineTo(right, top);
  }
  if (edges & 4) {
    dc->MoveTo(right, top);
    dc->LineTo(right, bottom);
  }
  if (edges & 8) {
    dc->MoveTo(left, bottom);
    dc->LineTo(right, bottom);
  }
}
