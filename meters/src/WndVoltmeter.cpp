#include <meters/WndVoltmeter.h>

#include <meters/MeterPrint.h>
#include <meters/MeterText.h>

#include "MeterDraw.h"
#include <core/MeasureStatus.h>

#include <core/ColorScheme.h>
#include <core/EngineRecords.h>
#include <core/GlobalProps.h>
#include <core/MeasureEngine.h>
#include <core/NumberFormat.h>
#include <core/ProbeKind.h>
#include <core/TextIds.h>
#include <core/Texts.h>
#include <core/ValueText.h>

#include <platform/dcscope.h>

namespace {

const char* const kChildNames[CWndVoltmeter::CHILD_COUNT] = {"Title", "ACDC",      "OnOff",    "Zero",  "Current",
                                                             "Min",   "Max",       "Calibrate", "Print"};
constexpr int kCaptionMargin = 4;  // the room a button caption keeps from the face's edges

}  // namespace

CWndVoltmeter::CWndVoltmeter(CMeasureEngine* engine) : CPolledMeterPane(engine) {
  MakeMeterFont(m_fntBold, 25, true);
  MakeMeterFont(m_fntHalf, 30, false);
  MakeMeterFont(m_fntTitle, 45, false);
  MakeMeterFont(m_fntLarge, 55, false);
  MakeMeterFont(m_fntSmall, 15, false);
  MakeMeterFont(m_fntCaption, 15, false);
  MakeMeterFont(m_fntSymbol, 25, false, "Symbol");
}

CWndVoltmeter::~CWndVoltmeter() = default;

BOOL CWndVoltmeter::CreateChildren() {
  for (int id = 0; id < CHILD_COUNT; ++id) {
    CXPCtrlBtn& b = m_Child[id];
    const bool display = id == ID_TITLE || id == ID_CURRENT || id == ID_MIN || id == ID_MAX;
    if (id == ID_ACDC || id == ID_ONOFF) b.data.max = 1;
    if (id == ID_ONOFF) b.data.value = 1;
    if (!CreateChild(b, kChildNames[id], id, display, id == ID_TITLE ? 6 : 29)) return FALSE;
  }
  if (m_nMode != ROLE_AMMETER) m_Child[ID_CALIBRATE].ShowWindow(SW_HIDE);
  return TRUE;
}

void CWndVoltmeter::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  if (!m_Child[ID_TITLE].GetSafeHwnd()) return;
  const CRect& c = m_rcClient;
  m_Child[ID_TITLE].MoveWindow(c.left + 30, c.top, c.Width() - 30, 90);
  const CRect field(c.left + 100, c.top + 100, c.left + 100 + (c.Width() - 200), c.top + 100 + c.Height() / 3);
  m_Child[ID_CURRENT].MoveWindow(&field);
  const int mmTop = field.bottom + 20;
  const int mmHeight = c.Height() / 6;
  const int half = field.Width() / 2 - 10;
  m_Child[ID_MIN].MoveWindow(field.left, mmTop, half, mmHeight);
  m_Child[ID_MAX].MoveWindow(field.right - half, mmTop, half, mmHeight);
  const int rowTop = mmTop + mmHeight + 40;
  const int h = static_cast<int>((c.bottom - field.bottom) / 4.5);
  const int n = (field.Width() - 40) / 5;
  m_nButtonWidth = n;
  m_nButtonHeight = h;
  if (m_nMode == ROLE_AMMETER) {
    const int ids[] = {ID_ACDC, ID_ONOFF, ID_ZERO, ID_CALIBRATE, ID_PRINT};
    for (int i = 0; i < 5; ++i) m_Child[ids[i]].MoveWindow(field.left + i * (n + 10), rowTop, n, h);
  } else {
    const int gap = (field.Width() - 40) / 15;
    const int onOff = field.left + field.Width() / 3 - gap;
    m_Child[ID_ACDC].MoveWindow(field.left, rowTop, n, h);
    m_Child[ID_ONOFF].MoveWindow(onOff, rowTop, n, h);
    m_Child[ID_ZERO].MoveWindow(onOff + n + gap, rowTop, n, h);
    m_Child[ID_PRINT].MoveWindow(onOff + 2 * (n + gap), rowTop, n, h);
  }
  const double hh = h > 0 ? h : 1;
  MakeMeterFont(m_fntBold, static_cast<int>(hh / 1.3), true);
  MakeMeterFont(m_fntHalf, static_cast<int>(hh / 2), false);
  MakeMeterFont(m_fntSmall, static_cast<int>(hh / 2.55), false);
  MakeMeterFont(m_fntLarge, static_cast<int>(hh / 1.42), false);
}

CString CWndVoltmeter::TitleText() const {
  CString title = GetDefaultText(m_nMode == ROLE_AMMETER ? 27 : 26);
  const MeterReading& r = m_pEngine->GetMeterReading(m_nMode == ROLE_AMMETER ? 1 : 0);
  if (m_nMode == ROLE_AMMETER && r.GetDisplayMode() != 0 && r.GetProbeKind() == probekind::kClassAmpere) {
    CString with;
    with.Format("%s %s", (LPCSTR)title, r.GetProbeName());
    return with;
  }
  return title;
}

void CWndVoltmeter::StartReading() {
  const int channel = m_nMode == ROLE_VOLTMETER ? 0 : 1;
  m_pEngine->m_nSelectedVoltChannel = channel;
  m_pReading = &m_pEngine->GetMeterReading(channel);
  m_pEngine->ReadVoltmeterProbes();
}

void CWndVoltmeter::Poll() {
  m_bErrorShown = 0;
  if (!m_bRunning || !m_pReading) return;
  MeterReading& r = *m_pReading;
  if (m_nResetCount > 0) {
    // The reset shows zeros for its ticks and measures nothing; the statistics go at the end.
    m_strMin = FormatMeterZero(r.GetDisplayMode(), m_dLastValue, UnitText());
    m_strMax = m_strMin;
    if (--m_nResetCount == 0) {
      r.m_dMin = 0.0;
      r.m_dMax = 0.0;
      r.m_bMinMaxSet = 0;
    }
  } else {
    if (m_nZeroCount > 0 && --m_nZeroCount == 0) {
      const double band = GetZeroBand(r.GetDisplayMode(), r.GetFullScaleValue());
      if (-band < r.m_dRawValue && r.m_dRawValue < band)
        ApplyZeroOffset(r);
      else
        PlayAlarmSound();
    }
    const MeterResult& result = m_pEngine->MeasureVoltage();
    if (result.m_nStatus != RESULT_OK) {
      m_bErrorShown = 1;
      m_strValue = GetMeasureStatusText(result.m_nStatus);
      m_strMin.Empty();
      m_strMax.Empty();
    } else if (r.GetProbeKind() != (m_nMode == ROLE_VOLTMETER ? probekind::kClassVolt : probekind::kClassAmpere)) {
      m_strValue = GetDefaultText(104);
      m_bErrorShown = 1;
    } else {
      const LPCSTR unit = GetUnitSymbol(r.GetProbeKind());
      r.ClearNewProbe();
      m_dLastValue = r.m_dValue;
      m_strValue = FormatMeterValue(r.m_dValue, r.GetDisplayMode(), unit, r.m_bAC ? "~" : "=");
      if (m_Child[ID_ONOFF].data.value == 1) {
        m_strMin = FormatMeterValue(r.m_dMin, r.GetDisplayMode(), unit, nullptr);
        m_strMax = FormatMeterValue(r.m_dMax, r.GetDisplayMode(), unit, nullptr);
      }
    }
  }
  RedrawNow(&m_Child[ID_CURRENT]);
  RedrawNow(&m_Child[ID_MIN]);
  RedrawNow(&m_Child[ID_MAX]);
  RedrawNow(&m_Child[ID_TITLE]);
}

void CWndVoltmeter::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  // Without a reading (pane not active) the buttons change nothing.
  if (!m_pReading) return;
  MeterReading& r = *m_pReading;
  switch (data->id) {
    case ID_ACDC:
      if (data->value != r.m_bAC) {
        r.m_bAC = data->value;
        r.m_dMin = r.m_dMax = 0.0;
        r.m_bMinMaxSet = 0;
      }
      break;
    case ID_ONOFF: {
      const int show = data->value ? SW_SHOW : SW_HIDE;
      m_Child[ID_ZERO].EnableWindow(data->value != 0);
      m_Child[ID_ZERO].data.enabled = data->value != 0;
      m_Child[ID_MIN].ShowWindow(show);
      m_Child[ID_MAX].ShowWindow(show);
      r.m_dMin = r.m_dMax = 0.0;
      r.m_bMinMaxSet = 0;
      r.m_bActive = data->value;
      RedrawNow(&m_Child[ID_ZERO]);
      break;
    }
    case ID_ZERO:
      m_nResetCount = RESET_TICKS;
      break;
    case ID_CALIBRATE:
      m_nZeroCount = ZERO_TICKS;
      break;
    case ID_PRINT: {
      double min = r.m_dMin;
      double max = r.m_dMax;
      if (m_nMode == ROLE_AMMETER) {
        min = RoundForPrint(min, r.GetDisplayMode());
        max = RoundForPrint(max, r.GetDisplayMode());
      }
      PrintMeterValues(m_nMode == ROLE_VOLTMETER ? kPrintItemVoltage : kPrintItemCurrent, m_dLastValue, min, max,
                       r.m_bAC == 1, m_Child[ID_ONOFF].data.value == 1);
      break;
    }
    default:
      break;
  }
}

void CWndVoltmeter::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) {
  dc->SetBkMode(TRANSPARENT);
  CRect rc(*content);
  const COLORREF text = GetSchemeColor(13);
  kvp::DcSelect selectFont(dc, nullptr);
  switch (data->id) {
    case ID_TITLE: {
      selectFont.Select(&m_fntTitle);
      dc->SetTextColor(GetSchemeColor(8));
      const CString title = TitleText();
      dc->DrawText(title, &rc, DT_LEFT | DT_BOTTOM | DT_SINGLELINE);
      break;
    }
    case ID_CURRENT: {
      dc->SetTextColor(text);
      selectFont.Select(&m_fntLarge);
      if (m_bErrorShown) {
        dc->DrawText(m_strValue, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      } else {
        CRect value(rc);
        value.right -= 120;
        dc->DrawText(m_strValue, &value, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
      }
      CRect corner(rc.left + 7, rc.top + 5, rc.left + 7 + m_nButtonWidth, rc.top + 5 + m_nButtonHeight);
      dc->SelectObject(&m_fntSmall);
      if (m_nResetCount > 0)
        dc->DrawText(GetDefaultText(38), -1, &corner, DT_LEFT | DT_TOP);
      else if (m_nZeroCount > 0)
        DrawZeroSymbol(dc, corner, text);
      break;
    }
    case ID_MIN:
    case ID_MAX: {
      dc->SetTextColor(text);
      selectFont.Select(&m_fntLarge);
      CRect value(rc);
      value.right -= 10;
      dc->DrawText(data->id == ID_MIN ? m_strMin : m_strMax, &value, DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
      dc->SelectObject(&m_fntSmall);
      CRect caption(rc.left + 6, rc.top + 4, rc.right, rc.bottom);
      dc->DrawText(GetDefaultText(data->id == ID_MIN ? 39 : 40), -1, &caption, DT_LEFT | DT_TOP | DT_SINGLELINE);
      break;
    }
    case ID_ACDC:
    case ID_ONOFF:
    case ID_PRINT: {
      dc->SetTextColor(text);
      const char* caption = data->id == ID_ACDC    ? "=/~"
                            : data->id == ID_ONOFF ? GetDefaultText(41)
                                                   : GetGlobalProps().GetText(kTextPrint);
      // "Min/Max" in the button font is wider than the button on the program's pane.
      DrawFittedCaption(dc, caption, rc, m_fntHalf, kCaptionMargin);
      break;
    }
    case ID_ZERO: {
      dc->SetTextColor(data->enabled ? text : AdjustColor(m_crBack, -20));
      selectFont.Select(&m_fntSmall);
      // Two lines, centred as a block.
      CRect measure(rc);
      const int height = dc->DrawText(GetDefaultText(38), -1, &measure, DT_CENTER | DT_CALCRECT);
      CRect lines(rc.left, rc.top + (rc.Height() - height) / 2, rc.right, rc.bottom);
      dc->DrawText(GetDefaultText(38), -1, &lines, DT_CENTER | DT_TOP);
      break;
    }
    case ID_CALIBRATE: {
      selectFont.Select(&m_fntHalf);
      const COLORREF color = data->enabled ? text : AdjustColor(button->face, -50);
      DrawZeroSymbol(dc, rc, color);
      break;
    }
    default:
      break;
  }
}
