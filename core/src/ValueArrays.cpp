#include <core/ValueArrays.h>

#include <algorithm>
#include <new>

void CNxDoubleArray::Reset() {
  RemoveAll();
  m_dFullScale = 0.0;
  m_nKind = 0;
  m_strLabel.Empty();
  m_dMultiplier = 0.0;
  m_nUnit = -1;
  m_nChangeMark = 0;
  m_nReserved1 = 1;
  m_dReserved = 0.0;
  m_nReserved2 = 0;
  m_nDecimals = -1;
  m_nRangeLow = -1;
  m_nRangeHigh = -1;
  m_dScale = 1.0;
}

bool CNxDoubleArray::IsSameScale(const CNxDoubleArray& other) const {
  return m_dMultiplier == other.m_dMultiplier && m_nUnit == other.m_nUnit && m_nKind == other.m_nKind &&
         m_strLabel == other.m_strLabel;
}

void CNxDoubleArray::CopyDescription(const CNxDoubleArray& other) {
  m_dFullScale = other.m_dFullScale;
  m_nKind = other.m_nKind;
  m_strLabel = other.m_strLabel;
  m_dMultiplier = other.m_dMultiplier;
  m_nUnit = other.m_nUnit;
  m_nChangeMark = other.m_nChangeMark;
  m_nReserved1 = other.m_nReserved1;
  m_dReserved = other.m_dReserved;
  m_nReserved2 = other.m_nReserved2;
  m_nDecimals = other.m_nDecimals;
  m_nRangeLow = other.m_nRangeLow;
  m_nRangeHigh = other.m_nRangeHigh;
  m_dScale = other.m_dScale;
}

void CNxDoubleArray::CopyFrom(const CNxDoubleArray& other) {
  if (this == &other) return;
  CopyDescription(other);
  Copy(other);
}

bool CNxDoubleArray::CopyValues(const CNxDoubleArray& other) {
  if (this == &other) return true;
  try {
    Copy(other);
    return true;
  } catch (const std::bad_alloc&) {
    RemoveAll();
    return false;
  }
}

void CNxRoundShortIntArray::SetCapacity(int capacity) {
  m_data.RemoveAll();
  m_data.SetSize(capacity > 0 ? capacity : 0);
  m_nCount = 0;
  m_nWrite = 0;
}

int CNxRoundShortIntArray::Add(SHORT sample) {
  const int capacity = GetCapacity();
  if (capacity == 0) return -1;  // a ring without room keeps nothing
  if (m_nCount == capacity) {
    const int slot = m_nWrite;
    m_data[slot] = sample;
    m_nWrite = (m_nWrite + 1) % capacity;
    return slot;
  }
  if (m_nWrite != 0) return -1;
  const int slot = m_nCount++;
  m_data[slot] = sample;
  return slot;
}

void CNxRoundShortIntArray::Compact() {
  if (m_nWrite != 0) {
    // Only a full ring wraps: rotate its oldest sample to slot 0.
    SHORT* data = m_data.GetData();
    std::rotate(data, data + m_nWrite, data + m_nCount);
    m_nWrite = 0;
  }
  m_data.SetSize(m_nCount);
  m_data.FreeExtra();
}

CString JoinStrings(const CStringArray& list, LPCSTR separator) {
  CString out;
  for (INT_PTR i = 0; i < list.GetSize(); ++i) {
    if (i > 0) out += separator;
    out += list[i];
  }
  return out;
}
