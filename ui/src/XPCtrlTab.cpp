#include <ui/XPCtrlTab.h>

#include "ToolkitWindow.h"

#include <core/MemDC.h>

#include <platform/dcscope.h>

#include <algorithm>

CXPCtrlTabItem::~CXPCtrlTabItem() = default;
int CXPCtrlTabItem::GetWidth() { return width; }

std::vector<RECT> LayoutTabs(const RECT& strip, const std::vector<int>& widths) {
  std::vector<RECT> out;
  out.reserve(widths.size());
  LONG x = strip.left + 35;
  for (int w : widths) {
    const LONG right = std::min<LONG>(x + w, strip.right);
    out.push_back(RECT{x, strip.top + 1, right, strip.bottom});
    x = right;
  }
  return out;
}

CXPCtrlTab::CXPCtrlTab(CWnd* hostWnd) : cursor(ui_detail::ToolkitCursor(ui_detail::kCursorDefault)), host(hostWnd) {}

CXPCtrlTab::~CXPCtrlTab() = default;

void CXPCtrlTab::Reserved() {}

void CXPCtrlTab::Layout() {
  std::vector<int> widths;
  for (int i = 0; i < items.GetSize(); ++i) widths.push_back(items[i]->GetWidth());
  const std::vector<RECT> rects = LayoutTabs(rect, widths);
  for (int i = 0; i < items.GetSize(); ++i) items[i]->rect = rects[static_cast<size_t>(i)];
}

void CXPCtrlTab::SetColors(COLORREF c1, COLORREF fill, COLORREF background, COLORREF separator) {
  colour1 = c1;
  selectedFill = fill;
  back = background;
  line = separator;
  RebuildPen();
}

void CXPCtrlTab::RebuildPen() {
  separatorPen.DeleteObject();
  separatorPen.CreatePen(PS_SOLID, 1, line);
}

int CXPCtrlTab::AddItem(CXPCtrlTabItem* item) { return items.Add(item); }

void CXPCtrlTab::Paint(CDC* dc, BOOL background) {
  if (!initialised) {
    RebuildPen();
    initialised = TRUE;
  }
  if (layoutDirty) {
    Layout();
    layoutDirty = FALSE;
  }
  kvp::DcState saved(dc);
  dc->IntersectClipRect(&rect);
  if (background && owner) {
    if (!owner->DrawBackground(dc)) dc->FillSolidRect(&rect, back);
  }
  dc->SelectObject(&separatorPen);
  for (int i = 0; i < items.GetSize(); ++i) {
    if (i == selected) continue;
    CXPCtrlTabItem* item = items[i];
    const RECT& r = item->rect;
    dc->MoveTo(r.left, r.top + 3);
    dc->LineTo(r.left, r.bottom - 3);
    dc->MoveTo(r.right, r.top + 3);
    dc->LineTo(r.right, r.bottom - 3);
    if (item->painter) {
      RECT copy = r;
      item->painter->DrawItem(dc, &copy, item, 0);
    }
  }
  const LONG bottom = rect.bottom - 1;
  CXPCtrlTabItem* sel = items.GetAt(selected);
  if (!sel) {
    dc->SelectStockObject(WHITE_PEN);
    dc->MoveTo(rect.left, bottom);
    dc->LineTo(rect.right, bottom);
  } else {
    const RECT& tab = sel->rect;
    dc->FillSolidRect(&tab, selectedFill);
    if (sel->painter) {
      RECT copy = tab;
      sel->painter->DrawItem(dc, &copy, sel, CXPCtrlTabItem::IClbck_XPCtrlTabItem::kSelected);
    }
    dc->SelectStockObject(WHITE_PEN);
    dc->MoveTo(rect.left, bottom);
    dc->LineTo(tab.left, bottom);
    dc->LineTo(tab.left, tab.top);
    dc->LineTo(tab.right, tab.top);
    dc->SelectStockObject(BLACK_PEN);
    dc->LineTo(tab.right, bottom);
    dc->SelectStockObject(WHITE_PEN);
    dc->LineTo(rect.right, bottom);
  }
}

void CXPCtrlTab::Redraw(BOOL background) {
  if (!host || !host->GetSafeHwnd()) return;
  CClientDC dc(host);
  dc.IntersectClipRect(&rect);
  CMemDC mem(&dc);
  Paint(&mem, background);
}

void CXPCtrlTab::SetSelection(int index, BOOL redraw) {
  if (!owner || !owner->MayChange(index, selected)) return;
  const int old = selected;
  selected = index;
  if (redraw) Redraw(TRUE);
  owner->Changed(index, old);
}

BOOL CXPCtrlTab::OnLButtonDown(POINT point) {
  if (!owner) return FALSE;
  const int hit = HitTest(&point, FALSE);
  if (hit < 0) return FALSE;
  if (hit != selected) SetSelection(hit, TRUE);
  return selected == hit;
}

int CXPCtrlTab::HitTest(POINT* point, BOOL all) {
  for (int i = 0; i < items.GetSize(); ++i) {
    CXPCtrlTabItem* item = items[i];
    if (!all && !item->enabled) continue;
    if (ui_detail::Inside(item->rect, *point)) return i;
  }
  return -1;
}
