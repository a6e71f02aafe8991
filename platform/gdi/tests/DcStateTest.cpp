// DC state: default objects, selection, save/restore, clipping, origins and map modes, handles.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>

#include <kvtest/Canvas.h>

using gditest::Canvas;
using gditest::kBackground;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

TEST(DcState, FreshDcDrawsWithWhiteBrushBlackPenAndSystemFont) {
  Canvas c(20, 20);
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_FONT), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(GetTextColor(c.dc()), kBlack);
  EXPECT_EQ(GetBkColor(c.dc()), kWhite);
  EXPECT_EQ(GetBkMode(c.dc()), OPAQUE);
  EXPECT_EQ(GetMapMode(c.dc()), MM_TEXT);
  // The check box draws its pressed box with "the DC's current brush".
  Rectangle(c.dc(), 2, 2, 10, 10);
  EXPECT_EQ(c.At(2, 5), kBlack);
  EXPECT_EQ(c.At(5, 5), kWhite);
}

TEST(DcState, SelectObjectReturnsTheObjectItReplaces) {
  Canvas c(4, 4);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HBRUSH brush = CreateSolidBrush(kRed);
  HFONT font = CreateFont(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  struct Case {
    HGDIOBJ obj;
    int stock;
  } cases[] = {{pen, BLACK_PEN}, {brush, WHITE_BRUSH}, {font, SYSTEM_FONT}};
  for (const auto& cs : cases) {
    EXPECT_EQ(SelectObject(c.dc(), cs.obj), GetStockObject(cs.stock));
    EXPECT_EQ(SelectObject(c.dc(), GetStockObject(cs.stock)), cs.obj);
    EXPECT_TRUE(DeleteObject(cs.obj));
    EXPECT_EQ(SelectObject(c.dc(), cs.obj), 0u) << "a deleted handle fails cleanly";
    EXPECT_FALSE(DeleteObject(cs.obj));
  }
}

TEST(DcState, DeletingASelectedObjectKeepsTheDcWorking) {
  Canvas c(10, 10);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  SelectObject(c.dc(), pen);
  EXPECT_TRUE(DeleteObject(pen));
  MoveToEx(c.dc(), 0, 5, nullptr);
  EXPECT_TRUE(LineTo(c.dc(), 10, 5));
  EXPECT_EQ(c.At(3, 5), kRed);
  EXPECT_FALSE(CloseHandle(GetStockObject(WHITE_BRUSH)));  // GDI handles are not kernel handles
  EXPECT_TRUE(DeleteObject(GetStockObject(WHITE_BRUSH)));   // stock objects survive deletion
  EXPECT_EQ(GetObjectType(GetStockObject(WHITE_BRUSH)), static_cast<DWORD>(OBJ_BRUSH));
}

TEST(DcState, SaveAndRestoreBringBackObjectsColoursOriginAndClip) {
  Canvas c(40, 40);
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  const int level = SaveDC(c.dc());
  EXPECT_EQ(level, 1);
  SelectObject(c.dc(), pen);
  SetTextColor(c.dc(), kRed);
  SetWindowOrgEx(c.dc(), 5, 5, nullptr);
  IntersectClipRect(c.dc(), 0, 0, 10, 10);
  EXPECT_EQ(SaveDC(c.dc()), 2);
  SetMapMode(c.dc(), MM_LOMETRIC);
  EXPECT_TRUE(RestoreDC(c.dc(), -1));
  EXPECT_EQ(GetMapMode(c.dc()), MM_TEXT);
  EXPECT_TRUE(RestoreDC(c.dc(), level));
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetTextColor(c.dc()), kBlack);
  POINT org;
  GetWindowOrgEx(c.dc(), &org);
  EXPECT_EQ(org.x, 0);
  RECT box;
  EXPECT_EQ(GetClipBox(c.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(CRect(box), CRect(0, 0, 40, 40));
  EXPECT_FALSE(RestoreDC(c.dc(), -1)) << "nothing left to restore";
  DeleteObject(pen);
}

TEST(DcState, ClippingLimitsDrawingUntilRemoved) {
  Canvas c(30, 30);
  HBRUSH brush = CreateSolidBrush(kRed);
  RECT all{0, 0, 30, 30};
  EXPECT_EQ(IntersectClipRect(c.dc(), 5, 5, 20, 20), SIMPLEREGION);
  EXPECT_EQ(IntersectClipRect(c.dc(), 10, 0, 30, 15), SIMPLEREGION);
  RECT box;
  GetClipBox(c.dc(), &box);
  EXPECT_EQ(CRect(box), CRect(10, 5, 20, 15));
  FillRect(c.dc(), &all, brush);
  EXPECT_EQ(c.CountInk(all), 10 * 10);
  EXPECT_EQ(c.At(10, 5), kRed);
  EXPECT_EQ(c.At(20, 5), kBackground);
  EXPECT_EQ(SelectClipRgn(c.dc(), 0), SIMPLEREGION);
  FillRect(c.dc(), &all, brush);
  EXPECT_EQ(c.CountInk(all), 30 * 30);
  EXPECT_EQ(IntersectClipRect(c.dc(), 50, 50, 60, 60), NULLREGION);
  DeleteObject(brush);
}

TEST(DcState, SurfaceDcPutsClientOriginAndClipInTheTarget) {
  // A child window whose client (0,0) lies at (20, 10) of its top-level's surface, visible only in
  // (25..45, 10..30) of that surface.
  Canvas c(40, 40, POINT{20, 10}, RECT{25, 10, 45, 30});
  RECT box;
  GetClipBox(c.dc(), &box);
  EXPECT_EQ(CRect(box), CRect(5, 0, 25, 20));
  HBRUSH brush = CreateSolidBrush(kRed);
  RECT r{0, 0, 40, 40};
  FillRect(c.dc(), &r, brush);
  EXPECT_EQ(c.SurfaceAt(25, 10), kRed);
  EXPECT_EQ(c.SurfaceAt(24, 10), kBackground);
  EXPECT_EQ(c.SurfaceAt(44, 29), kRed);
  EXPECT_EQ(c.SurfaceAt(45, 29), kBackground);
  DeleteObject(brush);
}

TEST(DcState, WindowAndViewportOriginsMoveDrawing) {
  Canvas c(30, 30);
  HBRUSH brush = CreateSolidBrush(kRed);
  SetWindowOrgEx(c.dc(), 100, 200, nullptr);
  SetViewportOrgEx(c.dc(), 3, 4, nullptr);
  RECT r{100, 200, 102, 202};
  FillRect(c.dc(), &r, brush);
  EXPECT_EQ(c.At(3, 4), kRed);
  EXPECT_EQ(c.CountInk(RECT{0, 0, 30, 30}), 4);
  POINT p{100, 200};
  LPtoDP(c.dc(), &p, 1);
  EXPECT_EQ(p.x, 3);
  EXPECT_EQ(p.y, 4);
  DPtoLP(c.dc(), &p, 1);
  EXPECT_EQ(p.x, 100);
  DeleteObject(brush);
}

TEST(DcState, LoMetricIsTenthsOfAMillimetreWithYGrowingUpwards) {
  Canvas c(200, 200);
  SetMapMode(c.dc(), MM_LOMETRIC);
  // 96 dots per inch: 254 units are 96 pixels; y grows upwards from the top.
  struct Case {
    POINT logical;
    POINT device;
  } cases[] = {{{0, 0}, {0, 0}}, {{254, -254}, {96, 96}}, {{127, -508}, {48, 192}}};
  for (const auto& cs : cases) {
    POINT p = cs.logical;
    LPtoDP(c.dc(), &p, 1);
    EXPECT_EQ(p.x, cs.device.x);
    EXPECT_EQ(p.y, cs.device.y);
  }
  // The clip box reports its top at the larger y, as page layout code expects.
  RECT box;
  GetClipBox(c.dc(), &box);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.bottom, -529);
  EXPECT_EQ(box.right, 529);
  // A rectangle given top-down in logical units (top > bottom) fills downwards on the device.
  HBRUSH brush = CreateSolidBrush(kRed);
  RECT r{0, -100, 100, -200};
  FillRect(c.dc(), &r, brush);
  EXPECT_EQ(c.At(10, 50), kRed);
  EXPECT_EQ(c.At(10, 30), kBackground);
  RECT ink;
  c.CountInk(RECT{0, 0, 200, 200}, kBackground, &ink);
  EXPECT_EQ(CRect(ink), CRect(0, 38, 38, 76));
  DeleteObject(brush);
}

// The recorder thread draws while the GUI thread paints: own DCs, shared pens, brushes and fonts.
TEST(DcState, ThreadsDrawIntoTheirOwnDcsWithSharedObjects) {
  HPEN pen = CreatePen(PS_SOLID, 1, kRed);
  HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
  HFONT font = CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  auto work = [&](COLORREF* corner, COLORREF* line, LONG* textWidth) {
    for (int round = 0; round < 20; ++round) {
      HDC mem = CreateCompatibleDC(0);
      HBITMAP bmp = CreateCompatibleBitmap(mem, 40, 20);
      HGDIOBJ oldBmp = SelectObject(mem, bmp);
      SelectObject(mem, pen);
      SelectObject(mem, brush);
      SelectObject(mem, font);
      RECT r{0, 0, 40, 20};
      FillRect(mem, &r, brush);
      MoveToEx(mem, 0, 10, nullptr);
      LineTo(mem, 40, 10);
      SIZE ext;
      GetTextExtentPoint32(mem, "\xB5s", 2, &ext);
      TextOut(mem, 2, 2, "\xB5s", 2);
      Canvas out(40, 20);
      BitBlt(out.dc(), 0, 0, 40, 20, mem, 0, 0, SRCCOPY);
      *corner = out.At(39, 19);
      *line = out.At(20, 10);
      *textWidth = ext.cx;
      SelectObject(mem, oldBmp);
      DeleteObject(bmp);
      DeleteDC(mem);
    }
  };
  COLORREF corner[2], line[2];
  LONG width[2];
  std::thread other(work, &corner[1], &line[1], &width[1]);
  work(&corner[0], &line[0], &width[0]);
  other.join();
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(corner[i], RGB(0, 0, 255));
    EXPECT_EQ(line[i], kRed);
    EXPECT_GT(width[i], 0);
  }
  EXPECT_EQ(width[0], width[1]);
  DeleteObject(pen);
  DeleteObject(brush);
  DeleteObject(font);
}

TEST(DcState, PrinterDcReportsItselfAndItsPage) {
  cairo_surface_t* page = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 100, 100);
  HDC dc = kvp::CreatePrinterDC(page, 600, SIZE{4800, 6600});
  ASSERT_NE(dc, 0u);
  EXPECT_TRUE(kvp::IsPrinterDC(dc));
  EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 600);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 4800);
  SetMapMode(dc, MM_LOMETRIC);
  RECT box;
  GetClipBox(dc, &box);
  EXPECT_EQ(box.right, 2032);   // 8 inches
  EXPECT_EQ(box.bottom, -2794);  // 11 inches
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  cairo_surface_destroy(page);
}

}  // namespace
