#include <scope/pane/EdgeSymbol.h>

#include <platform/dcscope.h>

namespace scope {

void DrawEdgeArrow(CDC* dc, const RECT& box, int edge, COLORREF color) {
  const CRect r(box);
  if (r.Width() <= 0 || r.Height() <= 0) return;
  const int x = r.left + r.Width() / 2;
  const int head = r.Height() / 3 > 2 ? r.Height() / 3 : 2;
  const int half = head * 2 / 3 > 1 ? head * 2 / 3 : 1;
  CPen pen;
  pen.CreatePen(PS_SOLID, 1, color);
  CBrush brush;
  brush.CreateSolidBrush(color);
  kvp::DcSelect selPen(dc, &pen);
  kvp::DcSelect selBrush(dc, &brush);
  dc->MoveTo(x, r.top);
  dc->LineTo(x, r.bottom);
  POINT tip[3];
  if (edge == 1) {
    tip[0] = {x, r.bottom - 1};
    tip[1] = {x - half, r.bottom - 1 - head};
    tip[2] = {x + half, r.bottom - 1 - head};
  } else {
    tip[0] = {x, r.top};
    tip[1] = {x - half, r.top + head};
    tip[2] = {x + half, r.top + head};
  }
  dc->Polygon(tip, 3);
}

void DrawEdgeSymbol(CDC* dc, const RECT& box, int edge, int source, COLORREF colorA, COLORREF colorB) {
  if (source == 2 || source == 3) {
    const CRect r(box);
    const int mid = r.left + r.Width() / 2;
    const COLORREF first = source == 2 ? colorA : colorB;
    const COLORREF second = source == 2 ? colorB : colorA;
    DrawEdgeArrow(dc, CRect(r.left, r.top, mid, r.bottom), edge, first);
    DrawEdgeArrow(dc, CRect(mid, r.top, r.right, r.bottom), edge, second);
    return;
  }
  DrawEdgeArrow(dc, box, edge, source == 1 ? colorB : colorA);
}

}  // namespace scope
