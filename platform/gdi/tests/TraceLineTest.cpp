// A trace drawn with one PolylineTo call shows the same pixels as the same points joined by LineTo.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <kvtest/Canvas.h>

using gditest::Canvas;

namespace {

constexpr COLORREF kGreen = RGB(0, 255, 0);

struct Case {
  const char* name;
  std::vector<POINT> points;
};

std::vector<Case> Cases() {
  std::vector<Case> cases = {
      {"zigzag of one pixel", {}},
      {"zigzag of steep edges", {}},
      {"flat runs and steps", {{2, 40}, {10, 40}, {11, 40}, {12, 40}, {12, 41}, {30, 41}, {31, 20}, {32, 20}, {50, 20}}},
      {"repeated points", {{5, 5}, {5, 5}, {20, 30}, {20, 30}, {20, 30}, {40, 10}, {40, 10}}},
      {"points far outside", {{-500, 30}, {10, 30}, {20, -900}, {30, 70}, {40, 2000}, {300, 40}}},
      {"sharp spikes", {{5, 60}, {6, 2}, {7, 60}, {8, 2}, {9, 60}, {30, 58}, {31, 59}, {32, 1}}},
      {"shallow diagonals", {{0, 10}, {60, 13}, {0, 16}, {60, 19}, {3, 22}}},
      {"straight runs up, down and across",
       {{10, 5}, {10, 50}, {12, 50}, {12, 8}, {13, 8}, {13, 9}, {20, 9}, {20, 8}, {40, 8}, {40, 60}, {41, 59},
        {41, 3}}},
      {"straight runs out of sight",
       {{5, -3}, {5, 70}, {30, 70}, {30, -2000}, {31, -2000}, {31, 3000}, {-900, 33}, {900, 33}, {50, 33}, {50, -900}}},
  };
  for (int x = 0; x < 60; ++x) cases[0].points.push_back(POINT{x, 30 + (x % 2)});
  for (int x = 0; x < 60; ++x) cases[1].points.push_back(POINT{x, x % 2 ? 5 : 55});
  Case sine{"sine", {}};
  for (int x = 0; x < 64; ++x) sine.points.push_back(POINT{x, static_cast<LONG>(32 + 28 * std::sin(x / 3.0))});
  cases.push_back(sine);
  Case noise{"noisy signal", {}};
  unsigned seed = 12345;
  for (int x = 0; x < 64; ++x) {
    seed = seed * 1103515245 + 12345;
    noise.points.push_back(POINT{x, static_cast<LONG>(32 + (seed >> 16) % 9 - 4)});
  }
  cases.push_back(noise);
  // Lines in every direction out of one point and back, and long random lines.
  Case fan{"a fan of directions", {}};
  for (int k = 0; k < 48; ++k) {
    fan.points.push_back(POINT{31, 32});
    fan.points.push_back(POINT{static_cast<LONG>(31.5 + 29 * std::cos(k * 0.131)), static_cast<LONG>(32 + 29 * std::sin(k * 0.131))});
  }
  cases.push_back(fan);
  Case wild{"random lines", {}};
  for (int k = 0; k < 40; ++k) {
    seed = seed * 1103515245 + 12345;
    wild.points.push_back(POINT{static_cast<LONG>((seed >> 8) % 80) - 8, static_cast<LONG>((seed >> 20) % 80) - 8});
  }
  cases.push_back(wild);
  return cases;
}

std::unique_ptr<Canvas> Draw(const std::vector<POINT>& pts, int width, bool oneCall) {
  auto c = std::make_unique<Canvas>(64, 64);
  HPEN pen = CreatePen(PS_SOLID, width, kGreen);
  HGDIOBJ old = SelectObject(c->dc(), pen);
  if (oneCall) {
    MoveToEx(c->dc(), pts[0].x, pts[0].y, nullptr);
    PolylineTo(c->dc(), pts.data() + 1, static_cast<DWORD>(pts.size() - 1));
  } else {
    MoveToEx(c->dc(), pts[0].x, pts[0].y, nullptr);
    for (size_t i = 1; i < pts.size(); ++i) LineTo(c->dc(), pts[i].x, pts[i].y);
  }
  SelectObject(c->dc(), old);
  DeleteObject(pen);
  return c;
}

TEST(TraceLine, PolylineToEqualsTheLineToChain) {
  for (const Case& cs : Cases()) {
    for (int width : {1, 2, 3}) {
      SCOPED_TRACE(std::string(cs.name) + ", pen " + std::to_string(width));
      const auto chain = Draw(cs.points, width, false);
      const auto one = Draw(cs.points, width, true);
      int wrong = 0;
      std::string map;
      for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
          const bool a = chain->At(x, y) == kGreen, b = one->At(x, y) == kGreen;
          wrong += a != b;
          map += a && b ? '#' : a ? 'c' : b ? 'p' : '.';
        }
        map += '\n';
      }
      EXPECT_EQ(wrong, 0) << map;
    }
  }
}

// Many random chains on targets placed in a larger surface and clipped, with lines from a pixel
// long to far beyond the target, in three pens and several colours: every 32-bit pixel word of the
// surface (the parts outside the clip too) is the LineTo chain's, whether the lines are filled
// straight into the pixels or through Cairo (as on targets that are not image surfaces).
class TraceLineFill : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { previous_ = kvp::SetDirectLineFill(GetParam()); }
  void TearDown() override { kvp::SetDirectLineFill(previous_); }

 private:
  bool previous_ = true;
};

INSTANTIATE_TEST_SUITE_P(Direct, TraceLineFill, ::testing::Values(true));
INSTANTIATE_TEST_SUITE_P(ThroughCairo, TraceLineFill, ::testing::Values(false));

TEST_P(TraceLineFill, RandomChainsOnClippedTargetsEqualTheLineToChain) {
  struct Target {
    POINT origin;
    RECT clip;  // surface coordinates
  };
  const Target targets[] = {
      {{0, 0}, {0, 0, 96, 80}},     // the whole target
      {{13, 7}, {20, 9, 90, 70}},   // moved in its surface, clipped inside
      {{5, 31}, {0, 0, 40, 111}},   // clip narrower than the target
      {{0, 0}, {33, 33, 34, 34}},   // one pixel
  };
  const COLORREF colours[] = {RGB(0, 255, 0), RGB(1, 2, 3), RGB(255, 255, 255), RGB(200, 17, 128)};
  unsigned seed = 2024;
  auto next = [&](int span) {
    seed = seed * 1103515245 + 12345;
    return static_cast<LONG>((seed >> 8) % (2 * span + 1)) - span;
  };
  int chains = 0;
  for (const Target& t : targets) {
    for (int k = 0; k < 60; ++k, ++chains) {
      const int span = k % 4 == 0 ? 2 : k % 4 == 1 ? 9 : k % 4 == 2 ? 60 : 900;
      std::vector<POINT> pts;
      LONG x = 48 + next(40), y = 40 + next(35);
      for (int i = 0; i < 24; ++i) {
        pts.push_back(POINT{x, y});
        x = i % 5 == 4 ? 48 + next(40) : x + next(span);
        y = y + next(span);
      }
      const int width = 1 + k % 3;
      const COLORREF colour = colours[k % 4];
      auto draw = [&](bool oneCall) {
        auto c = std::make_unique<Canvas>(96, 80, t.origin, t.clip);
        HPEN pen = CreatePen(PS_SOLID, width, colour);
        HGDIOBJ old = SelectObject(c->dc(), pen);
        MoveToEx(c->dc(), pts[0].x, pts[0].y, nullptr);
        if (oneCall)
          PolylineTo(c->dc(), pts.data() + 1, static_cast<DWORD>(pts.size() - 1));
        else
          for (size_t i = 1; i < pts.size(); ++i) LineTo(c->dc(), pts[i].x, pts[i].y);
        SelectObject(c->dc(), old);
        DeleteObject(pen);
        cairo_surface_flush(c->surface());
        return c;
      };
      const auto chain = draw(false), one = draw(true);
      const int h = cairo_image_surface_get_height(chain->surface());
      const int stride = cairo_image_surface_get_stride(chain->surface());
      int wrong = 0;
      for (int row = 0; row < h; ++row) {
        const auto* a = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(chain->surface()) + row * stride);
        const auto* b = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(one->surface()) + row * stride);
        for (int col = 0; col < cairo_image_surface_get_width(chain->surface()); ++col) wrong += a[col] != b[col];
      }
      EXPECT_EQ(wrong, 0) << "chain " << chains << ", pen " << width << ", span " << span;
    }
  }
}

}  // namespace
