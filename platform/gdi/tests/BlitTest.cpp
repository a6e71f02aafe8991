// Bitmaps, memory DCs, block transfers, colour keys, image lists and icons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <kvtest/Canvas.h>

using gditest::Canvas;
using gditest::kBackground;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kMagenta = RGB(255, 0, 255);
constexpr COLORREF kNearRed = RGB(254, 0, 0);

// A 32-bit bitmap from a picture: one character per pixel, by the legend.
HBITMAP Picture(const std::vector<std::string>& rows) {
  auto pixel = [](char ch) -> uint32_t {
    COLORREF c = ch == 'R' ? kRed : ch == 'G' ? kGreen : ch == 'M' ? kMagenta : ch == 'n' ? kNearRed : RGB(0, 0, 0);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);  // B, G, R, A bytes in memory
  };
  std::vector<uint32_t> bits;
  for (const auto& row : rows)
    for (char ch : row) bits.push_back(pixel(ch));
  return CreateBitmap(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), 1, 32, bits.data());
}

TEST(Blit, BitBltCopiesAMemoryDcOntoTheWindow) {
  Canvas c(30, 30);
  HDC mem = CreateCompatibleDC(c.dc());
  HBITMAP bmp = CreateCompatibleBitmap(c.dc(), 10, 6);
  HGDIOBJ old = SelectObject(mem, bmp);
  ASSERT_NE(old, 0u);
  HBRUSH brush = CreateSolidBrush(kRed);
  RECT r{0, 0, 10, 6};
  FillRect(mem, &r, brush);
  ASSERT_TRUE(BitBlt(c.dc(), 5, 7, 10, 6, mem, 0, 0, SRCCOPY));
  RECT ink;
  EXPECT_EQ(c.CountInk(RECT{0, 0, 30, 30}, kBackground, &ink), 60);
  EXPECT_EQ(CRect(ink), CRect(5, 7, 15, 13));
  EXPECT_EQ(c.At(5, 7), kRed);
  BITMAP bm{};
  EXPECT_EQ(GetObject(bmp, sizeof bm, &bm), static_cast<int>(sizeof bm));
  EXPECT_EQ(bm.bmWidth, 10);
  EXPECT_EQ(bm.bmHeight, 6);
  SelectObject(mem, old);
  DeleteObject(brush);
  DeleteObject(bmp);
  DeleteDC(mem);
}

TEST(Blit, ABitmapIsSelectedIntoOneDcAtATime) {
  HDC a = CreateCompatibleDC(0);
  HDC b = CreateCompatibleDC(0);
  HBITMAP bmp = CreateCompatibleBitmap(a, 4, 4);
  HGDIOBJ oldA = SelectObject(a, bmp);
  EXPECT_NE(oldA, 0u);
  EXPECT_EQ(SelectObject(b, bmp), 0u);
  SelectObject(a, oldA);
  EXPECT_NE(SelectObject(b, bmp), 0u);
  DeleteDC(b);  // deleting the DC frees the bitmap for others
  EXPECT_NE(SelectObject(a, bmp), 0u);
  DeleteDC(a);
  DeleteObject(bmp);
  EXPECT_EQ(CreateCompatibleBitmap(0, 0, 5), 0u);
  EXPECT_EQ(CreateCompatibleBitmap(0, 100000, 5), 0u);
}

TEST(Blit, ColourKeyedCopyLeavesOutPureRedOnly) {
  Canvas c(10, 4);
  HDC mem = CreateCompatibleDC(c.dc());
  HBITMAP bmp = Picture({"RGnR", "GRRG"});
  HGDIOBJ old = SelectObject(mem, bmp);
  ASSERT_TRUE(TransparentBlt(c.dc(), 2, 1, 4, 2, mem, 0, 0, 4, 2, RGB(255, 0, 0)));
  EXPECT_EQ(c.At(2, 1), kBackground);
  EXPECT_EQ(c.At(3, 1), kGreen);
  EXPECT_EQ(c.At(4, 1), kNearRed);  // only the exact key is transparent
  EXPECT_EQ(c.At(5, 1), kBackground);
  EXPECT_EQ(c.Row(2, 0, 10, kBackground), "##.##.####");
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
}

TEST(Blit, ImageListCutsTheStripAndDrawsWithoutTheMagentaKey) {
  Canvas c(20, 10);
  HBITMAP strip = Picture({"MGGMRRRR", "GGGGRMMR"});
  HIMAGELIST list = ImageList_Create(4, 2, ILC_COLOR32 | ILC_MASK, 2, 1);
  ASSERT_NE(list, 0u);
  EXPECT_EQ(ImageList_AddMasked(list, strip, kMagenta), 0);
  EXPECT_EQ(ImageList_GetImageCount(list), 2);
  ASSERT_TRUE(ImageList_Draw(list, 1, c.dc(), 3, 4, ILD_TRANSPARENT));
  EXPECT_EQ(c.Row(4, 0, 10, kRed), "...####...");
  EXPECT_EQ(c.Row(5, 0, 10, kRed), "...#..#...");
  EXPECT_EQ(c.At(4, 5), kBackground);
  EXPECT_FALSE(ImageList_Draw(list, 2, c.dc(), 0, 0, ILD_NORMAL));
  EXPECT_TRUE(ImageList_Destroy(list));
  EXPECT_EQ(ImageList_GetImageCount(list), 0);
  DeleteObject(strip);
}

TEST(Blit, IconDrawsItsColourThroughItsMask) {
  Canvas c(10, 10);
  HBITMAP color = Picture({"GGG", "GRG"});
  HBITMAP mask = Picture({"...", "MM."});  // non-black mask pixels are transparent
  ICONINFO info{TRUE, 0, 0, mask, color};
  HICON icon = CreateIconIndirect(&info);
  ASSERT_NE(icon, 0u);
  ASSERT_TRUE(DrawIcon(c.dc(), 2, 2, icon));
  EXPECT_EQ(c.Row(2, 0, 6, kGreen), "..###.");
  EXPECT_EQ(c.Row(3, 0, 6, kBackground), "####.#");
  EXPECT_EQ(c.At(4, 3), kGreen);
  EXPECT_NE(kvp::IconSurface(icon), nullptr);
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DrawIcon(c.dc(), 2, 2, icon));
  DeleteObject(color);
  DeleteObject(mask);
}

cairo_status_t AppendBytes(void* closure, const unsigned char* data, unsigned int length) {
  static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
  return CAIRO_STATUS_SUCCESS;
}

TEST(Blit, BitmapFromPngBytes) {
  cairo_surface_t* art = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 3, 2);
  cairo_t* cr = cairo_create(art);
  cairo_set_source_rgb(cr, 0, 1, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  std::string png;
  cairo_surface_write_to_png_stream(art, AppendBytes, &png);
  cairo_surface_destroy(art);

  HBITMAP bmp = kvp::CreateBitmapFromPng(png.data(), png.size());
  ASSERT_NE(bmp, 0u);
  BITMAP bm{};
  GetObject(bmp, sizeof bm, &bm);
  EXPECT_EQ(bm.bmWidth, 3);
  EXPECT_EQ(bm.bmHeight, 2);
  Canvas c(5, 5);
  HDC mem = CreateCompatibleDC(c.dc());
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(c.dc(), 0, 0, 3, 2, mem, 0, 0, SRCCOPY);
  EXPECT_EQ(c.At(2, 1), kGreen);
  SelectObject(mem, old);
  DeleteDC(mem);
  DeleteObject(bmp);

  EXPECT_EQ(kvp::CreateBitmapFromPng(png.data(), png.size() / 2), 0u) << "a cut PNG is refused";
  EXPECT_EQ(kvp::CreateBitmapFromPng("not a png", 9), 0u);
}

}  // namespace
