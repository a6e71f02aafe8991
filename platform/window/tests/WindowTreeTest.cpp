// Painting through the window tree, hot keys and the maximised shape.
#include "Probe.h"

#include <gtest/gtest.h>

#include <platform/gdi.h>
#include <platform/textlog.h>

namespace hl = kvp::headless;

namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);

// A window that paints itself in one colour.
class Solid : public CWnd {
 public:
  explicit Solid(COLORREF c) : colour(c) {}
  COLORREF colour;
  int paints = 0;
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    ++paints;
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    HBRUSH b = CreateSolidBrush(colour);
    FillRect(dc.m_hDC, &rc, b);
    DeleteObject(b);
  }
};

void FillThroughWindowDC(HWND hwnd, COLORREF colour) {
  HDC dc = GetDC(hwnd);
  RECT rc;
  GetClientRect(hwnd, &rc);
  HBRUSH b = CreateSolidBrush(colour);
  FillRect(dc, &rc, b);
  DeleteObject(b);
  ReleaseDC(hwnd, dc);
}

TEST(Paint, PaintComesWhenNothingElseWaitsAndParentsPaintFirst) {
  kvp::HeadlessWorld world;
  Solid top(kBlue), child(kRed);
  top.CreateEx(0, kvtest::ProbeClass(), "top", WS_POPUP | WS_VISIBLE, 0, 0, 100, 80, 0, 0);
  child.Create(kvtest::ProbeClass(), "child", WS_CHILD | WS_VISIBLE, CRect(10, 10, 40, 30), &top, 1);
  kvtest::Probe probe;
  probe.CreateTop(CRect(200, 0, 260, 60));
  hl::Pump();
  probe.seen.clear();
  probe.Invalidate();
  probe.PostMessage(WM_APP + 1);
  hl::Pump();
  ASSERT_EQ(probe.seen.size(), 3u);  // posted, WM_PAINT, WM_ERASEBKGND inside it
  EXPECT_EQ(probe.seen[0].msg, static_cast<UINT>(WM_APP + 1));
  EXPECT_EQ(probe.seen[1].msg, static_cast<UINT>(WM_PAINT));

  EXPECT_EQ(kvp::WindowPixel(top.m_hWnd, 5, 5), kBlue);
  EXPECT_EQ(kvp::WindowPixel(top.m_hWnd, 20, 20), kRed);  // the child painted over its parent
  EXPECT_EQ(kvp::WindowPixel(child.m_hWnd, 0, 0), kRed);
}

TEST(Paint, AWindowDCNeverReachesVisibleChildrenAndAHiddenWindowDrawsNothing) {
  kvp::HeadlessWorld world;
  Solid top(kBlue), child(kRed);
  top.CreateEx(0, kvtest::ProbeClass(), "top", WS_POPUP | WS_VISIBLE, 0, 0, 100, 80, 0, 0);
  child.Create(kvtest::ProbeClass(), "child", WS_CHILD | WS_VISIBLE, CRect(10, 10, 40, 30), &top, 1);
  hl::Pump();
  FillThroughWindowDC(top.m_hWnd, RGB(0, 255, 0));
  EXPECT_EQ(kvp::WindowPixel(top.m_hWnd, 5, 5), RGB(0, 255, 0));
  EXPECT_EQ(kvp::WindowPixel(top.m_hWnd, 20, 20), kRed);

  child.ShowWindow(SW_HIDE);
  FillThroughWindowDC(child.m_hWnd, RGB(255, 255, 0));
  EXPECT_EQ(kvp::WindowPixel(top.m_hWnd, 20, 20), kRed);  // nothing drawn by the hidden child
  hl::Pump();                                               // the parent repaints what it uncovered
  EXPECT_EQ(kvp::WindowPixel(top.m_hWnd, 20, 20), kBlue);
}

// A paint handler that forgets BeginPaint gets its WM_PAINT once, not forever.
TEST(Paint, AnUnansweredPaintIsNotRepeated) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.hooks[WM_PAINT] = [](WPARAM, LPARAM) -> LRESULT { return 0; };
  w.CreateTop(CRect(0, 0, 50, 50));
  hl::Pump();
  w.Invalidate();
  hl::Pump();
  EXPECT_EQ(w.Count(WM_PAINT), 2);  // the first show and the invalidation
}

// A window that writes two texts: one straight on its paint DC, one through a memory DC made from it.
class Writer : public CWnd {
 public:
  BOOL OnEraseBkgnd(CDC*) override { return TRUE; }
  void OnPaint() override {
    CPaintDC dc(this);
    SetTextColor(dc.m_hDC, RGB(0, 0, 255));
    RECT box{2, 3, 60, 20};
    DrawText(dc.m_hDC, "Run\xB0", -1, &box, DT_SINGLELINE | DT_CENTER);
    RECT measure{0, 0, 0, 0};
    DrawText(dc.m_hDC, "not drawn", -1, &measure, DT_CALCRECT);  // measuring is not drawing
    HDC mem = CreateCompatibleDC(dc.m_hDC);
    TextOut(mem, 5, 6, "Stop", 2);
    DeleteDC(mem);
  }
};

TEST(TextLog, RecordsWhatEachWindowWroteAndWhere) {
  Writer a, b;
  a.CreateEx(0, kvtest::ProbeClass(), "a", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40, 0, 0);
  b.CreateEx(0, kvtest::ProbeClass(), "b", WS_POPUP | WS_VISIBLE, 100, 0, 80, 40, 0, 0);
  kvp::StartTextLog();
  hl::Pump();
  kvp::StopTextLog();

  const auto texts = kvp::DrawnTexts(a.m_hWnd);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].text, "Run\xB0");  // the bytes as given, not their UTF-8 form
  EXPECT_EQ(texts[0].rect.left, 2);
  EXPECT_EQ(texts[0].rect.bottom, 20);
  EXPECT_EQ(texts[0].color, RGB(0, 0, 255));
  EXPECT_EQ(texts[0].flags, static_cast<UINT>(DT_SINGLELINE | DT_CENTER));
  EXPECT_EQ(texts[1].text, "St");  // the memory DC inherits the window; the count is honoured
  EXPECT_EQ(texts[1].flags, kvp::kTextOutFlag);
  EXPECT_EQ(texts[1].rect.left, 5);
  EXPECT_GT(texts[1].rect.right, 5);
  EXPECT_GT(texts[1].rect.bottom, 6);
  EXPECT_EQ(kvp::DrawnTexts(b.m_hWnd).size(), 2u);
  EXPECT_EQ(kvp::DrawnTexts().size(), 4u);

  a.Invalidate();
  hl::Pump();  // stopped: nothing more is kept
  EXPECT_EQ(kvp::DrawnTexts().size(), 4u);
  kvp::ClearTextLog();
  EXPECT_TRUE(kvp::DrawnTexts().empty());
}

TEST(HotKeys, SystemWideKeysReachTheRegisteringWindow) {
  kvp::HeadlessWorld world;
  kvtest::Probe w;
  w.CreateTop(CRect(0, 0, 50, 50));
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(RegisterHotKey(w.m_hWnd, i, 0, VK_F1 + i));
    ASSERT_TRUE(RegisterHotKey(w.m_hWnd, 10 + i, MOD_CONTROL, VK_F1 + i));
  }
  EXPECT_EQ(hl::GrabbedHotKeys().size(), 20u);
  EXPECT_FALSE(RegisterHotKey(w.m_hWnd, 30, MOD_CONTROL, VK_F3));  // the key is taken
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_HOTKEY_ALREADY_REGISTERED));

  hl::ActivateOtherApplication();
  EXPECT_TRUE(hl::PressSystemKey(VK_F3, MOD_CONTROL));
  ASSERT_EQ(w.Count(WM_HOTKEY), 1);
  EXPECT_EQ(w.Last(WM_HOTKEY)->wParam, 12u);
  hl::ActivateWindow(w.m_hWnd);
  hl::PressKey(VK_F2);  // also while our own window has the focus
  ASSERT_EQ(w.Count(WM_HOTKEY), 2);
  EXPECT_EQ(w.Last(WM_HOTKEY)->wParam, 1u);
  EXPECT_EQ(w.Count(WM_KEYDOWN), 0);

  for (int i = 0; i < 20; ++i) EXPECT_TRUE(UnregisterHotKey(w.m_hWnd, i));
  EXPECT_TRUE(hl::GrabbedHotKeys().empty());
  EXPECT_FALSE(hl::PressSystemKey(VK_F3, MOD_CONTROL));
}

TEST(Shape, MaximisingAsksTheWindowForItsMaximisedShape) {
  kvp::HeadlessWorld world(1280, 720);
  kvtest::Probe w;
  w.hooks[WM_GETMINMAXINFO] = [](WPARAM, LPARAM lp) -> LRESULT {
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
    EXPECT_EQ(mmi->ptMaxSize.x, 1280);
    EXPECT_EQ(mmi->ptMaxSize.y, 720);
    mmi->ptMaxSize.x = 960;
    mmi->ptMaxPosition = POINT{-3, -3};
    return 0;
  };
  w.CreateTop(CRect(0, 0, 800, 599), WS_POPUP);
  w.ShowWindow(SW_SHOWMAXIMIZED);
  CRect r;
  w.GetWindowRect(&r);
  EXPECT_EQ(r, CRect(-3, -3, 957, 717));
  EXPECT_TRUE(w.IsZoomed());
  const kvtest::Seen* size = w.Last(WM_SIZE);
  ASSERT_TRUE(size);
  EXPECT_EQ(size->wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
  w.ShowWindow(SW_RESTORE);
  w.GetWindowRect(&r);
  EXPECT_EQ(r, CRect(0, 0, 800, 599));
}

}  // namespace
