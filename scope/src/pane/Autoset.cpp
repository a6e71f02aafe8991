#include <scope/pane/Autoset.h>

#include <scope/Snapshot.h>

#include "PanelTraces.h"

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/Notify.h>
#include <core/OscScale.h>
#include <core/Sound.h>
#include <core/Texts.h>

#include <platform/dcscope.h>

#include <algorithm>
#include <cmath>

namespace scope {

// ---- table searches -----------------------------------------------------------------------------

int FindRateAtLeast(const CMeasureProps& props, double x) {
  const CNxDoubleArray& rates = props.m_TimeBase.m_Rates;
  for (INT_PTR i = 0; i < rates.GetSize(); ++i)
    if (rates[i] >= x) return static_cast<int>(i);
  return -1;
}

int FindRateAtMost(const CMeasureProps& props, double x) {
  const CNxDoubleArray& rates = props.m_TimeBase.m_Rates;
  const int count = static_cast<int>(rates.GetSize());
  if (count == 0) return -1;
  int below = 0;
  for (int i = 0; i < count; ++i) {
    if (rates[i] == x) return i;
    if (rates[i] < x) below = i;
  }
  return below;
}

int FindRangeAtLeast(const CNxDoubleArray& ranges, double x) {
  int found = -1;
  for (INT_PTR i = 0; i < ranges.GetSize(); ++i) {
    if (ranges[i] == x) return static_cast<int>(i);
    if (ranges[i] >= x) found = static_cast<int>(i);
  }
  return found;
}

namespace {

bool OnWithProbe(const CChannelProps& c) { return c.m_nModeEnable && c.m_bEnabled; }

// A range limit of the probe, -1 when it lies outside the table.
int Limit(const CChannelProps& c, int index) { return index >= 0 && index < c.m_Ranges.GetSize() ? index : -1; }
int Widest(const CChannelProps& c) { return Limit(c, c.m_Ranges.m_nRangeLow); }
int Narrowest(const CChannelProps& c) { return Limit(c, c.m_Ranges.m_nRangeHigh); }

// Whether a range index lies between the channel's two limits (in either order).
bool InRangeWindow(const CChannelProps& c, int index) {
  const int a = Widest(c), b = Narrowest(c);
  return index >= std::min(a, b) && index <= std::max(a, b) && index >= 0;
}

void RefreshShownChannels(GlobalProps& props) {
  int shown = 0;
  for (int ch = 0; ch < 2; ++ch)
    if (OnWithProbe(props.m_Channels[ch])) shown |= 1 << ch;
  props.m_nShownChannels = shown;
}

void NotifyScope(notify::Code code) {
  NotifySystem(notify::kFromAnyone, code);
}

// The sample count of `periods` periods of T samples, as a rate that fits them into 1000 points.
double RateForPeriods(double periods, double meanPeriod, double rate) {
  const double samples = std::trunc(periods * meanPeriod);
  if (!(samples > 0.0) || !(rate > 0.0)) return HUGE_VAL;
  return 1000.0 / (samples / rate);
}

}  // namespace

// ---- the panel ----------------------------------------------------------------------------------

CWndOsc_Autoset::CWndOsc_Autoset(CMeasureEngine* engine, CSound* sound)
    : m_pEngine(engine ? engine : &GetMeasureEngine()), m_pSound(sound ? sound : &GetSound()) {}

CWndOsc_Autoset::~CWndOsc_Autoset() = default;

BOOL CWndOsc_Autoset::CreateChildren() {
  if (!m_Font.GetSafeHandle())
    m_Font.CreateFont(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, GetGlobalProps().GetCharSet(), OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
  return TRUE;
}

CRect CWndOsc_Autoset::ProgressRect() const {
  const CRect& c = m_rcClient;
  const int w = c.Width(), h = c.Height();
  CRect r;
  r.left = c.left + static_cast<int>(w / 15.88);
  r.right = c.right - static_cast<int>(w / 15.88);
  r.top = c.top + static_cast<int>(h / 2) - static_cast<int>(h / 53.8);
  r.bottom = c.bottom + static_cast<int>(h / 48.909) - static_cast<int>(h / 2);
  return r;
}

void CWndOsc_Autoset::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (m_Progress.GetSafeHwnd()) m_Progress.MoveWindow(ProgressRect(), TRUE);
}

void CWndOsc_Autoset::PaintContent(CDC* dc) {
  dc->FillSolidRect(m_rcClient, GetSchemeColor(6));
  const CRect bar = ProgressRect();
  CRect band(bar.left, bar.top - 25, bar.right, bar.top - 5);
  // A font not made yet leaves the DC's own.
  kvp::DcSelect font(dc, &m_Font);
  dc->SetBkMode(TRANSPARENT);
  dc->DrawText(CString(GetDefaultText(TEXT_IN_PROGRESS)), band, DT_BOTTOM | DT_SINGLELINE);
}

void CWndOsc_Autoset::ProgressStep() {
  ++m_nProgress;
  if (m_Progress.GetSafeHwnd())
    m_Progress.OffsetPos(1);
  if (GetSafeHwnd()) Redraw();
}

// ---- the search ---------------------------------------------------------------------------------

int CWndOsc_Autoset::Start() {
  m_pWait.reset();
  m_pWait = std::make_unique<CWaitCursor>();
  m_nProgress = 0;
  if (GetSafeHwnd()) {
    if (m_Progress.GetSafeHwnd()) m_Progress.DestroyWindow();
    m_Progress.Create(WS_CHILD | WS_VISIBLE | PBS_SMOOTH, ProgressRect(), this, ID_PROGRESS);
    m_Progress.SetRange(0, PROGRESS_STEPS);
    m_Progress.SetPos(0);
  }
  GlobalProps& props = GetGlobalProps();
  CopySettings(props, m_UserSettings, true, false);
  m_nIteration = 0;
  m_nLowest = FindRateAtLeast(props, 1000.0);
  m_nStart = FindRateAtLeast(props, 5000.0);
  m_nHighest = static_cast<int>(props.m_TimeBase.m_Rates.GetSize()) - 1;
  m_Work[0] = Work();
  m_Work[1] = Work();

  // Nothing to measure, or no rate fast enough to start with: the settings stay as they are.
  const bool anyChannel = OnWithProbe(props.m_Channels[0]) || OnWithProbe(props.m_Channels[1]);
  if (!anyChannel || m_nStart < 0) return 0;

  // Each channel starts in the middle of its allowed ranges.
  for (int ch = 0; ch < 2; ++ch) {
    CChannelProps& c = props.m_Channels[ch];
    if (!OnWithProbe(c) || c.m_Ranges.GetSize() == 0) continue;
    int widest = Widest(c), narrowest = Narrowest(c);
    if (widest < 0 || narrowest < 0) {
      widest = 0;
      narrowest = static_cast<int>(c.m_Ranges.GetSize()) - 1;
    }
    // The range and the channel mode go to the board whether or not they change.
    c.SetRangeIndex(widest + (narrowest - widest + 1) / 2, Send::Always);
    c.TakeProbeChangeMark();
    c.SetChannelMode(c.m_nCoupling, Send::Always);
  }
  props.m_nRollSampleCount = 0;
  props.RequestTimeBaseIndex(m_nStart, Send::Always);
  props.SetTimeBaseIndex(m_nStart, FALSE, FALSE);
  props.SetTriggerMode(-1);
  props.SetSlowRateModifier(0);
  props.SetHorizontalOffset(0);
  props.m_bAutosetActive = 1;
  return 1;
}

int CWndOsc_Autoset::GetResult(CMeasureProps& settings) {
  ProgressStep();
  CopySettings(GetGlobalProps(), settings, true, false);
  return 1;
}

void CWndOsc_Autoset::MeasureChannel(int ch, AcquisitionRecord& record, bool first) {
  Work& w = m_Work[ch];
  const CChannelProps& c = record.m_Settings.m_Channels[ch];
  CMeasure* trace = DisplayTrace(ch);
  w.m_bPresent = 0;
  if (!OnWithProbe(c) || !trace) return;
  w.m_bPresent = 1;
  w.m_nStep = first ? 2 : m_nIteration + 1;
  w.m_nRange = c.m_nRangeIndex;
  w.m_nTimeBase = record.m_Settings.GetTimeBaseIndex();

  // The trace shows the record.
  const int multiplier = trace->m_nMultiplier;
  trace->Reset();
  trace->SetSize(RECORD_POINTS);
  static_cast<CSignalData&>(*trace) = record.m_Signal[ch];
  trace->m_nMultiplier = multiplier;
  const double rate = std::trunc(record.m_Settings.m_TimeBase.GetValueOrZero());
  trace->SetTimeBase(rate);
  trace->m_dReserved = 0.0;
  trace->m_pScale = &GetOscScale().m_Vertical[ch];
  trace->FindMinMax();
  trace->MeasurePeriod(w.m_Period);

  // Clipping against the record's range.
  const double range = c.GetRangeValue();
  w.m_dLower = -range / 2.0;
  w.m_dUpper = range / 2.0;
  if (w.m_dLower > trace->m_dMin || w.m_dUpper < trace->m_dMax) {
    w.m_nClip = CLIPPED;
    if (first) w.m_nStep = 1;
    w.m_nProposed = Widest(c);
  } else {
    w.m_nClip = FITS;
    w.m_nProposed = FindRangeAtLeast(c.m_Ranges, 2.0 * std::max(trace->m_dMax, -trace->m_dMin));
  }

  // Periods and the time-base candidates.
  const double periods = w.m_Period.m_dHalfPeriods;
  w.m_nPeriods = periods < 3.0 ? TOO_FEW : periods > 10.0 ? TOO_MANY : GOOD;
  const double mean = w.m_Period.m_dMeanPeriod;
  const double recordRate = record.m_Settings.m_TimeBase.GetValueOrZero();
  if (first && periods < 1.0) {
    w.m_nFor10 = w.m_nFor3 = m_nLowest;
    w.m_nStep = 1;
  } else if (first && mean <= 4.0) {
    w.m_nFor10 = w.m_nFor3 = FindRateAtMost(record.m_Settings, recordRate * 125.0);
    w.m_nStep = 1;
  } else {
    w.m_nFor3 = std::clamp(FindRateAtMost(record.m_Settings, RateForPeriods(3.0, mean, recordRate)), m_nLowest,
                           m_nHighest);
    w.m_nFor10 = std::clamp(FindRateAtLeast(record.m_Settings, RateForPeriods(10.0, mean, recordRate)), m_nLowest,
                            m_nHighest);
    if (w.m_nFor10 > w.m_nFor3) w.m_nFor3 = w.m_nFor10;
  }
}

void CWndOsc_Autoset::SetTriggerLevel(int ch) {
  GlobalProps& props = GetGlobalProps();
  props.UpdateTriggerScale();
  const CLinearMap& map = props.m_TriggerLevelMap;
  const int middle = static_cast<int>(std::trunc(map.ToStep(m_Work[ch].m_Period.m_dMiddle)));
  const int zero = static_cast<int>(std::trunc(map.ToStep(0.0)));
  const int level = ClampLevel(std::abs(middle - zero) < 2 ? zero : middle);
  if (level != props.m_nTriggerLevel) props.SetTriggerLevelIndex(level);
}

void CWndOsc_Autoset::ChooseTimeBase(const AcquisitionRecord& record) {
  int highest10 = -1, lowest3 = -1;
  bool any = false;
  for (const Work& w : m_Work) {
    if (!w.m_bPresent) continue;
    highest10 = any ? std::max(highest10, w.m_nFor10) : w.m_nFor10;
    lowest3 = any ? std::min(lowest3, w.m_nFor3) : w.m_nFor3;
    any = true;
  }
  if (!any) return;
  int choice = -1;
  if (highest10 <= lowest3) {
    choice = static_cast<int>(std::trunc((highest10 + lowest3 + 1) * 0.5));
  } else if (OnWithProbe(record.m_Settings.m_Channels[0]) && OnWithProbe(record.m_Settings.m_Channels[1])) {
    const Work& t = m_Work[m_nTriggerChannel];
    const Work& other = m_Work[1 - m_nTriggerChannel];
    if (t.m_nFor10 == t.m_nFor3)
      choice = t.m_nFor10;
    else if (t.m_nFor10 < t.m_nFor3)
      choice = t.m_nFor10 > other.m_nFor3 ? t.m_nFor10 : t.m_nFor3;
  }
  if (choice < m_nLowest || choice > m_nHighest || choice < 0) return;
  GlobalProps& props = GetGlobalProps();
  if (choice == props.GetTimeBaseIndex() && choice == props.m_nRequestedTimeBaseIndex) return;
  props.RequestTimeBaseIndex(choice, Send::Always);
  props.SetTimeBaseIndex(choice, TRUE, FALSE);
}

int CWndOsc_Autoset::OnMeasure(AcquisitionRecord& record) {
  const bool first = m_nIteration == 0;
  m_nTriggerChannel = record.m_Settings.m_nTriggerChannel == 1 ? 1 : 0;
  for (int ch = 0; ch < 2; ++ch) MeasureChannel(ch, record, first);
  Apply(record, true);
  if (m_nIteration >= MAX_ITERATION) return Finished(record);

  GlobalProps& props = GetGlobalProps();
  props.ClearChanges();
  int combined = 0;
  bool seen = false;
  for (const Work& w : m_Work) {
    if (!w.m_bPresent) continue;
    if (!seen)
      combined = w.m_nStep;
    else if (combined != w.m_nStep)
      combined = -1;
    seen = true;
  }
  for (int ch = 0; ch < 2; ++ch) {
    const Work& w = m_Work[ch];
    if (!w.m_bPresent) continue;
    const CChannelProps& c = props.m_Channels[ch];
    if (!(w.m_nProposed == -1 && w.m_nRange == -1) && InRangeWindow(c, w.m_nProposed) &&
        w.m_nProposed != c.m_nRangeIndex)
      props.SetChannelRangeIndex(ch, w.m_nProposed, FALSE, FALSE);
    if (ch == m_nTriggerChannel) SetTriggerLevel(ch);
  }
  ChooseTimeBase(record);

  ProgressStep();
  if (!props.IsChanged()) return Finished(record);
  if (m_nIteration == 0) {
    const Work& t = m_Work[m_nTriggerChannel];
    m_nIteration = (combined == 1 || (t.m_bPresent && t.m_nStep == 1)) ? 1 : 2;
  } else {
    ++m_nIteration;
  }
  CopySettings(props, record.m_Settings, true, false);
  return 1;
}

int CWndOsc_Autoset::Finished(AcquisitionRecord& record) {
  GlobalProps& props = GetGlobalProps();
  props.m_bAutosetActive = 0;
  props.SetTriggerMode(1, Send::Always);
  props.SetTimeBaseIndex(props.GetTimeBaseIndex(), TRUE, TRUE);
  CopySettings(props, record.m_Settings, true, false);
  m_pSound->Play(2, FALSE, TRUE, FALSE);
  return 1;
}

void CWndOsc_Autoset::Apply(AcquisitionRecord& record, bool notify) {
  GlobalProps& props = GetGlobalProps();
  CopySettings(record.m_Settings, props, false, false);
  for (int ch = 0; ch < 2; ++ch) {
    if (!OnWithProbe(props.m_Channels[ch])) continue;
    props.UpdateChannelVoltScale(ch, TRUE, -1);
    if (ch == props.m_nTriggerChannel) {
      props.UpdateTriggerScale();
      props.SetTriggerLevelIndex(props.m_nTriggerLevel);
    }
  }
  RefreshShownChannels(props);
  props.RequestTimeBaseIndex(props.GetTimeBaseIndex());
  props.SetTimeBaseIndex(props.GetTimeBaseIndex(), TRUE, TRUE);
  if (notify) {
    NotifyScope(notify::kSettingsReplaced);
    NotifyScope(notify::kNewRecord);
  }
}

void CWndOsc_Autoset::Finish(AcquisitionRecord* record) {
  GlobalProps& props = GetGlobalProps();
  if (record) {
    CMeasureProps& s = record->m_Settings;
    s.SetTriggerMode(1);
    s.SetTimeBaseIndex(s.GetTimeBaseIndex(), FALSE, TRUE);
    s.SetTriggerLevelIndex(s.m_nTriggerLevel);
    s.RequestRun();
    Apply(*record, false);
    props.SetTriggerLevelIndex(props.m_nTriggerLevel);
    props.SetTriggerPosition(props.m_dTriggerPosition);
    props.ClearChanges();
    NotifyScope(notify::kSettingsReplaced);
    NotifyScope(notify::kNewRecord);
  } else {
    CStringArrayEx lines;
    if (m_pEngine->ReadChannelInfo(props, lines)) {
      // Through the setter, marked: the board still holds the mode autoset measured in.
      props.SetTriggerMode(1, Send::Always);
      props.SetTimeBaseIndex(props.GetTimeBaseIndex(), TRUE, TRUE);
      props.SetTriggerLevelIndex(props.m_nTriggerLevel);
      props.SetTriggerPosition(props.m_dTriggerPosition);
      NotifyScope(notify::kSettingsReplaced);
    }
  }
  m_pWait.reset();
}

}  // namespace scope
