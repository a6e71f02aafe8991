// The style record of a cursor, level mark or trace: ten of them sit in GlobalProps (time cursors
// left and right, trigger position, level marks of B and A, trigger level, saved signals C to F),
// and the recorder uses the same record for its two cursors.
#pragma once

#include <platform/afx.h>

class CScale;

class CTraceStyle {
 public:
  int m_nFlags = 0;          // bit 0: shown
  double m_dValue2 = 0.0;    // second value
  double m_dValue = 0.0;     // position value (a time for the cursors, a level for the marks)
  CScale* m_pScale = nullptr;  // the axis it is drawn against
  COLORREF m_crColor = 0xFFFFFF;
  int m_nReserved = 0;
  CString m_strName;  // label ("C", "T", "A", ...)
  int m_nSignal = 0;  // 1 for the signal marks A..F; the drag mode of a cursor (0 absolute, 1 relative)
  int m_nIndex = -1;  // index in its table; the kind of the record

  // The names the chart, rulers and recorder use for the same fields.
  int& DragMode() { return m_nSignal; }
  int& Kind() { return m_nIndex; }
  int Kind() const { return m_nIndex; }
  CString& Label() { return m_strName; }
  bool IsShown() const { return (m_nFlags & 1) != 0; }

  // Copies a prepared record into this entry and gives it the entry's index.
  void SetEntry(const CTraceStyle& prepared, int index) {
    *this = prepared;
    m_nIndex = index;
  }
};

typedef CTraceStyle CursorRecord;

// Sets the bits and returns them when on; clears them and returns 0 when off.
inline int SetFlagBits(int& flags, int bits, BOOL on) {
  if (on) {
    flags |= bits;
    return bits;
  }
  flags &= ~bits;
  return 0;
}
