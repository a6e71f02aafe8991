// Creating, selecting, querying and deleting GDI objects; stock objects; bitmaps from pixels.
#include "GdiObjects.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "DeviceContext.h"
#include "TextRender.h"

namespace kvp::gdi {
namespace {

// The largest bitmap side Cairo's image surfaces take.
constexpr int kMaxBitmapSide = 32767;

struct SysColor {
  int index;
  COLORREF color;
};
// One fixed classic scheme for edges and system colours.
constexpr SysColor kSysColors[] = {
    {COLOR_SCROLLBAR, RGB(212, 208, 200)},         {COLOR_BACKGROUND, RGB(58, 110, 165)},
    {COLOR_ACTIVECAPTION, RGB(10, 36, 106)},       {COLOR_INACTIVECAPTION, RGB(128, 128, 128)},
    {COLOR_MENU, RGB(212, 208, 200)},              {COLOR_WINDOW, RGB(255, 255, 255)},
    {COLOR_WINDOWFRAME, RGB(0, 0, 0)},             {COLOR_MENUTEXT, RGB(0, 0, 0)},
    {COLOR_WINDOWTEXT, RGB(0, 0, 0)},              {COLOR_CAPTIONTEXT, RGB(255, 255, 255)},
    {COLOR_ACTIVEBORDER, RGB(212, 208, 200)},      {COLOR_INACTIVEBORDER, RGB(212, 208, 200)},
    {COLOR_APPWORKSPACE, RGB(128, 128, 128)},      {COLOR_HIGHLIGHT, RGB(10, 36, 106)},
    {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},     {COLOR_BTNFACE, RGB(212, 208, 200)},
    {COLOR_BTNSHADOW, RGB(128, 128, 128)},         {COLOR_GRAYTEXT, RGB(128, 128, 128)},
    {COLOR_BTNTEXT, RGB(0, 0, 0)},                 {COLOR_INACTIVECAPTIONTEXT, RGB(212, 208, 200)},
    {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)},      {COLOR_3DDKSHADOW, RGB(64, 64, 64)},
    {COLOR_3DLIGHT, RGB(228, 226, 222)},           {COLOR_INFOTEXT, RGB(0, 0, 0)},
    {COLOR_INFOBK, RGB(255, 255, 225)},            {25, RGB(181, 181, 181)},
    {COLOR_HOTLIGHT, RGB(0, 0, 128)},              {COLOR_GRADIENTACTIVECAPTION, RGB(166, 202, 240)},
    {COLOR_GRADIENTINACTIVECAPTION, RGB(192, 192, 192)}, {COLOR_MENUHILIGHT, RGB(10, 36, 106)},
    {COLOR_MENUBAR, RGB(212, 208, 200)},
};

LOGFONT MakeLogFont(int height, int weight, const char* face) {
  LOGFONT lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfCharSet = DEFAULT_CHARSET;  // the stock fonts draw in the active language's character set
  std::strncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
  return lf;
}

std::shared_ptr<GdiObject> MakeStock(int index) {
  switch (index) {
    case WHITE_BRUSH: return std::make_shared<Brush>(RGB(255, 255, 255), false);
    case LTGRAY_BRUSH: return std::make_shared<Brush>(RGB(192, 192, 192), false);
    case GRAY_BRUSH: return std::make_shared<Brush>(RGB(128, 128, 128), false);
    case DKGRAY_BRUSH: return std::make_shared<Brush>(RGB(64, 64, 64), false);
    case BLACK_BRUSH: return std::make_shared<Brush>(RGB(0, 0, 0), false);
    case NULL_BRUSH: return std::make_shared<Brush>(RGB(0, 0, 0), true);
    case WHITE_PEN: return std::make_shared<Pen>(PS_SOLID, 0, RGB(255, 255, 255));
    case BLACK_PEN: return std::make_shared<Pen>(PS_SOLID, 0, RGB(0, 0, 0));
    case NULL_PEN: return std::make_shared<Pen>(PS_NULL, 0, RGB(0, 0, 0));
    case SYSTEM_FONT: return std::make_shared<Font>(MakeLogFont(16, FW_NORMAL, "MS Sans Serif"));
    case DEFAULT_GUI_FONT: return std::make_shared<Font>(MakeLogFont(-11, FW_NORMAL, "MS Shell Dlg"));
    default: return nullptr;
  }
}

constexpr int kStockCount = DEFAULT_GUI_FONT + 1;

struct StockTable {
  HGDIOBJ handles[kStockCount] = {};
  HBITMAP bitmap = 0;
  StockTable() {
    for (int i = 0; i < kStockCount; ++i) {
      if (auto obj = MakeStock(i)) {
        obj->stock = true;
        handles[i] = Register(std::move(obj));
      }
    }
    auto bmp = std::make_shared<Bitmap>(cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1));
    bmp->stock = true;
    bitmap = Register(std::move(bmp));
  }
};

StockTable& Stock() {
  static StockTable* table = new StockTable();  // lives as long as the process
  return *table;
}

HBITMAP RegisterBitmap(cairo_surface_t* surface, bool pooled = false) {
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return 0;
  }
  return Register(std::make_shared<Bitmap>(surface, pooled));
}

// At most this many spare buffers, of at most this many bytes together: a few window-sized
// buffers (a pane and its layers), so a paint finds one of its size.
constexpr size_t kPoolSurfaces = 8;
constexpr size_t kPoolBytes = size_t{64} << 20;

class SurfacePool {
 public:
  cairo_surface_t* Take(int width, int height) {
    cairo_surface_t* found = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = spare_.begin(); it != spare_.end(); ++it) {
        if (cairo_image_surface_get_width(*it) == width && cairo_image_surface_get_height(*it) == height) {
          found = *it;
          bytes_ -= BytesOf(found);
          spare_.erase(it);
          break;
        }
      }
    }
    if (!found) return cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    // Black again, as a new surface is. Flushing first lets Cairo finish with the old pixels.
    cairo_surface_flush(found);
    std::memset(cairo_image_surface_get_data(found), 0, BytesOf(found));
    cairo_surface_mark_dirty(found);
    return found;
  }

  void Give(cairo_surface_t* surface) {
    const size_t bytes = BytesOf(surface);
    if (cairo_surface_get_reference_count(surface) != 1 || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        bytes > kPoolBytes) {
      cairo_surface_destroy(surface);
      return;
    }
    std::vector<cairo_surface_t*> dropped;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      while (!spare_.empty() && (spare_.size() >= kPoolSurfaces || bytes_ + bytes > kPoolBytes)) {
        dropped.push_back(spare_.front());
        bytes_ -= BytesOf(spare_.front());
        spare_.erase(spare_.begin());
      }
      spare_.push_back(surface);
      bytes_ += bytes;
    }
    for (auto* s : dropped) cairo_surface_destroy(s);
  }

 private:
  static size_t BytesOf(cairo_surface_t* s) {
    return static_cast<size_t>(cairo_image_surface_get_stride(s)) * static_cast<size_t>(cairo_image_surface_get_height(s));
  }

  std::mutex mutex_;
  std::vector<cairo_surface_t*> spare_;  // guarded by mutex_; oldest first
  size_t bytes_ = 0;                     // guarded by mutex_
};

SurfacePool& Pool() {
  static SurfacePool* pool = new SurfacePool();  // lives as long as the process
  return *pool;
}

}  // namespace

Bitmap::~Bitmap() {
  if (pooled_)
    ReturnBufferSurface(surface);
  else
    cairo_surface_destroy(surface);
}

cairo_surface_t* TakeBufferSurface(int width, int height) { return Pool().Take(width, height); }
void ReturnBufferSurface(cairo_surface_t* surface) { Pool().Give(surface); }

HGDIOBJ Register(std::shared_ptr<GdiObject> obj) { return HandleTable::Instance().Insert(std::move(obj)); }

HGDIOBJ StockHandle(int index) { return index >= 0 && index < kStockCount ? Stock().handles[index] : 0; }
HBITMAP StockBitmap() { return Stock().bitmap; }

Font::Font(const LOGFONT& lf) : log(lf), symbolLetters(false) {
  log.lfFaceName[LF_FACESIZE - 1] = '\0';
  family = StandInFamily(log.lfFaceName, symbolLetters);
  codePage = CodePageOfCharset(log.lfCharSet);
}

cairo_surface_t* KeyedCopy(cairo_surface_t* src, int x, int y, int w, int h, COLORREF key) {
  cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, std::max(w, 1), std::max(h, 1));
  cairo_surface_flush(src);
  const int sw = cairo_image_surface_get_width(src);
  const int sh = cairo_image_surface_get_height(src);
  const int sstride = cairo_image_surface_get_stride(src);
  const bool srcAlpha = cairo_image_surface_get_format(src) == CAIRO_FORMAT_ARGB32;
  const unsigned char* sdata = cairo_image_surface_get_data(src);
  unsigned char* odata = cairo_image_surface_get_data(out);
  const int ostride = cairo_image_surface_get_stride(out);
  const uint32_t keyPixel = 0xFF000000u | (GetRValue(key) << 16) | (GetGValue(key) << 8) | GetBValue(key);
  for (int row = 0; row < h; ++row) {
    auto* o = reinterpret_cast<uint32_t*>(odata + row * ostride);
    const int sy = y + row;
    for (int col = 0; col < w; ++col) {
      const int sx = x + col;
      uint32_t p = 0;
      if (sy >= 0 && sy < sh && sx >= 0 && sx < sw) {
        p = reinterpret_cast<const uint32_t*>(sdata + sy * sstride)[sx];
        if (!srcAlpha) p |= 0xFF000000u;
        if (p == keyPixel) p = 0;
      }
      o[col] = p;
    }
  }
  cairo_surface_mark_dirty(out);
  return out;
}

}  // namespace kvp::gdi

using namespace kvp::gdi;

namespace kvp {

cairo_surface_t* BitmapSurface(HBITMAP h) {
  auto bmp = Lookup<Bitmap>(h);
  return bmp ? bmp->surface : nullptr;
}

cairo_surface_t* IconSurface(HICON h) {
  auto icon = std::dynamic_pointer_cast<Icon>(HandleTable::Instance().Get(h));
  return icon ? icon->surface : nullptr;
}

namespace {
struct PngReader {
  const unsigned char* data;
  size_t size;
  size_t pos;
};
cairo_status_t ReadPng(void* closure, unsigned char* out, unsigned int length) {
  auto* r = static_cast<PngReader*>(closure);
  if (length > r->size - r->pos) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(out, r->data + r->pos, length);
  r->pos += length;
  return CAIRO_STATUS_SUCCESS;
}
}  // namespace

HBITMAP CreateBitmapFromPng(const void* data, size_t size) {
  if (!data || size == 0) return 0;
  PngReader reader{static_cast<const unsigned char*>(data), size, 0};
  return RegisterBitmap(cairo_image_surface_create_from_png_stream(ReadPng, &reader));
}

}  // namespace kvp

extern "C" {

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style != PS_SOLID && style != PS_DASH && style != PS_DOT && style != PS_NULL) style = PS_SOLID;
  return Register(std::make_shared<Pen>(style, std::max(width, 0), color & 0xFFFFFFu));
}

HBRUSH CreateSolidBrush(COLORREF color) { return Register(std::make_shared<Brush>(color & 0xFFFFFFu, false)); }

HFONT CreateFontIndirect(const LOGFONT* lf) {
  if (!lf) return 0;
  return Register(std::make_shared<Font>(*lf));
}

HFONT CreateFont(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                 DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                 DWORD pitchAndFamily, LPCSTR faceName) {
  LOGFONT lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic);
  lf.lfUnderline = static_cast<BYTE>(underline);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName) std::strncpy(lf.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirect(&lf);
}

HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
  if (dc && !LookupDc(dc)) return 0;
  if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) return 0;
  // Always a colour bitmap, also for a memory DC that still holds its 1x1 default.
  return RegisterBitmap(TakeBufferSurface(width, height), true);
}

HBITMAP CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  if (planes != 1 || bitsPerPixel != 32 || width <= 0 || height <= 0 || width > kMaxBitmapSide ||
      height > kMaxBitmapSide)
    return 0;
  const auto* in = static_cast<const uint32_t*>(bits);
  bool alpha = false;
  if (in)
    for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n && !alpha; ++i) alpha = (in[i] >> 24) != 0;
  cairo_surface_t* s = cairo_image_surface_create(alpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return 0;
  }
  if (in) {
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < height; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
      for (int x = 0; x < width; ++x) {
        uint32_t p = in[static_cast<size_t>(y) * width + x];
        if (alpha) {  // Cairo keeps colours premultiplied by alpha
          const uint32_t a = p >> 24;
          auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
          p = (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
        }
        row[x] = p;
      }
    }
    cairo_surface_mark_dirty(s);
  }
  return RegisterBitmap(s);
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  return Register(std::make_shared<Region>(
      RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)}));
}

HGDIOBJ GetStockObject(int index) { return StockHandle(index); }

HGDIOBJ SelectObject(HDC h, HGDIOBJ obj) {
  auto dc = LookupDc(h);
  auto any = std::dynamic_pointer_cast<GdiObject>(kvp::HandleTable::Instance().Get(obj));
  if (!dc || !any) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  DcState& st = dc->st;
  switch (any->Type()) {
    case OBJ_PEN: {
      HGDIOBJ old = st.hpen;
      st.pen = std::static_pointer_cast<Pen>(any);
      st.hpen = obj;
      return old;
    }
    case OBJ_BRUSH: {
      HGDIOBJ old = st.hbrush;
      st.brush = std::static_pointer_cast<Brush>(any);
      st.hbrush = obj;
      return old;
    }
    case OBJ_FONT: {
      HGDIOBJ old = st.hfont;
      st.font = std::static_pointer_cast<Font>(any);
      st.hfont = obj;
      return old;
    }
    case OBJ_BITMAP: {
      HGDIOBJ old = dc->hbitmap;
      return dc->SelectBitmap(obj, std::static_pointer_cast<Bitmap>(any)) ? old : 0;
    }
    case OBJ_REGION:
      return static_cast<HGDIOBJ>(SelectClipRgn(h, obj));
    default:
      return 0;
  }
}

BOOL DeleteObject(HGDIOBJ obj) {
  auto any = Lookup<GdiObject>(obj);
  if (!any) return FALSE;
  if (any->stock) return TRUE;
  // A DC that still has the object selected keeps its own reference.
  return kvp::HandleTable::Instance().Remove(obj) ? TRUE : FALSE;
}

DWORD GetObjectType(HGDIOBJ obj) {
  auto any = kvp::HandleTable::Instance().Get(obj);
  if (auto g = std::dynamic_pointer_cast<GdiObject>(any)) return g->Type();
  if (auto dc = std::dynamic_pointer_cast<Dc>(any)) return dc->IsMemory() ? OBJ_MEMDC : OBJ_DC;
  return 0;
}

int GetObject(HGDIOBJ obj, int size, LPVOID out) {
  auto any = Lookup<GdiObject>(obj);
  if (!any || !out) return 0;
  if (any->Type() == OBJ_BITMAP && size >= static_cast<int>(sizeof(BITMAP))) {
    auto bmp = std::static_pointer_cast<Bitmap>(any);
    BITMAP bm{};
    bm.bmWidth = bmp->Width();
    bm.bmHeight = bmp->Height();
    bm.bmWidthBytes = bm.bmWidth * 4;
    bm.bmPlanes = 1;
    bm.bmBitsPixel = 32;
    std::memcpy(out, &bm, sizeof bm);
    return sizeof bm;
  }
  if (any->Type() == OBJ_FONT && size >= static_cast<int>(sizeof(LOGFONT))) {
    std::memcpy(out, &std::static_pointer_cast<Font>(any)->log, sizeof(LOGFONT));
    return sizeof(LOGFONT);
  }
  return 0;
}

HGDIOBJ GetCurrentObject(HDC h, UINT type) {
  auto dc = LookupDc(h);
  if (!dc) return 0;
  switch (type) {
    case OBJ_PEN: return dc->st.hpen;
    case OBJ_BRUSH: return dc->st.hbrush;
    case OBJ_FONT: return dc->st.hfont;
    case OBJ_BITMAP: return dc->hbitmap;
    default: return 0;
  }
}

COLORREF GetSysColor(int index) {
  for (const auto& c : kSysColors)
    if (c.index == index) return c.color;
  return RGB(0, 0, 0);
}

}  // extern "C"
