// CWndMotortester_HiVoltage: what the four high-voltage panels of the engine-tester pane share.
// While shown, a panel measures batch after batch, one worker thread per batch: arm the
// high-voltage meter, wait for the link's idle event (or the panel's stop), read the values of
// the variant and the engine speed, and report with WM_KVBATCH (wParam: the batch's generation).
// The GUI thread repaints, joins the finished worker and starts the next one. The panel paints a
// kV scale with one bar per shown value, the speed and the averaging state.
//
// Threads: the measured fields live in a block shared with the workers (atomics, relaxed); a
// worker never waits for the GUI thread, it only posts. A worker that outlives its panel (the
// library never answered) keeps the block alive and posts nothing more.
#pragma once

#include <ui/XPCtrlBtn.h>
#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>
#include <platform/sync.h>
#include <platform/worker.h>

#include <kv310/Interfaces.h>

#include <atomic>
#include <cstdint>
#include <memory>

class CMeasureEngine;

// The measured state of a high-voltage panel, shared by the panel and its workers.
struct HiVoltageBatchState {
  enum Variant { ALL_CYLINDERS, ONE_CYLINDER, DOUBLE_COIL, SELECTED_CYLINDER };
  enum { MAX_VALUES = 4, DEPTH = 4 };
  enum { STATUS_OK = 0, STATUS_NO_SENSOR = -1, STATUS_BAD_PROBE = -2, STATUS_ERROR = -3 };

  HiVoltageBatchState(Variant v, CMeasureEngine* e);
  ~HiVoltageBatchState();
  HiVoltageBatchState(const HiVoltageBatchState&) = delete;
  HiVoltageBatchState& operator=(const HiVoltageBatchState&) = delete;

  // Drops the oldest entry of the row and stores the value last.
  void HistoryPush(int value, int row);
  // Mean of the row's entries above 0 (integer division); 0 without one.
  int HistoryMean(int row) const;
  void ClearHistory();
  // One step of the automatic polarity detection after a valid first record (double-spark coil and
  // the automatic polarity flag on): the mean before at step 5 and a polarity switch, the mean
  // after at step 10 and a switch back when the polarity before gave the higher mean.
  void PolarityStep();
  // The detection is still running: counter below 10, double-spark coil, automatic polarity on.
  bool DetectionRunning() const;

  const Variant variant;
  CMeasureEngine* const engine;
  const int valueCount;  // entries of values: 4, 2, or 0 (the status holds the value)
  const int rowCount;    // history rows: 4, 2, 1

  std::atomic<HWND> window{0};
  std::atomic<bool> dropped{false};  // the panel is gone: post nothing
  std::atomic<IMTHiVoltage_14*> meter{nullptr};
  std::atomic<ICommunication_1*> link{nullptr};

  std::atomic<int> running{0};
  std::atomic<int> status{0};  // STATUS_*, or the volts of the one-value variants
  std::atomic<int> speed{-1};
  std::atomic<int> shownCount{0};
  std::atomic<int> reportedCount{0};
  std::atomic<int> values[MAX_VALUES] = {};
  std::atomic<int> history[MAX_VALUES][DEPTH] = {};
  std::atomic<int> polarityCounter{0};
  std::atomic<int> meanBefore{0};
  std::atomic<int> meanAfter{0};
};

// Runs one measurement batch of the variant on the state (a worker's whole life); `stop` ends the
// wait for the board. The report to post: WM_KVBATCH to the panel, wParam the generation, lParam
// BATCH_DONE or BATCH_REFUSED; none when stopped or when the panel is gone.
enum { BATCH_DONE = 0, BATCH_REFUSED = 1 };
kvp::WorkerDone RunHiVoltageBatch(HiVoltageBatchState& state, WPARAM generation, HANDLE stop);

class CWndMotortester_HiVoltage : public CXPWndBaseColor,
                                  public CXPCtrlBtn::IDrawClbck,
                                  public CXPCtrlBtn::IBtnClbck {
 public:
  enum { ID_TITLE = 0 };
  enum { DESTROY_WAIT_MS = 1000 };
  // A hide waits this long for the worker (serving sends), then gives it up.
  enum { STOP_WAIT_MS = 1000 };
  static constexpr int kFullScale = 30000;   // volts at the scale's top
  static constexpr int kBarMax = 25000;      // higher values are drawn as this
  static constexpr int kBarMin = 1000;       // lower values are drawn as 0

  // What the pane prints: the bars' values (clamped, averaged when averaging is on; all 0 while a
  // state is shown instead of the bars) and the speed.
  struct PrintValues {
    int count = 0;
    int values[HiVoltageBatchState::MAX_VALUES] = {};
    int status = 0;
    int speed = -1;
  };

  ~CWndMotortester_HiVoltage() override;

  // The interfaces a show copies; null: the program's binding's.
  void SetInterfaces(IMTHiVoltage_14* meter, ICommunication_1* link);

  PrintValues GetPrintValues() const;
  // The text the panel shows instead of its bars ("no sensor", "Bad probe", "Error"); null while it
  // shows bars.
  LPCSTR StateText() const;
  HiVoltageBatchState& State() { return *m_pState; }
  const HiVoltageBatchState& State() const { return *m_pState; }
  bool HasWorker() const { return m_worker.Held(); }
  // The value bar i shows: the history mean of its row with averaging on, else the current
  // value; above 25000 V as 25000, below 1000 V as 0.
  int BarValue(int bar) const;
  // Bars drawn.
  int BarCount() const;
  // The measuring area, the scale (its bottom is 0 kV, its top 30 kV) and bar i's rectangle.
  CRect MeasuringArea() const;
  CRect ScaleRect() const;
  CRect BarRect(int bar, int value) const;

  // CXPWndBaseColor.
  BOOL CreateChildren() override;
  void PaintContent(CDC* dc) override;
  void RecalcLayout() override;
  // CXPCtrlBtn callbacks.
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;
  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  void OnShowWindow(BOOL show, UINT status) override;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnDestroy() override;
  // A worker's report (WM_KVBATCH).
  void OnDataBatch(WPARAM generation, LPARAM result);

  CXPCtrlBtn m_Title;
  CFont m_fntLarge;
  CFont m_fntSmall;
  int m_nDisplayValues[HiVoltageBatchState::MAX_VALUES] = {};  // as last drawn
  int m_nScaleLabelWidth = 0;  // the widest kV label in the small font, measured at each layout

 protected:
  CWndMotortester_HiVoltage(HiVoltageBatchState::Variant variant, int titleText, CMeasureEngine* engine);

  // Measures the widest kV label in the small font (after each change of that font).
  void MeasureScaleLabels();
  // Variant hooks: the text under bar i (empty: none) and the title's top.
  virtual CString BarLabel(int bar) const;
  virtual int TitleTop() const { return 0; }
  // Pixels at the bottom of the measuring area that children cover (the scale and "[sensor]"
  // stand above them).
  virtual int CoveredBottom() const { return 0; }
  virtual void OnShown() {}
  // Starts the next worker at the lowest priority; FALSE when the thread could not be made.
  BOOL StartWorker();
  // Stops and joins the worker (hide).
  void StopWorker();

  std::shared_ptr<HiVoltageBatchState> m_pState;
  const int m_nTitleText;
  kvp::Worker m_worker;
  WPARAM m_nGeneration = 0;
  IMTHiVoltage_14* m_pMeterOverride = nullptr;
  ICommunication_1* m_pLinkOverride = nullptr;
};
