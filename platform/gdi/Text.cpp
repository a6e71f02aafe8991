// DrawText, TextOut, text extents and text metrics. Layout works in device pixels with the DC's
// metrics provider; results go back to logical units (heights come out negative where y grows
// upwards).
#include <algorithm>
#include <cmath>

#include "DeviceContext.h"
#include "TextLayout.h"
#include "TextLog.h"

#include <platform/textlog.h>
#include "TextRender.h"

namespace kvp::gdi {
namespace {

struct TextJob {
  std::shared_ptr<Dc> dc;
  std::shared_ptr<Font> font;
  ResolvedFont resolved;
  std::string utf8;
};

bool Prepare(HDC h, LPCSTR text, int count, TextJob& job) {
  job.dc = LookupDc(h);
  if (!job.dc || !text) return false;
  job.font = job.dc->st.font;
  job.resolved = ResolveFont(*job.font, *job.dc);
  job.utf8 = TextToUtf8(*job.font, text, count);
  return true;
}

LONG ToLogicalLength(double device, double scale) { return static_cast<LONG>(std::lround(device / scale)); }

}  // namespace
}  // namespace kvp::gdi

using namespace kvp::gdi;

extern "C" {

int DrawText(HDC h, LPCSTR text, int count, LPRECT rect, UINT format) {
  TextJob job;
  if (!rect || !Prepare(h, text, count, job)) return 0;
  Dc& dc = *job.dc;
  const kvp::TextMetricsProvider& metrics = *dc.metrics;
  const RECT box = dc.ToDevice(*rect);
  const int boxWidth = box.right - box.left;
  std::vector<TextLine> lines = BreakLines(job.utf8, format, boxWidth, [&](std::string_view s) {
    return WidthOf(metrics, job.resolved, s);
  });
  const int lineHeight = MetricsOf(metrics, job.resolved).height();
  const int textHeight = static_cast<int>(lines.size()) * lineHeight;

  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const auto& l : lines) widest = std::max(widest, l.width);
    rect->right = rect->left + ToLogicalLength(widest, dc.ScaleX());
    rect->bottom = rect->top + ToLogicalLength(textHeight, dc.ScaleY());
    return rect->bottom - rect->top;
  }

  LogDrawnText(dc, text, count, *rect, format);
  int y = box.top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      y = box.top + (box.bottom - box.top - lineHeight) / 2;
    else if (format & DT_BOTTOM)
      y = box.bottom - lineHeight;
  }
  const int drawnBottom = y + textHeight;
  cairo_t* cr = dc.cr();
  const bool clip = !(format & DT_NOCLIP);
  if (clip) {
    cairo_save(cr);
    cairo_rectangle(cr, box.left, box.top, boxWidth, box.bottom - box.top);
    cairo_clip(cr);
  }
  for (const auto& line : lines) {
    int x = box.left;
    if (format & DT_CENTER)
      x = box.left + (boxWidth - line.width) / 2;
    else if (format & DT_RIGHT)
      x = box.right - line.width;
    DrawLine(dc, *job.font, job.resolved, x, y, line.text);
    y += lineHeight;
  }
  if (clip) cairo_restore(cr);
  // The height of the text; with vertical placement, from the box's top to the text's bottom.
  const int used = (format & DT_SINGLELINE) && (format & (DT_VCENTER | DT_BOTTOM)) ? drawnBottom - box.top : textHeight;
  return ToLogicalLength(used, dc.ScaleY());
}

BOOL TextOut(HDC h, int x, int y, LPCSTR text, int count) {
  TextJob job;
  if (!Prepare(h, text, count, job)) return FALSE;
  POINT p = job.dc->ToDevice(x, y);
  if (TextLogOn()) {
    const int width = WidthOf(*job.dc->metrics, job.resolved, job.utf8);
    const int height = MetricsOf(*job.dc->metrics, job.resolved).height();
    const RECT box{x, y, x + std::abs(ToLogicalLength(width, job.dc->ScaleX())),
                   y + std::abs(ToLogicalLength(height, job.dc->ScaleY()))};
    LogDrawnText(*job.dc, text, count, box, kvp::kTextOutFlag);
  }
  DrawLine(*job.dc, *job.font, job.resolved, p.x, p.y, job.utf8);
  return TRUE;
}

BOOL GetTextExtentPoint32(HDC h, LPCSTR text, int count, LPSIZE size) {
  TextJob job;
  if (!size || !Prepare(h, text, count, job)) return FALSE;
  const Dc& dc = *job.dc;
  const int width = WidthOf(*dc.metrics, job.resolved, job.utf8);
  const int height = MetricsOf(*dc.metrics, job.resolved).height();
  size->cx = std::abs(ToLogicalLength(width, dc.ScaleX()));
  size->cy = std::abs(ToLogicalLength(height, dc.ScaleY()));
  return TRUE;
}

BOOL GetTextMetrics(HDC h, LPTEXTMETRIC tm) {
  auto dc = LookupDc(h);
  if (!dc || !tm) return FALSE;
  const Font& font = *dc->st.font;
  const kvp::ResolvedFont resolved = ResolveFont(font, *dc);
  const kvp::FontExtents e = dc->metrics->Extents(resolved);
  const LineMetrics lm = MetricsOf(*dc->metrics, resolved);
  auto len = [&](double device) { return std::abs(ToLogicalLength(device, dc->ScaleY())); };
  *tm = TEXTMETRIC{};
  tm->tmAscent = len(lm.ascent);
  tm->tmDescent = len(lm.descent);
  tm->tmHeight = len(lm.height());
  tm->tmInternalLeading = std::max<LONG>(0, len(lm.height() - resolved.emPixels));
  tm->tmAveCharWidth = std::abs(ToLogicalLength(e.averageCharWidth, dc->ScaleX()));
  tm->tmMaxCharWidth = std::abs(ToLogicalLength(e.maxCharWidth, dc->ScaleX()));
  tm->tmWeight = resolved.weight;
  tm->tmDigitizedAspectX = dc->dpi();
  tm->tmDigitizedAspectY = dc->dpi();
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = '?';
  tm->tmBreakChar = ' ';
  tm->tmItalic = font.log.lfItalic;
  tm->tmUnderlined = font.log.lfUnderline;
  tm->tmStruckOut = font.log.lfStrikeOut;
  tm->tmCharSet = font.log.lfCharSet;
  return TRUE;
}

}  // extern "C"
