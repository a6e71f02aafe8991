#include <core/DrawHelpers.h>
#include <core/ResourceHolder.h>
#include <core/VersionInfo.h>

#include <platform/display.h>
#include <platform/module.h>

#include <gtest/gtest.h>

#include <kvtest/Canvas.h>
#include <kvtest/CoreGlobals.h>

using gditest::Canvas;

namespace {

constexpr COLORREF kInk = RGB(255, 0, 0);

// Draws a pattern into (2, 2, 17, 17) of a fresh canvas with a red pen.
void Pattern(Canvas& c, int type, int edges, int step = 5) {
  CDC* dc = CDC::FromHandle(c.dc());
  CPen pen(PS_SOLID, 1, kInk);
  CPen* old = dc->SelectObject(&pen);
  DrawLinePattern(dc, 2, 2, 17, 17, type, edges, step);
  dc->SelectObject(old);
}

}  // namespace

TEST(DrawLinePattern, LineKindsAndEdges) {
  struct Case {
    int type, edges;
    int row;  // a row to look at
    const char* want;
  } cases[] = {
      {0, 0, 7, "..###############..."},  // horizontal lines at 2, 7, 12
      {0, 0, 8, "...................."},
      {1, 0, 8, "..#....#....#......."},  // any other type: vertical lines at 2, 7, 12
      {4, 0, 8, "..#....#....#......."},  // both
      {4, 0, 12, "..###############..."},
      {0, 1 | 4, 8, "..#..............#.."},  // left and right edges only on this row
      {0, 8, 17, "..###############..."},   // bottom edge
  };
  for (const Case& c : cases) {
    Canvas canvas(20, 20);
    Pattern(canvas, c.type, c.edges);
    EXPECT_EQ(canvas.Row(c.row, 0, 20, kInk), c.want) << "type " << c.type << " edges " << c.edges;
  }
  // Diagonals stay inside the rectangle and draw something.
  for (int type : {2, 3, 5}) {
    Canvas canvas(20, 20);
    Pattern(canvas, type, 0);
    RECT ink;
    EXPECT_GT(canvas.CountInk(RECT{0, 0, 20, 20}, gditest::kBackground, &ink), 10) << type;
    EXPECT_GE(ink.left, 2) << type;
    EXPECT_GE(ink.top, 2) << type;
    EXPECT_LE(ink.right, 18) << type;
    EXPECT_LE(ink.bottom, 18) << type;
  }
  // A step of 0 would never end: nothing is drawn.
  Canvas canvas(20, 20);
  Pattern(canvas, 0, 0, 0);
  EXPECT_EQ(canvas.CountInk(RECT{0, 0, 20, 20}), 0);
}

TEST(CreateFontOnce, CreatesOnlyTheFirstTime) {
  CFont font;
  ASSERT_EQ(CreateFontOnce(font, "Arial", -20, 238, TRUE, FALSE, TRUE, 45), 1);
  LOGFONT lf{};
  ASSERT_GT(font.GetLogFont(&lf), 0);
  EXPECT_EQ(lf.lfHeight, -20);
  EXPECT_EQ(lf.lfWeight, 700);
  EXPECT_EQ(lf.lfEscapement, 450);
  EXPECT_EQ(lf.lfUnderline, 1);
  EXPECT_EQ(lf.lfCharSet, 238);
  const HGDIOBJ first = font.GetSafeHandle();
  EXPECT_EQ(CreateFontOnce(font, "Times New Roman", -8, 0, FALSE, FALSE, FALSE, 0), 1);
  EXPECT_EQ(font.GetSafeHandle(), first);
}

TEST(VersionInfo, ReadsTheModulesBlock) {
  const HMODULE module = LoadLibrary("texts_xx.dll");
  ASSERT_NE(module, 0u);
  CVersionInfo info;
  ASSERT_TRUE(info.ReadModule(module, "040904b0", "FileDescription"));
  EXPECT_EQ(info.m_strValue, "texts_xx");
  EXPECT_EQ(info.m_strProductName, "Dravix Scope");
  EXPECT_EQ(info.m_strLegalCopyright, "Copyright (C) KELO");
  EXPECT_EQ(info.m_strFileVersion, "3,1,0,12");
  EXPECT_EQ(info.m_strProductVersion, "3,1,0,12");
  CVersionInfo plain;
  ASSERT_TRUE(plain.ReadModule(module, nullptr, nullptr));
  EXPECT_EQ(plain.m_strFileVersion, "3,1,0,12");
  EXPECT_TRUE(plain.m_strProductName.IsEmpty());
  FreeLibrary(module);
}

class ResourceHolderCursors : public kvtest::CoreTest {};

TEST_F(ResourceHolderCursors, LoadsSixCursors) {
  kvp::HeadlessWorld world;
  CResourceHolder& holder = GetResourceHolder();
  EXPECT_EQ(holder.LoadResources(), 1);
  for (int id : {145, 143, 144, 146, 187, 191}) EXPECT_NE(holder.GetCursor(id), 0u) << id;
  EXPECT_EQ(holder.GetCursor(150), 0u);
}
