// The locked byte ring of the serial link: transmit bytes, received frame bytes and whole frames
// handed in by Write. Producers and consumers run on different threads; every operation takes the
// ring's own lock, and an auto-reset event tells a consumer that bytes arrived.
#pragma once

#include <platform/types.h>
#include <platform/unique.h>

#include <cstdint>
#include <mutex>

class CRingBuffer {
 public:
  CRingBuffer();
  CRingBuffer(const CRingBuffer&) = delete;
  CRingBuffer& operator=(const CRingBuffer&) = delete;
  virtual ~CRingBuffer();

  // New storage of `size` bytes, both positions reset; null (and size 0) when it cannot be had.
  uint8_t* SetBufferSize(int size);
  // Copies as many bytes as fit; sets the event after unlocking when some were taken and `notify`.
  int WriteBytes(const uint8_t* src, int n, bool notify);
  // All or nothing; for a caller holding the lock through LockAndGetFree. Sets the event at once.
  int WriteAll(const uint8_t* src, int n, bool notify);
  int ReadBytes(uint8_t* dst, int n);
  int GetDataSize();
  // Bytes waiting × 100 / size; 100 without storage.
  int GetFillPercent();
  // Enters the lock and returns the free room; the caller must call Unlock on every path.
  int LockAndGetFree();
  void Unlock();
  // Empties the ring and resets the event.
  void Clear();
  HANDLE GetEventHandle() const { return m_hEvent.get(); }

  // Takes one whole board frame (01 b1 LL LL ... 02, LL + 6 bytes) into dst of `capacity` bytes
  // and returns its length; 0 while the frame is incomplete. A frame that could never fit dst
  // means the ring is out of step with the frame boundaries: it is emptied, traced, and 0 returned.
  int ReadFrame(uint8_t* dst, int capacity);

 private:
  int DataSizeLocked() const { return m_nWrite >= m_nRead ? m_nWrite - m_nRead : m_nWrite - m_nRead + m_nSize; }
  int FreeLocked() const { return m_nSize == 0 ? 0 : m_nSize - 1 - DataSizeLocked(); }
  int CopyIn(const uint8_t* src, int n);   // at the write position, wrapping
  void CopyOut(uint8_t* dst, int n);       // from the read position, wrapping
  uint8_t PeekLocked(int offset) const { return m_pData[(m_nRead + offset) % m_nSize]; }

  std::mutex m_lock;
  kvp::UniqueHandle m_hEvent;
  uint8_t* m_pData = nullptr;
  int m_nSize = 0;
  int m_nRead = 0;
  int m_nWrite = 0;
};
