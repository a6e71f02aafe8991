// The oscilloscope preset: which measurement the scope is set up for. The engine tester and the
// special tests write it before they switch to the scope tab; the scope reads and resets it; the
// acquisition thread reads it for every record, so the fields are atomic.
#pragma once

#include <platform/types.h>

#include <atomic>

class MeasureType {
 public:
  std::atomic<int> m_nAngleMode{0};   // non-zero: the time base is an angle base (channel A only)
  std::atomic<int> m_nSubmode{1};     // a variant chosen by the writer
  std::atomic<int> m_bStartRetry{0};  // the next start is retried while the library refuses it
  std::atomic<int> m_nMeasureType{0};  // 0 plain scope, 1..10 engine tester, 11..27 component tests
  // Segments of a segmented engine record (measure types 8 and 10): one per cylinder shown.
  std::atomic<int> m_nSegmentCount{0};

  // 1 for the component tests 11..27.
  int IsComponentTestType() const;
  // "<installation folder>Manuals\<name>" of the current component test, bounded by size.
  // 1 built; 0 when "Path" cannot be read or the test has no manual (the buffer stays untouched).
  int GetManualPath(char* buffer, int size) const;
};

MeasureType& GetMeasureType();

// The manual file name of a measure type 11..27, null for any other.
const char* GetManualName(int measureType);
