// The chart's printout: one landscape page with the title, a grid of square divisions, the limit
// bands, the level lines with their marks, the saved signals and the live traces, a thick frame and
// one legend line per shown channel and per saved signal.
#include <scope/chart/OscChartWnd.h>
#include <scope/SavedScopeText.h>

#include "ChartDraw.h"

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/MotortesterData.h>
#include <core/SavedScope.h>
#include <core/Texts.h>

#include <scope/ScopeState.h>

#include <platform/dcscope.h>
#include <platform/print.h>

using chartdraw::Axes;

void COscChartWnd::PrintChart() {
  CPrintDialog dlg(FALSE, PD_NOSELECTION | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE | PD_USEDEVMODECOPIESANDCOLLATE, this);
  // Preset the default printer in landscape.
  if (dlg.GetDefaults()) {
    if (dlg.m_pd.hDC) {
      ::DeleteDC(dlg.m_pd.hDC);
      dlg.m_pd.hDC = 0;
    }
    if (LPDEVMODE dm = dlg.GetDevMode()) {
      dm->dmOrientation = DMORIENT_LANDSCAPE;
      dm->dmFields |= DM_ORIENTATION;
      GlobalUnlock(dlg.m_pd.hDevMode);
    }
  }
  const bool confirmed = dlg.DoModal() == IDOK;
  const HDC hdc = confirmed ? dlg.GetPrinterDC() : 0;
  if (hdc) {
    CDC dc;
    if (dc.Attach(hdc)) {
      PrintPage(&dc);
      dc.Detach();
    }
    ::DeleteDC(hdc);
  }
  if (dlg.m_pd.hDevMode) GlobalFree(dlg.m_pd.hDevMode);
  if (dlg.m_pd.hDevNames) GlobalFree(dlg.m_pd.hDevNames);
}

BOOL COscChartWnd::PrintPage(CDC* dc) {
  DOCINFO info{sizeof(DOCINFO), "Dravix Scope", nullptr, nullptr, 0};
  if (dc->StartDoc(&info) <= 0) return FALSE;
  dc->StartPage();
  DrawPrintedPage(dc);
  dc->EndPage();
  return dc->EndDoc() > 0;
}

void COscChartWnd::DrawPrintedPage(CDC* dc) {
  const GlobalProps& props = GetGlobalProps();
  // The fonts outlive the saved state, so neither is deleted while the DC holds it.
  CFont titleFont, legendFont;
  kvp::DcState saved(dc);
  dc->SetMapMode(MM_TEXT);
  dc->SetBkMode(TRANSPARENT);
  CRect page;
  dc->GetClipBox(&page);
  const int H = page.Height(), W = page.Width();
  const BYTE charSet = props.GetCharSet();
  titleFont.CreateFont(H / 36, 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  legendFont.CreateFont(static_cast<int>(0.8 * (H / 36)), 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");

  // Title.
  dc->SelectObject(&titleFont);
  dc->SetTextColor(0x000000);
  CRect title(page.left, page.top, page.right, page.top + H / 36);
  dc->DrawText(GetDefaultText(54), -1, &title, DT_CENTER | DT_VCENTER | DT_SINGLELINE);

  // Grid of square divisions, centred.
  const int shown = GetTimeStepScale().m_nCurrentStep > 0 ? GetTimeStepScale().m_nCurrentStep : 10;
  const int g = static_cast<int>(0.7 * H);
  const int left = (page.left + page.right) / 2 - shown * g / 20;
  const int right = left + shown * g / 10;
  const int top = title.bottom + H / 50;
  const int bottom = top + g;
  {
    CPen gridPen(PS_SOLID, 2, 0xC0C0C0);
    kvp::DcSelect pen(dc, &gridPen);
    const int step = (right - left) / shown;
    for (int k = 1; k < shown; ++k) {
      dc->MoveTo(left + k * step, top);
      dc->LineTo(left + k * step, bottom);
    }
    for (int k = 1; k <= 9; ++k) {
      dc->MoveTo(left, top + k * g / 10);
      dc->LineTo(right, top + k * g / 10);
    }
  }

  PrintLimitBands(dc, left, top, right, bottom);
  PrintLevelLines(dc, left, top, right, bottom);
  PrintSavedSignals(dc, left, top, right, bottom);
  PrintTraces(dc, left, top, right, bottom);

  {
    CPen framePen(PS_SOLID, 5, 0x000000);
    kvp::DcSelect pen(dc, &framePen);
    kvp::DcSelect brush(dc->m_hDC, GetStockObject(HOLLOW_BRUSH));
    dc->Rectangle(left, top, right, bottom);
  }

  // Legend.
  dc->SelectObject(&legendFont);
  int y = bottom + H / 40;
  const int lineHeight = H / 34;
  auto line = [&](COLORREF color, const char* letter, const CString& perDiv, const CString& timePerDiv,
                  const CString* name) {
    dc->SetTextColor(color);
    int x = left;
    CRect r(x, y, page.right, y + lineHeight);
    dc->DrawText(letter, -1, &r, DT_SINGLELINE | DT_NOCLIP);
    x += W / 20;
    r.left = x;
    dc->DrawText(perDiv, &r, DT_SINGLELINE | DT_NOCLIP);
    x += W / 13;
    r.left = x;
    dc->DrawText(timePerDiv, &r, DT_SINGLELINE | DT_NOCLIP);
    if (name) {
      x += W / 13;
      CRect rest(x, y, right, y + lineHeight);
      CString text = *name;
      dc->DrawText(text, &rest, DT_SINGLELINE | DT_RIGHT | DT_PATH_ELLIPSIS);
    }
    y += lineHeight;
  };
  // "~" marks AC coupling (0), for the live channels and the saved signals alike: the signal file
  // stores the channel's coupling as it is.
  auto perDivText = [](int coupling, const CString& value) {
    CString text;
    text.Format(coupling == 0 ? "~%s/div" : "%s/div", value.GetString());
    return text;
  };
  if (props.m_bInitialized) {
    for (int ch = 0; ch < 2; ++ch) {
      const CChannelProps& c = props.m_Channels[ch];
      if (c.m_nModeEnable != 1) continue;
      line(GetSchemeColor(ch), GetChannelText(ch), perDivText(c.m_nCoupling, props.FormatVoltsPerDiv(ch)),
           props.FormatTimePerDiv(), nullptr);
    }
  }
  static const char* const kLetters[4] = {"C", "D", "E", "F"};
  CSavedScope* scopes = GetSavedScopes();
  for (int s = 0; s < kSavedScopeSlots; ++s) {
    const CSavedScope& scope = scopes[s];
    if (scope.m_bEmpty) continue;
    const CString timePerDiv = FormatSavedScopeTimePerDiv(scope);
    for (int kind = 2 * s; kind <= 2 * s + 1; ++kind) {
      for (INT_PTR k = 0; k < scope.m_Signals.GetSize(); ++k) {
        const CSavedSignal* signal = scope.m_Signals[k];
        if (!signal || signal->m_nKind != kind) continue;
        const char* letter = kind >= 0 && kind < 4 ? kLetters[kind] : "Err";
        line(GetSchemeColor(30 + kind), letter, perDivText(signal->m_nCoupling, FormatSavedSignalPerDiv(*signal)),
             timePerDiv, kind % 2 == 0 ? &scope.m_strName : nullptr);
      }
    }
  }
}

void COscChartWnd::PrintLimitBands(CDC* dc, int left, int top, int right, int bottom) {
  const RECT grid{left, top, right, bottom};
  const Axes axes = Axes::Fitted(grid);
  chartdraw::DrawLimitBands(dc, grid, 30, &axes);
}

void COscChartWnd::PrintLevelLines(CDC* dc, int left, int top, int right, int bottom) {
  const RECT grid{left, top, right, bottom};
  const Axes axes = Axes::Fitted(grid);
  const int g = bottom - top;
  GlobalProps& props = GetGlobalProps();
  CFont labelFont;
  labelFont.CreateFont(-(g / 45), 0, 0, 0, FW_NORMAL, 0, 0, 0, props.GetCharSet(), 0, 0, 0, 0, "Arial");
  kvp::DcSelect font(dc, &labelFont);
  for (int i = 0; i < GlobalProps::TRACE_STYLE_COUNT; ++i) {
    const CTraceStyle& record = props.TraceStyle(i);
    if (record.Kind() == 2 || !record.IsShown()) continue;
    const CScale* axis = axes.Map(record.m_pScale);
    if (!axis || !IsValueInScaleRange(*axis, record.m_dValue)) continue;
    const int y = axis->ValueToPixel(record.m_dValue);
    CPen pen(PS_SOLID, 1, record.m_crColor);
    CBrush fill(record.m_crColor);
    const CRect mark(left - g / 40, y - g / 90, left, y - g / 90 + g / 45);
    {
      kvp::DcSelect selPen(dc, &pen);
      dc->MoveTo(left, y);
      dc->LineTo(right, y);
      kvp::DcSelect selBrush(dc, &fill);
      selPen.Select(::GetStockObject(BLACK_PEN));
      DrawThumbShape(3, mark.left, mark.top, mark.right, mark.bottom, dc);
    }
    CRect label = mark;
    label.OffsetRect(0, -mark.Height());
    kvp::DcTextColor color(dc, record.m_crColor);
    CString name = record.m_strName;
    dc->DrawText(name, &label, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
  }
}

void COscChartWnd::PrintSavedSignals(CDC* dc, int left, int top, int right, int bottom) {
  const RECT grid{left, top, right, bottom};
  chartdraw::DrawSavedSignals(dc, grid, Axes::Fitted(grid), 3, true);
}

void COscChartWnd::PrintTraces(CDC* dc, int left, int top, int right, int bottom) {
  const RECT grid{left, top, right, bottom};
  chartdraw::DrawTraces(dc, 0, 0, Axes::Fitted(grid), 3);
  if (GetMotortesterDevice()->GetEngineModeFlag() && !scope::GetScopeState().ScopeRecording.load()) {
    CFont font;
    const int h = bottom - top;
    font.CreateFont(-(h / 20), 0, 0, 0, FW_BOLD, 0, 0, 0, GetGlobalProps().GetCharSet(), 0, 0, 0, 0, "Arial");
    chartdraw::DrawEngineSpeed(dc, grid, &font);
  }
}
