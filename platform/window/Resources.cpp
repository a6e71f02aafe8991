// Resources by id: the per-module tables of bitmaps, icons, cursors and strings, and their readers.
#include "window/WindowSystem.h"

#include <platform/gdi_surface.h>
#include <platform/resources.h>

#include <cairo.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace kvp::win {

namespace {

struct Png {
  const void* data;
  size_t size;
};

struct CursorResource {
  Png png;
  POINT hotspot;
  cairo_surface_t* picture = nullptr;  // decoded on first use, kept for the process
};

struct Tables {
  std::mutex mu;
  std::map<std::pair<HMODULE, int>, Png> bitmaps;
  std::map<std::pair<HMODULE, int>, std::map<int, Png>> icons;  // by size
  std::map<std::pair<HMODULE, int>, CursorResource> cursors;
  std::map<std::pair<HMODULE, UINT>, std::string> strings;
  std::map<std::pair<HMODULE, int>, HICON> loadedIcons;
};

Tables& R() {
  static auto* t = new Tables();
  return *t;
}

// The entry of (module, id): the module's own, then the program's, then any module's (a module
// handle of the program may differ from 0).
template <class Map, class Id>
auto FindIn(Map& map, HMODULE module, Id id) -> decltype(map.begin()) {
  auto it = map.find({module, id});
  if (it != map.end()) return it;
  it = map.find({0, id});
  if (it != map.end()) return it;
  for (auto i = map.begin(); i != map.end(); ++i) {
    if (i->first.second == id) return i;
  }
  return map.end();
}

int IdOf(LPCSTR name) {
  if (!name) return -1;
  if (IS_INTRESOURCE(name)) return static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
  if (name[0] == '#') return std::atoi(name + 1);
  return -1;
}

cairo_status_t ReadPng(void* closure, unsigned char* data, unsigned int length) {
  auto* p = static_cast<Png*>(closure);
  if (p->size < length) return CAIRO_STATUS_READ_ERROR;
  std::memcpy(data, p->data, length);
  p->data = static_cast<const unsigned char*>(p->data) + length;
  p->size -= length;
  return CAIRO_STATUS_SUCCESS;
}

HICON IconFromPng(const Png& png) {
  HBITMAP bmp = kvp::CreateBitmapFromPng(png.data, png.size);
  if (!bmp) return 0;
  ICONINFO info{TRUE, 0, 0, 0, bmp};
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(bmp);
  return icon;
}

}  // namespace

bool HasResourceCursor(HINSTANCE instance, ULONG_PTR id) {
  std::lock_guard<std::mutex> lock(R().mu);
  return FindIn(R().cursors, instance, static_cast<int>(id)) != R().cursors.end();
}

}  // namespace kvp::win

using namespace kvp::win;

namespace kvp {

void RegisterBitmapResource(HMODULE module, int id, const void* png, size_t size) {
  std::lock_guard<std::mutex> lock(R().mu);
  R().bitmaps[{module, id}] = Png{png, size};
}

void RegisterIconResource(HMODULE module, int id, int size, const void* png, size_t bytes) {
  std::lock_guard<std::mutex> lock(R().mu);
  R().icons[{module, id}][size] = Png{png, bytes};
}

void RegisterCursorResource(HMODULE module, int id, const void* png, size_t size, int hotX, int hotY) {
  std::lock_guard<std::mutex> lock(R().mu);
  R().cursors[{module, id}] = CursorResource{Png{png, size}, POINT{hotX, hotY}, nullptr};
}

void RegisterStringResource(HMODULE module, UINT id, const char* text) {
  std::lock_guard<std::mutex> lock(R().mu);
  R().strings[{module, id}] = text ? text : "";
}

bool CursorPicture(HCURSOR cursor, cairo_surface_t** picture, POINT* hotspot) {
  ULONG_PTR id = 0;
  bool system = true;
  if (!CursorIdOf(cursor, &id, &system) || system) return false;
  std::lock_guard<std::mutex> lock(R().mu);
  auto it = FindIn(R().cursors, static_cast<HMODULE>(0), static_cast<int>(id));
  if (it == R().cursors.end()) return false;
  CursorResource& c = it->second;
  if (!c.picture) {
    Png reader = c.png;
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(ReadPng, &reader);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(s);
      return false;
    }
    c.picture = s;
  }
  if (picture) *picture = c.picture;
  if (hotspot) *hotspot = c.hotspot;
  return true;
}

}  // namespace kvp

extern "C" {

HBITMAP LoadBitmap(HINSTANCE instance, LPCSTR name) {
  const int id = IdOf(name);
  Png png{};
  {
    std::lock_guard<std::mutex> lock(R().mu);
    auto it = FindIn(R().bitmaps, instance, id);
    if (it == R().bitmaps.end()) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return 0;
    }
    png = it->second;
  }
  return kvp::CreateBitmapFromPng(png.data, png.size);
}

namespace {
HICON LoadIconSized(HINSTANCE instance, int id, int size, bool shared) {
  Png png{};
  {
    std::lock_guard<std::mutex> lock(R().mu);
    if (shared) {
      auto loaded = R().loadedIcons.find({instance, id * 1000 + size});
      if (loaded != R().loadedIcons.end()) return loaded->second;
    }
    auto it = FindIn(R().icons, instance, id);
    if (it == R().icons.end() || it->second.empty()) {
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return 0;
    }
    // The image of the size asked for, else the nearest larger, else the largest.
    auto& sizes = it->second;
    auto pick = sizes.lower_bound(size);
    if (pick == sizes.end()) pick = std::prev(sizes.end());
    png = pick->second;
  }
  HICON icon = IconFromPng(png);
  if (icon && shared) {
    std::lock_guard<std::mutex> lock(R().mu);
    R().loadedIcons[{instance, id * 1000 + size}] = icon;
  }
  return icon;
}
}  // namespace

HICON LoadIcon(HINSTANCE instance, LPCSTR name) {
  // Shared, as the system's own: one handle per icon, never to be destroyed.
  return LoadIconSized(instance, IdOf(name), 32, true);
}

HANDLE LoadImage(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags) {
  switch (type) {
    case IMAGE_BITMAP: return LoadBitmap(instance, name);
    case IMAGE_ICON: {
      int size = std::max(cx, cy);
      if (size <= 0) size = (flags & LR_DEFAULTSIZE) ? 32 : 32;
      return LoadIconSized(instance, IdOf(name), size, (flags & LR_SHARED) != 0);
    }
    case IMAGE_CURSOR: return LoadCursor(instance, name);
    default: SetLastError(ERROR_INVALID_PARAMETER); return 0;
  }
}

int LoadString(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
  std::string text;
  {
    std::lock_guard<std::mutex> lock(R().mu);
    auto it = FindIn(R().strings, instance, id);
    if (it == R().strings.end()) {
      if (buffer && size > 0) buffer[0] = 0;
      SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
      return 0;
    }
    text = it->second;
  }
  if (!buffer || size <= 0) return 0;
  const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
  std::memcpy(buffer, text.data(), n);
  buffer[n] = 0;
  return static_cast<int>(n);
}

}  // extern "C"
