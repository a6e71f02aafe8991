#include <core/ChartHelpers.h>

#include <core/Scale.h>
#include <core/TraceStyle.h>

#include <platform/afxwin.h>

COffDC::~COffDC() {
  ReleaseBitmap();
  DeleteDC();
  m_bValid = FALSE;
  m_rcBlit.SetRectEmpty();
  m_rcClient.SetRectEmpty();
}

BOOL COffDC::Create(CWnd* owner, COLORREF background) {
  m_pOwner = owner;
  m_crBackground = background;
  m_bValid = FALSE;
  if (!owner || !owner->GetSafeHwnd()) return FALSE;
  owner->GetClientRect(&m_rcClient);
  m_rcBlit.SetRect(0, 0, m_rcClient.Width(), m_rcClient.Height());
  CClientDC windowDC(owner);
  if (!m_hDC && !CreateCompatibleDC(&windowDC)) return FALSE;
  m_bValid = MakeBitmap();
  return m_bValid;
}

int COffDC::Resize(const RECT& client) {
  if (CRect(client) == m_rcClient) return 0;
  ReleaseBitmap();
  m_rcClient = client;
  m_rcBlit.SetRect(0, 0, m_rcClient.Width(), m_rcClient.Height());
  m_bValid = m_hDC && MakeBitmap();
  return 1;
}

BOOL COffDC::BlitTo(CDC* target) {
  if (!m_bValid || !target) return FALSE;
  return target->BitBlt(m_rcBlit.left, m_rcBlit.top, m_rcBlit.Width(), m_rcBlit.Height(), this, m_rcBlit.left,
                        m_rcBlit.top, SRCCOPY);
}

void COffDC::Fill() {
  if (m_bValid) FillSolidRect(&m_rcBlit, m_crBackground);
}

BOOL COffDC::MakeBitmap() {
  // A window's client may be empty while it is laid out: the layer then holds a 1x1 bitmap so it
  // stays usable, and blits nothing.
  const int width = m_rcClient.Width() > 0 ? m_rcClient.Width() : 1;
  const int height = m_rcClient.Height() > 0 ? m_rcClient.Height() : 1;
  BOOL made;
  if (m_pOwner && m_pOwner->GetSafeHwnd()) {
    CClientDC windowDC(m_pOwner);
    made = m_bitmap.CreateCompatibleBitmap(&windowDC, width, height);
  } else {
    made = m_bitmap.CreateCompatibleBitmap(this, width, height);
  }
  if (!made) return FALSE;
  m_pOldBitmap = SelectObject(&m_bitmap);
  m_bValid = TRUE;
  Fill();
  return TRUE;
}

void COffDC::ReleaseBitmap() {
  if (m_pOldBitmap && m_hDC) SelectObject(m_pOldBitmap);
  m_pOldBitmap = nullptr;
  m_bitmap.DeleteObject();
  m_bValid = FALSE;
}

bool IsValueInScaleRange(const CScale& scale, double value) {
  const double d = scale.m_dOrigin + scale.m_dDirection * scale.m_dStart;
  const double e = d + scale.m_dDirection * scale.m_dSpan;
  if (scale.m_dEnd >= scale.m_dOrigin) return value >= d && value <= e;
  return value >= e && value <= d;
}

void SetPositionFromPixel(CTraceStyle& marker, int pixel) {
  if (!marker.m_pScale) return;
  const CScale& s = *marker.m_pScale;
  marker.m_dValue = (pixel - s.m_dFirstPixel) * s.m_dValuePerPixel + s.m_dFirstValue;
}

void ThumbShapePoints(int shape, int l, int t, int r, int b, POINT p[8]) {
  const int gx = (r - l) / 4;
  const int gy = (b - t) / 4;
  const int mx = l + (r - l) / 2;
  switch (shape) {
    case 0: {
      const int my = t + (b - t) / 2;
      const POINT q[8] = {{l + gx, b}, {l + gx, my}, {l, my}, {mx, t}, {r - 1, my}, {r - gx - 1, my}, {r - gx - 1, b},
                          {l + gx, b}};
      for (int i = 0; i < 8; ++i) p[i] = q[i];
      break;
    }
    case 1: {
      const int my = b - (b - t) / 2;
      const POINT q[8] = {{l + gx, t}, {l + gx, my}, {l, my}, {mx, b}, {r - 1, my}, {r - gx - 1, my}, {r - gx - 1, t},
                          {l + gx, t}};
      for (int i = 0; i < 8; ++i) p[i] = q[i];
      break;
    }
    case 2: {
      const POINT q[8] = {{r - 1, t + gy}, {mx, t + gy}, {mx, t},         {l, t + (b - t) / 2},
                          {mx, b},         {mx, b - gy}, {r - 1, b - gy}, {r - 1, t + gy}};
      for (int i = 0; i < 8; ++i) p[i] = q[i];
      break;
    }
    default: {
      const int mx2 = r - ((r - l) / 2 + 1);
      const POINT q[8] = {{l, t + gy}, {mx2, t + gy}, {mx2, t},   {r - 1, t + (b - t) / 2},
                          {mx2, b},    {mx2, b - gy}, {l, b - gy}, {l, t + gy}};
      for (int i = 0; i < 8; ++i) p[i] = q[i];
      break;
    }
  }
}

void DrawThumbShape(int shape, int l, int t, int r, int b, CDC* dc) {
  if (!dc) return;
  POINT p[8];
  ThumbShapePoints(shape, l, t, r, b, p);
  dc->Polygon(p, 8);
}

void DrawTriangleOutline(CDC* dc, const RECT& rect) {
  if (!dc) return;
  const POINT p[4] = {{rect.left, rect.bottom},
                      {rect.left + (rect.right - rect.left) / 2, rect.top},
                      {rect.right, rect.bottom},
                      {rect.left, rect.bottom}};
  dc->Polyline(p, 4);
}
