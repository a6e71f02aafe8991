#include "Comm.h"

#include <link/ErrorException.h>
#include <link/LinkTrace.h>

#include <platform/debug.h>
#include <platform/fileio.h>
#include <platform/serial.h>
#include <platform/sync.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <vector>

using kvlink::Trace;

namespace {

constexpr int BUFFER_SIZE_TX = 0x10000;
constexpr int BUFFER_SIZE_PROT_TX = 0x8000;
constexpr int BUFFER_SIZE_RX = 0x100000;
constexpr int kMaxPortWrite = 512;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x07;
constexpr uint8_t kBusy = 0x08;

[[noreturn]] void Raise(int code, const char* text, const char* expression, int line) {
  throw CErrorException(code, text, expression, kCommSource, line);
}

// The steps of StartCommunication that can fail, and what each reports: the link's result code,
// the trace text, and the expression and source line the trace names (traces of the board link
// are compared by these, so they stay as they are).
struct StartFailure {
  CComm::StartStep step;
  int code;
  const char* text;
  const char* expression;
  int line;
};
using Step = CComm::StartStep;
constexpr StartFailure kStartFailures[] = {
    {Step::OpenPort, -4, "StartCommunication() --> CreateFile() failed", "m_hPort", 1188},
    {Step::CommMask, -5, "StartCommunication() --> SetCommMask() failed",
     "SetCommMask(g_oComm.m_hPort, EV_RXCHAR | EV_TXEMPTY)", 1193},
    {Step::CommTimeouts, -6, "StartCommunication() --> SetCommTimeouts() failed",
     "SetCommTimeouts( g_oComm.m_hPort, &CommTimeOuts )", 1204},
    {Step::GetState, -7, "StartCommunication() --> GetCommState() failed", "GetCommState( g_oComm.m_hPort, &dcb )",
     1211},
    {Step::SetState, -8, "StartCommunication() --> SetCommState() failed", "SetCommState( g_oComm.m_hPort, &dcb )",
     1235},
    {Step::Download, -8, "StartCommunication() --> Download failed", "Download( g_oComm.m_hPort )", 1264},
    {Step::ExitEvent, -3, "StartCommunication() --> CreateEvent() failed", "m_hEventThreadExit", 1285},
    {Step::TxBuffer, -10, "StartCommunication() --> SetBufferSize() failed",
     "g_oComm.m_oTxBuf.SetBufferSize( BUFFER_SIZE_TX )", 1290},
    {Step::ProtTxBuffer, -10, "StartCommunication() --> SetBufferSize() failed",
     "g_oComm.m_oProtTxBuf.SetBufferSize( BUFFER_SIZE_TX )", 1295},
    {Step::RxBuffer, -10, "StartCommunication() --> SetBufferSize() failed",
     "g_oComm.m_oRxBuf.SetBufferSize( BUFFER_SIZE_RX )", 1300},
    {Step::AnswerEvents, -11, "StartCommunication() --> CreateEvent() failed", "Ack/NAK", 1350},
    {Step::EndedEvent, -11, "StartCommunication() --> CreateEvent() failed", "Ack/NAK", 1359},
    {Step::WriteThread, -11, "StartCommunication() --> CreateThread() failed",
     "CreateThread(NULL, 1024, g_oComm.ThreadWrite, &g_oComm, NULL, NULL)", 1308},
    {Step::ReadThread, -11, "StartCommunication() --> CreateThread() failed",
     "CreateThread(NULL, 1024, g_oComm.ThreadRead, &g_oComm, NULL, NULL)", 1322},
    {Step::ProtocolThread, -11, "StartCommunication() --> CreateThread() failed",
     "CreateThread(NULL, 1024, g_oComm.ThreadProtocolWrite, &g_oComm, NULL, NULL)", 1341},
    {Step::ProtocolStart, -11, "StartCommunication() --> StartThread() failed", "StartThread() failed", 1367},
};
static_assert(std::size(kStartFailures) == static_cast<size_t>(Step::Count));

[[noreturn]] void Fail(Step step) {
  const StartFailure& f = kStartFailures[static_cast<size_t>(step)];
  Raise(f.code, f.text, f.expression, f.line);
}

constexpr bool TableInStepOrder() {
  for (size_t i = 0; i < std::size(kStartFailures); ++i)
    if (kStartFailures[i].step != static_cast<Step>(i)) return false;
  return true;
}
static_assert(TableInStepOrder());

}  // namespace

CComm::CComm() = default;

CComm::~CComm() { CloseLink(); }

int CComm::Init(const char* key, const char* port) {
  // A running link holds the port, its threads and their outstanding I/O: end them before the
  // handles are replaced.
  CloseLink();
  try {
    kvlink::LinkSettings settings;
    kvlink::RetrieveRegistryInfo(key, kvlink::LinkKind::Serial, settings);
    kvlink::RetrieveThreadPriorities(key, settings);
    if (port) settings.comPort = static_cast<DWORD>(strtoul(port, nullptr, 10));
    m_settings = settings;
    StartCommunication();
    kvlink::WriteUseFlashKey(key, m_settings);
    return 0;
  } catch (const CErrorException& e) {
    kvlink::TraceError(e);
    CloseLink();
    return e.Code();
  }
}

void CComm::StartThread(LinkThread& t, LPTHREAD_START_ROUTINE routine, int priority, StartStep step,
                        const char* priorityTrace) {
  t.stop = 0;
  t.thread.reset(CreateThread(nullptr, 1024, routine, this, 0, nullptr));
  if (!t.thread) Fail(step);
  if (priorityTrace && !SetThreadPriority(t.thread.get(), priority)) Trace(priorityTrace, GetLastError());
}

void CComm::StartCommunication() {
  char name[32];
  snprintf(name, sizeof name, "\\\\.\\COM%u", m_settings.comPort);
  m_hPort.reset(CreateFile(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED | FILE_FLAG_NO_BUFFERING, 0));
  if (!m_hPort) Fail(Step::OpenPort);
  if (!SetCommMask(m_hPort.get(), EV_RXCHAR | EV_TXEMPTY)) Fail(Step::CommMask);
  COMMTIMEOUTS CommTimeOuts{20, 1, 1000, 0, 0};
  if (!SetCommTimeouts(m_hPort.get(), &CommTimeOuts)) Fail(Step::CommTimeouts);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(m_hPort.get(), &dcb)) Fail(Step::GetState);
  dcb.BaudRate = m_settings.baudrate & 0x7FFFFFFFu;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = 1;
  dcb.fParity = 0;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDsrSensitivity = 0;
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.fErrorChar = 0;
  dcb.fNull = 0;
  dcb.fAbortOnError = 0;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fTXContinueOnXoff = 1;
  if (!SetCommState(m_hPort.get(), &dcb)) Fail(Step::SetState);

  m_oFirmware.Configure(m_hPort.get(), m_settings);
  if (m_settings.baudrate & 0x80000000u) {
    m_oFirmware.ResetToBootstrap();
  } else if (m_settings.useFlash == 1 && !m_settings.reloadFirmware) {
    EscapeCommFunction(m_hPort.get(), SETDTR);
    EscapeCommFunction(m_hPort.get(), SETRTS);
    Sleep(10);
    EscapeCommFunction(m_hPort.get(), CLRDTR);
    EscapeCommFunction(m_hPort.get(), CLRRTS);
    Sleep(1500);
  }
  if (!m_oFirmware.Download(m_settings.reloadFirmware, m_settings.useFlash, m_wManualFlashMode))
    Fail(Step::Download);
  Trace("CComm::StartCommunication() : Firmware Download OK\n");

  for (LinkThread* t : {&m_oProtocol, &m_oRead, &m_oWrite}) {
    t->exit.reset(CreateEvent(nullptr, TRUE, FALSE, nullptr));
    if (!t->exit) Fail(Step::ExitEvent);
  }
  if (!m_oTxBuf.SetBufferSize(BUFFER_SIZE_TX)) Fail(Step::TxBuffer);
  if (!m_oProtTxBuf.SetBufferSize(BUFFER_SIZE_PROT_TX)) Fail(Step::ProtTxBuffer);
  if (!m_oRxBuf.SetBufferSize(BUFFER_SIZE_RX)) Fail(Step::RxBuffer);

  // The answer and ended events exist before any thread that sets them runs.
  m_hEventAck.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  m_hEventNak.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  m_hEventBusy.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
  if (!m_hEventAck || !m_hEventNak || !m_hEventBusy) Fail(Step::AnswerEvents);
  for (LinkThread* t : {&m_oProtocol, &m_oRead, &m_oWrite}) {
    t->ended.reset(CreateEvent(nullptr, FALSE, FALSE, nullptr));
    if (!t->ended) Fail(Step::EndedEvent);
  }

  // ThreadRead watches the protocol start from its own start on.
  m_hEventThreadProtocolWriteInitiated.reset(CreateEvent(nullptr, TRUE, FALSE, nullptr));
  m_hEventProtocolStarting.reset(CreateEvent(nullptr, TRUE, FALSE, nullptr));
  m_hEventRawReadEnded.reset(CreateEvent(nullptr, TRUE, FALSE, nullptr));
  if (!m_hEventThreadProtocolWriteInitiated || !m_hEventProtocolStarting || !m_hEventRawReadEnded)
    Fail(Step::ProtocolThread);

  m_oWrite.started.reset(CreateEvent(nullptr, TRUE, FALSE, nullptr));
  if (!m_oWrite.started) Fail(Step::WriteThread);
  StartThread(m_oWrite, ThreadWrite, m_settings.threadWrite, Step::WriteThread,
              "\n***** ThreadWrite: SetThreadPriority() - GetLastError() --> 0x%08X\n");
  m_oRead.started.reset(CreateEvent(nullptr, TRUE, FALSE, nullptr));
  if (!m_oRead.started) Fail(Step::ReadThread);
  StartThread(m_oRead, ThreadRead, m_settings.threadRead, Step::ReadThread,
              "\n***** ThreadRead: SetThreadPriority() - GetLastError() --> 0x%08X\n");

  Trace(">>>>> m_hEventThreadProtocolWriteInitiated %08X\n", m_hEventThreadProtocolWriteInitiated.get());
  StartThread(m_oProtocol, ThreadProtocolWrite, THREAD_PRIORITY_TIME_CRITICAL, Step::ProtocolThread, nullptr);
  Trace(">>>>> m_hThreadProtocolWrite %08X\n", m_oProtocol.thread.get());

  SetThreadPriority(m_oProtocol.thread.get(), THREAD_PRIORITY_TIME_CRITICAL);
  if (WaitForSingleObject(m_hEventThreadProtocolWriteInitiated.get(), 2000) != WAIT_OBJECT_0)
    Fail(Step::ProtocolStart);
  if (!SetThreadPriority(m_oProtocol.thread.get(), m_settings.threadProtocolWrite))
    Trace("\n***** ThreadProtocolWrite: SetThreadPriority() - GetLastError() --> 0x%08X\n", GetLastError());
  m_oProtocol.stop = 0;
  m_oRead.stop = 0;
  m_oWrite.stop = 0;
}

void CComm::StopThread(LinkThread& t, DWORD waitMs) {
  if (!t.thread) return;
  if (t.ended) ResetEvent(t.ended.get());
  SetThreadPriority(t.thread.get(), THREAD_PRIORITY_TIME_CRITICAL);
  t.stop = 1;
  if (t.exit) SetEvent(t.exit.get());
  if (t.ended && WaitForSingleObject(t.ended.get(), waitMs) == WAIT_OBJECT_0) {
    WaitForSingleObject(t.thread.get(), INFINITE);  // its last statements
    return;
  }
  // It did not end in time: no thread is ever killed. Cancel the port I/O it may wait for and
  // wait until it has seen its stop flag.
  OutputDebugString("######################### Stop Thread\n");
  if (m_hPort) CancelIo(m_hPort.get());
  WaitForSingleObject(t.thread.get(), INFINITE);
}

void CComm::CloseLink() {
  StopThread(m_oProtocol, 1000);
  StopThread(m_oRead, 1500);
  StopThread(m_oWrite, 1000);
  for (LinkThread* t : {&m_oProtocol, &m_oRead, &m_oWrite}) {
    for (kvp::UniqueHandle* h : {&t->thread, &t->exit, &t->ended, &t->started}) h->reset();
  }
  for (kvp::UniqueHandle* h : {&m_hEventThreadProtocolWriteInitiated, &m_hEventProtocolStarting, &m_hEventRawReadEnded,
                               &m_hEventAck, &m_hEventNak, &m_hEventBusy})
    h->reset();
  m_hPort.reset();
  m_oFirmware.Configure(INVALID_HANDLE_VALUE, m_settings);
}

int CComm::WriteFrame(const void* frame, int length) {
  // A whole frame or nothing; a frame whose length field does not match its length is refused,
  // and so is a frame longer than the frame reader takes, which would cost the frames behind it.
  if (!frame || length < 6 || length > kMaxFrame) return 0;
  const auto* bytes = static_cast<const uint8_t*>(frame);
  if ((bytes[2] | bytes[3] << 8) + 6 != length) return 0;
  const int free = m_oProtTxBuf.LockAndGetFree();
  const int taken = free >= length ? m_oProtTxBuf.WriteAll(bytes, length, true) : 0;
  m_oProtTxBuf.Unlock();
  return taken;
}

// ---------------------------------------------------------------------------------------------
// ThreadProtocolWrite and the block sender.

DWORD CComm::ThreadProtocolWrite(LPVOID self) { return static_cast<CComm*>(self)->RunProtocolWrite(); }

DWORD CComm::RunProtocolWrite() {
  Trace("ThreadProtocolWrite 0x%08X  %d\n", GetCurrentThreadId(), GetCurrentThreadId());
  Trace("Thread Protocol Send start\n");
  {
    std::lock_guard lock(m_oLinkLock);
    m_nRxState = kRxIdle;
    m_bRawMode = 0;
    m_nReadSize = 1;
  }
  // A raw-mode read still outstanding would take the board's first answers as one lump and keep
  // only its first byte: ThreadRead ends it before the protocol counts as started.
  SetEvent(m_hEventProtocolStarting.get());
  const HANDLE rawEnd[2] = {m_hEventRawReadEnded.get(), m_oProtocol.exit.get()};
  WaitForMultipleObjects(2, rawEnd, FALSE, 1000);
  m_oTxBuf.Clear();
  m_oProtTxBuf.Clear();
  m_oRxBuf.Clear();
  SetEvent(m_hEventThreadProtocolWriteInitiated.get());

  std::vector<uint8_t> frame(kMaxFrame);
  const HANDLE waits[2] = {m_oProtocol.exit.get(), m_oProtTxBuf.GetEventHandle()};
  for (;;) {
    const DWORD w = WaitForMultipleObjects(2, waits, FALSE, 500);
    if (w == WAIT_OBJECT_0 || m_oProtocol.stop) break;
    if (w != WAIT_OBJECT_0 + 1) continue;
    while (WaitForSingleObject(m_oProtocol.exit.get(), 0) != WAIT_OBJECT_0) {
      const int length = m_oProtTxBuf.ReadFrame(frame.data(), kMaxFrame);
      if (length <= 0) break;
      SendFrame(frame.data(), length);
    }
  }
  OutputDebugString("Thread Protocol Send end\n");
  SetEvent(m_oProtocol.ended.get());
  return 0;
}

void CComm::SendFrame(const uint8_t* frame, int length) {
  // The block size is 1..255: the block's count is one byte.
  const int size = static_cast<int>(std::min<uint32_t>(std::max<uint32_t>(m_nSerialBlockSize, 1), 255));
  if (length <= size) {
    SendBlock(5, frame, length);
    return;
  }
  if (!SendBlock(2, frame, size)) return;
  int at = size;
  while (length - at > size) {
    if (!SendBlock(3, frame + at, size)) return;
    at += size;
  }
  SendBlock(4, frame + at, length - at);
}

bool CComm::WaitWhileLongFrame(int steps) {
  for (int i = 0; i < steps && m_bLongFrame; ++i) {
    if (m_oProtocol.stop) return false;
    Sleep(10);
  }
  return !m_oProtocol.stop;
}

int CComm::SendBlock(uint8_t type, const uint8_t* payload, int n) {
  enum Failure { kNone, kNak, kTimeout, kDefault } last = kNone;
  int failures = 0;
  for (;;) {
    if (!WaitWhileLongFrame(1000)) return 0;
    for (int i = 0; i < 1500 && m_oTxBuf.GetDataSize() > 0; ++i) {
      if (m_oProtocol.stop) return 0;
      Sleep(10);
    }
    if (m_oProtocol.stop) return 0;
    const uint8_t header[2] = {type, static_cast<uint8_t>(n)};
    uint8_t sum = 0;
    for (int i = 0; i < n; ++i) sum = static_cast<uint8_t>(sum + payload[i]);
    const uint8_t checksum = static_cast<uint8_t>(0x100 - sum);
    {
      std::lock_guard lock(m_oLinkLock);
      if (m_oTxBuf.LockAndGetFree() >= n + 3) {
        m_oTxBuf.WriteAll(header, 2, true);
        m_oTxBuf.WriteAll(payload, n, true);
        m_oTxBuf.WriteAll(&checksum, 1, true);
      }
      m_oTxBuf.Unlock();
      if (m_oProtocol.stop) return 0;
    }
    if (!WaitWhileLongFrame(1000)) return 0;

    const HANDLE waits[4] = {m_hEventAck.get(), m_hEventNak.get(), m_hEventBusy.get(), m_oProtocol.exit.get()};
    const DWORD w = WaitForMultipleObjects(4, waits, FALSE, 1500);
    switch (w) {
      case WAIT_OBJECT_0:
        if (m_oTxBuf.LockAndGetFree() == 0) {
          m_oTxBuf.Unlock();
          Sleep(5);
        } else {
          m_oTxBuf.Unlock();
        }
        return 1;
      case WAIT_OBJECT_0 + 1:
        Trace("Tx Block NAK --> retry!\n");
        Sleep(50);
        last = kNak;
        break;
      case WAIT_OBJECT_0 + 2:
        Trace("Tx Block BUSY\n");
        Sleep(50);
        continue;
      case WAIT_OBJECT_0 + 3:
        return 0;
      case WAIT_TIMEOUT:
        Trace("Tx Block Timeout --> retry!\n");
        last = kTimeout;
        break;
      case WAIT_FAILED:
        Trace("WaitForMultipleObject returned with WAIT_FAILED! GetLastError() --> 0x%08X\n", GetLastError());
        continue;
      default:
        Trace("Tx Block default error --> retry!\n");
        last = kDefault;
        break;
    }
    if (++failures >= 4) {
      Trace(last == kNak ? "Tx Block NAK --> abort!\n"
            : last == kTimeout ? "Tx Block Timeout --> abort!\n"
                               : "Tx Block default error --> abort!\n");
      return 0;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// ThreadWrite.

DWORD CComm::ThreadWrite(LPVOID self) { return static_cast<CComm*>(self)->RunWrite(); }

DWORD CComm::RunWrite() {
  Trace("ThreadWrite 0x%08X  %d\n", GetCurrentThreadId(), GetCurrentThreadId());
  const HANDLE port = m_hPort.get();  // the port this thread writes, as ThreadRead keeps the one it reads
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  if (!ov.hEvent) {
    Trace("ThreadWrite CreateEvent failed\n");
    SetEvent(m_oWrite.ended.get());
    return 1;
  }
  uint8_t buffer[kMaxPortWrite];
  bool first = true;
  bool lastPass = false;
  const HANDLE waits[2] = {m_oWrite.exit.get(), m_oTxBuf.GetEventHandle()};
  while (!lastPass) {
    const DWORD w = WaitForMultipleObjects(2, waits, FALSE, 500);
    if (first) {
      SetEvent(m_oWrite.started.get());
      first = false;
    }
    if (w == WAIT_OBJECT_0) break;
    if (w == WAIT_TIMEOUT) continue;
    if (w != WAIT_OBJECT_0 + 1) {
      Trace("ThreadWrite WaitForMultipleObjects failed\n");
      break;
    }
    while (!m_oWrite.stop) {
      const int n = m_oTxBuf.ReadBytes(buffer, kMaxPortWrite);
      if (n <= 0) break;
      DWORD written = 0;
      if (WriteFile(port, buffer, static_cast<DWORD>(n), &written, &ov)) {
        if (written < static_cast<DWORD>(n)) Trace("ThreadWrite WriteFile timed out\n");
        continue;
      }
      if (GetLastError() != ERROR_IO_PENDING) {
        Trace("ThreadWrite WriteFile failed\n");
        continue;
      }
      const HANDLE pending[2] = {m_oWrite.exit.get(), ov.hEvent};
      const DWORD pw = WaitForMultipleObjects(2, pending, FALSE, 500);
      if (pw == WAIT_OBJECT_0) lastPass = true;
      if (pw == WAIT_FAILED) Trace("ThreadWrite WaitForMultipleObjects failed (wait io pending)\n");
      if (pw != WAIT_OBJECT_0 + 1 && !HasOverlappedIoCompleted(&ov)) {
        // The buffer and the OVERLAPPED stay in use while the write is in flight: end it first.
        CancelIoEx(port, &ov);
      }
      if (GetOverlappedResult(port, &ov, &written, TRUE)) {
        if (written < static_cast<DWORD>(n)) Trace("ThreadWrite WriteFile timed out\n");
      } else if (GetLastError() == ERROR_OPERATION_ABORTED) {
        Trace("ThreadWrite Write Aborted\n");
      } else if (written < static_cast<DWORD>(n)) {
        Trace("ThreadWrite WriteFile overlapped failed\n");
      } else {
        Trace("ThreadWrite Write failed\n");
      }
    }
  }
  CloseHandle(ov.hEvent);
  OutputDebugString("Thread tx end\n");
  SetEvent(m_oWrite.ended.get());
  return 0;
}

// ---------------------------------------------------------------------------------------------
// ThreadRead and the receiver.

DWORD CComm::ThreadRead(LPVOID self) { return static_cast<CComm*>(self)->RunRead(); }

void CComm::HandleRead(const uint8_t* bytes, DWORD count) {
  if (m_bRawMode) {
    PutRawRx(bytes, static_cast<int>(count), true);
  } else {
    OnRxBytes(bytes, count);
  }
}

DWORD CComm::RunRead() {
  Trace("ThreadRead 0x%08X  %d\n", GetCurrentThreadId(), GetCurrentThreadId());
  // The port this thread reads, whatever later happens to the link's member: its outstanding read
  // is cancelled on this handle before the thread, whose stack holds the buffer, ends.
  const HANDLE port = m_hPort.get();
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  if (!ov.hEvent) {
    Trace("ThreadRead CreateEvent failed\n");
    SetEvent(m_oRead.ended.get());
    return 1;
  }
  uint8_t buffer[512];
  bool outstanding = false;
  bool rawRead = false;  // the outstanding read was asked for in raw mode
  bool first = true;
  for (;;) {
    if (!outstanding) {
      DWORD asked = 1;
      {
        // Mode and size together: the protocol start changes both under the link lock.
        std::lock_guard lock(m_oLinkLock);
        asked = static_cast<DWORD>(std::min(std::max(m_nReadSize.load(), 1), 512));
        rawRead = m_bRawMode != 0;
      }
      if (!rawRead) SetEvent(m_hEventRawReadEnded.get());
      DWORD got = 0;
      if (ReadFile(port, buffer, asked, &got, &ov)) {
        HandleRead(buffer, got);
        if (WaitForSingleObject(m_oRead.exit.get(), 0) == WAIT_OBJECT_0 || m_oRead.stop) break;
        continue;
      }
      if (GetLastError() != ERROR_IO_PENDING) {
        Trace("ReadFile failed\n");
        break;
      }
      outstanding = true;
    }
    // A raw-mode read still outstanding when the block protocol starts ends then.
    const HANDLE waits[3] = {m_oRead.exit.get(), ov.hEvent, m_hEventProtocolStarting.get()};
    const DWORD count = rawRead ? 3 : 2;
    const DWORD w = WaitForMultipleObjects(count, waits, FALSE, 500);
    if (first) {
      SetEvent(m_oRead.started.get());
      first = false;
    }
    if (w == WAIT_OBJECT_0) break;
    if (w == WAIT_OBJECT_0 + 2) {
      CancelIoEx(port, &ov);
      DWORD got = 0;
      GetOverlappedResult(port, &ov, &got, TRUE);  // bytes from before the start go with the rings' clearing
      outstanding = false;
      rawRead = false;
      continue;  // the next read is a protocol read and reports the raw read ended
    }
    if (w == WAIT_OBJECT_0 + 1) {
      outstanding = false;
      DWORD got = 0;
      if (GetOverlappedResult(port, &ov, &got, FALSE)) {
        HandleRead(buffer, got);
      } else {
        const DWORD error = GetLastError();
        {
          std::lock_guard lock(m_oLinkLock);
          m_bLongFrame = 0;
          m_nRxState = kRxIdle;
        }
        Trace(error == ERROR_OPERATION_ABORTED ? "ThreadRead Read Aborted\n"
              : error == ERROR_IO_INCOMPLETE   ? "IO Pending\n"
                                               : "ThreadRead GetOvelappedResult failed\n");
        // No new read on the heels of a failed one: the port gets time to recover.
        if (WaitForSingleObject(m_oRead.exit.get(), 100) == WAIT_OBJECT_0) break;
      }
    } else if (w == WAIT_TIMEOUT) {
      // 500 ms without data: the receiver starts over; the read stays outstanding.
      std::lock_guard lock(m_oLinkLock);
      m_nRxState = kRxIdle;
      m_bLongFrame = 0;
    } else {
      Trace("ThreadRead WaitForMultipleObjects failed\n");
    }
  }
  if (outstanding) {
    // The read buffer lives on this thread: end the read before the thread does.
    CancelIoEx(port, &ov);
    DWORD got = 0;
    GetOverlappedResult(port, &ov, &got, TRUE);
  }
  CloseHandle(ov.hEvent);
  OutputDebugString("Thread rx end\n");
  SetEvent(m_oRead.ended.get());
  return 0;
}

bool CComm::StoreRx(const uint8_t* bytes, int count, bool notify) {
  int taken = 0;
  for (int i = 0; i < 5 && taken < count; ++i) {
    if (i > 0) Sleep(10);
    taken += m_oRxBuf.WriteBytes(bytes + taken, count - taken, notify);
  }
  return taken == count;
}

int CComm::PutRawRx(const uint8_t* bytes, int count, bool notify) {
  if (StoreRx(bytes, count, notify)) return 1;
  Trace("ThreadRead bufferoverflow\n");
  return 0;
}

void CComm::OnRxBytes(const uint8_t* bytes, DWORD count) {
  if (count == 0) return;
  // Trace lines are sent after the link lock is left: a slow trace viewer must not hold up the
  // sender, which needs the lock for every block.
  RxTraces traces;
  {
    std::lock_guard lock(m_oLinkLock);
    StepReceiver(bytes, count, traces);
  }
  if (traces.start) Trace("Rx long Block start\n");
  if (traces.end[0]) Trace("%s", traces.end);
  if (traces.overflow) Trace("ThreadRead bufferoverflow\n");
  if (traces.nak) Trace("NAK\n");
}

void CComm::StepReceiver(const uint8_t* bytes, DWORD count, RxTraces& traces) {
  switch (m_nRxState) {
    case kRxIdle:
      switch (bytes[0]) {
        case kRxFirstBlock:
          m_bLongFrame = 1;
          m_oTxBuf.Clear();
          m_nReadSize = 1;
          m_nRxNextState = kRxFirstBlock;
          m_nRxState = kRxLength;
          m_dwLongStartMs = GetTickCount();
          m_nLongBytes = 0;
          break;
        case kRxMiddleBlock:
        case kRxLastBlock:
          m_nReadSize = 1;
          m_nRxNextState = bytes[0];
          m_nRxState = kRxLength;
          break;
        case kRxSingleBlock:
          m_bLongFrame = 1;
          m_oTxBuf.Clear();
          m_nReadSize = 1;
          m_nRxNextState = kRxSingleBlock;
          m_nRxState = kRxLength;
          break;
        case kAck:
          m_nReadSize = 1;
          SetEvent(m_hEventAck.get());
          break;
        case kNak:
          m_nReadSize = 1;
          SetEvent(m_hEventNak.get());
          break;
        case kBusy:
          m_nReadSize = 1;
          SetEvent(m_hEventBusy.get());
          break;
        default:
          break;
      }
      return;
    case kRxLength:
      m_nReadSize = bytes[0] + 1;
      m_nRxState = m_nRxNextState;
      m_nRxNextState = kRxIdle;
      return;
    case kRxFirstBlock:
    case kRxMiddleBlock:
    case kRxLastBlock:
    case kRxSingleBlock: {
      const int state = m_nRxState;
      const DWORD expected = static_cast<DWORD>(m_nReadSize.load());
      uint8_t sum = 0;
      for (DWORD i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
      // A body cut short by the port's read time-outs is refused, whatever its sum.
      const bool good = count == expected && sum == 0;
      const int payload = static_cast<int>(count) - 1;
      traces.start = state == kRxFirstBlock;
      if (state != kRxSingleBlock) m_nLongBytes += static_cast<int>(count);
      if (state == kRxLastBlock)
        snprintf(traces.end, sizeof traces.end, "Rx long Block end %d %d\n", m_nLongBytes,
                 static_cast<int>(GetTickCount() - m_dwLongStartMs));
      uint8_t answer = kNak;
      if (!good) {
        traces.nak = state != kRxSingleBlock;
      } else if (state == kRxFirstBlock || state == kRxMiddleBlock) {
        traces.overflow = !StoreRx(bytes, payload, false);
        answer = kAck;
      } else {
        traces.overflow = !StoreRx(bytes, payload, true);
        m_bLongFrame = 0;
        answer = kAck;
      }
      m_nReadSize = 1;
      m_oTxBuf.WriteBytes(&answer, 1, true);
      m_nRxState = kRxIdle;
      m_nRxNextState = kRxIdle;
      return;
    }
    default:
      m_nRxState = kRxIdle;
      return;
  }
}
