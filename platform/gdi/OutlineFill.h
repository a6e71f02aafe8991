// Filling the outlines of thin solid lines straight into an image surface's pixels, with the
// pixels Cairo's fill of the same outline gives when antialiasing is off.
//
// A trace is a chain of hundreds of short lines, each filled on its own (see DrawLineChain); every
// cairo_fill pays for a path, a polygon, a scan converter and a composite, far more than the few
// pixels a short line covers. Here each outline is scanned directly. The sampling is Cairo's
// non-antialiased one, in its own 24.8 fixed point: a row is sampled 127/256 below its top
// edge, an edge's crossing there is rounded down to 1/256, and a span covers the pixels from
// floor((left + 127/256)) up to, not including, floor((right + 127/256)); rows and spans are cut
// to the clip rectangle. The platform's tests compare it with Cairo's fill pixel for pixel.
//
// Only a plain case is handled: an image surface in RGB24 or ARGB32, no device offset or scale,
// an integer translation, a rectangular clip, the OVER or SOURCE operator and an opaque colour.
// Anything else (and coordinates beyond Cairo's fixed-point range) keeps to cairo_fill.
#pragma once

#include <cairo.h>

#include <cstdint>

#include <platform/gdi.h>

namespace kvp::gdi {

// A closed outline of four corners in device pixels (multiples of 1/256, as Cairo keeps them).
struct Outline {
  double x[4];
  double y[4];
};

class OutlineFill {
 public:
  // Binds to the context's target when the plain case holds; Ready() says whether it did.
  OutlineFill(cairo_t* cr, COLORREF color);
  // Tells Cairo which pixels changed.
  ~OutlineFill();
  OutlineFill(const OutlineFill&) = delete;
  OutlineFill& operator=(const OutlineFill&) = delete;

  bool Ready() const { return data_ != nullptr; }
  // Whether a point (device pixels) lies where the fixed-point scan is exact.
  static bool InRange(double x, double y);

  // Fills an outline whose corners are all InRange, as cairo_fill fills it.
  void Fill(const Outline& o);
  // Fills the device pixels [left, right) x [top, bottom).
  void FillBox(long left, long top, long right, long bottom);

 private:
  void Span(int64_t row, int64_t from, int64_t to);

  cairo_surface_t* target_ = nullptr;
  unsigned char* data_ = nullptr;
  int stride_ = 0;
  uint32_t pixel_ = 0;
  // Device pixels to target pixels.
  int64_t dx_ = 0, dy_ = 0;
  // The clip, in target pixels.
  int64_t clipL_ = 0, clipT_ = 0, clipR_ = 0, clipB_ = 0;
  // The pixels changed so far, in target pixels.
  int64_t dirtyL_ = 0, dirtyT_ = 0, dirtyR_ = 0, dirtyB_ = 0;
};

}  // namespace kvp::gdi
