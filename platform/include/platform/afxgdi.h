// The class library's drawing classes over the GDI functions of <platform/gdi.h>: CDC and the
// objects it selects (CPen, CBrush, CFont, CBitmap, CRgn), and CImageList.
//
// A CGdiObject owns its handle and deletes it when destroyed. CDC::SelectObject returns the
// object it replaced as a pointer to a wrapper that stays valid for the life of the process; the
// wrapper does not own the handle, so selecting it back is all one does with it.
#pragma once

#include <platform/afx.h>
#include <platform/gdi.h>
#include <platform/gdi_surface.h>
#include <platform/geometry.h>
#include <platform/print.h>

class PLATFORM_API CGdiObject {
 public:
  CGdiObject() = default;
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  virtual ~CGdiObject() { DeleteObject(); }

  HGDIOBJ m_hObject = 0;

  HGDIOBJ GetSafeHandle() const { return m_hObject; }
  operator HGDIOBJ() const { return m_hObject; }
  BOOL Attach(HGDIOBJ obj);
  HGDIOBJ Detach();
  BOOL DeleteObject();
  int GetObject(int size, LPVOID out) const { return ::GetObject(m_hObject, size, out); }

  // A non-owning wrapper of a handle (the object SelectObject replaced).
  static CGdiObject* FromHandle(HGDIOBJ obj);
};

class PLATFORM_API CPen : public CGdiObject {
 public:
  CPen() = default;
  CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
  BOOL CreatePen(int style, int width, COLORREF color);
  static CPen* FromHandle(HPEN pen) { return static_cast<CPen*>(CGdiObject::FromHandle(pen)); }
};

class PLATFORM_API CBrush : public CGdiObject {
 public:
  CBrush() = default;
  explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
  BOOL CreateSolidBrush(COLORREF color);
  static CBrush* FromHandle(HBRUSH brush) { return static_cast<CBrush*>(CGdiObject::FromHandle(brush)); }
};

class PLATFORM_API CFont : public CGdiObject {
 public:
  BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic, BYTE underline,
                  BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision, BYTE quality,
                  BYTE pitchAndFamily, LPCSTR faceName);
  BOOL CreateFontIndirect(const LOGFONT* lf);
  int GetLogFont(LOGFONT* lf) const { return GetObject(sizeof(LOGFONT), lf); }
  static CFont* FromHandle(HFONT font) { return static_cast<CFont*>(CGdiObject::FromHandle(font)); }
};

class CDC;

class PLATFORM_API CBitmap : public CGdiObject {
 public:
  BOOL CreateCompatibleBitmap(CDC* dc, int width, int height);
  BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits);
  int GetBitmap(BITMAP* bm) const { return GetObject(sizeof(BITMAP), bm); }
  static CBitmap* FromHandle(HBITMAP bitmap) { return static_cast<CBitmap*>(CGdiObject::FromHandle(bitmap)); }
};

// Rectangular regions, used for clipping.
class PLATFORM_API CRgn : public CGdiObject {
 public:
  BOOL CreateRectRgn(int left, int top, int right, int bottom);
  BOOL CreateRectRgnIndirect(LPCRECT rect) { return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom); }
};

class PLATFORM_API CDC {
 public:
  CDC() = default;
  CDC(const CDC&) = delete;
  CDC& operator=(const CDC&) = delete;
  // Deletes the DC it holds (derived classes that borrow a DC detach it first).
  virtual ~CDC();

  HDC m_hDC = 0;
  HDC m_hAttribDC = 0;
  // Set by printing code; a DC over a printer surface reports printing by itself.
  BOOL m_bPrinting = FALSE;

  HDC GetSafeHdc() const { return m_hDC; }
  operator HDC() const { return m_hDC; }
  BOOL Attach(HDC dc);
  HDC Detach();
  BOOL CreateCompatibleDC(CDC* dc);
  BOOL DeleteDC();
  BOOL IsPrinting() const { return m_bPrinting || kvp::IsPrinterDC(m_hDC); }
  int GetDeviceCaps(int index) const { return ::GetDeviceCaps(m_hDC, index); }
  // Documents on a printer DC.
  int StartDoc(LPDOCINFO info) { return ::StartDoc(m_hDC, info); }
  int StartDoc(LPCSTR docName) {
    DOCINFO info{sizeof(DOCINFO), docName, nullptr, nullptr, 0};
    return ::StartDoc(m_hDC, &info);
  }
  int StartPage() { return ::StartPage(m_hDC); }
  int EndPage() { return ::EndPage(m_hDC); }
  int EndDoc() { return ::EndDoc(m_hDC); }
  int AbortDoc() { return ::AbortDoc(m_hDC); }

  // A non-owning wrapper of a DC handle, valid for the life of the process.
  static CDC* FromHandle(HDC dc);

  CPen* SelectObject(CPen* pen);
  CBrush* SelectObject(CBrush* brush);
  CFont* SelectObject(CFont* font);
  CBitmap* SelectObject(CBitmap* bitmap);
  CGdiObject* SelectObject(CGdiObject* obj);
  int SelectObject(CRgn* rgn) { return SelectClipRgn(rgn); }  // clipping: the region's kind
  CGdiObject* SelectStockObject(int index);
  CPen* GetCurrentPen() const;
  CBrush* GetCurrentBrush() const;
  CFont* GetCurrentFont() const;
  CBitmap* GetCurrentBitmap() const;

  int SaveDC() { return ::SaveDC(m_hDC); }
  BOOL RestoreDC(int saved) { return ::RestoreDC(m_hDC, saved); }
  int SetMapMode(int mode) { return ::SetMapMode(m_hDC, mode); }
  int GetMapMode() const { return ::GetMapMode(m_hDC); }
  CPoint SetWindowOrg(int x, int y);
  CPoint SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
  CPoint GetWindowOrg() const;
  CPoint SetViewportOrg(int x, int y);
  CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
  CPoint GetViewportOrg() const;
  void LPtoDP(LPPOINT points, int count = 1) const { ::LPtoDP(m_hDC, points, count); }
  void LPtoDP(LPRECT rect) const { ::LPtoDP(m_hDC, reinterpret_cast<LPPOINT>(rect), 2); }
  void DPtoLP(LPPOINT points, int count = 1) const { ::DPtoLP(m_hDC, points, count); }
  void DPtoLP(LPRECT rect) const { ::DPtoLP(m_hDC, reinterpret_cast<LPPOINT>(rect), 2); }
  int SetBkMode(int mode) { return ::SetBkMode(m_hDC, mode); }
  int GetBkMode() const { return ::GetBkMode(m_hDC); }
  COLORREF SetBkColor(COLORREF color) { return ::SetBkColor(m_hDC, color); }
  COLORREF GetBkColor() const { return ::GetBkColor(m_hDC); }
  COLORREF SetTextColor(COLORREF color) { return ::SetTextColor(m_hDC, color); }
  COLORREF GetTextColor() const { return ::GetTextColor(m_hDC); }

  int IntersectClipRect(int left, int top, int right, int bottom) {
    return ::IntersectClipRect(m_hDC, left, top, right, bottom);
  }
  int IntersectClipRect(LPCRECT r) { return IntersectClipRect(r->left, r->top, r->right, r->bottom); }
  int SelectClipRgn(CRgn* rgn) { return ::SelectClipRgn(m_hDC, rgn ? static_cast<HRGN>(rgn->m_hObject) : 0); }
  int GetClipBox(LPRECT rect) const { return ::GetClipBox(m_hDC, rect); }

  void FillRect(LPCRECT rect, CBrush* brush) { ::FillRect(m_hDC, rect, brush ? brush->m_hObject : 0); }
  void FillSolidRect(LPCRECT rect, COLORREF color);
  void FillSolidRect(int x, int y, int cx, int cy, COLORREF color);
  BOOL Rectangle(int left, int top, int right, int bottom) { return ::Rectangle(m_hDC, left, top, right, bottom); }
  BOOL Rectangle(LPCRECT r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
  BOOL RoundRect(int left, int top, int right, int bottom, int ew, int eh) {
    return ::RoundRect(m_hDC, left, top, right, bottom, ew, eh);
  }
  BOOL RoundRect(LPCRECT r, POINT corner) { return RoundRect(r->left, r->top, r->right, r->bottom, corner.x, corner.y); }
  BOOL Ellipse(int left, int top, int right, int bottom) { return ::Ellipse(m_hDC, left, top, right, bottom); }
  BOOL Ellipse(LPCRECT r) { return Ellipse(r->left, r->top, r->right, r->bottom); }
  BOOL Polygon(const POINT* points, int count) { return ::Polygon(m_hDC, points, count); }
  BOOL Polyline(const POINT* points, int count) { return ::Polyline(m_hDC, points, count); }
  CPoint MoveTo(int x, int y);
  CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
  BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
  BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
  BOOL PolylineTo(const POINT* points, int count) {
    return count >= 0 && ::PolylineTo(m_hDC, points, static_cast<DWORD>(count));
  }
  void DrawFocusRect(LPCRECT rect) { ::DrawFocusRect(m_hDC, rect); }
  BOOL DrawEdge(LPRECT rect, UINT edge, UINT flags) { return ::DrawEdge(m_hDC, rect, edge, flags); }
  BOOL DrawIcon(int x, int y, HICON icon) { return ::DrawIcon(m_hDC, x, y, icon); }
  BOOL DrawIcon(POINT p, HICON icon) { return DrawIcon(p.x, p.y, icon); }

  BOOL BitBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, DWORD rop) {
    return ::BitBlt(m_hDC, x, y, width, height, src ? src->m_hDC : 0, xSrc, ySrc, rop);
  }
  BOOL TransparentBlt(int x, int y, int width, int height, CDC* src, int xSrc, int ySrc, int widthSrc,
                      int heightSrc, UINT keyColor) {
    return ::TransparentBlt(m_hDC, x, y, width, height, src ? src->m_hDC : 0, xSrc, ySrc, widthSrc, heightSrc,
                            keyColor);
  }

  int DrawText(LPCSTR text, int count, LPRECT rect, UINT format) {
    return ::DrawText(m_hDC, text, count, rect, format);
  }
  int DrawText(const CString& text, LPRECT rect, UINT format) {
    return DrawText(text.GetString(), text.GetLength(), rect, format);
  }
  BOOL TextOut(int x, int y, LPCSTR text, int count) { return ::TextOut(m_hDC, x, y, text, count); }
  BOOL TextOut(int x, int y, const CString& text) { return TextOut(x, y, text.GetString(), text.GetLength()); }
  CSize GetTextExtent(LPCSTR text, int count) const;
  CSize GetTextExtent(const CString& text) const { return GetTextExtent(text.GetString(), text.GetLength()); }
  BOOL GetTextMetrics(LPTEXTMETRIC tm) const { return ::GetTextMetrics(m_hDC, tm); }
};

class PLATFORM_API CImageList {
 public:
  CImageList() = default;
  CImageList(const CImageList&) = delete;
  CImageList& operator=(const CImageList&) = delete;
  ~CImageList() { DeleteImageList(); }

  HIMAGELIST m_hImageList = 0;

  HIMAGELIST GetSafeHandle() const { return m_hImageList; }
  operator HIMAGELIST() const { return m_hImageList; }
  BOOL Create(int cx, int cy, UINT flags, int initial, int grow);
  BOOL DeleteImageList();
  // Adds the images cut from the bitmap; pixels of maskColor become transparent.
  int Add(CBitmap* bitmap, COLORREF maskColor);
  int GetImageCount() const { return ImageList_GetImageCount(m_hImageList); }
  BOOL Draw(CDC* dc, int image, POINT p, UINT style) {
    return ImageList_Draw(m_hImageList, image, dc ? dc->m_hDC : 0, p.x, p.y, style);
  }
};
