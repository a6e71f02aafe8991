// A scope scene for the chart's tests, screenshots and benchmark: a 1000-point record over 20
// divisions of 1 ms, 10 of them shown; channels A and B on with 1 V per division (zero line in
// the middle); the traces filled by the caller. Pixel formulas for a chart of the given size.
#pragma once

#include <scope/ScopeState.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/OscScale.h>
#include <core/SavedScope.h>

#include <cmath>
#include <functional>

namespace chartscene {

constexpr int kPoints = 1000;
constexpr double kTimePerIndex = 0.02;  // ms: 1000 points over 20 divisions of 1 ms

inline void ResetScopeState() {
  scope::GetScopeState().Reset();
  for (int slot = 0; slot < kSavedScopeSlots; ++slot) {
    CSavedScope& scope = GetSavedScopes()[slot];
    scope.RemoveAllSignals();
    scope.m_bRollMode = 0;
    scope.m_bAngleMode = 0;
    scope.m_dSampleRate = 0.0;
    scope.m_strName.Empty();
  }
}

// shown: divisions on the screen (10 or 20).
inline void SetTimeBase(int shown) {
  CStepScale& grid = GetTimeStepScale();
  grid.m_nSteps = 20;
  grid.m_nCurrentStep = shown;
  grid.m_nTicks = 10;
  COscScale& s = GetOscScale();
  s.m_TimeAxis.Set(0.0, shown, shown, shown, true);
  s.m_TimeAxis.m_dPerDivision = 1.0;
  s.m_nHorizontalOffset = 0;
}

// 1 V per division, -5..+5 V over the chart's height, on every vertical axis.
inline void SetVerticalAxes() {
  for (CScale& v : GetOscScale().m_Vertical) v.SetDivisions(-5.0, 5.0, 10, 1.0, true);
}

inline CMeasure* Trace(int channel) {
  CMeasureList& list = GetTraceList();
  while (list.GetSize() <= channel) {
    if (!AddTrace()) return nullptr;
  }
  return list[channel];
}

// Fills a channel's trace with value(i) at every point, all valid, and switches the channel on.
inline CMeasure* FillTrace(int channel, const std::function<double(int)>& value) {
  CMeasure* t = Trace(channel);
  t->SetSize(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    t->m_Values[i] = value(i);
    t->m_PointFlags[i] = 1;
    t->m_SaturationFlags[i] = 0;
  }
  t->m_bValid = 1;
  t->m_nMultiplier = 1;
  t->m_dTimeOrigin = 0.0;
  t->m_nIndexOrigin = 0;
  t->m_dTimePerIndex = kTimePerIndex;
  t->m_pScale = &GetOscScale().m_Vertical[channel];
  t->m_crColor = GetSchemeColor(4 + channel);
  t->m_nWidth = 2;
  GetGlobalProps().m_Channels[channel].m_nModeEnable = 1;
  return t;
}

inline double Sine(int i) { return 3.0 * std::sin(i * 2.0 * 3.14159265358979 / 250.0); }
inline double Square(int i) { return (i / 125) % 2 == 0 ? 2.0 : -2.0; }

// Fills saved scope `slot` with one signal of `kind` (value(i) at n points) on its axis.
inline CSavedSignal* AddSavedSignal(int slot, int kind, int n, const std::function<double(int)>& value,
                                    COLORREF color) {
  CSavedScope& scope = GetSavedScopes()[slot];
  auto* s = new CSavedSignal;
  s->SetSize(n);
  for (int i = 0; i < n; ++i) {
    s->m_Values[i] = value(i);
    s->m_Flags1[i] = 1;
    s->m_Flags2[i] = 0;
  }
  s->m_bValid = 1;
  s->m_nKind = kind;
  s->m_crColor = color;
  s->m_nPenWidth = 2;
  s->m_pScale = &GetOscScale().m_Vertical[COscScale::AXIS_C + kind];
  scope.m_Signals.Add(s);
  scope.m_bEmpty = 0;
  return s;
}

// Pixels of the scene on a chart of height h and width w.
inline int Y(double volts, int h) { return static_cast<int>((volts + 5.0) / (10.0 / (0 - h)) + h); }
inline int X(double ms, int w, int shown = 10) { return static_cast<int>(ms / (static_cast<double>(shown) / w)); }

}  // namespace chartscene

namespace chartscene {

// The ten cursor and level records as start-up fills them, all shown: time cursors at 2 and 7 ms,
// the trigger position at 3 ms, the level marks of B and A, the trigger level at 1 V on axis A.
inline void SetupStyles() {
  GlobalProps& p = GetGlobalProps();
  COscScale& s = GetOscScale();
  struct Prepared {
    const char* name;
    COLORREF color;
    CScale* axis;
    double value;
  };
  const Prepared prepared[GlobalProps::STYLE_COUNT] = {
      {"C", 0x008080, &s.m_TimeAxis, 2.0},
      {"C", 0x800080, &s.m_TimeAxis, 7.0},
      {"T", 0x404040, &s.m_TimeAxis, 3.0},
      {"B", 0x808000, &s.m_Vertical[COscScale::AXIS_B], -4.0},
      {"A", 0x008000, &s.m_Vertical[COscScale::AXIS_A], 4.5},
      {"T", 0x404040, &s.m_Vertical[COscScale::AXIS_A], 1.0},
      {"C", 0x0080FF, &s.m_Vertical[COscScale::AXIS_C], 0.0},
      {"D", 0x00FFFF, &s.m_Vertical[COscScale::AXIS_D], 0.0},
      {"E", 0xFF00FF, &s.m_Vertical[COscScale::AXIS_E], 0.0},
      {"F", 0xFFFF00, &s.m_Vertical[COscScale::AXIS_F], 0.0},
  };
  for (int i = 0; i < GlobalProps::STYLE_COUNT; ++i) {
    CTraceStyle style;
    style.m_strName = prepared[i].name;
    style.m_crColor = prepared[i].color;
    style.m_pScale = prepared[i].axis;
    style.m_nFlags = i < 6 ? 1 : 0;
    style.m_dValue = prepared[i].value;
    p.m_Styles[i].SetEntry(style, i < GlobalProps::CURSOR_STYLE_COUNT ? i : i - GlobalProps::CURSOR_STYLE_COUNT);
  }
  p.m_nTriggerLevel = 128;
}

}  // namespace chartscene
