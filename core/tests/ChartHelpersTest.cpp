// The chart pieces: the off-screen layer, the scale range test, marker update, thumb polygons and
// the delta sign.
#include <gtest/gtest.h>

#include <core/ChartHelpers.h>
#include <core/Scale.h>
#include <core/TraceStyle.h>

#include <kvtest/Canvas.h>

#include <platform/afxwin.h>
#include <platform/display.h>

#include <vector>

using gditest::Canvas;
using gditest::kBackground;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

const char* PlainClass() {
  WNDCLASS known{};
  if (!GetClassInfo(0, "ChartHelpersHost", &known)) {
    WNDCLASS wc{};
    wc.lpfnWndProc = DefWindowProc;
    wc.lpszClassName = "ChartHelpersHost";
    AfxRegisterClass(&wc);
  }
  return "ChartHelpersHost";
}

struct Owner : CWnd {
  Owner(int w, int h) { CreateEx(0, PlainClass(), "owner", WS_POPUP | WS_VISIBLE, 0, 0, w, h, 0, 0); }
  ~Owner() override { DestroyWindow(); }
};

TEST(OffDC, IsMadeAtTheOwnersClientSizeFilledAndBlitsOneToOne) {
  Owner owner(60, 40);
  COffDC layer;
  ASSERT_TRUE(layer.Create(&owner, kGreen));
  EXPECT_EQ(layer.BlitRect(), CRect(0, 0, 60, 40));
  layer.FillSolidRect(10, 10, 5, 5, kRed);

  Canvas c(80, 50);
  CDC target;
  target.Attach(c.dc());
  EXPECT_TRUE(layer.BlitTo(&target));
  target.Detach();
  EXPECT_EQ(c.At(0, 0), kGreen);
  EXPECT_EQ(c.At(59, 39), kGreen);
  EXPECT_EQ(c.At(12, 12), kRed);
  EXPECT_EQ(c.At(60, 39), kBackground) << "only the blit rectangle is copied";
}

TEST(OffDC, ResizeRebuildsOnlyForANewRectangle) {
  Owner owner(60, 40);
  COffDC layer;
  ASSERT_TRUE(layer.Create(&owner, kGreen));
  layer.FillSolidRect(0, 0, 5, 5, kRed);
  EXPECT_EQ(layer.Resize(CRect(0, 0, 60, 40)), 0);
  EXPECT_EQ(::GetPixel(layer.m_hDC, 1, 1), kRed) << "an unchanged rectangle keeps the picture";
  EXPECT_EQ(layer.Resize(CRect(0, 0, 90, 30)), 1);
  EXPECT_EQ(layer.BlitRect(), CRect(0, 0, 90, 30));
  EXPECT_EQ(::GetPixel(layer.m_hDC, 1, 1), kGreen) << "a rebuilt layer is filled with its background";
  EXPECT_EQ(::GetPixel(layer.m_hDC, 89, 29), kGreen);
}

TEST(OffDC, ALayerThatCouldNotBeMadeBlitsNothing) {
  COffDC layer;
  EXPECT_FALSE(layer.Create(nullptr, kGreen));
  Canvas c(20, 20);
  CDC target;
  target.Attach(c.dc());
  EXPECT_FALSE(layer.BlitTo(&target));
  target.Detach();
  EXPECT_EQ(c.CountInk(RECT{0, 0, 20, 20}), 0);
}

CScale Axis(double origin, double end, double start, double span) {
  CScale s;
  s.Set(origin, end, span, 10, false);
  s.m_dStart = start;
  s.Recompute();
  return s;
}

TEST(ScaleRange, BothEndsCountOnRisingAndFallingScales) {
  struct Case {
    const char* what;
    CScale scale;
    double value;
    bool inside;
  };
  const CScale rising = Axis(0, 100, 20, 50);    // shows 20..70
  const CScale falling = Axis(100, 0, 20, 50);   // shows 80 down to 30
  const std::vector<Case> cases = {
      {"rising low end", rising, 20, true},       {"rising high end", rising, 70, true},
      {"rising below", rising, 19.999, false},    {"rising above", rising, 70.001, false},
      {"falling high end", falling, 80, true},    {"falling low end", falling, 30, true},
      {"falling above", falling, 80.001, false},  {"falling below", falling, 29.999, false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValueInScaleRange(c.scale, c.value), c.inside) << c.what;
}

TEST(MarkerFromPixel, TakesTheValueAtThePixelAndLeavesAMarkerWithoutScale) {
  CScale s = Axis(0, 100, 0, 100);
  s.SetPixels(200, 0);  // a vertical axis: value 0 at the bottom
  s.Recompute();
  CTraceStyle marker;
  marker.m_pScale = &s;
  SetPositionFromPixel(marker, 50);
  EXPECT_DOUBLE_EQ(marker.m_dValue, 75.0);
  CTraceStyle loose;
  loose.m_dValue = 12.5;
  SetPositionFromPixel(loose, 50);
  EXPECT_EQ(loose.m_dValue, 12.5);
}

TEST(ThumbShape, PointsOfEachShapeForOneRectangle) {
  // l, t, r, b = 10, 20, 30, 36: gx 5, gy 4, mx 20.
  const std::vector<std::vector<POINT>> expected = {
      {{15, 36}, {15, 28}, {10, 28}, {20, 20}, {29, 28}, {24, 28}, {24, 36}, {15, 36}},
      {{15, 20}, {15, 28}, {10, 28}, {20, 36}, {29, 28}, {24, 28}, {24, 20}, {15, 20}},
      {{29, 24}, {20, 24}, {20, 20}, {10, 28}, {20, 36}, {20, 32}, {29, 32}, {29, 24}},
      {{10, 24}, {19, 24}, {19, 20}, {29, 28}, {19, 36}, {19, 32}, {10, 32}, {10, 24}},
  };
  for (int shape = 0; shape < 5; ++shape) {
    POINT p[8];
    ThumbShapePoints(shape, 10, 20, 30, 36, p);
    const auto& want = expected[shape < 4 ? shape : 3];  // any other shape draws as 3
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(p[i].x, want[i].x) << "shape " << shape << " point " << i;
      EXPECT_EQ(p[i].y, want[i].y) << "shape " << shape << " point " << i;
    }
  }
}

TEST(ThumbShape, DrawsAFilledArrowWithTheCurrentBrush) {
  Canvas c(40, 40);
  CDC dc;
  dc.Attach(c.dc());
  CBrush red;
  red.CreateSolidBrush(kRed);
  CPen redPen;
  redPen.CreatePen(PS_SOLID, 1, kRed);
  dc.SelectObject(&red);
  dc.SelectObject(&redPen);
  DrawThumbShape(0, 10, 20, 30, 36, &dc);
  dc.Detach();
  EXPECT_EQ(c.At(20, 30), kRed) << "the shaft is filled";
  EXPECT_EQ(c.At(20, 21), kRed) << "near the tip at the top centre";
  EXPECT_EQ(c.At(11, 34), kBackground) << "beside the shaft";
}

TEST(TriangleOutline, RunsThroughTheCornersAndTheTopMiddle) {
  Canvas c(40, 40);
  CDC dc;
  dc.Attach(c.dc());
  CPen pen;
  pen.CreatePen(PS_SOLID, 1, kRed);
  dc.SelectObject(&pen);
  DrawTriangleOutline(&dc, RECT{10, 10, 30, 30});
  dc.Detach();
  EXPECT_EQ(c.At(20, 10), kRed);
  EXPECT_EQ(c.At(15, 30), kRed) << "the base";
  EXPECT_EQ(c.At(20, 20), kBackground) << "an outline, not filled";
}

}  // namespace
