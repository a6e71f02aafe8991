// The class layer: ownership of handles and the objects SelectObject hands back.
#include <gtest/gtest.h>

#include <platform/afxgdi.h>

#include <set>

#include <kvtest/Canvas.h>

using gditest::Canvas;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);

TEST(AfxGdi, ObjectsOwnTheirHandles) {
  HGDIOBJ pen, brush;
  {
    CPen p(PS_DOT, 1, kRed);
    CBrush b(kRed);
    pen = p.GetSafeHandle();
    brush = b.GetSafeHandle();
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    EXPECT_EQ(GetObjectType(brush), static_cast<DWORD>(OBJ_BRUSH));
  }
  EXPECT_EQ(GetObjectType(pen), 0u);
  EXPECT_EQ(GetObjectType(brush), 0u);

  CFont font;
  EXPECT_TRUE(font.CreateFont(-15, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 2, 1, 0, 0, "Arial"));
  LOGFONT lf{};
  EXPECT_EQ(font.GetLogFont(&lf), static_cast<int>(sizeof lf));
  EXPECT_EQ(lf.lfHeight, -15);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_STREQ(lf.lfFaceName, "Arial");
  HGDIOBJ h = font.Detach();
  EXPECT_EQ(font.GetSafeHandle(), 0u);
  EXPECT_TRUE(DeleteObject(h));
}

TEST(AfxGdi, SelectObjectHandsBackTheReplacedObjectToSelectAgain) {
  Canvas c(20, 20);
  CDC* dc = CDC::FromHandle(c.dc());
  ASSERT_EQ(dc, CDC::FromHandle(c.dc())) << "one wrapper per handle";
  CPen red(PS_SOLID, 1, kRed);
  CPen* old = dc->SelectObject(&red);
  ASSERT_NE(old, nullptr);
  EXPECT_EQ(old->GetSafeHandle(), GetStockObject(BLACK_PEN));
  EXPECT_EQ(dc->GetCurrentPen()->GetSafeHandle(), red.GetSafeHandle());
  dc->MoveTo(0, 3);
  dc->LineTo(10, 3);
  EXPECT_EQ(c.At(4, 3), kRed);
  CPen* back = dc->SelectObject(old);
  EXPECT_EQ(back->GetSafeHandle(), red.GetSafeHandle());
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
  // The wrapper of a stock object does not own it.
  EXPECT_EQ(GetObjectType(GetStockObject(BLACK_PEN)), static_cast<DWORD>(OBJ_PEN));
  dc->FillSolidRect(12, 12, 3, 3, kRed);
  EXPECT_EQ(c.CountInk(RECT{11, 11, 16, 16}), 9);
}

// Every redraw takes a new window DC; their wrappers must not pile up over a long run.
TEST(AfxGdi, WrappersOfPassingHandlesDoNotPileUp) {
  std::set<CDC*> dcs;
  std::set<CGdiObject*> pens;
  auto redraws = [&] {
    for (int i = 0; i < 1000; ++i) {
      HDC h = CreateCompatibleDC(0);
      CDC* dc = CDC::FromHandle(h);
      EXPECT_EQ(dc->GetSafeHdc(), h);
      dcs.insert(dc);
      HPEN pen = CreatePen(PS_SOLID, 1, kRed);
      HGDIOBJ old = SelectObject(h, pen);
      CPen* prev = static_cast<CPen*>(CGdiObject::FromHandle(SelectObject(h, old)));
      EXPECT_EQ(prev->GetSafeHandle(), pen);
      pens.insert(prev);
      DeleteObject(pen);
      DeleteDC(h);
    }
  };
  redraws();
  const size_t afterFirst = dcs.size() + pens.size();
  EXPECT_LT(afterFirst, 1000u);
  redraws();
  EXPECT_EQ(dcs.size() + pens.size(), afterFirst) << "handles come back to the same slots and wrappers";
}

TEST(AfxGdi, MemoryDcAndImageList) {
  Canvas c(20, 20);
  CDC* target = CDC::FromHandle(c.dc());
  HDC memHandle;
  {
    CDC mem;
    ASSERT_TRUE(mem.CreateCompatibleDC(target));
    memHandle = mem.GetSafeHdc();
    CBitmap strip;
    ASSERT_TRUE(strip.CreateCompatibleBitmap(target, 8, 4));
    BITMAP bm{};
    strip.GetBitmap(&bm);
    EXPECT_EQ(bm.bmWidth, 8);
    CBitmap* old = mem.SelectObject(&strip);
    ASSERT_NE(old, nullptr);
    mem.FillSolidRect(0, 0, 8, 4, RGB(255, 0, 255));
    mem.FillSolidRect(4, 0, 4, 4, kRed);
    mem.SelectObject(old);

    CImageList list;
    ASSERT_TRUE(list.Create(4, 4, ILC_COLOR32 | ILC_MASK, 2, 1));
    EXPECT_EQ(list.Add(&strip, RGB(255, 0, 255)), 0);
    EXPECT_EQ(list.GetImageCount(), 2);
    list.Draw(target, 0, CPoint(1, 1), ILD_TRANSPARENT);  // all magenta: nothing
    EXPECT_EQ(c.CountInk(RECT{0, 0, 20, 20}), 0);
    list.Draw(target, 1, CPoint(1, 1), ILD_TRANSPARENT);
    EXPECT_EQ(c.CountInk(RECT{0, 0, 20, 20}), 16);
  }
  EXPECT_EQ(GetObjectType(memHandle), 0u) << "the DC went with its object";
}

}  // namespace
