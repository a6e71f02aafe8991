// Resources by id: bitmaps, icons and cursors (PNG), strings and dialog templates, compiled into
// each module and registered at static construction (the kv_resources CMake function generates
// the registration of a module's PNG files). Readers look in the given module's table, then in
// the program's (module 0).
#pragma once

#include <platform/gdi.h>
#include <platform/window.h>

#include <cstddef>

typedef struct _cairo_surface cairo_surface_t;

#define IMAGE_BITMAP 0
#define IMAGE_ICON 1
#define IMAGE_CURSOR 2
#define LR_DEFAULTCOLOR 0x0000
#define LR_DEFAULTSIZE 0x0040
#define LR_SHARED 0x8000

#define IDI_APPLICATION MAKEINTRESOURCE(32512)
#define IDI_HAND MAKEINTRESOURCE(32513)
#define IDI_QUESTION MAKEINTRESOURCE(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCE(32515)
#define IDI_ASTERISK MAKEINTRESOURCE(32516)

#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

namespace kvp {
// The PNG bytes must stay valid for the life of the process (they are compiled in).
PLATFORM_API void RegisterBitmapResource(HMODULE module, int id, const void* png, size_t size);
// One image per size (16 and 32 pixels); LoadIcon takes 32, LoadImage the nearest size.
PLATFORM_API void RegisterIconResource(HMODULE module, int id, int size, const void* png, size_t bytes);
PLATFORM_API void RegisterCursorResource(HMODULE module, int id, const void* png, size_t size, int hotX, int hotY);
PLATFORM_API void RegisterStringResource(HMODULE module, UINT id, const char* text);

// A resource cursor's picture (ARGB32, owned by the cursor) and hot spot, for the display back
// ends; false for system cursors.
PLATFORM_API bool CursorPicture(HCURSOR cursor, cairo_surface_t** picture, POINT* hotspot);
}  // namespace kvp

extern "C" {
PLATFORM_API HBITMAP LoadBitmap(HINSTANCE instance, LPCSTR name);
PLATFORM_API HICON LoadIcon(HINSTANCE instance, LPCSTR name);
PLATFORM_API HANDLE LoadImage(HINSTANCE instance, LPCSTR name, UINT type, int cx, int cy, UINT flags);
// Copies the string (cut to size - 1) and returns its length; 0 when there is none.
PLATFORM_API int LoadString(HINSTANCE instance, UINT id, LPSTR buffer, int size);
}
