#include "QueuePictures.h"

#include <platform/afxwin.h>
#include <platform/resources.h>

namespace ui_print {

namespace {

constexpr int kSize = 76;

// A sheet of paper with lines of text.
void Sheet(CDC& dc, int left, int top, int right, int bottom) {
  CBrush white(RGB(255, 255, 255));
  CPen outline(PS_SOLID, 2, RGB(40, 40, 40));
  CBrush* oldBrush = dc.SelectObject(&white);
  CPen* oldPen = dc.SelectObject(&outline);
  dc.Rectangle(left, top, right, bottom);
  CPen text(PS_SOLID, 2, RGB(90, 110, 160));
  dc.SelectObject(&text);
  for (int y = top + 8; y < bottom - 6; y += 7) {
    dc.MoveTo(left + 6, y);
    dc.LineTo(right - 6, y);
  }
  dc.SelectObject(oldPen);
  dc.SelectObject(oldBrush);
}

void DrawAdd(CDC& dc) {
  Sheet(dc, 10, 6, 50, 62);
  // A green plus at the lower right.
  CBrush green(RGB(30, 150, 50));
  dc.FillRect(CRect(44, 48, 70, 58), &green);
  dc.FillRect(CRect(52, 40, 62, 66), &green);
}

void DrawPrint(CDC& dc) {
  Sheet(dc, 20, 4, 56, 40);
  CBrush body(RGB(110, 110, 120));
  CBrush tray(RGB(60, 60, 70));
  CPen outline(PS_SOLID, 2, RGB(30, 30, 30));
  CPen* oldPen = dc.SelectObject(&outline);
  CBrush* oldBrush = dc.SelectObject(&body);
  dc.Rectangle(6, 32, 70, 62);
  dc.SelectObject(&tray);
  dc.Rectangle(16, 56, 60, 72);
  dc.SelectObject(oldBrush);
  dc.SelectObject(oldPen);
  CBrush lamp(RGB(40, 200, 60));
  dc.FillRect(CRect(58, 38, 64, 44), &lamp);
}

}  // namespace

bool LoadQueuePicture(CBitmap& picture, int id) {
  picture.DeleteObject();
  if (HBITMAP resource = ::LoadBitmap(AfxGetInstanceHandle(), MAKEINTRESOURCE(id))) {
    return picture.Attach(resource) != FALSE;
  }
  if (id != 209 && id != 210) return false;
  CDC screen;
  screen.Attach(::GetDC(0));
  CDC mem;
  mem.CreateCompatibleDC(&screen);
  picture.CreateCompatibleBitmap(&screen, kSize, kSize);
  ::ReleaseDC(0, screen.Detach());
  CBitmap* old = mem.SelectObject(&picture);
  mem.FillSolidRect(0, 0, kSize, kSize, RGB(255, 0, 0));
  if (id == 209) {
    DrawAdd(mem);
  } else {
    DrawPrint(mem);
  }
  mem.SelectObject(old);
  return true;
}

}  // namespace ui_print
