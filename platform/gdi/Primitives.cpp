// Lines, rectangles, ellipses, polygons, edges and focus rectangles with GDI's pixel rules.
//
// Paths lie on pixel centres (device x + 0.5), so a 1-pixel pen covers exactly one row or column
// (pens of even width run on pixel edges for the same reason). A 1-pixel line starts half a pixel
// before its first point and stops half a pixel before its last one, which draws the first point
// and leaves out the last (LineTo's rule) with butt caps. Wider pens have round ends, as GDI's.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "DeviceContext.h"
#include "LruCache.h"
#include "OutlineFill.h"
#include "base/ThreadSlot.h"

namespace kvp::gdi {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Device width of the selected pen, 0 for the null pen.
double PenWidth(const Dc& dc) {
  const Pen& pen = *dc.st.pen;
  if (pen.style == PS_NULL) return 0;
  if (pen.width <= 1 && dc.st.mapMode == MM_TEXT) return 1;
  return std::max(1.0, std::round(dc.LengthX(pen.width)));
}

void SetDash(cairo_t* cr, int style, double width) {
  static const double kDash[] = {18, 6};
  static const double kDot[] = {3, 3};
  const double* pattern = style == PS_DASH ? kDash : style == PS_DOT ? kDot : nullptr;
  if (!pattern) {
    cairo_set_dash(cr, nullptr, 0, 0);
    return;
  }
  double scaled[2] = {pattern[0] * width, pattern[1] * width};
  cairo_set_dash(cr, scaled, 2, 0);
}

// Strokes the current path with the selected pen (and keeps the path for nothing else). Styled
// pens on an opaque background fill their gaps with the background colour, as GDI does.
void StrokePath(Dc& dc, double width) {
  cairo_t* cr = dc.cr();
  const Pen& pen = *dc.st.pen;
  cairo_set_line_width(cr, width);
  if (width <= 1) {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
  } else {
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
  }
  if (pen.style != PS_SOLID && dc.st.bkMode == OPAQUE) {
    cairo_set_dash(cr, nullptr, 0, 0);
    SetSourceColor(cr, dc.st.bkColor);
    cairo_stroke_preserve(cr);
  }
  SetDash(cr, pen.style, width);
  SetSourceColor(cr, pen.color);
  cairo_stroke(cr);
  cairo_set_dash(cr, nullptr, 0, 0);
}

void FillPath(Dc& dc, bool preserve) {
  cairo_t* cr = dc.cr();
  const Brush& brush = *dc.st.brush;
  if (brush.hollow) {
    if (!preserve) cairo_new_path(cr);
    return;
  }
  SetSourceColor(cr, brush.color);
  if (preserve)
    cairo_fill_preserve(cr);
  else
    cairo_fill(cr);
}

void FillDeviceRect(cairo_t* cr, const RECT& r, COLORREF color) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  SetSourceColor(cr, color);
  cairo_rectangle(cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
  cairo_fill(cr);
}

// Where a pen of this width runs relative to the pixel grid so it covers whole pixels: odd widths
// on pixel centres, even widths on pixel edges (one more pixel above and left of the point).
double GridOffset(double width) { return static_cast<int>(width) % 2 ? 0.5 : 0.0; }

std::atomic<bool> gCutFarPoints{true};
std::atomic<bool> gDirectLineFill{true};

// How far beyond the clip a point may lie and still change a pixel in it. Geometrically half the
// pen and the longest miter (Cairo's miter limit is 10 pen widths) would do; but Cairo cuts the
// stroke's outline to the clip in 1/256 pixels, and an outline changed close to the clip can move
// a pixel at its edge. Far out it cannot, so the margin is generous: what it costs is the drawing
// of a few points that could have been left out.
double ReachOf(double width) { return 6 * width + 128; }

// The sides of the box a point lies beyond, one bit each.
unsigned Beyond(const POINT& p, const RECT& box) {
  return (p.x < box.left ? 1u : 0u) | (p.x > box.right ? 2u : 0u) | (p.y < box.top ? 4u : 0u) |
         (p.y > box.bottom ? 8u : 0u);
}

// An open line through device points; thin pens leave out the last point. Repeated points (a
// flat stretch of a trace) do not count as the direction of either end.
//
// With `reach` set, points Cairo need not see are left out: a run of inner points that lie,
// together with the point before the run and the point after it, beyond one and the same side of
// the reach box is replaced by the straight line that joins the two. Both lines lie beyond that
// side, as do the joins at the points, so the pixels inside the clip stay exactly as they were
// (the stroke's outline only changes where it cannot reach the clip, and around no point of it).
// Only solid pens qualify: a dash pattern would lose its phase.
void AddLinePath(cairo_t* cr, const POINT* pts, size_t n, double width, const RECT* reach) {
  const bool thin = width <= 1;
  const double off = GridOffset(width);
  // Half a pixel along the direction from point a to the first different point after it.
  auto halfStep = [&](long a, long step, double& hx, double& hy) {
    hx = hy = 0;
    for (long b = a + step; b >= 0 && b < static_cast<long>(n); b += step) {
      const double dx = double(pts[b].x) - pts[a].x, dy = double(pts[b].y) - pts[a].y;
      const double len = std::hypot(dx, dy);
      if (len > 0) {
        hx = dx / len * 0.5;
        hy = dy / len * 0.5;
        return;
      }
    }
  };
  double hx = 0, hy = 0;
  if (thin) halfStep(0, 1, hx, hy);
  cairo_move_to(cr, pts[0].x + off - hx, pts[0].y + off - hy);
  if (reach && n > 2) {
    unsigned lastDrawn = Beyond(pts[0], *reach);  // of the last point put on the path
    unsigned next = Beyond(pts[1], *reach);
    for (size_t i = 1; i + 1 < n; ++i) {
      const unsigned here = next;
      next = Beyond(pts[i + 1], *reach);
      if (lastDrawn & here & next) continue;
      cairo_line_to(cr, pts[i].x + off, pts[i].y + off);
      lastDrawn = here;
    }
  } else {
    for (size_t i = 1; i + 1 < n; ++i) cairo_line_to(cr, pts[i].x + off, pts[i].y + off);
  }
  hx = hy = 0;
  if (thin) halfStep(static_cast<long>(n) - 1, -1, hx, hy);  // from the end back into the line
  cairo_line_to(cr, pts[n - 1].x + off + hx, pts[n - 1].y + off + hy);
}

// The clip box widened by how far a line of the pen's width can reach into it.
RECT ReachBox(Dc& dc, double width) {
  const RECT clip = dc.ClipBox();
  const LONG margin = static_cast<LONG>(std::ceil(ReachOf(width)));
  return RECT{clip.left - margin, clip.top - margin, clip.right + margin, clip.bottom + margin};
}

bool DrawLines(Dc& dc, const POINT* pts, size_t n) {
  const double width = PenWidth(dc);
  if (n < 2 || width == 0) return true;
  const bool cut = gCutFarPoints.load(std::memory_order_relaxed);
  const RECT reach = cut ? ReachBox(dc, width) : RECT{};
  if (cut) {
    // A line wholly beyond one side (a trace segment scrolled or zoomed out of view) draws nothing.
    unsigned common = Beyond(pts[0], reach);
    for (size_t i = 1; i < n && common; ++i) common &= Beyond(pts[i], reach);
    if (common) return true;
  }
  const bool cutInner = cut && n > 2 && dc.st.pen->style == PS_SOLID;
  AddLinePath(dc.cr(), pts, n, width, cutInner ? &reach : nullptr);
  StrokePath(dc, width);
  return true;
}

// A coordinate as Cairo keeps it: rounded to 1/256 pixel, halves to even.
double ToFixed(double v) { return std::nearbyint(v * 256.0) / 256.0; }

// The outline Cairo strokes for one line of a 1-, 2- or 3-pixel solid pen, turning the same way
// as cairo_rectangle: the line's body as Cairo's stroker computes it (the ends and the offset to
// each side rounded to 1/256 on their own), and for the 2- and 3-pixel pens the 2 x 2 and 3 x 3
// pixels around each end, which are what their round caps add (the other pixel centres near an
// end lie farther than the pen's radius from it; the polygon Cairo makes for the round pen of
// radius 1.5 holds every centre within 1.42 of its middle).
Outline LineOutline(POINT a, POINT b, double width) {
  const double off = GridOffset(width);
  double hx = 0, hy = 0;
  if (width <= 1) {
    const double dx = double(b.x) - a.x, dy = double(b.y) - a.y;
    const double len = std::hypot(dx, dy);
    hx = dx / len * 0.5;
    hy = dy / len * 0.5;
  }
  const double x0 = ToFixed(a.x + off - hx), y0 = ToFixed(a.y + off - hy);
  const double x1 = ToFixed(b.x + off - hx), y1 = ToFixed(b.y + off - hy);
  double sx = x1 - x0, sy = y1 - y0;
  if (sx == 0) {
    sy = sy > 0 ? 1 : -1;
  } else if (sy == 0) {
    sx = sx > 0 ? 1 : -1;
  } else {
    const double mag = std::hypot(sx, sy);
    sx /= mag;
    sy /= mag;
  }
  const double half = width / 2;
  double ox = ToFixed(-sy * half), oy = ToFixed(sx * half);
  // Clockwise on screen (y down), as cairo_rectangle, so overlapping outlines add up.
  if (sx * oy - sy * ox < 0) {
    ox = -ox;
    oy = -oy;
  }
  return Outline{{x0 - ox, x1 - ox, x1 + ox, x0 + ox}, {y0 - oy, y1 - oy, y1 + oy, y0 + oy}};
}

void AddOutline(cairo_t* cr, const Outline& o) {
  cairo_move_to(cr, o.x[0], o.y[0]);
  for (int i = 1; i < 4; ++i) cairo_line_to(cr, o.x[i], o.y[i]);
  cairo_close_path(cr);
}

// The lines of a LineTo from each point to the next, pixel for pixel as LineTo draws them.
// The lines of a LineTo from each point to the next, pixel for pixel as LineTo draws them.
// Solid 1- to 3-pixel pens fill each line's outline on its own, which skips Cairo's stroker and
// its round pen; the outlines are not put in one fill because Cairo, with antialiasing off, gives
// a path of several close outlines ink between them that none of them covers (the same happens to
// one stroke of several lines), and lines joined into one polyline get joins that change pixels.
// The round ends of the 2- and 3-pixel pens are the 2 x 2 or 3 x 3 pixels around every point.
// On a plain image target the outlines and ends go straight into the pixels (OutlineFill), with
// the pixels Cairo's fills give. Elsewhere the ends are one rectilinear fill, and a vertical or
// horizontal line of these pens, which covers with its ends just the rectangle from one end's
// square to the other's, goes into that fill instead of its own. Other pens stroke line by line.
void DrawLineChain(Dc& dc, const POINT* pts, size_t n) {
  const double width = PenWidth(dc);
  if (n < 2 || width == 0) return;
  cairo_t* cr = dc.cr();
  cairo_matrix_t m;
  cairo_get_matrix(cr, &m);
  const bool fill = width <= 3 && dc.st.pen->style == PS_SOLID && !dc.IsPrinter() &&
                    m.xx == 1 && m.yy == 1 && m.xy == 0 && m.yx == 0 &&
                    cairo_get_antialias(cr) == CAIRO_ANTIALIAS_NONE;
  if (!fill) {
    for (size_t i = 0; i + 1 < n; ++i)
      if (pts[i].x != pts[i + 1].x || pts[i].y != pts[i + 1].y) DrawLines(dc, pts + i, 2);
    return;
  }
  const bool cut = gCutFarPoints.load(std::memory_order_relaxed);
  const RECT reach = ReachBox(dc, width);
  // The lines drawn: not a repeated point, and not wholly beyond one side of the reach (such a
  // line cannot put ink into the clip; LineTo's rule).
  auto forEachLine = [&](auto&& draw) {
    unsigned side = cut ? Beyond(pts[0], reach) : 0;
    for (size_t i = 0; i + 1 < n; ++i) {
      const unsigned next = cut ? Beyond(pts[i + 1], reach) : 0;
      const bool same = pts[i].x == pts[i + 1].x && pts[i].y == pts[i + 1].y;
      if (!same && !(side & next)) draw(pts[i], pts[i + 1]);
      side = next;
    }
  };
  const COLORREF color = dc.st.pen->color;
  const LONG end = static_cast<LONG>(width);  // the round end's square, from (x - 1, y - 1)
  const bool inRange = std::all_of(pts, pts + n, [](const POINT& p) { return OutlineFill::InRange(p.x, p.y); });
  if (inRange && gDirectLineFill.load(std::memory_order_relaxed)) {
    OutlineFill direct(cr, color);
    if (direct.Ready()) {
      forEachLine([&](POINT a, POINT b) {
        direct.Fill(LineOutline(a, b, width));
        if (width > 1) {
          direct.FillBox(a.x - 1, a.y - 1, a.x - 1 + end, a.y - 1 + end);
          direct.FillBox(b.x - 1, b.y - 1, b.x - 1 + end, b.y - 1 + end);
        }
      });
      return;
    }
  }
  auto straight = [&](POINT a, POINT b) { return width > 1 && (a.x == b.x || a.y == b.y); };
  bool any = false;
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  SetSourceColor(cr, color);
  forEachLine([&](POINT a, POINT b) {
    if (!straight(a, b)) {
      AddOutline(cr, LineOutline(a, b, width));
      cairo_fill(cr);
    }
    any = true;
  });
  if (!any || width == 1) return;
  forEachLine([&](POINT a, POINT b) {
    if (straight(a, b)) {
      // Cut to the reach, which keeps the pixels in the clip: a saturated point (a value far off
      // the scale) sits at the int limits, beyond what Cairo's coordinates hold.
      auto within = [](LONG v, LONG lo, LONG hi) { return static_cast<double>(std::clamp(v, lo, hi)); };
      const double l = within(std::min(a.x, b.x), reach.left, reach.right);
      const double r = within(std::max(a.x, b.x), reach.left, reach.right);
      const double t = within(std::min(a.y, b.y), reach.top, reach.bottom);
      const double btm = within(std::max(a.y, b.y), reach.top, reach.bottom);
      cairo_rectangle(cr, l - 1.0, t - 1.0, r - l + width, btm - t + width);
    } else {
      // In doubles: a saturated point (a value far off the scale) sits at the int limits.
      cairo_rectangle(cr, a.x - 1.0, a.y - 1.0, width, width);
      cairo_rectangle(cr, b.x - 1.0, b.y - 1.0, width, width);
    }
  });
  cairo_fill(cr);
}

// Closed shapes: fill with the brush, then outline with the pen.
void FillAndOutline(Dc& dc) {
  const double width = PenWidth(dc);
  FillPath(dc, width > 0);
  if (width > 0) StrokePath(dc, width);
}

void AddEllipseArc(cairo_t* cr, double cx, double cy, double rx, double ry, double a0, double a1) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  cairo_arc(cr, 0, 0, 1, a0, a1);
  cairo_restore(cr);
}

// The outline box on pixel centres of a device rectangle: [l, r-1] x [t, b-1].
struct CentreBox {
  double l, t, r, b;
};
CentreBox CentresOf(const RECT& d) { return {d.left + 0.5, d.top + 0.5, d.right - 0.5, d.bottom - 0.5}; }

// The device points of a polyline, in a buffer the thread keeps (a trace is drawn every frame).
struct PointBuffer {
  std::vector<POINT> points;
};

std::vector<POINT>& PointsOfThread() {
  static auto* slot = new ThreadSlot<PointBuffer>;
  return slot->Get().points;
}

const std::vector<POINT>& ToDevicePoints(const Dc& dc, const POINT* pts, int count) {
  std::vector<POINT>& out = PointsOfThread();
  out.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) out[i] = dc.ToDevice(pts[i].x, pts[i].y);
  return out;
}

// The same with `first` put before the points.
const std::vector<POINT>& ToDevicePoints(const Dc& dc, POINT first, const POINT* pts, int count) {
  std::vector<POINT>& out = PointsOfThread();
  out.resize(static_cast<size_t>(count) + 1);
  out[0] = dc.ToDevice(first.x, first.y);
  for (int i = 0; i < count; ++i) out[i + 1] = dc.ToDevice(pts[i].x, pts[i].y);
  return out;
}

// Outlines of ellipses and rounded rectangles, made once per size. The arcs cost trigonometry
// for every corner; a pane draws the same buttons and marks in every frame. A shape is made with
// its box's top-left centre at (0, 0) and moved into place: both lie on half pixels and Cairo
// keeps paths in 1/256 pixels, so the moved outline is the one drawn in place, point for point.
// Kept per thread (no lock), for screen DCs in MM_TEXT, whose sizes are whole pixels.
class ShapeCache {
 public:
  ShapeCache() : paths_(kCapacity) {
    surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    cr_ = cairo_create(surface_);
  }
  ~ShapeCache() {
    paths_.Clear();
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }

  // The outline for `key`, made by `build` on a context without transformation when new.
  template <class Build>
  const cairo_path_t* Get(const double (&key)[4], char kind, Build build) {
    key_.assign(1, kind);
    key_.append(reinterpret_cast<const char*>(key), sizeof key);
    if (PathRef* hit = paths_.Find(key_)) return hit->get();
    cairo_new_path(cr_);
    build(cr_);
    cairo_path_t* path = cairo_copy_path(cr_);
    cairo_new_path(cr_);
    return paths_.Insert(key_, PathRef(path)).get();
  }

 private:
  static constexpr size_t kCapacity = 256;
  class PathRef {
   public:
    explicit PathRef(cairo_path_t* p) : path_(p) {}
    PathRef(PathRef&& o) noexcept : path_(o.path_) { o.path_ = nullptr; }
    PathRef& operator=(PathRef&&) = delete;
    ~PathRef() {
      if (path_) cairo_path_destroy(path_);
    }
    const cairo_path_t* get() const { return path_; }

   private:
    cairo_path_t* path_;
  };
  cairo_surface_t* surface_;
  cairo_t* cr_;
  std::string key_;
  LruCache<PathRef> paths_;
};

ShapeCache& ThreadShapes() {
  static auto* slot = new ThreadSlot<ShapeCache>;
  return slot->Get();
}

// Whether shapes of this DC can come from the cache: no scaling between logical units, device
// pixels and the target.
bool CachesShapes(const Dc& dc) { return !dc.IsPrinter() && dc.st.mapMode == MM_TEXT; }

// Adds a cached outline with its (0, 0) at (x, y).
void AppendShape(cairo_t* cr, const cairo_path_t* path, double x, double y) {
  cairo_save(cr);
  cairo_translate(cr, x, y);
  cairo_append_path(cr, path);
  cairo_restore(cr);
}

void AddRoundRectPath(cairo_t* cr, const CentreBox& c, double rx, double ry) {
  cairo_new_sub_path(cr);
  AddEllipseArc(cr, c.r - rx, c.t + ry, rx, ry, -kPi / 2, 0);
  AddEllipseArc(cr, c.r - rx, c.b - ry, rx, ry, 0, kPi / 2);
  AddEllipseArc(cr, c.l + rx, c.b - ry, rx, ry, kPi / 2, kPi);
  AddEllipseArc(cr, c.l + rx, c.t + ry, rx, ry, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
}

void AddEllipsePath(cairo_t* cr, const CentreBox& c, double rx, double ry) {
  cairo_new_sub_path(cr);
  AddEllipseArc(cr, (c.l + c.r) / 2, (c.t + c.b) / 2, rx, ry, 0, 2 * kPi);
  cairo_close_path(cr);
}

struct EdgeColours {
  int topLeft;
  int bottomRight;
};

}  // namespace
}  // namespace kvp::gdi

using namespace kvp::gdi;

namespace kvp {
bool SetFarPointCutting(bool on) { return gdi::gCutFarPoints.exchange(on); }
bool SetDirectLineFill(bool on) { return gdi::gDirectLineFill.exchange(on); }
}  // namespace kvp

extern "C" {

int FillRect(HDC h, const RECT* rect, HBRUSH hbrush) {
  auto dc = LookupDc(h);
  if (!dc || !rect) return 0;
  COLORREF color;
  if (hbrush > 0 && hbrush <= 31) {  // (HBRUSH)(COLOR_xxx + 1): a system colour
    color = GetSysColor(static_cast<int>(hbrush) - 1);
  } else {
    auto brush = Lookup<Brush>(hbrush);
    if (!brush) return 0;
    if (brush->hollow) return 1;
    color = brush->color;
  }
  FillDeviceRect(dc->cr(), dc->ToDevice(*rect), color);
  return 1;
}

BOOL Rectangle(HDC h, int left, int top, int right, int bottom) {
  auto dc = LookupDc(h);
  if (!dc) return FALSE;
  RECT d = dc->ToDevice(RECT{left, top, right, bottom});
  if (d.right <= d.left || d.bottom <= d.top) return TRUE;
  cairo_t* cr = dc->cr();
  const double width = PenWidth(*dc);
  if (width == 0) {
    // Without an outline GDI fills one pixel less on the right and at the bottom.
    if (!dc->st.brush->hollow) FillDeviceRect(cr, RECT{d.left, d.top, d.right - 1, d.bottom - 1}, dc->st.brush->color);
    return TRUE;
  }
  if (!dc->st.brush->hollow) FillDeviceRect(cr, d, dc->st.brush->color);
  CentreBox c = CentresOf(d);
  cairo_rectangle(cr, c.l, c.t, c.r - c.l, c.b - c.t);
  StrokePath(*dc, width);
  return TRUE;
}

BOOL RoundRect(HDC h, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  auto dc = LookupDc(h);
  if (!dc) return FALSE;
  RECT d = dc->ToDevice(RECT{left, top, right, bottom});
  if (d.right <= d.left || d.bottom <= d.top) return TRUE;
  CentreBox c = CentresOf(d);
  double rx = std::min((dc->LengthX(ellipseWidth) - 1) / 2, (c.r - c.l) / 2);
  double ry = std::min((dc->LengthY(ellipseHeight) - 1) / 2, (c.b - c.t) / 2);
  cairo_t* cr = dc->cr();
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, c.l, c.t, c.r - c.l, c.b - c.t);
  } else if (CachesShapes(*dc)) {
    const CentreBox at0{0, 0, c.r - c.l, c.b - c.t};
    const double key[4] = {at0.r, at0.b, rx, ry};
    const cairo_path_t* path =
        ThreadShapes().Get(key, 'r', [&](cairo_t* scratch) { AddRoundRectPath(scratch, at0, rx, ry); });
    AppendShape(cr, path, c.l, c.t);
  } else {
    AddRoundRectPath(cr, c, rx, ry);
  }
  FillAndOutline(*dc);
  return TRUE;
}

BOOL Ellipse(HDC h, int left, int top, int right, int bottom) {
  auto dc = LookupDc(h);
  if (!dc) return FALSE;
  RECT d = dc->ToDevice(RECT{left, top, right, bottom});
  if (d.right <= d.left || d.bottom <= d.top) return TRUE;
  CentreBox c = CentresOf(d);
  double rx = (c.r - c.l) / 2, ry = (c.b - c.t) / 2;
  cairo_t* cr = dc->cr();
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, c.l, c.t, c.r - c.l, c.b - c.t);
  } else if (CachesShapes(*dc)) {
    const CentreBox at0{0, 0, c.r - c.l, c.b - c.t};
    const double key[4] = {at0.r, at0.b, rx, ry};
    const cairo_path_t* path =
        ThreadShapes().Get(key, 'e', [&](cairo_t* scratch) { AddEllipsePath(scratch, at0, rx, ry); });
    AppendShape(cr, path, c.l, c.t);
  } else {
    AddEllipsePath(cr, c, rx, ry);
  }
  FillAndOutline(*dc);
  return TRUE;
}

BOOL Polygon(HDC h, const POINT* points, int count) {
  auto dc = LookupDc(h);
  if (!dc || !points || count < 2) return FALSE;
  const std::vector<POINT>& pts = ToDevicePoints(*dc, points, count);
  cairo_t* cr = dc->cr();
  cairo_move_to(cr, pts[0].x + 0.5, pts[0].y + 0.5);
  for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x + 0.5, pts[i].y + 0.5);
  cairo_close_path(cr);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);  // GDI's default ALTERNATE filling
  FillAndOutline(*dc);
  cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  return TRUE;
}

BOOL Polyline(HDC h, const POINT* points, int count) {
  auto dc = LookupDc(h);
  if (!dc || !points || count < 2) return FALSE;
  const std::vector<POINT>& pts = ToDevicePoints(*dc, points, count);
  return DrawLines(*dc, pts.data(), pts.size()) ? TRUE : FALSE;
}

BOOL PolylineTo(HDC h, const POINT* points, DWORD count) {
  auto dc = LookupDc(h);
  if (!dc || (!points && count > 0)) return FALSE;
  if (count == 0) return TRUE;
  if (count > static_cast<DWORD>(std::numeric_limits<int>::max() - 1)) return FALSE;
  // The current position and the points, in device units.
  const std::vector<POINT>& pts = ToDevicePoints(*dc, dc->st.current, points, static_cast<int>(count));
  dc->st.current = points[count - 1];
  DrawLineChain(*dc, pts.data(), pts.size());
  return TRUE;
}

BOOL MoveToEx(HDC h, int x, int y, LPPOINT old) {
  auto dc = LookupDc(h);
  if (!dc) return FALSE;
  if (old) *old = dc->st.current;
  dc->st.current = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC h, int x, int y) {
  auto dc = LookupDc(h);
  if (!dc) return FALSE;
  const POINT pts[2] = {dc->ToDevice(dc->st.current.x, dc->st.current.y), dc->ToDevice(x, y)};
  dc->st.current = POINT{x, y};
  if (pts[0].x == pts[1].x && pts[0].y == pts[1].y) return TRUE;
  return DrawLines(*dc, pts, 2) ? TRUE : FALSE;
}

BOOL DrawFocusRect(HDC h, const RECT* rect) {
  auto dc = LookupDc(h);
  if (!dc || !rect) return FALSE;
  if (dc->IsPrinter()) return TRUE;
  RECT d = dc->ToDevice(*rect);
  if (d.right <= d.left || d.bottom <= d.top) return TRUE;
  // Every other pixel of the border, inverted: drawing the same rectangle again removes it.
  cairo_t* cr = dc->cr();
  auto dot = [&](LONG x, LONG y) {
    if (((x + y) & 1) == 0) cairo_rectangle(cr, x, y, 1, 1);
  };
  for (LONG x = d.left; x < d.right; ++x) dot(x, d.top);
  if (d.bottom - 1 > d.top)
    for (LONG x = d.left; x < d.right; ++x) dot(x, d.bottom - 1);
  for (LONG y = d.top + 1; y < d.bottom - 1; ++y) {
    dot(d.left, y);
    if (d.right - 1 > d.left) dot(d.right - 1, y);
  }
  cairo_set_operator(cr, CAIRO_OPERATOR_DIFFERENCE);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_fill(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  return TRUE;
}

BOOL DrawEdge(HDC h, LPRECT rect, UINT edge, UINT flags) {
  auto dc = LookupDc(h);
  if (!dc || !rect) return FALSE;
  RECT d = dc->ToDevice(*rect);
  cairo_t* cr = dc->cr();
  // Outer then inner border; each colours its top and left sides with one colour and its bottom
  // and right sides (drawn last, so they own the two far corners) with the other.
  // A rectangle of no height (or width) is a separator line: two pixels straddling it.
  if (d.bottom == d.top && (flags & BF_TOP) && (flags & BF_BOTTOM)) {
    --d.top;
    ++d.bottom;
  }
  if (d.right == d.left && (flags & BF_LEFT) && (flags & BF_RIGHT)) {
    --d.left;
    ++d.right;
  }
  if (d.bottom - d.top == 2 && rect->top == rect->bottom) flags &= BF_TOP | BF_BOTTOM;
  if (d.right - d.left == 2 && rect->left == rect->right) flags &= BF_LEFT | BF_RIGHT;
  EdgeColours passes[2] = {{-1, -1}, {-1, -1}};
  if (edge & BDR_RAISEDOUTER) passes[0] = {COLOR_3DLIGHT, COLOR_3DDKSHADOW};
  if (edge & BDR_SUNKENOUTER) passes[0] = {COLOR_3DSHADOW, COLOR_3DHILIGHT};
  if (edge & BDR_RAISEDINNER) passes[1] = {COLOR_3DHILIGHT, COLOR_3DSHADOW};
  if (edge & BDR_SUNKENINNER) passes[1] = {COLOR_3DDKSHADOW, COLOR_3DLIGHT};
  for (int i = 0; i < 2; ++i) {
    if (passes[i].topLeft < 0) continue;
    // A border collapsed by the outer pass has no room for the inner one.
    if (i == 1 && (d.right - d.left < 1 || d.bottom - d.top < 1)) break;
    const COLORREF tl = GetSysColor(passes[i].topLeft), br = GetSysColor(passes[i].bottomRight);
    if (flags & BF_LEFT) FillDeviceRect(cr, RECT{d.left, d.top, d.left + 1, d.bottom}, tl);
    if (flags & BF_TOP) FillDeviceRect(cr, RECT{d.left, d.top, d.right, d.top + 1}, tl);
    if (flags & BF_RIGHT) FillDeviceRect(cr, RECT{d.right - 1, d.top, d.right, d.bottom}, br);
    if (flags & BF_BOTTOM) FillDeviceRect(cr, RECT{d.left, d.bottom - 1, d.right, d.bottom}, br);
    if (flags & BF_LEFT) ++d.left;
    if (flags & BF_TOP) ++d.top;
    if (flags & BF_RIGHT) --d.right;
    if (flags & BF_BOTTOM) --d.bottom;
  }
  return TRUE;
}

}  // extern "C"
