#include <core/GlobalProps.h>

#include <core/ColorScheme.h>
#include <core/Measure.h>
#include <core/NumberFormat.h>
#include <core/OscScale.h>
#include <core/Texts.h>


#include <cmath>

namespace {

// The board oscilloscope's sample rates as the library reports them: the time base until a board
// gives its own table, so a scope without a board still has its default time base.
constexpr double kBoardSampleRates[] = {20,     50,     100,    200,     500,     1000,    2000,    5000,    10000,
                                        20000,  50000,  100000, 200000,  500000,  1000000, 2000000, 5000000, 10000000};

}  // namespace

GlobalProps& GetGlobalProps() {
  static GlobalProps props;
  return props;
}

GlobalProps::GlobalProps() : m_pGetText(&GetDefaultLanguageText), m_pGetCharSet(&GetDefaultCharSet) {}

const char* GlobalProps::GetText(int id) const {
  const GetTextProc get = m_pGetText.load();
  const char* text = get ? get(id) : nullptr;
  return text ? text : "";
}

BYTE GlobalProps::GetCharSet() const {
  const GetCharSetProc get = m_pGetCharSet.load();
  return get ? get() : GetDefaultCharSet();
}

void GlobalProps::FillStyles() {
  COscScale& scale = GetOscScale();
  struct Prepared {
    const char* name;
    int color;
    CScale* axis;
    int flags;
    int signal;
    double value;
  };
  const Prepared prepared[STYLE_COUNT] = {
      {"C", 10, &scale.m_TimeAxis, 0, 0, 0.0},
      {"C", 11, &scale.m_TimeAxis, 0, 0, 0.0},
      {"T", 9, &scale.m_TimeAxis, 0, 0, 0.0},
      {"B", 5, &scale.m_Vertical[COscScale::AXIS_B], 1, 1, 0.0},
      {"A", 4, &scale.m_Vertical[COscScale::AXIS_A], 1, 1, 0.0},
      {"T", 9, &scale.m_Vertical[COscScale::AXIS_A], 1, 0, 1.0},
      {"C", 30, &scale.m_Vertical[COscScale::AXIS_C], 0, 1, 0.0},
      {"D", 31, &scale.m_Vertical[COscScale::AXIS_D], 0, 1, 0.0},
      {"E", 32, &scale.m_Vertical[COscScale::AXIS_E], 0, 1, 0.0},
      {"F", 33, &scale.m_Vertical[COscScale::AXIS_F], 0, 1, 0.0},
  };
  for (int i = 0; i < STYLE_COUNT; ++i) {
    CTraceStyle style;
    style.m_strName = prepared[i].name;
    style.m_crColor = GetSchemeColor(prepared[i].color);
    style.m_pScale = prepared[i].axis;
    style.m_nFlags = prepared[i].flags;
    style.m_nSignal = prepared[i].signal;
    style.m_dValue = prepared[i].value;
    m_Styles[i].SetEntry(style, i < CURSOR_STYLE_COUNT ? i : i - CURSOR_STYLE_COUNT);
  }
  SetCursorsOn(m_bCursorsOn);
}

void GlobalProps::SetCursorsOn(BOOL on) {
  m_bCursorsOn = on;
  SetFlagBits(m_Styles[STYLE_CURSOR_LEFT].m_nFlags, 1, on);
  SetFlagBits(m_Styles[STYLE_CURSOR_RIGHT].m_nFlags, 1, on);
}

double GlobalProps::SetTriggerPosition(double position) {
  m_nChangeFlags |= CHG_TRIGGER_POSITION;
  m_dTriggerPosition = position;
  m_dTriggerPositionTime = GetOscScale().m_TimeMap100.ToValue(position);
  m_Styles[STYLE_TRIGGER_POSITION].m_dValue = m_dTriggerPositionTime;
  return m_dTriggerPositionTime;
}

void GlobalProps::SetTriggerLevelIndex(int step) {
  CMeasureProps::SetTriggerLevelIndex(step);
  m_Styles[STYLE_TRIGGER_LEVEL].m_dValue = m_TriggerLevelMap.ToValue(m_nTriggerLevel);
}

void GlobalProps::SetTriggerLevelToZero() {
  // A collapsed scale (no probe on the trigger channel) has no step for 0 V: take the middle.
  const double step = m_TriggerLevelMap.ToStep(0.0);
  SetTriggerLevelIndex(std::isfinite(step) ? static_cast<int>(std::fmax(-1.0, std::fmin(step, 257.0))) : 128);
}

void GlobalProps::UpdateTriggerScale() {
  CMeasureProps::UpdateTriggerScale();
  m_Styles[STYLE_TRIGGER_LEVEL].m_dValue = m_TriggerLevelMap.ToValue(m_nTriggerLevel);
}

void GlobalProps::UpdateChannelVoltScale(int channel, BOOL recompute, int position) {
  CChannelProps* c = GetChannel(channel);
  if (!c) return;
  if (position < 0) position = c->m_nPosition < 0 ? 50 : c->m_nPosition;
  const double v = c->PerDivision(c->GetRangeValue());
  CScale& axis = GetOscScale().m_Vertical[channel];
  axis.SetDivisions(-5.0 * v, 5.0 * v, 10, v, false);
  // The zero line sits at the position's tick: 100 ticks over the 10 divisions.
  axis.m_dStart = (50 - position) * axis.m_dSpan / 100.0;
  if (recompute) axis.Recompute();
  c->m_dAxisBottom = axis.m_dDirection * axis.m_dStart + axis.m_dOrigin;
  c->m_dAxisTop = c->m_dAxisBottom + axis.m_dDirection * axis.m_dSpan;
  c->m_nMarkWord &= ~1;
}

void GlobalProps::RescaleChannel(int channel) { UpdateChannelVoltScale(channel, TRUE, -1); }

BOOL GlobalProps::SetChannelPosition(int channel, int position) {
  CChannelProps* c = GetChannel(channel);
  if (!c || static_cast<unsigned>(position) > 100u) return FALSE;
  UpdateChannelVoltScale(channel, TRUE, position);
  c->m_nPosition = position;
  return TRUE;
}

void GlobalProps::RecomputeTimeBase(BOOL keepOffset, BOOL moveTriggerMarker) {
  const double recordTime = GetRecordTime();
  CStepScale& steps = GetTimeStepScale();
  steps.Set(0.0, recordTime);
  COscScale& scale = GetOscScale();
  const int zoom = steps.m_nCurrentStep > 0 ? steps.m_nCurrentStep : 1;
  scale.m_TimeAxis.SetDivisions(0.0, recordTime, zoom, steps.m_dStepSize, false);
  if (!keepOffset) scale.m_nHorizontalOffset = 0;
  scale.SetTimeOffset(scale.m_nHorizontalOffset);
  scale.m_TimeMap100.Set(0.0, recordTime, 0.0, 100.0);
  scale.m_TimeMap1000.Set(0.0, recordTime, 0.0, 1000.0);
  if (moveTriggerMarker) {
    m_dTriggerPositionTime = scale.m_TimeMap100.ToValue(m_dTriggerPosition);
    m_Styles[STYLE_TRIGGER_POSITION].m_dValue = m_dTriggerPositionTime;
  }
}

BOOL GlobalProps::SetTimeBaseIndex(int index, BOOL rescaleCursors, BOOL force) {
  const CLinearMap before = GetOscScale().m_TimeMap1000;
  if (!CMeasureProps::SetTimeBaseIndex(index, rescaleCursors, force)) return FALSE;
  if (rescaleCursors) RecomputeTimeBase(TRUE, TRUE);
  // The cursors keep their screen step: whole steps under the old map, times under the new one.
  const CLinearMap& after = GetOscScale().m_TimeMap1000;
  for (int i : {STYLE_CURSOR_LEFT, STYLE_CURSOR_RIGHT}) {
    const double step = before.ToWholeStep(m_Styles[i].m_dValue, StepRounding::Nearest);
    m_Styles[i].m_dValue = after.ToValue(step);
  }
  return TRUE;
}

void GlobalProps::PrepareStartupDefaults() {
  LoadColorScheme("Colors.ini");

  m_nRecordLength = 1000;
  m_nTriggerChannel = 0;
  m_nTriggerSourceKind = 0;
  CStepScale& steps = GetTimeStepScale();
  steps.m_nSteps = 20;
  steps.m_nCurrentStep = 10;
  steps.m_nTicks = 10;
  CStepScale& vertical = GetVerticalGrid();
  vertical.m_nSteps = vertical.m_nCurrentStep = vertical.m_nTicks = 10;

  FillStyles();

  FreeTraceList();
  struct TraceSetup {
    int color;
    int style;
  };
  for (const TraceSetup& t : {TraceSetup{4, 3}, TraceSetup{5, 2}}) {
    if (CMeasure* trace = AddTrace()) {
      trace->m_crColor = GetSchemeColor(t.color);
      trace->m_nWidth = 2;
      trace->m_crHighlight = AdjustColor(trace->m_crColor, 170);
      trace->m_nStyle = t.style;
    }
  }
}

void GlobalProps::AdoptDeviceChannels(BOOL channelInfoRead) {
  if (channelInfoRead) {
    for (int ch = CHANNEL_A; ch <= CHANNEL_B; ++ch) {
      const CChannelProps& c = m_Channels[ch];
      if (c.m_bEnabled && c.m_nRangeIndex >= 0) SetChannelRangeIndex(ch, c.m_nRangeIndex, FALSE, FALSE);
    }
  }
  SetTriggerLevelToZero();
  MarkAllChannelsChanged(FALSE);
  SetChannelPosition(CHANNEL_A, 50);
  SetChannelPosition(CHANNEL_B, 50);
}

int GlobalProps::DefaultTimeBaseIndex(const CNxDoubleArray& rates, int recordLength) {
  constexpr long long kDivisions = 20;
  constexpr long long kPerDivisionPerSecond = 1000;  // 1 ms per division
  const long long wanted = static_cast<long long>(recordLength) * kPerDivisionPerSecond / kDivisions;
  // The library reports whole samples per second: the wanted rate is a whole number, exact in a
  // double, so the table entry either is it or is not.
  const double wantedRate = static_cast<double>(wanted);
  for (INT_PTR i = 0; i < rates.GetSize(); ++i)
    if (rates[i] == wantedRate) return static_cast<int>(i);
  return -1;
}

void GlobalProps::ApplyStartupDefaults(BOOL deviceOpened) {
  // The trigger and time-base defaults whether or not a board answered: the scope reads them
  // either way, and they are what the board is given once it is there.
  if (!deviceOpened && m_TimeBase.m_Rates.GetSize() == 0)
    for (double rate : kBoardSampleRates) m_TimeBase.m_Rates.Add(rate);
  UpdateTriggerScale();
  SetTriggerPosition(30.0);
  SetTriggerLevelIndex(130);

  const int index = DefaultTimeBaseIndex(m_TimeBase.m_Rates, m_nRecordLength);
  if (index >= 0) {
    RequestTimeBaseIndex(index, Send::Always);
    SetTimeBaseIndex(index, TRUE, FALSE);
  }

  GetOscScale().m_nHorizontalOffset = 5;
  // The time maps exist only now: the trigger-position marker follows them.
  RecomputeTimeBase(TRUE, TRUE);
}
