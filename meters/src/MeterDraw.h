// Drawing pieces the multimeter panes share: their fonts, fitted captions and the zero symbol.
#pragma once

#include <platform/afxgdi.h>

// Recreates the font: the face at the pixel height, bold or normal.
void MakeMeterFont(CFont& font, int height, bool bold, LPCSTR face = "Arial");

// The zero symbol in the DC's text colour: a dotted line along the top from the left edge to the
// middle, a solid line down the middle and along the bottom to the right edge, and "0" centred in
// the right half (in the DC's font).
void DrawZeroSymbol(CDC* dc, const RECT& r, COLORREF color);

// Draws a one-line caption centred in the box in the font; a caption wider than the box less
// `margin` on each side is drawn in the same font made just small enough to fit, so it is never
// cut at the box's edges.
void DrawFittedCaption(CDC* dc, LPCSTR text, const RECT& box, CFont& font, int margin);
