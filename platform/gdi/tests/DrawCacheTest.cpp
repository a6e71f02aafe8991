// What the drawing layer keeps between calls (text layouts and widths, outlines of shapes,
// off-screen buffers, polylines cut to the clip) must never show: a drawing after any history
// looks exactly like the same drawing done first thing on a fresh thread, whose caches are empty.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <kvtest/Canvas.h>

using gditest::Canvas;
using gditest::kBackground;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

using Paint = std::function<void(HDC)>;

std::vector<COLORREF> PixelsOf(const Canvas& c, int w, int h) {
  std::vector<COLORREF> out;
  out.reserve(static_cast<size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.push_back(c.At(x, y));
  return out;
}

// `paint` on a fresh canvas of the calling thread, after `history` was drawn on it and wiped off
// again (the DC's state is put back around the history).
std::vector<COLORREF> Render(int w, int h, const Paint& history, const Paint& paint) {
  Canvas c(w, h);
  if (history) {
    const int saved = SaveDC(c.dc());
    history(c.dc());
    RestoreDC(c.dc(), saved);
    c.Fill(kBackground);
  }
  paint(c.dc());
  return PixelsOf(c, w, h);
}

// `paint` first thing on a thread of its own: nothing cached yet.
std::vector<COLORREF> RenderFresh(int w, int h, const Paint& paint) {
  std::vector<COLORREF> out;
  std::thread t([&] { out = Render(w, h, nullptr, paint); });
  t.join();
  return out;
}

int Differences(const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
  if (a.size() != b.size()) return -1;
  int n = 0;
  for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
  return n;
}

HFONT MakeFont(int height, int weight = FW_NORMAL, bool italic = false, bool underline = false,
               const char* face = "Arial", int escapement = 0) {
  return CreateFont(height, 0, escapement, escapement, weight, italic, underline, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
}

// Draws `text` in a font of its own with the given colours and background mode.
Paint TextIn(const char* text, std::function<HFONT()> font, COLORREF color = RGB(255, 255, 255),
             int bkMode = TRANSPARENT, COLORREF bk = RGB(0, 0, 128)) {
  return [=](HDC dc) {
    HFONT f = font();
    HGDIOBJ old = SelectObject(dc, f);
    SetTextColor(dc, color);
    SetBkMode(dc, bkMode);
    SetBkColor(dc, bk);
    TextOut(dc, 10, 60, text, -1);
    RECT box{5, 5, 115, 40};
    DrawText(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SelectObject(dc, old);
    DeleteObject(f);
  };
}

TEST(DrawCache, TextAfterAnyOtherTextLooksAsOnAFreshThread) {
  // Every case draws the same words, so a cache that keyed on the text alone would hand back the
  // layout of an earlier case.
  const char* kText = "CH1 50 mV";
  const Paint plain = TextIn(kText, [] { return MakeFont(-12); });
  struct Case {
    const char* name;
    Paint paint;
  } cases[] = {
      {"plain", plain},
      {"larger", TextIn(kText, [] { return MakeFont(-20); })},
      {"bold", TextIn(kText, [] { return MakeFont(-12, FW_BOLD); })},
      {"italic", TextIn(kText, [] { return MakeFont(-12, FW_NORMAL, true); })},
      {"underlined", TextIn(kText, [] { return MakeFont(-12, FW_NORMAL, false, true); })},
      {"other face", TextIn(kText, [] { return MakeFont(-12, FW_NORMAL, false, false, "Times New Roman"); })},
      {"cell height", TextIn(kText, [] { return MakeFont(16); })},
      {"turned upwards", TextIn(kText, [] { return MakeFont(-12, FW_NORMAL, false, false, "Arial", 900); })},
      {"red", TextIn(kText, [] { return MakeFont(-12); }, kRed)},
      {"opaque", TextIn(kText, [] { return MakeFont(-12); }, kRed, OPAQUE)},
      {"shorter text", TextIn("CH1 50", [] { return MakeFont(-12); })},
  };
  // The history of each case is every other case, the turned text last: the Cairo context's
  // transformation then differs from the one the case draws with.
  Paint all = [&](HDC dc) {
    for (const auto& cs : cases) cs.paint(dc);
    cases[7].paint(dc);
  };
  for (const auto& cs : cases) {
    SCOPED_TRACE(cs.name);
    const auto fresh = RenderFresh(120, 100, cs.paint);
    EXPECT_EQ(Differences(Render(120, 100, all, cs.paint), fresh), 0);
    EXPECT_NE(Differences(fresh, std::vector<COLORREF>(fresh.size(), kBackground)), 0);  // it drew something
  }
  // The cases differ from the plain text: otherwise the comparison above would prove nothing.
  const auto plainPixels = RenderFresh(120, 100, plain);
  for (size_t i = 1; i < std::size(cases); ++i)
    EXPECT_GT(Differences(RenderFresh(120, 100, cases[i].paint), plainPixels), 0) << cases[i].name;
}

TEST(DrawCache, TextMeasuresAfterAnyOtherTextAsOnAFreshThread) {
  struct Case {
    int height;
    int weight;
    const char* text;
  } cases[] = {{-12, FW_NORMAL, "500 mV"}, {-20, FW_NORMAL, "500 mV"}, {-12, FW_BOLD, "500 mV"},
               {-12, FW_NORMAL, "500 m"},  {16, FW_NORMAL, "500 mV"},  {-12, FW_NORMAL, "WWW"}};
  auto measure = [&](HDC dc, const Case& cs) {
    HFONT f = MakeFont(cs.height, cs.weight);
    HGDIOBJ old = SelectObject(dc, f);
    SIZE size{};
    GetTextExtentPoint32(dc, cs.text, -1, &size);
    TEXTMETRIC tm{};
    GetTextMetrics(dc, &tm);
    SelectObject(dc, old);
    DeleteObject(f);
    return std::vector<LONG>{size.cx, size.cy, tm.tmAscent, tm.tmDescent, tm.tmAveCharWidth, tm.tmMaxCharWidth};
  };
  Canvas c(10, 10);
  for (const auto& cs : cases) measure(c.dc(), cs);  // everything measured once on this thread
  for (const auto& cs : cases) {
    SCOPED_TRACE(std::to_string(cs.height) + " " + cs.text);
    std::vector<LONG> fresh;
    std::thread t([&] {
      Canvas own(10, 10);
      fresh = measure(own.dc(), cs);
    });
    t.join();
    EXPECT_EQ(measure(c.dc(), cs), fresh);
  }
}

TEST(DrawCache, ShapesOfOneSizeDrawTheSameWhereverTheyStand) {
  // An ellipse or rounded rectangle of a size drawn before comes from the cache: moved, it must
  // be the shape drawn fresh at its new place, also after shapes that differ only in the corner.
  struct Case {
    const char* name;
    Paint paint;
  } cases[] = {
      {"ellipse", [](HDC dc) { Ellipse(dc, 13, 9, 40, 27); }},
      {"circle", [](HDC dc) { Ellipse(dc, 50, 30, 61, 41); }},
      {"round rect", [](HDC dc) { RoundRect(dc, 7, 31, 60, 52, 9, 9); }},
      {"other corner", [](HDC dc) { RoundRect(dc, 7, 31, 60, 52, 15, 5); }},
      {"thick pen", [](HDC dc) {
         HPEN pen = CreatePen(PS_SOLID, 3, kRed);
         HGDIOBJ old = SelectObject(dc, pen);
         RoundRect(dc, 21, 5, 48, 40, 11, 11);
         Ellipse(dc, 3, 3, 30, 21);
         SelectObject(dc, old);
         DeleteObject(pen);
       }},
  };
  // The history: every shape at other places, and of the same sizes.
  const Paint history = [&](HDC dc) {
    for (int dx : {-5, 0, 17}) {
      SetViewportOrgEx(dc, dx, dx / 2, nullptr);
      for (const auto& cs : cases) cs.paint(dc);
    }
    SetViewportOrgEx(dc, 0, 0, nullptr);
  };
  for (const auto& cs : cases) {
    SCOPED_TRACE(cs.name);
    EXPECT_EQ(Differences(Render(80, 60, history, cs.paint), RenderFresh(80, 60, cs.paint)), 0);
  }
  EXPECT_GT(Differences(RenderFresh(80, 60, cases[2].paint), RenderFresh(80, 60, cases[3].paint)), 0);
}

// Polylines and lines whose points reach far outside the clip: the pixels are those of the same
// lines with every point handed to Cairo, and nothing is drawn outside the clip.
TEST(DrawCache, CuttingFarPointsKeepsThePixels) {
  constexpr int kSize = 1000;
  const RECT clip{450, 460, 530, 520};
  // Shapes around the clip's centre, stretched far out.
  auto far = [](std::initializer_list<POINT> shape) {
    std::vector<POINT> out;
    for (POINT p : shape) out.push_back(POINT{490 + (p.x - 190) * 5 / 2, 490 + (p.y - 190) * 5 / 2});
    return out;
  };
  struct Case {
    const char* name;
    std::vector<POINT> points;
  };
  std::vector<Case> cases = {
      {"spikes out of every side", far({{175, 190}, {180, 185}, {170, 10}, {180, 200}, {190, 390}, {200, 180},
                                        {395, 190}, {195, 195}, {5, 195}, {195, 185}})},
      {"round the corner outside, then in",
       far({{20, 300}, {30, 100}, {60, 20}, {300, 30}, {380, 120}, {390, 300}, {190, 195}})},
      {"round the clip and in",
       far({{100, 190}, {50, 50}, {350, 40}, {360, 350}, {40, 360}, {60, 189}, {10, 191}, {190, 190}})},
      {"both ends far out", far({{0, 0}, {190, 190}, {399, 399}})},
      {"a flat stretch outside",
       far({{10, 180}, {60, 180}, {60, 180}, {60, 180}, {100, 181}, {170, 182}, {185, 186}, {220, 100}})},
      {"back and forth beyond one side", far({{20, 170}, {40, 200}, {20, 215}, {40, 165}, {25, 190}, {190, 190}})},
      {"passing a corner diagonally", far({{100, 100}, {140, 150}, {165, 170}, {188, 180}, {300, 300}})},
  };
  // A sine far taller than the clip, as a zoomed-in trace.
  Case sine{"tall sine", {}};
  for (int x = 0; x < kSize; x += 2) sine.points.push_back(POINT{x, static_cast<LONG>(490 + 450 * std::sin(x / 9.0))});
  cases.push_back(sine);

  struct Restore {
    ~Restore() { kvp::SetFarPointCutting(true); }
  } restore;
  for (const auto& cs : cases) {
    for (int width : {1, 2, 3, 6}) {
      SCOPED_TRACE(std::string(cs.name) + ", pen " + std::to_string(width));
      auto draw = [&](bool cut) {
        kvp::SetFarPointCutting(cut);
        auto canvas = std::make_unique<Canvas>(kSize, kSize);
        HPEN pen = CreatePen(PS_SOLID, width, kGreen);
        HGDIOBJ old = SelectObject(canvas->dc(), pen);
        IntersectClipRect(canvas->dc(), clip.left, clip.top, clip.right, clip.bottom);
        Polyline(canvas->dc(), cs.points.data(), static_cast<int>(cs.points.size()));
        // The same points once more as single lines, a little lower (a trace drawn with LineTo).
        SetViewportOrgEx(canvas->dc(), 0, 7, nullptr);
        MoveToEx(canvas->dc(), cs.points[0].x, cs.points[0].y, nullptr);
        for (size_t i = 1; i < cs.points.size(); ++i) LineTo(canvas->dc(), cs.points[i].x, cs.points[i].y);
        SelectObject(canvas->dc(), old);
        DeleteObject(pen);
        return canvas;
      };
      const auto whole = draw(false);
      const auto cut = draw(true);
      int inside = 0, wrong = 0, outside = 0;
      for (int y = clip.top - 20; y < clip.bottom + 20; ++y) {
        for (int x = clip.left - 20; x < clip.right + 20; ++x) {
          wrong += cut->At(x, y) != whole->At(x, y);
          const bool in = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
          (in ? inside : outside) += cut->At(x, y) == kGreen;
        }
      }
      EXPECT_EQ(wrong, 0);
      EXPECT_EQ(outside, 0);
      EXPECT_GT(inside, 0);  // the line does cross the clip
    }
  }
}

TEST(DrawCache, ABitmapKeepsItsPixelsAcrossSelectObjectRoundTrips) {
  Canvas c(30, 20);
  HDC a = CreateCompatibleDC(c.dc());
  HDC b = CreateCompatibleDC(c.dc());
  HBITMAP bmp = CreateCompatibleBitmap(c.dc(), 20, 10);
  HGDIOBJ oldA = SelectObject(a, bmp);
  HBRUSH red = CreateSolidBrush(kRed);
  RECT left{0, 0, 10, 10};
  FillRect(a, &left, red);
  for (int i = 0; i < 3; ++i) {
    SelectObject(a, oldA);  // out, into the other DC and back
    HGDIOBJ oldB = SelectObject(b, bmp);
    ASSERT_NE(oldB, 0u);
    SetPixel(b, 15, 5, kGreen);
    SelectObject(b, oldB);
    ASSERT_EQ(SelectObject(a, bmp), oldA);
  }
  EXPECT_EQ(GetPixel(a, 3, 3), kRed);
  EXPECT_EQ(GetPixel(a, 15, 5), kGreen);
  EXPECT_EQ(GetPixel(a, 15, 6), RGB(0, 0, 0));
  ASSERT_TRUE(BitBlt(c.dc(), 5, 5, 20, 10, a, 0, 0, SRCCOPY));
  EXPECT_EQ(c.At(8, 8), kRed);
  EXPECT_EQ(c.At(20, 10), kGreen);
  EXPECT_EQ(c.At(21, 10), RGB(0, 0, 0));
  SelectObject(a, oldA);
  DeleteObject(red);
  DeleteObject(bmp);
  DeleteDC(a);
  DeleteDC(b);
}

// A bitmap made where a deleted one of its size was: black, as every new bitmap, and the old
// bitmap's pixels stay with whoever still holds its surface.
TEST(DrawCache, ANewBitmapIsBlackAfterABufferOfItsSizeWasDeleted) {
  HDC mem = CreateCompatibleDC(0);
  HBRUSH red = CreateSolidBrush(kRed);
  HBRUSH green = CreateSolidBrush(kGreen);
  RECT all{0, 0, 64, 48};
  auto paintedBitmap = [&](HBRUSH brush) {
    HBITMAP bmp = CreateCompatibleBitmap(mem, 64, 48);
    HGDIOBJ old = SelectObject(mem, bmp);
    FillRect(mem, &all, brush);
    SelectObject(mem, old);
    return bmp;
  };
  auto countOf = [&](HBITMAP bmp, COLORREF color) {
    HGDIOBJ old = SelectObject(mem, bmp);
    int n = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) n += GetPixel(mem, x, y) == color;
    SelectObject(mem, old);
    return n;
  };
  for (int round = 0; round < 3; ++round) DeleteObject(paintedBitmap(red));
  HBITMAP fresh = CreateCompatibleBitmap(mem, 64, 48);
  EXPECT_EQ(countOf(fresh, RGB(0, 0, 0)), 64 * 48);
  DeleteObject(fresh);

  HBITMAP held = paintedBitmap(red);
  cairo_surface_t* surface = cairo_surface_reference(kvp::BitmapSurface(held));
  DeleteObject(held);
  HBITMAP next = paintedBitmap(green);
  EXPECT_EQ(countOf(next, kGreen), 64 * 48);
  cairo_surface_flush(surface);
  const auto* pixel = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface));
  EXPECT_EQ(pixel[0] & 0xFFFFFFu, 0xFF0000u);  // still red
  cairo_surface_destroy(surface);
  DeleteObject(next);
  DeleteObject(red);
  DeleteObject(green);
  DeleteDC(mem);
}

// Painting through off-screen buffers, text and shapes on several threads at once (printing and
// workers draw too): every thread gets the picture the main thread gets.
TEST(DrawCache, ThreadsDrawingAtOnceGetTheSamePictures) {
  const Paint frame = [](HDC target) {
    HDC mem = CreateCompatibleDC(target);
    HBITMAP bmp = CreateCompatibleBitmap(target, 90, 60);
    HGDIOBJ oldBmp = SelectObject(mem, bmp);
    RECT all{0, 0, 90, 60};
    FillRect(mem, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    RoundRect(mem, 4, 4, 50, 24, 7, 7);
    Ellipse(mem, 55, 5, 85, 30);
    const POINT trace[] = {{-200, 40}, {10, 50}, {30, 35}, {60, 55}, {500, -300}};
    Polyline(mem, trace, 5);
    HFONT font = MakeFont(-11);
    HGDIOBJ oldFont = SelectObject(mem, font);
    SetBkMode(mem, TRANSPARENT);
    TextOut(mem, 8, 8, "2 ms/div", -1);
    SelectObject(mem, oldFont);
    DeleteObject(font);
    BitBlt(target, 0, 0, 90, 60, mem, 0, 0, SRCCOPY);
    SelectObject(mem, oldBmp);
    DeleteObject(bmp);
    DeleteDC(mem);
  };
  const auto expected = Render(90, 60, nullptr, frame);
  std::vector<int> wrong(4, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < wrong.size(); ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 20; ++i) wrong[t] += Differences(Render(90, 60, nullptr, frame), expected) != 0;
    });
  for (auto& t : threads) t.join();
  for (size_t t = 0; t < wrong.size(); ++t) EXPECT_EQ(wrong[t], 0) << "thread " << t;
}

}  // namespace
