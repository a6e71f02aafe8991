// Drawing pieces the scope chart, its rulers and cursor panel and the record analyzer share: the
// off-screen layer COffDC, the scale range test, the marker update from a pixel, the thumb
// polygon and the delta sign. GUI thread only.
#pragma once

#include <platform/afxgdi.h>

class CScale;
class CTraceStyle;
class CWnd;

// An off-screen layer: a memory DC with a bitmap of the owner's client size, filled with the
// background colour. A chart composes its picture in layers and blits the finished one.
class COffDC : public CDC {
 public:
  COffDC() = default;
  ~COffDC() override;

  // Takes the owner's client rectangle, makes the memory DC and bitmap compatible with the owner's
  // window DC and fills the bitmap. Returns the valid flag (DC and bitmap both made).
  BOOL Create(CWnd* owner, COLORREF background);
  // The same rectangle: nothing, 0. Otherwise the bitmap is rebuilt at the new size and filled: 1.
  int Resize(const RECT& client);
  // Copies the blit rectangle 1:1 onto the same place of the target; 0 when the layer is not valid.
  BOOL BlitTo(CDC* target);
  // Fills the whole layer with its background colour.
  void Fill();

  BOOL IsValid() const { return m_bValid; }
  const CRect& BlitRect() const { return m_rcBlit; }
  const CRect& ClientRect() const { return m_rcClient; }
  COLORREF Background() const { return m_crBackground; }

 private:
  BOOL MakeBitmap();
  void ReleaseBitmap();

  CBitmap m_bitmap;
  CBitmap* m_pOldBitmap = nullptr;
  CRect m_rcBlit{0, 0, 0, 0};
  CRect m_rcClient{0, 0, 0, 0};
  BOOL m_bValid = FALSE;
  CWnd* m_pOwner = nullptr;
  COLORREF m_crBackground = 0xFFFFFF;
};

// True when the value lies in the shown span of the scale, both ends included, for a rising and
// for a falling scale.
bool IsValueInScaleRange(const CScale& scale, double value);

// Moves a marker to the value at the pixel on its scale; a marker without a scale is unchanged.
void SetPositionFromPixel(CTraceStyle& marker, int pixel);

// One filled closed 8-point arrow in the rectangle, in the DC's current pen and brush: shape 0
// points up, 1 down, 2 left, 3 (and any other) right.
void DrawThumbShape(int shape, int l, int t, int r, int b, CDC* dc);
// The 8 points (the last repeats the first) DrawThumbShape draws.
void ThumbShapePoints(int shape, int l, int t, int r, int b, POINT out[8]);

// The delta sign: a closed outline through the bottom-left corner, the middle of the top edge and
// the bottom-right corner, in the DC's current pen.
void DrawTriangleOutline(CDC* dc, const RECT& rect);
