// What the ruler and cursor-panel tests share: the host window painted white, the scope's time base and
// cursor records as the settings model leaves them, and a notification hub that records every
// notification and forwards it to the windows under test in the pane's order.
#pragma once

#include <scope/ScopeNotify.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Notify.h>
#include <core/OscScale.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>

#include <platform/afxwin.h>
#include <platform/display.h>

#include <gtest/gtest.h>

#include <vector>

namespace rulerstest {

namespace hl = kvp::headless;

// The pane stand-in at (100, 100) on the screen, painted white.
class Host : public kvtest::HostWindow {
 public:
  BOOL CreateTop(int width, int height) { return HostWindow::CreateTop(100, 100, width, height); }
  void OnPaint() override {
    CPaintDC dc(this);
    CRect rc;
    GetClientRect(&rc);
    dc.FillSolidRect(&rc, RGB(255, 255, 255));
  }
};

struct Notification {
  int sender;
  int code;
  int value;
  bool operator==(const Notification&) const = default;
};

inline void PrintTo(const Notification& n, std::ostream* os) {
  *os << "(" << n.sender << ", " << n.code << ", " << n.value << ")";
}

// The pane's hub: records, then forwards to every target except the sender's own window (each
// target ignores its own id anyway).
class Hub : public ISystemNotify {
 public:
  void OnSystemNotify(notify::Sender sender, notify::Code code, int value) override {
    log.push_back({notify::ToInt(sender), notify::ToInt(code), value});
    for (scope::IScopeNotifyTarget* t : targets) t->OnSystemNotify(sender, code, value);
  }
  std::vector<Notification> log;
  std::vector<scope::IScopeNotifyTarget*> targets;
};

// A 20-division record of 20 ms (1 ms per division), 10 divisions shown from the offset; the
// 100-step trigger map and the cursor-step map over the whole record (steps of 20 us unless a
// test gives fewer steps).
inline void SetUpTimeBase(int offset = 0, double cursorSteps = 1000.0) {
  COscScale& scale = GetOscScale();
  scale.m_TimeAxis.Set(0.0, 0.02, 0.01, 10, false);
  scale.SetTimeOffset(offset);
  scale.m_TimeMap100.Set(0.0, 0.02, 0.0, 100.0);
  scale.m_TimeMap1000.Set(0.0, 0.02, 0.0, cursorSteps);
  GetTimeStepScale().m_nSteps = 20;
  GetTimeStepScale().m_nCurrentStep = 10;
  GetTimeStepScale().m_nTicks = 10;
}

// The ten records as the settings model fills them, all shown, drag mode 0; the level axes span
// -5..5 over the chart area's pixels.
inline void SetUpRecords(const RECT& area) {
  COscScale& scale = GetOscScale();
  for (CScale& v : scale.m_Vertical) v.Set(-5.0, 5.0, 10.0, 10, false);
  scale.SetArea(area, true);
  GlobalProps& props = GetGlobalProps();
  struct Prepared {
    const char* name;
    COLORREF color;
    CScale* axis;
  };
  const Prepared prepared[GlobalProps::STYLE_COUNT] = {
      {"C", RGB(200, 0, 200), &scale.m_TimeAxis},  {"C", RGB(0, 150, 150), &scale.m_TimeAxis},
      {"T", RGB(200, 100, 0), &scale.m_TimeAxis},  {"B", RGB(0, 0, 255), &scale.m_Vertical[1]},
      {"A", RGB(0, 160, 0), &scale.m_Vertical[0]}, {"T", RGB(200, 100, 0), &scale.m_Vertical[0]},
      {"C", RGB(128, 0, 0), &scale.m_Vertical[2]}, {"D", RGB(0, 0, 128), &scale.m_Vertical[3]},
      {"E", RGB(128, 128, 0), &scale.m_Vertical[4]}, {"F", RGB(0, 128, 128), &scale.m_Vertical[5]},
  };
  for (int i = 0; i < GlobalProps::STYLE_COUNT; ++i) {
    CTraceStyle style;
    style.m_strName = prepared[i].name;
    style.m_crColor = prepared[i].color;
    style.m_pScale = prepared[i].axis;
    style.m_nFlags = 1;
    style.m_dValue = 0.0;
    props.m_Styles[i].SetEntry(style, i < GlobalProps::CURSOR_STYLE_COUNT ? i : i - GlobalProps::CURSOR_STYLE_COUNT);
  }
  props.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue = 0.004;
  props.m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_dValue = 0.008;
  props.SetTriggerPosition(30.0);
}

class RulersTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    SetSystemNotify(&hub);
  }
  void TearDown() override {
    SetSystemNotify(nullptr);
    if (host.GetSafeHwnd()) host.DestroyWindow();
    kvtest::CoreTest::TearDown();
  }

  // Press at a client point of the window, move by each offset in turn, release, and leave the
  // window (a release over the thumb makes it hot again, which holds the capture).
  static void Drag(CWnd& w, POINT at, const std::vector<POINT>& moves) {
    hl::MoveMouseTo(w.GetSafeHwnd(), at);
    hl::PressButton(hl::Button::Left);
    for (POINT m : moves) hl::MoveMouseTo(w.GetSafeHwnd(), POINT{at.x + m.x, at.y + m.y});
    hl::ReleaseButton(hl::Button::Left);
    hl::MoveMouse(POINT{5, 5});
  }

  kvp::HeadlessWorld world;
  Host host;
  Hub hub;
};

}  // namespace rulerstest
