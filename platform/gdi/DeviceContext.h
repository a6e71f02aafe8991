// A device context: a Cairo context over a target surface plus the GDI state (selected objects,
// colours, modes, origins, clipping, current position) and its save stack.
//
// Coordinates: logical units (what callers pass) map to device pixels by the map mode and the
// window and viewport origins, rounded to whole pixels as GDI does. Cairo works in device pixels:
// its matrix only moves device (0,0) to the DC's origin in the target (and scales dots to points
// on a printer page). Primitives build their paths on pixel centres there.
#pragma once

#include <platform/gdi.h>
#include <platform/gdi_surface.h>

#include <cairo.h>

#include <memory>
#include <vector>

#include "GdiObjects.h"

namespace kvp::gdi {

// What SaveDC keeps and RestoreDC brings back.
struct DcState {
  std::shared_ptr<Pen> pen;
  std::shared_ptr<Brush> brush;
  std::shared_ptr<Font> font;
  HPEN hpen = 0;
  HBRUSH hbrush = 0;
  HFONT hfont = 0;
  COLORREF textColor = RGB(0, 0, 0);
  COLORREF bkColor = RGB(255, 255, 255);
  int bkMode = OPAQUE;
  int mapMode = MM_TEXT;
  POINT windowOrg{0, 0};
  POINT viewportOrg{0, 0};
  bool hasUserClip = false;
  RECT userClip{0, 0, 0, 0};  // device pixels
  POINT current{0, 0};        // logical
};

class Dc final : public KernelObject {
 public:
  enum class Kind { Surface, Memory, Printer };

  // Surface and printer DCs draw into `target` (a reference is taken). Memory DCs start on the
  // stock 1x1 bitmap.
  Dc(Kind kind, cairo_surface_t* target, POINT origin, RECT baseClip, int dotsPerInch, double unitScale);
  ~Dc() override;
  bool AllowCloseHandle() const override { return false; }

  Kind kind() const { return kind_; }
  bool IsMemory() const { return kind_ == Kind::Memory; }
  bool IsPrinter() const { return kind_ == Kind::Printer; }
  int dpi() const { return dpi_; }
  SIZE DeviceSize() const;
  // The Cairo context over the target, made on the first drawing after the target changed: a
  // memory DC that only selects a bitmap in and out again makes none.
  cairo_t* cr() const {
    if (!cr_) MakeContext();
    return cr_;
  }
  cairo_surface_t* target() const { return target_; }
  POINT origin() const { return origin_; }

  DcState st;
  std::vector<DcState> saved;
  const TextMetricsProvider* metrics;
  HDC handle = 0;
  HWND window = 0;  // the window it draws for (memory DCs: that of the DC they were made from)

  // Memory DCs: the selected bitmap; selecting one retargets the Cairo context.
  std::shared_ptr<Bitmap> bitmap;
  HBITMAP hbitmap = 0;
  bool SelectBitmap(HBITMAP h, std::shared_ptr<Bitmap> bmp);

  // Mapping. Scale = device pixels per logical unit (negative y: y grows upwards).
  double ScaleX() const;
  double ScaleY() const;
  POINT ToDevice(LONG x, LONG y) const;
  POINT ToLogical(LONG x, LONG y) const;
  RECT ToDevice(const RECT& r) const;  // normalised
  // A logical length as whole device pixels along x (pen widths, font heights).
  double LengthX(double logical) const { return logical * (ScaleX() < 0 ? -ScaleX() : ScaleX()); }
  double LengthY(double logical) const { return logical * (ScaleY() < 0 ? -ScaleY() : ScaleY()); }

  // Clipping in device pixels: the DC's own area intersected with the caller's clip.
  RECT ClipBox() const;
  void ApplyClip();

 private:
  void Bind(cairo_surface_t* target);
  void MakeContext() const;

  Kind kind_;
  cairo_surface_t* target_ = nullptr;
  mutable cairo_t* cr_ = nullptr;  // null until drawn on (see cr())
  POINT origin_;
  RECT baseClip_;
  int dpi_;
  double unitScale_;
};

std::shared_ptr<Dc> LookupDc(HDC h);

// Colour helpers.
inline void SetSourceColor(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

}  // namespace kvp::gdi
