// Reading what the analyzer chart and its printout drew, for the analyzer tests: the rows of a
// window column in given colours, a window's picture and the comparison of a window as repainted
// step by step with the same window repainted whole, a printed page rendered by poppler, and the
// mouse drag of a record's level thumb.
#pragma once

#include <meters/analyzer/AnalyzerChartWnd.h>

#include <kvtest/Shell.h>

#include <platform/display.h>

#include <cstdint>
#include <cstdio>
#include <functional>
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

// What a window shows: its client area's pixels, row by row.
struct Picture {
  int width = 0;
  int height = 0;
  std::vector<COLORREF> pixels;
};

inline Picture Capture(HWND window) {
  RECT r{};
  ::GetClientRect(window, &r);
  Picture p;
  p.width = r.right;
  p.height = r.bottom;
  p.pixels.reserve(static_cast<size_t>(p.width) * p.height);
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) p.pixels.push_back(kvp::WindowPixel(window, x, y));
  return p;
}

// The first pixel (row by row) in which the pictures differ and how many do, or "" when they are
// equal.
inline std::string FirstDifference(const Picture& a, const Picture& b) {
  if (a.width != b.width || a.height != b.height)
    return "sizes " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " + std::to_string(b.width) +
           "x" + std::to_string(b.height);
  size_t first = a.pixels.size(), count = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i)
    if (a.pixels[i] != b.pixels[i]) {
      if (count++ == 0) first = i;
    }
  if (count == 0) return "";
  char text[160];
  std::snprintf(text, sizeof text, "%zu pixels differ, the first at (%d, %d): %06X step by step, %06X whole", count,
                static_cast<int>(first % a.width), static_cast<int>(first / a.width),
                static_cast<unsigned>(a.pixels[first]), static_cast<unsigned>(b.pixels[first]));
  return text;
}

// Compares the window as it stands, painted step by step by whatever changed, with the same window
// repainted whole from scratch: `dropCaches` first throws away what the windows keep between
// paints, then the window and all its children are invalidated and painted. Returns the first
// difference, "" when the pictures are equal.
// Invalidates the window and every window in it and paints each at once.
inline void RepaintTree(HWND window) {
  ::InvalidateRect(window, nullptr, TRUE);
  ::UpdateWindow(window);
  for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) RepaintTree(child);
}

inline std::string RepaintedWholeDiffers(HWND window, const std::function<void()>& dropCaches) {
  kvp::headless::Pump();
  const Picture stepByStep = Capture(window);
  dropCaches();
  RepaintTree(window);
  kvp::headless::Pump();
  return FirstDifference(stepByStep, Capture(window));
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
