// Block transfers between DCs, colour-keyed copies, icons and image lists.
#include <algorithm>
#include <cstring>

#include "DeviceContext.h"

namespace kvp::gdi {

BOOL RopBlt(HDC hdst, int x, int y, int width, int height, HDC hsrc, int xSrc, int ySrc, DWORD rop);

namespace {

struct DeviceBox {
  int x, y, w, h;
};

// A logical rectangle given by corner and extent, in device pixels (normalised).
DeviceBox DeviceExtent(const Dc& dc, int x, int y, int w, int h) {
  RECT r = dc.ToDevice(RECT{x, y, x + w, y + h});
  return DeviceBox{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Lets go of a source surface once it is painted: the DC's context would otherwise hold the
// surface of a memory bitmap long after it was deleted, so its buffer could not be reused.
void ReleaseSource(cairo_t* cr) { cairo_set_source_rgb(cr, 0, 0, 0); }

// Paints `pattern` (in source-surface coordinates) onto the destination box, scaling the source
// box onto it.
void PaintBox(Dc& dst, cairo_pattern_t* pattern, const DeviceBox& to, double sx, double sy, double sw, double sh,
              cairo_operator_t op) {
  cairo_matrix_t m;
  cairo_matrix_init_translate(&m, sx, sy);
  cairo_matrix_scale(&m, sw / to.w, sh / to.h);
  cairo_matrix_translate(&m, -to.x, -to.y);
  cairo_pattern_set_matrix(pattern, &m);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_NEAREST);
  cairo_t* cr = dst.cr();
  cairo_set_source(cr, pattern);
  cairo_set_operator(cr, op);
  cairo_rectangle(cr, to.x, to.y, to.w, to.h);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  ReleaseSource(cr);
}

// Draws a whole image surface with its alpha at device point (x, y).
void PaintImage(Dc& dc, cairo_surface_t* image, int x, int y) {
  cairo_t* cr = dc.cr();
  cairo_set_source_surface(cr, image, x, y);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
  cairo_rectangle(cr, x, y, cairo_image_surface_get_width(image), cairo_image_surface_get_height(image));
  cairo_fill(cr);
  ReleaseSource(cr);
}

std::shared_ptr<ImageList> LookupImageList(HIMAGELIST h) {
  return std::dynamic_pointer_cast<ImageList>(HandleTable::Instance().Get(h));
}

}  // namespace
}  // namespace kvp::gdi

using namespace kvp::gdi;

extern "C" {

BOOL BitBlt(HDC hdst, int x, int y, int width, int height, HDC hsrc, int xSrc, int ySrc, DWORD rop) {
  if (rop != SRCCOPY) return RopBlt(hdst, x, y, width, height, hsrc, xSrc, ySrc, rop);
  auto dst = LookupDc(hdst);
  auto src = LookupDc(hsrc);
  if (!dst || !src) return FALSE;
  DeviceBox to = DeviceExtent(*dst, x, y, width, height);
  DeviceBox from = DeviceExtent(*src, xSrc, ySrc, width, height);
  if (to.w <= 0 || to.h <= 0) return TRUE;
  // The source DC's device pixels sit at its origin in its surface.
  cairo_surface_flush(src->target());
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(src->target());
  PaintBox(*dst, pattern, to, from.x + src->origin().x, from.y + src->origin().y, from.w, from.h,
           CAIRO_OPERATOR_SOURCE);
  cairo_pattern_destroy(pattern);
  return TRUE;
}

BOOL TransparentBlt(HDC hdst, int x, int y, int width, int height, HDC hsrc, int xSrc, int ySrc, int widthSrc,
                    int heightSrc, UINT keyColor) {
  auto dst = LookupDc(hdst);
  auto src = LookupDc(hsrc);
  if (!dst || !src || width < 0 || height < 0 || widthSrc <= 0 || heightSrc <= 0) return FALSE;
  if (cairo_surface_get_type(src->target()) != CAIRO_SURFACE_TYPE_IMAGE) return FALSE;
  DeviceBox to = DeviceExtent(*dst, x, y, width, height);
  DeviceBox from = DeviceExtent(*src, xSrc, ySrc, widthSrc, heightSrc);
  if (to.w <= 0 || to.h <= 0 || from.w <= 0 || from.h <= 0) return TRUE;
  cairo_surface_t* keyed = KeyedCopy(src->target(), from.x + src->origin().x, from.y + src->origin().y, from.w,
                                     from.h, keyColor & 0xFFFFFFu);
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(keyed);
  PaintBox(*dst, pattern, to, 0, 0, from.w, from.h, CAIRO_OPERATOR_OVER);
  cairo_pattern_destroy(pattern);
  cairo_surface_destroy(keyed);
  return TRUE;
}

HICON CreateIconIndirect(ICONINFO* info) {
  if (!info) return 0;
  auto color = Lookup<Bitmap>(info->hbmColor);
  if (!color) return 0;
  auto mask = Lookup<Bitmap>(info->hbmMask);
  const int w = color->Width(), h = color->Height();
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  if (cairo_surface_status(out) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(out);
    return 0;
  }
  cairo_surface_flush(color->surface);
  const bool hasAlpha = cairo_image_surface_get_format(color->surface) == CAIRO_FORMAT_ARGB32;
  const unsigned char* cdata = cairo_image_surface_get_data(color->surface);
  const int cstride = cairo_image_surface_get_stride(color->surface);
  unsigned char* odata = cairo_image_surface_get_data(out);
  const int ostride = cairo_image_surface_get_stride(out);
  const unsigned char* mdata = nullptr;
  int mstride = 0, mw = 0, mh = 0;
  if (mask && !hasAlpha) {
    cairo_surface_flush(mask->surface);
    mdata = cairo_image_surface_get_data(mask->surface);
    mstride = cairo_image_surface_get_stride(mask->surface);
    mw = mask->Width();
    mh = mask->Height();
  }
  for (int row = 0; row < h; ++row) {
    const auto* c = reinterpret_cast<const uint32_t*>(cdata + row * cstride);
    auto* o = reinterpret_cast<uint32_t*>(odata + row * ostride);
    for (int col = 0; col < w; ++col) {
      uint32_t p = c[col];
      if (!hasAlpha) {
        bool transparent = false;
        if (mdata && row < mh && col < mw)
          transparent = (reinterpret_cast<const uint32_t*>(mdata + row * mstride)[col] & 0xFFFFFFu) != 0;
        p = transparent ? 0 : (p | 0xFF000000u);
      }
      o[col] = p;
    }
  }
  cairo_surface_mark_dirty(out);
  return kvp::HandleTable::Instance().Insert(std::make_shared<Icon>(out));
}

BOOL DestroyIcon(HICON icon) {
  if (!std::dynamic_pointer_cast<Icon>(kvp::HandleTable::Instance().Get(icon))) return FALSE;
  return kvp::HandleTable::Instance().Remove(icon) ? TRUE : FALSE;
}

BOOL DrawIcon(HDC h, int x, int y, HICON hicon) {
  auto dc = LookupDc(h);
  auto icon = std::dynamic_pointer_cast<Icon>(kvp::HandleTable::Instance().Get(hicon));
  if (!dc || !icon) return FALSE;
  POINT p = dc->ToDevice(x, y);
  PaintImage(*dc, icon->surface, p.x, p.y);
  return TRUE;
}

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow) {
  if (cx <= 0 || cy <= 0) return 0;
  auto list = std::make_shared<ImageList>(cx, cy);
  list->images.reserve(static_cast<size_t>(std::max(initial, 0)));
  return kvp::HandleTable::Instance().Insert(std::move(list));
}

BOOL ImageList_Destroy(HIMAGELIST h) {
  if (!LookupImageList(h)) return FALSE;
  return kvp::HandleTable::Instance().Remove(h) ? TRUE : FALSE;
}

int ImageList_AddMasked(HIMAGELIST h, HBITMAP hbitmap, COLORREF maskColor) {
  auto list = LookupImageList(h);
  auto bmp = Lookup<Bitmap>(hbitmap);
  if (!list || !bmp) return -1;
  const int count = bmp->Width() / list->cx;
  if (count <= 0) return -1;
  const int first = static_cast<int>(list->images.size());
  for (int i = 0; i < count; ++i)
    list->images.push_back(KeyedCopy(bmp->surface, i * list->cx, 0, list->cx, list->cy, maskColor & 0xFFFFFFu));
  return first;
}

int ImageList_GetImageCount(HIMAGELIST h) {
  auto list = LookupImageList(h);
  return list ? static_cast<int>(list->images.size()) : 0;
}

BOOL ImageList_Draw(HIMAGELIST h, int index, HDC hdc, int x, int y, UINT style) {
  auto list = LookupImageList(h);
  auto dc = LookupDc(hdc);
  if (!list || !dc || index < 0 || index >= static_cast<int>(list->images.size())) return FALSE;
  // Images have no background colour of their own: normal and transparent drawing look the same.
  POINT p = dc->ToDevice(x, y);
  PaintImage(*dc, list->images[static_cast<size_t>(index)], p.x, p.y);
  return TRUE;
}

}  // extern "C"
