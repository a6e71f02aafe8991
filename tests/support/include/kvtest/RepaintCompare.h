// Incremental painting checked against painting from scratch: a window tree's picture as its
// windows painted it step by step (only what changed), and the same tree painted whole after its
// screen area was wiped, compared pixel for pixel. Platform only, for any pane's tests.
#pragma once

#include <platform/gdi.h>
#include <platform/window.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kvtest {

// A window's pixels as they are on screen (client coordinates, 0x00RRGGBB per pixel, row by row).
struct WindowPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  COLORREF At(int x, int y) const;
};

// Cuts the window's client area out of its top-level's back buffer.
WindowPicture CaptureWindow(HWND hwnd);

struct RepaintComparison {
  bool same = false;
  int differing = 0;             // pixels that differ (-1: the window changed its size)
  POINT first{-1, -1};           // the first of them, row by row, in the window's client coordinates
  COLORREF incremental = 0;      // its colour as painted step by step
  COLORREF whole = 0;            // and as painted from scratch
  std::string Describe() const;  // "same" or the count, the first pixel and its two colours
};

// The colour the window's area is wiped with before it is painted from scratch: a pixel no paint
// reaches keeps it and shows as a difference.
constexpr COLORREF kWipeColour = RGB(255, 0, 254);

// Captures the tree as it is now (pending paints done first), then paints it whole from scratch:
// `dropCaches` makes its windows forget what they keep between paints (off-screen layers, last
// pictures), the window's area on screen is wiped, the window and every child are invalidated and
// painted. Compares the two pictures. The tree keeps the from-scratch picture.
RepaintComparison CompareWithWholeRepaint(HWND hwnd, const std::function<void()>& dropCaches = {});

// For EXPECT_TRUE / ASSERT_TRUE: success when the two pictures are the same, else the description.
::testing::AssertionResult PaintsAsWhole(HWND hwnd, const std::function<void()>& dropCaches = {});

}  // namespace kvtest
