#include <scope/pane/StatusArea.h>

#include <scope/SavedScopeText.h>
#include <scope/pane/EdgeSymbol.h>

#include <core/ColorScheme.h>
#include <core/DrawHelpers.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/SavedScope.h>
#include <core/SignalData.h>
#include <core/Texts.h>

#include <platform/dcscope.h>

#include <cmath>
#include <initializer_list>
#include <string>

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

// What a strip draws, item by item: drawn on a DC, written down, or both. The list written down is
// the strip's picture: the same list draws the same pixels.
class CWndOsc_StatusArea::Canvas {
 public:
  Canvas(CDC* dc, std::string* picture) : m_dc(dc), m_picture(picture) {}

  void TextColor(COLORREF colour) {
    if (m_dc) m_dc->SetTextColor(colour);
    Note('c', {static_cast<int>(colour)});
  }
  void Text(const CString& text, const RECT& r, UINT flags) {
    RECT box = r;
    if (m_dc) m_dc->DrawText(text, &box, flags);
    Note('t', {r.left, r.top, r.right, r.bottom, static_cast<int>(flags)});
    if (m_picture) m_picture->append(text.GetString(), static_cast<size_t>(text.GetLength()) + 1);
  }
  void Edge(const RECT& r, UINT edge, UINT flags) {
    RECT box = r;
    if (m_dc) m_dc->DrawEdge(&box, edge, flags);
    Note('e', {r.left, r.top, r.right, r.bottom, static_cast<int>(edge), static_cast<int>(flags)});
  }
  void Fill(const RECT& r, COLORREF colour) {
    if (m_dc) m_dc->FillSolidRect(&r, colour);
    Note('f', {r.left, r.top, r.right, r.bottom, static_cast<int>(colour)});
  }
  void EdgeSymbol(const RECT& box, int edge, int source, COLORREF a, COLORREF b) {
    if (m_dc) scope::DrawEdgeSymbol(m_dc, box, edge, source, a, b);
    Note('s', {box.left, box.top, box.right, box.bottom, edge, source, static_cast<int>(a), static_cast<int>(b)});
  }

 private:
  void Note(char what, std::initializer_list<int> values) {
    if (!m_picture) return;
    m_picture->push_back(what);
    for (int v : values) m_picture->append(reinterpret_cast<const char*>(&v), sizeof v);
  }

  CDC* m_dc;
  std::string* m_picture;
};

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

void CWndOsc_StatusArea::Item(Canvas& dc, CRect& r, COLORREF color, const CString& text, double step, UINT flags) {
  dc.TextColor(color);
  dc.Text(text, r, flags);
  r.left += static_cast<int>(step);
}

void CWndOsc_StatusArea::PaintContent(CDC* dc) {
  MakeFonts();
  std::string picture;
  {
    kvp::DcSelect font(dc, &m_font);
    dc->SetBkMode(TRANSPARENT);
    Canvas canvas(dc, &picture);
    Draw(canvas);
  }
  m_painted = PictureHeader() + picture;
  m_bPainted = true;
}

std::string CWndOsc_StatusArea::PictureHeader() const {
  const int values[] = {m_nType, m_rcClient.left, m_rcClient.top, m_rcClient.right, m_rcClient.bottom,
                        static_cast<int>(m_crBack), static_cast<int>(m_pProps->GetCharSet())};
  return std::string(reinterpret_cast<const char*>(values), sizeof values);
}

int CWndOsc_StatusArea::RedrawIfChanged() {
  if (!GetSafeHwnd()) return 0;
  if (!IsWindowVisible()) {
    m_bPainted = false;  // shown again, it paints in full
    return 0;
  }
  CRect client;
  GetClientRect(&client);
  if (m_bPainted && client == m_rcClient) {
    std::string picture;
    Canvas list(nullptr, &picture);
    Draw(list);
    if (PictureHeader() + picture == m_painted) return 0;
  }
  return Redraw();
}

void CWndOsc_StatusArea::Draw(Canvas& dc) {
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
}

void CWndOsc_StatusArea::PaintBottom(Canvas& dc, CRect r) {
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
      dc.TextColor(GetSchemeColor(4 + ch));
      dc.Text(text, r, 0x28);
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
  dc.EdgeSymbol(symbol, s.m_nTriggerEdge, source, GetSchemeColor(4), GetSchemeColor(5));
  r.left += static_cast<int>(width / 15);
  Item(dc, r, colour, m_pProps->FormatTriggerLevel(s.m_nTriggerLevel), 0);
}

void CWndOsc_StatusArea::PaintMeasures(Canvas& dc) {
  dc.Edge(m_rcClient, EDGE_SUNKEN, BF_RECT);
  CRect area = m_rcClient;
  area.DeflateRect(5, 2);
  dc.Fill(area, GetSchemeColor(6));

  // Five columns: the name column a little wider than the four value columns.
  const double unit = area.Width() / 5.4;
  auto cell = [&](int row, int column) {
    const int top = area.top + area.Height() * row / 3;
    const int bottom = area.top + area.Height() * (row + 1) / 3;
    const int left = column == 0 ? area.left + 2 : area.left + static_cast<int>(unit * (column + 0.4));
    const int right = column == 0 ? area.left + static_cast<int>(unit * 1.4) : area.left + static_cast<int>(unit * (column + 1.4)) - 4;
    return CRect(left, top, right, bottom);
  };
  dc.TextColor(GetSchemeColor(7));
  for (int column = 0; column < 5; ++column) {
    CRect c = cell(0, column);
    dc.Text(GetMeasureText(column), c, column == 0 ? 0x28 : 0x2A);
  }
  const CMeasureProps& s = m_pDisplay->m_Settings;
  int row = 1;
  for (int ch = 0; ch < 2; ++ch) {
    const CSignalData* trace = m_pTraces[ch];
    if (!s.m_Channels[ch].m_bEnabled || !trace) continue;
    dc.TextColor(GetSchemeColor(4 + ch));
    CRect c = cell(row, 0);
    dc.Text(GetChannelName(ch), c, 0x28);
    auto limitText = [&](double value, int mark) {
      CString text = m_pProps->FormatChannelValue(value, ch, 2, FALSE);
      if (mark == CSignalData::SAT_UPPER) text = ">" + text;
      if (mark == CSignalData::SAT_LOWER) text = "<" + text;
      return text;
    };
    CString text = limitText(trace->m_dMax, trace->m_nMaxFlag);
    c = cell(row, 1);
    dc.Text(text, c, 0x2A);
    text = limitText(trace->m_dMin, trace->m_nMinFlag);
    c = cell(row, 2);
    dc.Text(text, c, 0x2A);
    text = "---";
    if (s.m_nTriggerSourceKind == ch && m_bFrequencyValid) FormatFrequency(text, m_dFrequency);
    c = cell(row, 3);
    dc.Text(text, c, 0x2A);
    double duty = 0.0;
    if (trace->GetDutyCycle(duty))
      text.Format("%4.1f%%", duty);
    else
      text = "---";
    c = cell(row, 4);
    dc.Text(text, c, 0x2A);
    ++row;
  }
}

void CWndOsc_StatusArea::PaintTop(Canvas& dc, CRect r) {
  const double width = m_rcClient.Width();
  const double step = width / 9.1;
  Item(dc, r, GetSchemeColor(7), "Probe", step);
  for (int ch = 0; ch < 2; ++ch) {
    const CChannelProps& c = m_pProps->m_Channels[ch];
    if (c.m_nModeEnable) {
      const CString probe = m_probeText ? m_probeText(ch) : c.m_Ranges.m_strLabel;
      CString text;
      text.Format(ch == 0 ? "A: %s" : "B: %s", probe.GetString());
      dc.TextColor(GetSchemeColor(4 + ch));
      dc.Text(text, r, 0x28);
    }
    r.left += static_cast<int>(ch == 0 ? step : 1.5 * step);
  }
  CString run;
  run.Format("%s%s", m_pProps->m_bRunning ? "Run" : "Stop", " ");
  Item(dc, r, GetSchemeColor(7), run, width / 4.85);
  Item(dc, r, GetSchemeColor(7), GetTriggerModeText(m_pProps->m_nTriggerMode), 0);
}

void CWndOsc_StatusArea::PaintSaved(Canvas& dc, CRect r, const CSavedScope& saved, int slot) {
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
      dc.TextColor(GetSchemeColor(30 + 2 * slot + i));
      dc.Text(text, r, 0x28);
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
  dc.EdgeSymbol(symbol, saved.m_nTriggerEdge, source, first, second);
  r.left += static_cast<int>(width / 20);
  Item(dc, r, kSavedText, scope::FormatSavedTriggerLevel(saved.m_dTriggerLevel, saved.m_nTriggerUnit),
       width / 9);
  Item(dc, r, kSavedText, GetTriggerModeText(saved.m_nSweep), 0);
}
