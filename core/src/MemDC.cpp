#include <core/MemDC.h>

CMemDC::CMemDC(CDC* pDC) : m_pDC(pDC), m_bMemDC(pDC && !pDC->IsPrinting()) {
  if (!pDC) return;
  pDC->GetClipBox(&m_rect);
  if (m_bMemDC) {
    CreateCompatibleDC(pDC);
    // Without a buffer (an empty clip box, no memory) nothing is selected; the copy-back then
    // copies nothing useful but harms nothing.
    if (m_bitmap.CreateCompatibleBitmap(pDC, m_rect.Width(), m_rect.Height())) m_oldBitmap = SelectObject(&m_bitmap);
    SetWindowOrg(m_rect.left, m_rect.top);
  } else {
    m_bPrinting = pDC->m_bPrinting;
    m_hDC = pDC->m_hDC;
    m_hAttribDC = pDC->m_hAttribDC;
  }
}

CMemDC::~CMemDC() {
  if (!m_pDC) return;
  if (m_bMemDC) {
    if (m_oldBitmap) {
      m_pDC->BitBlt(m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height(), this, m_rect.left, m_rect.top, SRCCOPY);
      SelectObject(m_oldBitmap);
    }
  } else {
    // The handles are the target's: leave them to it.
    m_hDC = m_hAttribDC = 0;
  }
  // The base class deletes the memory DC; the buffer goes with m_bitmap.
}
