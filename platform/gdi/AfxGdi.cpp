// The class library's drawing classes.
#include <platform/afxgdi.h>

#include <memory>
#include <mutex>
#include <unordered_map>

#include "../base/HandleTable.h"

namespace {

// Non-owning wrappers handed out for handles that have no object of their own here (the object
// SelectObject replaced, a window's DC). They are kept per handle-table slot (and object type), so
// there are never more of them than objects were alive at once, however many handles come and go;
// a wrapper takes the handle now in its slot when it is handed out again. They are never freed, so
// a pointer a caller keeps never dangles.
template <class Base>
class WrapperMap {
 public:
  template <class Make, class Bind>
  Base* Get(uint32_t handle, uint32_t type, Make make, Bind bind) {
    const uint64_t key = (static_cast<uint64_t>(type) << 32) | (handle & kvp::HandleTable::kIndexMask);
    std::lock_guard lock(mu_);
    Base*& slot = map_[key];
    if (!slot) slot = make();
    bind(slot);
    return slot;
  }

 private:
  std::mutex mu_;
  std::unordered_map<uint64_t, Base*> map_;
};

WrapperMap<CGdiObject>& GdiWrappers() {
  static auto* map = new WrapperMap<CGdiObject>();  // never destroyed: wrappers must not delete
  return *map;
}

WrapperMap<CDC>& DcWrappers() {
  static auto* map = new WrapperMap<CDC>();
  return *map;
}

}  // namespace

CGdiObject* CGdiObject::FromHandle(HGDIOBJ h) {
  if (!h) return nullptr;
  const DWORD type = GetObjectType(h);
  return GdiWrappers().Get(
      h, type,
      [type]() -> CGdiObject* {
        switch (type) {
          case OBJ_PEN: return new CPen();
          case OBJ_BRUSH: return new CBrush();
          case OBJ_FONT: return new CFont();
          case OBJ_BITMAP: return new CBitmap();
          case OBJ_REGION: return new CRgn();
          default: return new CGdiObject();
        }
      },
      [h](CGdiObject* w) { w->m_hObject = h; });
}

BOOL CGdiObject::Attach(HGDIOBJ obj) {
  if (!obj) return FALSE;
  m_hObject = obj;
  return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
  HGDIOBJ h = m_hObject;
  m_hObject = 0;
  return h;
}

BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  return ::DeleteObject(Detach());
}

BOOL CPen::CreatePen(int style, int width, COLORREF color) { return Attach(::CreatePen(style, width, color)); }

BOOL CBrush::CreateSolidBrush(COLORREF color) { return Attach(::CreateSolidBrush(color)); }

BOOL CFont::CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                       BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                       BYTE quality, BYTE pitchAndFamily, LPCSTR faceName) {
  return Attach(::CreateFont(height, width, escapement, orientation, weight, italic, underline, strikeOut, charSet,
                             outPrecision, clipPrecision, quality, pitchAndFamily, faceName));
}

BOOL CFont::CreateFontIndirect(const LOGFONT* lf) { return Attach(::CreateFontIndirect(lf)); }

BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : 0, width, height));
}

BOOL CBitmap::CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits) {
  return Attach(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
}

BOOL CRgn::CreateRectRgn(int left, int top, int right, int bottom) {
  return Attach(::CreateRectRgn(left, top, right, bottom));
}

CDC::~CDC() {
  if (m_hDC) ::DeleteDC(Detach());
}

CDC* CDC::FromHandle(HDC h) {
  if (!h) return nullptr;
  return DcWrappers().Get(
      h, 0, [] { return new CDC(); }, [h](CDC* dc) { dc->m_hDC = dc->m_hAttribDC = h; });
}

BOOL CDC::Attach(HDC dc) {
  if (!dc) return FALSE;
  m_hDC = m_hAttribDC = dc;
  return TRUE;
}

HDC CDC::Detach() {
  HDC h = m_hDC;
  m_hDC = m_hAttribDC = 0;
  return h;
}

BOOL CDC::CreateCompatibleDC(CDC* dc) { return Attach(::CreateCompatibleDC(dc ? dc->m_hDC : 0)); }

BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  return ::DeleteDC(Detach());
}

CPen* CDC::SelectObject(CPen* pen) {
  return static_cast<CPen*>(CGdiObject::FromHandle(::SelectObject(m_hDC, pen ? pen->m_hObject : 0)));
}
CBrush* CDC::SelectObject(CBrush* brush) {
  return static_cast<CBrush*>(CGdiObject::FromHandle(::SelectObject(m_hDC, brush ? brush->m_hObject : 0)));
}
CFont* CDC::SelectObject(CFont* font) {
  return static_cast<CFont*>(CGdiObject::FromHandle(::SelectObject(m_hDC, font ? font->m_hObject : 0)));
}
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return static_cast<CBitmap*>(CGdiObject::FromHandle(::SelectObject(m_hDC, bitmap ? bitmap->m_hObject : 0)));
}
CGdiObject* CDC::SelectObject(CGdiObject* obj) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, obj ? obj->m_hObject : 0));
}
CGdiObject* CDC::SelectStockObject(int index) {
  return CGdiObject::FromHandle(::SelectObject(m_hDC, GetStockObject(index)));
}

CPen* CDC::GetCurrentPen() const {
  return static_cast<CPen*>(CGdiObject::FromHandle(GetCurrentObject(m_hDC, OBJ_PEN)));
}
CBrush* CDC::GetCurrentBrush() const {
  return static_cast<CBrush*>(CGdiObject::FromHandle(GetCurrentObject(m_hDC, OBJ_BRUSH)));
}
CFont* CDC::GetCurrentFont() const {
  return static_cast<CFont*>(CGdiObject::FromHandle(GetCurrentObject(m_hDC, OBJ_FONT)));
}
CBitmap* CDC::GetCurrentBitmap() const {
  return static_cast<CBitmap*>(CGdiObject::FromHandle(GetCurrentObject(m_hDC, OBJ_BITMAP)));
}

CPoint CDC::SetWindowOrg(int x, int y) {
  POINT old{0, 0};
  ::SetWindowOrgEx(m_hDC, x, y, &old);
  return CPoint(old);
}

CPoint CDC::GetWindowOrg() const {
  POINT p{0, 0};
  ::GetWindowOrgEx(m_hDC, &p);
  return CPoint(p);
}

CPoint CDC::SetViewportOrg(int x, int y) {
  POINT old{0, 0};
  ::SetViewportOrgEx(m_hDC, x, y, &old);
  return CPoint(old);
}

CPoint CDC::GetViewportOrg() const {
  POINT p{0, 0};
  ::GetViewportOrgEx(m_hDC, &p);
  return CPoint(p);
}

void CDC::FillSolidRect(LPCRECT rect, COLORREF color) {
  if (!rect) return;
  HBRUSH brush = ::CreateSolidBrush(color);
  ::FillRect(m_hDC, rect, brush);
  ::DeleteObject(brush);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF color) {
  RECT r{x, y, x + cx, y + cy};
  FillSolidRect(&r, color);
}

CPoint CDC::MoveTo(int x, int y) {
  POINT old{0, 0};
  ::MoveToEx(m_hDC, x, y, &old);
  return CPoint(old);
}

CSize CDC::GetTextExtent(LPCSTR text, int count) const {
  SIZE s{0, 0};
  ::GetTextExtentPoint32(m_hDC, text, count, &s);
  return CSize(s);
}

BOOL CImageList::Create(int cx, int cy, UINT flags, int initial, int grow) {
  DeleteImageList();
  m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
  return m_hImageList != 0;
}

BOOL CImageList::DeleteImageList() {
  if (!m_hImageList) return FALSE;
  BOOL ok = ImageList_Destroy(m_hImageList);
  m_hImageList = 0;
  return ok;
}

int CImageList::Add(CBitmap* bitmap, COLORREF maskColor) {
  return ImageList_AddMasked(m_hImageList, bitmap ? bitmap->m_hObject : 0, maskColor);
}
