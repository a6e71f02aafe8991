// The records the acquisition engine fills and hands to the panes: the result of a request
// (MeterResult, the scope's OscErrorRecord), the acquisition record of one scope screen
// (AcquisitionRecord, the scope's OscMeasureRecord), the voltmeter channel reading and the ohm
// reading of the meter services, and the re-arm record of the high-voltage check.
#pragma once

#include <core/LinearMap.h>
#include <core/MeasureProps.h>
#include <core/SignalData.h>
#include <core/ValueArrays.h>

#include <platform/types.h>

// Statuses of a MeterResult.
enum : int {
  RESULT_NO_INTERFACE = -1,  // meter services: the needed interfaces are missing
  RESULT_OTHER_ERROR = 0,    // meter services: any other library failure
  RESULT_OK = 1,             // nothing to report
  RESULT_NO_PROBE = 2,       // no probe description for the channel
  RESULT_WRONG_PROBE = 3,    // the library answered 16
  RESULT_NOT_READY = 4,      // the library answered 17
  RESULT_START_FAILED = 5,   // acquisition: starting a measurement failed
  RESULT_SETTINGS_FAILED = 6,  // acquisition: applying the settings failed
  RESULT_READ_FAILED = 7,    // acquisition: reading the data failed (the scope restarts silently)
  RESULT_LIBRARY_FAILED = 8,   // meter services: reading probes or ranges failed
  RESULT_TIMEOUT = 9,          // the library answered 10
};

// The outcome of one engine request: the library's code of the last failure, a status and the
// error lines.
struct MeterResult {
  int m_nValue = 0;
  int m_nStatus = RESULT_OK;
  CStringArrayEx m_Lines;

  void Clear() {
    m_nValue = 0;
    m_nStatus = RESULT_OK;
    m_Lines.RemoveAll();
  }
};
using OscErrorRecord = MeterResult;

// One scope screen: the settings it was taken with (copied in by the scope pane), the trigger
// information and the two channel signals. Owned by the acquisition thread and handed to the
// scope pane through IOscClbck::OnOscData.
struct AcquisitionRecord {
  enum { CHANNEL_A = 0, CHANNEL_B = 1 };

  int m_nStatus = 0;
  CMeasureProps m_Settings;  // its autoset-active field is the record's autoset mark
  double m_dExtraValue = 0.0;
  int m_bTriggered = 0;       // the recording-trigger flag
  int m_nTriggerIndex = -1;   // sample index of the trigger point (the recording remainder), -1 none
  CSignalData m_Signal[2];

  int GetRecordingTrigger() const { return m_bTriggered; }
  int GetRemainder() const { return m_nTriggerIndex; }
  int IsAutosetRecord() const { return m_Settings.m_bAutosetActive; }
  // Complete when either channel holds the roll sample count of the settings.
  bool IsComplete() const {
    return m_Signal[0].GetCount() >= m_Settings.m_nRollSampleCount ||
           m_Signal[1].GetCount() >= m_Settings.m_nRollSampleCount;
  }
};
using OscMeasureRecord = AcquisitionRecord;

// The scope's display record held by the core (the cursor panel and the chart read it).
OscMeasureRecord& GetCursorSettings();

// One voltmeter (or ammeter) channel of the meter services.
struct MeterReading {
  int m_nReserved = 0;
  double m_dMin = 0.0;  // of the zero-corrected value
  double m_dMax = 0.0;
  double m_dValue = 0.0;     // measured value minus offset
  double m_dRawValue = 0.0;  // measured value
  int m_nValueDecimals = 0;
  int m_nRawDecimals = 0;
  int m_bMinMaxSet = 0;  // minimum and maximum hold a reading (statistics started)
  int m_bActive = 1;     // rounding and min/max tracking run
  int m_bAC = 0;         // measure RMS (set by the voltmeter pane)
  CNxDoubleArray m_Ranges;  // probe description and range table; its change mark = new probe
  CString m_strProbe;
  CNxDoubleArray m_Second;
  int m_nReserved1 = -1;
  int m_nReserved2 = 1;
  CLinearMap m_Map;           // raw to value for the cached range
  SHORT m_nCachedRange = -1;  // the range index the board reported last, -1 none
  double m_dOffset = 0.0;     // the stored zero

  // The names the meter pane reads.
  int GetDisplayMode() const { return m_Ranges.m_nKind; }
  // The probe class of the channel's probe description, not its kind (the name is the system's):
  // probekind::kClassVolt or kClassAmpere, another value when there is none (-1 after a reset).
  int GetProbeKind() const { return m_Ranges.m_nUnit; }
  double GetFullScaleValue() const { return m_Ranges.GetValueOrZero(m_nCachedRange); }
  // The probe text: the stored name, else the label of the probe description ("50A", ...).
  LPCSTR GetProbeName() const { return m_strProbe.IsEmpty() ? (LPCSTR)m_Ranges.m_strLabel : (LPCSTR)m_strProbe; }
  int IsMinMaxTracking() const { return m_bActive; }
  int IsNewProbe() const { return m_Ranges.m_nChangeMark; }
  void ClearNewProbe() { m_Ranges.m_nChangeMark = 0; }

  // Offset, minimum and maximum 0, statistics not started, cached range none.
  void ClearValues();
};

// Nothing unless min/max tracking is on; rounds both values to their display precision and
// starts or widens the minimum and maximum of the zero-corrected value.
void UpdateReadingMinMax(MeterReading& reading);

// The ohmmeter and diode-test reading of the meter services.
struct COhmReading {
  CNxDoubleArray m_Ranges;  // range values; the description keeps the last probe kind and a changed mark
  double m_dDiodeRange = 0.0;
  CLinearMap m_OhmMap;
  SHORT m_nOhmMapIndex = -1;  // range index of m_OhmMap, -1 none
  CLinearMap m_DiodeMap;
  double m_dDiodeMapRange = 0.0;  // diode range value of m_DiodeMap
  bool m_bDiodeMapSet = false;
  double m_dValue = 0.0;  // raw minus offset, never below 0 (the displayed value)
  double m_dRawValue = 0.0;
  double m_dOffset = 0.0;
  int m_nValueExponent = 0;
  int m_nValueDecimals = 0;
  int m_nRawExponent = 0;
  int m_nRawDecimals = 0;
  int m_nMode = -1;       // mode of the last reading
  int m_bOverRange = 0;   // open circuit or above the fixed range

  int IsOpenCircuit() const { return m_bOverRange; }
  int GetProbeKind() const { return m_Ranges.m_nKind; }
  int IsNewProbe() const { return m_Ranges.m_nChangeMark; }
  // Range table emptied, diode range 0, both maps reset.
  void Reset();
  // Value, raw value, offset and their exponents and decimals 0.
  void ClearValues();
  // The raw value becomes the offset; the displayed value 0 with its exponent and decimals again.
  void Zero();
};

// The automatic re-arm check of the high-voltage measurements (20 bytes in the original layout):
// two running averages of the peak and a step counter (5 = the check has ended).
struct RearmRecord {
  double m_dFirstAverage = 0.0;
  double m_dSecondAverage = 0.0;
  int m_nStep = 0;
};
