// CWndOsc_Autoset: the autoset panel and its search. Autoset measures its way to settings that
// show the switched-on channels without clipping, 3 to 10 signal periods in the 1000-point
// record and a trigger level at the middle of the trigger channel's signal: it starts a run with
// chosen settings, looks at each record, adjusts GlobalProps and hands them back for the next
// record, and stops after at most five records (sound 2 when done). While it runs the pane shows
// only this panel, with a progress bar (0..6) and "Autoset in progress. Please wait...", and the
// wait cursor stays up. Everything runs on the GUI thread inside WM_OSCMEASURE handling.
#pragma once

#include <scope/pane/WndOsc.h>

#include <core/SignalData.h>

#include <ui/XPWndBaseColor.h>

#include <platform/afxctrl.h>
#include <platform/afxgdi.h>

#include <memory>

class CMeasureEngine;
class CNxDoubleArray;
class CSound;

namespace scope {

// Searches on the ascending rate table of a settings record.
// The first index whose rate is at least x; -1 when none.
int FindRateAtLeast(const CMeasureProps& props, double x);
// The index of a rate equal to x; else the last index whose rate is below x (0 when x is below
// the first rate, the last index when x is above every rate); -1 for an empty table.
int FindRateAtMost(const CMeasureProps& props, double x);
// On a descending range table: the index of a range equal to x, else the last index whose range
// is at least x; -1 when even the first (largest) range is below x.
int FindRangeAtLeast(const CNxDoubleArray& ranges, double x);

class CWndOsc_Autoset : public CXPWndBaseColor, public IScopeAutoset {
 public:
  enum { ID_PROGRESS = 1000, PROGRESS_STEPS = 6, TEXT_IN_PROGRESS = 37, MAX_ITERATION = 4, RECORD_POINTS = 1000 };
  enum Clip { CLIPPED = 1, FITS = 3 };
  enum Periods { TOO_MANY = 1, TOO_FEW = 2, GOOD = 3 };

  // One channel's findings in the current record.
  struct Work {
    int m_bPresent = 0;      // on, with a probe and a display trace
    int m_nClip = 0;         // CLIPPED or FITS
    int m_nRange = -1;       // the record's range index
    int m_nProposed = -1;    // proposed range index
    double m_dLower = 0.0;   // -range / 2
    double m_dUpper = 0.0;   // +range / 2
    int m_nPeriods = 0;      // TOO_MANY, TOO_FEW or GOOD
    int m_nTimeBase = -1;    // the record's time-base index
    int m_nFor10 = -1;       // time-base candidate for 10 periods
    int m_nFor3 = -1;        // for 3 periods
    int m_nStep = 0;         // 2 first record, else iteration + 1; 1 after a coarse step
    PeriodResult m_Period;
  };

  // The program's engine and sound unless a test hands its own.
  explicit CWndOsc_Autoset(CMeasureEngine* engine = nullptr, CSound* sound = nullptr);
  ~CWndOsc_Autoset() override;

  // IScopeAutoset.
  int Start() override;
  int GetResult(CMeasureProps& settings) override;
  int OnMeasure(AcquisitionRecord& record) override;
  void Finish(AcquisitionRecord* record) override;

  // GlobalProps takes the record's settings (the display shows what was measured); with notify
  // the scope hears (-1, 38) and (-1, 26).
  void Apply(AcquisitionRecord& record, bool notify);

  // The panel.
  BOOL CreateChildren() override;
  void PaintContent(CDC* dc) override;
  void RecalcLayout() override;
  CRect ProgressRect() const;

  const Work& GetWork(int channel) const { return m_Work[channel == 1 ? 1 : 0]; }
  int GetIteration() const { return m_nIteration; }
  int GetProgress() const { return m_nProgress; }
  bool IsWaiting() const { return m_pWait != nullptr; }
  const CMeasureProps& GetUserSettings() const { return m_UserSettings; }

 private:
  void ProgressStep();
  void MeasureChannel(int channel, AcquisitionRecord& record, bool first);
  int Finished(AcquisitionRecord& record);
  void ChooseTimeBase(const AcquisitionRecord& record);
  void SetTriggerLevel(int channel);

  CMeasureEngine* m_pEngine;
  CSound* m_pSound;
  CProgressCtrl m_Progress;
  Work m_Work[2];
  CFont m_Font;
  CMeasureProps m_UserSettings;  // the settings when autoset started
  int m_nTriggerChannel = 0;
  int m_nIteration = 0;
  int m_nLowest = -1;
  int m_nHighest = -1;
  int m_nStart = -1;
  int m_nProgress = 0;
  std::unique_ptr<CWaitCursor> m_pWait;
};

}  // namespace scope
