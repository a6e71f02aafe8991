#include <link/LinkTrace.h>
#include <link/RingBuffer.h>

#include <platform/sync.h>

#include <cstring>
#include <new>

CRingBuffer::CRingBuffer() : m_hEvent(CreateEvent(nullptr, FALSE, FALSE, nullptr)) {}

CRingBuffer::~CRingBuffer() {
  std::lock_guard lock(m_lock);
  m_hEvent.reset();
  delete[] m_pData;
}

uint8_t* CRingBuffer::SetBufferSize(int size) {
  std::lock_guard lock(m_lock);
  delete[] m_pData;
  m_pData = size > 0 ? new (std::nothrow) uint8_t[size] : nullptr;
  m_nSize = m_pData ? size : 0;
  m_nRead = m_nWrite = 0;
  return m_pData;
}

int CRingBuffer::CopyIn(const uint8_t* src, int n) {
  const int first = std::min(n, m_nSize - m_nWrite);
  memcpy(m_pData + m_nWrite, src, first);
  memcpy(m_pData, src + first, n - first);
  m_nWrite = n > first ? n - first : m_nWrite + first;
  if (m_nWrite == m_nSize) m_nWrite = 0;
  return n;
}

void CRingBuffer::CopyOut(uint8_t* dst, int n) {
  const int first = std::min(n, m_nSize - m_nRead);
  memcpy(dst, m_pData + m_nRead, first);
  memcpy(dst + first, m_pData, n - first);
  m_nRead = n > first ? n - first : m_nRead + first;
  if (m_nRead == m_nSize) m_nRead = 0;
}

int CRingBuffer::WriteBytes(const uint8_t* src, int n, bool notify) {
  int taken = 0;
  {
    std::lock_guard lock(m_lock);
    if (n > 0 && m_pData) taken = CopyIn(src, std::min(n, FreeLocked()));
  }
  if (taken > 0 && notify) SetEvent(m_hEvent.get());
  return taken;
}

int CRingBuffer::WriteAll(const uint8_t* src, int n, bool notify) {
  if (n <= 0 || !m_pData || FreeLocked() < n) return 0;
  CopyIn(src, n);
  if (notify) SetEvent(m_hEvent.get());
  return n;
}

int CRingBuffer::ReadBytes(uint8_t* dst, int n) {
  std::lock_guard lock(m_lock);
  if (n <= 0 || !m_pData) return 0;
  const int count = std::min(n, DataSizeLocked());
  CopyOut(dst, count);
  return count;
}

int CRingBuffer::GetDataSize() {
  std::lock_guard lock(m_lock);
  return m_pData ? DataSizeLocked() : 0;
}

int CRingBuffer::GetFillPercent() {
  std::lock_guard lock(m_lock);
  if (m_nSize == 0) return 100;
  return static_cast<int>(static_cast<int64_t>(DataSizeLocked()) * 100 / m_nSize);
}

int CRingBuffer::LockAndGetFree() {
  m_lock.lock();
  return FreeLocked();
}

void CRingBuffer::Unlock() { m_lock.unlock(); }

void CRingBuffer::Clear() {
  std::lock_guard lock(m_lock);
  m_nRead = m_nWrite = 0;
  ResetEvent(m_hEvent.get());
}

int CRingBuffer::ReadFrame(uint8_t* dst, int capacity) {
  bool outOfStep = false;
  int length = 0;
  {
    std::lock_guard lock(m_lock);
    if (!m_pData || DataSizeLocked() < 4) return 0;
    length = (PeekLocked(2) | (PeekLocked(3) << 8)) + 6;
    if (length > capacity) {
      m_nRead = m_nWrite = 0;
      outOfStep = true;
    } else if (DataSizeLocked() < length) {
      return 0;
    } else {
      CopyOut(dst, length);
    }
  }
  if (outOfStep) {
    kvlink::Trace("ReadFrame: frame of %d bytes exceeds %d, ring cleared\n", length, capacity);
    return 0;
  }
  return length;
}
