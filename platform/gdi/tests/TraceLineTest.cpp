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

}  // namespace
