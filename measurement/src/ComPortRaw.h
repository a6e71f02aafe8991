// The link object: it binds the link library the registry names, wraps each request payload in
// a board frame and hands it to its own worker thread, which writes the frame, waits for the
// reply, answers busy replies by polling, checks the reply frame and keeps it for the caller.
// Callers on any thread send one request, wait until the link is idle again, then copy the reply.
#pragma once

#include "BoardFrame.h"
#include "CommLibrary.h"

#include <kv310/Kv310.h>
#include <platform/sync.h>

#include <atomic>
#include <memory>

namespace kv310 {

// Link states (the values ICommunication_1::GetState reports).
enum : int {
  kStateNoLibrary = kLinkNone,
  kStateReady = kLinkReady,
  kStateIdle = kLinkIdle,
  kStateBusy = kLinkPending,
  kStateError = kLinkFailed,
};

// Link error codes, kept as the last error of a failed request.
enum : int { kErrorTimeout = 1, kErrorFormat = 2, kErrorWrite = 3, kErrorRefused = 4, kErrorNoData = 5 };

// Raised inside the worker for a failed request; carries the link error code.
class CCommException {
 public:
  explicit CCommException(int code) : m_code(code) {}
  int Code() const { return m_code; }

 private:
  int m_code;
};

class CComPortRaw {
 public:
  // A board that keeps answering busy gets this many polls (100 ms apart) before the request
  // fails with a time-out.
  static constexpr int kMaxBusyPolls = 600;
  static constexpr unsigned kMinimumTimeoutMs = 200;

  // Binds the link library named under `registryKey` and starts the worker. The base reply
  // time-out is `baseTimeoutMs` when it is above 200, else 200.
  CComPortRaw(const char* registryKey, unsigned baseTimeoutMs);
  virtual ~CComPortRaw();
  CComPortRaw(const CComPortRaw&) = delete;
  CComPortRaw& operator=(const CComPortRaw&) = delete;

  // Trace hooks: they output nothing here.
  virtual bool TraceOpen();
  virtual void TraceClose();
  virtual void TraceWrite(const char* text, int level);

  // Waits until the link is idle, then hands the payload (1..4096 bytes) to the worker with
  // `extraMs` on top of the base reply time-out. Returns `size`, or 0 when the link is not
  // started and idle or the size is bad (nothing is sent then).
  int Send(const void* payload, int size, int extraMs);
  void WaitIdle();
  // Copies up to `count` bytes of the last reply payload from `position`; 0 unless the link is
  // started and idle.
  int Receive(void* destination, int count, int position);
  int GetState(int* replyLength = nullptr);
  int GetLastError();
  // Registers an abort when the pending request is being polled after a busy reply that allows
  // it; the worker then sends the abort frame instead of the next poll.
  bool AbortRead();

  int Start();          // -> state (2 when started)
  int Stop();           // -> 1 when the link was stopped, else its state
  int Recover();        // -> state; restarts only a link in error
  int SetBlockSize();   // -> state

  // "firmware (board)" from the board information record, at most `maxLength` characters and a
  // terminator (`text` holds maxLength + 1 bytes); empty while the record is empty.
  void GetBoardName(char* text, int maxLength);

  HANDLE IdleEvent() const { return m_idleEvent; }
  unsigned BaseTimeoutMs() const { return m_baseTimeoutMs; }
  void SetNotification(HWND window, UINT replyMessage, UINT errorMessage);

 protected:
  void Trace(const char* text, int level);
  void TraceBytes(const char* prefix, const uint8_t* bytes, int count);
  void TraceFormat(int level, const char* format, ...) __attribute__((format(printf, 3, 4)));

 private:
  static DWORD LinkWorkerThread(LPVOID self);
  void RunWorker();
  void ServeRequest();
  void FinishWithError(int code);
  void Notify(bool success, int value);
  void TraceLibraryVersion();

  char m_key[260] = {};
  std::atomic<bool> m_quit{false};
  HANDLE m_thread = 0;
  DWORD m_threadId = 0;

  // Guarded by m_stateLock.
  int m_state = kStateNoLibrary;
  int m_lastError = 0;
  int m_replyLength = 0;
  int m_pendingLength = 0;
  unsigned m_baseTimeoutMs = kMinimumTimeoutMs;
  int m_extraTimeoutMs = 0;
  HANDLE m_dataEvent = 0;
  bool m_abortable = false;
  bool m_abortRequested = false;
  std::unique_ptr<uint8_t[]> m_rxBuffer;
  std::unique_ptr<uint8_t[]> m_txBuffer;

  CommLibrary m_library;
  CRITICAL_SECTION m_stateLock;
  CRITICAL_SECTION m_notificationLock;
  HWND m_window = 0;
  UINT m_replyMessage = 0;
  UINT m_errorMessage = 0;

  HANDLE m_requestEvent = 0;  // auto-reset
  HANDLE m_idleEvent = 0;     // manual-reset, set whenever no request is pending
  HANDLE m_startedEvent = 0;  // manual-reset, set by the worker when it runs

  CRITICAL_SECTION m_traceLock;
  bool m_traceOpen = false;
};

}  // namespace kv310
