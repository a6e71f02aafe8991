// The program's start-up on the real measurement library over the in-process simulated board:
// the worker's steps (the recorder's cursors among them), then the main window with the program's
// pane table and the application's own environment. The board's identity and the program's version reach the info pane; an engine-tester board (with the
// installation's firmware file) gives the first tab 4 and ten connectors; the reduced variant
// disables its tabs; a silent board gives one notice and a main window without device.
#include <gtest/gtest.h>

#include "KELOApp.h"
#include "PaneTable.h"
#include "SplashScreen.h"

#include "LinkTestSupport.h"

#include <scope/ScopeState.h>
#include <scope/pane/ControlPanel.h>
#include <scope/pane/WndOscPane.h>

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/WndRecordAnalyzer.h>

#include <ui/MainWndDlg.h>
#include <ui/WndHelp.h>
#include <ui/WndInfo.h>

#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/Messages.h>
#include <core/MotortesterData.h>
#include <core/ResourceHolder.h>
#include <core/TextIds.h>

#include <platform/clock.h>
#include <platform/display.h>
#include <platform/registry.h>
#include <platform/textlog.h>
#include <platform/window.h>

#include <kvtest/Pump.h>
#include <kvtest/Screenshots.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Outcome {
  int firstTab = -1;
  std::string title;
  std::vector<BOOL> enabled;
  CWndInfo::Texts info;
  int helpConnectors = 0;
  BOOL devicePresent = FALSE;
  size_t boxes = 0;
  std::vector<std::string> boxTexts;
  // The recorder's cursors (kind, position) as the start-up worker left them, before any pane.
  std::vector<std::pair<int, double>> cursors;
};

// Runs InitInstance with the splash replaced by its worker's steps and the main window shown
// modelessly for a look; `drive` works the main window first, while the scope runs.
Outcome StartProgram(const std::function<void(sim::BoardScenario&)>& scenario, std::vector<std::string> args,
                     const char* screenshot, const std::function<void(CMainWndDlg&)>& drive = nullptr) {
  Outcome outcome;
  kvp::ClockUseVirtual(false);
  kvp::OpenHeadlessDisplay(1024, 768);
  kv310::testing::SetLinkLibrary("zlinksim.dll");
  kv310::testing::SetSerialBlockSizeValue(-1);
  {
    kv310::testing::ZlinkSimBoard zlink;
    zlink.Board().Reset();
    zlink.Board().Update([&](sim::BoardScenario& s) {
      s.instantAcquisition = true;
      scenario(s);
    });
    GetMeasureType().m_nMeasureType = 0;
    GetGlobalProps().m_bInitialized = 0;
    GetMotortesterDevice()->Reset();
    kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& box) {
      outcome.boxTexts.push_back(box.text);
      return IDOK;
    });

    CKELOApp app;
    app.args = std::move(args);
    app.sleep = [](DWORD) {};
    app.runSplash = [&outcome] {
      RunStartupSteps(0);
      const CRecorder& recorder = GetRecorder();
      for (int i = 0; i < 2; ++i) {
        outcome.cursors.push_back({recorder.m_Cursors[i].Kind(), recorder.m_Cursors[i].m_dValue});
      }
      return INT_PTR{IDOK};
    };
    app.runMain = [&](CMainWndDlg& main) {
      EXPECT_TRUE(main.Create(IDD_MAINWND, nullptr));
      if (drive) drive(main);
      // The scope on tab 0 starts running on the board; these checks read the other panes, and
      // the headless pump only returns once no record is on its way.
      StopMeasurement();
      GetMeasureEngine().StopAcquisitionThread();
      kvp::headless::Pump();
      outcome.firstTab = main.SelectedTab();
      char title[64] = {};
      ::GetWindowText(main.GetSafeHwnd(), title, sizeof title);
      outcome.title = title;
      for (int tab = 0; tab < kTabCount; ++tab) outcome.enabled.push_back(main.Strip().GetItem(tab)->enabled);
      outcome.info = CWndInfo::CurrentTexts();
      outcome.helpConnectors = static_cast<CWndHelp*>(main.Pane(7))->ShownConnectors();
      outcome.devicePresent = GetMeasureEngine().IsDevicePresent();
      if (screenshot) {
        std::filesystem::create_directories(KV_SCREENSHOT_DIR);
        main.SendMessage(WM_SELECTTAB, 8);
        kvp::headless::Pump();
        kvp::SaveWindowPng(main.GetSafeHwnd(), (std::string(KV_SCREENSHOT_DIR) + "/" + screenshot).c_str());
      }
      main.DestroyWindow();
      return INT_PTR{IDCANCEL};
    };
    EXPECT_FALSE(app.InitInstance());
    kvp::SetMessageBoxResponder(nullptr);
    GetMotortesterDevice()->Reset();
  }
  kvp::CloseDisplay();
  return outcome;
}

// The program starts once per process (its engine shuts down once): every start runs in a child
// process of its own, which reports its failures as they happen and exits with 1 after any.
void InChild(const std::function<void()>& start) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    start();
    std::fflush(nullptr);
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status)) << "the child ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

TEST(ProgramEndToEnd, BoardIdentityReachesTheInfoPane) {
  InChild([] {
    Outcome o = StartProgram([](sim::BoardScenario&) {}, {}, "program_e2e_info.png");
    EXPECT_TRUE(o.devicePresent);
    EXPECT_TRUE(o.boxTexts.empty());
    EXPECT_EQ(o.firstTab, 0);
    EXPECT_STRNE(o.info.board, CWndInfo::kNoInformation);
    EXPECT_STRNE(o.info.board, "");
    EXPECT_STRNE(o.info.library, CWndInfo::kNoInformation);
    EXPECT_STREQ(o.info.program, KV_PROGRAM_VERSION);
    EXPECT_EQ(o.helpConnectors, 2);
    EXPECT_EQ(o.title, "Dravix Scope");
    // The worker's last step placed the recorder's cursors, L at 300 and R at 500.
    EXPECT_EQ(o.cursors, (std::vector<std::pair<int, double>>{{CRecorder::CURSOR_KIND_L, 300.0},
                                                              {CRecorder::CURSOR_KIND_R, 500.0}}));
  });
}

// The engine-tester firmware file the build writes for the simulated board, named where the
// library looks for it.
void UseInstalledEngineTesterFirmware() {
  const std::string file = std::string(std::getenv("KV_BIN_DIR")) + "/../firmware/motortester.hex";
  ASSERT_TRUE(std::filesystem::exists(file)) << file;
  HKEY key = 0;
  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, "Software\\KELO\\Kv310\\Parameter", &key), ERROR_SUCCESS);
  RegSetValueEx(key, "FirmwareMotortester", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                static_cast<DWORD>(file.size() + 1));
  RegCloseKey(key);
}

TEST(ProgramEndToEnd, EngineTesterGivesTabFourAndTenConnectors) {
  InChild([] {
    UseInstalledEngineTesterFirmware();
    Outcome o = StartProgram([](sim::BoardScenario& s) { s.engineTesterAttached = true; }, {}, nullptr);
    EXPECT_TRUE(o.devicePresent);
    EXPECT_TRUE(o.boxTexts.empty());
    EXPECT_EQ(o.firstTab, 4);
    EXPECT_EQ(o.helpConnectors, 10);
  });
}

TEST(ProgramEndToEnd, ReducedVariant) {
  InChild([] {
    Outcome o = StartProgram([](sim::BoardScenario& s) { s.hardwareByte = 1; }, {"osc"}, nullptr);
    EXPECT_EQ(o.title, "Corvane");
    EXPECT_EQ(o.firstTab, 1);
    if (o.enabled.size() != 10u) {
      ADD_FAILURE() << "no tab strip";
      return;
    }
    for (int tab = 0; tab < 10; ++tab) EXPECT_EQ(o.enabled[tab], (tab == 0 || tab == 5 || tab == 6) ? FALSE : TRUE) << tab;
  });
}

TEST(ProgramEndToEnd, SilentBoardGivesOneNoticeAndNoDevice) {
  InChild([] {
    Outcome o = StartProgram(
        [](sim::BoardScenario& s) {
          sim::CommandFault silence;
          silence.fault.kind = sim::FaultKind::Silence;
          for (int c = 0; c < 256; ++c) s.commandFaults[static_cast<uint8_t>(c)] = silence;
        },
        {}, "program_e2e_silent.png");
    EXPECT_FALSE(o.devicePresent);
    EXPECT_EQ(o.boxTexts, std::vector<std::string>{GetGlobalProps().GetText(kTextHardwareNotConnected)});
    EXPECT_STREQ(o.info.board, CWndInfo::kNoInformation);
    EXPECT_STREQ(o.info.motortester, CWndInfo::kNoInformation);
    EXPECT_EQ(o.firstTab, 0);
  });
}

// ---- a recording from the scope into the record analyzer ---------------------------------------

using Panel = CWndOsc_ControlPanel;

// A left click in the middle of the window, sent to it as button down and up: input injected
// into the queue would wait behind the running scope's records, which a slow (sanitizer) build
// never catches up with.
void ClickCentre(CWnd& window) {
  CRect r;
  window.GetClientRect(&r);
  const LPARAM at = MAKELPARAM(r.Width() / 2, r.Height() / 2);
  window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
  window.SendMessage(WM_LBUTTONUP, 0, at);
}

// The press of a multi-state button that leaves it at `value`, through the panel's dispatcher.
void SetButton(Panel& panel, int id, int value) {
  CXPCtrlBtn* b = panel.Button(id);
  ASSERT_NE(b, nullptr);
  b->data.value = value;
  panel.OnClick(&b->data, b);
}

// Red pixels where the record button draws its dot (left of its text).
int RedDotPixels(CWnd& button) {
  CRect r;
  button.GetClientRect(&r);
  const int right = std::min(r.Height() * 3 / 5 + 4, r.Width() / 3);
  int n = 0;
  for (int y = 0; y < r.Height(); ++y)
    for (int x = 0; x < right; ++x)
      if (kvp::WindowPixel(button.GetSafeHwnd(), x, y) == 0x0000FF) ++n;
  return n;
}

bool DrewInColour(HWND window, const std::string& text, COLORREF colour) {
  for (const kvp::DrawnText& t : kvp::DrawnTexts(window))
    if (t.text == text && t.color == colour) return true;
  return false;
}

bool TraceFilled(int channel) {
  CMeasureList& traces = GetTraceList();
  return channel < traces.GetSize() && traces[channel]->m_bValid && traces[channel]->GetCount() > 0;
}

// Pumps for `ms` of real time.
void PumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  kvtest::PumpUntil([&] { return std::chrono::steady_clock::now() >= end; }, ms / 1000 + 5);
}

// The time-base index of the rate nearest to 50000 S/s on the one side or the other: the highest
// at most 50000, or the lowest above it.
int RateIndex(bool above) {
  const CNxDoubleArray& rates = GetGlobalProps().m_TimeBase.m_Rates;
  int found = -1;
  for (INT_PTR i = 0; i < rates.GetSize(); ++i) {
    if ((rates[i] > 50000.0) != above) continue;
    if (found < 0 || (above ? rates[i] < rates[found] : rates[i] > rates[found])) found = static_cast<int>(i);
  }
  return found;
}

// The number of a value text of the analyzer ("5V", "-2.0V", ">7.6V", "500mV").
double ShownNumber(const CString& text) {
  const char* p = text;
  while (*p == '>' || *p == '<' || *p == '~') ++p;
  char* end = nullptr;
  const double number = std::strtod(p, &end);
  if (end == p) return std::nan("");
  return *end == 'm' ? number / 1000.0 : number;
}

// The range of a channel whose +-4 divisions just hold a signal of that peak: the smallest
// volts per division of at least peak / 4 (-1 when none is that large).
int RangeIndexFor(int channel, double peak) {
  const CChannelProps& ch = GetGlobalProps().m_Channels[channel];
  int found = -1;
  for (INT_PTR i = 0; i < ch.m_Ranges.GetSize(); ++i) {
    const double perDivision = ch.PerDivision(ch.m_Ranges[i]);
    if (perDivision * 4.0 < peak) continue;
    if (found < 0 || perDivision < ch.PerDivision(ch.m_Ranges[found])) found = static_cast<int>(i);
  }
  return found;
}

// What a record holds of a periodic signal: half its peak-to-peak value and its frequency from
// the periods between rising crossings of the middle level, counted inside each stretch between
// gap markers (the stretches of the ring path are separate acquisitions).
struct RecordedSignal {
  double amplitude = 0.0;
  double frequency = 0.0;
  int periods = 0;
};

RecordedSignal MeasureRecord(const CRecord& r) {
  RecordedSignal out;
  const int n = std::min(r.GetPointCount(), r.GetSampleCount());
  double hi = -1e300, lo = 1e300;
  for (int i = 0; i < n; ++i) {
    if (r.IsGap(i)) continue;
    hi = std::max(hi, r.GetPointValue(i));
    lo = std::min(lo, r.GetPointValue(i));
  }
  if (!(hi > lo) || !(r.m_dSampleRate > 0.0)) return out;
  out.amplitude = (hi - lo) / 2.0;
  const double middle = (hi + lo) / 2.0;
  const double band = (hi - lo) / 10.0;  // a crossing goes from below middle - band to above middle + band
  long long spanned = 0;
  int first = -1, last = -1, below = 0;
  auto endStretch = [&] {
    if (first >= 0 && last > first) spanned += last - first;
    first = last = -1;
    below = 0;
  };
  for (int i = 0; i < n; ++i) {
    if (r.IsGap(i)) {
      endStretch();
      continue;
    }
    const double v = r.GetPointValue(i);
    if (v < middle - band) {
      below = 1;
    } else if (v > middle + band && below) {
      below = 0;
      if (first < 0) {
        first = i;
      } else {
        ++out.periods;
      }
      last = i;
    }
  }
  endStretch();
  if (out.periods > 0) out.frequency = r.m_dSampleRate * out.periods / static_cast<double>(spanned);
  return out;
}

// Both channels on in "Auto" at the rate of `rateIndex`; Rec pressed, then a click on the chart
// answered Yes: the analyzer on tab 6 takes the records, which hold the board's signals.
void RecordAndView(CMainWndDlg& main, int rateIndex, bool throughRecorder, const char* screenshot,
                   const char* analyzerScreenshot, const std::vector<sim::SignalSource>& signals) {
  auto* pane = dynamic_cast<scope::CWndOscPane*>(main.Pane(0));
  ASSERT_NE(pane, nullptr);
  auto* panel = dynamic_cast<Panel*>(&pane->ControlPanel().Window());
  ASSERT_NE(panel, nullptr) << "the program's control panel on tab 0";
  ASSERT_EQ(main.SelectedTab(), 0);
  std::vector<kvp::MessageBoxCall> boxes;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& box) {
    boxes.push_back(box);
    return (box.type & MB_YESNO) == MB_YESNO ? IDYES : IDOK;
  });
  GlobalProps& props = GetGlobalProps();

  SetButton(*panel, Panel::kTriggerMode, 1);  // "Auto"
  ASSERT_GE(rateIndex, 0);
  CRepeatCtrl* timeScale = panel->Spinner(Panel::kTimeScale);
  timeScale->record.value = rateIndex;
  panel->OnValueChanged(&timeScale->record, timeScale);
  SetButton(*panel, Panel::kChAOnOff, 1);
  SetButton(*panel, Panel::kChBOnOff, 1);
  // Each channel on the range that shows its signal large.
  for (int ch = 0; ch < 2; ++ch) {
    const int range = RangeIndexFor(ch, signals[static_cast<size_t>(ch)].amplitude);
    ASSERT_GE(range, 0) << ch;
    CRepeatCtrl* scale = panel->Spinner(ch == 0 ? Panel::kChAScale : Panel::kChBScale);
    scale->record.value = range;
    panel->OnValueChanged(&scale->record, scale);
    ASSERT_EQ(props.m_Channels[ch].m_nRangeIndex, range) << ch;
  }
  ASSERT_EQ(props.m_nSlowRateModifier, 0);
  if (!props.m_bRunning) ClickCentre(*panel->Button(Panel::kBtnRun));
  ASSERT_TRUE(props.m_bRunning);
  // Records at the new rate have come.
  ASSERT_TRUE(kvtest::PumpUntil([&] { return props.GetTimeBaseIndex() == rateIndex && TraceFilled(0) && TraceFilled(1); }));

  // Rec: the face blinks its dot and turns red, the chart says "Recording", the controls wait.
  kvp::StartTextLog();
  CXPCtrlBtn& rec = *panel->Button(Panel::kBtnRecord);
  ClickCentre(rec);
  const scope::ScopeState& state = scope::GetScopeState();
  ASSERT_EQ(state.ScopeRecording.load(), 1) << (boxes.empty() ? "" : boxes.back().text);
  EXPECT_EQ(state.RecordingThroughRecorder.load(), throughRecorder ? 1 : 0);
  EXPECT_EQ(props.m_bRunning != 0, !throughRecorder) << "the recorder takes the board from the scope";
  // The dot in the dark phase, then in the next bright one (a pump may outlast a phase: the
  // phases are looked at between pumps until both were seen in that order). Looked at while the
  // recorder has the board: with the scope running, a slow (sanitizer) build's queue never
  // empties, and timers wait for an empty queue.
  if (throughRecorder) {
    int dotOff = -1, dotOn = -1;
    ASSERT_TRUE(kvtest::PumpUntil(
        [&] {
          const int phase = panel->GetBlinkPhase();
          if (phase == 1 && dotOff < 0) {
            rec.Redraw();
            dotOff = RedDotPixels(rec);
          } else if (phase == 0 && dotOff >= 0) {
            rec.Redraw();
            dotOn = RedDotPixels(rec);
          }
          return dotOn >= 0;
        },
        60));
    EXPECT_GT(dotOn, dotOff + 5) << "the dot blinks";
  }
  EXPECT_TRUE(DrewInColour(rec.GetSafeHwnd(), "Rec", 0x0000FF));
  pane->RedrawAll();
  EXPECT_TRUE(DrewInColour(pane->m_chart.GetSafeHwnd(), props.GetText(kTextRecording), 0x0000FF));
  EXPECT_EQ(DrewInColour(pane->m_chart.GetSafeHwnd(), props.GetText(kTextSignalUnavailableRecording), 0x0000FF),
            throughRecorder);
  for (int id : {Panel::kBtnRun, Panel::kTriggerMode, Panel::kChAOnOff, Panel::kBtnSave})
    EXPECT_EQ(panel->Button(id)->data.enabled, 0) << id;
  EXPECT_EQ(panel->Spinner(Panel::kTimeScale)->record.enabled, 0);
  EXPECT_EQ(rec.data.enabled, 1);
  if (screenshot) {
    EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath(screenshot).c_str()));
  }
  kvp::StopTextLog();
  PumpFor(400);

  // A click on the chart ends the recording; Yes views it.
  ClickCentre(pane->m_chart);
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().text, props.GetText(kTextViewRecordQuestion));
  EXPECT_EQ(state.ScopeRecording.load(), 0);
  ASSERT_TRUE(kvtest::PumpUntil([&] { return main.SelectedTab() == 6; }, 5));
  CRecordList& list = GetRecordList();
  auto transferred = [&] {
    if (list.IsEmpty()) return false;
    for (INT_PTR k = 0; k < list.GetSize(); ++k)
      if (list[k]->m_bTransferPending) return false;
    return true;
  };
  ASSERT_TRUE(kvtest::PumpUntil(transferred, 30));
  ASSERT_EQ(list.GetSize(), 2) << "one record per channel on";
  for (INT_PTR k = 0; k < list.GetSize(); ++k) {
    SCOPED_TRACE(k);
    const CRecord& r = *list[k];
    EXPECT_EQ(r.m_nChannel, k);
    EXPECT_GT(r.GetPointCount(), 100);
    EXPECT_EQ(r.GetSampleCount(), r.GetPointCount());
    EXPECT_EQ(r.m_bDirect, throughRecorder ? 1 : 0);
    EXPECT_EQ(r.m_dSampleRate, props.m_TimeBase.m_Rates[rateIndex]);
    EXPECT_EQ(r.m_bSaved, 0) << "in no file yet: the analyzer still asks before it drops them";
  }
  EXPECT_EQ(list[0]->m_bContinuous, throughRecorder ? 1 : 0) << "the ring path's segments end in gap markers";
  // Each record holds its channel's signal, on the range it was recorded with: the amplitude to
  // the converter's resolution (256 steps over twice the full scale), the frequency to 0.1 %.
  for (INT_PTR k = 0; k < list.GetSize() && k < static_cast<INT_PTR>(signals.size()); ++k) {
    SCOPED_TRACE(k);
    const CRecord& r = *list[k];
    const sim::SignalSource& want = signals[static_cast<size_t>(k)];
    const CChannelProps& ch = props.m_Channels[k];
    EXPECT_DOUBLE_EQ(r.m_dPerDivision, ch.PerDivision(ch.GetRangeValue()));
    const RecordedSignal got = MeasureRecord(r);
    EXPECT_GE(got.periods, 20);
    EXPECT_NEAR(got.amplitude, want.amplitude, r.m_dFullScale / 128.0);
    EXPECT_NEAR(got.frequency, want.frequencyHz, 0.001 * want.frequencyHz);
  }
  // The analyzer shows them: the maximum and minimum of its first view, as its status area
  // writes them (one decimal).
  auto* analyzerPane = dynamic_cast<CWndRecordAnalyzer*>(main.Pane(6));
  ASSERT_NE(analyzerPane, nullptr);
  for (INT_PTR k = 0; k < list.GetSize() && k < static_cast<INT_PTR>(signals.size()); ++k) {
    SCOPED_TRACE(k);
    const sim::SignalSource& want = signals[static_cast<size_t>(k)];
    const double tolerance = list[k]->m_dFullScale / 128.0 + 0.05;
    CString shown[CWndAnalyzer_StatusArea::kRows];
    analyzerPane->m_StatusArea.ColumnValues(static_cast<int>(k), shown);
    EXPECT_NEAR(ShownNumber(shown[2]), want.offset + want.amplitude, tolerance) << shown[2];
    EXPECT_NEAR(ShownNumber(shown[3]), want.offset - want.amplitude, tolerance) << shown[3];
  }
  if (analyzerScreenshot) {
    kvp::headless::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(main.GetSafeHwnd(), kvtest::ScreenshotPath(analyzerScreenshot).c_str()));
  }
  std::string texts;
  for (const kvp::MessageBoxCall& b : boxes) texts += b.text + " | ";
  EXPECT_EQ(boxes.size(), 1u) << texts;
  kvp::SetMessageBoxResponder(nullptr);
}

TEST(ProgramEndToEnd, RecordingFromTheScopeEndsInTheAnalyzer) {
  struct Case {
    const char* name;
    bool throughRecorder;
    const char* screenshot;
    const char* analyzerScreenshot;
  } cases[] = {
      {"above 50000 S/s the running scope fills the rings", false, "scope-pane-recording", "analyzer-recorded"},
      {"at most 50000 S/s the recorder reads the board", true, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    InChild([&] {
      const std::vector<sim::SignalSource> signals = {sim::SignalSource{sim::Waveform::Sine, 5.0, 0.0, 1000.0},
                                                      sim::SignalSource{sim::Waveform::Square, 2.0, 0.0, 500.0}};
      const auto scenario = [&](sim::BoardScenario& s) {
        s.instantAcquisition = false;
        s.channelSignals[0] = signals[0];
        s.channelSignals[1] = signals[1];
      };
      StartProgram(scenario, {}, nullptr, [&](CMainWndDlg& main) {
        const int index = RateIndex(!c.throughRecorder);
        RecordAndView(main, index, c.throughRecorder, c.screenshot, c.analyzerScreenshot, signals);
      });
    });
  }
}

}  // namespace
