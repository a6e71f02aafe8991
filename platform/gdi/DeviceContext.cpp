// Device contexts: creation over surfaces, bitmaps and printer pages; state, mapping and clipping.
#include "DeviceContext.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "TextRender.h"

namespace kvp::gdi {
namespace {

constexpr int kScreenDpi = 96;

std::atomic<const TextMetricsProvider*> gDefaultMetrics{nullptr};

const TextMetricsProvider* DefaultMetrics() {
  const TextMetricsProvider* p = gDefaultMetrics.load();
  return p ? p : &PangoTextMetrics();
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right <= r.left || r.bottom <= r.top) r = RECT{0, 0, 0, 0};
  return r;
}

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

// A fresh DC: white brush, black pen, system font.
void ResetObjects(DcState& st) {
  st.hpen = StockHandle(BLACK_PEN);
  st.pen = Lookup<Pen>(st.hpen);
  st.hbrush = StockHandle(WHITE_BRUSH);
  st.brush = Lookup<Brush>(st.hbrush);
  st.hfont = StockHandle(SYSTEM_FONT);
  st.font = Lookup<Font>(st.hfont);
}

HDC RegisterDc(std::shared_ptr<Dc> dc) {
  Dc* raw = dc.get();
  HDC h = HandleTable::Instance().Insert(std::move(dc));
  if (h) raw->handle = h;
  return h;
}

}  // namespace

Dc::Dc(Kind kind, cairo_surface_t* target, POINT origin, RECT baseClip, int dotsPerInch, double unitScale)
    : metrics(DefaultMetrics()), kind_(kind), origin_(origin), baseClip_(baseClip), dpi_(dotsPerInch),
      unitScale_(unitScale) {
  ResetObjects(st);
  if (kind == Kind::Memory) {
    hbitmap = StockBitmap();
    bitmap = Lookup<Bitmap>(hbitmap);
    target = bitmap->surface;
  }
  Bind(target);
}

Dc::~Dc() {
  if (bitmap && !bitmap->stock) {
    HDC self = handle;
    bitmap->selectedIn.compare_exchange_strong(self, 0);
  }
  if (cr_) cairo_destroy(cr_);
  if (target_) cairo_surface_destroy(target_);
}

void Dc::Bind(cairo_surface_t* target) {
  if (cr_) cairo_destroy(cr_);
  cr_ = nullptr;
  cairo_surface_reference(target);
  if (target_) cairo_surface_destroy(target_);
  target_ = target;
}

void Dc::MakeContext() const {
  cr_ = cairo_create(target_);
  cairo_translate(cr_, origin_.x, origin_.y);
  if (unitScale_ != 1.0) cairo_scale(cr_, unitScale_, unitScale_);
  // GDI draws aliased shapes; text keeps its own (grey) anti-aliasing.
  if (!IsPrinter()) cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  const_cast<Dc*>(this)->ApplyClip();
}

bool Dc::SelectBitmap(HBITMAP h, std::shared_ptr<Bitmap> bmp) {
  if (!IsMemory() || !bmp) return false;
  if (!bmp->stock) {
    HDC expected = 0;
    if (!bmp->selectedIn.compare_exchange_strong(expected, handle) && expected != handle) return false;
  }
  if (bitmap && !bitmap->stock && bitmap != bmp) {
    HDC self = handle;
    bitmap->selectedIn.compare_exchange_strong(self, 0);
  }
  bitmap = std::move(bmp);
  hbitmap = h;
  baseClip_ = RECT{0, 0, bitmap->Width(), bitmap->Height()};
  Bind(bitmap->surface);
  return true;
}

SIZE Dc::DeviceSize() const {
  if (IsPrinter()) return SIZE{baseClip_.right - baseClip_.left, baseClip_.bottom - baseClip_.top};
  if (cairo_surface_get_type(target_) == CAIRO_SURFACE_TYPE_IMAGE)
    return SIZE{cairo_image_surface_get_width(target_), cairo_image_surface_get_height(target_)};
  return SIZE{0, 0};
}

double Dc::ScaleX() const { return st.mapMode == MM_LOMETRIC ? dpi_ / 254.0 : 1.0; }
double Dc::ScaleY() const { return st.mapMode == MM_LOMETRIC ? -dpi_ / 254.0 : 1.0; }

POINT Dc::ToDevice(LONG x, LONG y) const {
  if (st.mapMode == MM_TEXT)
    return POINT{x - st.windowOrg.x + st.viewportOrg.x, y - st.windowOrg.y + st.viewportOrg.y};
  return POINT{static_cast<LONG>(std::lround((x - st.windowOrg.x) * ScaleX())) + st.viewportOrg.x,
               static_cast<LONG>(std::lround((y - st.windowOrg.y) * ScaleY())) + st.viewportOrg.y};
}

POINT Dc::ToLogical(LONG x, LONG y) const {
  if (st.mapMode == MM_TEXT)
    return POINT{x - st.viewportOrg.x + st.windowOrg.x, y - st.viewportOrg.y + st.windowOrg.y};
  return POINT{static_cast<LONG>(std::lround((x - st.viewportOrg.x) / ScaleX())) + st.windowOrg.x,
               static_cast<LONG>(std::lround((y - st.viewportOrg.y) / ScaleY())) + st.windowOrg.y};
}

RECT Dc::ToDevice(const RECT& r) const {
  POINT a = ToDevice(r.left, r.top);
  POINT b = ToDevice(r.right, r.bottom);
  return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

RECT Dc::ClipBox() const { return st.hasUserClip ? Intersect(baseClip_, st.userClip) : baseClip_; }

void Dc::ApplyClip() {
  if (!cr_) return;  // a context made later starts with the clip
  cairo_reset_clip(cr_);
  RECT c = ClipBox();
  cairo_rectangle(cr_, c.left, c.top, c.right - c.left, c.bottom - c.top);
  cairo_clip(cr_);
}

std::shared_ptr<Dc> LookupDc(HDC h) {
  auto dc = std::dynamic_pointer_cast<Dc>(HandleTable::Instance().Get(h));
  if (!dc) SetLastError(ERROR_INVALID_HANDLE);
  return dc;
}

}  // namespace kvp::gdi

using kvp::gdi::Dc;
using kvp::gdi::LookupDc;

namespace kvp {

HDC CreateSurfaceDC(cairo_surface_t* target, POINT origin, const RECT& clipInTarget) {
  if (!target || cairo_surface_status(target) != CAIRO_STATUS_SUCCESS) return 0;
  RECT clip{clipInTarget.left - origin.x, clipInTarget.top - origin.y, clipInTarget.right - origin.x,
            clipInTarget.bottom - origin.y};
  if (gdi::IsEmpty(clip)) clip = RECT{0, 0, 0, 0};
  return gdi::RegisterDc(std::make_shared<Dc>(Dc::Kind::Surface, target, origin, clip, gdi::kScreenDpi, 1.0));
}

void DeleteSurfaceDC(HDC dc) { ::DeleteDC(dc); }

HDC CreatePrinterDC(cairo_surface_t* page, int dotsPerInch, SIZE pageDots) {
  if (!page || cairo_surface_status(page) != CAIRO_STATUS_SUCCESS || dotsPerInch <= 0) return 0;
  RECT clip{0, 0, pageDots.cx, pageDots.cy};
  return gdi::RegisterDc(
      std::make_shared<Dc>(Dc::Kind::Printer, page, POINT{0, 0}, clip, dotsPerInch, 72.0 / dotsPerInch));
}

bool IsPrinterDC(HDC h) {
  if (!h) return false;
  auto dc = std::dynamic_pointer_cast<Dc>(HandleTable::Instance().Get(h));
  return dc && dc->IsPrinter();
}

const TextMetricsProvider* SetDefaultTextMetrics(const TextMetricsProvider* provider) {
  const TextMetricsProvider* old = gdi::gDefaultMetrics.exchange(provider);
  return old ? old : &PangoTextMetrics();
}

void SetTextMetrics(HDC h, const TextMetricsProvider* provider) {
  if (auto dc = LookupDc(h)) dc->metrics = provider ? provider : &PangoTextMetrics();
}

}  // namespace kvp

extern "C" {

HDC CreateCompatibleDC(HDC h) {
  int dpi = kvp::gdi::kScreenDpi;
  HWND window = 0;
  if (h) {
    auto ref = LookupDc(h);
    if (!ref) return 0;
    if (!ref->IsPrinter()) dpi = ref->dpi();
    window = ref->window;
  }
  auto dc = std::make_shared<Dc>(Dc::Kind::Memory, nullptr, POINT{0, 0}, RECT{0, 0, 1, 1}, dpi, 1.0);
  dc->window = window;
  return kvp::gdi::RegisterDc(std::move(dc));
}

BOOL DeleteDC(HDC h) {
  if (!LookupDc(h)) return FALSE;
  return kvp::HandleTable::Instance().Remove(h) ? TRUE : FALSE;
}

int GetDeviceCaps(HDC h, int index) {
  auto dc = LookupDc(h);
  if (!dc) return 0;
  SIZE size = dc->DeviceSize();
  switch (index) {
    case TECHNOLOGY:
      return dc->IsPrinter() ? DT_RASPRINTER : DT_RASDISPLAY;
    case HORZRES:
      return size.cx;
    case VERTRES:
      return size.cy;
    case HORZSIZE:
      return static_cast<int>(size.cx * 25.4 / dc->dpi());
    case VERTSIZE:
      return static_cast<int>(size.cy * 25.4 / dc->dpi());
    case LOGPIXELSX:
    case LOGPIXELSY:
      return dc->dpi();
    // A printer page is printable to its edges (PDF pages have no hardware margins).
    case PHYSICALWIDTH:
      return dc->IsPrinter() ? size.cx : 0;
    case PHYSICALHEIGHT:
      return dc->IsPrinter() ? size.cy : 0;
    case PHYSICALOFFSETX:
    case PHYSICALOFFSETY:
      return 0;
    default:
      return 0;
  }
}

int SaveDC(HDC h) {
  auto dc = LookupDc(h);
  if (!dc) return 0;
  dc->saved.push_back(dc->st);
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC h, int level) {
  auto dc = LookupDc(h);
  if (!dc) return FALSE;
  const int depth = static_cast<int>(dc->saved.size());
  int target = level < 0 ? depth + level + 1 : level;  // -1: the last saved state
  if (target < 1 || target > depth) return FALSE;
  dc->st = dc->saved[target - 1];
  dc->saved.resize(target - 1);
  dc->ApplyClip();
  return TRUE;
}

int SetMapMode(HDC h, int mode) {
  auto dc = LookupDc(h);
  if (!dc || (mode != MM_TEXT && mode != MM_LOMETRIC)) return 0;
  int old = dc->st.mapMode;
  dc->st.mapMode = mode;
  return old;
}

int GetMapMode(HDC h) {
  auto dc = LookupDc(h);
  return dc ? dc->st.mapMode : 0;
}

BOOL SetWindowOrgEx(HDC h, int x, int y, LPPOINT old) {
  auto dc = LookupDc(h);
  if (!dc) return FALSE;
  if (old) *old = dc->st.windowOrg;
  dc->st.windowOrg = POINT{x, y};
  return TRUE;
}

BOOL GetWindowOrgEx(HDC h, LPPOINT org) {
  auto dc = LookupDc(h);
  if (!dc || !org) return FALSE;
  *org = dc->st.windowOrg;
  return TRUE;
}

BOOL SetViewportOrgEx(HDC h, int x, int y, LPPOINT old) {
  auto dc = LookupDc(h);
  if (!dc) return FALSE;
  if (old) *old = dc->st.viewportOrg;
  dc->st.viewportOrg = POINT{x, y};
  return TRUE;
}

BOOL GetViewportOrgEx(HDC h, LPPOINT org) {
  auto dc = LookupDc(h);
  if (!dc || !org) return FALSE;
  *org = dc->st.viewportOrg;
  return TRUE;
}

BOOL LPtoDP(HDC h, LPPOINT points, int count) {
  auto dc = LookupDc(h);
  if (!dc || (!points && count > 0)) return FALSE;
  for (int i = 0; i < count; ++i) points[i] = dc->ToDevice(points[i].x, points[i].y);
  return TRUE;
}

BOOL DPtoLP(HDC h, LPPOINT points, int count) {
  auto dc = LookupDc(h);
  if (!dc || (!points && count > 0)) return FALSE;
  for (int i = 0; i < count; ++i) points[i] = dc->ToLogical(points[i].x, points[i].y);
  return TRUE;
}

int SetBkMode(HDC h, int mode) {
  auto dc = LookupDc(h);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->st.bkMode;
  dc->st.bkMode = mode;
  return old;
}

int GetBkMode(HDC h) {
  auto dc = LookupDc(h);
  return dc ? dc->st.bkMode : 0;
}

COLORREF SetBkColor(HDC h, COLORREF color) {
  auto dc = LookupDc(h);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->st.bkColor;
  dc->st.bkColor = color & 0xFFFFFFu;
  return old;
}

COLORREF GetBkColor(HDC h) {
  auto dc = LookupDc(h);
  return dc ? dc->st.bkColor : CLR_INVALID;
}

COLORREF SetTextColor(HDC h, COLORREF color) {
  auto dc = LookupDc(h);
  if (!dc) return CLR_INVALID;
  COLORREF old = dc->st.textColor;
  dc->st.textColor = color & 0xFFFFFFu;
  return old;
}

COLORREF GetTextColor(HDC h) {
  auto dc = LookupDc(h);
  return dc ? dc->st.textColor : CLR_INVALID;
}

int IntersectClipRect(HDC h, int left, int top, int right, int bottom) {
  auto dc = LookupDc(h);
  if (!dc) return ERROR;
  RECT r = dc->ToDevice(RECT{left, top, right, bottom});
  dc->st.userClip = dc->st.hasUserClip ? kvp::gdi::Intersect(dc->st.userClip, r) : r;
  dc->st.hasUserClip = true;
  dc->ApplyClip();
  return kvp::gdi::IsEmpty(dc->ClipBox()) ? NULLREGION : SIMPLEREGION;
}

int SelectClipRgn(HDC h, HRGN rgn) {
  auto dc = LookupDc(h);
  if (!dc) return ERROR;
  if (!rgn) {
    dc->st.hasUserClip = false;
  } else {
    auto region = kvp::gdi::Lookup<kvp::gdi::Region>(rgn);
    if (!region) return ERROR;
    dc->st.userClip = region->rect;
    dc->st.hasUserClip = true;
  }
  dc->ApplyClip();
  return kvp::gdi::IsEmpty(dc->ClipBox()) ? NULLREGION : SIMPLEREGION;
}

int GetClipBox(HDC h, LPRECT rect) {
  auto dc = LookupDc(h);
  if (!dc || !rect) return ERROR;
  RECT c = dc->ClipBox();
  POINT a = dc->ToLogical(c.left, c.top);
  POINT b = dc->ToLogical(c.right, c.bottom);
  *rect = RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
  // y grows upwards: the top of the box is its larger y, as GDI reports it.
  if (dc->ScaleY() < 0) std::swap(rect->top, rect->bottom);
  return kvp::gdi::IsEmpty(c) ? NULLREGION : SIMPLEREGION;
}

}  // extern "C"
