// Small drawing helpers shared by the toolkit, the scope and the recorder.
#pragma once

#include <platform/afxgdi.h>

// Creates the font only when it has no handle yet (weight 700 bold / 400, escapement and
// orientation angle * 10). 1 when a font is attached.
int CreateFontOnce(CFont& font, LPCSTR face, int height, BYTE charSet, BOOL bold, BOOL italic, BOOL underline,
                   int angleDegrees);

// Hatches the rectangle with lines every step pixels in the current pen: type 0 horizontal, 2 and
// 3 diagonals of either direction, 4 horizontal and vertical, 5 both diagonals, others vertical.
// Then the edges named by the bits: 1 left, 2 top, 4 right, 8 bottom.
void DrawLinePattern(CDC* dc, int left, int top, int right, int bottom, int type, int edges, int step);
