// CComm: the serial link object. It opens and sets the port, runs the firmware start, and then
// carries board frames in blocks with three threads: ThreadProtocolWrite cuts frames into blocks
// and waits for each block's answer, ThreadWrite moves bytes from the transmit ring to the port,
// ThreadRead reads the port and runs the receiver.
#pragma once

#include "Firmware.h"

#include <link/RingBuffer.h>

#include <platform/sync.h>
#include <platform/unique.h>

#include <atomic>
#include <mutex>

class CComm {
 public:
  // The steps of StartCommunication that can fail, in the order it takes them.
  enum class StartStep {
    OpenPort, CommMask, CommTimeouts, GetState, SetState, Download, ExitEvent, TxBuffer, ProtTxBuffer,
    RxBuffer, AnswerEvents, EndedEvent, WriteThread, ReadThread, ProtocolThread, ProtocolStart,
    Count
  };

  // The receiver's states. A body state carries the number of the block type it receives.
  enum RxState : int {
    kRxIdle = 0,          // waiting for a block header or an answer byte
    kRxLength = 1,        // waiting for the block's length byte
    kRxFirstBlock = 2,    // body of the first block of a frame
    kRxMiddleBlock = 3,   // body of a middle block
    kRxLastBlock = 4,     // body of the last block
    kRxSingleBlock = 5,   // body of a frame in one block
  };
  // Longest frame the link carries: the frame reader's buffer.
  static constexpr int kMaxFrame = 5000;

  CComm();
  CComm(const CComm&) = delete;
  CComm& operator=(const CComm&) = delete;
  ~CComm();

  // Init and Deinit. Init on a running link stops it first and starts it afresh.
  int Init(const char* key, const char* port);
  void CloseLink();

  int WriteFrame(const void* frame, int length);
  int Read(void* buffer, int length) { return length > 0 && buffer ? m_oRxBuf.ReadBytes(static_cast<uint8_t*>(buffer), length) : 0; }
  HANDLE GetEvent() const { return m_oRxBuf.GetEventHandle(); }
  int GetOccupiedTxBuffer() { return m_oTxBuf.GetFillPercent(); }
  int GetTxBufferDataSize() { return m_oTxBuf.GetDataSize(); }
  int GetRxStatus() const { return m_bLongFrame.load() ? 1 : 0; }
  void SetSerialBlocksize(int size) { m_nSerialBlockSize = static_cast<uint32_t>(size); }
  WORD SetManualFlashMode(int mode) {
    m_wManualFlashMode = static_cast<WORD>(mode & 0xFFFF);
    return m_wManualFlashMode;
  }
  void GetHwSwInfo(HwSwInfo* out) { m_oFirmware.CopyHwSwInfo(out); }

  // Receiver step for the bytes one port read delivered.
  void OnRxBytes(const uint8_t* bytes, DWORD count);
  int PutRawRx(const uint8_t* bytes, int count, bool notify);
  // Sends one block and waits for its answer: 1 when acknowledged, 0 when given up or stopped.
  int SendBlock(uint8_t type, const uint8_t* payload, int n);

 private:
  struct LinkThread {
    kvp::UniqueHandle thread;
    kvp::UniqueHandle exit;     // manual-reset
    kvp::UniqueHandle ended;    // auto-reset
    kvp::UniqueHandle started;  // manual-reset (ThreadWrite, ThreadRead)
    std::atomic<int> stop{0};
  };

  void StartCommunication();
  void StartThread(LinkThread& t, LPTHREAD_START_ROUTINE routine, int priority, StartStep step,
                   const char* priorityTrace);
  void StopThread(LinkThread& t, DWORD waitMs);
  static DWORD WINAPI ThreadProtocolWrite(LPVOID self);
  static DWORD WINAPI ThreadWrite(LPVOID self);
  static DWORD WINAPI ThreadRead(LPVOID self);
  DWORD RunProtocolWrite();
  DWORD RunWrite();
  DWORD RunRead();
  void SendFrame(const uint8_t* frame, int length);
  bool WaitWhileLongFrame(int steps);
  void HandleRead(const uint8_t* bytes, DWORD count);
  // What one receiver step has to trace, sent once the link lock is left.
  struct RxTraces {
    bool start = false;
    bool overflow = false;
    bool nak = false;
    char end[64] = "";
  };
  // One receiver step, under the link lock.
  void StepReceiver(const uint8_t* bytes, DWORD count, RxTraces& traces);
  // Stores received frame bytes in the receive ring, retrying briefly while it is full.
  bool StoreRx(const uint8_t* bytes, int count, bool notify);

  kvlink::LinkSettings m_settings;
  CFirmware m_oFirmware;
  std::atomic<WORD> m_wManualFlashMode{0};
  kvp::UniqueHandle m_hPort;
  CRingBuffer m_oTxBuf;
  CRingBuffer m_oRxBuf;
  CRingBuffer m_oProtTxBuf;
  LinkThread m_oWrite, m_oRead, m_oProtocol;
  kvp::UniqueHandle m_hEventThreadProtocolWriteInitiated;
  // The protocol start and ThreadRead agree that no raw-mode read is outstanding any more.
  kvp::UniqueHandle m_hEventProtocolStarting;
  kvp::UniqueHandle m_hEventRawReadEnded;
  kvp::UniqueHandle m_hEventAck, m_hEventNak, m_hEventBusy;
  std::recursive_mutex m_oLinkLock;
  std::atomic<int> m_bRawMode{1};
  std::atomic<int> m_bLongFrame{0};
  int m_nRxState = kRxIdle;      // under the link lock
  int m_nRxNextState = kRxIdle;  // under the link lock
  std::atomic<int> m_nReadSize{512};
  std::atomic<uint32_t> m_nSerialBlockSize{64};
  // Trace of the long frame being received.
  uint32_t m_dwLongStartMs = 0;
  int m_nLongBytes = 0;
};

// The one link object of the library.
extern CComm g_oComm;
