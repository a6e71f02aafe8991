// Display traces: a CMeasure is one signal as the scope draws it, the signal data together with
// its colours and pens. The program keeps its traces in one global list; start-up adds the two
// channel traces (0 channel A, 1 channel B).
#pragma once

#include <core/SignalData.h>

#include <platform/afxgdi.h>

class CScale;

class CMeasure : public CSignalData {
 public:
  COLORREF m_crColor = 0x00FF00;      // trace colour
  COLORREF m_crHighlight = 0x00FF00;  // limit-band colour
  int m_nStyle = 3;                   // hatch type of the limit bands
  int m_nWidth = 2;                   // pen width
  CPen m_penTrace;                    // made on first use
  CPen m_penLimit;
  CBrush m_brush;
  int m_bShowLower = 0;
  int m_bShowUpper = 0;
  SHORT m_nSource1 = 0;
  SHORT m_nSource2 = 0;
  // Time map: time of sample i = (i - index origin) * time per index + time of index origin.
  double m_dTimeOrigin = 0.0;
  int m_nIndexOrigin = -1;
  double m_dTimePerIndex = 1.0;
  CScale* m_pScale = nullptr;  // vertical axis

  // The time map of a trace sampled at `rate` samples per second from time 0: sample 0 at time 0,
  // 1/rate apart; a rate that is not positive gives every sample time 0.
  void SetTimeBase(double rate) {
    m_dTimeOrigin = 0.0;
    m_nIndexOrigin = 0;
    m_dTimePerIndex = rate > 0.0 ? 1.0 / rate : 0.0;
  }
  // Solid pens of the trace width and colour, and 1 pixel in the limit-band colour.
  CPen* GetTracePen();
  CPen* GetLimitPen();
};

typedef CArray<CMeasure*, CMeasure*> CMeasureList;

// Creates a trace with the defaults and appends it; null (and no entry) when that fails.
CMeasure* AddTrace(int* index = nullptr);
CMeasureList& GetTraceList();
// Deletes every trace and empties the list; safe to repeat.
void FreeTraceList();
