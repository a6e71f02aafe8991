#include "MeterDraw.h"

#include <platform/dcscope.h>

#include <cstring>

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
  {
    kvp::DcSelect selectPen(dc, &dotted);
    dc->MoveTo(r.left + 4, top);
    dc->LineTo(mid, top);
    selectPen.Select(&solid);
    dc->LineTo(mid, bottom);
    dc->LineTo(r.right - 4, bottom);
  }
  CRect right(mid, r.top, r.right, r.bottom);
  dc->SetTextColor(color);
  dc->DrawText("0", 1, &right, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void DrawFittedCaption(CDC* dc, LPCSTR text, const RECT& box, CFont& font, int margin) {
  CFont* old = dc->SelectObject(&font);
  const int room = (box.right - box.left) - 2 * margin;
  const int wide = dc->GetTextExtent(text, static_cast<int>(strlen(text))).cx;
  CFont smaller;
  if (wide > room && room > 0) {
    LOGFONT lf{};
    font.GetLogFont(&lf);
    // Text width grows with the font height: scale the height by the room left, then step down
    // while rounding still leaves it too wide.
    const bool cellHeight = lf.lfHeight > 0;
    const long long full = cellHeight ? lf.lfHeight : -static_cast<long long>(lf.lfHeight);
    for (long long size = full * room / wide; size >= 1; --size) {
      lf.lfHeight = static_cast<LONG>(cellHeight ? size : -size);
      dc->SelectObject(&font);  // the smaller font of the last step is deselected before it goes
      smaller.DeleteObject();
      if (!smaller.CreateFontIndirect(&lf)) break;
      dc->SelectObject(&smaller);
      if (dc->GetTextExtent(text, static_cast<int>(strlen(text))).cx <= room) break;
    }
  }
  RECT r = box;
  dc->DrawText(text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dc->SelectObject(old);
}
