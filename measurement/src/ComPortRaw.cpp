#include "ComPortRaw.h"

#include <platform/registry.h>
#include <platform/window.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

namespace kv310 {

namespace {

// Holds a critical section for one scope.
class Hold {
 public:
  explicit Hold(CRITICAL_SECTION& cs) : m_cs(cs) { EnterCriticalSection(&m_cs); }
  ~Hold() { LeaveCriticalSection(&m_cs); }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;

 private:
  CRITICAL_SECTION& m_cs;
};

constexpr uint8_t kBusyReply = 0xFD;
constexpr uint8_t kRefusalReply = 0xFF;
constexpr uint8_t kAbortFrame[6] = {0x01, 0x00, 0x00, 0x00, 0x05, 0x02};
constexpr DWORD kBusyPollDelayMs = 100;
constexpr int kTraceData = 1, kTraceError = 2, kTraceState = 3, kTraceInfo = 4;

const char* ErrorText(int code) {
  switch (code) {
    case kErrorTimeout: return "Rx error: timeout";
    case kErrorWrite: return "Tx error";
    case kErrorRefused: return "Comm error: NACK";
    case kErrorNoData: return "Rx error: no data";
    default: return nullptr;  // a format error is traced with its bytes
  }
}

}  // namespace

CComPortRaw::CComPortRaw(const char* registryKey, unsigned baseTimeoutMs) {
  std::snprintf(m_key, sizeof m_key, "%s", registryKey ? registryKey : "");
  m_baseTimeoutMs = baseTimeoutMs > kMinimumTimeoutMs ? baseTimeoutMs : kMinimumTimeoutMs;
  m_library.Bind(m_key);
  m_thread = CreateThread(nullptr, 0, LinkWorkerThread, this, CREATE_SUSPENDED, &m_threadId);
  m_rxBuffer = std::make_unique<uint8_t[]>(kFrameBufferSize);
  m_txBuffer = std::make_unique<uint8_t[]>(kFrameBufferSize);
  InitializeCriticalSection(&m_stateLock);
  InitializeCriticalSection(&m_notificationLock);
  InitializeCriticalSection(&m_traceLock);
  m_requestEvent = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  m_idleEvent = CreateEvent(nullptr, TRUE, TRUE, nullptr);
  m_startedEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  m_state = m_library.Bound() ? kStateReady : kStateNoLibrary;
  ResumeThread(m_thread);
  WaitForSingleObject(m_startedEvent, INFINITE);
}

CComPortRaw::~CComPortRaw() {
  // Set first: a request the board keeps answering busy then ends at the next poll, so the stop
  // below (which waits for the idle link) and the join complete.
  m_quit.store(true);
  Stop();
  SetEvent(m_requestEvent);
  WaitForSingleObject(m_thread, INFINITE);
  CloseHandle(m_thread);
  m_library.Free();
  CloseHandle(m_requestEvent);
  CloseHandle(m_idleEvent);
  CloseHandle(m_startedEvent);
  DeleteCriticalSection(&m_stateLock);
  DeleteCriticalSection(&m_notificationLock);
  DeleteCriticalSection(&m_traceLock);
}

bool CComPortRaw::TraceOpen() { return false; }
void CComPortRaw::TraceClose() {}
void CComPortRaw::TraceWrite(const char*, int) {}

void CComPortRaw::Trace(const char* text, int level) {
  Hold hold(m_traceLock);
  if (m_traceOpen) TraceWrite(text, level);
}

void CComPortRaw::TraceFormat(int level, const char* format, ...) {
  Hold hold(m_traceLock);
  if (!m_traceOpen) return;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  TraceWrite(text, level);
}

void CComPortRaw::TraceBytes(const char* prefix, const uint8_t* bytes, int count) {
  if (count < 1) return;
  Hold hold(m_traceLock);
  if (!m_traceOpen) return;  // no formatting cost while nobody listens
  std::string line(prefix);
  char item[24];
  for (int i = 0; i < count; ++i) {
    std::snprintf(item, sizeof item, "%02X ", bytes[i]);
    line += item;
  }
  std::snprintf(item, sizeof item, "(%i bytes)", count);
  line += item;
  TraceWrite(line.c_str(), kTraceData);
}

// ---- caller side ------------------------------------------------------------------------------

int CComPortRaw::Send(const void* payload, int size, int extraMs) {
  for (;;) {
    WaitForSingleObject(m_idleEvent, INFINITE);
    Hold hold(m_stateLock);
    // Several callers can wake on the one idle event; the first to get here claims the link and
    // the others go back to waiting for its reply to complete.
    if (m_state == kStateBusy) continue;
    if (m_state != kStateIdle) return 0;
    if (size < 1 || size > kMaxPayload || !payload) {
      Trace("Tx: bad length", kTraceError);
      return 0;
    }
    TraceBytes("Tx: ", static_cast<const uint8_t*>(payload), size);
    m_pendingLength = BuildBoardFrame(static_cast<const uint8_t*>(payload), size, m_txBuffer.get());
    m_extraTimeoutMs = extraMs;
    m_state = kStateBusy;
    ResetEvent(m_idleEvent);
    SetEvent(m_requestEvent);
    return size;
  }
}

void CComPortRaw::WaitIdle() { WaitForSingleObject(m_idleEvent, INFINITE); }

int CComPortRaw::Receive(void* destination, int count, int position) {
  Hold hold(m_stateLock);
  if (m_state != kStateIdle || !destination || count < 1 || position < 0 || position >= m_replyLength) return 0;
  const int n = std::min(count, m_replyLength - position);
  std::memcpy(destination, m_rxBuffer.get() + position, static_cast<size_t>(n));
  return n;
}

int CComPortRaw::GetState(int* replyLength) {
  Hold hold(m_stateLock);
  if (replyLength) *replyLength = m_replyLength;
  return m_state;
}

int CComPortRaw::GetLastError() {
  Hold hold(m_stateLock);
  return m_lastError;
}

bool CComPortRaw::AbortRead() {
  Hold hold(m_stateLock);
  if (m_state != kStateBusy || !m_abortable) return false;
  m_abortRequested = true;
  Trace("Abort reading", kTraceState);
  return true;
}

void CComPortRaw::SetNotification(HWND window, UINT replyMessage, UINT errorMessage) {
  Hold hold(m_notificationLock);
  m_window = window;
  m_replyMessage = replyMessage;
  m_errorMessage = errorMessage;
}

void CComPortRaw::GetBoardName(char* text, int maxLength) {
  if (!text || maxLength < 0) return;
  text[0] = '\0';
  if (!m_library.GetHwSwInfo) return;
  HwSwInfo info;
  std::memset(&info, 0, sizeof info);
  m_library.GetHwSwInfo(&info);
  if (info.boardId == 0) return;
  // The texts are read within their fields whether or not the board terminated them.
  char name[512];
  std::snprintf(name, sizeof name, "%.*s (%.*s)", static_cast<int>(strnlen(info.firmwareText, sizeof info.firmwareText)),
                info.firmwareText, static_cast<int>(strnlen(info.boardName, sizeof info.boardName)), info.boardName);
  std::snprintf(text, static_cast<size_t>(maxLength) + 1, "%s", name);
}

// ---- start, stop, recovery ----------------------------------------------------------------------

void CComPortRaw::TraceLibraryVersion() {
  Hold hold(m_traceLock);
  if (!m_traceOpen) return;
  char text[400];
  std::snprintf(text, sizeof text, "Communication DLL: %s", m_library.Path());
  TraceWrite(text, kTraceInfo);
  std::snprintf(text, sizeof text, "Version: ---");
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSize(m_library.Path(), &handle);
  if (size > 0) {
    std::unique_ptr<uint8_t[]> block = std::make_unique<uint8_t[]>(size);
    void* fixed = nullptr;
    UINT length = 0;
    if (GetFileVersionInfo(m_library.Path(), handle, size, block.get()) &&
        VerQueryValue(block.get(), "\\", &fixed, &length) && fixed && length >= sizeof(VS_FIXEDFILEINFO)) {
      VS_FIXEDFILEINFO info;
      std::memcpy(&info, fixed, sizeof info);
      std::snprintf(text, sizeof text, "Version: %u.%u.%u.%u", HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS),
                    HIWORD(info.dwFileVersionLS), LOWORD(info.dwFileVersionLS));
    }
  }
  TraceWrite(text, kTraceInfo);
}

int CComPortRaw::Start() {
  const int stopped = Stop();
  if (stopped != kStateReady) return stopped;
  {
    Hold hold(m_traceLock);
    try {
      m_traceOpen = TraceOpen();
    } catch (...) {
      m_traceOpen = false;
    }
  }
  TraceLibraryVersion();
  Trace("Start", kTraceState);
  const int result = m_library.Init(m_key, nullptr);
  if (result != 0) {
    TraceFormat(kTraceError, "Start error: %i", result);
    return kStateReady;
  }
  {
    Hold hold(m_stateLock);
    m_dataEvent = m_library.GetEvent();
    m_state = kStateIdle;
  }
  Trace("Started OK", kTraceState);
  HwSwInfo info;
  std::memset(&info, 0, sizeof info);
  m_library.GetHwSwInfo(&info);
  if (info.boardId != 0) {
    TraceFormat(kTraceInfo, "Board: %.*s (%i)", static_cast<int>(strnlen(info.boardName, sizeof info.boardName)),
                info.boardName, info.boardId);
    TraceFormat(kTraceInfo, "Firmware: %04X - %i.%i/%.*s", info.boardStatus, info.firmwareVersion >> 8,
                info.firmwareVersion & 0xFF, static_cast<int>(strnlen(info.firmwareText, sizeof info.firmwareText)),
                info.firmwareText);
  }
  return SetBlockSize();
}

int CComPortRaw::SetBlockSize() {
  DWORD value = 0;
  char parameterKey[300];
  std::snprintf(parameterKey, sizeof parameterKey, "%s\\Parameter", m_key);
  HKEY key = 0;
  if (RegOpenKeyEx(HKEY_LOCAL_MACHINE, parameterKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegQueryValueEx(key, "SerialBlockSize", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value) {
      value = 0;
    }
    RegCloseKey(key);
  }
  int blockSize = static_cast<int>(value % 241);
  if (blockSize == 0) {
    blockSize = 64;
    TraceFormat(kTraceInfo, "Block size: %i (default)", blockSize);
  } else {
    TraceFormat(kTraceInfo, "Block size: %i", blockSize);
  }
  const uint8_t payload[2] = {0x01, static_cast<uint8_t>(blockSize)};
  Send(payload, sizeof payload, 1500);
  WaitIdle();
  if (m_library.SetSerialBlocksize) m_library.SetSerialBlocksize(blockSize);
  return GetState();
}

int CComPortRaw::Stop() {
  WaitIdle();
  bool stopped = false;
  int result;
  {
    // Claimed under the lock, so that no request can start while the link library shuts down.
    Hold hold(m_stateLock);
    result = m_state;
    if (m_state == kStateIdle || m_state == kStateError) {
      m_state = kStateReady;
      m_dataEvent = 0;
      stopped = true;
    }
  }
  if (stopped) {
    m_library.Deinit();
    Trace("Stop", kTraceState);
    result = kStateReady;
  }
  Hold hold(m_traceLock);
  if (m_traceOpen) {
    TraceClose();
    m_traceOpen = false;
  }
  return result;
}

int CComPortRaw::Recover() {
  {
    Hold hold(m_stateLock);
    if (m_state != kStateError) return m_state;
  }
  Trace("Clear", kTraceState);
  m_library.Deinit();
  const int result = m_library.Init(m_key, nullptr);
  if (result != 0) {
    TraceFormat(kTraceError, "Restart error: %i", result);
    return kStateReady;
  }
  {
    Hold hold(m_stateLock);
    m_state = kStateIdle;
    m_lastError = 0;
    m_replyLength = 0;
    m_pendingLength = 0;
    m_dataEvent = m_library.GetEvent();
  }
  Trace("Restarted OK", kTraceState);
  return SetBlockSize();
}

// ---- worker ---------------------------------------------------------------------------------------

DWORD CComPortRaw::LinkWorkerThread(LPVOID self) {
  static_cast<CComPortRaw*>(self)->RunWorker();
  return 1;
}

void CComPortRaw::RunWorker() {
  SetEvent(m_startedEvent);
  for (;;) {
    WaitForSingleObject(m_requestEvent, INFINITE);
    int pending;
    {
      Hold hold(m_stateLock);
      pending = m_pendingLength;
    }
    if (m_quit.load()) {
      // A request that slipped in while the link was being destroyed still ends, so that nobody
      // waits for its reply for ever.
      if (pending > 0) FinishWithError(kErrorTimeout);
      return;
    }
    if (pending < 1) continue;
    ServeRequest();
  }
}

void CComPortRaw::ServeRequest() {
  uint8_t pollFrame[7] = {0x01, 0x00, 0x01, 0x00, 0xFD, 0x00, 0x02};
  const uint8_t* frame = m_txBuffer.get();
  int length;
  {
    Hold hold(m_stateLock);
    length = m_pendingLength;
  }
  int polls = 0;
  try {
    for (;;) {
      if (m_library.Write(frame, length) != length) throw CCommException(kErrorWrite);

      DWORD timeoutMs;
      HANDLE dataEvent;
      {
        Hold hold(m_stateLock);
        timeoutMs = m_baseTimeoutMs + static_cast<DWORD>(std::max(m_extraTimeoutMs, 0));
        dataEvent = m_dataEvent;
      }
      if (WaitForSingleObject(dataEvent, timeoutMs) != WAIT_OBJECT_0) throw CCommException(kErrorTimeout);

      bool busy = false;
      bool abort = false;
      int payloadLength = 0;
      {
        Hold hold(m_stateLock);
        uint8_t* rx = m_rxBuffer.get();
        const int count = m_library.Read(rx, kFrameBufferSize);
        if (count < 1) throw CCommException(kErrorNoData);
        payloadLength = CheckReplyFrame(rx, std::min(count, kFrameBufferSize));
        if (payloadLength == 0) {
          TraceBytes("Rx error - format: ", rx, std::min(count, kFrameBufferSize));
          throw CCommException(kErrorFormat);
        }
        if (rx[0] == kBusyReply) {
          busy = true;
          // A busy reply too short to carry its abort byte does not allow an abort.
          m_abortable = payloadLength >= 3 && rx[2] == 0;
          if (m_abortRequested) {
            m_abortRequested = false;
            abort = true;
          } else {
            pollFrame[5] = payloadLength >= 2 ? rx[1] : 0;
          }
        } else if (rx[0] == kRefusalReply) {
          throw CCommException(kErrorRefused);
        } else {
          m_state = kStateIdle;
          m_lastError = 0;
          m_replyLength = payloadLength;
          m_pendingLength = 0;
          m_abortable = false;
          m_abortRequested = false;
          SetEvent(m_idleEvent);
          TraceBytes("Rx: ", rx, payloadLength);
        }
      }
      if (!busy) {
        Notify(true, payloadLength);
        return;
      }
      if (abort) {
        frame = kAbortFrame;
        length = sizeof kAbortFrame;
        Sleep(0);
      } else {
        frame = pollFrame;
        length = sizeof pollFrame;
        Sleep(kBusyPollDelayMs);
      }
      // A board that answers busy for ever, or a link being destroyed, ends the request here.
      if (m_quit.load() || ++polls > kMaxBusyPolls) throw CCommException(kErrorTimeout);
    }
  } catch (const CCommException& e) {
    FinishWithError(e.Code());
  }
}

void CComPortRaw::FinishWithError(int code) {
  {
    Hold hold(m_stateLock);
    m_state = kStateError;
    m_lastError = code;
    m_pendingLength = 0;
    m_abortable = false;
    m_abortRequested = false;
    SetEvent(m_idleEvent);
    if (const char* text = ErrorText(code)) Trace(text, kTraceError);
  }
  Notify(false, code);
}

void CComPortRaw::Notify(bool success, int value) {
  HWND window;
  UINT message;
  {
    Hold hold(m_notificationLock);
    window = m_window;
    message = success ? m_replyMessage : m_errorMessage;
  }
  if (window && message && IsWindow(window)) PostMessage(window, message, static_cast<WPARAM>(value), 0);
}

}  // namespace kv310
