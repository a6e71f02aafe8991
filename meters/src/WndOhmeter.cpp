#include <meters/WndOhmeter.h>

#include <meters/MeterPrint.h>
#include <meters/MeterText.h>

#include "MeterDraw.h"
#include <core/MeasureStatus.h>

#include <core/ColorScheme.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/NumberFormat.h>
#include <core/Sound.h>
#include <core/TextIds.h>
#include <core/Texts.h>
#include <core/ValueText.h>

#include <platform/dcscope.h>

namespace {

const char* const kChildNames[CWndOhmeter::CHILD_COUNT] = {"Ohm", "Conduc", "Diode", "Zero",
                                                           "Current", "Title", "Print"};
static_assert(int{CWndOhmeter::ID_OHM} == int{CMeasureEngine::OHM_AUTO} &&
              int{CWndOhmeter::ID_CONDUC} == int{CMeasureEngine::OHM_FIXED} &&
              int{CWndOhmeter::ID_DIODE} == int{CMeasureEngine::OHM_DIODE});

}  // namespace

CWndOhmeter::CWndOhmeter(CMeasureEngine* engine) : CPolledMeterPane(engine) {
  struct Spec {
    int height;
    bool bold;
    const char* face;
  } const specs[FONT_COUNT] = {{30, false, "Arial"}, {23, true, "Symbol"}, {30, true, "Symbol"},
                               {35, true, "Symbol"}, {45, false, "Symbol"}, {80, false, "Symbol"},
                               {60, true, "Symbol"}, {55, true, "Arial"},   {55, true, "Arial"},
                               {45, false, "Arial"}};
  for (int i = 0; i < FONT_COUNT; ++i) MakeMeterFont(m_Fonts[i], specs[i].height, specs[i].bold, specs[i].face);
}

CWndOhmeter::~CWndOhmeter() = default;

BOOL CWndOhmeter::CreateChildren() {
  for (int id = 0; id < CHILD_COUNT; ++id) {
    const bool display = id == ID_CURRENT || id == ID_TITLE;
    if (!CreateChild(m_Child[id], kChildNames[id], id, display, id == ID_TITLE ? 6 : 29)) return FALSE;
  }
  return TRUE;
}

void CWndOhmeter::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (!m_Child[ID_TITLE].GetSafeHwnd()) return;
  const CRect& c = m_rcClient;
  m_Child[ID_TITLE].MoveWindow(c.left + 30, c.top, c.Width() - 30, 90);
  const CRect field(c.left + 100, c.top + 100, c.left + 100 + (c.Width() - 200), c.top + 100 + c.Height() / 3);
  m_Child[ID_CURRENT].MoveWindow(&field);
  const int rowTop = field.bottom + 160;
  const int h = static_cast<int>((c.bottom - field.bottom) / 4.5);
  const int n = (field.Width() - 40) / 5;
  const int ids[] = {ID_OHM, ID_CONDUC, ID_DIODE, ID_ZERO, ID_PRINT};
  for (int i = 0; i < 5; ++i) m_Child[ids[i]].MoveWindow(field.left + i * (n + 10), rowTop, n, h);
  const double hh = h > 0 ? h : 1;
  struct Spec {
    int font;
    double divisor;
    bool bold;
    const char* face;
  } const specs[] = {{FONT_TEXT, 2, false, "Arial"},        {FONT_SYMBOL_SMALL, 2.75, true, "Symbol"},
                     {FONT_ZERO, 2, true, "Symbol"},        {FONT_SYMBOL_MID, 1.8, true, "Symbol"},
                     {FONT_OHM_BUTTON, 1.42, true, "Symbol"}, {FONT_VALUE, 1.15, true, "Arial"},
                     {FONT_DIODE, 1.3, true, "Arial"},      {FONT_OHM_VALUE, 1.5, true, "Symbol"}};
  for (const Spec& f : specs) MakeMeterFont(m_Fonts[f.font], static_cast<int>(hh / f.divisor), f.bold, f.face);
}

void CWndOhmeter::StartReading() { m_pEngine->ReadOhmmeterRanges(); }

void CWndOhmeter::StopReading() {
  if (m_nTone != -1) {
    GetSound().Stop();
    m_nTone = -1;
  }
}

void CWndOhmeter::Poll() {
  if (!m_bRunning) return;
  COhmReading& r = m_pEngine->GetOhmReading();
  if (m_nZeroCount > 0 && --m_nZeroCount == 0) {
    if (m_bErrorShown)
      PlayAlarmSound();
    else if (-kZeroLimit <= r.m_dRawValue && r.m_dRawValue <= kZeroLimit)
      r.Zero();
    else
      PlayAlarmSound();
  }
  m_bErrorShown = 0;
  const MeterResult& result = m_pEngine->MeasureResistance();
  if (result.m_nStatus == RESULT_OK && r.IsOpenCircuit()) {
    m_strValue = GetDefaultText(19);
    m_bErrorShown = 1;
  } else if (result.m_nStatus == RESULT_OK) {
    FormatScaledValue(m_strValue, r.m_dValue, r.m_nValueExponent, r.m_nValueDecimals);
  } else {
    m_strValue = GetMeasureStatusText(result.m_nStatus);
    m_bErrorShown = 1;
  }
  RedrawNow(&m_Child[ID_CURRENT]);

  int tone = -1;
  const bool beeper = !m_bErrorShown && m_pEngine->m_nOhmMode == CMeasureEngine::OHM_FIXED && m_nZeroCount == 0;
  if (beeper) tone = GetContinuityTone(r.m_dValue);
  if (tone == -1) {
    if (m_nTone != -1) GetSound().Stop();
  } else if (tone != m_nTone) {
    GetSound().Play(tone, TRUE, TRUE, FALSE);
  }
  m_nTone = tone;
}

void CWndOhmeter::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  switch (data->id) {
    case ID_OHM:
    case ID_CONDUC:
    case ID_DIODE: {
      if (m_pEngine->m_nOhmMode == CMeasureEngine::OHM_DIODE) {
        m_Child[ID_ZERO].EnableWindow(TRUE);
        m_Child[ID_ZERO].data.enabled = 1;
      }
      MeterResult& result = m_pEngine->GetOhmmeterResult();
      result.Clear();
      // The three mode buttons' ids are the engine's sub-modes (automatic, continuity, diode).
      m_pEngine->m_nOhmMode = data->id;
      m_pEngine->ConfigureOhmmeter();
      if (data->id == ID_DIODE) {
        m_Child[ID_ZERO].EnableWindow(FALSE);
        m_Child[ID_ZERO].data.enabled = 0;
      }
      RedrawNow(&m_Child[ID_ZERO]);
      RedrawNow(&m_Child[ID_CURRENT]);
      break;
    }
    case ID_ZERO:
      m_nZeroCount = ZERO_TICKS;
      RedrawNow(&m_Child[ID_CURRENT]);
      break;
    case ID_PRINT:
      PrintMeterValue1(kPrintItemResistance, m_pEngine->GetOhmReading().m_dValue);
      break;
    default:
      break;
  }
}

void CWndOhmeter::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) {
  dc->SetBkMode(TRANSPARENT);
  CRect rc(*content);
  const COLORREF color = data->enabled ? GetSchemeColor(13) : AdjustColor(button->face, -50);
  dc->SetTextColor(color);
  kvp::DcSelect selectFont(dc, nullptr);
  switch (data->id) {
    case ID_OHM:
      selectFont.Select(&m_Fonts[FONT_OHM_BUTTON]);
      dc->DrawText("W", 1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    case ID_CONDUC: {
      // The continuity symbol: a loudspeaker and two sound arcs.
      const int cx = rc.CenterPoint().x, cy = rc.CenterPoint().y, s = rc.Height() / 5;
      CBrush fill(color);
      CPen pen(PS_SOLID, 2, color);
      kvp::DcSelect selectBrush(dc, &fill);
      kvp::DcSelect selectPen(dc, &pen);
      const POINT speaker[] = {{cx - 2 * s, cy - s / 2}, {cx - s, cy - s / 2}, {cx, cy - s},
                               {cx, cy + s},             {cx - s, cy + s / 2}, {cx - 2 * s, cy + s / 2}};
      dc->Polygon(speaker, 6);
      for (int k = 1; k <= 2; ++k) {
        dc->MoveTo(cx + k * s / 2 + 2, cy - k * s / 2);
        dc->LineTo(cx + k * s / 2 + 2 + s / 3, cy);
        dc->LineTo(cx + k * s / 2 + 2, cy + k * s / 2);
      }
      break;
    }
    case ID_DIODE: {
      // The diode: a triangle pointing right onto a bar, on a line through both.
      const int cx = rc.CenterPoint().x, cy = rc.CenterPoint().y, s = rc.Height() / 4;
      CBrush fill(color);
      CPen pen(PS_SOLID, 2, color);
      kvp::DcSelect selectBrush(dc, &fill);
      kvp::DcSelect selectPen(dc, &pen);
      dc->MoveTo(cx - 2 * s, cy);
      dc->LineTo(cx + 2 * s, cy);
      const POINT triangle[] = {{cx - s, cy - s}, {cx + s / 2, cy}, {cx - s, cy + s}};
      dc->Polygon(triangle, 3);
      dc->MoveTo(cx + s / 2, cy - s);
      dc->LineTo(cx + s / 2, cy + s);
      break;
    }
    case ID_ZERO:
      selectFont.Select(&m_Fonts[FONT_ZERO]);
      dc->DrawText("0", 1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    case ID_TITLE:
      selectFont.Select(&m_Fonts[FONT_TITLE]);
      dc->SetTextColor(GetSchemeColor(8));
      dc->DrawText(GetDefaultText(28), -1, &rc, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
      break;
    case ID_PRINT:
      selectFont.Select(&m_Fonts[FONT_TEXT]);
      dc->DrawText(GetGlobalProps().GetText(kTextPrint), -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    case ID_CURRENT: {
      if (m_bErrorShown) {
        selectFont.Select(&m_Fonts[FONT_TEXT]);
        dc->DrawText(m_strValue, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        break;
      }
      selectFont.Select(&m_Fonts[FONT_VALUE]);
      CRect value(rc);
      value.right -= 120;
      if (m_pEngine->m_nOhmMode == CMeasureEngine::OHM_DIODE) {
        dc->SelectObject(&m_Fonts[FONT_DIODE]);
        CString text;
        text.Format("%s V", (LPCSTR)m_strValue);
        dc->DrawText(text, &value, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
        break;
      }
      // The value, then the ohm sign in the symbol face at its right.
      dc->SelectObject(&m_Fonts[FONT_OHM_VALUE]);
      CRect sign(value);
      dc->DrawText("W", 1, &sign, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_CALCRECT);
      const int signWidth = sign.Width();
      CRect signAt(value.right - signWidth, value.top, value.right, value.bottom);
      dc->DrawText("W", 1, &signAt, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
      dc->SelectObject(&m_Fonts[FONT_VALUE]);
      value.right -= signWidth + 4;
      dc->DrawText(m_strValue, &value, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
      break;
    }
    default:
      break;
  }
}
