#include <scope/pane/StatusArea.h>

#include <scope/chart/SavedScopeText.h>
#include <scope/pane/EdgeSymbol.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/SavedScope.h>
#include <core/SignalData.h>
#include <core/Texts.h>

#include <cmath>

namespace {

constexpr COLORREF kSavedBackground = RGB(200, 200, 200);
// The text colour of the saved-scope strips, dark on their light grey.
constexpr COLORREF kSavedText = RGB(58, 18, 18);

// Trigger colour: channel B's for the sources on B (1, 3), else channel A's.
COLORREF TriggerColour(int source) { return GetSchemeColor(source == 1 || source == 3 ? 5 : 4); }

const char* SavedLetter(int kind) {
  static const char* const letters[] = {"C", "D", "E", "F"};
  return kind >= 0 && kind < 4 ? letters[kind] : "Err";
}

}  // namespace

namespace scope {

CString FormatSavedTriggerLevel(double level, int unit) {
  const char* unitText = GetUnitSymbol(unit);
  CString text;
  if (std::fabs(level) < 1.0) {
    FormatValue(text, level, unitText, -1, FALSE);
    return text;
  }
  CString value;
  FormatScaledValue(value, level, GetEngineeringExponent(level), 2, FALSE);
  text.Format("%s%s", value.GetString(), unitText);
  return text;
}

}  // namespace scope

CWndOsc_StatusArea::CWndOsc_StatusArea(int type)
    : m_nType(type), m_pDisplay(&GetCursorSettings()), m_pProps(&GetGlobalProps()) {}

CWndOsc_StatusArea::~CWndOsc_StatusArea() = default;

void CWndOsc_StatusArea::MakeFonts() {
  if (m_rcFonts == m_rcClient && m_font.GetSafeHandle()) return;
  m_rcFonts = m_rcClient;
  const double h = (m_nType == kMeasures ? 0.23 : 0.7) * m_rcClient.Height();
  const BYTE charSet = m_pProps->GetCharSet();
  m_font.DeleteObject();
  m_boldFont.DeleteObject();
  CreateFontOnce(m_font, "Arial", -static_cast<int>(h), charSet, FALSE, FALSE, FALSE, 0);
  CreateFontOnce(m_boldFont, "Arial", -static_cast<int>(1.1 * h), charSet, TRUE, FALSE, FALSE, 0);
}

void CWndOsc_StatusArea::PaintBackground(CDC* dc) {
  if (m_nType != kSavedCD && m_nType != kSavedEF) {
    CXPWndBaseColor::PaintBackground(dc);
    return;
  }
  if (!m_savedBrush.GetSafeHandle()) m_savedBrush.CreateSolidBrush(kSavedBackground);
  dc->FillRect(&m_rcClient, &m_savedBrush);
}

void CWndOsc_StatusArea::Item(CDC* dc, CRect& r, COLORREF color, const CString& text, double step, UINT flags) {
  dc->SetTextColor(color);
  dc->DrawText(text, &r, flags);
  r.left += static_cast<int>(step);
}

void CWndOsc_StatusArea::PaintContent(CDC* dc) {
  MakeFonts();
  CFont* old = dc->SelectObject(&m_font);
  dc->SetBkMode(TRANSPARENT);
  CRect r = m_rcClient;
  r.DeflateRect(1, 1);
  switch (m_nType) {
    case kBottom:
      PaintBottom(dc, r);
      break;
    case kMeasures:
      PaintMeasures(dc);
      break;
    case kTop:
      PaintTop(dc, r);
      break;
    case kSavedCD:
    case kSavedEF: {
      const CSavedScope& saved = GetSavedScopes()[m_nType - kSavedCD];
      if (!saved.m_bEmpty) PaintSaved(dc, r, saved, m_nType - kSavedCD);
      break;
    }
    default:
      break;
  }
  dc->SelectObject(old);
}

void CWndOsc_StatusArea::PaintBottom(CDC* dc, CRect r) {
  const CMeasureProps& s = m_pDisplay->m_Settings;
  const double width = m_rcClient.Width();
  for (int ch = 0; ch < 2; ++ch) {
    const CChannelProps& c = s.m_Channels[ch];
    if (c.m_nModeEnable && c.m_bEnabled) {
      const CString perDiv = m_pProps->FormatVoltsPerDiv(ch);
      CString text;
      if (c.m_nCoupling == 0)
        text.Format("%s: ~ %s/div", GetChannelText(ch), perDiv.GetString());
      else
        text.Format(ch == 0 ? "%s %s/div" : "%s: %s/div", GetChannelText(ch), perDiv.GetString());
      dc->SetTextColor(GetSchemeColor(4 + ch));
      dc->DrawText(text, &r, 0x28);
    }
    r.left += static_cast<int>(width / 5.1);
  }
  CString time;
  time.Format("%s/div", s.FormatTimePerDiv().GetString());
  double step = width / 6.5;
  Item(dc, r, GetSchemeColor(7), time, step);
  if (s.m_nSlowRateModifier == 1) return;  // rolling without trigger: no trigger part

  step /= 2;
  Item(dc, r, GetSchemeColor(7), "Trig:", step);
  const int source = s.m_nTriggerSourceKind;
  const COLORREF colour = TriggerColour(source);
  Item(dc, r, colour, GetChannelText(source), width / 23);
  Item(dc, r, colour, GetRangeModeText(s.m_nTriggerFilter), width / 10.2);
  const int lift = static_cast<int>(0.025 * m_rcClient.Height());
  const int symbolHeight = static_cast<int>(0.6 * m_rcClient.Height());
  const CRect symbol(r.left, r.bottom - lift - symbolHeight, r.left + static_cast<int>(width / 15) / 2,
                     r.bottom - lift);
  scope::DrawEdgeSymbol(dc, symbol, s.m_nTriggerEdge, source, GetSchemeColor(4), GetSchemeColor(5));
  r.left += static_cast<int>(width / 15);
  Item(dc, r, colour, m_pProps->FormatTriggerLevel(s.m_nTriggerLevel), 0);
}

void CWndOsc_StatusArea::PaintMeasures(CDC* dc) {
  CRect edge = m_rcClient;
  dc->DrawEdge(&edge, EDGE_SUNKEN, BF_RECT);
  CRect area = m_rcClient;
  area.DeflateRect(5, 2);
  dc->FillSolidRect(&area, GetSchemeColor(6));

  // Five columns: the name column a little wider than the four value columns.
  const double unit = area.Width() / 5.4;
  auto cell = [&](int row, int column) {
    const int top = area.top + area.Height() * row / 3;
    const int bottom = area.top + area.Height() * (row + 1) / 3;
    const int left = column == 0 ? area.left + 2 : area.left + static_cast<int>(unit * (column + 0.4));
    const int right = column == 0 ? area.left + static_cast<int>(unit * 1.4) : area.left + static_cast<int>(unit * (column + 1.4)) - 4;
    return CRect(left, top, right, bottom);
  };
  dc->SetTextColor(GetSchemeColor(7));
  for (int column = 0; column < 5; ++column) {
    CRect c = cell(0, column);
    dc->DrawText(GetMeasureText(column), -1, &c, column == 0 ? 0x28 : 0x2A);
  }
  const CMeasureProps& s = m_pDisplay->m_Settings;
  int row = 1;
  for (int ch = 0; ch < 2; ++ch) {
    const CSignalData* trace = m_pTraces[ch];
    if (!s.m_Channels[ch].m_bEnabled || !trace) continue;
    dc->SetTextColor(GetSchemeColor(4 + ch));
    CRect c = cell(row, 0);
    dc->DrawText(GetChannelName(ch), -1, &c, 0x28);
    auto limitText = [&](double value, int mark) {
      CString text = m_pProps->FormatChannelValue(value, ch, 2, FALSE);
      if (mark == CSignalData::SAT_UPPER) text = ">" + text;
      if (mark == CSignalData::SAT_LOWER) text = "<" + text;
      return text;
    };
    CString text = limitText(trace->m_dMax, trace->m_nMaxFlag);
    c = cell(row, 1);
    dc->DrawText(text, &c, 0x2A);
    text = limitText(trace->m_dMin, trace->m_nMinFlag);
    c = cell(row, 2);
    dc->DrawText(text, &c, 0x2A);
    text = "---";
    if (s.m_nTriggerSourceKind == ch && m_bFrequencyValid) FormatFrequency(text, m_dFrequency);
    c = cell(row, 3);
    dc->DrawText(text, &c, 0x2A);
    double duty = 0.0;
    if (trace->GetDutyCycle(duty))
      text.Format("%4.1f%%", duty);
    else
      text = "---";
    c = cell(row, 4);
    dc->DrawText(text, &c, 0x2A);
    ++row;
  }
}

void CWndOsc_StatusArea::PaintTop(CDC* dc, CRect r) {
  const double width = m_rcClient.Width();
  const double step = width / 9.1;
  Item(dc, r, GetSchemeColor(7), "Probe", step);
  for (int ch = 0; ch < 2; ++ch) {
    const CChannelProps& c = m_pProps->m_Channels[ch];
    if (c.m_nModeEnable) {
      const CString probe = m_probeText ? m_probeText(ch) : c.m_Ranges.m_strLabel;
      CString text;
      text.Format(ch == 0 ? "A: %s" : "B: %s", probe.GetString());
      dc->SetTextColor(GetSchemeColor(4 + ch));
      dc->DrawText(text, &r, 0x28);
    }
    r.left += static_cast<int>(ch == 0 ? step : 1.5 * step);
  }
  CString run;
  run.Format("%s%s", m_pProps->m_bRunning ? "Run" : "Stop", " ");
  Item(dc, r, GetSchemeColor(7), run, width / 4.85);
  Item(dc, r, GetSchemeColor(7), GetTriggerModeText(m_pProps->m_nTriggerMode), 0);
}

void CWndOsc_StatusArea::PaintSaved(CDC* dc, CRect r, const CSavedScope& saved, int slot) {
  const double width = m_rcClient.Width();
  const CSavedSignal* signals[2] = {saved.FindSignal(2 * slot), saved.FindSignal(2 * slot + 1)};
  for (int i = 0; i < 2; ++i) {
    if (const CSavedSignal* s = signals[i]) {
      CString text;
      // Saved signals keep the coupling the channel had (0 is AC), as the live channels read it.
      if (s->m_nCoupling == 0)
        text.Format("%s: ~ %s/div", SavedLetter(s->m_nKind), FormatSavedSignalPerDiv(*s).GetString());
      else
        text.Format("%s %s/div", SavedLetter(s->m_nKind), FormatSavedSignalPerDiv(*s).GetString());
      dc->SetTextColor(GetSchemeColor(30 + 2 * slot + i));
      dc->DrawText(text, &r, 0x28);
    }
    r.left += static_cast<int>(width / 5.1);
  }
  CString time;
  time.Format("%s/div", FormatSavedScopeTimePerDiv(saved).GetString());
  double step = width / 6.5;
  Item(dc, r, kSavedText, time, step);

  if (saved.m_bRollMode) {
    Item(dc, r, kSavedText, "Roll mode - NO trigger", 0);
    return;
  }
  const int source = saved.m_nTriggerSource;
  const CSavedSignal* trigger = source == 0 || source == 1 ? signals[source] : nullptr;
  step /= 2;
  Item(dc, r, kSavedText, "Trig:", step);
  if (!trigger || saved.m_bTriggerChannelMissing) {
    Item(dc, r, kSavedText, "Ext - NO information", 0);
    return;
  }
  const COLORREF first = GetSchemeColor(30 + 2 * slot);
  const COLORREF second = GetSchemeColor(31 + 2 * slot);
  Item(dc, r, source == 0 ? first : second, SavedLetter(trigger->m_nKind), width / 15);
  Item(dc, r, kSavedText, GetRangeModeText(saved.m_nTriggerFilter), width / 12);
  const int lift = static_cast<int>(0.025 * m_rcClient.Height());
  const int symbolHeight = static_cast<int>(0.6 * m_rcClient.Height());
  const CRect symbol(r.left, r.bottom - lift - symbolHeight, r.left + static_cast<int>(width / 20) / 2,
                     r.bottom - lift);
  scope::DrawEdgeSymbol(dc, symbol, saved.m_nTriggerEdge, source, first, second);
  r.left += static_cast<int>(width / 20);
  Item(dc, r, kSavedText, scope::FormatSavedTriggerLevel(saved.m_dTriggerLevel, saved.m_nTriggerUnit),
       width / 9);
  Item(dc, r, kSavedText, GetTriggerModeText(saved.m_nSweep), 0);
}
