// Value arrays: samples with the description of their channel's probe (CNxDoubleArray), raw
// 16-bit samples (CNxShortIntArray), the raw sample ring fed to the recorder
// (CNxRoundShortIntArray) and the list of error and report lines (CStringArrayEx).
#pragma once

#include <platform/afx.h>

class CNxDoubleArray : public CArray<double, double> {
 public:
  CNxDoubleArray() { Reset(); }

  double m_dFullScale;  // full-scale value of the probe
  int m_nKind;          // probe kind, 0 = no probe
  CString m_strLabel;
  double m_dMultiplier;  // probe multiplier
  int m_nUnit;           // 0 volt, 1 ampere, other none; -1 after reset
  int m_nChangeMark;     // set when the range or probe changed (the channel's range-changed mark)
  int m_nReserved1;      // 1 after reset
  double m_dReserved;
  int m_nReserved2;
  int m_nDecimals;   // -1 after reset
  int m_nRangeLow;   // lowest allowed range index of the probe, -1 after reset
  int m_nRangeHigh;  // highest allowed range index, -1 after reset
  double m_dScale;   // 1 or 1.25 as set from a probe; 1.0 after reset

  // Empties the values and restores the description's reset values (label empty).
  void Reset();
  // Same multiplier, unit, kind and label.
  bool IsSameScale(const CNxDoubleArray& other) const;
  // The whole description and the values.
  void CopyFrom(const CNxDoubleArray& other);
  void CopyDescription(const CNxDoubleArray& other);
  // Resizes to the source's count and copies the values; when the resize fails the target is
  // emptied. Returns whether the values were copied.
  bool CopyValues(const CNxDoubleArray& other);
  // The value at index, or 0 for an index outside the array.
  double GetValueOrZero(INT_PTR index) const { return index >= 0 && index < GetSize() ? GetAt(index) : 0.0; }
};

class CNxShortIntArray : public CArray<SHORT, SHORT> {};

// Ring of raw samples: fills slots 0..capacity-1, then overwrites the oldest in turn.
class CNxRoundShortIntArray {
 public:
  explicit CNxRoundShortIntArray(int capacity = 0) { SetCapacity(capacity); }
  // Empties the ring and gives it room for capacity samples.
  void SetCapacity(int capacity);
  // Returns the slot written, or -1 when nothing was stored.
  int Add(SHORT sample);
  int GetCapacity() const { return static_cast<int>(m_data.GetSize()); }
  int GetCount() const { return m_nCount; }
  int GetWriteIndex() const { return m_nWrite; }
  SHORT GetAt(int slot) const { return m_data.GetAt(slot); }
  // The slots themselves (GetCapacity of them), for readers that walk many samples.
  const SHORT* GetSlots() const { return m_data.GetData(); }

  // The recorder's names: init empties the ring with room for capacity samples, append adds
  // one (as Add), get(i) reads the i-th sample counted from the oldest (0 for i outside
  // 0..length-1).
  void init(int capacity) { SetCapacity(capacity); }
  int append(SHORT sample) { return Add(sample); }
  SHORT get(int i) const {
    if (i < 0 || i >= m_nCount) return 0;
    const int slot = m_nWrite + i;  // the oldest sits at the write index once the ring is full
    return m_data[slot < m_nCount ? slot : slot - m_nCount];
  }
  // Puts the samples in logical order (oldest first) and releases the room beyond them: the
  // capacity becomes the length.
  void Compact();

 private:
  CArray<SHORT, SHORT> m_data;
  int m_nCount = 0;
  int m_nWrite = 0;
};

class CStringArrayEx : public CStringArray {};

// The lines joined with the separator between them (none after the last).
CString JoinStrings(const CStringArray& list, LPCSTR separator);
