// Test fixture: an RGB image surface standing in for a window, a DC over it, and pixel reading.
#pragma once

#include <platform/gdi.h>
#include <platform/gdi_surface.h>

#include <cairo.h>

#include <string>

namespace gditest {

constexpr COLORREF kBackground = RGB(10, 20, 30);

class Canvas {
 public:
  // A window of w x h whose client (0,0) sits at `origin` in a surface of the same size plus the
  // origin; drawing is clipped to `clip` (surface coordinates; default: all of it).
  Canvas(int w, int h, POINT origin = {0, 0}) : Canvas(w, h, origin, RECT{0, 0, w + origin.x, h + origin.y}) {}
  Canvas(int w, int h, POINT origin, RECT clip) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w + origin.x, h + origin.y);
    Fill(kBackground);
    dc_ = kvp::CreateSurfaceDC(surface_, origin, clip);
    origin_ = origin;
  }
  ~Canvas() {
    if (dc_) kvp::DeleteSurfaceDC(dc_);
    cairo_surface_destroy(surface_);
  }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC dc() const { return dc_; }
  cairo_surface_t* surface() const { return surface_; }

  void Fill(COLORREF c) {
    cairo_t* cr = cairo_create(surface_);
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
  }

  // Pixel at window client coordinates, as COLORREF.
  COLORREF At(int x, int y) const { return SurfaceAt(x + origin_.x, y + origin_.y); }
  COLORREF SurfaceAt(int x, int y) const {
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    uint32_t p = reinterpret_cast<const uint32_t*>(data + y * stride)[x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }

  // Pixels differing from `bg` in the client rectangle [l,r) x [t,b), and their bounding box.
  int CountInk(RECT r, COLORREF bg = kBackground, RECT* bounds = nullptr) const {
    int n = 0;
    RECT b{r.right, r.bottom, r.left, r.top};
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        if (At(x, y) != bg) {
          ++n;
          b.left = std::min<LONG>(b.left, x);
          b.top = std::min<LONG>(b.top, y);
          b.right = std::max<LONG>(b.right, x + 1);
          b.bottom = std::max<LONG>(b.bottom, y + 1);
        }
    if (bounds) *bounds = b;
    return n;
  }

  // A row of the client area as text: '#' where the pixel has colour c, '.' elsewhere.
  std::string Row(int y, int x0, int x1, COLORREF c) const {
    std::string s;
    for (int x = x0; x < x1; ++x) s += At(x, y) == c ? '#' : '.';
    return s;
  }
  std::string Column(int x, int y0, int y1, COLORREF c) const {
    std::string s;
    for (int y = y0; y < y1; ++y) s += At(x, y) == c ? '#' : '.';
    return s;
  }

 private:
  cairo_surface_t* surface_;
  HDC dc_;
  POINT origin_;
};

}  // namespace gditest
