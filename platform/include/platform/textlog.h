// The drawn-text log: while started, every DrawText and TextOut on any DC is recorded with its
// bytes, box, colour and format, so headless tests can assert on what a window wrote and where
// without reading glyph pixels. Process-wide; recording costs nothing while it is stopped.
#pragma once

#include <platform/gdi_surface.h>
#include <platform/geometry.h>
#include <platform/types.h>

#include <string>
#include <vector>

namespace kvp {

// The flags value of an entry written by TextOut (DrawText entries carry their format).
constexpr UINT kTextOutFlag = 0x80000000u;

struct DrawnText {
  HWND window = 0;    // the window whose DC drew it; memory DCs made from a window DC inherit it
  std::string text;   // the bytes as given (Windows-1252)
  RECT rect{};        // logical: DrawText's box, or TextOut's (x, y, x + cx, y + cy)
  COLORREF color = 0; // the DC's text colour
  UINT flags = 0;     // DrawText's format, or kTextOutFlag
};

// Clears the log and starts recording.
PLATFORM_API void StartTextLog();
PLATFORM_API void StopTextLog();
PLATFORM_API void ClearTextLog();
// A copy of the entries in drawing order: all of them for window 0, else those of that window.
PLATFORM_API std::vector<DrawnText> DrawnTexts(HWND window = 0);

// Ties a DC to the window it draws for (the window system calls this for its DCs).
PLATFORM_API void SetDCWindow(HDC dc, HWND window);

}  // namespace kvp
