// Single pixels (GetPixel, SetPixel) and the raster operations that combine a picture with what
// is already there (SRCAND, SRCPAINT, SRCINVERT): drawing a picture over its mask.
#include <algorithm>

#include "DeviceContext.h"

namespace kvp::gdi {

namespace {

bool IsImage(cairo_surface_t* s) { return s && cairo_surface_get_type(s) == CAIRO_SURFACE_TYPE_IMAGE; }

uint32_t Combine(uint32_t d, uint32_t s, DWORD rop) {
  switch (rop) {
    case SRCAND: return d & s;
    case SRCPAINT: return d | s;
    case SRCINVERT: return d ^ s;
    case NOTSRCCOPY: return ~s;
    case DSTINVERT: return ~d;
    case BLACKNESS: return 0;
    case WHITENESS: return 0xFFFFFFu;
    default: return s;
  }
}

}  // namespace

// BitBlt with a raster operation other than SRCCOPY (the DC's clipping holds).
BOOL RopBlt(HDC hdst, int x, int y, int width, int height, HDC hsrc, int xSrc, int ySrc, DWORD rop) {
  auto dst = LookupDc(hdst);
  if (!dst) return FALSE;
  const bool needsSource = rop != DSTINVERT && rop != BLACKNESS && rop != WHITENESS;
  auto src = needsSource ? LookupDc(hsrc) : nullptr;
  if (needsSource && !src) return FALSE;
  if (!IsImage(dst->target()) || (src && !IsImage(src->target()))) return FALSE;
  RECT to = dst->ToDevice(RECT{x, y, x + width, y + height});
  const int w = to.right - to.left, h = to.bottom - to.top;
  if (w <= 0 || h <= 0) return TRUE;
  RECT from{};
  if (src) from = src->ToDevice(RECT{xSrc, ySrc, xSrc + width, ySrc + height});
  cairo_surface_t* result = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
  cairo_surface_flush(dst->target());
  if (src) cairo_surface_flush(src->target());
  const POINT dOrigin = dst->origin();
  const int dw = cairo_image_surface_get_width(dst->target()), dh = cairo_image_surface_get_height(dst->target());
  const unsigned char* dData = cairo_image_surface_get_data(dst->target());
  const int dStride = cairo_image_surface_get_stride(dst->target());
  const unsigned char* sData = src ? cairo_image_surface_get_data(src->target()) : nullptr;
  const int sStride = src ? cairo_image_surface_get_stride(src->target()) : 0;
  const int sw = src ? cairo_image_surface_get_width(src->target()) : 0;
  const int sh = src ? cairo_image_surface_get_height(src->target()) : 0;
  const POINT sOrigin = src ? src->origin() : POINT{0, 0};
  unsigned char* out = cairo_image_surface_get_data(result);
  const int oStride = cairo_image_surface_get_stride(result);
  for (int row = 0; row < h; ++row) {
    auto* o = reinterpret_cast<uint32_t*>(out + row * oStride);
    for (int col = 0; col < w; ++col) {
      const int dx = to.left + col + dOrigin.x, dy = to.top + row + dOrigin.y;
      uint32_t d = 0;
      if (dx >= 0 && dy >= 0 && dx < dw && dy < dh) d = reinterpret_cast<const uint32_t*>(dData + dy * dStride)[dx];
      uint32_t s = 0;
      if (src) {
        const int sx = from.left + col + sOrigin.x, sy = from.top + row + sOrigin.y;
        if (sx >= 0 && sy >= 0 && sx < sw && sy < sh) s = reinterpret_cast<const uint32_t*>(sData + sy * sStride)[sx];
      }
      o[col] = Combine(d, s, rop) & 0xFFFFFFu;
    }
  }
  cairo_surface_mark_dirty(result);
  cairo_t* cr = dst->cr();
  cairo_save(cr);
  cairo_set_source_surface(cr, result, to.left, to.top);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, to.left, to.top, w, h);
  cairo_fill(cr);
  cairo_restore(cr);
  cairo_surface_destroy(result);
  return TRUE;
}

}  // namespace kvp::gdi

using namespace kvp::gdi;

extern "C" {

COLORREF GetPixel(HDC h, int x, int y) {
  auto dc = LookupDc(h);
  if (!dc || dc->IsPrinter() || !IsImage(dc->target())) return CLR_INVALID;
  POINT p = dc->ToDevice(x, y);
  RECT clip = dc->ClipBox();
  if (p.x < clip.left || p.y < clip.top || p.x >= clip.right || p.y >= clip.bottom) return CLR_INVALID;
  const int tx = p.x + dc->origin().x, ty = p.y + dc->origin().y;
  cairo_surface_t* s = dc->target();
  cairo_surface_flush(s);
  if (tx < 0 || ty < 0 || tx >= cairo_image_surface_get_width(s) || ty >= cairo_image_surface_get_height(s)) {
    return CLR_INVALID;
  }
  const uint32_t v = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(s) +
                                                       ty * cairo_image_surface_get_stride(s))[tx];
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

COLORREF SetPixel(HDC h, int x, int y, COLORREF color) {
  auto dc = LookupDc(h);
  if (!dc || dc->IsPrinter()) return CLR_INVALID;
  POINT p = dc->ToDevice(x, y);
  cairo_t* cr = dc->cr();
  cairo_save(cr);
  SetSourceColor(cr, color & 0xFFFFFFu);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_rectangle(cr, p.x, p.y, 1, 1);
  cairo_fill(cr);
  cairo_restore(cr);
  return color & 0xFFFFFFu;
}

}  // extern "C"
