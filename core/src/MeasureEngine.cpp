#include <core/MeasureEngine.h>

#include <core/MeasureType.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/Reg.h>
#include <core/TimeBaseReader.h>

#include <platform/files.h>
#include <platform/module.h>

#include <algorithm>

namespace {

constexpr const char* kCaption = "Dravix Scope";
constexpr const char* kBehaviourKey = "SOFTWARE\\KELO\\KV310\\Behaviour";
constexpr const char* kNoInformation = "No information";


// Marks the thread procedure as executing for its whole run.
struct InsideMark {
  explicit InsideMark(std::atomic<int>& flag) : flag(flag) { flag.store(1); }
  ~InsideMark() { flag.store(0); }
  std::atomic<int>& flag;
};

// The folder of the running program, with its trailing separator.
CString ProgramFolder() {
  char path[MAX_PATH] = "";
  const DWORD length = GetModuleFileName(0, path, sizeof path);
  if (length == 0 || length >= sizeof path) return CString();
  CString folder = path;
  const int separator = std::max(folder.ReverseFind('/'), folder.ReverseFind('\\'));
  return separator >= 0 ? folder.Left(separator + 1) : CString();
}

}  // namespace

void CMeasureEngine::CopyCustomSettings(const char* programFolder) {
  DWORD value = 0;
  const int code = CReg().ReadDword(HKEY_CURRENT_USER, kBehaviourKey, "Copy_settings", value);
  if (!(code == CReg::ERR_OPEN || code == CReg::ERR_VALUE || (code == CReg::OK && value == 1))) return;
  // The shipped file lies beside the program, wherever the program is started from. Without it
  // there is nothing to copy, and the one chance stays for a later start that finds it.
  const CString source = CString(programFolder ? programFolder : "") + "CustomSet.dat";
  const DWORD sourceAttributes = GetFileAttributes(source);
  if (sourceAttributes == INVALID_FILE_ATTRIBUTES || (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY)) return;
  CReg().WriteDword(HKEY_CURRENT_USER, kBehaviourKey, "Copy_settings", 0);
  char folder[MAX_PATH] = "";
  if (!SHGetSpecialFolderPath(0, folder, CSIDL_APPDATA, FALSE)) return;
  CString path = folder;
  for (const char* sub : {"\\NORVIK", "\\Dravix", "\\KV310"}) {
    path += sub;
    const DWORD attributes = GetFileAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) CreateDirectory(path, nullptr);
  }
  path += "\\CustomSet.dat";
  CopyFile(source, path, TRUE);
}

CMeasureEngine::CMeasureEngine() : m_strTitle("Oscilloscope") {
  GetGlobalProps();  // made first, so it outlives the engine, whose shutdown frees the language
  InitializeCriticalSection(&m_csCommand);
  InitializeCriticalSection(&m_csChannel);
  m_hCallbacksIdle.reset(CreateEvent(nullptr, TRUE, TRUE, nullptr));
  m_hLinkFree.reset(CreateEvent(nullptr, TRUE, TRUE, nullptr));
}

CMeasureEngine::~CMeasureEngine() {
  // An engine that was opened and not shut down is shut down now; one that never opened (or the
  // process-wide one after CoreShutdown) does nothing, whatever static destruction left.
  if (m_bOpened.load()) CoreShutdown();
  m_hCallbacksIdle.reset();
  m_hLinkFree.reset();
  DeleteCriticalSection(&m_csChannel);
  DeleteCriticalSection(&m_csCommand);
}

// ---- opening ---------------------------------------------------------------------------------

void CMeasureEngine::CopyInterfaces() {
  m_pCommunication = m_Kelo.Communication();
  m_pOscilloscope = m_Kelo.Oscilloscope();
  m_pMTOscilloscope = m_Kelo.MTOscilloscope();
  m_pMTVoltmeter = m_Kelo.MTVoltmeter();
  m_pMotortester = m_Kelo.Motortester();
  m_pMTAdvancemeter = m_Kelo.MTAdvancemeter();
  m_pMTTemperaturemeter = m_Kelo.MTTemperaturemeter();
  m_pMTDwellanglemeter = m_Kelo.MTDwellanglemeter();
}

void CMeasureEngine::ClearCopies() {
  m_pCommunication = nullptr;
  m_pOscilloscope = nullptr;
  m_pMTOscilloscope = nullptr;
  m_pVoltmeter = nullptr;
  m_pMTVoltmeter = nullptr;
  m_pOhmmeter = nullptr;
  m_pMTOhmmeter = nullptr;
  m_pDiodeTest = nullptr;
  m_pMTDiodeTest = nullptr;
  m_pMotortester = nullptr;
  m_pMTAdvancemeter = nullptr;
  m_pMTTemperaturemeter = nullptr;
  m_pMTDwellanglemeter = nullptr;
}

void CMeasureEngine::ShowBox(int textId, UINT icon) {
  MessageBox(m_hOwner.load(), GetGlobalProps().GetText(textId), kCaption, MB_OK | icon);
}

int CMeasureEngine::OpenMeasuringDevice(HWND owner) {
  m_hOwner.store(owner);
  m_bOpened.store(1);
  CopyCustomSettings(ProgramFolder());
  GetGlobalProps().LoadLanguage();

  if (!m_Kelo.Load()) {
    ShowBox(10059, MB_ICONINFORMATION);
    m_bStartupFatal.store(1);
    return 0;
  }

  CopyInterfaces();
  CMotortesterData* tester = GetMotortesterDevice();
  tester->SetInterfaces(m_Kelo.Motortester(), m_Kelo.MTVoltmeter(), m_Kelo.Communication());
  tester->LoadMotortesterParams();

  int rc = m_pCommunication->Open();
  if (rc == 0) rc = m_pCommunication->Start();
  if (rc != 0) {
    {
      std::lock_guard<std::mutex> lock(m_textLock);
      m_strBoardName = m_strMotortesterName = m_strVersion = kNoInformation;
    }
    ShowBox(10058, MB_ICONINFORMATION);
    m_bDevicePresent.store(0);
    GetGlobalProps().m_bDevicePresent = 0;
    return 0;
  }

  m_bDevicePresent.store(1);
  GetGlobalProps().m_bDevicePresent = 1;
  IInfo_0* info = m_Kelo.Info();
  const char* board = info->GetBoardName();
  const char* testerName = info->GetMotortesterName();
  uint16_t major = 0, buildHigh = 0, buildLow = 0;
  info->GetVersion(&major, &buildHigh, &buildLow);
  {
    std::lock_guard<std::mutex> lock(m_textLock);
    m_strBoardName = board ? board : "";
    m_strMotortesterName = testerName ? testerName : "";
    m_strVersion.Format("%d Build %d.%d", major, buildHigh, buildLow);
  }

  uint8_t hardware = 0;
  rc = info->GetBoardStatus(&hardware);
  if (rc != 0 || (hardware != 1 && hardware != 2)) {
    ShowBox(10058, MB_ICONINFORMATION);
    m_bDevicePresent.store(0);
  } else {
    m_bDevicePresent.store(1);
    if (hardware == 2) m_bReduced.store(1);
  }
  // The engine's flag and the settings' flag are one fact.
  GetGlobalProps().m_bDevicePresent = m_bDevicePresent.load();
  return m_bDevicePresent.load();
}

BOOL CMeasureEngine::SetAcquisitionMode(int mode) {
  return UseEngineTester() ? SetMTOscAcquisitionMode(mode) : SetOscAcquisitionMode(mode);
}

BOOL CMeasureEngine::SetOscAcquisitionMode(int mode) {
  return m_pOscilloscope && m_pOscilloscope->SetAcquisitionMode(mode) == 0 ? TRUE : FALSE;
}

BOOL CMeasureEngine::SetMTOscAcquisitionMode(int mode) {
  return m_pMTOscilloscope && m_pMTOscilloscope->SetAcquisitionMode(mode) == 0 ? TRUE : FALSE;
}

int CMeasureEngine::ReadSampleRateTable(GlobalProps& settings, CStringArrayEx& lines) {
  return ::ReadSampleRateTable(m_pMTOscilloscope, settings, lines,
                               [this](CStringArrayEx& list, const char* text) { AddError(list, text); });
}

CString CMeasureEngine::GetBoardName() const {
  std::lock_guard<std::mutex> lock(m_textLock);
  return m_strBoardName;
}

CString CMeasureEngine::GetMotortesterName() const {
  std::lock_guard<std::mutex> lock(m_textLock);
  return m_strMotortesterName;
}

CString CMeasureEngine::GetVersionText() const {
  std::lock_guard<std::mutex> lock(m_textLock);
  return m_strVersion;
}

void CMeasureEngine::SetMeasureTitle(const char* title) {
  std::lock_guard<std::mutex> lock(m_textLock);
  m_strTitle = title ? title : "";
}

CString CMeasureEngine::GetMeasureTitle() const {
  std::lock_guard<std::mutex> lock(m_textLock);
  return m_strTitle;
}

MeterResult CMeasureEngine::GetLastAcquisitionResult() const {
  std::lock_guard<std::mutex> lock(m_textLock);
  MeterResult copy;
  copy.m_nValue = m_LastResult.m_nValue;
  copy.m_nStatus = m_LastResult.m_nStatus;
  copy.m_Lines.Copy(m_LastResult.m_Lines);
  return copy;
}

// ---- link ------------------------------------------------------------------------------------

int CMeasureEngine::GetLinkState() {
  const int state = m_pCommunication ? m_pCommunication->GetState() : kv310::kLinkNone;
  m_nLinkState.store(state);
  return state;
}

void CMeasureEngine::Recover() {
  if (m_pCommunication) m_pCommunication->Recover();
}

unsigned CMeasureEngine::ReserveLink(DWORD boundMs) {
  std::lock_guard<std::mutex> lock(m_reserveLock);
  if (++m_nLastToken == 0) m_nLastToken = 1;
  m_nReservation = m_nLastToken;
  m_nReservedAt = GetTickCount();
  m_nReservedFor = boundMs;
  ResetEvent(m_hLinkFree.get());
  return m_nReservation;
}

void CMeasureEngine::ReleaseLink(unsigned token) {
  std::lock_guard<std::mutex> lock(m_reserveLock);
  if (token == 0 || token != m_nReservation) return;
  m_nReservation = 0;
  SetEvent(m_hLinkFree.get());
}

BOOL CMeasureEngine::IsLinkReserved() const {
  std::lock_guard<std::mutex> lock(m_reserveLock);
  return m_nReservation != 0;
}

bool CMeasureEngine::WaitLinkReleased() {
  DWORD remaining = 0;
  {
    std::lock_guard<std::mutex> lock(m_reserveLock);
    if (m_nReservation == 0) return true;
    const DWORD elapsed = GetTickCount() - m_nReservedAt;
    if (elapsed >= m_nReservedFor) return false;
    remaining = m_nReservedFor - elapsed;
  }
  // Sends are served: the GUI thread waits here when a pane is shown, and workers may send to it.
  const HANDLE free = m_hLinkFree.get();
  return kvp::WaitForObjectsServingSends(1, &free, remaining) == WAIT_OBJECT_0;
}

void CMeasureEngine::WaitLinkIdle() {
  if (!WaitLinkReleased()) {
    // The reservation outlived its time: its read stays pending, and the caller's next request
    // meets a busy link, which the library refuses.
    m_bMeasuring.store(0);
    return;
  }
  if (!m_pCommunication) {
    m_bMeasuring.store(0);
    return;
  }
  int state = GetLinkState();
  if (state == kv310::kLinkFailed) {
    m_pCommunication->Recover();
    state = GetLinkState();
  }
  if (state != kv310::kLinkPending) {
    m_bMeasuring.store(0);
    return;
  }
  // Busy, and reserved since the wait above (another thread started a request in two halves):
  // that read is not ended either.
  if (IsLinkReserved()) {
    WaitLinkIdle();
    return;
  }
  // Busy: end the pending read. Each loop is bounded; at the bound the link is reset once and the
  // next request reports what the library says.
  DWORD begin = GetTickCount();
  if (m_pCommunication->AbortRead() != 0) {
    while (m_pCommunication->AbortRead() != 0) {
      Sleep(50);
      if (GetLinkState() == kv310::kLinkIdle) break;
      if (GetTickCount() - begin >= LINK_IDLE_BOUND_MS) {
        m_pCommunication->Recover();
        m_bMeasuring.store(0);
        return;
      }
    }
  }
  begin = GetTickCount();
  while ((state = GetLinkState()) == kv310::kLinkPending) {
    if (GetTickCount() - begin >= LINK_IDLE_BOUND_MS) break;
    Sleep(20);
  }
  if (state != kv310::kLinkIdle) m_pCommunication->Recover();
  m_bMeasuring.store(0);
}

void CMeasureEngine::AddError(CStringArrayEx& lines, const char* text) {
  lines.Add(text);
  if (!m_pCommunication) return;
  const int rc = m_pCommunication->Recover();
  if (rc != 0) {
    CString line;
    line.Format("!!!SYSTEM ERROR!!! - ClearError:%d", rc);
    lines.Add(line);
  }
}

// ---- the thread ------------------------------------------------------------------------------

int CMeasureEngine::StartAcquisitionThread() {
  if (!m_bDevicePresent.load() || m_bRunning.load() || !m_pCommunication) return m_bRunning.load();
  HANDLE idle = m_pCommunication->GetIdleEvent();
  if (!idle) return m_bRunning.load();
  EnterCriticalSection(&m_csCommand);
  m_hIdleEvent = idle;
  m_hCommandEvent.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  if (!m_hCommandEvent) {
    LeaveCriticalSection(&m_csCommand);
    return 0;
  }
  m_bStopping.store(0);
  m_bThreadInside.store(1);
  // The engine outlives its thread (a thread given up keeps the library mapped, CoreShutdown), so
  // the body reaches it through `this`; the worker's stop event ends the thread's loop.
  const bool started = m_Worker.Start(
      [this](HANDLE stop) {
        AcquisitionThreadProc(stop);
        return kvp::WorkerDone{};
      },
      THREAD_PRIORITY_LOWEST);
  if (!started) {
    m_bThreadInside.store(0);
    m_hCommandEvent.reset();
    LeaveCriticalSection(&m_csCommand);
    return 0;
  }
  m_bRunning.store(1);
  LeaveCriticalSection(&m_csCommand);
  return 1;
}

int CMeasureEngine::StopAcquisitionThread() {
  EnterCriticalSection(&m_csCommand);
  const bool held = m_Worker.Held();
  if (held) {
    m_bStopping.store(1);
    m_Worker.SignalStop();
  }
  LeaveCriticalSection(&m_csCommand);
  if (!held) return 1;

  // The thread may be sending to this (GUI) thread or waiting for a box: the join serves it
  // meanwhile, and gives the thread up at the bound.
  m_Worker.Join(STOP_WAIT_MS, [this] { m_bAbandoned.store(1); });
  EnterCriticalSection(&m_csCommand);
  if (m_bAbandoned.load()) {
    // The abandoned thread may still wait on it: it stays open, only forgotten (its stop event
    // is the worker's, kept for it by the worker).
    (void)m_hCommandEvent.release();
  } else {
    m_hCommandEvent.reset();
  }
  m_hIdleEvent = 0;
  m_bRunning.store(0);
  LeaveCriticalSection(&m_csCommand);
  return 1;
}

int CMeasureEngine::Run(int command) {
  EnterCriticalSection(&m_csCommand);
  m_nCommand = command;
  if (m_hCommandEvent) SetEvent(m_hCommandEvent.get());
  LeaveCriticalSection(&m_csCommand);
  return 1;
}

int CMeasureEngine::Stop() { return Run(0); }

int CMeasureEngine::CurrentCommand() {
  EnterCriticalSection(&m_csCommand);
  const int command = m_nCommand;
  LeaveCriticalSection(&m_csCommand);
  return command;
}

void CMeasureEngine::CoreShutdown() {
  if (m_bShutDown.exchange(1) || !m_bOpened.load()) return;
  StopAcquisitionThread();
  m_bDevicePresent.store(0);
  if (m_bAbandoned.load()) {
    // The abandoned thread may still be inside the library and use the copies: the library
    // stays mapped and the copies stay valid.
    m_Kelo.Forget();
  } else {
    ClearCopies();
    CMotortesterData* tester = GetMotortesterDevice();
    if (tester->GetCommunication() == m_Kelo.Communication()) tester->SetInterfaces(nullptr, nullptr, nullptr);
    m_Kelo.Unload();
  }
  GetGlobalProps().FreeLanguage();
}

void CMeasureEngine::SetOscCallback(IOscClbck* callback) {
  std::lock_guard<std::mutex> lock(m_callbackLock);
  m_pCallback.store(callback);
}

void CMeasureEngine::ClearOscCallback(IOscClbck* callback) {
  bool wait = false;
  {
    std::lock_guard<std::mutex> lock(m_callbackLock);
    if (m_pCallback.load() == callback) m_pCallback.store(nullptr);
    // A call in flight blocks the thread in a send to the pane; when that send is the one being
    // handled here, waiting would never end.
    wait = m_nCallbacksInFlight > 0 && GetCurrentThreadId() != m_nThreadId.load() && !InSendMessage();
  }
  if (wait) {
    const HANDLE callbacksIdle = m_hCallbacksIdle.get();
    kvp::WaitForObjectsServingSends(1, &callbacksIdle, INFINITE);
  }
}

namespace {

// Runs one callback with the registration held in flight, unless stopping or none is registered.
template <typename F>
bool WithCallback(std::mutex& lock, std::atomic<IOscClbck*>& pointer, int& inFlight, HANDLE idle,
                  const std::atomic<int>& stopping, F call) {
  IOscClbck* callback = nullptr;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (stopping.load()) return false;
    callback = pointer.load();
    if (!callback) return false;
    if (inFlight++ == 0) ResetEvent(idle);
  }
  call(*callback);
  std::lock_guard<std::mutex> guard(lock);
  if (--inFlight == 0) SetEvent(idle);
  return true;
}

}  // namespace

bool CMeasureEngine::CallQuerySettings(CMeasureProps& settings, int command, int& answer) {
  answer = 0;
  return WithCallback(m_callbackLock, m_pCallback, m_nCallbacksInFlight, m_hCallbacksIdle.get(), m_bStopping,
                      [&](IOscClbck& c) { answer = c.OnOscQuerySettings(settings, command); });
}

bool CMeasureEngine::CallData(AcquisitionRecord& record, int& answer) {
  answer = 0;
  return WithCallback(m_callbackLock, m_pCallback, m_nCallbacksInFlight, m_hCallbacksIdle.get(), m_bStopping,
                      [&](IOscClbck& c) { answer = c.OnOscData(record); });
}

void CMeasureEngine::CallError(MeterResult& result) {
  WithCallback(m_callbackLock, m_pCallback, m_nCallbacksInFlight, m_hCallbacksIdle.get(), m_bStopping,
               [&](IOscClbck& c) { c.OnOscError(result); });
}

void CMeasureEngine::StartSequence(AcquisitionRecord& record, MeterResult& result, int& measuringWait) {
  if (!ApplyDeviceSettings(record.m_Settings, result.m_Lines)) {
    result.m_nStatus = RESULT_SETTINGS_FAILED;
    measuringWait = 0;
    return;
  }
  measuringWait = StartMeasurementCmd(record.m_Settings, result.m_Lines);
  if (!measuringWait) result.m_nStatus = RESULT_START_FAILED;
}

bool CMeasureEngine::ReadRecord(AcquisitionRecord& record, CStringArrayEx& lines) {
  const measure::MeasureType type = GetMeasureType().Type();
  if (measure::IsEngineTesterScreen(type) && !measure::IsSegmented(type)) return ReadEngineSignals(GetCurrentChannelMode(), record, lines) != FALSE;
  if (measure::IsSegmented(type)) return ReadEngineCylinderSignals(record, lines) != FALSE;
  return ReadBoardSignals(record, lines) != FALSE;
}

void CMeasureEngine::EqualizeChannelSignals(AcquisitionRecord& record) {
  const int a = record.m_Signal[0].GetCount();
  const int b = record.m_Signal[1].GetCount();
  if (a < b) record.m_Signal[0].SetSize(b);
  if (b < a) record.m_Signal[1].SetSize(a);
}

void CMeasureEngine::AcquisitionThreadProc(HANDLE stop) {
  InsideMark inside(m_bThreadInside);
  m_nThreadId.store(GetCurrentThreadId());
  EnterCriticalSection(&m_csCommand);
  HANDLE handles[3] = {m_hCommandEvent.get(), stop, m_hIdleEvent};
  LeaveCriticalSection(&m_csCommand);

  int measuringWait = 0;
  MeterResult result;
  auto record = std::make_unique<AcquisitionRecord>();
  for (bool leave = false; !leave;) {
    const DWORD count = measuringWait ? 3 : 2;
    const DWORD woken = WaitForMultipleObjects(count, handles, FALSE, INFINITE);
    result.Clear();
    if (woken >= WAIT_OBJECT_0 + count) break;

    if (woken == WAIT_OBJECT_0) {
      WaitLinkIdle();
      m_bAppend.store(0);
      EnterCriticalSection(&m_csCommand);
      const int command = m_nCommand;
      LeaveCriticalSection(&m_csCommand);
      measuringWait = 0;
      int answer = 0;
      if (command != 0 && CallQuerySettings(record->m_Settings, command, answer) && answer != 0)
        StartSequence(*record, result, measuringWait);
    } else if (woken == WAIT_OBJECT_0 + 1) {
      WaitLinkIdle();
      leave = true;
    } else {
      measuringWait = 0;
      if (!ReadRecord(*record, result.m_Lines)) {
        result.m_nStatus = RESULT_READ_FAILED;
        WaitLinkIdle();
      } else if (!record->IsComplete()) {
        // A partial record (slow rates): keep the channels equally long and fetch the next part.
        EqualizeChannelSignals(*record);
        m_bAppend.store(1);
        measuringWait = StartMeasurementCmd(record->m_Settings, result.m_Lines);
      } else {
        m_bAppend.store(0);
        int answer = 0;
        if (CallData(*record, answer) && answer == 1 && CurrentCommand() != 0) {
          // A stop asked for while the record was handed over ends the run here: the board may
          // already be working for someone else (a recording through the recorder).
          WaitLinkIdle();
          StartSequence(*record, result, measuringWait);
        }
      }
    }

    record->m_nStatus = result.m_nStatus;
    if (result.m_Lines.GetSize() > 0) CallError(result);
    {
      std::lock_guard<std::mutex> lock(m_textLock);
      m_LastResult.m_nValue = result.m_nValue;
      m_LastResult.m_nStatus = result.m_nStatus;
      m_LastResult.m_Lines.Copy(result.m_Lines);
    }
    for (CChannelProps& channel : record->m_Settings.m_Channels) channel.m_Ranges.m_nChangeMark = 0;
  }
}

// ---- high-voltage channel and re-arm check -----------------------------------------------------

SHORT CMeasureEngine::GetCurrentChannelMode() {
  EnterCriticalSection(&m_csChannel);
  const SHORT channel = m_nSelectedChannel;
  LeaveCriticalSection(&m_csChannel);
  return channel;
}

void CMeasureEngine::SetSelectedChannel(SHORT channel) {
  EnterCriticalSection(&m_csChannel);
  m_nSelectedChannel = channel;
  LeaveCriticalSection(&m_csChannel);
}

void CMeasureEngine::ResetRearmCheck() {
  EnterCriticalSection(&m_csChannel);
  m_Rearm = RearmRecord{};
  LeaveCriticalSection(&m_csChannel);
}

RearmRecord CMeasureEngine::GetRearmRecord() {
  EnterCriticalSection(&m_csChannel);
  const RearmRecord copy = m_Rearm;
  LeaveCriticalSection(&m_csChannel);
  return copy;
}

void CMeasureEngine::RearmCheck(int16_t peak) {
  bool rearm = false;
  EnterCriticalSection(&m_csChannel);
  RearmRecord& r = m_Rearm;
  const int step = r.m_nStep;
  if (step < 4) {
    r.m_nStep = step + 1;
    switch (step) {
      case 0:
        r.m_dFirstAverage += peak;
        break;
      case 1:
        r.m_dFirstAverage = peak * 0.5 + r.m_dFirstAverage * 0.5;
        rearm = true;
        break;
      case 2:
        r.m_dSecondAverage += peak;
        break;
      default:
        r.m_dSecondAverage = peak * 0.5 + r.m_dSecondAverage * 0.5;
        r.m_nStep = 5;
        rearm = r.m_dFirstAverage > r.m_dSecondAverage;
        break;
    }
  }
  LeaveCriticalSection(&m_csChannel);
  if (rearm && m_pMTOscilloscope) m_pMTOscilloscope->Rearm();
}

// ---- recorder feed ---------------------------------------------------------------------------

void CMeasureEngine::StartRecorderFeed(IRecordRings* rings) {
  std::lock_guard<std::mutex> lock(m_feedLock);
  m_pRings = rings;
  m_bRecorderFeed.store(rings ? 1 : 0);
}

void CMeasureEngine::StopRecorderFeed() {
  std::lock_guard<std::mutex> lock(m_feedLock);
  m_bRecorderFeed.store(0);
  m_pRings = nullptr;
}

void CMeasureEngine::FeedRing(int record, const int16_t* samples, int n, bool invert, bool markers) {
  std::lock_guard<std::mutex> lock(m_feedLock);
  if (!m_bRecorderFeed.load() || !m_pRings || record >= m_pRings->GetRecordCount()) return;
  CNxRoundShortIntArray* ring = m_pRings->GetSampleRing(record);
  if (!ring) return;
  for (int i = 0; i < n; ++i) {
    const int s = invert ? -static_cast<int>(samples[i]) : samples[i];
    ring->Add(static_cast<SHORT>(s > 32767 ? 32767 : s));
  }
  if (markers) {
    ring->Add(-32768);
    ring->Add(32767);
  }
}

// ---- the process-wide engine -----------------------------------------------------------------

CMeasureEngine& GetMeasureEngine() {
  static CMeasureEngine engine;
  return engine;
}

namespace {
// Built by static construction and registered as the start-up's device.
[[maybe_unused]] const bool g_registered = (SetDeviceStartup(&GetMeasureEngine()), true);
}  // namespace

void StartMeasurement(CMeasureEngine& engine) {
  GlobalProps& props = GetGlobalProps();
  props.RequestRun();
  engine.Run(1);
  props.m_bRunning = 1;
  NotifySystem(notify::kFromControlPanel, notify::kRunStarted);
}

void StopMeasurement(CMeasureEngine& engine) {
  engine.Stop();
  GetGlobalProps().m_bRunning = 0;
  NotifySystem(notify::kFromEngineStop, notify::kRunStopped);
}

void StartMeasurement() { StartMeasurement(GetMeasureEngine()); }

void StopMeasurement() { StopMeasurement(GetMeasureEngine()); }

void CoreShutdown() { GetMeasureEngine().CoreShutdown(); }

