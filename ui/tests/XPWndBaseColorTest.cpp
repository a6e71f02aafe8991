// The base colour window: its paint pipeline, layout only through a paint that sees a new client
// rectangle, the creation hook, the colour and id, and RedrawNow.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <core/ColorScheme.h>

using namespace uitest;

namespace {

class Pane : public CXPWndBaseColor {
 public:
  int layouts = 0;
  int contents = 0;
  int overlays = 0;
  BOOL childrenOk = TRUE;
  std::vector<char> order;

  BOOL CreateChildren() override { return childrenOk; }
  void RecalcLayout() override {
    ++layouts;
    order.push_back('L');
    CXPWndBaseColor::RecalcLayout();
  }
  void PaintBackground(CDC* dc) override {
    order.push_back('B');
    CXPWndBaseColor::PaintBackground(dc);
  }
  void PaintContent(CDC*) override {
    ++contents;
    order.push_back('C');
  }
  void PaintOverlay(CDC*) override {
    ++overlays;
    order.push_back('O');
  }
};

struct PaneFixture {
  kvp::HeadlessWorld world;
  Host host;
  Pane pane;
  PaneFixture() { host.CreateTop(50, 50, 400, 300); }
};

TEST(XPWndBaseColor, ConstructionAndClass) {
  kvp::HeadlessWorld world;
  Pane pane;
  EXPECT_EQ(pane.m_crBack, GetSchemeColor(6));
  EXPECT_EQ(pane.m_nId, -1);
  EXPECT_TRUE(pane.m_rcClient.IsRectEmpty());
  EXPECT_TRUE(pane.m_rcWork.IsRectEmpty());
  EXPECT_NE(pane.m_pResources, nullptr);
  WNDCLASS wc{};
  ASSERT_TRUE(GetClassInfo(0, "CXPWndBaseColor", &wc));
  EXPECT_EQ(wc.style, 0u);
  EXPECT_EQ(wc.hbrBackground, static_cast<HBRUSH>(5));
  EXPECT_NE(wc.hCursor, HCURSOR(0));
  Pane second;  // a second object finds the class registered
}

TEST(XPWndBaseColor, CreatePaintsThroughTheHooksInOrder) {
  PaneFixture f;
  ASSERT_TRUE(f.pane.Create("pane", WS_CHILD | WS_VISIBLE, CRect(10, 10, 110, 60), &f.host, 1234));
  EXPECT_EQ(f.pane.m_nId, 1234);
  EXPECT_EQ(f.pane.GetDlgCtrlID(), 1234);
  hl::Pump();
  ASSERT_GE(f.pane.order.size(), 4u);
  EXPECT_EQ(std::string(f.pane.order.begin(), f.pane.order.begin() + 4), "LBCO");
  EXPECT_EQ(f.pane.m_rcClient, CRect(0, 0, 100, 50));
  EXPECT_EQ(f.pane.m_rcWork, CRect(0, 0, 100, 50));
  EXPECT_EQ(f.pane.layouts, 1);
  EXPECT_EQ(Hex(Pixel(f.pane, 50, 25)), Hex(GetSchemeColor(6)));
  EXPECT_EQ(f.pane.SendMessage(WM_ERASEBKGND, 0, 0), 1);
}

TEST(XPWndBaseColor, LayoutOncePerClientChangeAndOnlyThroughPaint) {
  PaneFixture f;
  f.pane.Create("pane", WS_CHILD | WS_VISIBLE, CRect(10, 10, 110, 60), &f.host, 1);
  hl::Pump();
  ASSERT_EQ(f.pane.layouts, 1);
  f.pane.Redraw();
  f.pane.Invalidate();
  hl::Pump();
  EXPECT_EQ(f.pane.layouts, 1) << "paints without a change lay nothing out";

  f.pane.MoveWindow(10, 10, 150, 80);
  hl::Pump();
  EXPECT_EQ(f.pane.layouts, 2) << "the move's Redraw and the following paint: one layout";
  EXPECT_EQ(f.pane.m_rcWork, CRect(0, 0, 150, 80));

  // Hidden: resizing paints nothing, so nothing is laid out until it shows again.
  f.pane.ShowWindow(SW_HIDE);
  const int contents = f.pane.contents;
  f.pane.MoveWindow(10, 10, 60, 40);
  hl::Pump();
  EXPECT_EQ(f.pane.layouts, 2);
  EXPECT_EQ(f.pane.contents, contents);
  EXPECT_EQ(f.pane.m_rcClient, CRect(0, 0, 150, 80)) << "a hidden paint keeps the client rectangle";
  EXPECT_EQ(f.pane.Redraw(), 0);
  f.pane.ShowWindow(SW_SHOW);
  hl::Pump();
  EXPECT_EQ(f.pane.layouts, 3);
  EXPECT_EQ(f.pane.m_rcClient, CRect(0, 0, 60, 40));
}

TEST(XPWndBaseColor, RedrawWithoutAWindowIsZero) {
  kvp::HeadlessWorld world;
  Pane pane;
  EXPECT_EQ(pane.Redraw(), 0);
}

TEST(XPWndBaseColor, FailingChildrenFailTheCreation) {
  PaneFixture f;
  f.pane.childrenOk = FALSE;
  EXPECT_FALSE(f.pane.Create("pane", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 50), &f.host, 5));
  EXPECT_EQ(f.pane.GetSafeHwnd(), HWND(0));
}

TEST(XPWndBaseColor, ColourBeforeCreationAndAfter) {
  PaneFixture f;
  f.pane.SetColor(RGB(10, 200, 30));
  EXPECT_EQ(f.pane.m_brBack.GetSafeHandle(), HGDIOBJ(0));
  f.pane.CreateEx(0, "pane", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 50), &f.host, 5);
  hl::Pump();
  EXPECT_EQ(Hex(Pixel(f.pane, 20, 20)), Hex(RGB(10, 200, 30)));
  f.pane.SetColor(RGB(200, 10, 30));
  EXPECT_EQ(f.pane.m_brBack.GetSafeHandle(), HGDIOBJ(0)) << "the brush is dropped";
  f.pane.Redraw();
  EXPECT_EQ(Hex(Pixel(f.pane, 20, 20)), Hex(RGB(200, 10, 30)));
}

TEST(XPWndBaseColor, SetIdWritesTheWindowsId) {
  PaneFixture f;
  f.pane.SetId(77);
  EXPECT_EQ(f.pane.m_nId, 77);
  f.pane.Create("pane", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 50), &f.host, 5);
  f.pane.SetId(1021);
  EXPECT_EQ(f.pane.GetDlgCtrlID(), 1021);
  EXPECT_EQ(f.pane.m_nId, 1021);
}

TEST(RedrawNow, PaintsAToolkitWindowAtOnce) {
  PaneFixture f;
  CXPCtrlBtn button;
  button.flags = CXPCtrlBtn::kFlatHot;
  button.Create("b", WS_CHILD | WS_VISIBLE, CRect(10, 10, 60, 30), &f.host, 3);
  hl::Pump();
  EXPECT_EQ(Hex(Pixel(button, 5, 5)), Hex(button.face));
  button.SetColors(RGB(0, 0, 255), 0x10000, button.back, button.frame);
  RedrawNow(&button);
  EXPECT_EQ(Hex(Pixel(button, 5, 5)), Hex(RGB(0, 0, 255))) << "no message loop needed";
  RedrawNow(nullptr);
  CWnd unattached;
  RedrawNow(&unattached);
}

}  // namespace
