// Saved scopes: screens of signals kept beside the live display, two slots for the whole run.
// The scope pane fills a slot from a signal file and clears it again.
#pragma once

#include <core/SignalData.h>

#include <platform/afxgdi.h>

class CScale;

// One saved signal: a signal buffer (its two levels are the marks drawn beside the trace) with
// its display data.
class CSavedSignal : public CSignalBuffer {
 public:
  int m_nKind = 0;  // 0..3 = C..F
  double m_dMin = 0.0;
  double m_dMax = 0.0;
  double m_dPerDivision = 0.0;
  double m_dFullScale = 0.0;
  int m_nUnit = 0;
  int m_nPosition = 0;
  int m_nCoupling = 0;
  CString m_strClipNote1;
  CString m_strClipNote2;
  COLORREF m_crColor = 0;
  COLORREF m_crFill = 0;
  int m_nPenWidth = 1;
  int m_nStyle = 0;  // line-pattern type
  int m_bShowLevel1 = 0;
  int m_bShowLevel2 = 0;
  CScale* m_pScale = nullptr;  // the scale the signal was saved with

  // Made on first use from the colour.
  CPen* GetPen();
  CPen* GetLevelPen();
  CBrush* GetBrush();

 private:
  CPen m_pen;
  CPen m_levelPen;
  CBrush m_brush;
};

class CSavedScope {
 public:
  CSavedScope() = default;
  CSavedScope(const CSavedScope&) = delete;
  CSavedScope& operator=(const CSavedScope&) = delete;
  ~CSavedScope() { RemoveAllSignals(); }

  // Display data from the signal file's header.
  int m_nKind = 0;
  double m_dSampleRate = 0.0;  // the stored sample rate (samples per second), 0 without a time base
  int m_bPair = 0;  // 1 = the E/F pair
  int m_bRollMode = 0;
  int m_nReserved1 = -1;
  void* m_pReserved = nullptr;
  int m_nModeSelector = 1;
  int m_bModeSelectorFlag = 0;
  int m_nSlot = -1;
  int m_bAngleMode = 0;
  int m_nTriggerSource = 0;
  int m_nTriggerEdge = 0;
  int m_nSweep = 0;
  int m_nTriggerFilter = 0;
  double m_dTriggerLevel = 0.0;  // volts
  int m_nTriggerUnit = 0;
  int m_bTriggerChannelMissing = 0;
  CString m_strName;
  CString m_strTitle;
  int m_bEmpty = 1;
  CString m_strDescription1;
  CString m_strDescription2;
  int m_nReserved = 0;
  int m_bOlderFormat = 0;
  CArray<CSavedSignal*, CSavedSignal*> m_Signals;  // owned

  // Destroys every saved signal, empties the list and marks the slot empty.
  void RemoveAllSignals();
  // The first signal of a kind (0..3 = C..F), or null.
  CSavedSignal* FindSignal(int kind) const;
};

enum { kSavedScopeSlots = 2 };
// The two slots (indexes 0 and 1).
CSavedScope* GetSavedScopes();
// Number of occupied slots.
int GetSavedScopeCount();
