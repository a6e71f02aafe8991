// The sampler: every toolkit control in its looks and states in one window, written as a
// screenshot for people to look at (build/<preset>/screenshots/toolkit-sampler.png).
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/HotItems.h>
#include <ui/RepeatCtrl.h>
#include <ui/XPCtrlBtn.h>
#include <ui/XPCtrlHyperText.h>
#include <ui/XPCtrlStaticWFont.h>
#include <ui/XPCtrlTab.h>

#include <core/ColorScheme.h>

#include <filesystem>
#include <memory>
#include <vector>

using namespace uitest;

namespace {

const char* const kStates[] = {"normal", "hot", "pressed"};

class Caption : public CXPCtrlBtn::IDrawClbck {
 public:
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) override {
    const int old = dc->SetBkMode(TRANSPARENT);
    dc->DrawText(kStates[data->user], -1, content, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc->SetBkMode(old);
  }
};

class Tabs : public CXPCtrlTab::IClbck_XPCtrlTab, public CXPCtrlTabItem::IClbck_XPCtrlTabItem {
 public:
  BOOL MayChange(int, int) override { return TRUE; }
  void Changed(int, int) override {}
  BOOL DrawItem(CDC* dc, RECT* rect, CXPCtrlTabItem* item, int flags) override {
    static const char* const names[] = {"Oscilloscope", "Multimeter", "Engine tester", "Analyzer"};
    const int old = dc->SetBkMode(TRANSPARENT);
    const COLORREF oldColour = dc->SetTextColor(flags & kSelected ? RGB(0, 0, 0) : RGB(60, 60, 60));
    dc->DrawText(names[item->id], -1, rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    dc->SetTextColor(oldColour);
    dc->SetBkMode(old);
    return TRUE;
  }
};

TEST(ToolkitSampler, EveryControlInItsLooksAndStates) {
  kvp::HeadlessWorld world;
  Host host;
  host.fill = GetSchemeColor(6);
  host.CreateTop(0, 0, 660, 330);

  // Buttons: the four looks, each normal, hot and pressed.
  Caption caption;
  const uint32_t looks[] = {0, CXPCtrlBtn::kFlat, CXPCtrlBtn::kFlat | CXPCtrlBtn::kFlatNoEdge, CXPCtrlBtn::kFlatHot};
  std::vector<std::unique_ptr<CXPCtrlBtn>> buttons;
  for (int l = 0; l < 4; ++l) {
    for (int s = 0; s < 3; ++s) {
      auto b = std::make_unique<CXPCtrlBtn>();
      b->flags = looks[l];
      b->drawClbck = &caption;
      b->data.user = s;
      b->data.state = s == 0 ? 0 : s == 1 ? 2 : 1;
      const int x = 10 + (l * 3 + s) * 53;
      b->Create("", WS_CHILD | WS_VISIBLE, CRect(x, 10, x + 50, 40), &host, 100 + l * 3 + s);
      buttons.push_back(std::move(b));
    }
  }
  // Check boxes, checked and not.
  CXPCheckBtn checked, unchecked;
  unchecked.checked = FALSE;
  checked.Create(CRect(10, 55, 30, 75), &host, 200);
  unchecked.Create(CRect(40, 55, 60, 75), &host, 201);
  // Static text with a shadow.
  CFont titleFont;
  titleFont.CreateFont(-20, 0, 0, 0, 700, 0, 0, 0, 0, 0, 0, 0, 0, "Arial");
  CXPCtrlStaticWFont title(RGB(255, 255, 255), GetSchemeColor(6), &titleFont, TRUE, DT_LEFT | DT_VCENTER, 0);
  title.Create("Dravix Scope", WS_CHILD | WS_VISIBLE, CRect(80, 50, 330, 80), &host, 202);
  // Links: normal, hot, focused.
  CXPCtrlHyperText links[3];
  const char* linkTexts[] = {"Voltage", "Current", "Resistance"};
  for (int i = 0; i < 3; ++i) {
    links[i].text = linkTexts[i];
    links[i].Create("", WS_CHILD | WS_VISIBLE, CRect(350 + i * 100, 55, 445 + i * 100, 75), &host, 210 + i);
  }
  // Repeat controls: vertical, horizontal, grouped, flat, disabled.
  struct RepeatLook {
    int orientation;
    uint32_t flags;
    bool enabled;
    int decimals;
    CRect rect;
  } repeatLooks[] = {
      {0, 0, true, 0, CRect(10, 95, 110, 119)},
      {1, 0, true, 1, CRect(125, 95, 245, 119)},
      {1, CRepeatCtrl::kGrouped, true, 2, CRect(260, 92, 380, 122)},
      {0, CRepeatCtrl::kFlat, true, 0, CRect(395, 95, 495, 119)},
      {0, 0, false, 0, CRect(510, 95, 610, 119)},
  };
  CRepeatCtrl repeats[5];
  for (int i = 0; i < 5; ++i) {
    NumericOptionRecord r;
    r.step = 1, r.min = 0, r.max = 100, r.value = 12.5 + i, r.decimals = repeatLooks[i].decimals;
    repeats[i].InitOptionFromRecord(&r);
    repeats[i].orientation = repeatLooks[i].orientation;
    repeats[i].flags = repeatLooks[i].flags;
    repeats[i].SetArrowLayout();
    repeats[i].Create("", WS_CHILD | WS_VISIBLE, repeatLooks[i].rect, &host, 220 + i);
    if (!repeatLooks[i].enabled) repeats[i].Enable(FALSE, FALSE);
  }
  // Tab strip with a selection, and thumbs with both edges in their states.
  Tabs tabsOwner;
  CXPCtrlTab tabs(&host);
  tabs.owner = &tabsOwner;
  tabs.rect = RECT{0, 140, 660, 172};
  tabs.SetColors(0, RGB(230, 230, 230), GetSchemeColor(6), RGB(110, 110, 110));
  for (int i = 0; i < 4; ++i) {
    auto* item = new CXPCtrlTabItem;
    item->width = 110;
    item->id = i;
    item->painter = &tabsOwner;
    tabs.AddItem(item);
  }
  tabs.layoutDirty = TRUE;
  tabs.SetSelection(1, FALSE);
  CHotItemsContainer thumbs(&host);
  CBrush thumbBrush(GetSchemeColor(22)), thumbPressed(RGB(255, 200, 0));
  const int edges[] = {1, 2, 1, 2, -1};
  const int states[] = {0, 0, 2, 1, 0};
  for (int i = 0; i < 5; ++i) {
    auto* t = new CVisualItemThumb;
    t->rect = RECT{40 + i * 60, 200, 53 + i * 60, 212};
    t->edge = edges[i];
    t->state = states[i];
    t->brush = &thumbBrush;
    t->pressedBrush = &thumbPressed;
    thumbs.AddItem(t);
  }
  for (int i = 0; i < 3; ++i) {
    auto* t = new CRecordThumb;
    t->side = CRecordThumb::kBottom;
    t->rect = SideThumbRect(t->side, 360 + i * 60, RECT{20, 180, 640, 260});
    t->edge = 1 + i % 2;
    t->brush = &thumbBrush;
    thumbs.AddItem(t);
  }
  host.onPaint = [&](CDC* dc) {
    tabs.Paint(dc, TRUE);
    dc->FillSolidRect(20, 180, 620, 80, RGB(255, 255, 255));
    thumbs.Draw(dc, FALSE);
  };
  hl::Pump();
  // Looks that only input would give, set directly.
  links[1].state = 2;
  links[2].focused = TRUE;
  for (auto& link : links) link.Redraw();
  repeats[0].items[0].SetState(2);
  repeats[0].Redraw();
  repeats[1].items[1].SetState(1);
  repeats[1].Redraw();

  EXPECT_EQ(Hex(Pixel(*buttons[0], 5, 15)), Hex(buttons[0]->face));
  EXPECT_EQ(Hex(Pixel(*buttons[11], 2, 2)), Hex(buttons[11]->hotFace));

  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  const std::string path = ScreenshotPath("toolkit-sampler.png");
  ASSERT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), path.c_str()));
  EXPECT_GT(std::filesystem::file_size(path), 1000u);
}

}  // namespace
