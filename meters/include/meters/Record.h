// CRecord: one recorded channel (raw samples in a ring, the channel's scaling and the drawing
// style the record analyzer uses), and the global record list that the record command, the
// recorder thread's hand-over and the record-file reader fill.
//
// One store per sample: a record keeps each sample once, as the int16 in its ring, and its point
// count; value, validity and clip code of a point are derived from the raw sample on demand. The
// base CSignalBuffer's arrays stay empty. A gap marker is a raw -32768 directly followed by 32767
// (the acquisition path writes it between two segments that do not join): both points read as
// value 0, valid, with the clip code of a raw 0.
//
// Threads: records and the list belong to the GUI thread. While the acquisition engine's recorder
// feed is set, the acquisition thread appends to the rings (the list does not change meanwhile);
// the recorder thread works on rings moved out of the records and never touches them.
#pragma once

#include <core/Coupling.h>
#include <core/Scale.h>
#include <core/SignalData.h>
#include <core/TraceStyle.h>
#include <core/ValueArrays.h>

#include <platform/afx.h>
#include <platform/gdi.h>

#include <cstdint>

// The style record a record is drawn with (copied by CRecord::SetStyle).
struct CRecordStyle {
  enum { VALID = 0x1 };
  COLORREF m_crColor = 0;
  HGDIOBJ m_hPen = 0;
  HGDIOBJ m_hBrush = 0;
  int m_nWidth = 0;
  int m_nStyle = 0;
  int m_nFlags = 0;  // VALID once the record may be drawn
  CString m_strName;
};

class CRecord : public CSignalBuffer {
 public:
  enum { CLIP_NONE = 0, CLIP_UPPER = 1, CLIP_LOWER = 2 };
  enum { UNIT_VOLT = 0, UNIT_AMPERE = 1, UNIT_NONE = 10 };
  static constexpr SHORT kGapStart = -32768;  // first raw sample of a gap marker
  static constexpr SHORT kGapEnd = 32767;     // second raw sample of a gap marker

  // Whether a gap marker starts at a raw sample `raw` whose next sample is `next`: the one test
  // of a marker for every walk over a ring, whichever way it reads the samples.
  static constexpr bool IsGapAt(int raw, int next) { return raw == kGapStart && next == kGapEnd; }

  CRecord();
  ~CRecord() override;
  CRecord(const CRecord&) = delete;
  CRecord& operator=(const CRecord&) = delete;

  CNxRoundShortIntArray m_Ring;  // raw samples; appending beyond the capacity drops the oldest
  int m_nPointCount = 0;         // points of the record (samples may be fewer)
  SHORT m_nRawUpper = 0x7FFF;    // raw values at or above it are clipped high
  SHORT m_nRawLower = -0x8000;   // raw values at or below it are clipped low
  double m_dUpperValue = 0.0;    // the limits in the channel's unit
  double m_dLowerValue = 0.0;
  COLORREF m_crColor = 0x00FF00;   // trace colour
  int m_nPenStyle = 2;
  COLORREF m_crColor2 = 0x00FF00;  // fill and marker colour
  int m_nStyle2 = 3;               // its style; also the pattern kind of the out-of-range bands
  HGDIOBJ m_hPen = 0;
  HGDIOBJ m_hPen2 = 0;
  HGDIOBJ m_hBrush = 0;
  CScale m_Scale;           // the value axis
  CRecordStyle m_Style;     // colour, width, style, name, valid flag
  CTraceStyle m_Level;      // the record's level mark: bit 0 shown, position, scale, colour
  double m_dSampleRate = 0.0;   // samples per second (per degree in angle mode)
  double m_dPerDivision = 0.0;  // volts (amperes) per division
  int m_nUnit = UNIT_NONE;
  double m_dFullScale = 0.0;  // the value of raw 32767
  int m_bSaved = 0;
  int m_bTransferPending = 0;  // waits for the recorder thread
  int m_bRoll = 0;             // the acquisition path fills the ring
  int m_bAngle = 0;            // the sample axis counts degrees
  int m_bDirect = 0;           // the recorder thread reads the board itself
  SHORT m_nChannel = 0;        // board channel (0 A, 1 B)
  int m_nCoupling = 0;         // 1 AC, 0 DC (as record files store it): use Get/SetCoupling
  int m_bContinuous = 0;       // finished or loaded with no gap marker in the ring

  // The coupling in the program's terms; the record's own number (1 AC) is written only here.
  Coupling GetCoupling() const { return m_nCoupling == 1 ? Coupling::AC : Coupling::DC; }
  void SetCoupling(Coupling coupling) { m_nCoupling = coupling == Coupling::AC ? 1 : 0; }

  // ---- points, derived from the ring ---------------------------------------------------------
  int GetPointCount() const { return m_nPointCount; }
  // Samples stored (the ring's length).
  int GetSampleCount() const { return m_Ring.GetCount(); }
  SHORT GetRaw(int i) const { return m_Ring.get(i); }
  // A point below the point count for which a sample is stored.
  bool IsPointValid(int i) const { return i >= 0 && i < m_nPointCount && i < m_Ring.GetCount(); }
  // Whether point i belongs to a gap marker.
  bool IsGap(int i) const;
  // full x raw / 32767; 0 in a gap and for an invalid point.
  double GetPointValue(int i) const;
  // CLIP_UPPER at or above the raw upper limit, CLIP_LOWER at or below the lower, else CLIP_NONE;
  // in a gap, the code of a raw 0. 0 for an invalid point.
  int GetClipCode(int i) const;
  // Whether the ring holds a gap marker.
  bool HasGap() const;

  // Stores the raw sample of point `position`: the next position after the stored samples is
  // appended to the ring (the value follows from the raw sample); any other is ignored. Returns
  // the position, or -1 when nothing was stored.
  int SetPoint(int position, SHORT raw);
  // The value axis for a chart of the given pixel height: 10 divisions from +5 to -5 divisions
  // of the per-division value (top to bottom), origin 0.
  void SetScale(int pixelHeight);
  // Copies colour, pen and brush handles, width, style, flags and name.
  void SetStyle(const CRecordStyle& style);
  // The level mark: shown, at 0, against the record's scale, in the second colour.
  void SetLevelRecord();
  // Sets the continuous flag from the ring.
  void UpdateContinuous() { m_bContinuous = HasGap() ? 0 : 1; }
  int GetPatternKind() const { return m_nStyle2; }
  int GetTraceWidth() const { return m_Style.m_nWidth; }
  // The limit values from the raw limits: full x limit / 32767.
  void SetLimitValues();
  // The look a finished or loaded record gets from its index: name "%d" of index + 1, scheme
  // colour of the index, fill lightened by 170, width, valid style, level mark, continuous flag
  // and the scale for the chart height.
  void FinishLook(int index, int chartHeight);

 private:
  int ClipOf(int raw) const;
};

typedef CArray<CRecord*, CRecord*> CRecordList;

// The global list, in channel order.
CRecordList& GetRecordList();
// Appends a new record and writes its index (when index is not null); null when appending failed
// (the record is destroyed then).
CRecord* AddNewRecord(int* index);
// Deletes every record and empties the list, then notifies the analyzer sink with (16, 76, 0)
// when one is registered. GUI thread only.
void ClearRecordList();
// Changed by every clear and add: a transfer compares it to know whether its records still stand.
uint64_t GetRecordListGeneration();
// The chart height the records' scales are set for (the analyzer's chart sets it).
void SetRecordChartHeight(int height);
int GetRecordChartHeight();
