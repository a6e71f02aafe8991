#include <kvtest/RepaintCompare.h>

#include <platform/display.h>

#include <cairo.h>

#include <cstdio>

namespace kvtest {

namespace {

uint32_t Pixel(COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); }
COLORREF Colour(uint32_t v) { return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF); }

HWND TopLevelOf(HWND hwnd) {
  HWND top = hwnd;
  while (HWND parent = ::GetParent(top)) top = parent;
  return top;
}

// Where the window's client (0, 0) lies in its top-level's back buffer, checked against the
// display's own pixel reading; {-1, -1} when the two disagree.
POINT OriginInBuffer(HWND hwnd, cairo_surface_t* surface, int width, int height) {
  POINT origin{0, 0};
  const HWND top = TopLevelOf(hwnd);
  ::MapWindowPoints(hwnd, top, &origin, 1);
  const int sw = cairo_image_surface_get_width(surface), sh = cairo_image_surface_get_height(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const POINT probes[] = {{0, 0}, {width - 1, 0}, {0, height - 1}, {width - 1, height - 1}, {width / 2, height / 2}};
  for (POINT p : probes) {
    const int x = origin.x + p.x, y = origin.y + p.y;
    if (x < 0 || y < 0 || x >= sw || y >= sh) return POINT{-1, -1};
    const uint32_t v = *reinterpret_cast<const uint32_t*>(data + y * stride + x * 4) & 0xFFFFFFu;
    if (v != Pixel(kvp::WindowPixel(hwnd, p.x, p.y))) return POINT{-1, -1};
  }
  return origin;
}

}  // namespace

COLORREF WindowPicture::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return 0xFFFFFFFFu;
  return Colour(pixels[static_cast<size_t>(y) * width + x]);
}

WindowPicture CaptureWindow(HWND hwnd) {
  WindowPicture picture;
  RECT client{0, 0, 0, 0};
  if (!::GetClientRect(hwnd, &client)) return picture;
  picture.width = client.right - client.left;
  picture.height = client.bottom - client.top;
  if (picture.width <= 0 || picture.height <= 0) return picture;
  picture.pixels.resize(static_cast<size_t>(picture.width) * picture.height);
  cairo_surface_t* surface = kvp::WindowSurface(TopLevelOf(hwnd));
  POINT origin{-1, -1};
  if (surface) {
    cairo_surface_flush(surface);
    origin = OriginInBuffer(hwnd, surface, picture.width, picture.height);
  }
  if (origin.x < 0) {
    // No back buffer to cut from: pixel by pixel through the display.
    for (int y = 0; y < picture.height; ++y)
      for (int x = 0; x < picture.width; ++x)
        picture.pixels[static_cast<size_t>(y) * picture.width + x] = Pixel(kvp::WindowPixel(hwnd, x, y));
    return picture;
  }
  const unsigned char* data = cairo_image_surface_get_data(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < picture.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(data + (origin.y + y) * stride) + origin.x;
    for (int x = 0; x < picture.width; ++x) picture.pixels[static_cast<size_t>(y) * picture.width + x] = row[x] & 0xFFFFFFu;
  }
  return picture;
}

std::string RepaintComparison::Describe() const {
  if (same) return "same";
  if (differing < 0) return "the window changed its size between the two pictures";
  char text[200];
  std::snprintf(text, sizeof text,
                "%d pixels differ; the first at (%ld, %ld): painted step by step #%06X, painted whole #%06X",
                differing, static_cast<long>(first.x), static_cast<long>(first.y),
                static_cast<unsigned>(Pixel(incremental)), static_cast<unsigned>(Pixel(whole)));
  return text;
}

RepaintComparison CompareWithWholeRepaint(HWND hwnd, const std::function<void()>& dropCaches) {
  kvp::headless::Pump();
  const WindowPicture incremental = CaptureWindow(hwnd);

  if (dropCaches) dropCaches();
  // Wipe the window's area of the back buffer: what the whole repaint leaves out shows.
  if (cairo_surface_t* surface = kvp::WindowSurface(TopLevelOf(hwnd))) {
    POINT origin{0, 0};
    ::MapWindowPoints(hwnd, TopLevelOf(hwnd), &origin, 1);
    cairo_t* cr = cairo_create(surface);
    const COLORREF c = kWipeColour;
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
    cairo_rectangle(cr, origin.x, origin.y, incremental.width, incremental.height);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
  }
  // Painted at once, window by window, without serving other messages: a record that arrives
  // meanwhile waits and cannot change the picture between the two captures.
  ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const WindowPicture whole = CaptureWindow(hwnd);

  RepaintComparison result;
  if (incremental.width != whole.width || incremental.height != whole.height) {
    result.differing = -1;
    return result;
  }
  for (int y = 0; y < whole.height; ++y) {
    for (int x = 0; x < whole.width; ++x) {
      const size_t i = static_cast<size_t>(y) * whole.width + x;
      if (incremental.pixels[i] == whole.pixels[i]) continue;
      if (result.differing++ == 0) {
        result.first = POINT{x, y};
        result.incremental = Colour(incremental.pixels[i]);
        result.whole = Colour(whole.pixels[i]);
      }
    }
  }
  result.same = result.differing == 0;
  return result;
}

::testing::AssertionResult PaintsAsWhole(HWND hwnd, const std::function<void()>& dropCaches) {
  const RepaintComparison result = CompareWithWholeRepaint(hwnd, dropCaches);
  if (result.same) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << result.Describe();
}

}  // namespace kvtest
