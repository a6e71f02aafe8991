// Fonts and text: code pages, stand-in faces, heights, DrawText layout and placement.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <kvtest/Canvas.h>

using gditest::Canvas;
using gditest::kBackground;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

// Passes measuring on and remembers what it was asked.
class Recorder final : public kvp::TextMetricsProvider {
 public:
  explicit Recorder(const kvp::TextMetricsProvider& inner) : inner_(inner) {}
  kvp::FontExtents Extents(const kvp::ResolvedFont& f) const override {
    families.emplace_back(f.family);
    return inner_.Extents(f);
  }
  double Width(const kvp::ResolvedFont& f, std::string_view utf8) const override {
    families.emplace_back(f.family);
    texts.emplace_back(utf8);
    return inner_.Width(f, utf8);
  }
  mutable std::vector<std::string> texts;
  mutable std::vector<std::string> families;

 private:
  const kvp::TextMetricsProvider& inner_;
};

struct FontScope {
  FontScope(HDC dc, int height, const char* face, int charset = ANSI_CHARSET, int escapement = 0, int weight = FW_NORMAL)
      : dc_(dc) {
    font_ = CreateFont(height, 0, escapement, escapement, weight, 0, 0, 0, charset, OUT_CHARACTER_PRECIS,
                       CLIP_CHARACTER_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
    old_ = SelectObject(dc, font_);
  }
  ~FontScope() {
    SelectObject(dc_, old_);
    DeleteObject(font_);
  }
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
};

// What the DC hands to its metrics when measuring `bytes` in the selected font.
std::string MeasuredAs(HDC dc, const char* bytes) {
  Recorder rec(kvp::PangoTextMetrics());
  kvp::SetTextMetrics(dc, &rec);
  SIZE size;
  GetTextExtentPoint32(dc, bytes, -1, &size);
  kvp::SetTextMetrics(dc, nullptr);
  return rec.texts.empty() ? std::string() : rec.texts.back();
}

TEST(Text, BytesAreReadInTheCodePageOfTheFontsCharacterSet) {
  Canvas c(10, 10);
  struct Case {
    int charset;
    const char* bytes;
    const char* utf8;
  } cases[] = {
      {ANSI_CHARSET, "5\xB5s 20\xB0" "C", "5\xC2\xB5s 20\xC2\xB0" "C"},   // µ and ° of Windows-1252
      {ANSI_CHARSET, "Taking polarity\x85", "Taking polarity\xE2\x80\xA6"},  // the ellipsis character
      {EASTEUROPE_CHARSET, "\xB9", "\xC4\x85"},                                // the same byte is ą in 1250
      {RUSSIAN_CHARSET, "\xC0", "\xD0\x90"},                                    // А in 1251
      {ANSI_CHARSET, "R&D", "R&D"},                                             // no mnemonic prefixes
  };
  for (const auto& cs : cases) {
    FontScope f(c.dc(), -12, "Arial", cs.charset);
    EXPECT_EQ(MeasuredAs(c.dc(), cs.bytes), cs.utf8) << cs.bytes;
  }
}

TEST(Text, MicroAndDegreeSignsAreDrawnAsTheirOwnGlyphs) {
  // Each sign leaves ink, and not the ink of a replacement character or of the other sign.
  auto ink = [](const char* bytes) {
    Canvas c(40, 30);
    FontScope f(c.dc(), -20, "Arial");
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kWhite);
    TextOut(c.dc(), 5, 2, bytes, -1);
    std::string rows;
    for (int y = 0; y < 30; ++y) rows += c.Row(y, 0, 40, kBackground) + "\n";
    return rows;
  };
  const std::string micro = ink("\xB5"), degree = ink("\xB0"), question = ink("?"), blank = ink(" ");
  EXPECT_NE(micro, blank);
  EXPECT_NE(degree, blank);
  EXPECT_NE(micro, question);
  EXPECT_NE(degree, question);
  EXPECT_NE(micro, degree);
}

TEST(Text, RequestedFacesMapToInstalledOnes) {
  Canvas c(10, 10);
  struct Case {
    const char* face;
    const char* bytes;
    const char* family;
    const char* utf8;
  } cases[] = {
      {"Arial", "W", "Liberation Sans", "W"},
      {"Times New Roman", "W", "Liberation Serif", "W"},
      {"MS Sans serif", "W", "Liberation Sans", "W"},
      {"MS Shell Dlg", "W", "Liberation Sans", "W"},
      {"Symbol", "W", "Liberation Sans", "\xCE\xA9"},  // the ohm sign, drawn in the sans face
      {"Symbol", "m5", "Liberation Sans", "\xCE\xBC" "5"},
  };
  for (const auto& cs : cases) {
    FontScope f(c.dc(), -12, cs.face);
    Recorder rec(kvp::PangoTextMetrics());
    kvp::SetTextMetrics(c.dc(), &rec);
    SIZE size;
    GetTextExtentPoint32(c.dc(), cs.bytes, -1, &size);
    kvp::SetTextMetrics(c.dc(), nullptr);
    ASSERT_FALSE(rec.texts.empty());
    EXPECT_EQ(rec.families.back(), cs.family) << cs.face;
    EXPECT_EQ(rec.texts.back(), cs.utf8) << cs.face;
    EXPECT_GT(size.cx, 0);
  }
}

TEST(Text, NegativeHeightIsTheEmAndPositiveTheCell) {
  Canvas c(10, 10);
  TEXTMETRIC em{}, cell{};
  {
    FontScope f(c.dc(), -20, "Arial");
    GetTextMetrics(c.dc(), &em);
  }
  {
    FontScope f(c.dc(), 20, "Arial");
    GetTextMetrics(c.dc(), &cell);
  }
  EXPECT_NEAR(cell.tmHeight, 20, 1);
  EXPECT_GT(em.tmHeight, 20);
  EXPECT_GT(em.tmInternalLeading, 0);
  EXPECT_EQ(em.tmHeight, em.tmAscent + em.tmDescent);
  {
    FontScope f(c.dc(), -20, "Arial", ANSI_CHARSET, 0, FW_BOLD);
    TEXTMETRIC bold{};
    GetTextMetrics(c.dc(), &bold);
    EXPECT_EQ(bold.tmWeight, FW_BOLD);
    SIZE normal, wide;
    GetTextExtentPoint32(c.dc(), "Mode", 4, &wide);
    FontScope n(c.dc(), -20, "Arial");
    GetTextExtentPoint32(c.dc(), "Mode", 4, &normal);
    EXPECT_GT(wide.cx, normal.cx);
  }
}

// Layout with fixed metrics: em 10 px gives 5 px per character and 10 px per line.
TEST(Text, CalcRectMeasuresLinesWrappingAndEllipses) {
  struct Case {
    const char* text;
    UINT format;
    RECT box;
    RECT expected;
  } cases[] = {
      {"Hello", DT_SINGLELINE, {0, 0, 100, 1}, {0, 0, 25, 10}},
      {"aaa bbb ccc", DT_WORDBREAK, {10, 20, 50, 21}, {10, 20, 45, 40}},
      {"abcdefghij kl", DT_WORDBREAK, {0, 0, 20, 1}, {0, 0, 50, 20}},  // a long word stands alone
      {"a b\n\ncd", DT_WORDBREAK, {0, 0, 100, 1}, {0, 0, 15, 30}},    // line feeds and an empty line
      {"Mode\nTrig", 0, {0, 0, 100, 1}, {0, 0, 20, 20}},
      {"ab\ncd", DT_SINGLELINE, {0, 0, 100, 1}, {0, 0, 25, 10}},
      {"one two three", DT_SINGLELINE | DT_WORD_ELLIPSIS, {0, 0, 52, 1}, {0, 0, 50, 10}},      // "one two..."
      {"abcdefghijkl", DT_SINGLELINE | DT_END_ELLIPSIS, {0, 0, 42, 1}, {0, 0, 40, 10}},       // "abcde..."
      {"C:\\dir\\sub\\file.osc", DT_SINGLELINE | DT_PATH_ELLIPSIS, {0, 0, 75, 1}, {0, 0, 75, 10}},
      {"", DT_WORDBREAK, {0, 0, 100, 1}, {0, 0, 0, 10}},
  };
  Canvas c(10, 10);
  kvp::SetTextMetrics(c.dc(), &kvp::FixedTextMetrics());
  FontScope f(c.dc(), -10, "Arial");
  for (const auto& cs : cases) {
    RECT r = cs.box;
    int height = DrawText(c.dc(), cs.text, -1, &r, cs.format | DT_CALCRECT);
    EXPECT_EQ(CRect(r), CRect(cs.expected)) << cs.text;
    EXPECT_EQ(height, cs.expected.bottom - cs.expected.top) << cs.text;
  }
  EXPECT_EQ(c.CountInk(RECT{0, 0, 10, 10}), 0) << "measuring draws nothing";
}

TEST(Text, EllipsesCutWhereTheirKindSays) {
  struct Case {
    const char* text;
    UINT kind;
    int width;
    const char* shown;
  } cases[] = {
      {"one two three", DT_WORD_ELLIPSIS, 52, "one two..."},
      {"onetwothree", DT_WORD_ELLIPSIS, 40, "onetw..."},
      {"abcdefghijkl", DT_END_ELLIPSIS, 42, "abcde..."},
      {"C:\\dir\\sub\\file.osc", DT_PATH_ELLIPSIS, 75, "C:\\...\\file.osc"},
      {"Saved scope name", DT_PATH_ELLIPSIS, 50, "Save...ame"},
      {"fits", DT_END_ELLIPSIS, 50, "fits"},
  };
  Canvas c(100, 20);
  for (const auto& cs : cases) {
    Recorder rec(kvp::FixedTextMetrics());
    kvp::SetTextMetrics(c.dc(), &rec);
    FontScope f(c.dc(), -10, "Arial");
    RECT r{0, 0, cs.width, 10};
    DrawText(c.dc(), cs.text, -1, &r, DT_SINGLELINE | cs.kind);
    ASSERT_FALSE(rec.texts.empty());
    EXPECT_EQ(rec.texts.back(), cs.shown) << cs.text;
    kvp::SetTextMetrics(c.dc(), nullptr);
  }
}

TEST(Text, CalcRectHeightsAreNegativeWhereYGrowsUpwards) {
  Canvas c(10, 10);
  kvp::SetTextMetrics(c.dc(), &kvp::FixedTextMetrics());
  SetMapMode(c.dc(), MM_LOMETRIC);
  FontScope f(c.dc(), -100, "Arial");  // 10 mm
  // Characters 5 mm wide: two words of four fit a 50 mm box, the third goes on a second line.
  RECT r{0, 0, 500, 1};
  int height = DrawText(c.dc(), "aaaa aaaa aaaa", -1, &r, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_NEAR(height, -200, 3);
  EXPECT_EQ(r.bottom - r.top, height);
  EXPECT_NEAR(r.right, 450, 2);
  SIZE size;
  GetTextExtentPoint32(c.dc(), "W", 1, &size);
  EXPECT_NEAR(size.cx, 50, 1);
  EXPECT_NEAR(size.cy, 100, 1);
}

// A report line on a printer page: 0.1 mm units, y upwards, 600 dots per inch on a page surface
// measured in points.
TEST(Text, TextOnAPrinterPageLandsInItsMetricBox) {
  cairo_surface_t* page = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 612, 792);  // letter, in points
  HDC dc = kvp::CreatePrinterDC(page, 600, SIZE{5100, 6600});
  SetMapMode(dc, MM_LOMETRIC);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kWhite);
  {
    FontScope f(dc, -50, "Arial");  // 5 mm characters
    RECT line{100, -100, 1000, -200};  // 10..100 mm across, 10..20 mm down
    DrawText(dc, "Dravix Scope Report", -1, &line, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  }
  DeleteDC(dc);
  cairo_surface_flush(page);
  const double mmToPoints = 72 / 25.4;
  int left = 10000, top = 10000, right = -1, bottom = -1;
  const unsigned char* data = cairo_image_surface_get_data(page);
  for (int y = 0; y < 792; ++y)
    for (int x = 0; x < 612; ++x)
      if (reinterpret_cast<const uint32_t*>(data + y * cairo_image_surface_get_stride(page))[x] & 0xFFFFFF) {
        left = std::min(left, x), right = std::max(right, x + 1);
        top = std::min(top, y), bottom = std::max(bottom, y + 1);
      }
  cairo_surface_destroy(page);
  ASSERT_GE(right, 0) << "no ink";
  EXPECT_GE(left, 10 * mmToPoints);
  EXPECT_LE(right, 100 * mmToPoints + 1);
  EXPECT_GE(top, 10 * mmToPoints);
  EXPECT_LE(bottom, 20 * mmToPoints + 1);
  EXPECT_NEAR((left + right) / 2.0, 55 * mmToPoints, 2);
  EXPECT_GT(bottom - top, 3 * mmToPoints);  // capitals of 5 mm characters are about 3.6 mm high
}

TEST(Text, DrawTextPlacesAndClipsItsLines) {
  struct Case {
    UINT format;
    const char* name;
  } cases[] = {
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER, "centre"},
      {DT_SINGLELINE | DT_RIGHT | DT_BOTTOM, "right bottom"},
      {DT_SINGLELINE | DT_LEFT | DT_TOP, "left top"},
  };
  for (const auto& cs : cases) {
    Canvas c(120, 60);
    FontScope f(c.dc(), -16, "Arial");
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kWhite);
    RECT box{10, 10, 110, 50};
    DrawText(c.dc(), "HHHH", -1, &box, cs.format);
    SIZE ext;
    GetTextExtentPoint32(c.dc(), "HHHH", 4, &ext);
    RECT ink;
    ASSERT_GT(c.CountInk(RECT{0, 0, 120, 60}, kBackground, &ink), 0) << cs.name;
    EXPECT_GE(ink.left, 10) << cs.name;
    EXPECT_LE(ink.right, 110) << cs.name;
    EXPECT_GE(ink.top, 10) << cs.name;
    EXPECT_LE(ink.bottom, 50) << cs.name;
    if (cs.format & DT_CENTER) {
      EXPECT_NEAR((ink.left + ink.right) / 2.0, 60, 2) << cs.name;
      EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 30, 4) << cs.name;
    } else if (cs.format & DT_RIGHT) {
      EXPECT_GE(ink.right, 106) << cs.name;
      EXPECT_GE(ink.bottom, 40) << cs.name;
    } else {
      EXPECT_LE(ink.left, 13) << cs.name;
      EXPECT_LE(ink.top, 16) << cs.name;
    }
  }
  // Text wider than its box is clipped to it unless DT_NOCLIP.
  for (UINT noclip : {0u, static_cast<UINT>(DT_NOCLIP)}) {
    Canvas c(120, 30);
    FontScope f(c.dc(), -16, "Arial");
    SetBkMode(c.dc(), TRANSPARENT);
    SetTextColor(c.dc(), kWhite);
    RECT box{10, 5, 30, 25};
    DrawText(c.dc(), "WWWWWW", -1, &box, DT_SINGLELINE | noclip);
    EXPECT_EQ(c.CountInk(RECT{30, 0, 120, 30}) > 0, noclip != 0);
  }
}

TEST(Text, OpaqueBackgroundFillsTheTextBoxOnly) {
  for (int mode : {OPAQUE, TRANSPARENT}) {
    Canvas c(80, 30);
    FontScope f(c.dc(), -16, "Arial");
    SetBkMode(c.dc(), mode);
    SetBkColor(c.dc(), RGB(0, 0, 200));
    TextOut(c.dc(), 5, 5, "Ab", 2);
    SIZE ext;
    GetTextExtentPoint32(c.dc(), "Ab", 2, &ext);
    int background = 0;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 80; ++x) background += c.At(x, y) == RGB(0, 0, 200);
    if (mode == OPAQUE) {
      EXPECT_GT(background, ext.cx * ext.cy / 2);
      EXPECT_EQ(c.At(5 + ext.cx + 1, 5 + ext.cy / 2), kBackground);
    } else {
      EXPECT_EQ(background, 0);
    }
  }
}

TEST(Text, EscapementTurnsTextCounterClockwise) {
  Canvas c(60, 100);
  FontScope f(c.dc(), -16, "Arial", ANSI_CHARSET, 900);
  SetBkMode(c.dc(), TRANSPARENT);
  SetTextColor(c.dc(), kWhite);
  TextOut(c.dc(), 20, 90, "Speed", 5);
  RECT ink;
  ASSERT_GT(c.CountInk(RECT{0, 0, 60, 100}, kBackground, &ink), 0);
  EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left));  // runs upwards
  EXPECT_LE(ink.bottom, 91);
  EXPECT_GE(ink.left, 19);  // the glyphs hang to the right of the reference point
}

}  // namespace
