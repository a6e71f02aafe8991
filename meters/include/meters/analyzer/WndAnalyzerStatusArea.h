// CWndAnalyzer_StatusArea: the record analyzer's read-out of signals A and B while the cursors
// are hidden: signal and time scale per division, maximum and minimum in the view window, and the
// vertical and horizontal zoom. It only repaints on notifications. GUI thread only.
#pragma once

#include <core/Notify.h>

#include <ui/XPWndBaseColor.h>

#include <platform/afxgdi.h>

class CRecorder;

class CWndAnalyzer_StatusArea : public CXPWndBaseColor, public IAnalyzerNotify {
 public:
  static constexpr COLORREF kValueColor = 0xD12905;
  enum { kRows = 6 };

  explicit CWndAnalyzer_StatusArea(CRecorder* recorder = nullptr);
  ~CWndAnalyzer_StatusArea() override;

  void OnAnalyzerNotify(int sender, int code, int value) override;
  // The six values of a column (record 0 or 1), "---" without that record.
  void ColumnValues(int column, CString out[kRows]) const;

  void RecalcLayout() override;
  void PaintContent(CDC* dc) override;
  // Whether every label and the widest value fit side by side in a column of that width; else
  // each value gets the line below its label.
  bool ValuesBesideLabels(CDC* dc, int columnWidth);

  CRecorder* m_pRecorder;
  CFont m_fntCaption;
  CFont m_fntHeading;
  CFont m_fntValue;
};
