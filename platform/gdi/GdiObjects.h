// The objects behind GDI handles: pens, brushes, fonts, bitmaps, regions, icons and image lists.
// Pens, brushes, fonts and regions never change after creation, so a DC and other threads may
// share them freely; a bitmap's pixels belong to whoever has it selected.
#pragma once

#include <platform/gdi.h>
#include <platform/gdi_surface.h>

#include <cairo.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "../base/HandleTable.h"

namespace kvp::gdi {

class GdiObject : public KernelObject {
 public:
  // GDI objects end with DeleteObject, never with CloseHandle.
  bool AllowCloseHandle() const override { return false; }
  virtual DWORD Type() const = 0;
  bool stock = false;  // stock objects outlive DeleteObject
};

struct Pen final : GdiObject {
  Pen(int s, int w, COLORREF c) : style(s), width(w), color(c) {}
  DWORD Type() const override { return OBJ_PEN; }
  int style;
  int width;
  COLORREF color;
};

struct Brush final : GdiObject {
  Brush(COLORREF c, bool n) : color(c), hollow(n) {}
  DWORD Type() const override { return OBJ_BRUSH; }
  COLORREF color;
  bool hollow;  // NULL_BRUSH: fills nothing
};

// A font as asked for, with the face that stands in for it and the code page its texts use.
struct Font final : GdiObject {
  explicit Font(const LOGFONT& lf);
  DWORD Type() const override { return OBJ_FONT; }
  LOGFONT log;
  std::string family;   // installed face that draws it
  bool symbolLetters;   // the "Symbol" face: Latin letters stand for Greek ones
  unsigned codePage;    // the text bytes are read in this code page
};

// A bitmap is a Cairo image surface (RGB24 for colour bitmaps, ARGB32 when it carries alpha).
// Compatible bitmaps hand their surface back to a pool for the next one of the same size.
struct Bitmap final : GdiObject {
  explicit Bitmap(cairo_surface_t* s, bool pooled = false) : surface(s), pooled_(pooled) {}
  ~Bitmap() override;
  DWORD Type() const override { return OBJ_BITMAP; }
  int Width() const { return cairo_image_surface_get_width(surface); }
  int Height() const { return cairo_image_surface_get_height(surface); }
  cairo_surface_t* surface;
  std::atomic<HDC> selectedIn{0};  // a bitmap is selected into at most one DC

 private:
  bool pooled_;
};

// Image surfaces for compatible bitmaps. A paint's off-screen buffer lives for one frame; its
// memory is kept for the next buffer of the same size instead of going back to the system and
// being faulted in (and zeroed by the kernel) again. A surface from the pool is black, as a new
// one is. Thread-safe: bitmaps are made and deleted on any thread.
cairo_surface_t* TakeBufferSurface(int width, int height);
// Keeps `surface` for a later TakeBufferSurface, or destroys it when nobody else holds it no more
// and the pool is full (or when somebody else still holds it: then it only drops our reference).
void ReturnBufferSurface(cairo_surface_t* surface);

struct Region final : GdiObject {
  explicit Region(const RECT& r) : rect(r) {}
  DWORD Type() const override { return OBJ_REGION; }
  RECT rect;  // device units
};

struct Icon final : KernelObject {
  explicit Icon(cairo_surface_t* s) : surface(s) {}
  ~Icon() override { cairo_surface_destroy(surface); }
  bool AllowCloseHandle() const override { return false; }
  cairo_surface_t* surface;  // ARGB32
};

struct ImageList final : KernelObject {
  ImageList(int w, int h) : cx(w), cy(h) {}
  ~ImageList() override {
    for (auto* s : images) cairo_surface_destroy(s);
  }
  bool AllowCloseHandle() const override { return false; }
  int cx;
  int cy;
  std::vector<cairo_surface_t*> images;  // ARGB32, cx x cy each
};

// Handle of a new object; 0 when the table is full.
HGDIOBJ Register(std::shared_ptr<GdiObject> obj);

template <class T>
std::shared_ptr<T> Lookup(HGDIOBJ h) {
  return std::dynamic_pointer_cast<T>(HandleTable::Instance().Get(h));
}

// Stock objects by GetStockObject index, and the 1x1 bitmap of a fresh memory DC.
HGDIOBJ StockHandle(int index);
HBITMAP StockBitmap();

// A copy of a 32-bit image region as ARGB32 in which the pixels of `key` are transparent (the
// key is compared on opaque pixels only).
cairo_surface_t* KeyedCopy(cairo_surface_t* src, int x, int y, int w, int h, COLORREF key);

}  // namespace kvp::gdi
