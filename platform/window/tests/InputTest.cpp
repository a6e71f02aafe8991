// Keyboard focus, typed characters and cursors.
#include "Probe.h"

#include <gtest/gtest.h>

namespace hl = kvp::headless;

namespace {

TEST(Focus, MovesWithKillAndSetFocusAndLeavesAHiddenWindow) {
  kvp::HeadlessWorld world;
  kvtest::Probe top, a, b;
  top.CreateTop(CRect(0, 0, 200, 100));
  a.CreateChild(&top, CRect(0, 0, 50, 20), 1);
  b.CreateChild(&top, CRect(60, 0, 110, 20), 2);
  a.SetFocus();
  b.SetFocus();
  ASSERT_TRUE(a.Last(WM_KILLFOCUS) && b.Last(WM_SETFOCUS));
  EXPECT_EQ(a.Last(WM_KILLFOCUS)->wParam, b.m_hWnd);
  EXPECT_EQ(b.Last(WM_SETFOCUS)->wParam, a.m_hWnd);

  hl::PressKey('A', 0, 'a');
  ASSERT_TRUE(b.Last(WM_CHAR));
  EXPECT_EQ(b.Last(WM_CHAR)->wParam, static_cast<WPARAM>('a'));
  EXPECT_EQ(b.Last(WM_KEYDOWN)->wParam, static_cast<WPARAM>('A'));

  b.ShowWindow(SW_HIDE);
  EXPECT_EQ(::GetFocus(), top.m_hWnd);
}

TEST(Focus, TabWalksTheTabStopsOfADialog) {
  kvp::HeadlessWorld world;
  kvtest::Probe first, skipped, second;
  std::vector<HWND> order;
  std::vector<HWND> stops;
  struct Run : CDialog {
    std::function<void()> init;
    BOOL OnInitDialog() override {
      init();
      return TRUE;
    }
  } run;
  run.init = [&] {
    first.CreateChild(&run, CRect(0, 0, 10, 10), 1, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    skipped.CreateChild(&run, CRect(0, 20, 10, 30), 2);
    second.CreateChild(&run, CRect(0, 40, 10, 50), 3, WS_CHILD | WS_VISIBLE | WS_TABSTOP);
    hl::RunInLoop([&] {
      stops = {first.m_hWnd, second.m_hWnd};
      order.push_back(::GetFocus());  // the first tab stop has the focus when the dialog opens
      hl::PressKey(VK_TAB);
      order.push_back(::GetFocus());
      hl::PressKey(VK_TAB);
      order.push_back(::GetFocus());
      hl::PressKey(VK_TAB, MOD_SHIFT);
      order.push_back(::GetFocus());
      run.EndDialog(IDOK);
    });
  };
  run.DoModal();
  ASSERT_EQ(stops.size(), 2u);
  EXPECT_EQ(order, (std::vector<HWND>{stops[0], stops[1], stops[0], stops[1]}));
}

TEST(Cursor, TheParentDecidesFirstThenTheClassCursor) {
  kvp::HeadlessWorld world;
  HCURSOR hand = LoadCursor(0, IDC_HAND);
  HCURSOR arrow = LoadCursor(0, IDC_ARROW);
  EXPECT_EQ(LoadCursor(0, IDC_HAND), hand);  // one handle per cursor
  WNDCLASS wc{};
  wc.lpfnWndProc = DefWindowProc;
  wc.hCursor = hand;
  wc.lpszClassName = "HandCursorClass";
  ASSERT_TRUE(AfxRegisterClass(&wc));
  kvtest::Probe top;
  top.CreateTop(CRect(0, 0, 200, 100));
  CWnd child;
  child.Create("HandCursorClass", "", WS_CHILD | WS_VISIBLE, CRect(10, 10, 50, 50), &top, 1);
  hl::MoveMouseTo(child.m_hWnd, POINT{5, 5});
  EXPECT_EQ(::GetCursor(), hand);
  top.hooks[WM_SETCURSOR] = [&](WPARAM, LPARAM) -> LRESULT {
    ::SetCursor(arrow);
    return TRUE;
  };
  hl::MoveMouseTo(child.m_hWnd, POINT{6, 6});
  EXPECT_EQ(::GetCursor(), arrow);
  ASSERT_TRUE(top.Last(WM_SETCURSOR));
  EXPECT_EQ(top.Last(WM_SETCURSOR)->wParam, child.m_hWnd);
  EXPECT_EQ(LOWORD(top.Last(WM_SETCURSOR)->lParam), HTCLIENT);
  EXPECT_EQ(HIWORD(top.Last(WM_SETCURSOR)->lParam), WM_MOUSEMOVE);
}

}  // namespace
