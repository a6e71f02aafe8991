#include "QueuePictures.h"

#include <platform/afxwin.h>
#include <platform/dcscope.h>
#include <platform/resources.h>

namespace ui_print {

namespace {

constexpr int kSize = 76;

// A sheet of paper with lines of text.
void Sheet(CDC& dc, int left, int top, int right, int bottom) {
  CBrush white(RGB(255, 255, 255));
  CPen outline(PS_SOLID, 2, RGB(40, 40, 40));
  CPen text(PS_SOLID, 2, RGB(90, 110, 160));
  kvp::DcSelect selectBrush(&dc, &white);
  kvp::DcSelect selectPen(&dc, &outline);
  dc.Rectangle(left, top, right, bottom);
  selectPen.Select(&text);
  for (int y = top + 8; y < bottom - 6; y += 7) {
    dc.MoveTo(left + 6, y);
    dc.LineTo(right - 6, y);
  }
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
  {
    kvp::DcSelect selectPen(&dc, &outline);
    kvp::DcSelect selectBrush(&dc, &body);
    dc.Rectangle(6, 32, 70, 62);
    selectBrush.Select(&tray);
    dc.Rectangle(16, 56, 60, 72);
  }
  CBrush lamp(RGB(40, 200, 60));
  dc.FillRect(CRect(58, 38, 64, 44), &lamp);
}

constexpr int kBoxSize = 30;

// The preview's box faces: a white square with a dark frame and a symbol.
void BoxFrame(CDC& dc) {
  dc.FillSolidRect(0, 0, kBoxSize, kBoxSize, RGB(255, 255, 255));
  CPen frame(PS_SOLID, 1, RGB(60, 60, 60));
  kvp::DcSelect selectPen(&dc, &frame);
  kvp::DcSelect selectBrush(dc.GetSafeHdc(), GetStockObject(NULL_BRUSH));
  dc.Rectangle(3, 3, kBoxSize - 3, kBoxSize - 3);
}

void DrawTick(CDC& dc) {
  CPen tick(PS_SOLID, 3, RGB(20, 140, 40));
  kvp::DcSelect selectPen(&dc, &tick);
  dc.MoveTo(8, 15);
  dc.LineTo(13, 21);
  dc.LineTo(23, 8);
}

void DrawCross(CDC& dc) {
  CPen cross(PS_SOLID, 3, RGB(200, 30, 30));
  kvp::DcSelect selectPen(&dc, &cross);
  dc.MoveTo(9, 9);
  dc.LineTo(21, 21);
  dc.MoveTo(21, 9);
  dc.LineTo(9, 21);
}

// A speech bubble with two lines of text.
void DrawComment(CDC& dc) {
  CPen outline(PS_SOLID, 1, RGB(30, 60, 140));
  CBrush fill(RGB(255, 240, 160));
  kvp::DcSelect selectPen(&dc, &outline);
  kvp::DcSelect selectBrush(&dc, &fill);
  dc.Rectangle(7, 8, 24, 19);
  const POINT tail[] = {{11, 18}, {11, 23}, {16, 18}};
  dc.Polygon(tail, 3);
  dc.MoveTo(10, 12);
  dc.LineTo(21, 12);
  dc.MoveTo(10, 15);
  dc.LineTo(18, 15);
}

}  // namespace

bool LoadQueuePicture(CBitmap& picture, int id) {
  picture.DeleteObject();
  if (HBITMAP resource = ::LoadBitmap(AfxGetInstanceHandle(), MAKEINTRESOURCE(id))) {
    return picture.Attach(resource) != FALSE;
  }
  const bool queuePicture = id == 209 || id == 210;
  if (!queuePicture && id != 204 && id != 205 && id != 212 && id != 216) return false;
  const int size = queuePicture ? kSize : kBoxSize;
  CDC screen;
  screen.Attach(::GetDC(0));
  CDC mem;
  mem.CreateCompatibleDC(&screen);
  picture.CreateCompatibleBitmap(&screen, size, size);
  ::ReleaseDC(0, screen.Detach());
  {
    kvp::DcSelect selectBitmap(&mem, &picture);
    if (queuePicture) mem.FillSolidRect(0, 0, size, size, RGB(255, 0, 0));
    switch (id) {
      case 209: DrawAdd(mem); break;
      case 210: DrawPrint(mem); break;
      case 204: BoxFrame(mem); break;
      case 205: BoxFrame(mem); DrawTick(mem); break;
      case 212: BoxFrame(mem); DrawCross(mem); break;
      default: BoxFrame(mem); DrawComment(mem); break;
    }
  }
  return true;
}

}  // namespace ui_print
