// CMeasureEngine: the one process-wide acquisition engine. It owns the binding of the measurement
// library, the working copies of the interface pointers, the meter services' records and the
// acquisition thread that drives the oscilloscope: on RUN it asks the scope pane (IOscClbck) for
// the settings, sends the changed ones, starts a measurement, waits for the link's idle event,
// reads the record and hands it to the pane, until STOP.
//
// Threads: the GUI thread calls Run/Stop, StartMeasurement/StopMeasurement, the meter services and
// StopAcquisitionThread; the start-up worker OpenMeasuringDevice, ReadChannelInfo and
// StartAcquisitionThread; the acquisition thread everything it reads and starts. Fields that
// cross threads are atomic or sit under the engine's locks.
#pragma once

#include <core/DeviceStartup.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/OscCallback.h>
#include <core/RecordRings.h>

#include <platform/sync.h>
#include <platform/unique.h>
#include <platform/window.h>
#include <platform/worker.h>

#include <atomic>
#include <functional>
#include <mutex>

class CMeasureEngine : public IDeviceStartup {
 public:
  enum { MAX_SAMPLES = 1000, START_TRIES = 10, PROBE_TRIES = 10, STOP_WAIT_MS = 5000, LINK_IDLE_BOUND_MS = 3000 };
  // Ohmmeter modes.
  enum { OHM_AUTO = 0, OHM_FIXED = 1, OHM_DIODE = 2 };

  CMeasureEngine();
  ~CMeasureEngine() override;
  CMeasureEngine(const CMeasureEngine&) = delete;
  CMeasureEngine& operator=(const CMeasureEngine&) = delete;

  // ---- opening (start-up worker) ---------------------------------------------------------------
  // First-run copy of "CustomSet.dat", language, library, pointers, link, identity, board status.
  // Returns the device-present flag. A library that cannot be bound shows text 10059 and returns 0
  // with IsStartupFatal() set (the start-up then ends the program with exit code 0).
  int OpenMeasuringDevice(HWND owner) override;
  // The first run's copy of "CustomSet.dat" from the program's folder (with its trailing
  // separator) into the user's application-data folder, never over an existing file. "Copy_settings"
  // missing or 1 allows it; it becomes 0 once a file was there to copy. Never fails the start-up.
  static void CopyCustomSettings(const char* programFolder);
  // Acquisition mode of the oscilloscope in use (slot 41 on the engine tester, else slot 31).
  BOOL SetAcquisitionMode(int mode) override;
  BOOL ReadChannelInfo(CMeasureProps& settings, CStringArrayEx& lines) override;
  int StartAcquisitionThread() override;
  BOOL IsStartupFatal() const { return m_bStartupFatal.load(); }

  // ---- the thread ------------------------------------------------------------------------------
  // Stop event, a wait that serves the thread's sends and boxes; after 5000 ms the thread is
  // abandoned (never killed). Returns 1.
  int StopAcquisitionThread();
  // Store the command (0 stop, non-zero run) and wake the thread. Harmless without a thread.
  int Run(int command);
  int Stop();
  // Stops the thread, clears the copies, unloads the library (unless a thread was abandoned inside
  // it) and frees the language library. Idempotent.
  void CoreShutdown();
  BOOL IsThreadRunning() const { return m_bRunning.load(); }
  BOOL IsThreadAbandoned() const { return m_bAbandoned.load(); }
  // Whether the thread procedure is still executing (also after the thread was abandoned).
  BOOL IsThreadInside() const { return m_bThreadInside.load(); }

  // The scope pane registers itself; ClearOscCallback takes out only that callback and returns
  // once a callback in flight has returned.
  void SetOscCallback(IOscClbck* callback);
  void ClearOscCallback(IOscClbck* callback);
  IOscClbck* GetOscCallback() const { return m_pCallback.load(); }

  // Targets of the refusal of a high-voltage measurement (code 34): skipped while 0.
  void SetMainWindow(HWND hwnd) { m_hMainWnd.store(hwnd); }
  void SetEngineTesterWindow(HWND hwnd) { m_hEngineTesterWnd.store(hwnd); }

  // ---- link ------------------------------------------------------------------------------------
  // Brings the link back to "started" before a new request; each loop is bounded (3000 ms). While
  // the link is reserved it waits for the release instead and never ends the pending read.
  void WaitLinkIdle();
  // A request in two halves (the leak test: the board records for seconds after the start, and
  // only then is the recording read) owns the link from before its first half until after its
  // second; nobody else may send in between. WaitLinkIdle waits for the release for at most
  // `boundMs` after the reservation (the request's own duration); past that, the link is left to
  // the library's busy handling. The token is for ReleaseLink; a release with a token other than
  // the standing reservation's changes nothing. Any thread.
  unsigned ReserveLink(DWORD boundMs);
  void ReleaseLink(unsigned token);
  BOOL IsLinkReserved() const;
  int GetLinkState();
  // Appends the text, then Recover; a failing Recover appends the SYSTEM ERROR line.
  void AddError(CStringArrayEx& lines, const char* text);

  // ---- the oscilloscope requests ---------------------------------------------------------------
  BOOL ApplyDeviceSettings(CMeasureProps& settings, CStringArrayEx& lines);
  int StartMeasurementCmd(CMeasureProps& settings, CStringArrayEx& lines);
  BOOL ReadBoardSignals(AcquisitionRecord& record, CStringArrayEx& lines);
  BOOL ReadEngineSignals(int highVoltageChannel, AcquisitionRecord& record, CStringArrayEx& lines);
  BOOL ReadEngineCylinderSignals(AcquisitionRecord& record, CStringArrayEx& lines);
  BOOL GetChannelRange(int channel, CChannelProps& props, CStringArrayEx& lines);
  // 1 when a value or -1 was stored.
  int ReadChannelMeasurement(double& value);
  int ReadEngineSpeed(double& value);
  // The shorter channel signal resized to the longer one's count.
  static void EqualizeChannelSignals(AcquisitionRecord& record);
  // The engine-tester oscilloscope's rate table (sample or angle rates) into the settings.
  int ReadSampleRateTable(GlobalProps& settings, CStringArrayEx& lines);
  // Acquisition mode of the board oscilloscope (slot 31) / engine-tester oscilloscope (slot 41).
  BOOL SetOscAcquisitionMode(int mode);
  BOOL SetMTOscAcquisitionMode(int mode);

  // ---- meter services (GUI thread) -------------------------------------------------------------
  MeterResult& ReadVoltmeterProbes();
  MeterResult& MeasureVoltage();
  MeterResult& ReadOhmmeterRanges();
  MeterResult& ConfigureOhmmeter();
  MeterResult& MeasureResistance();
  MeterResult& GetVoltmeterResult() { return m_VoltResult; }
  MeterResult& GetOhmmeterResult() { return m_OhmResult; }
  MeterReading& GetMeterReading(int channel) { return m_Readings[channel == 1 ? 1 : 0]; }
  COhmReading& GetOhmReading() { return m_OhmReading; }
  int m_nSelectedVoltChannel = 0;  // 0 voltmeter, 1 ammeter channel
  int m_nOhmMode = OHM_AUTO;
  SHORT m_nFixedRangeIndex = -1;

  // ---- high-voltage channel and re-arm check ---------------------------------------------------
  SHORT GetCurrentChannelMode();
  void SetSelectedChannel(SHORT channel);
  void ResetRearmCheck();
  RearmRecord GetRearmRecord();
  SHORT GetCylinderCount() const { return m_nCylinderCount.load(); }

  // ---- recorder feed ---------------------------------------------------------------------------
  // Sets (clears) the feed flag; StopRecorderFeed returns once no sample is being appended, so
  // the recorder may clear its list right after.
  void StartRecorderFeed(IRecordRings* rings);
  void StopRecorderFeed();
  BOOL IsRecorderFed() const { return m_bRecorderFeed.load(); }

  // ---- state for the panes ---------------------------------------------------------------------
  BOOL IsDevicePresent() const { return m_bDevicePresent.load(); }
  BOOL IsReducedVariant() const { return m_bReduced.load(); }
  BOOL IsMeasuring() const { return m_bMeasuring.load(); }
  CString GetBoardName() const;
  CString GetMotortesterName() const;
  CString GetVersionText() const;
  void SetMeasureTitle(const char* title);
  CString GetMeasureTitle() const;
  // The error lines and status of the last acquisition wake-up (info and meter panes).
  MeterResult GetLastAcquisitionResult() const;

  // The library binding (tests name a stand-in module before opening).
  CKelo_DLL& GetBinding() { return m_Kelo; }
  // The owner of the boxes the thread shows.
  void SetOwnerWindow(HWND hwnd) { m_hOwner.store(hwnd); }

 private:
  // The acquisition thread's loop, run by m_Worker until `stop` (the worker's stop event) is set.
  void AcquisitionThreadProc(HANDLE stop);
  // The path picked for every request: the engine-tester oscilloscope when its board is ready.
  bool UseEngineTester() const;
  void CopyInterfaces();
  void ClearCopies();
  void StartSequence(AcquisitionRecord& record, MeterResult& result, int& measuringWait);
  bool ReadRecord(AcquisitionRecord& record, CStringArrayEx& lines);
  // Waits for the release of a standing reservation, serving sends; false when it still stands at
  // its bound.
  bool WaitLinkReleased();
  bool CallQuerySettings(CMeasureProps& settings, int command, int& answer);
  bool CallData(AcquisitionRecord& record, int& answer);
  void CallError(MeterResult& result);
  void ShowBox(int textId, UINT icon);
  void RefuseHighVoltage();
  void FeedRing(int record, const int16_t* samples, int n, bool invert, bool markers);
  // The last command given by Run (0 stop), read under its lock.
  int CurrentCommand();
  BOOL ReadEngineSamples(int cylinder, bool cylinderRead, AcquisitionRecord& record, CStringArrayEx& lines);
  // The description ApplyProbeInfo makes of the channel's probe record, into `description`; made
  // again only when the record differs from the one before on that channel.
  void DescribeProbe(int channel, const ProbeDescriptor& probe, CNxDoubleArray& description);
  // The channel's description from its probe record, into `description`; a changed probe re-reads
  // the ranges and sets the range-changed mark.
  void UpdateDescription(int channel, CChannelProps& props, const ProbeDescriptor& probe, CNxDoubleArray& description,
                         CStringArrayEx& lines);
  void RearmCheck(int16_t peak);
  int ReadProbeDescriptor(bool engineTester, int channel, ProbeDescriptor& probe);
  void ReadMeterRanges(bool engineTester, int channel, MeterReading& reading);
  void ApplyMeterProbe(bool engineTester, int channel, MeterReading& reading, const ProbeDescriptor& probe);
  void MeterFailure(MeterResult& result, int status, int code);
  // Both ohmmeter interfaces (resistance and diode) of the path in use are bound.
  bool HasOhmInterfaces(bool mt) const;
  void Recover();

  std::atomic<int> m_nLinkState{-1};
  MeterResult m_VoltResult;
  MeterResult m_OhmResult;
  std::atomic<int> m_bDevicePresent{0};
  std::atomic<int> m_bRunning{0};
  std::atomic<int> m_bMeasuring{0};
  std::atomic<int> m_bReduced{0};
  CKelo_DLL m_Kelo;
  ICommunication_1* m_pCommunication = nullptr;
  IOscilloscope_2* m_pOscilloscope = nullptr;
  IMTOscilloscope_7* m_pMTOscilloscope = nullptr;
  IVoltmeter_3* m_pVoltmeter = nullptr;
  IMTVoltmeter_8* m_pMTVoltmeter = nullptr;
  IOhmmeter_4* m_pOhmmeter = nullptr;
  IMTOhmmeter_9* m_pMTOhmmeter = nullptr;
  IDiodeTest_5* m_pDiodeTest = nullptr;
  IMTDiodeTest_10* m_pMTDiodeTest = nullptr;
  IMotortester_6* m_pMotortester = nullptr;
  IMTAdvancemeter_11* m_pMTAdvancemeter = nullptr;
  IMTTemperaturemeter_12* m_pMTTemperaturemeter = nullptr;
  IMTDwellanglemeter_13* m_pMTDwellanglemeter = nullptr;
  kvp::Worker m_Worker;  // the acquisition thread (GUI thread: start and stop)
  std::atomic<IOscClbck*> m_pCallback{nullptr};
  std::atomic<int> m_bAppend{0};
  MeterReading m_Readings[2];
  COhmReading m_OhmReading;
  std::atomic<SHORT> m_nCylinderCount{0};
  CString m_strTitle;
  std::atomic<int> m_bRecorderFeed{0};
  kvp::UniqueHandle m_hCommandEvent;
  HANDLE m_hIdleEvent = 0;
  CRITICAL_SECTION m_csCommand;
  CRITICAL_SECTION m_csChannel;  // selected high-voltage channel and re-arm record
  int m_nCommand = 0;
  SHORT m_nSelectedChannel = 1;
  RearmRecord m_Rearm;
  CString m_strMotortesterName;
  CString m_strBoardName;
  CString m_strVersion;
  CNxDoubleArray m_Values;
  // The last description made from each channel's probe record, with that record. The library
  // reports the same probe with every record, and a description's label is formatted text: made
  // once per probe rather than once per record. The acquisition thread reads them; a thread given
  // up inside the library may still be reading when the next one starts, so both go through the
  // lock, which is held for nothing but the copy (and the making of a new description).
  struct ProbeLook {
    bool valid = false;
    ProbeDescriptor probe{};
    CNxDoubleArray description;
  };
  std::mutex m_probeLookLock;
  ProbeLook m_ProbeLooks[2];

  mutable std::mutex m_textLock;     // identity texts, title, last result
  MeterResult m_LastResult;
  std::mutex m_feedLock;             // held while samples are appended to the recorder's rings
  IRecordRings* m_pRings = nullptr;
  std::mutex m_callbackLock;         // the callback pointer and the calls in flight
  int m_nCallbacksInFlight = 0;
  kvp::UniqueHandle m_hCallbacksIdle;  // manual-reset, set while no callback is in flight
  std::atomic<DWORD> m_nThreadId{0};
  std::atomic<int> m_bStopping{0};
  std::atomic<int> m_bAbandoned{0};
  std::atomic<int> m_bThreadInside{0};
  std::atomic<int> m_bStartupFatal{0};
  std::atomic<int> m_bShutDown{0};
  std::atomic<int> m_bOpened{0};
  std::atomic<HWND> m_hMainWnd{0};
  std::atomic<HWND> m_hEngineTesterWnd{0};
  std::atomic<HWND> m_hOwner{0};
  mutable std::mutex m_reserveLock;  // the link reservation: token, start and bound
  unsigned m_nReservation = 0;       // the standing reservation's token, 0 none
  unsigned m_nLastToken = 0;
  DWORD m_nReservedAt = 0;
  DWORD m_nReservedFor = 0;
  kvp::UniqueHandle m_hLinkFree;     // manual-reset, set while no reservation stands
};

// The process-wide engine, built by static construction; registered as the start-up's device.
CMeasureEngine& GetMeasureEngine();

// The RUN and STOP entry points of the user interface (GUI thread): change bit 0x10, the command,
// the running flag of the settings and the notification kRunStarted (as the control panel) /
// kRunStopped (as the engine's stop). Without an engine they drive the process-wide one; a pane
// built on another engine passes its own.
void StartMeasurement(CMeasureEngine& engine);
void StopMeasurement(CMeasureEngine& engine);
void StartMeasurement();
void StopMeasurement();

// Before the program ends: stop the thread and unload the library in order.
void CoreShutdown();

// Fills a value-array description from a library probe record (kind, unit, full scale, multiplier,
// range window, scale factor, decimals, label).
void ApplyProbeInfo(CNxDoubleArray& target, const ProbeDescriptor& probe);

