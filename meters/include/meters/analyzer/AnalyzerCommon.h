// What the record analyzer's windows share: the notification senders and codes through which
// they talk (always via the registered analyzer sink, never directly), the window classes they
// register, and the texts of their read-outs (values with units, time scales and differences).
#pragma once

#include <core/Notify.h>

#include <platform/afx.h>
#include <platform/afxwin.h>

class CRecord;

namespace analyzer {

enum Sender : int {
  kFromMain = -1,  // the main window on quit; the chart when a level thumb is dragged
  kFromChartId = 2,
  kFromPane = 11,
  kFromTimeLine = 12,
  kFromTools = 13,
  kFromControlPanel = 14,
  kFromChartCursor = 15,
  kFromRecordList = 16,
  kFromCursorsArea = 17,
};

enum Code : int {
  kInit = 0,
  kQuit = 1,
  kTimeLineMoved = 55,
  kNewData = 56,
  kLevelMoved = 57,
  kDataLoaded = 60,
  kHZoomChanged = 61,
  kAZoomAChanged = 62,
  kAZoomBChanged = 63,
  kStepNext = 64,
  kStepBack = 65,
  kToStart = 66,
  kToEnd = 67,
  kPlayTick = 68,
  kPlaySpeed = 69,
  kProgress = 70,
  kNoRecords = 71,
  kDataReplaced = 72,
  kTransferBegins = 73,
  kDataReady = 74,
  kPrint = 75,
  kRecordsDeleted = 76,
  kCursorL = 77,
  kCursorR = 78,
  kCursorsShown = 79,
  kSaved = 80,
};

// The main window's quit reaches this sink from below (<core/Notify.h>) with these values.
static_assert(kFromMain == notify::kAnalyzerFromMain && kQuit == notify::kAnalyzerQuit);

// Hands (sender, code, value) to the registered analyzer sink, if any.
void Notify(int sender, int code, int value = 0);

// Registers a window class once (default window procedure, background brush value 5, the cursor
// of a cursor resource); throws std::runtime_error when it can be neither found nor registered.
void EnsureWindowClass(const char* name, UINT style, int cursorResource);
// A cursor resource of the shared holder, else the arrow.
HCURSOR AnalyzerCursor(int resourceId);

// A value with the record's unit: below 1 in magnitude with a sub-unit prefix and no decimals
// forced; else with an engineering prefix, `decimals` decimals and the unit.
CString FormatUnitValue(double value, LPCSTR unit, int decimals);
// A time in seconds: below 1 s with a sub-unit prefix (`smallDecimals`), else with an engineering
// prefix, `decimals` decimals and "s".
CString FormatSeconds(double seconds, int smallDecimals, int decimals);
// The unit text of a record ("V", "A" or empty).
LPCSTR RecordUnit(const CRecord& record);

// The status area's time scale per division of record k under zoom z ("---" at rate 0).
CString TimeScaleText(const CRecord& record, int zoom, int last);
// The status area's signal scale of a record at an amplitude step ("---" when not finite).
CString SignalScaleText(const CRecord& record, int amplitudeStep);

// The cursors area's rows for one column (record index 0 or 1) with the cursors at l and r.
struct CursorRows {
  CString timeDiff;
  CString ampDiff;
  CString atL;
  CString atR;
};
CursorRows CursorRowTexts(int column, double l, double r);
// The text of record k at sample s ("---" when missing, outside or invalid; ">"/"<" at range).
CString CursorValueText(const CRecord* record, int s);
// Whether both cursors lie in one 1000-sample segment (always for a continuous first record).
bool CursorsEvaluable(const CRecord& first, int l, int r);

}  // namespace analyzer
