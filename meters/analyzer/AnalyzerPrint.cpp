// The chart's print: the current view window of every record on one landscape page, with title,
// record file name, framed grid, hatching, zero lines, traces and one legend line per record.
#include <meters/analyzer/AnalyzerChartWnd.h>

#include <meters/Record.h>
#include <meters/Recorder.h>
#include <meters/analyzer/AnalyzerCommon.h>
#include <meters/analyzer/AnalyzerTrace.h>

#include <core/DrawHelpers.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/Texts.h>

#include <platform/dcscope.h>
#include <platform/print.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace analyzer;

namespace {

constexpr DWORD kPrintFlags = 0x14000C;  // no page numbers or selection, no print to file, device copies
constexpr COLORREF kGapColor = 0x282828;

// The print scale of a record: +-5 of its divisions over the plot height (y grows upwards).
struct PrintScale {
  double half = 0.0;  // 5 divisions
  int bottom = 0;
  int top = 0;
  bool Valid() const { return std::isfinite(half) && half > 0.0; }
  bool Contains(double v) const { return v >= -half && v <= half; }
  int Pixel(double v) const {
    const double clamped = std::clamp(v, -half, half);
    return bottom + static_cast<int>((clamped + half) / (2.0 * half) * (top - bottom));
  }
};

// "signal scale: ..." of a record's per-division value (not divided by the amplitude step).
CString SignalScaleLegend(const CRecord& r) {
  const double v = r.m_dPerDivision;
  const char* tilde = r.GetCoupling() == Coupling::AC ? "~" : "";
  CString number;
  CString out;
  if (v > -1.0 && v < 1.0) {
    FormatValue(number, v, RecordUnit(r), 0, TRUE);
    out.Format("signal scale: %s%s/div", tilde, (LPCSTR)number);
  } else {
    FormatScaledValue(number, v, GetEngineeringExponent(v), 2);
    out.Format("signal scale: %s%s%s/div", tilde, (LPCSTR)number, RecordUnit(r));
  }
  return out;
}

CString TimeScaleLegend(const CRecord& r, int zoom, int last) {
  const double rate = r.m_dSampleRate;
  CString out;
  if (!(rate > 0.0) || !std::isfinite(rate)) return CString("time scale: ---");
  const double t = zoom != 0 ? 50.0 * zoom / rate : (last / rate) * 0.0625;
  if (r.m_bAngle) {
    out.Format("time scale: %.1f\xB0/div", t);
    return out;
  }
  CString number;
  if (t > -1.0 && t < 1.0) {
    FormatValue(number, t, "", 0, TRUE);
    out.Format("time scale: %s/div", (LPCSTR)number);
  } else {
    FormatScaledValue(number, t, GetEngineeringExponent(t), 1);
    out.Format("time scale: %ss/div", (LPCSTR)number);
  }
  return out;
}

CString ExtremeLegend(const char* name, const char* prefix, double v, LPCSTR unit, bool any) {
  CString out;
  if (!any) {
    out.Format("%s: ---", name);
    return out;
  }
  CString number;
  if (v > -1.0 && v < 1.0) {
    FormatValue(number, v, unit, 0, TRUE);
    out.Format("%s: %s%s", name, prefix, (LPCSTR)number);
  } else {
    FormatScaledValue(number, v, GetEngineeringExponent(v), 1);
    out.Format("%s: %s%s%s", name, prefix, (LPCSTR)number, unit);
  }
  return out;
}

// y of a shown value on the page.
class PrintYMap final : public ITraceYMap {
 public:
  explicit PrintYMap(const PrintScale& scale) : m_Scale(scale) {}
  int Pixel(double shown) const override { return m_Scale.Pixel(shown); }

 private:
  PrintScale m_Scale;
};

// The walk's lines on the page, from the plot's left edge; a gap is a thin dark line over the
// plot's height.
class PrintTraceSink final : public ITraceSink {
 public:
  PrintTraceSink(CDC* dc, int left, int top, int bottom) : m_pDC(dc), m_nLeft(left), m_nTop(top), m_nBottom(bottom) {}
  void Move(int x, int y) override { m_pDC->MoveTo(m_nLeft + x, y); }
  void Line(int x, int y) override { m_pDC->LineTo(m_nLeft + x, y); }
  void Gap(int x) override {
    CPen gapPen(PS_SOLID, 1, kGapColor);
    kvp::DcSelect pen(m_pDC, &gapPen);
    m_pDC->MoveTo(m_nLeft + x, m_nTop);
    m_pDC->LineTo(m_nLeft + x, m_nBottom);
  }

 private:
  CDC* m_pDC;
  int m_nLeft;
  int m_nTop;
  int m_nBottom;
};

}  // namespace

void CAnalyzerChartWnd::Print() {
  CPrintDialog printer(FALSE, kPrintFlags);
  if (printer.GetDefaults()) {
    if (HDC dc = printer.GetPrinterDC()) ::DeleteDC(dc);
    printer.m_pd.hDC = 0;
    if (printer.m_pd.hDevMode) {
      if (auto* mode = static_cast<DEVMODE*>(GlobalLock(printer.m_pd.hDevMode))) {
        mode->dmOrientation = 2;
        GlobalUnlock(printer.m_pd.hDevMode);
      }
    }
  }
  printer.m_pd.Flags = kPrintFlags | PD_RETURNDC;
  if (printer.DoModal() != IDOK) return;
  CDC dc;
  if (!printer.GetPrinterDC() || !dc.Attach(printer.GetPrinterDC())) return;
  PrintOn(&dc);
  dc.DeleteDC();
}

void CAnalyzerChartWnd::PrintOn(CDC* dc) {
  CRecorder& rec = *m_pRecorder;
  const CRecorder::ViewState& view = rec.m_View;
  dc->SetMapMode(MM_LOMETRIC);
  CRect page;
  dc->GetClipBox(&page);
  // Metric mode: y grows upwards, so the page's top is its largest y.
  const int pageTop = std::max(page.top, page.bottom);
  const int pageBottom = std::min(page.top, page.bottom);
  const int PH = pageTop - pageBottom;
  const int PW = page.right - page.left;
  const int u = PH / 36;
  const BYTE charSet = GetGlobalProps().GetCharSet();
  // The page's fonts and pens outlive the DC state below, which still has them selected until it
  // is restored.
  CFont bold, regular;
  bold.CreateFont(u, 0, 0, 0, FW_BOLD, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  regular.CreateFont(static_cast<int>(0.8 * u), 0, 0, 0, FW_NORMAL, 0, 0, 0, charSet, 0, 0, 0, 0, "Arial");
  CPen framePen(PS_SOLID, 5, 0x000000);
  CPen gridPen(PS_DOT, 3, 0xC0C0C0);
  {
    // The DC's own brush, pen, font and background mode come back at the end of the page. Objects go
    // in through their GDI handles: the printer's defaults are no class-library pens or brushes.
    kvp::DcState saved(dc);
    const HDC hdc = dc->GetSafeHdc();
    auto select = [hdc](const CGdiObject& object) { ::SelectObject(hdc, object.GetSafeHandle()); };
    dc->SetBkMode(TRANSPARENT);
    if (dc->StartDoc("Dravix Scope") <= 0) return;
    dc->StartPage();
    dc->SetTextColor(0x000000);

    // Title and file name.
    select(bold);
    const char* title = GetDefaultText(56);
    const int titleH = dc->GetTextExtent(title, static_cast<int>(strlen(title))).cy;
    CRect tr(page.left, pageTop, page.right, pageTop - titleH);
    dc->DrawText(title, -1, &tr, DT_CENTER | DT_SINGLELINE);
    int textBottom = pageTop - titleH;
    const int margin = PW / 15;
    if (!rec.m_strFileName.IsEmpty()) {
      select(regular);
      const int nameH = dc->GetTextExtent(rec.m_strFileName).cy;
      const int top = textBottom - PH / 80;
      CRect nr(page.left + margin, top, page.right - margin, top - nameH);
      dc->DrawText(rec.m_strFileName, &nr, DT_CENTER | DT_SINGLELINE | DT_PATH_ELLIPSIS);
      textBottom = top - nameH;
    }

    // The frame (16:10) and the plot inside it.
    const int frameLeft = page.left + margin;
    const int frameRight = page.right - margin;
    const int frameTop = textBottom - PH / 50;
    const int frameBottom = frameTop - static_cast<int>(0.625 * (frameRight - frameLeft));
    select(framePen);
    dc->SelectStockObject(NULL_BRUSH);
    dc->Rectangle(frameLeft, frameTop, frameRight, frameBottom);
    const CRect plot(frameLeft + 5, frameTop - 5, frameRight - 5, frameBottom + 5);  // top > bottom
    const int plotW = plot.right - plot.left;
    const int plotH = plot.top - plot.bottom;

    // The print window: a start before the record begins is replaced by half a window.
    const int last = rec.GetRecordLastIndex();
    int start, end, n;
    if (view.m_nZoom != 0) {
      n = view.m_nZoom * CRecorder::SCREEN_COLUMNS;
      start = view.m_nPosition - n / 2;
      if (start < 0) start = n / 2;
      end = start + n - 1;
      if (end > last) {
        end = last;
        start = last - n;
      }
    } else {
      start = 0;
      end = last;
      n = last;
    }
    const double perPixel = plotW > 0 && n > 0 ? static_cast<double>(n) / plotW : 1.0;

    CRecordList& list = GetRecordList();
    // Hatching, per record, from the window's statistics.
    for (int k = 0; k < list.GetSize(); ++k) {
      CRecord& r = *list[k];
      PrintScale scale{r.m_dPerDivision * 10 * 0.5, plot.bottom, plot.top};
      if (!scale.Valid() || r.GetPointCount() == 0) continue;
      const double a = k < 4 ? view.m_nAmplitudeStep[k] : 1.0;
      const double off = k < 4 ? view.m_dLevelOffset[k] : 0.0;
      const RecordWindowStats stats = rec.GetWindowStats(k);
      if (!r.m_hPen2) r.m_hPen2 = CreatePen(PS_SOLID, 1, r.m_crColor2);
      kvp::DcSelect pen(hdc, r.m_hPen2);
      // The page's y grows upwards: the rectangles go in with their smaller y first, so the band's
      // edge at the value (below an over-range band, above an under-range one) is the other bit.
      if (stats.over && scale.Contains(stats.max * a + off))
        DrawLinePattern(dc, plot.left, scale.Pixel(stats.max * a + off), plot.right, plot.top, r.GetPatternKind(), 2,
                        30);
      if (stats.under && scale.Contains(stats.min * a + off))
        DrawLinePattern(dc, plot.left, plot.bottom, plot.right, scale.Pixel(stats.min * a + off), r.GetPatternKind(), 8,
                        30);
    }

    // Dotted grid.
    select(gridPen);
    for (int k = 1; k <= 15; ++k) {
      const int x = plot.left + k * (plotW / 16);
      dc->MoveTo(x, plot.top);
      dc->LineTo(x, plot.bottom);
    }
    for (int k = 1; k <= 9; ++k) {
      const int y = plot.top - k * (plotH / 10);
      dc->MoveTo(plot.left, y);
      dc->LineTo(plot.right, y);
    }

    // Zero lines and traces.
    for (int k = 0; k < list.GetSize(); ++k) {
      CRecord& r = *list[k];
      PrintScale scale{r.m_dPerDivision * 10 * 0.5, plot.bottom, plot.top};
      if (!scale.Valid() || r.GetPointCount() == 0 || r.GetSampleCount() == 0) continue;
      const double a = k < 4 ? view.m_nAmplitudeStep[k] : 1.0;
      const double off = k < 4 ? view.m_dLevelOffset[k] : 0.0;
      CPen zero(PS_SOLID, 3, r.m_crColor);
      select(zero);
      if (scale.Contains(off)) {
        dc->MoveTo(plot.left, scale.Pixel(off));
        dc->LineTo(plot.right, scale.Pixel(off));
      }
      CPen tracePen(PS_SOLID, 5, r.m_crColor);
      select(tracePen);
      const PrintYMap yMap(scale);
      PrintTraceSink sink(dc, plot.left, plot.top, plot.bottom);
      WalkTrace(r, RecorderViewWindow{start, end, n, perPixel}, a, off, yMap, sink);
      dc->SelectStockObject(BLACK_PEN);  // this record's pens end here
    }

    // Legends, one line per record under the frame.
    select(regular);
    const int lineH = dc->GetTextExtent("Ag", 2).cy;
    for (int k = 0; k < list.GetSize(); ++k) {
      CRecord& r = *list[k];
      const RecordWindowStats stats = rec.GetWindowStats(k);
      CString letter;
      letter.Format("Signal %s", GetChannelLetter(k));
      const CString pieces[5] = {letter, SignalScaleLegend(r), TimeScaleLegend(r, view.m_nZoom, last),
                                 ExtremeLegend("max", stats.over ? ">" : "", stats.max, RecordUnit(r), stats.any),
                                 ExtremeLegend("min", stats.under ? "<" : "", stats.min, RecordUnit(r), stats.any)};
      dc->SetTextColor(r.m_crColor);
      int x = frameLeft;
      const int y = frameBottom - 20 - k * lineH;
      for (const CString& piece : pieces) {
        dc->TextOut(x, y, piece);
        x += dc->GetTextExtent(piece).cx + 100;
      }
    }

  }
  dc->EndPage();
  dc->EndDoc();
}
