// The print dialog's flows over the program's queue: Print and Add enabled by what the queue
// holds, Add queueing the pending item with the comment dialog's text, Print and Cancel dropping
// it, Clear keeping it, and the count after the preview.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/dialogs/CommentDlg.h>
#include <ui/print/PrintDlg.h>
#include <ui/print/PrintHeaderDlg.h>
#include <ui/print/PrintQueue.h>

#include <core/Reg.h>

#include <kvtest/CoreGlobals.h>

#include <platform/print.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

using namespace uitest;

namespace {

class NoCups : public kvp::print::CupsBackend {
 public:
  bool DefaultDestination(kvp::print::CupsDestination*) override { return false; }
  bool Submit(const std::string&, const std::string&, const std::string&, int) override { return false; }
};

// Runs fn on the comment dialog once it is the active window (it opens inside a click handler,
// after work queued before it); gives up after a bounded number of turns of the loop.
void WhenCommentOpen(std::function<void(CCommentDlg&)> fn, int turns = 50) {
  hl::RunInLoop([fn, turns] {
    auto* dlg = dynamic_cast<CCommentDlg*>(CWnd::FromHandlePermanent(::GetActiveWindow()));
    if (dlg) {
      fn(*dlg);
    } else if (turns > 0) {
      WhenCommentOpen(fn, turns - 1);
    } else {
      ADD_FAILURE() << "the comment dialog did not open";
    }
  });
}

class PrintDlgTest : public kvtest::CoreTest {
 protected:
  kvp::HeadlessWorld world;
  Host parent;
  NoCups cups;
  kvp::print::CupsBackend* before = nullptr;
  CPrintQueue* queue = GetPrintQueue();

  void SetUp() override {
    kvtest::CoreTest::SetUp();
    queue->Clear();
    queue->m_strVehicle = "Vehicle under test";
    before = kvp::print::SetCupsBackend(&cups);
    const std::string folder = std::string(std::getenv("HOME")) + "/dialog-reports";
    std::filesystem::create_directories(folder);
    CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
    ASSERT_TRUE(parent.CreateTop(20, 20, 800, 600));
    hl::Pump();
  }
  void TearDown() override {
    queue->Clear();
    kvp::print::SetCupsBackend(before);
    kvtest::CoreTest::TearDown();
  }
  void Add(int queued, LPCSTR comment) {
    int index = -1;
    CPrintItemData* d = queue->AddItem(0, &index, queued);
    ASSERT_NE(d, nullptr);
    d->SetMeterValues(12.0, 0, 0, 0, 0, comment);
  }
  static void Press(CXPCtrlBtn& b) {
    RECT r;
    b.GetClientRect(&r);
    hl::Click(b.GetSafeHwnd(), POINT{r.right / 2, r.bottom / 2});
  }
  static CString CountText(CPrintDlg& dlg) {
    CString s;
    dlg.m_Count->GetWindowText(s);
    return s;
  }
  static void Shot(CPrintDlg& dlg, const char* name) {
    std::filesystem::create_directories(KV_SCREENSHOT_DIR);
    hl::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(dlg.GetSafeHwnd(), ScreenshotPath(name).c_str()));
  }
};

TEST_F(PrintDlgTest, AddQueuesThePendingItemAndTheNextDialogCountsIt) {
  Add(0, "");
  {
    CPrintDlg dlg(&parent);
    hl::RunInLoop([&] {
      EXPECT_FALSE(dlg.m_BtnPrint.IsWindowEnabled()) << "nothing queued yet";
      EXPECT_EQ(dlg.m_BtnPrint.data.enabled, 0);
      EXPECT_TRUE(dlg.m_BtnAdd.IsWindowEnabled());
      EXPECT_STREQ(CountText(dlg), "count of items in queue: 0");
      Shot(dlg, "print-empty.png");
      // The comment dialog opens inside Add: type into it and confirm.
      WhenCommentOpen([](CCommentDlg& d) {
        ::SetDlgItemText(d.GetSafeHwnd(), 1050, "left front wheel");
        Press(d.m_BtnOK);
      });
      dlg.OnClick(&dlg.m_BtnAdd.data, &dlg.m_BtnAdd);
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
  }
  ASSERT_EQ(queue->GetCount(), 1);
  EXPECT_EQ(queue->GetItem(0)->queued, 1);
  EXPECT_STREQ(queue->GetItem(0)->data->GetComment(), "left front wheel");

  Add(0, "");
  CPrintDlg again(&parent);
  hl::RunInLoop([&] {
    EXPECT_STREQ(CountText(again), "count of items in queue: 1");
    EXPECT_TRUE(again.m_BtnPrint.IsWindowEnabled());
    Shot(again, "print-items.png");
    hl::PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(again.DoModal(), IDCANCEL);
  EXPECT_EQ(queue->GetCount(), 1) << "Escape drops the pending item";
}

TEST_F(PrintDlgTest, CancellingTheCommentStillAddsTheItem) {
  Add(0, "");
  CPrintDlg dlg(&parent);
  hl::RunInLoop([&] {
    WhenCommentOpen([](CCommentDlg&) { hl::PressKey(VK_ESCAPE); });
    dlg.OnClick(&dlg.m_BtnAdd.data, &dlg.m_BtnAdd);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  ASSERT_EQ(queue->GetCount(), 1);
  EXPECT_EQ(queue->GetItem(0)->queued, 1);
  EXPECT_TRUE(queue->GetItem(0)->data->GetComment().IsEmpty());
}

TEST_F(PrintDlgTest, EveryWayOutLeavesQueuedItemsOnly) {
  struct Case {
    const char* name;
    int way;  // 0 Cancel button, 1 Escape, 2 close box (WM_CLOSE), 3 Print
    INT_PTR result;
  };
  const Case cases[] = {{"Cancel", 0, IDCANCEL}, {"Escape", 1, IDCANCEL}, {"close box", 2, IDCANCEL},
                        {"Print", 3, IDOK}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    queue->Clear();
    queue->m_strVehicle = "Vehicle under test";
    Add(1, "first queued");
    Add(1, "second queued");
    Add(0, "pending");
    const std::string lastBefore = kvp::print::LastPdfFile();
    CPrintDlg dlg(&parent);
    hl::RunInLoop([&] {
      switch (c.way) {
        case 0: Press(dlg.m_BtnCancel); break;
        case 1: hl::PressKey(VK_ESCAPE); break;
        case 2: dlg.SendMessage(WM_CLOSE); break;
        default: Press(dlg.m_BtnPrint); break;
      }
    });
    EXPECT_EQ(dlg.DoModal(), c.result);
    ASSERT_EQ(queue->GetCount(), 2);
    EXPECT_EQ(queue->CountFilled(), 2);
    if (c.way == 3) {
      const std::string pdf = kvp::print::LastPdfFile();
      ASSERT_NE(pdf, lastBefore);
      FILE* p = ::popen(("pdftotext '" + pdf + "' - 2>/dev/null").c_str(), "r");
      ASSERT_NE(p, nullptr);
      std::string text;
      char buf[4096];
      size_t n;
      while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) text.append(buf, n);
      ::pclose(p);
      EXPECT_NE(text.find("second queued"), std::string::npos);
      EXPECT_EQ(text.find("pending"), std::string::npos) << "only what was added before is printed";
    } else {
      EXPECT_EQ(kvp::print::LastPdfFile(), lastBefore) << "nothing printed";
    }
  }
}

TEST_F(PrintDlgTest, ClearKeepsThePendingItem) {
  Add(1, "a");
  Add(1, "b");
  Add(0, "pending");
  CPrintDlg dlg(&parent);
  hl::RunInLoop([&] {
    EXPECT_TRUE(dlg.m_BtnPrint.IsWindowEnabled());
    Press(dlg.m_BtnClear);
    EXPECT_EQ(queue->GetCount(), 1);
    EXPECT_STREQ(CountText(dlg), "count of items in queue: 0");
    EXPECT_FALSE(dlg.m_BtnPrint.IsWindowEnabled());
    EXPECT_TRUE(dlg.m_BtnAdd.IsWindowEnabled()) << "the pending item can still be added";
    dlg.EndDialog(IDCANCEL);
  });
  dlg.DoModal();
}

TEST_F(PrintDlgTest, AddIsDisabledWithoutAPendingItem) {
  struct Case {
    const char* name;
    bool queuedItem;
  };
  for (const Case& c : {Case{"empty queue", false}, Case{"only queued items", true}}) {
    SCOPED_TRACE(c.name);
    queue->Clear();
    if (c.queuedItem) Add(1, "queued");
    CPrintDlg dlg(&parent);
    hl::RunInLoop([&] {
      EXPECT_FALSE(dlg.m_BtnAdd.IsWindowEnabled());
      Press(dlg.m_BtnAdd);  // a disabled button does nothing
      EXPECT_TRUE(::IsWindow(dlg.GetSafeHwnd()));
      EXPECT_EQ(dlg.m_BtnPrint.IsWindowEnabled() != FALSE, c.queuedItem);
      dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    EXPECT_EQ(queue->GetCount(), c.queuedItem ? 1 : 0);
  }
}

TEST_F(PrintDlgTest, ViewThatRemovesEverythingLeavesCountZeroAndPrintDisabled) {
  Add(1, "a");
  Add(1, "b");
  CPrintDlg dlg(&parent);
  int previews = 0;
  dlg.m_ShowPreview = [&](CWnd*) {
    ++previews;
    while (queue->RemoveAt(0)) {
    }
  };
  hl::RunInLoop([&] {
    Press(dlg.m_BtnView);
    EXPECT_STREQ(CountText(dlg), "count of items in queue: 0");
    EXPECT_FALSE(dlg.m_BtnPrint.IsWindowEnabled());
    dlg.EndDialog(IDCANCEL);
  });
  dlg.DoModal();
  EXPECT_EQ(previews, 1);
}

// The header dialog refuses texts over their limits when confirmed and stays open; within them
// OK hands both texts out.
TEST_F(PrintDlgTest, HeaderDialogRefusesTextsOverTheirLimits) {
  struct Case {
    const char* name;
    std::string vehicle;
    std::string plate;
    bool accepted;
  };
  const Case cases[] = {{"both at their limits", std::string(60, 'v'), std::string(20, 'p'), true},
                        {"vehicle of 61", std::string(61, 'v'), "1A2 3456", false},
                        {"plate of 21", "Octavia", std::string(21, 'p'), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CPrintHeaderDlg dlg(&parent);
    const size_t boxesBefore = kvp::MessageBoxLog().size();
    CRect placed;
    hl::RunInLoop([&] {
      RECT r, p;
      dlg.GetWindowRect(&r);
      parent.GetWindowRect(&p);
      placed = CRect(r.left - p.left, r.top - p.top, r.right - p.left, r.bottom - p.top);
      ::SetDlgItemText(dlg.GetSafeHwnd(), 1048, c.vehicle.c_str());
      ::SetDlgItemText(dlg.GetSafeHwnd(), 1044, c.plate.c_str());
      Press(dlg.m_BtnOK);
      if (!c.accepted) Press(dlg.m_BtnCancel);  // still open after the refusal
    });
    const INT_PTR result = dlg.DoModal();
    EXPECT_EQ(result, c.accepted ? IDOK : IDCANCEL);
    EXPECT_EQ(kvp::MessageBoxLog().size() > boxesBefore, !c.accepted) << "the refusal is shown";
    if (c.accepted) {
      EXPECT_EQ(std::string(dlg.GetVehicle()), c.vehicle);
      EXPECT_EQ(std::string(dlg.GetLicencePlate()), c.plate);
    }
    EXPECT_EQ(placed, CRect(400 - 190, 300 - 75, 400 + 190, 300 + 75));
  }
}

}  // namespace
