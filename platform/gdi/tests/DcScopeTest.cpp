// Scoped DC changes: a selector puts back the object it replaced (also after a second selection),
// the text scope its colour and mode, the colour and mode scopes only their own value, the state
// scope everything a SaveDC keeps.
#include <gtest/gtest.h>

#include <platform/dcscope.h>

#include <kvtest/Canvas.h>

using gditest::Canvas;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

TEST(DcScope, SelectorPutsBackWhatItReplacedEvenAfterASecondSelection) {
  Canvas c(20, 20);
  CPen red(PS_SOLID, 1, kRed), blue(PS_SOLID, 1, kBlue);
  CBrush redBrush(kRed), blueBrush(kBlue);
  CFont font, bold;
  font.CreateFont(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  bold.CreateFont(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial");
  struct Case {
    const char* name;
    const CGdiObject* first;
    const CGdiObject* second;
    UINT kind;
    int stock;
  } const cases[] = {
      {"pen", &red, &blue, OBJ_PEN, BLACK_PEN},
      {"brush", &redBrush, &blueBrush, OBJ_BRUSH, WHITE_BRUSH},
      {"font", &font, &bold, OBJ_FONT, SYSTEM_FONT},
  };
  CDC dc;
  dc.Attach(c.dc());
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    {
      kvp::DcSelect select(&dc, k.first);
      EXPECT_EQ(GetCurrentObject(c.dc(), k.kind), k.first->GetSafeHandle());
      select.Select(k.second);
      EXPECT_EQ(GetCurrentObject(c.dc(), k.kind), k.second->GetSafeHandle());
    }
    EXPECT_EQ(GetCurrentObject(c.dc(), k.kind), GetStockObject(k.stock));
  }
  {
    kvp::DcSelect none(&dc, nullptr);  // nothing selected, nothing put back
    kvp::DcSelect noDc(static_cast<CDC*>(nullptr), &red);
  }
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
  dc.Detach();
}

TEST(DcScope, DrawsWithTheSelectedPenInsideTheScope) {
  Canvas c(20, 20);
  CPen red(PS_SOLID, 1, kRed);
  {
    kvp::DcSelect select(c.dc(), red.GetSafeHandle());
    MoveToEx(c.dc(), 0, 5, nullptr);
    LineTo(c.dc(), 20, 5);
  }
  MoveToEx(c.dc(), 0, 10, nullptr);
  LineTo(c.dc(), 20, 10);
  EXPECT_EQ(c.At(10, 5), kRed);
  EXPECT_EQ(c.At(10, 10), RGB(0, 0, 0));
}

TEST(DcScope, TextScopeRestoresColourAndBackgroundMode) {
  Canvas c(4, 4);
  SetTextColor(c.dc(), kBlue);
  SetBkMode(c.dc(), OPAQUE);
  {
    kvp::DcText text(c.dc(), kRed, TRANSPARENT);
    EXPECT_EQ(GetTextColor(c.dc()), kRed);
    EXPECT_EQ(GetBkMode(c.dc()), TRANSPARENT);
  }
  EXPECT_EQ(GetTextColor(c.dc()), kBlue);
  EXPECT_EQ(GetBkMode(c.dc()), OPAQUE);
}

TEST(DcScope, ColourScopeAndModeScopeEachPutBackOnlyTheirOwnValue) {
  Canvas c(4, 4);
  SetTextColor(c.dc(), kBlue);
  SetBkMode(c.dc(), OPAQUE);
  {
    kvp::DcTextColor color(c.dc(), kRed);
    EXPECT_EQ(GetTextColor(c.dc()), kRed);
    color.Set(RGB(0, 255, 0));  // the colour replaced first is still the one put back
    EXPECT_EQ(GetTextColor(c.dc()), RGB(0, 255, 0));
    SetBkMode(c.dc(), TRANSPARENT);  // not the colour scope's to put back
  }
  EXPECT_EQ(GetTextColor(c.dc()), kBlue);
  EXPECT_EQ(GetBkMode(c.dc()), TRANSPARENT);
  {
    kvp::DcBkMode mode(c.dc(), OPAQUE);
    EXPECT_EQ(GetBkMode(c.dc()), OPAQUE);
    SetTextColor(c.dc(), kRed);  // not the mode scope's to put back
  }
  EXPECT_EQ(GetBkMode(c.dc()), TRANSPARENT);
  EXPECT_EQ(GetTextColor(c.dc()), kRed);
  {
    kvp::DcTextColor noColor(static_cast<CDC*>(nullptr), kBlue);  // no DC: nothing set or put back
    kvp::DcBkMode noMode(static_cast<CDC*>(nullptr), OPAQUE);
    noColor.Set(kBlue);
  }
  EXPECT_EQ(GetTextColor(c.dc()), kRed);
}

TEST(DcScope, StateScopeRestoresObjectsColoursAndOrigin) {
  Canvas c(4, 4);
  CPen red(PS_SOLID, 1, kRed);
  {
    kvp::DcState saved(c.dc());
    SelectObject(c.dc(), red.GetSafeHandle());
    SetTextColor(c.dc(), kRed);
    SetViewportOrgEx(c.dc(), 3, 2, nullptr);
  }
  POINT origin{};
  GetViewportOrgEx(c.dc(), &origin);
  EXPECT_EQ(GetCurrentObject(c.dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
  EXPECT_EQ(GetTextColor(c.dc()), RGB(0, 0, 0));
  EXPECT_EQ(origin.x, 0);
  EXPECT_EQ(origin.y, 0);
}

}  // namespace
