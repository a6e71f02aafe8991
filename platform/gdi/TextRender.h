// Fonts and text: which installed face stands in for a requested one, how a font's text bytes
// become UTF-8, how big a font is on a given DC, and how one line of text is drawn.
#pragma once

#include <platform/gdi.h>
#include <platform/gdi_surface.h>

#include <cairo.h>

#include <string>

#include "GdiObjects.h"

namespace kvp::gdi {

class Dc;

// The installed face for a requested face name. Sets symbolLetters for the "Symbol" face, whose
// Latin letters stand for Greek ones (its "W" is the ohm sign).
std::string StandInFamily(const char* face, bool& symbolLetters);

// The font's text bytes as UTF-8 (count < 0: up to the terminating NUL).
std::string TextToUtf8(const Font& font, const char* text, int count);

// The font as the DC draws it: em size in device pixels from the requested height (negative:
// em height; positive: cell height; 0: a default size).
ResolvedFont ResolveFont(const Font& font, const Dc& dc);

// Whole-pixel metrics of a resolved font.
struct LineMetrics {
  int ascent;
  int descent;
  int height() const { return ascent + descent; }
};
LineMetrics MetricsOf(const TextMetricsProvider& provider, const ResolvedFont& font);
int WidthOf(const TextMetricsProvider& provider, const ResolvedFont& font, std::string_view utf8);

// Draws one line with its top-left corner at device point (x, top), turned by the font's
// escapement around that point, in the DC's text colour; an opaque background first fills the
// line's box.
void DrawLine(Dc& dc, const Font& font, const ResolvedFont& resolved, int x, int top, std::string_view utf8);

}  // namespace kvp::gdi
