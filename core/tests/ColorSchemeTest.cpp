#include <core/ColorScheme.h>

#include <gtest/gtest.h>

#include <kvtest/CoreGlobals.h>

#include <cstdio>
#include <fstream>

namespace {

std::string Entry(const char* key, const char* value) {
  return std::string("<") + key + ">" + value + "</" + key + ">";
}

// Every keyed entry black except those named.
void ExpectOnly(const ColorScheme& s, std::initializer_list<std::pair<int, COLORREF>> set) {
  for (int i = 0; i < ColorScheme::COUNT; ++i) {
    COLORREF want = ColorScheme::KeyOf(i) ? 0 : ColorScheme::DefaultOf(i);
    for (const auto& [index, color] : set)
      if (index == i) want = color;
    EXPECT_EQ(s.GetColor(i), want) << "entry " << i;
  }
}

class ColorSchemeFile : public kvtest::CoreTest {};

}  // namespace

TEST(ColorScheme, DefaultsAndRangeCheck) {
  ColorScheme s;
  EXPECT_EQ(s.GetColor(0), 0x0033FFu);
  EXPECT_EQ(s.GetColor(15), 0xC8FA00u);
  EXPECT_EQ(s.GetColor(26), 0x969696u);
  EXPECT_EQ(s.GetColor(33), 0x00AED9u);
  EXPECT_EQ(s.GetColor(34), 0u);
  EXPECT_EQ(s.GetColor(-1), 0u);
  EXPECT_EQ(ColorScheme::KeyOf(26), nullptr);
}

TEST(ColorScheme, ParsingOneKey) {
  struct Case {
    const char* name;
    std::string text;
    int index;
    COLORREF want;
  } cases[] = {
      {"blue channel A", Entry("Color_ChA", "0,0,255"), 4, 0xFF0000},
      {"red 300 wraps", Entry("Color_ChA", "300,0,0"), 4, 44},
      {"two commas only", Entry("Color_ChA", ",,"), 4, 0},
      {"no commas", Entry("Color_ChA", "5"), 4, 0},
      {"blanks and junk", Entry("Color_ChA", " 10, 20x,30 "), 4, 0x1E140A},
      {"lower-case key", Entry("color_cha", "1,2,3"), 4, 0},
      {"closing tag first", "</Color_ChA>" + Entry("Color_ChA", "1,2,3"), 4, 0},
      {"any layout around", "; colours\n  " + Entry("Color_ChA", "1,2,3") + "\r\nmore", 4, 0x030201},
      {"text ends at NUL", std::string("x\0", 2) + Entry("Color_ChA", "1,2,3"), 4, 0},
  };
  for (const Case& c : cases) {
    ColorScheme s;
    s.Parse(c.text);
    ExpectOnly(s, {{c.index, c.want}});
    if (HasFailure()) {
      ADD_FAILURE() << c.name;
      return;
    }
  }
}

TEST(ColorScheme, KeyThatBeginsAnotherKey) {
  // The longer key written first must not give the shorter one its value.
  ColorScheme s;
  s.Parse(Entry("Color_Btn_BkgrndHot", "0,250,200") + Entry("Color_Btn_Bkgrnd", "192,192,192") +
          Entry("Color_Chart_DrawAreaNoGrid", "230,230,230") + Entry("Color_Chart_DrawArea", "255,255,255"));
  ExpectOnly(s, {{14, 0xC0C0C0}, {15, 0xC8FA00}, {24, 0xFFFFFF}, {25, 0xE6E6E6}});
}

TEST_F(ColorSchemeFile, LoadingTheFile) {
  LoadColorScheme("NoSuchColors.ini");
  for (int i = 0; i < ColorScheme::COUNT; ++i) EXPECT_EQ(GetSchemeColor(i), ColorScheme::DefaultOf(i));

  {
    std::ofstream f("Colors.ini", std::ios::binary);
    f << "[colours]\n" << Entry("Color_ChA", "0,0,255") << "\n";
  }
  LoadColorScheme("Colors.ini");
  ExpectOnly(GetColorScheme(), {{4, 0xFF0000}});
  std::remove("Colors.ini");
}
