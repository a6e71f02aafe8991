// The trigger-edge symbol the control panel's edge button and the status strips draw: a vertical
// line with an arrow head, at the top for a rising edge (0) and at the bottom for a falling one
// (1). For the difference sources (A-B, B-A) two symbols stand side by side, one in each
// channel's colour.
#pragma once

#include <platform/afxgdi.h>

namespace scope {

// Draws one symbol centred in the box, in the colour.
void DrawEdgeArrow(CDC* dc, const RECT& box, int edge, COLORREF color);
// The symbol for a trigger source 0..3: one arrow in the source's colour (A or B), two for 2 and 3.
void DrawEdgeSymbol(CDC* dc, const RECT& box, int edge, int source, COLORREF colorA, COLORREF colorB);

}  // namespace scope
