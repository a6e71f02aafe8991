// The print queue preview over the program's queue: its empty state, one window per queued item
// drawn as printed (grey when excluded), the comment, remove and include boxes acting on the
// right queue item after removals, and the scrolling with its range kept in step with the items.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/dialogs/CommentDlg.h>
#include <ui/print/DlgPrintQueueView.h>
#include <ui/print/PrintDlg.h>
#include <ui/print/PrintQueue.h>

#include <core/Messages.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/WhenOpen.h>

#include <platform/textlog.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using namespace uitest;

namespace {

using View = CDlgPrintQueueView;
using ItemWnd = CDlgPrintQueueView::CWndPrintedItem;

void Screenshot(HWND w, const char* name) {
  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  ::UpdateWindow(w);
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(w, ScreenshotPath(name).c_str())) << name;
}

void ClickCentre(HWND w) {
  RECT r;
  ::GetClientRect(w, &r);
  hl::Click(w, POINT{r.right / 2, r.bottom / 2});
}

// A click posted as the mouse messages the control gets, so a nested dialog it opens starts
// before the test's check of the active window (queued after it) runs.
void PostClick(HWND w) {
  RECT r;
  ::GetClientRect(w, &r);
  const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
  ::PostMessage(w, WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessage(w, WM_LBUTTONUP, 0, at);
}

CRect RectIn(HWND w, HWND origin) {
  CRect r;
  ::GetWindowRect(w, &r);
  ::ScreenToClient(origin, reinterpret_cast<POINT*>(&r.left));
  ::ScreenToClient(origin, reinterpret_cast<POINT*>(&r.right));
  return r;
}

bool Drew(HWND w, const std::string& text, COLORREF* colour = nullptr) {
  for (const kvp::DrawnText& t : kvp::DrawnTexts(w)) {
    if (t.text == text) {
      if (colour) *colour = t.color;
      return true;
    }
  }
  return false;
}

class PrintPreviewTest : public kvtest::CoreTest {
 protected:
  kvp::HeadlessWorld world;
  Host parent;
  CPrintQueue* queue = GetPrintQueue();

  void SetUp() override {
    kvtest::CoreTest::SetUp();
    queue->Clear();
    ASSERT_TRUE(parent.CreateTop(100, 50, 800, 600));
    hl::Pump();
    kvp::StartTextLog();
  }
  void TearDown() override {
    kvp::StopTextLog();
    kvp::SetMessageBoxResponder(nullptr);
    queue->Clear();
    kvtest::CoreTest::TearDown();
  }
  // A queued voltmeter item of the reading with the comment.
  void AddVoltage(double reading, const char* comment, int include = 1) {
    int index = -1;
    CPrintItemData* d = queue->AddItem(0, &index, 1);
    ASSERT_NE(d, nullptr);
    d->SetMeterValues(reading, 0, 0, 0, 0, comment);
    queue->GetItem(index)->include = include;
  }
  void AddPending() {
    int index = -1;
    ASSERT_NE(queue->AddItem(2, &index, 0), nullptr);
  }
  void AddMany(int n) {
    for (int i = 0; i < n; ++i) AddVoltage(100 + i, ("item " + std::to_string(i)).c_str());
  }
  static int ScrollPos(View& v) { return v.GetScrollPos(SB_VERT); }
  static void Scroll(View& v, UINT code, int pos = 0) { v.SendMessage(WM_VSCROLL, MAKEWPARAM(code, pos), 0); }
  static ItemWnd& Item(View& v, size_t i) { return *v.m_Items.at(i); }
};

TEST_F(PrintPreviewTest, AnEmptyQueueShowsTheTitleBandAndTheEmptyTextWithoutAScrollBar) {
  AddPending();  // a pending item is not shown
  View view(&parent);
  CRect placed, client;
  CString caption;
  hl::RunInLoop([&] {
    view.GetWindowRect(&placed);
    view.GetClientRect(&client);
    view.GetWindowText(caption);
    kvp::ClearTextLog();
    view.RedrawNow();
    Screenshot(view.GetSafeHwnd(), "preview-empty.png");
    view.EndDialog(IDCANCEL);
  });
  view.DoModal();
  EXPECT_EQ(placed, CRect(100 + 400 - 300, 50 + 300 - 250, 100 + 400 + 300, 50 + 300 + 250));
  EXPECT_STREQ(caption, "Print queue - preview");
  EXPECT_TRUE(view.m_Items.empty());
  EXPECT_EQ(view.m_nScrollMax, 0);
  bool title = false, empty = false;
  for (const kvp::DrawnText& t : kvp::DrawnTexts()) {
    if (t.text == "Print Queue") {
      title = true;
      EXPECT_EQ(t.rect.top, 0) << "the title starts at the client top";
    }
    if (t.text == "Print queue is empty.") {
      empty = true;
      EXPECT_EQ(t.rect.left, 20);
      EXPECT_EQ(t.rect.right, client.right - 20);
      EXPECT_EQ(t.flags & (DT_CENTER | DT_VCENTER | DT_SINGLELINE), UINT(DT_CENTER | DT_VCENTER | DT_SINGLELINE));
    }
  }
  EXPECT_TRUE(title);
  EXPECT_TRUE(empty);
}

TEST_F(PrintPreviewTest, EachQueuedItemHasItsWindowAndAnExcludedOneIsDrawnGrey) {
  AddVoltage(230, "mains");
  AddVoltage(12.5, "battery", 0);
  AddVoltage(0.25, "");
  AddPending();
  View view(&parent);
  std::vector<CRect> rects;
  std::vector<std::string> names;
  COLORREF included = 1, excluded = 1;
  CRect client;
  hl::RunInLoop([&] {
    view.GetClientRect(&client);
    kvp::ClearTextLog();
    for (auto& item : view.m_Items) {
      rects.push_back(RectIn(item->GetSafeHwnd(), view.GetSafeHwnd()));
      CString name;
      item->GetWindowText(name);
      names.emplace_back(name);
      item->Redraw();
    }
    EXPECT_TRUE(Drew(Item(view, 0).GetSafeHwnd(), "U = 230V", &included));
    EXPECT_TRUE(Drew(Item(view, 1).GetSafeHwnd(), "U = 12.5V", &excluded));
    Screenshot(view.GetSafeHwnd(), "preview-items.png");
    view.EndDialog(IDCANCEL);
  });
  view.DoModal();
  ASSERT_EQ(rects.size(), 3u) << "the pending item has no window";
  EXPECT_EQ(names, (std::vector<std::string>{"PrintedItem#X", "PrintedItem#X", "PrintedItem#X"}));
  EXPECT_EQ(excluded, RGB(180, 180, 180));
  EXPECT_NE(included, RGB(180, 180, 180));
  // Stacked from the header band down, each its height + 20, 20 pixels in from both sides.
  CClientDC dc(&parent);
  int y = 48;
  for (size_t i = 0; i < rects.size(); ++i) {
    const int h = queue->GetItemHeight(&dc, queue->GetItem(static_cast<int>(i)), client.Width() - 40, 20);
    EXPECT_EQ(rects[i], CRect(20, y, client.right - 20, y + h + 20)) << i;
    y += h + 20;
  }
}

TEST_F(PrintPreviewTest, TheIncludeBoxTogglesTheFlagOfItsItemAndTheDrawing) {
  AddVoltage(230, "mains");
  View view(&parent);
  std::vector<int> flags;
  COLORREF drawn = 0;
  hl::RunInLoop([&] {
    hl::Pump();  // painted: the boxes have their places
    ItemWnd& item = Item(view, 0);
    EXPECT_TRUE(item.m_BoxInclude.checked);
    ClickCentre(item.m_BoxInclude.GetSafeHwnd());
    flags.push_back(queue->GetItem(0)->include);
    kvp::ClearTextLog();
    item.Redraw();
    Drew(item.GetSafeHwnd(), "U = 230V", &drawn);
    ClickCentre(item.m_BoxInclude.GetSafeHwnd());
    flags.push_back(queue->GetItem(0)->include);
    view.EndDialog(IDCANCEL);
  });
  view.DoModal();
  EXPECT_EQ(flags, (std::vector<int>{0, 1}));
  EXPECT_EQ(drawn, RGB(180, 180, 180));
  EXPECT_EQ(queue->CountFilled(), 1) << "an excluded item still counts as queued";
}

TEST_F(PrintPreviewTest, RemovingAsksAndTheRemainingWindowsStillEditTheirOwnItems) {
  AddVoltage(1, "first");
  AddVoltage(2, "second");
  AddVoltage(3, "third");
  int answer = IDNO;
  std::vector<std::string> questions;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    questions.push_back(call.caption + ": " + call.text);
    EXPECT_EQ(call.type & (MB_YESNO | MB_ICONQUESTION), UINT(MB_YESNO | MB_ICONQUESTION));
    return answer;
  });
  View view(&parent);
  std::vector<int> ids;
  CRect firstAfter;
  hl::RunInLoop([&] {
    hl::Pump();  // painted: the boxes have their places
    ClickCentre(Item(view, 0).m_BoxRemove.GetSafeHwnd());
    EXPECT_EQ(view.m_Items.size(), 3u) << "No keeps the item";
    EXPECT_EQ(queue->GetCount(), 3);
    answer = IDYES;
    ClickCentre(Item(view, 0).m_BoxRemove.GetSafeHwnd());
    hl::Pump();  // the removal is posted
    for (auto& item : view.m_Items) ids.push_back(item->GetDlgCtrlID());
    firstAfter = RectIn(Item(view, 0).GetSafeHwnd(), view.GetSafeHwnd());
    // The window that showed the third item now has id 1 and acts on queue item 1.
    ClickCentre(Item(view, 1).m_BoxInclude.GetSafeHwnd());
    view.EndDialog(IDCANCEL);
  });
  view.DoModal();
  EXPECT_EQ(questions, (std::vector<std::string>{"Removing: Are you sure to remove this record?",
                                                 "Removing: Are you sure to remove this record?"}));
  EXPECT_EQ(ids, (std::vector<int>{0, 1}));
  ASSERT_EQ(queue->GetCount(), 2);
  EXPECT_STREQ(queue->GetItem(0)->data->GetComment(), "second");
  EXPECT_EQ(queue->GetItem(0)->include, 1);
  EXPECT_STREQ(queue->GetItem(1)->data->GetComment(), "third");
  EXPECT_EQ(queue->GetItem(1)->include, 0);
  EXPECT_EQ(firstAfter.top, 48) << "the items moved up";
}

TEST_F(PrintPreviewTest, ACommentThatWrapsMovesTheItemsBelowAndCancelKeepsTheComment) {
  AddVoltage(230, "short");
  AddVoltage(12, "next");
  struct Case {
    const char* name;
    bool ok;
    std::string typed;
    std::string kept;
  };
  const std::string longText =
      "The reading was taken with the engine warm, the fan running and the headlights on, after a long "
      "drive through the hills in the rain; repeat it in the morning before the engine is started.";
  const Case cases[] = {{"cancel keeps the comment", false, longText, "short"},
                        {"a long comment wraps and moves the next item down", true, longText, longText}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    View view(&parent);
    int nextBefore = 0, nextAfter = 0, maxBefore = 0, maxAfter = 0;
    std::string offered;
    hl::RunInLoop([&] {
      nextBefore = RectIn(Item(view, 1).GetSafeHwnd(), view.GetSafeHwnd()).top;
      maxBefore = view.m_nScrollMax;
      PostClick(Item(view, 0).m_BoxComment.GetSafeHwnd());
      kvtest::WhenOpen<CCommentDlg>([&](CCommentDlg& d) {
        CString now;
        d.GetDlgItemText(1050, now);
        offered = now;
        ::SetDlgItemText(d.GetSafeHwnd(), 1050, c.typed.c_str());
        ClickCentre((c.ok ? d.m_BtnOK : d.m_BtnCancel).GetSafeHwnd());
      });
      hl::Pump();
      nextAfter = RectIn(Item(view, 1).GetSafeHwnd(), view.GetSafeHwnd()).top;
      maxAfter = view.m_nScrollMax;
      view.EndDialog(IDCANCEL);
    });
    view.DoModal();
    EXPECT_EQ(offered, "short");
    EXPECT_EQ(std::string(queue->GetItem(0)->data->GetComment()), c.kept);
    if (c.ok) {
      EXPECT_GT(nextAfter, nextBefore + 40) << "several more lines";
      EXPECT_GE(maxAfter, maxBefore);
    } else {
      EXPECT_EQ(nextAfter, nextBefore);
    }
    queue->GetItem(0)->data->SetComment("short");
  }
}

TEST_F(PrintPreviewTest, ScrollCodesMoveThePositionWithinTheRange) {
  AddMany(14);
  View view(&parent);
  struct Case {
    const char* name;
    int from;  // -1: the range's maximum
    UINT code;
    int pos;   // for the thumb
    int to;    // -1: the maximum
  };
  const Case cases[] = {
      {"line down", 0, SB_LINEDOWN, 0, 1},     {"line up at the top stays", 0, SB_LINEUP, 0, 0},
      {"line up", 3, SB_LINEUP, 0, 2},         {"line down at the end stays", -1, SB_LINEDOWN, 0, -1},
      {"page down", 0, SB_PAGEDOWN, 0, 4},     {"page down near the end", -1, SB_PAGEDOWN, 0, -1},
      {"page up", 6, SB_PAGEUP, 0, 2},         {"page up near the top", 3, SB_PAGEUP, 0, 0},
      {"thumb track", 0, SB_THUMBTRACK, 5, 5}, {"thumb position changes nothing", 2, SB_THUMBPOSITION, 5, 2},
      {"top", 5, SB_TOP, 0, 0},                {"bottom", 0, SB_BOTTOM, 0, -1},
      {"end scroll changes nothing", 3, SB_ENDSCROLL, 0, 3},
  };
  int max = 0;
  std::vector<std::string> failures;
  hl::RunInLoop([&] {
    max = view.m_nScrollMax;
    ASSERT_GE(max, 8) << "the column must be long enough for the table";
    for (const Case& c : cases) {
      Scroll(view, SB_THUMBTRACK, c.from < 0 ? max : c.from);
      Scroll(view, c.code, c.pos);
      const int expected = c.to < 0 ? max : c.to;
      if (ScrollPos(view) != expected || view.m_nOffset != -20 * expected ||
          RectIn(Item(view, 0).GetSafeHwnd(), view.GetSafeHwnd()).top != 48 - 20 * expected)
        failures.push_back(std::string(c.name) + ": " + std::to_string(ScrollPos(view)));
    }
    view.EndDialog(IDCANCEL);
  });
  view.DoModal();
  EXPECT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
}

TEST_F(PrintPreviewTest, AWheelTurnOfAnySizeScrollsOneStep) {
  AddMany(14);
  View view(&parent);
  std::vector<int> offsets;
  hl::RunInLoop([&] {
    RECT r;
    view.GetClientRect(&r);
    hl::MoveMouseTo(view.GetSafeHwnd(), POINT{r.right / 2, 20});
    for (int delta : {-360, -120, 240, 120, 120}) {
      hl::Wheel(delta);
      offsets.push_back(view.m_nOffset);
    }
    hl::Wheel(-120);
    hl::Wheel(-120);
    Screenshot(view.GetSafeHwnd(), "preview-scrolled.png");
    view.EndDialog(IDCANCEL);
  });
  view.DoModal();
  EXPECT_EQ(offsets, (std::vector<int>{-20, -40, -20, 0, 0}));
}

TEST_F(PrintPreviewTest, TheRangeReachesTheLastItemAndFollowsRemovals) {
  AddMany(14);
  kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDYES; });
  View view(&parent);
  hl::RunInLoop([&] {
    CRect client;
    view.GetClientRect(&client);
    auto lastBottom = [&] { return RectIn(view.m_Items.back()->GetSafeHwnd(), view.GetSafeHwnd()).bottom; };
    // At the end the last item is whole in view; one step before, it is not.
    Scroll(view, SB_BOTTOM);
    EXPECT_LE(lastBottom(), client.bottom);
    Scroll(view, SB_LINEUP);
    EXPECT_GT(lastBottom(), client.bottom);
    Scroll(view, SB_BOTTOM);
    const int before = view.m_nScrollMax;
    // Removing items shrinks the range and keeps the position inside it, with no empty space.
    for (int i = 0; i < 4; ++i) {
      ClickCentre(view.m_Items.back()->m_BoxRemove.GetSafeHwnd());
      hl::Pump();
    }
    EXPECT_LT(view.m_nScrollMax, before);
    EXPECT_EQ(ScrollPos(view), view.m_nScrollMax);
    EXPECT_EQ(view.m_nOffset, -20 * view.m_nScrollMax);
    EXPECT_LE(lastBottom(), client.bottom);
    EXPECT_GT(lastBottom(), client.bottom - 20);
    // Down to what fits: no range, no offset.
    while (view.m_Items.size() > 2) {
      ClickCentre(view.m_Items.back()->m_BoxRemove.GetSafeHwnd());
      hl::Pump();
    }
    EXPECT_EQ(view.m_nScrollMax, 0);
    EXPECT_EQ(view.m_nOffset, 0);
    EXPECT_EQ(RectIn(Item(view, 0).GetSafeHwnd(), view.GetSafeHwnd()).top, 48);
    view.EndDialog(IDCANCEL);
  });
  view.DoModal();
  EXPECT_EQ(queue->GetCount(), 2);
}

TEST_F(PrintPreviewTest, ThePrintDialogsViewRemovingEverythingLeavesCountZeroAndPrintDisabled) {
  AddVoltage(1, "a");
  AddVoltage(2, "b");
  kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDYES; });
  CPrintDlg dlg(&parent);
  CString count;
  bool printEnabled = true;
  hl::RunInLoop([&] {
    PostClick(dlg.m_BtnView.GetSafeHwnd());
    kvtest::WhenOpen<View>([](View& view) {
      while (!view.m_Items.empty()) {
        ClickCentre(view.m_Items.front()->m_BoxRemove.GetSafeHwnd());
        hl::Pump();
      }
      hl::PressKey(VK_ESCAPE);
    });
    hl::Pump();
    dlg.m_Count->GetWindowText(count);
    printEnabled = dlg.m_BtnPrint.IsWindowEnabled() != FALSE;
    dlg.EndDialog(IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_STREQ(count, "count of items in queue: 0");
  EXPECT_FALSE(printEnabled);
  EXPECT_EQ(queue->GetCount(), 0);
}

}  // namespace
