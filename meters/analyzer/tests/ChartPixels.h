// Reading what the analyzer chart and its printout drew, for the analyzer tests: the rows of a
// window column in given colours, the chart's kept layers thrown away (for the comparison with a
// whole repaint, <kvtest/RepaintCompare.h>), a printed page rendered by poppler, and the mouse drag
// of a record's level thumb.
#pragma once

#include <meters/analyzer/AnalyzerChartWnd.h>

#include <kvtest/Shell.h>

#include <platform/display.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

namespace analyzertest {

// The rows of column x of the window whose pixel has one of the colours.
inline std::vector<int> RowsInColour(HWND window, int x, std::initializer_list<COLORREF> colours) {
  RECT r{};
  ::GetClientRect(window, &r);
  std::vector<int> rows;
  for (int y = 0; y < r.bottom; ++y) {
    const COLORREF c = kvp::WindowPixel(window, x, y);
    for (COLORREF want : colours)
      if (c == want) {
        rows.push_back(y);
        break;
      }
  }
  return rows;
}

// Throws away what the chart keeps between paints: its static layer and the picture of its traces.
inline void DropChartLayers(CAnalyzerChartWnd& chart) {
  chart.m_bStaticValid = false;
  chart.m_GridLayer.Fill();
  chart.m_TraceLayer.Fill();
}

// Drags the level thumb of record k by dy pixels with the mouse; the chart places it again. A
// second's pause first, so that a second drag is no double click.
inline void DragLevelThumb(CAnalyzerChartWnd& chart, int k, int dy) {
  namespace hl = kvp::headless;
  hl::Advance(1000);
  const RECT thumb = chart.m_Items.GetItem(2 + k)->rect;
  const POINT grab{thumb.left + 3, thumb.top + 6};
  hl::MoveMouseTo(chart.GetSafeHwnd(), grab);
  hl::PressButton(hl::Button::Left);
  hl::MoveMouseTo(chart.GetSafeHwnd(), POINT{grab.x, grab.y + dy});
  hl::ReleaseButton(hl::Button::Left);
  hl::Pump();
}

// A PDF page rendered by poppler at `dpi`, as RGB pixels.
struct RenderedPage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;

  bool Load(const std::string& pdf, int dpi) {
    const std::string ppm = kvtest::CommandOutput("pdftoppm -r " + std::to_string(dpi) + " -singlefile '" + pdf + "' 2>/dev/null");
    int maxValue = 0, used = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &width, &height, &maxValue, &used) != 3 || maxValue != 255) return false;
    const size_t start = static_cast<size_t>(used) + 1;  // one whitespace byte ends the header
    const size_t bytes = static_cast<size_t>(width) * height * 3;
    if (ppm.size() < start + bytes) return false;
    rgb.assign(ppm.begin() + static_cast<std::ptrdiff_t>(start), ppm.begin() + static_cast<std::ptrdiff_t>(start + bytes));
    return true;
  }
  // Whether the pixel lies within `tolerance` of the colour in each channel (anti-aliased edges
  // are left out).
  bool Near(int x, int y, COLORREF c, int tolerance = 40) const {
    const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
    const int want[3] = {GetRValue(c), GetGValue(c), GetBValue(c)};
    for (int i = 0; i < 3; ++i)
      if (p[i] - want[i] > tolerance || want[i] - p[i] > tolerance) return false;
    return true;
  }
  // The rows in which at least `share` of the columns from x0 to x1 are near the colour.
  std::vector<int> RowsCovered(COLORREF c, int x0, int x1, double share) const {
    std::vector<int> rows;
    for (int y = 0; y < height; ++y) {
      int n = 0;
      for (int x = x0; x < x1; ++x) n += Near(x, y, c) ? 1 : 0;
      if (n >= share * (x1 - x0)) rows.push_back(y);
    }
    return rows;
  }
};

}  // namespace analyzertest
