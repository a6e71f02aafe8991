#include "MeterDraw.h"

void MakeMeterFont(CFont& font, int height, bool bold, LPCSTR face) {
  font.DeleteObject();
  font.CreateFont(-(height > 1 ? height : 1), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, ANSI_CHARSET,
                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

void DrawZeroSymbol(CDC* dc, const RECT& r, COLORREF color) {
  const int mid = (r.left + r.right) / 2;
  const int top = r.top + (r.bottom - r.top) / 4;
  const int bottom = r.bottom - (r.bottom - r.top) / 4;
  CPen dotted(PS_DOT, 1, color);
  CPen solid(PS_SOLID, 2, color);
  CPen* old = dc->SelectObject(&dotted);
  dc->MoveTo(r.left + 4, top);
  dc->LineTo(mid, top);
  dc->SelectObject(&solid);
  dc->LineTo(mid, bottom);
  dc->LineTo(r.right - 4, bottom);
  dc->SelectObject(old);
  CRect right(mid, r.top, r.right, r.bottom);
  dc->SetTextColor(color);
  dc->DrawText("0", 1, &right, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
