// CRecorder: the one engine behind recordings. It owns the view state the record analyzer shows
// (position, zoom, amplitude steps, level offsets, the two cursors, the time axis), the record
// file name and the recorder thread, and it is the acquisition engine's view of the record list
// while the engine feeds the records' rings (IRecordRings).
//
// The recorder thread is a transfer job. Start (GUI thread) fills a job with everything the
// thread needs: the library path, and per record its channel, scaling, the inverted flag of its
// own channel and its ring, moved out of the record. The thread reads the board (direct recording)
// or converts the moved-out rings, writes only its job and posts progress (WM_ANALYZERNOTIFY) and
// the end (WM_ANALYZERRESET) to the analyzer window. FinishTransfer (GUI thread, the analyzer's
// handler of the end message) installs the job's rings and limits into the records, if the list
// is still the one the job was made for. Stop asks the job to end and discards the recording; a
// thread that does not end within STOP_WAIT_MS is abandoned (never killed): its job is cancelled,
// so whatever it does later reaches no record and no window.
#pragma once

#include <meters/Record.h>

#include <core/LinearMap.h>
#include <core/RecordRings.h>
#include <core/TraceStyle.h>

#include <ui/HotItems.h>

#include <kv310/Interfaces.h>

#include <platform/afx.h>
#include <platform/window.h>
#include <platform/worker.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// The instrument interfaces a transfer reads through (the binding's, or a test's stand-ins).
class CMeasureEngine;

struct RecorderLibrary {
  IMotortester_6* motortester = nullptr;
  IMTOscilloscope_7* mtOscilloscope = nullptr;
  IOscilloscope_2* oscilloscope = nullptr;
};

// The view window of the chart: samples start..end, n columns of samples, slope samples per pixel.
struct RecorderViewWindow {
  int start = 0;
  int end = 0;
  int n = 0;
  double slope = 1.0;
};

// One record of a transfer: what the thread reads, and what it leaves for FinishTransfer.
// What the view window holds of one record, over exactly the samples the chart's walk draws
// (valid points, gap markers of a segmented record left out): the extremes of its values and
// whether it went over or under range there. `any` is false when the window holds none.
struct RecordWindowStats {
  bool any = false;
  double max = 0.0;
  double min = 0.0;
  bool over = false;
  bool under = false;
};

struct RecorderJobRecord {
  SHORT channel = 0;
  double fullScale = 0.0;
  int inverted = 0;
  int roll = 0;
  int direct = 0;
  int pointCount = 0;
  CNxRoundShortIntArray ring;
  // Results.
  SHORT rawUpper = 0x7FFF;
  SHORT rawLower = -0x8000;
  double upperValue = 0.0;
  double lowerValue = 0.0;
};

struct RecorderJob {
  enum { RUNNING = 0, FINISHED = 1, STOPPED = 2 };
  RecorderLibrary library;
  bool engineTester = false;  // read through the engine-tester oscilloscope
  HWND window = 0;
  HANDLE stopEvent = 0;  // the worker's stop event (the worker owns it), set by Run
  uint64_t generation = 0;  // of the record list the job was made for
  std::vector<RecorderJobRecord> records;
  int readErrors = 0;      // the recording ended on read errors
  std::atomic<int> running{1};
  std::atomic<int> outcome{RUNNING};
  std::atomic<int> cancelled{0};  // set when the job was abandoned: results are dropped

  RecorderJob() = default;
  RecorderJob(const RecorderJob&) = delete;
  RecorderJob& operator=(const RecorderJob&) = delete;

  // The thread's work: saturation limits, direct reading or conversion of the rings; `stop` asks
  // it to end early.
  void Run(HANDLE stop);
  bool StopRequested() const;
  void Post(UINT message, WPARAM wParam) const;
};

class CRecorder final : public IRecordRings, public IRecorderViewMap {
 public:
  enum { SCREEN_COLUMNS = 800, STOP_WAIT_MS = 6000, BLOCK_SAMPLES = 2000, MAX_READ_ERRORS = 10 };
  enum { CURSOR_L = 0, CURSOR_R = 1 };
  enum { CURSOR_KIND_L = 4, CURSOR_KIND_R = 5 };

  struct ViewState {
    int m_nPlayState = 0;
    int m_nPosition = 0;  // sample column
    int m_nZoom = 1;      // samples per screen column; 0 the whole record
    int m_nAmplitudeStep[4] = {1, 1, 1, 1};
    double m_dLevelOffset[4] = {0.0, 0.0, 0.0, 0.0};
    int m_nStepValue = 10;  // play speed
    CLinearMap m_TimeAxis;  // window offsets 0..n to pixels 0..chart width
    int m_nChartWidth = 0;
  };

  CRecorder();
  ~CRecorder();
  CRecorder(const CRecorder&) = delete;
  CRecorder& operator=(const CRecorder&) = delete;

  CursorRecord m_Cursors[2];
  int m_bCursorsHidden = 1;
  ViewState m_View;
  CString m_strFileName;
  int m_bNewData = 0;
  int m_bChannelChanged[4] = {0, 0, 0, 0};
  HWND m_hAnalyzerWnd = 0;  // receives progress and the end of a transfer
  int m_nPrevAcquisitionMode[2] = {0, 0};  // kept by the record command: board path, engine-tester path

  // ---- cursors, zoom, amplitude ----------------------------------------------------------------
  // "L" at 300.0 (scheme colour 10, kind 4), "R" at 500.0 (scheme colour 11, kind 5). Returns 1.
  int InitCursors();
  // Returns 1 when a further step out is possible (zoom neither 20 nor 0).
  int ZoomOut();
  // Returns 1 when the zoom is not 1.
  int ZoomIn();
  // Record i (0..3): 1 while a further step is possible; any other index returns 1.
  int AmplitudeStepUp(int record);
  int AmplitudeStepDown(int record);

  // ---- lengths and texts -----------------------------------------------------------------------
  // Duration of the first record in ms (in angle mode in degrees); 0 without records or rate.
  double GetLength() const;
  // First record's point count - 1; 0 without records or points.
  int GetRecordLastIndex() const;
  void SetFileName(LPCSTR path) { m_strFileName = path; }
  // Position p (sample column, at least 0).
  void SetPosition(int p);
  // The time at the position: duration x p / last, rounded; 0 when last is 0.
  long long GetPositionTime() const;
  CString GetLengthText() const;
  CString GetPositionText() const;
  CString GetLastIndexText() const;
  // A time (ms, or degrees in angle mode) in the length format.
  CString FormatTime(long long value) const;

  // ---- the view --------------------------------------------------------------------------------
  RecorderViewWindow GetViewWindow() const;
  // Rebuilds the time axis from the view window for the chart width.
  void UpdateTimeAxis(int chartWidth);
  // The statistics of record k of the list in the current view window (none for a missing record).
  RecordWindowStats GetWindowStats(int k) const;
  static RecordWindowStats ComputeWindowStats(const CRecord& record, const RecorderViewWindow& window);
  // IRecorderViewMap: the pixel of a cursor position (an offset in the view window).
  int CursorPixel(double position) const override;

  // ---- the acquisition engine's feed -----------------------------------------------------------
  // Sets (needs a record; returns 0 without) or clears the engine's recorder feed; clearing
  // returns once the acquisition thread is not inside a feed. Returns 1.
  int SetRingFeed(int on);
  // The engine SetRingFeed works on (the process-wide one unless a test names its own).
  void SetFeedEngine(CMeasureEngine* engine) { m_pFeedEngine = engine; }
  int GetRecordCount() const override;
  CNxRoundShortIntArray* GetSampleRing(int k) override;

  // ---- the transfer ----------------------------------------------------------------------------
  // 1 when the thread was created; 0 when one runs or creation failed. GUI thread.
  int Start();
  // Asks the transfer to stop and waits up to STOP_WAIT_MS; a stopped or abandoned transfer
  // discards the recording (ClearRecordList). A finished one is left to FinishTransfer. Returns 1.
  int Stop();
  // Installs a finished transfer into the records (shows text 10104 first when it ended on read
  // errors). Returns whether it installed.
  BOOL FinishTransfer();
  BOOL IsTransferring() const { return m_pJob != nullptr; }
  BOOL IsThreadRunning() const { return m_pJob && m_pJob->running.load() ? TRUE : FALSE; }
  // Tests read through their stand-ins; null returns to the core's binding.
  void SetLibrary(const RecorderLibrary* library);

 private:
  RecorderLibrary CurrentLibrary() const;
  void DropJob();

  std::shared_ptr<RecorderJob> m_pJob;
  CMeasureEngine* m_pFeedEngine = nullptr;
  kvp::Worker m_worker;  // the job's thread
  bool m_bOwnLibrary = false;
  RecorderLibrary m_Library;
  // The last window statistics asked for, with everything they depend on (the chart, the status
  // area and printing ask for the same ones in one redraw).
  struct StatsKey {
    const void* record = nullptr;
    uint64_t generation = 0;
    int start = 0, end = 0, count = 0, write = 0, points = 0, upper = 0, lower = 0, continuous = 0;
    double fullScale = 0.0;
    bool operator==(const StatsKey&) const = default;
  };
  mutable StatsKey m_StatsKey[4];
  mutable RecordWindowStats m_Stats[4];
  mutable bool m_bStatsValid[4] = {false, false, false, false};
};

// The process-wide recorder.
CRecorder& GetRecorder();
