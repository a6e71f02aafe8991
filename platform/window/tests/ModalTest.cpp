// Modal dialogs: owner disabled, capture cancelled when one opens, ownership by the main window,
// nesting, the dialog keys, and application activation.
#include "Probe.h"

#include <gtest/gtest.h>

#include <string>

namespace hl = kvp::headless;

namespace {

class TestDialog : public CDialog {
 public:
  explicit TestDialog(CWnd* parent = nullptr) : CDialog(100u, parent) {}
  std::vector<std::string> order;
  std::function<void(TestDialog&)> onInit;
  int oks = 0;
  int cancels = 0;
  bool okEnds = true;

  int OnCreate(LPCREATESTRUCT cs) override {
    order.push_back("create");
    return CDialog::OnCreate(cs);
  }
  BOOL OnInitDialog() override {
    order.push_back("init");
    CDialog::OnInitDialog();
    if (onInit) onInit(*this);
    return TRUE;
  }
  void OnOK() override {
    ++oks;
    if (okEnds) CDialog::OnOK();
  }
  void OnCancel() override {
    ++cancels;
    CDialog::OnCancel();
  }
};

// A control that holds the capture while the pointer is over it, and counts WM_CANCELMODE.
class Hot : public CWnd {
 public:
  int cancelModes = 0;
  void OnMouseMove(UINT, CPoint) override {
    if (GetCapture() != this) SetCapture();
  }
  void OnCancelMode() override {
    ++cancelModes;
    CWnd::OnCancelMode();
  }
};

TEST(Modal, OpeningADialogCancelsTheCaptureAndDisablesTheOwner) {
  kvp::HeadlessWorld world;
  kvtest::Probe main;
  main.CreateTop(CRect(0, 0, 400, 300));
  Hot hot;
  hot.Create(kvtest::ProbeClass(), "hot", WS_CHILD | WS_VISIBLE, CRect(10, 10, 60, 40), &main, 3);
  hl::MoveMouseTo(hot.m_hWnd, POINT{5, 5});
  ASSERT_EQ(::GetCapture(), hot.m_hWnd);

  TestDialog dlg(&main);
  bool checked = false;
  bool activatedDialog = false;
  dlg.onInit = [&](TestDialog& d) {
    hl::RunInLoop([&] {
      EXPECT_EQ(hot.cancelModes, 1);
      EXPECT_EQ(::GetCapture(), 0u);
      EXPECT_FALSE(main.IsWindowEnabled());
      EXPECT_EQ(::GetWindow(d.m_hWnd, GW_OWNER), main.m_hWnd);
      // Activating the disabled owner (the user clicks it) brings up the dialog instead.
      hl::ActivateOtherApplication();
      hl::ActivateWindow(main.m_hWnd);
      activatedDialog = ::GetActiveWindow() == d.m_hWnd;
      checked = true;
      d.EndDialog(IDOK);
    });
  };
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(checked);
  EXPECT_TRUE(activatedDialog);
  EXPECT_TRUE(main.IsWindowEnabled());
  EXPECT_EQ(dlg.m_hWnd, 0u);  // the window is gone after the run
  EXPECT_EQ(dlg.order, (std::vector<std::string>{"create", "init"}));
}

TEST(Modal, ADialogWithoutParentIsOwnedByTheMainWindowAndNests) {
  kvp::HeadlessWorld world;
  CWinApp app("Test");
  TestDialog main;  // the main window itself runs modally with no owner
  TestDialog inner;
  TestDialog innermost(&inner);
  app.m_pMainWnd = &main;
  std::vector<std::string> trace;
  main.onInit = [&](TestDialog& d) {
    EXPECT_EQ(::GetWindow(d.m_hWnd, GW_OWNER), 0u);
    hl::RunInLoop([&] {
      inner.onInit = [&](TestDialog& i) {
        EXPECT_EQ(::GetWindow(i.m_hWnd, GW_OWNER), main.m_hWnd);
        hl::RunInLoop([&] {
          innermost.onInit = [&](TestDialog& k) {
            hl::RunInLoop([&] {
              EXPECT_FALSE(main.IsWindowEnabled());
              EXPECT_FALSE(inner.IsWindowEnabled());
              trace.push_back("innermost");
              k.EndDialog(5);
            });
          };
          trace.push_back("inner result " + std::to_string(innermost.DoModal()));
          EXPECT_TRUE(inner.IsWindowEnabled());
          i.EndDialog(6);
        });
      };
      trace.push_back("main result " + std::to_string(inner.DoModal()));
      EXPECT_TRUE(main.IsWindowEnabled());
      d.EndDialog(7);
    });
  };
  EXPECT_EQ(main.DoModal(), 7);
  EXPECT_EQ(trace, (std::vector<std::string>{"innermost", "inner result 5", "main result 6"}));
}

// A copy of the dialog class under the program's own name behaves as a dialog and finds it.
TEST(Modal, ACopyOfTheDialogClassFindsTheRunningDialog) {
  kvp::HeadlessWorld world;
  WNDCLASS wc;
  ASSERT_TRUE(GetClassInfo(AfxGetInstanceHandle(), WC_DIALOG, &wc));
  wc.lpszClassName = "CDravixScopeClass";
  ASSERT_TRUE(AfxRegisterClass(&wc));
  TestDialog dlg;
  dlg.m_strClassName = "CDravixScopeClass";
  HWND found = 0;
  dlg.onInit = [&](TestDialog& d) {
    hl::RunInLoop([&] {
      found = FindWindow("cdravixscopeclass", nullptr);
      hl::PressKey(VK_ESCAPE);
    });
  };
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_NE(found, 0u);
  EXPECT_EQ(dlg.cancels, 1);
}

struct KeyCase {
  const char* name;
  UINT vk;          // 0: WM_CLOSE instead of a key
  bool okEnds;      // the main window's OnOK does nothing
  bool childWantsKeys;
  int oks, cancels;
};

class DialogKeys : public ::testing::TestWithParam<KeyCase> {};

// Enter and Escape reach OnOK and OnCancel from whichever descendant has the focus.
TEST_P(DialogKeys, RouteFromTheFocusedDescendant) {
  const KeyCase& c = GetParam();
  kvp::HeadlessWorld world;
  TestDialog dlg;
  dlg.okEnds = c.okEnds;
  kvtest::Probe pane, field;
  if (c.childWantsKeys) field.hooks[WM_GETDLGCODE] = [](WPARAM, LPARAM) -> LRESULT { return DLGC_WANTALLKEYS; };
  dlg.onInit = [&](TestDialog& d) {
    pane.CreateChild(&d, CRect(0, 0, 200, 100), 10);
    field.CreateChild(&pane, CRect(10, 10, 100, 30), 11, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    hl::RunInLoop([&] {
      field.SetFocus();
      if (c.vk) {
        hl::PressKey(c.vk);
      } else {
        d.SendMessage(WM_CLOSE);
      }
      EXPECT_EQ(d.oks, c.oks);
      EXPECT_EQ(d.cancels, c.cancels);
      if (d.oks + d.cancels == 0 || (d.oks && !c.okEnds)) d.EndDialog(99);
    });
  };
  dlg.DoModal();
  if (c.childWantsKeys) {
    EXPECT_EQ(field.Count(WM_KEYDOWN), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeys,
    ::testing::Values(KeyCase{"EnterIsOk", VK_RETURN, true, false, 1, 0},
                      KeyCase{"EscapeIsCancel", VK_ESCAPE, true, false, 0, 1},
                      KeyCase{"CloseIsCancel", 0, true, false, 0, 1},
                      KeyCase{"EnterDoesNotCloseWhenOkDoesNothing", VK_RETURN, false, false, 1, 0},
                      KeyCase{"AControlThatWantsKeysKeepsEnter", VK_RETURN, true, true, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Activation, OnlyAChangeBetweenApplicationsIsReported) {
  kvp::HeadlessWorld world;
  kvtest::Probe main;
  main.CreateTop(CRect(0, 0, 300, 200));
  ASSERT_EQ(main.Count(WM_ACTIVATEAPP), 1);  // showing it made the application active
  TestDialog dlg(&main);
  dlg.onInit = [&](TestDialog& d) { hl::RunInLoop([&] { d.EndDialog(IDOK); }); };
  dlg.DoModal();
  EXPECT_EQ(main.Count(WM_ACTIVATEAPP), 1);  // a dialog of our own changes nothing

  Hot hot;
  hot.Create(kvtest::ProbeClass(), "hot", WS_CHILD | WS_VISIBLE, CRect(10, 10, 60, 40), &main, 3);
  hl::MoveMouseTo(hot.m_hWnd, POINT{5, 5});
  hl::ActivateOtherApplication();
  ASSERT_EQ(main.Count(WM_ACTIVATEAPP), 2);
  EXPECT_EQ(main.Last(WM_ACTIVATEAPP)->wParam, static_cast<WPARAM>(FALSE));
  EXPECT_EQ(hot.cancelModes, 1);
  hl::ActivateWindow(main.m_hWnd);
  ASSERT_EQ(main.Count(WM_ACTIVATEAPP), 3);
  EXPECT_EQ(main.Last(WM_ACTIVATEAPP)->wParam, static_cast<WPARAM>(TRUE));
}

}  // namespace
