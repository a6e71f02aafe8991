// The scope pane with the program's control panel over the real measurement library on the
// in-process simulated board (a 1 kHz sine on A, a 500 Hz square on B), worked through the
// panel's buttons as the user works them: run, single shot, autoset, saved signals from a file,
// the level thumbs, printing, inversion, zoom and the engine tester's probe button. Checks read
// the settings, the window tree, the drawn-text log and a few pixels of the chart.
#include <scope/ApplySnapshot.h>
#include <scope/ScopeState.h>
#include <scope/SavedScopeText.h>
#include <scope/pane/ControlPanel.h>
#include <scope/pane/EngineControlPanelDevice.h>
#include <scope/pane/ProgramControlPanel.h>
#include <scope/pane/WndOscPane.h>

#include <core/DeviceStartup.h>
#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/OscScale.h>
#include <core/Reg.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>

#include "OnBoardChecks.h"

#include <kvtest/CoreGlobals.h>
#include <kvtest/EngineOnBoard.h>
#include <kvtest/HostWindow.h>
#include <kvtest/Pump.h>
#include <kvtest/RepaintCompare.h>
#include <kvtest/ScopeStandIns.h>
#include <kvtest/Screenshots.h>
#include <kvtest/Shell.h>
#include <kvtest/TesterFirmware.h>

#include <platform/clock.h>
#include <platform/controls.h>
#include <platform/display.h>
#include <platform/filedialog.h>
#include <platform/print.h>
#include <platform/textlog.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using scope_test::FittingRange;
using scope_test::TraceFilled;

namespace fs = std::filesystem;
namespace hl = kvp::headless;
using Panel = CWndOsc_ControlPanel;

constexpr double kSineHz = 1000.0;
constexpr double kSquareHz = 500.0;

class NoCups : public kvp::print::CupsBackend {
 public:
  bool DefaultDestination(kvp::print::CupsDestination*) override { return false; }
  bool Submit(const std::string&, const std::string&, const std::string&, int) override { return false; }
};

// The pane, counting the records the acquisition thread hands it.
class CountingPane : public scope::CWndOscPane {
 public:
  using CWndOscPane::CWndOscPane;
  int records = 0;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_OSCMEASURE && (wParam == scope::OSC_RECORD || wParam == scope::OSC_LAST_RECORD)) ++records;
    return CWndOscPane::WindowProc(message, wParam, lParam);
  }
};

bool Logged(HWND window, const std::string& text) {
  for (const kvp::DrawnText& t : kvp::DrawnTexts(window))
    if (t.text == text) return true;
  return false;
}

bool LoggedPrefix(HWND window, const std::string& prefix) {
  for (const kvp::DrawnText& t : kvp::DrawnTexts(window))
    if (t.text.rfind(prefix, 0) == 0) return true;
  return false;
}

bool IsFileDialog(HWND w) { return w && ::GetDlgItem(w, lst1) && ::GetDlgItem(w, edt1); }

// Answers the next file dialog with `path` (put in the name box, then Enter) once it is the active
// window; a dialog that never opens is a failure.
void AnswerFileDialog(const std::string& path, int turns = 50) {
  hl::RunInLoop([path, turns] {
    const HWND dlg = ::GetActiveWindow();
    if (!IsFileDialog(dlg)) {
      if (turns > 0) AnswerFileDialog(path, turns - 1);
      else ADD_FAILURE() << "the file dialog did not open";
      return;
    }
    const HWND name = ::GetDlgItem(dlg, edt1);
    ::SetWindowText(name, path.c_str());
    ::SetFocus(name);
    hl::PressKey(VK_RETURN, 0, '\r');
  });
}

class PaneScenariosOnBoard : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    scope::GetScopeState().Reset();
    onBoard = std::make_unique<kvtest::EngineOnBoard>();
    // Records at the board's pace, so the GUI thread's queue runs dry between them.
    onBoard->Board().Update([](sim::BoardScenario& s) {
      s.instantAcquisition = false;
      s.channelSignals[0] = sim::SignalSource{sim::Waveform::Sine, 5.0, 0.0, kSineHz};
      s.channelSignals[1] = sim::SignalSource{sim::Waveform::Square, 2.0, 0.5, kSquareHz};
    });
    folder = fs::path(std::getenv("HOME")) / "scope-scenarios";
    fs::remove_all(folder);
    fs::create_directories(folder);
  }
  void TearDown() override {
    if (pane) {
      Engine().StopAcquisitionThread();
      hl::Pump();
    }
    kvp::StopTextLog();
    kvp::SetMessageBoxResponder(nullptr);
    pane.reset();
    host.DestroyWindow();
    onBoard.reset();
    scope::GetScopeState().Reset();
    kvtest::CoreTest::TearDown();
  }

  CMeasureEngine& Engine() { return onBoard->Engine(); }

  // The board opened through the start-up and the pane with the program's panel on the host,
  // shown as tab 0: showing it starts the run, and the Run button stops it again. Then both
  // channels on ranges that hold the signals, trigger "Auto".
  void Open() {
    GlobalProps& props = GetGlobalProps();
    props.m_bInitialized = 0;
    ASSERT_TRUE(RunDeviceStartup(props, 0));
    CResourceHolder& holder = GetResourceHolder();
    holder.m_rcClient = CRect(0, 0, 1000, 700);
    holder.m_bNarrowChart = 1;
    ASSERT_TRUE(host.CreateTop(0, 0, 1000, 700));
    CMeasureEngine* engine = &Engine();
    pane = std::make_unique<CountingPane>(scope::MakeProgramControlPanel(*engine, records), engine);
    ASSERT_TRUE(pane->Create("Oscilloscope", WS_CHILD | WS_VISIBLE, CRect(0, 30, 1000, 700), &host, 1000));
    pane->Init();
    pane->Activate(1);
    hl::Pump();
    panel = dynamic_cast<Panel*>(&pane->ControlPanel().Window());
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(panel->IsWindowVisible());
    ASSERT_TRUE(props.m_bRunning) << "the shown scope runs";
    Press(Panel::kBtnRun);
    ASSERT_FALSE(props.m_bRunning);
    hl::Pump();

    for (int ch = 0; ch < 2; ++ch) {
      const int range = FittingRange(props.m_Channels[ch], 6.0);
      ASSERT_GE(range, 0);
      props.SetChannelRangeIndex(ch, range, TRUE, TRUE);
      props.m_Channels[ch].m_nModeEnable = 1;
      props.m_Channels[ch].m_nChangeFlags |= CHN_ON;
    }
    props.m_nTriggerMode = 1;
    props.m_nChangeFlags = CHG_ALL;
    pane->OnSystemNotify(notify::kFromScopePane, notify::kSettingsReplaced, 0);
    pane->ControlPanel().Refresh();
    hl::Pump();
    pane->records = 0;
  }

  // A click in the middle of the control, as the user makes it.
  void Click(int id) {
    CWnd* control = panel->Control(id);
    ASSERT_NE(control, nullptr);
    ASSERT_TRUE(control->IsWindowVisible()) << id;
    CRect r;
    control->GetClientRect(&r);
    hl::Click(control->GetSafeHwnd(), r.CenterPoint());
  }
  // A click, then the queue is served until its effect shows: while records keep the GUI thread
  // busy the click may wait its turn behind them.
  template <typename Pred>
  void ClickUntil(int id, Pred done) {
    ASSERT_NO_FATAL_FAILURE(Click(id));
    ASSERT_TRUE(kvtest::PumpUntil(done, 60)) << id;
  }
  // The tooltip text the pane gives a strip (empty when it gives none).
  std::string Tooltip(CWnd& strip) {
    NMTTDISPINFOA info{};
    info.hdr.idFrom = strip.GetSafeHwnd();
    info.hdr.code = TTN_NEEDTEXTA;
    info.uFlags = TTF_IDISHWND;
    pane->SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? std::string(info.lpszText) : std::string();
  }
  // A press handed straight to the dispatcher, the value stepping as the button steps it: for the
  // commands that open a modal dialog or box (whose scripted answer is queued first), and for
  // presses while the board runs, when a click would queue behind the records.
  void Press(int id) {
    CXPCtrlBtn* b = panel->Button(id);
    ASSERT_NE(b, nullptr);
    b->data.value = b->data.value + 1 > b->data.max ? b->data.min : b->data.value + 1;
    panel->OnClick(&b->data, b);
  }

  void RunUntilBothTraces() {
    ASSERT_NO_FATAL_FAILURE(ClickUntil(Panel::kBtnRun, [] { return GetGlobalProps().m_bRunning != 0; }));
    ASSERT_TRUE(kvtest::PumpUntil([] { return TraceFilled(0) && TraceFilled(1); }, 60));
  }
  void Stop() {
    Press(Panel::kBtnRun);
    EXPECT_FALSE(GetGlobalProps().m_bRunning);
    hl::Pump();
  }

  // Pixels of the colour inside the chart.
  int ChartPixels(COLORREF colour) {
    pane->RedrawAll();
    const CRect chart = pane->ChartRect();
    const HWND w = pane->m_chart.GetSafeHwnd();
    int n = 0;
    for (int y = 0; y < chart.Height(); ++y)
      for (int x = 0; x < chart.Width(); x += 2)
        if (kvp::WindowPixel(w, x, y) == colour) ++n;
    return n;
  }

  // Drags the level thumb of the kind by dy pixels on the level-marker ruler; `position` is the
  // chart position (0 bottom, 100 top) of the pixel it was dropped at.
  void DragThumb(int kind, int dy, int* position) {
    COscCursorRuler& ruler = pane->m_cursorRuler;
    const COscCursorRuler::CursorData* thumb = nullptr;
    for (int i = 0; i < ruler.GetCount(); ++i)
      if (ruler.GetItem(i)->m_nKind == kind) thumb = ruler.GetItem(i);
    ASSERT_NE(thumb, nullptr);
    const RECT r = thumb->rect;
    ASSERT_LT(r.top, r.bottom) << "the thumb is placed";
    const POINT at{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    hl::MoveMouseTo(ruler.GetSafeHwnd(), at);
    hl::PressButton(hl::Button::Left);
    hl::MoveMouseTo(ruler.GetSafeHwnd(), POINT{at.x, at.y + dy / 2});
    hl::MoveMouseTo(ruler.GetSafeHwnd(), POINT{at.x, at.y + dy});
    hl::ReleaseButton(hl::Button::Left);
    const COscScale& scale = GetOscScale();
    *position = 100 - static_cast<int>((at.y + dy - scale.m_dPercentPixelFrom) * scale.m_dPercentPerPixel +
                                       scale.m_dPercentFirst);
  }

  void Screenshot(const char* name) {
    pane->RedrawAll();
    hl::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath(name).c_str()));
  }

  std::unique_ptr<kvtest::EngineOnBoard> onBoard;
  kvtest::CStandInRecordTarget records;
  kvtest::HostWindow host;
  std::unique_ptr<CountingPane> pane;
  Panel* panel = nullptr;
  fs::path folder;
};

TEST_F(PaneScenariosOnBoard, RunDrawsBothTracesInTheirColoursWithRunOnTop) {
  ASSERT_NO_FATAL_FAILURE(Open());
  kvp::StartTextLog();
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  EXPECT_GT(ChartPixels(GetSchemeColor(4)), 50);
  EXPECT_GT(ChartPixels(GetSchemeColor(5)), 50);
  pane->m_stripTop.Redraw();
  EXPECT_TRUE(LoggedPrefix(pane->m_stripTop.GetSafeHwnd(), "Run"));
  EXPECT_TRUE(Logged(pane->m_stripTop.GetSafeHwnd(), "Auto"));
  EXPECT_STREQ(panel->FaceText(Panel::kBtnRun).GetString(), "Stop");
  // The button stops the run: the top strip says so.
  Stop();
  kvp::ClearTextLog();
  pane->m_stripTop.Redraw();
  EXPECT_TRUE(LoggedPrefix(pane->m_stripTop.GetSafeHwnd(), "Stop"));
  EXPECT_FALSE(LoggedPrefix(pane->m_stripTop.GetSafeHwnd(), "Run"));
}

// A 50 A clamp on channel A accepts the ranges 2..7 of the ten: the "ChAScale" spinner offers
// those only, clicks on its down arrow stop at the lowest, and Run measures without a box.
TEST_F(PaneScenariosOnBoard, AClampOffersOnlyTheRangesItAccepts) {
  onBoard->Board().Update([](sim::BoardScenario& s) { s.channelProbeCodes[0] = 4; });
  ASSERT_NO_FATAL_FAILURE(Open());
  kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
  const CChannelProps& a = GetGlobalProps().m_Channels[0];
  ASSERT_EQ(a.m_Ranges.m_nKind, 2);
  CRepeatCtrl& scale = *panel->Spinner(Panel::kChAScale);
  EXPECT_EQ(scale.record.min, 2);
  EXPECT_EQ(scale.record.max, 7);
  CRect client;
  scale.GetClientRect(&client);
  const RECT down = LayoutArrows(client, scale.orientation, false).second;
  for (int click = 0; click < 10; ++click)
    hl::Click(scale.GetSafeHwnd(), CPoint((down.left + down.right) / 2, (down.top + down.bottom) / 2));
  hl::Pump();
  EXPECT_EQ(scale.record.value, 2);
  EXPECT_EQ(a.m_nRangeIndex, 2);
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  EXPECT_TRUE(GetGlobalProps().m_bRunning);
  EXPECT_TRUE(kvp::MessageBoxLog().empty()) << kvp::MessageBoxLog().front().text;
  EXPECT_FALSE(fs::exists(pane->GetErrorLogPath()));
}

// A settings file loaded while the scope stands still: no record comes to bring the file's
// settings to the screen, so the pane's own copy is refreshed from them. The "Bottom" strip shows
// the file's time base and coupling, and the display record (which the probe check reads) holds
// them, not those of the last run.
TEST_F(PaneScenariosOnBoard, ASettingsFileLoadedWhileStoppedShowsItsTimeBaseAndCoupling) {
  ASSERT_NO_FATAL_FAILURE(Open());
  GlobalProps& p = GetGlobalProps();
  auto setTimeBase = [&](int index) {
    CRepeatCtrl* spinner = panel->Spinner(Panel::kTimeScale);
    spinner->record.value = index;
    panel->OnValueChanged(&spinner->record, spinner);
  };
  // The user's settings, measured once (a file holds the time base records came at).
  const int saved = 9, other = 11;
  setTimeBase(saved);  // in "Auto" a new time base starts the run
  if (!p.m_bRunning) {
    ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  }
  ASSERT_TRUE(kvtest::PumpUntil([&] { return GetCursorSettings().m_Settings.GetTimeBaseIndex() == saved; }, 60));
  Stop();
  scope::CEngineSnapshotDevice device(Engine());
  const std::string oss = (folder / "slow.oss").string();
  ASSERT_TRUE(scope::SaveSettingsFile(oss.c_str(), *panel, device).m_bOk);
  // The user goes on: DC on A, the trigger on B, another time base (which runs), a stop.
  Press(Panel::kChAMode);
  ASSERT_EQ(p.m_Channels[0].m_nCoupling, 1);
  Press(Panel::kTriggerSource);
  ASSERT_EQ(p.m_nTriggerSourceKind, 1);
  setTimeBase(other);
  if (!p.m_bRunning) {
    ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  }
  ASSERT_TRUE(kvtest::PumpUntil([&] { return GetCursorSettings().m_Settings.GetTimeBaseIndex() == other; }, 60));
  Stop();
  hl::Pump();

  ASSERT_TRUE(scope::LoadSettingsFile(oss.c_str(), *panel, device).m_bOk);
  hl::Pump();
  EXPECT_FALSE(p.m_bRunning) << "saved while stopped";
  const CMeasureProps& shown = GetCursorSettings().m_Settings;
  EXPECT_EQ(shown.GetTimeBaseIndex(), saved);
  EXPECT_EQ(shown.m_Channels[0].m_nCoupling, 0);
  EXPECT_EQ(shown.m_nTriggerSourceKind, 0);
  EXPECT_EQ(shown.m_nTriggerChannel, 0);
  kvp::StartTextLog();
  pane->m_stripBottom.Redraw();
  const std::string time = std::string(p.FormatTimePerDiv().GetString()) + "/div";
  EXPECT_TRUE(Logged(pane->m_stripBottom.GetSafeHwnd(), time)) << time;
  EXPECT_TRUE(LoggedPrefix(pane->m_stripBottom.GetSafeHwnd(), "A: ~ "));
}

TEST_F(PaneScenariosOnBoard, SingleShowsOneRecordAndTheRunEnds) {
  ASSERT_NO_FATAL_FAILURE(Open());
  // "Auto" -> "Single" on the mode button, then Run takes one shot.
  ASSERT_NO_FATAL_FAILURE(ClickUntil(Panel::kTriggerMode, [] { return GetGlobalProps().m_nTriggerMode == 2; }));
  Click(Panel::kBtnRun);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return pane->records >= 1 && !GetGlobalProps().m_bRunning; }, 60));
  hl::Pump();
  EXPECT_EQ(pane->records, 1);
  EXPECT_TRUE(TraceFilled(0));
  EXPECT_EQ(GetTraceList()[0]->GetCount(), 1000);
  // Run in "Single" always arms the next shot, which again ends after one record.
  Click(Panel::kBtnRun);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return pane->records >= 2 && !GetGlobalProps().m_bRunning; }, 60));
  hl::Pump();
  EXPECT_EQ(pane->records, 2);
}

TEST_F(PaneScenariosOnBoard, AutosetOnTheSquareShowsOnlyItsPanelThenThreeToTenPeriodsInAuto) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  // The square on B triggers.
  Press(Panel::kTriggerSource);
  ASSERT_EQ(GetGlobalProps().m_nTriggerChannel, 1);
  kvp::StartTextLog();
  Press(Panel::kBtnAutoSet);
  ASSERT_EQ(GetGlobalProps().m_bAutosetActive, 1);
  // Until the first record comes in, the autoset panel is the only child shown.
  pane->m_autoset.RedrawWindow();
  std::vector<std::string> shown;
  for (CWnd* child = pane->GetWindow(GW_CHILD); child; child = child->GetWindow(GW_HWNDNEXT))
    if (child->IsWindowVisible()) {
      CString name;
      child->GetWindowText(name);
      shown.push_back(name.GetString());
    }
  EXPECT_EQ(shown, std::vector<std::string>{"WndAutoset"});
  EXPECT_TRUE(Logged(pane->m_autoset.GetSafeHwnd(), "Autoset in progress. Please wait..."));
  EXPECT_TRUE(kvp::SaveWindowPng(host.GetSafeHwnd(), kvtest::ScreenshotPath("scope-pane-autoset").c_str()));

  ASSERT_TRUE(kvtest::PumpUntil([] { return GetGlobalProps().m_bAutosetActive == 0; }, 60));
  const GlobalProps& p = GetGlobalProps();
  EXPECT_EQ(p.m_nTriggerMode, 1);
  const double periods = kSquareHz * p.m_nRecordLength / p.m_TimeBase.GetValueOrZero();
  EXPECT_GE(periods, 3.0) << p.m_TimeBase.GetValueOrZero();
  EXPECT_LE(periods, 10.0) << p.m_TimeBase.GetValueOrZero();
  EXPECT_TRUE(pane->m_chart.IsWindowVisible());
  EXPECT_TRUE(panel->IsWindowVisible());
  EXPECT_FALSE(pane->m_autoset.IsWindowVisible());
  kvp::ClearTextLog();
  pane->m_stripTop.Redraw();
  EXPECT_TRUE(Logged(pane->m_stripTop.GetSafeHwnd(), "Auto"));
}

TEST_F(PaneScenariosOnBoard, SavedSignalsOpenedTwiceFillBothStripsInTheirColours) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  Stop();
  const std::string file = (folder / "twochannels.osg").string();
  AnswerFileDialog(file);
  Press(Panel::kBtnSave);
  ASSERT_TRUE(fs::exists(file));
  // The live channels off, so only the saved signals are drawn.
  ASSERT_NO_FATAL_FAILURE(ClickUntil(Panel::kChAOnOff, [] { return GetGlobalProps().m_Channels[0].m_nModeEnable == 0; }));
  ASSERT_NO_FATAL_FAILURE(ClickUntil(Panel::kChBOnOff, [] { return GetGlobalProps().m_Channels[1].m_nModeEnable == 0; }));

  AnswerFileDialog(file);
  Press(Panel::kBtnOpen);
  hl::Pump();
  EXPECT_TRUE(pane->m_stripSavedCD.IsWindowVisible());
  EXPECT_FALSE(pane->m_stripSavedEF.IsWindowVisible());
  EXPECT_EQ(Tooltip(pane->m_stripSavedCD), "twochannels.osg") << "the saved scope carries the file's name";
  EXPECT_GT(ChartPixels(GetSchemeColor(30)), 50);
  EXPECT_GT(ChartPixels(GetSchemeColor(31)), 50);
  // The strip gives the saved scope's time per division from the rate stored in the file.
  const CString perDiv = FormatSavedScopeTimePerDiv(GetSavedScopes()[0]) + "/div";
  EXPECT_STRNE(perDiv.GetString(), "---/div");
  kvp::StartTextLog();
  pane->m_stripSavedCD.Redraw();
  EXPECT_TRUE(Logged(pane->m_stripSavedCD.GetSafeHwnd(), perDiv.GetString())) << perDiv.GetString();

  // The "C" thumb carries the saved signal with it (channel A is off, so its thumb no longer sits
  // in front of C's at the zero line).
  CSavedSignal* c = GetSavedScopes()[0].FindSignal(0);
  ASSERT_NE(c, nullptr);
  EXPECT_FALSE(GetGlobalProps().m_Styles[GlobalProps::STYLE_LEVEL_A].IsShown());
  int dropped = 0;
  ASSERT_NO_FATAL_FAILURE(DragThumb(3, 60, &dropped));
  EXPECT_LT(dropped, 50);
  EXPECT_EQ(c->m_nPosition, dropped);
  // It moved at the scale it was saved with: ten divisions of its volts per division.
  ASSERT_NE(c->m_pScale, nullptr);
  EXPECT_DOUBLE_EQ(c->m_pScale->m_dSpan, 10.0 * c->m_dPerDivision);
  Screenshot("scope-pane-saved-dragged");

  AnswerFileDialog(file);
  Press(Panel::kBtnOpen);
  hl::Pump();
  EXPECT_TRUE(pane->m_stripSavedCD.IsWindowVisible());
  EXPECT_TRUE(pane->m_stripSavedEF.IsWindowVisible());
  EXPECT_TRUE(pane->m_options & scope::CWndOsc::OPT_SAVED_CD);
  EXPECT_TRUE(pane->m_options & scope::CWndOsc::OPT_SAVED_EF);
  EXPECT_EQ(panel->Button(Panel::kBtnOpen)->data.enabled, 0) << "both saved scopes are taken";
  EXPECT_GT(ChartPixels(GetSchemeColor(30)), 50) << "C moved away from E";
  EXPECT_GT(ChartPixels(GetSchemeColor(32)), 50);
  Screenshot("scope-pane-saved");
}

TEST_F(PaneScenariosOnBoard, TheChannelAThumbSetsThePositionAndTheSpinnerFollows) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  ASSERT_NO_FATAL_FAILURE(Stop());
  GlobalProps& p = GetGlobalProps();
  int dropped = 0;
  ASSERT_NO_FATAL_FAILURE(DragThumb(1, -60, &dropped));
  EXPECT_GT(dropped, 55);
  EXPECT_EQ(p.m_Channels[0].m_nPosition, dropped);
  EXPECT_EQ(panel->Spinner(Panel::kChAPos)->record.value, dropped);
  // The thumb stays where it was dropped.
  const COscCursorRuler::CursorData* thumb = pane->m_cursorRuler.GetItem(1);
  ASSERT_EQ(thumb->m_nKind, 1);
  EXPECT_NEAR((thumb->rect.top + thumb->rect.bottom) / 2.0, pane->ChartRect().Height() / 2.0 - 60, 2.0);
}

// A channel switched off takes its level thumb with it: not drawn, not grabbable; switched on
// again, the thumb is back. The other channel's thumb stays.
TEST_F(PaneScenariosOnBoard, ChannelLevelThumbsFollowTheChannelsOnOffButtons) {
  ASSERT_NO_FATAL_FAILURE(Open());
  struct Case {
    int button, kind, style, otherStyle;
  };
  const Case cases[] = {
      {Panel::kChAOnOff, 1, GlobalProps::STYLE_LEVEL_A, GlobalProps::STYLE_LEVEL_B},
      {Panel::kChBOnOff, 0, GlobalProps::STYLE_LEVEL_B, GlobalProps::STYLE_LEVEL_A},
  };
  GlobalProps& p = GetGlobalProps();
  COscCursorRuler& ruler = pane->m_cursorRuler;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    int index = -1;
    for (int i = 0; i < ruler.GetCount(); ++i)
      if (ruler.GetItem(i)->m_nKind == c.kind) index = i;
    ASSERT_GE(index, 0);
    ASSERT_TRUE(p.m_Styles[c.style].IsShown());
    pane->RedrawAll();
    const RECT r = ruler.GetItem(index)->rect;
    ASSERT_LT(r.top, r.bottom) << "the thumb is placed";
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ASSERT_EQ(ruler.HitTest(centre), index);

    ASSERT_NO_FATAL_FAILURE(Click(c.button));
    ASSERT_FALSE(panel->Control(c.button == Panel::kChAOnOff ? Panel::kChAPos : Panel::kChBPos)->IsWindowVisible());
    EXPECT_FALSE(p.m_Styles[c.style].IsShown());
    EXPECT_TRUE(p.m_Styles[c.otherStyle].IsShown());
    EXPECT_NE(ruler.HitTest(centre), index) << "an off channel's thumb cannot be grabbed";
    if (c.kind == 0) Screenshot("scope-pane-channel-b-off");

    ASSERT_NO_FATAL_FAILURE(Click(c.button));
    EXPECT_TRUE(p.m_Styles[c.style].IsShown());
    EXPECT_EQ(ruler.HitTest(centre), index);
  }
}

TEST_F(PaneScenariosOnBoard, PrintIsRefusedWhileRunningAndPrintsOnePageWhenStopped) {
  NoCups cups;
  kvp::print::CupsBackend* before = kvp::print::SetCupsBackend(&cups);
  CReg().WriteString(HKEY_CURRENT_USER, "SOFTWARE\\KV310Platform\\Printing", "PdfFolder", folder.c_str());
  ASSERT_NO_FATAL_FAILURE(Open());
  kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  Press(Panel::kBtnPrint);
  std::vector<std::string> boxes;
  for (const kvp::MessageBoxCall& c : kvp::MessageBoxLog()) boxes.push_back(c.text);
  EXPECT_EQ(boxes, std::vector<std::string>{"First you have to stop Oscilloscope"});
  EXPECT_TRUE(kvp::print::LastPdfFile().empty() || !fs::exists(folder / fs::path(kvp::print::LastPdfFile()).filename()));

  Stop();
  bool asked = false;
  hl::RunInLoop([&] {
    asked = kvp::print::OpenPrintDialogWindow() != 0;
    hl::PressKey(VK_RETURN);
  });
  Press(Panel::kBtnPrint);
  kvp::print::SetCupsBackend(before);
  EXPECT_TRUE(asked);
  EXPECT_EQ(kvp::MessageBoxLog().size(), 1u) << "no second refusal";
  const std::string pdf = kvp::print::LastPdfFile();
  ASSERT_FALSE(pdf.empty());
  ASSERT_TRUE(fs::exists(pdf));
  EXPECT_EQ(fs::path(pdf).parent_path(), folder);
  if (!kvtest::HaveTool("pdfinfo")) GTEST_SKIP() << "poppler-utils not installed";
  const std::string info = kvtest::CommandOutput("pdfinfo '" + pdf + "'");
  EXPECT_NE(info.find("Pages:           1\n"), std::string::npos) << info;
}

TEST_F(PaneScenariosOnBoard, InvertShowsInvertChAOnTheChart) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  Press(Panel::kBtnInvert);
  EXPECT_EQ(scope::GetScopeState().InvertState, 1);
  EXPECT_TRUE(GetGlobalProps().m_Channels[0].m_bInverted);
  EXPECT_FALSE(GetGlobalProps().m_Channels[1].m_bInverted);
  kvp::StartTextLog();
  pane->RedrawAll();
  EXPECT_TRUE(Logged(pane->m_chart.GetSafeHwnd(), "Invert ChA"));
}

TEST_F(PaneScenariosOnBoard, ZoomStepsTheFactorAndTheChartKeepsBothTraces) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  const int zoom = panel->GetZoom();
  Press(Panel::kBtnZoom);
  EXPECT_EQ(panel->GetZoom(), (zoom + 1) & 3);
  EXPECT_EQ(GetResourceHolder().m_nZoomType, (zoom + 1) & 3);
  // The next records come in at the zoomed scale.
  const int seen = pane->records;
  ASSERT_TRUE(kvtest::PumpUntil([&] { return pane->records >= seen + 2; }, 60));
  EXPECT_GT(ChartPixels(GetSchemeColor(4)), 50);
  EXPECT_GT(ChartPixels(GetSchemeColor(5)), 50);
  Screenshot("scope-pane-zoomed");
}

// With the engine-tester module attached the channel button picks the module's next probe and
// refuses a second press for 500 ms.
class PaneOnEngineTester : public PaneScenariosOnBoard {
 protected:
  void SetUp() override {
    PaneScenariosOnBoard::SetUp();
    kvtest::InstallTesterFirmware();
    onBoard->Board().Update([](sim::BoardScenario& s) { s.engineTesterAttached = true; });
  }
};

TEST_F(PaneOnEngineTester, ChannelButtonStepsToTheNextProbeAndStaysDisabled500Ms) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_TRUE(GetMotortesterDevice()->IsReady());
  // The module's probes on channel A, as the library lists them; after the last one comes "OFF",
  // after "OFF" the first one again.
  std::vector<std::string> probes;
  {
    scope::CEngineControlPanelDevice library(Engine());
    std::vector<scope::ProbeEntry> list;
    ASSERT_EQ(library.ReadProbeList(0, list), 0);
    for (const scope::ProbeEntry& e : list)
      if (e.m_nKind != 0) probes.push_back(e.m_strName);
  }
  ASSERT_FALSE(probes.empty());
  auto next = [&](const std::string& name) {
    for (size_t i = 0; i < probes.size(); ++i)
      if (probes[i] == name) return i + 1 < probes.size() ? probes[i + 1] : std::string("OFF");
    return probes.front();
  };
  Engine().StopAcquisitionThread();
  hl::Pump();
  kvp::ClockUseVirtual(true);
  std::string shown = panel->GetProbeName(0).GetString();
  EXPECT_EQ(shown, probes.front());
  for (int press = 0; press < 2; ++press) {
    SCOPED_TRACE(press);
    const std::string expected = next(shown);
    Click(Panel::kChAOnOff);
    EXPECT_EQ(std::string(panel->GetProbeName(0).GetString()), expected);
    EXPECT_EQ(std::string(panel->FaceText(Panel::kChAOnOff).GetString()), "Ch A\n" + expected);
    EXPECT_EQ(scope::GetScopeState().ChannelSwitchPending, 1);
    // A press during the hold changes nothing.
    hl::Advance(250);
    Click(Panel::kChAOnOff);
    EXPECT_EQ(std::string(panel->GetProbeName(0).GetString()), expected);
    hl::Advance(249);
    EXPECT_EQ(panel->Button(Panel::kChAOnOff)->data.enabled, 0);
    hl::Advance(1);
    EXPECT_EQ(panel->Button(Panel::kChAOnOff)->data.enabled, 1);
    shown = expected;
  }
  kvp::ClockUseVirtual(false);
}

// The pane as records, clicks and drags painted it, piece by piece, against the same pane painted
// whole from scratch (the chart's kept layers dropped, the screen wiped): pixel for pixel the same
// in every state the user meets.
class PaneRepaintOnBoard : public PaneScenariosOnBoard {
 protected:
  ::testing::AssertionResult PaintsAsWhole() {
    return kvtest::PaintsAsWhole(pane->GetSafeHwnd(), [this] { pane->m_chart.DropCaches(); });
  }
  // `count` more records shown.
  void Records(int count) {
    const int seen = pane->records;
    ASSERT_TRUE(kvtest::PumpUntil([&] { return pane->records >= seen + count; }, 60));
  }
  // A click on a spinner's arrow.
  void ClickArrow(int id, bool up) {
    CRepeatCtrl& spinner = *panel->Spinner(id);
    CRect client;
    spinner.GetClientRect(&client);
    const auto arrows = LayoutArrows(client, spinner.orientation, false);
    const RECT r = up ? arrows.first : arrows.second;
    hl::Click(spinner.GetSafeHwnd(), CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
  }
};

TEST_F(PaneRepaintOnBoard, RunningStoppedAndWithCursorsAsWhole) {
  ASSERT_NO_FATAL_FAILURE(Open());
  // The program starts with its cursors on: the cursor panel's read-outs follow the records.
  ASSERT_TRUE(GetGlobalProps().m_bCursorsOn);
  ASSERT_TRUE(pane->m_cursorPanel.IsWindowVisible());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  ASSERT_NO_FATAL_FAILURE(Records(20));
  EXPECT_TRUE(PaintsAsWhole()) << "running with cursors";
  ASSERT_NO_FATAL_FAILURE(Records(3));
  EXPECT_TRUE(PaintsAsWhole()) << "running, after the whole repaint";

  // The right cursor moves, by its spinner.
  CRepeatCtrl& right = pane->m_cursorPanel.m_Right;
  const double before = right.record.value;
  CRect client;
  right.GetClientRect(&client);
  const RECT down = LayoutArrows(client, right.orientation, false).second;
  for (int click = 0; click < 3; ++click)
    hl::Click(right.GetSafeHwnd(), CPoint((down.left + down.right) / 2, (down.top + down.bottom) / 2));
  ASSERT_TRUE(kvtest::PumpUntil([&] { return right.record.value != before; }, 60));
  ASSERT_NO_FATAL_FAILURE(Records(2));
  EXPECT_TRUE(PaintsAsWhole()) << "a cursor moved";

  Press(Panel::kBtnCursor);
  ASSERT_FALSE(GetGlobalProps().m_bCursorsOn);
  ASSERT_NO_FATAL_FAILURE(Records(3));
  EXPECT_TRUE(PaintsAsWhole()) << "running, cursors off";

  Stop();
  hl::Pump();
  EXPECT_TRUE(PaintsAsWhole()) << "stopped";
  Press(Panel::kBtnCursor);
  ASSERT_TRUE(GetGlobalProps().m_bCursorsOn);
  hl::Pump();
  EXPECT_TRUE(PaintsAsWhole()) << "stopped, cursors on again";
}

TEST_F(PaneRepaintOnBoard, ZoomScaleAndTriggerChangesAsWhole) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  Press(Panel::kBtnZoom);
  ASSERT_NO_FATAL_FAILURE(Records(5));
  EXPECT_TRUE(PaintsAsWhole()) << "zoomed";
  // Channel A one range up, channel B's position and the trigger level by their spinners.
  const struct {
    int id;
    bool up;
    const char* name;
  } steps[] = {{Panel::kChAScale, true, "channel A's range"},
               {Panel::kChBPos, true, "channel B's position"},
               {Panel::kTriggerLevel, false, "the trigger level"},
               {Panel::kTimeScale, true, "the time base"}};
  for (const auto& step : steps) {
    const double before = panel->Spinner(step.id)->record.value;
    ASSERT_NO_FATAL_FAILURE(ClickArrow(step.id, step.up));
    ASSERT_TRUE(kvtest::PumpUntil([&] { return panel->Spinner(step.id)->record.value != before; }, 60)) << step.name;
    ASSERT_NO_FATAL_FAILURE(Records(3));
    EXPECT_TRUE(PaintsAsWhole()) << step.name;
  }
  Stop();
  EXPECT_TRUE(PaintsAsWhole()) << "stopped after the changes";
}

TEST_F(PaneRepaintOnBoard, UndockedAsWhole) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  pane->ToggleDock();
  ASSERT_TRUE(kvtest::PumpUntil([&] { return !(pane->m_options & scope::CWndOsc::OPT_PANEL_IN); }, 60));
  ASSERT_NO_FATAL_FAILURE(Records(5));
  EXPECT_TRUE(PaintsAsWhole()) << "undocked, panel out";
  // The panel slides in over the chart while records come.
  pane->OnMinimizeToggle();
  ASSERT_TRUE(kvtest::PumpUntil([&] { return (pane->m_options & scope::CWndOsc::OPT_PANEL_IN) != 0; }, 60));
  ASSERT_NO_FATAL_FAILURE(Records(3));
  EXPECT_TRUE(PaintsAsWhole()) << "undocked, panel in";
  pane->ToggleDock();
  ASSERT_NO_FATAL_FAILURE(Records(3));
  EXPECT_TRUE(PaintsAsWhole()) << "docked again";
}

TEST_F(PaneRepaintOnBoard, SavedSignalsAsWhole) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  Stop();
  const std::string file = (folder / "repaint.osg").string();
  AnswerFileDialog(file);
  Press(Panel::kBtnSave);
  ASSERT_TRUE(fs::exists(file));
  AnswerFileDialog(file);
  Press(Panel::kBtnOpen);
  hl::Pump();
  ASSERT_TRUE(pane->m_stripSavedCD.IsWindowVisible());
  EXPECT_TRUE(PaintsAsWhole()) << "a saved scope, stopped";
  // The live traces run over the saved signals.
  ASSERT_NO_FATAL_FAILURE(RunUntilBothTraces());
  ASSERT_NO_FATAL_FAILURE(Records(5));
  EXPECT_TRUE(PaintsAsWhole()) << "a saved scope, running";
  // The "C" thumb moves its saved signal.
  int dropped = 0;
  ASSERT_NO_FATAL_FAILURE(DragThumb(3, 40, &dropped));
  ASSERT_NO_FATAL_FAILURE(Records(3));
  EXPECT_TRUE(PaintsAsWhole()) << "the saved signal moved";
  Stop();
  AnswerFileDialog(file);
  Press(Panel::kBtnOpen);
  hl::Pump();
  ASSERT_TRUE(pane->m_stripSavedEF.IsWindowVisible());
  EXPECT_TRUE(PaintsAsWhole()) << "two saved scopes, stopped";
}

}  // namespace
