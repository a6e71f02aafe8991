// What the engine-tester panel tests share: scripted meter interfaces over the library stand-ins,
// a plain top-level host window and one that records tab requests, and helpers to click a toolkit
// button and save a picture.
#pragma once

#include <core/Messages.h>
#include <core/MotortesterData.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Screenshots.h>

#include <platform/display.h>

#include <gtest/gtest.h>

#include "Kv310Stubs.h"

#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

namespace ettest {

namespace hl = kvp::headless;

inline ScaledValue Scaled(int32_t mantissa, int8_t exponent = 0) {
  ScaledValue v{};
  v.mantissa = mantissa;
  v.exponent = exponent;
  return v;
}

inline MeasuredValue Measured(int kind, int32_t mantissa, bool valid = true, int8_t exponent = 0) {
  MeasuredValue v{};
  v.probe.kind = kind;
  v.value = Scaled(mantissa, exponent);
  v.valid = valid ? 1 : 0;
  return v;
}

// The engine-tester board: ready or not, WaitReady counted, the polarity measurement answered by
// the test (it may block until the test releases it).
struct FakeTester : StubMotortester_6 {
  std::atomic<bool> ready{true};
  std::atomic<int> waitReadyCalls{0};
  bool IsReady() override { return ready.load(); }
  int WaitReady() override { return ++waitReadyCalls, 0; }
};

struct FakeAdvance : StubMTAdvancemeter_11 {
  AdvanceReading reading{};
  int rc = 0;
  int selectRc = 0;
  int speedKind = 5;
  int measures = 0;
  std::vector<int> selected;
  int Measure(AdvanceReading* r) override { return ++measures, *r = reading, rc; }
  int SelectProbe(int32_t kind) override { return selected.push_back(kind), selectRc; }
  int ReadProbes(ProbeDescriptor*, ProbeDescriptor* speed, ProbeDescriptor*) override {
    return speed->kind = speedKind, 0;
  }
};

struct FakeDwell : StubMTDwellanglemeter_13 {
  DwellReading reading{};
  int rc = 0;
  int Measure(DwellReading* r) override { return *r = reading, rc; }
};

struct FakeTemperature : StubMTTemperaturemeter_12 {
  SpeedTemperatureReading reading{};
  int rc = 0;
  int measures = 0;
  int probeReads = 0;
  int Measure(SpeedTemperatureReading* r) override { return ++measures, *r = reading, rc; }
  int ReadProbes(ProbeDescriptor*, ProbeDescriptor*) override { return ++probeReads, 0; }
};

// The main window's stand-in: records the tab requests.
class TabsWindow : public kvtest::HostWindow {
 public:
  std::vector<WPARAM> tabs;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_SELECTTAB) {
      tabs.push_back(wParam);
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

// The engine-tester pane's stand-in.
using Host = kvtest::HostWindow;

// The engine-tester pane's panels as large as they are in the program on a 1024 x 768 and on a
// 1280 x 1024 screen (the tab strip above the pane, the pane's button row below the panel).
inline constexpr SIZE kProgramPanelSizes[] = {{1024, 667}, {1280, 905}};

inline void ClickCentre(CWnd& w) {
  CRect r;
  ::GetClientRect(w.GetSafeHwnd(), &r);
  hl::Click(w.GetSafeHwnd(), POINT{r.Width() / 2, r.Height() / 2});
}

inline void SavePicture(HWND w, const std::string& name) {
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(w, kvtest::ScreenshotPath(name).c_str())) << name;
}

// The headless world with the board's stand-in on the data object.
class PanelTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    GetMotortesterDevice()->SetInterfaces(&tester, nullptr, nullptr);
    host.CreateTop(1000, 700);
  }
  void TearDown() override {
    host.DestroyWindow();
    kvtest::CoreTest::TearDown();
  }

  kvp::HeadlessWorld world;
  FakeTester tester;
  Host host;
};

}  // namespace ettest
