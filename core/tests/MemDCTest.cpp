// The off-screen drawing context: buffering the clip box, window coordinates, printers.
#include <gtest/gtest.h>

#include <kvtest/Canvas.h>
#include <core/MemDC.h>

using gditest::Canvas;
using gditest::kBackground;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

// A paint DC whose invalid area is a box in the middle of a 100 x 80 window placed at (7, 5) in
// its top-level's surface.
TEST(MemDC, PaintsTheClipBoxInTheMiddleOfAWindowAtWindowCoordinates) {
  const POINT origin{7, 5};
  const RECT invalid{30, 20, 60, 50};  // client coordinates
  Canvas c(100, 80, origin,
           RECT{invalid.left + origin.x, invalid.top + origin.y, invalid.right + origin.x, invalid.bottom + origin.y});
  CDC paint;
  paint.Attach(c.dc());
  {
    CMemDC dc(&paint);
    EXPECT_NE(dc.GetSafeHdc(), paint.GetSafeHdc());
    RECT box;
    dc.GetClipBox(&box);
    EXPECT_EQ(CRect(box), CRect(invalid)) << "the buffer covers exactly the clip box";
    BITMAP bm{};
    dc.GetCurrentBitmap()->GetBitmap(&bm);
    EXPECT_EQ(bm.bmWidth, 30);
    EXPECT_EQ(bm.bmHeight, 30);
    // Paint the whole client area as a pane does; only the box may reach the window.
    dc.FillSolidRect(0, 0, 100, 80, kGreen);
    dc.FillSolidRect(40, 25, 5, 5, kRed);
    EXPECT_EQ(c.CountInk(RECT{0, 0, 100, 80}), 0) << "nothing shows before the copy-back";
  }
  paint.Detach();
  EXPECT_EQ(c.At(30, 20), kGreen);
  EXPECT_EQ(c.At(59, 49), kGreen);
  EXPECT_EQ(c.At(40, 25), kRed);
  EXPECT_EQ(c.At(44, 29), kRed);
  EXPECT_EQ(c.At(45, 29), kGreen);
  EXPECT_EQ(c.At(29, 20), kBackground);
  EXPECT_EQ(c.At(60, 49), kBackground);
  EXPECT_EQ(c.CountInk(RECT{0, 0, 100, 80}), 30 * 30);
}

TEST(MemDC, AnEmptyClipBoxPaintsNothing) {
  Canvas c(40, 40, POINT{0, 0}, RECT{0, 0, 0, 0});
  CDC paint;
  paint.Attach(c.dc());
  {
    CMemDC dc(&paint);
    dc.FillSolidRect(0, 0, 40, 40, kRed);
  }
  paint.Detach();
  EXPECT_EQ(c.CountInk(RECT{0, 0, 40, 40}), 0);
}

TEST(MemDC, APrinterDcIsDrawnOnDirectly) {
  cairo_surface_t* page = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 72, 72);
  CDC printer;
  printer.Attach(kvp::CreatePrinterDC(page, 72, SIZE{72, 72}));
  ASSERT_TRUE(printer.IsPrinting());
  {
    CMemDC dc(&printer);
    EXPECT_EQ(dc.GetSafeHdc(), printer.GetSafeHdc()) << "no bitmap in between";
    dc.FillSolidRect(10, 10, 5, 5, kRed);
    cairo_surface_flush(page);
    auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(page) +
                                           12 * cairo_image_surface_get_stride(page));
    EXPECT_EQ(px[12] & 0xFFFFFFu, 0xFF0000u) << "already on the page";
  }
  EXPECT_EQ(GetObjectType(printer.GetSafeHdc()), static_cast<DWORD>(OBJ_DC)) << "the printer DC stays";
  printer.DeleteDC();
  cairo_surface_destroy(page);
}

}  // namespace
