// Invalid areas, WM_PAINT and the window DCs over each top-level window's back buffer.
//
// Every top-level window has one back buffer; a child draws into it at its offset, clipped to
// its visible part. A DC never changes the pixels of the window's visible children or of the
// siblings above it: their pixels are kept aside when the DC is made and put back when it is
// released, which gives every window the clipping of WS_CLIPCHILDREN | WS_CLIPSIBLINGS.
#include "window/WindowSystem.h"

#include <platform/gdi.h>
#include <platform/gdi_surface.h>
#include <platform/textlog.h>

#include <cairo.h>

#include <algorithm>

namespace kvp::win {

namespace {

RECT Offset(RECT r, POINT o) { return RECT{r.left + o.x, r.top + o.y, r.right + o.x, r.bottom + o.y}; }

void CopyRect(cairo_surface_t* from, RECT fromRect, cairo_surface_t* to, POINT toPos) {
  cairo_t* cr = cairo_create(to);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, from, toPos.x - fromRect.left, toPos.y - fromRect.top);
  cairo_rectangle(cr, toPos.x, toPos.y, fromRect.right - fromRect.left, fromRect.bottom - fromRect.top);
  cairo_fill(cr);
  cairo_destroy(cr);
}

void AddKept(const Window& w, const CRect& clip, std::vector<Snapshot>& kept, cairo_surface_t* surface) {
  CRect vis(VisibleRectInTop(w));
  CRect part;
  if (!part.IntersectRect(vis, clip)) return;
  cairo_surface_t* pixels = cairo_image_surface_create(CAIRO_FORMAT_RGB24, part.Width(), part.Height());
  CopyRect(surface, part, pixels, POINT{0, 0});
  kept.push_back(Snapshot{part, pixels});
}

// Windows whose pixels a DC of w must not change: visible children, and the visible siblings
// above w and above each of its ancestors.
void CollectKept(const Window& w, const CRect& clip, std::vector<Snapshot>& kept, cairo_surface_t* surface) {
  for (HWND c : w.children) {
    auto cw = Get(c);
    if (cw && (cw->style & WS_VISIBLE)) AddKept(*cw, clip, kept, surface);
  }
  const Window* cur = &w;
  std::shared_ptr<Window> hold;
  while (cur->IsChild()) {
    auto parent = Get(cur->parent);
    if (!parent) break;
    for (HWND s : parent->children) {
      if (s == cur->hwnd) break;
      auto sw = Get(s);
      if (sw && (sw->style & WS_VISIBLE)) AddKept(*sw, clip, kept, surface);
    }
    hold = parent;
    cur = hold.get();
  }
}

cairo_surface_t* EnsureSurface(Window& top) {
  if (!top.surface) {
    top.surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, std::max(top.Width(), 1), std::max(top.Height(), 1));
    cairo_t* cr = cairo_create(top.surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_destroy(cr);
  }
  return top.surface;
}

// First window (pre-order, top-level windows in z-order) of the queue's thread that needs paint.
HWND FindPaint(HWND hwnd, DWORD threadId) {
  auto w = Get(hwnd);
  if (!w || !(w->style & WS_VISIBLE) || w->minimized) return 0;
  if (w->hasUpdate && w->threadId == threadId) return hwnd;
  // Children are painted after their parent, bottom of the z-order first.
  for (auto it = w->children.rbegin(); it != w->children.rend(); ++it) {
    if (HWND found = FindPaint(*it, threadId)) return found;
  }
  return 0;
}

}  // namespace

void ResizeSurface(Window& top) {
  if (!top.surface) return;
  cairo_surface_t* old = top.surface;
  top.surface = nullptr;
  cairo_surface_t* fresh = EnsureSurface(top);
  CopyRect(old, RECT{0, 0, cairo_image_surface_get_width(old), cairo_image_surface_get_height(old)}, fresh,
           POINT{0, 0});
  cairo_surface_destroy(old);
}

void FreeSurface(Window& top) {
  if (top.surface) cairo_surface_destroy(top.surface);
  top.surface = nullptr;
}

void InvalidateInternal(Window& w, const RECT* rect, bool erase, bool children) {
  CRect client(0, 0, w.Width(), w.Height());
  CRect r = rect ? CRect(*rect) : client;
  CRect part;
  if (part.IntersectRect(r, client)) {
    CRect merged;
    if (w.hasUpdate) {
      merged.UnionRect(w.update, part);
    } else {
      merged = part;
    }
    w.update = merged;
    w.hasUpdate = true;
    w.erase = w.erase || erase;
    if (w.queue) w.queue->Signal();
  }
  if (!children) return;
  for (HWND c : w.children) {
    auto cw = Get(c);
    if (!cw) continue;
    RECT inChild = RECT{r.left - cw->rect.left, r.top - cw->rect.top, r.right - cw->rect.left, r.bottom - cw->rect.top};
    InvalidateInternal(*cw, &inChild, erase, true);
  }
}

void InvalidateParentArea(Window& w) {
  if (!w.IsChild()) return;
  auto p = Get(w.parent);
  if (!p) return;
  InvalidateInternal(*p, &w.rect, true, false);
  // Siblings under the uncovered area show through again.
  for (HWND s : p->children) {
    if (s == w.hwnd) continue;
    auto sw = Get(s);
    if (!sw) continue;
    CRect overlap;
    if (!overlap.IntersectRect(sw->rect, w.rect)) continue;
    overlap.OffsetRect(-sw->rect.left, -sw->rect.top);
    InvalidateInternal(*sw, &overlap, true, true);
  }
}

bool TakePaint(Queue& q, MSG* msg, HWND filter) {
  for (HWND t : Sys().topLevels) {
    HWND found = FindPaint(t, q.threadId);
    if (found && (!filter || IsDescendant(filter, found))) {
      *msg = MSG{};
      msg->hwnd = found;
      msg->message = WM_PAINT;
      msg->pt = Sys().cursorPos;
      return true;
    }
  }
  return false;
}

HDC MakeDC(HWND hwnd, const RECT* clipClient) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return 0;
  auto top = Get(TopLevelOf(hwnd));
  if (!top) return 0;
  cairo_surface_t* surface = EnsureSurface(*top);
  POINT origin = OriginInTop(*w);
  CRect clip(VisibleRectInTop(*w));  // empty for a hidden window: drawing has no effect
  if (clipClient) {
    CRect limit(Offset(*clipClient, origin));
    CRect both;
    both.IntersectRect(clip, limit);
    clip = both;
  }
  std::vector<Snapshot> kept;
  if (!clip.IsRectEmpty()) CollectKept(*w, clip, kept, surface);
  HDC dc = kvp::CreateSurfaceDC(surface, origin, clip);
  if (!dc) {
    for (auto& k : kept) cairo_surface_destroy(k.pixels);
    return 0;
  }
  kvp::SetDCWindow(dc, hwnd);
  Sys().dcs[dc] = DcInfo{hwnd, top->hwnd, clip, std::move(kept)};
  return dc;
}

void FreeDC(HDC dc) {
  DcInfo info;
  {
    Lock lock(Sys().mu);
    auto it = Sys().dcs.find(dc);
    if (it == Sys().dcs.end()) return;
    info = std::move(it->second);
    Sys().dcs.erase(it);
  }
  kvp::DeleteSurfaceDC(dc);
  Lock lock(Sys().mu);
  auto top = Get(info.top);
  for (auto& k : info.kept) {
    if (top && top->surface) CopyRect(k.pixels, RECT{0, 0, k.rect.right - k.rect.left, k.rect.bottom - k.rect.top},
                                      top->surface, POINT{k.rect.left, k.rect.top});
    cairo_surface_destroy(k.pixels);
  }
  if (top && top->surface && !CRect(info.clip).IsRectEmpty()) {
    cairo_surface_flush(top->surface);
    if (Sys().backend && top->threadId == Sys().guiThread) Sys().backend->Flush(*top, info.clip);
  }
}

}  // namespace kvp::win

using namespace kvp::win;

extern "C" {

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return FALSE;
  InvalidateInternal(*w, rect, erase != 0, false);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return FALSE;
  ++w->validations;
  if (!rect) {
    w->hasUpdate = false;
    w->erase = false;
    return TRUE;
  }
  // The invalid area is kept as one rectangle: validating a part covering it clears it.
  CRect cover;
  cover.UnionRect(*rect, w->update);
  if (cover == CRect(*rect)) {
    w->hasUpdate = false;
    w->erase = false;
  }
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL erase) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w) return FALSE;
  if (rect) *rect = w->hasUpdate ? w->update : RECT{0, 0, 0, 0};
  return w->hasUpdate;
}

BOOL UpdateWindow(HWND hwnd) {
  bool paint;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return FALSE;
    paint = w->hasUpdate && VisibleChain(*w);
  }
  if (paint) SendMessage(hwnd, WM_PAINT, 0, 0);
  std::vector<HWND> children;
  {
    Lock lock(Sys().mu);
    if (auto w = Get(hwnd)) children = w->children;
  }
  for (auto it = children.rbegin(); it != children.rend(); ++it) UpdateWindow(*it);
  return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, void* region, UINT flags) {
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w) return FALSE;
    if (flags & RDW_INVALIDATE) InvalidateInternal(*w, rect, (flags & RDW_ERASE) != 0, (flags & RDW_ALLCHILDREN) != 0);
    if (flags & RDW_VALIDATE) ValidateRect(hwnd, rect);
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) UpdateWindow(hwnd);
  return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
  RECT update{};
  bool erase = false;
  {
    Lock lock(Sys().mu);
    auto w = Get(hwnd);
    if (!w || !ps) return 0;
    if (w->hasUpdate) update = w->update;
    ++w->validations;
    erase = w->erase;
    w->hasUpdate = false;
    w->erase = false;
  }
  *ps = PAINTSTRUCT{};
  ps->rcPaint = update;
  HDC dc = MakeDC(hwnd, &update);
  ps->hdc = dc;
  if (erase && dc) ps->fErase = SendMessage(hwnd, WM_ERASEBKGND, static_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
  return dc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
  if (ps && ps->hdc) FreeDC(ps->hdc);
  return TRUE;
}

HDC GetDC(HWND hwnd) { return MakeDC(hwnd, nullptr); }
HDC GetWindowDC(HWND hwnd) { return MakeDC(hwnd, nullptr); }

int ReleaseDC(HWND hwnd, HDC dc) {
  {
    Lock lock(Sys().mu);
    if (!Sys().dcs.count(dc)) return 0;
  }
  FreeDC(dc);
  return 1;
}

}  // extern "C"

namespace kvp {

cairo_surface_t* WindowSurface(HWND topLevel) {
  Lock lock(Sys().mu);
  auto w = Get(topLevel);
  if (!w || w->IsChild()) return nullptr;
  return EnsureSurface(*w);
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
  Lock lock(Sys().mu);
  auto w = Get(hwnd);
  if (!w || x < 0 || y < 0 || x >= w->Width() || y >= w->Height()) return 0xFFFFFFFFu;
  auto top = Get(TopLevelOf(hwnd));
  if (!top) return 0xFFFFFFFFu;
  cairo_surface_t* s = EnsureSurface(*top);
  POINT o = OriginInTop(*w);
  int px = o.x + x, py = o.y + y;
  if (px >= cairo_image_surface_get_width(s) || py >= cairo_image_surface_get_height(s)) return 0xFFFFFFFFu;
  cairo_surface_flush(s);
  const unsigned char* data = cairo_image_surface_get_data(s);
  uint32_t v = *reinterpret_cast<const uint32_t*>(data + py * cairo_image_surface_get_stride(s) + px * 4);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

bool SaveWindowPng(HWND hwnd, const char* path) {
  Lock lock(Sys().mu);
  auto top = Get(TopLevelOf(hwnd));
  if (!top || !path) return false;
  cairo_surface_t* s = EnsureSurface(*top);
  cairo_surface_flush(s);
  return cairo_surface_write_to_png(s, path) == CAIRO_STATUS_SUCCESS;
}

}  // namespace kvp
