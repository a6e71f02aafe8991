// The link and the static text: the link's click, focus and fills, its font following the
// client height, and the static text's shadow.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/XPCtrlHyperText.h>
#include <ui/XPCtrlStaticWFont.h>

using namespace uitest;

namespace {

class LinkLog : public CXPCtrlHyperText::IHyperTextClbck {
 public:
  int clicks = 0;
  bool focusedAtClick = false;
  void OnLinkClicked(CXPCtrlHyperText* link) override {
    ++clicks;
    focusedAtClick = ::GetFocus() == link->GetSafeHwnd();
  }
};

struct LinkFixture {
  kvp::HeadlessWorld world;
  Host host;
  CXPCtrlHyperText link;
  LinkLog log;
  LinkFixture() {
    host.CreateTop(100, 100, 300, 120);
    link.clbck = &log;
    link.text = "Voltage";
    link.Create("", WS_CHILD | WS_VISIBLE, CRect(10, 10, 210, 30), &host, 40);
    hl::Pump();
  }
  COLORREF Fill() { return Pixel(link, 195, 10); }  // right of the text
};

TEST(XPCtrlHyperText, ClickCallsTheOwnerThenTakesTheFocus) {
  LinkFixture f;
  EXPECT_EQ(f.link.id, 40);
  EXPECT_EQ(Hex(f.Fill()), Hex(RGB(235, 236, 208)));
  hl::Click(f.link.GetSafeHwnd(), POINT{20, 10});
  EXPECT_EQ(f.log.clicks, 1);
  EXPECT_FALSE(f.log.focusedAtClick) << "the owner is told first";
  EXPECT_EQ(::GetFocus(), f.link.GetSafeHwnd());
  EXPECT_TRUE(f.link.focused);
  EXPECT_EQ(Hex(f.Fill()), Hex(RGB(176, 174, 174))) << "focused";
  hl::MoveMouseTo(f.link.GetSafeHwnd(), POINT{30, 10});
  EXPECT_EQ(Hex(f.Fill()), Hex(RGB(117, 137, 240))) << "hot wins over focused";
  hl::MoveMouseTo(f.host.GetSafeHwnd(), POINT{250, 100});
  EXPECT_EQ(Hex(f.Fill()), Hex(RGB(176, 174, 174)));
  ::SetFocus(f.host.GetSafeHwnd());
  EXPECT_FALSE(f.link.focused);
  EXPECT_EQ(Hex(f.Fill()), Hex(RGB(235, 236, 208))) << "repainted on losing the focus";
}

TEST(XPCtrlHyperText, ReleasedOutsideNeitherCallsNorTakesTheFocus) {
  LinkFixture f;
  hl::MoveMouseTo(f.link.GetSafeHwnd(), POINT{20, 10});
  hl::PressButton(hl::Button::Left);
  hl::MoveMouseTo(f.link.GetSafeHwnd(), POINT{20, 60});
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
  EXPECT_EQ(f.log.clicks, 0);
  EXPECT_NE(::GetFocus(), f.link.GetSafeHwnd());
  EXPECT_FALSE(f.link.focused);
  EXPECT_EQ(f.link.state, 0);
  EXPECT_EQ(::GetCapture(), HWND(0));
}

TEST(XPCtrlHyperText, FontHeightFollowsTheClientHeight) {
  EXPECT_EQ(CXPCtrlHyperText::FontHeightFor(20), -14);
  EXPECT_EQ(CXPCtrlHyperText::FontHeightFor(14), -10);
  EXPECT_EQ(CXPCtrlHyperText::FontHeightFor(0), 0);
  LinkFixture f;
  LOGFONT lf{};
  ASSERT_TRUE(f.link.font.GetLogFont(&lf));
  EXPECT_EQ(lf.lfHeight, -14);
  EXPECT_STREQ(lf.lfFaceName, "Times New Roman");
  f.link.MoveWindow(10, 10, 200, 40);
  hl::Pump();
  ASSERT_TRUE(f.link.font.GetLogFont(&lf));
  EXPECT_EQ(lf.lfHeight, -28) << "rebuilt at the next paint";
}

TEST(XPCtrlHyperText, SetColorsRebuildsTheFills) {
  LinkFixture f;
  f.link.SetColors(0, RGB(1, 2, 3), RGB(10, 20, 30), 0, RGB(4, 5, 6));
  f.link.Redraw();
  EXPECT_EQ(Hex(f.Fill()), Hex(RGB(10, 20, 30)));
}

// Counts neutral grey pixels (the shadow's, and a black text's antialiasing) in a window.
int Greys(const CWnd& w, int width, int height) {
  int n = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const COLORREF c = Pixel(w, x, y);
      const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
      n += r == g && g == b && r > 60 && r < 200;
    }
  }
  return n;
}

TEST(XPCtrlStaticWFont, ShadowOnlyWithARealTextColour) {
  kvp::HeadlessWorld world;
  Host host;
  host.CreateTop(0, 0, 300, 200);
  const UINT center = DT_CENTER | DT_VCENTER;
  CXPCtrlStaticWFont redShadow(RGB(255, 0, 0), RGB(255, 255, 255), nullptr, TRUE, center, 0);
  CXPCtrlStaticWFont redPlain(RGB(255, 0, 0), RGB(255, 255, 255), nullptr, FALSE, center, 0);
  CXPCtrlStaticWFont keepShadow(CXPCtrlStaticWFont::kKeepColour, RGB(255, 255, 255), nullptr, TRUE, center, 0);
  CXPCtrlStaticWFont keepPlain(CXPCtrlStaticWFont::kKeepColour, RGB(255, 255, 255), nullptr, FALSE, center, 0);
  EXPECT_EQ(redShadow.format1, center);
  EXPECT_EQ(redShadow.shadow, TRUE);
  CXPCtrlStaticWFont* all[] = {&redShadow, &redPlain, &keepShadow, &keepPlain};
  for (int i = 0; i < 4; ++i) all[i]->Create("Measure", WS_CHILD | WS_VISIBLE, CRect(0, i * 40, 120, i * 40 + 30), &host, 0);
  hl::Pump();
  EXPECT_GT(Greys(redShadow, 120, 30), 10) << "the grey shadow under the red text";
  EXPECT_EQ(Greys(redPlain, 120, 30), 0);
  // Without a text colour of its own the text is drawn once in the DC's colour: both look alike.
  int differing = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 120; ++x) differing += Pixel(keepShadow, x, y) != Pixel(keepPlain, x, y);
  EXPECT_EQ(differing, 0);
  EXPECT_GT(Greys(keepPlain, 120, 30), 0) << "text was drawn";
  EXPECT_EQ(Hex(Pixel(redPlain, 1, 1)), Hex(RGB(255, 255, 255)));
}

}  // namespace
