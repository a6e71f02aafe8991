// Seam between the drawing layer and the parts of the platform that own surfaces (the window
// system and display back ends, printing): device contexts over a Cairo surface owned by someone
// else, the pixels behind bitmaps and icons, and the text-metrics provider that makes text layout
// deterministic in tests.
#pragma once

#include <platform/geometry.h>
#include <platform/types.h>

#include <string_view>

typedef struct _cairo_surface cairo_surface_t;
typedef uint32_t HDC;
typedef uint32_t HBITMAP;
typedef uint32_t HICON;

namespace kvp {
// A DC drawing into `target`. `origin` is where the window's client (0,0) sits in the target;
// `clipInTarget` limits drawing, in target coordinates (the window's visible or invalid area).
// The DC keeps its own reference to the surface; free it with DeleteSurfaceDC.
PLATFORM_API HDC CreateSurfaceDC(cairo_surface_t* target, POINT origin, const RECT& clipInTarget);
PLATFORM_API void DeleteSurfaceDC(HDC);

// A printer DC over a page surface (PDF: one unit = 1/72 inch). The DC works in device dots of
// `dotsPerInch`; `pageDots` is the printable page in dots. Such a DC reports DT_RASPRINTER and is
// never buffered by the off-screen drawing context. Free it with DeleteDC.
PLATFORM_API HDC CreatePrinterDC(cairo_surface_t* page, int dotsPerInch, SIZE pageDots);
PLATFORM_API bool IsPrinterDC(HDC dc);

// The image surface behind a bitmap or an icon (owned by the object: valid while it lives), e.g.
// for window icons and cursors. Null for an invalid handle.
PLATFORM_API cairo_surface_t* BitmapSurface(HBITMAP bitmap);
PLATFORM_API cairo_surface_t* IconSurface(HICON icon);
// A bitmap from PNG bytes (the form the program's own art is compiled in); 0 when they are not a
// valid PNG.
PLATFORM_API HBITMAP CreateBitmapFromPng(const void* data, size_t size);

// Polylines leave out the points that cannot put ink into the clip (runs of points far beyond
// one side of it), so a zoomed-in trace costs what its visible part costs. The pixels are the
// same either way; tests switch it off to draw the reference. Returns the previous setting.
PLATFORM_API bool SetFarPointCutting(bool on);
// Thin solid line chains on image surfaces are filled straight into the pixels rather than through
// Cairo. The pixels are the same either way; tests switch it off to check Cairo's path, which
// other targets take. Returns the previous setting.
PLATFORM_API bool SetDirectLineFill(bool on);

// Measures text for layout (DrawText wrapping and alignment, extents, text metrics). Fonts are
// given resolved: the face that will draw, the em size in device pixels, weight and slant. Texts
// are UTF-8. Results in device pixels.
struct ResolvedFont {
  std::string_view family;
  double emPixels;
  int weight;
  bool italic;
  // Screen text is hinted (slight hinting, whole-pixel metrics: crisp at small sizes); printer
  // text is not, so it scales linearly with the page.
  bool hinted = false;
};
struct FontExtents {
  double ascent;
  double descent;
  double averageCharWidth;
  double maxCharWidth;
};
class TextMetricsProvider {
 public:
  virtual ~TextMetricsProvider() = default;
  virtual FontExtents Extents(const ResolvedFont& font) const = 0;
  virtual double Width(const ResolvedFont& font, std::string_view utf8) const = 0;
};
// Measures with Pango and the installed fonts (the default).
PLATFORM_API const TextMetricsProvider& PangoTextMetrics();
// Fixed metrics for layout tests: every character is 0.5 em wide, ascent 0.8 em, descent 0.2 em,
// whatever the face.
PLATFORM_API const TextMetricsProvider& FixedTextMetrics();
// The provider of DCs made from now on (null: back to Pango); returns the previous one.
PLATFORM_API const TextMetricsProvider* SetDefaultTextMetrics(const TextMetricsProvider* provider);
// The provider of one DC.
PLATFORM_API void SetTextMetrics(HDC dc, const TextMetricsProvider* provider);
}  // namespace kvp
