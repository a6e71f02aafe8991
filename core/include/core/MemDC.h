// Flicker-free painting: CMemDC stands in for a target DC during one paint. Drawing goes into a
// bitmap of the target's clip box, with the window origin moved so the drawing code keeps using
// the target's coordinates; the destructor copies the finished picture onto the target in one
// block transfer. A printer DC is used directly, without a bitmap.
#pragma once

#include <platform/afxgdi.h>

class CMemDC : public CDC {
 public:
  explicit CMemDC(CDC* pDC);
  ~CMemDC() override;

  CMemDC(const CMemDC&) = delete;
  CMemDC& operator=(const CMemDC&) = delete;

  CMemDC* operator->() { return this; }
  operator CMemDC*() { return this; }

 private:
  CBitmap m_bitmap;                  // the buffer, of the clip box's size
  CBitmap* m_oldBitmap = nullptr;    // selected before the buffer, put back at the end
  CDC* m_pDC;                        // the target (not owned)
  CRect m_rect;                      // the target's clip box
  BOOL m_bMemDC;                     // FALSE on a printer: drawing goes straight to the target
};
