#include <ui/print/DlgPrintQueueView.h>

#include <ui/dialogs/CommentDlg.h>
#include <ui/dialogs/DialogPlacement.h>
#include <ui/dialogs/DialogResources.h>
#include <ui/print/PrintQueue.h>

#include "QueuePictures.h"

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/MemDC.h>
#include <core/Messages.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>
#include <platform/resources.h>

#include <algorithm>

using namespace ui_dialogs;

namespace {
constexpr int kSchemeSide = 6;
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kExcluded = RGB(180, 180, 180);

// A dotted black line one pixel wide.
void DottedLine(CDC* dc, int x1, int y, int x2) {
  CPen dotted(PS_DOT, 1, RGB(0, 0, 0));
  kvp::DcSelect selectPen(dc, &dotted);
  dc->MoveTo(x1, y);
  dc->LineTo(x2, y);
}
}  // namespace

// ---- CWndPrintedItem -----------------------------------------------------------------------------

CDlgPrintQueueView::CWndPrintedItem::CWndPrintedItem() { SetColor(kWhite); }

CDlgPrintQueueView::CWndPrintedItem::~CWndPrintedItem() = default;

BOOL CDlgPrintQueueView::CWndPrintedItem::CreateChildren() {
  const CPrintQueue::CPrintQueueItem* item = GetPrintQueue()->GetItem(m_nId);
  CRect rc;
  GetClientRect(&rc);
  struct Box {
    CXPCheckBtn* box;
    int id;
    int fromRight;  // place counted from the right edge
  };
  const Box boxes[] = {{&m_BoxRemove, ID_REMOVE, 1}, {&m_BoxComment, ID_COMMENT, 2}, {&m_BoxInclude, ID_INCLUDE, 3}};
  for (const Box& b : boxes) {
    b.box->checkClbck = this;
    b.box->drawClbck = this;
    b.box->back = kWhite;
    const int left = rc.right - 30 * b.fromRight;
    if (!b.box->Create(CRect(left, 0, left + 30, 30), this, static_cast<UINT>(b.id))) return FALSE;
  }
  m_BoxInclude.checked = item && item->include ? TRUE : FALSE;
  return TRUE;
}

void CDlgPrintQueueView::CWndPrintedItem::RecalcLayout() {
  CXPWndBaseColor::RecalcLayout();
  const CRect& rc = m_rcClient;
  int left = rc.right - kBox;
  for (CXPCheckBtn* box : {&m_BoxRemove, &m_BoxComment, &m_BoxInclude}) {
    if (box->GetSafeHwnd()) box->MoveWindow(left, rc.top, kBox, kBox);
    left -= kBox;
  }
}

void CDlgPrintQueueView::CWndPrintedItem::OnWindowPosChanged(WINDOWPOS* pos) {
  CXPWndBaseColor::OnWindowPosChanged(pos);
  for (CXPCheckBtn* box : {&m_BoxRemove, &m_BoxComment, &m_BoxInclude}) {
    if (box->GetSafeHwnd()) box->Redraw();
  }
}

void CDlgPrintQueueView::CWndPrintedItem::PaintContent(CDC* dc) {
  dc->FillSolidRect(&m_rcClient, kWhite);
  CPrintQueue* queue = GetPrintQueue();
  if (CPrintQueue::CPrintQueueItem* item = queue->GetItem(m_nId); item && item->queued) {
    const COLORREF oldColour = dc->GetTextColor();
    const int oldMode = dc->SetBkMode(TRANSPARENT);
    if (!item->include) dc->SetTextColor(kExcluded);
    queue->DrawItem(dc, item, 0, m_rcClient, kItemFont);
    dc->SetBkMode(oldMode);
    dc->SetTextColor(oldColour);
  }
  DottedLine(dc, m_rcClient.left, m_rcClient.bottom - 10, m_rcClient.right);
}

void CDlgPrintQueueView::CWndPrintedItem::Draw(BOOL checked, CDC* dc, RECT* box, CXPCheckBtn* control) {
  int face = FACE_COMMENT;
  if (control == &m_BoxRemove) {
    face = FACE_REMOVE;
  } else if (control == &m_BoxInclude) {
    face = checked ? FACE_TICKED : FACE_UNTICKED;
  }
  // Each face is loaded once per window: the boxes repaint on every scroll step.
  static constexpr int kFaceIds[FACE_COUNT] = {IDB_COMMENT, IDB_REMOVE, IDB_TICKED, IDB_UNTICKED};
  CBitmap& bitmap = m_Faces[face];
  if (!bitmap.GetSafeHandle() && !ui_print::LoadQueuePicture(bitmap, kFaceIds[face])) return;
  BITMAP info{};
  if (!bitmap.GetBitmap(&info)) return;
  CDC mem;
  mem.CreateCompatibleDC(dc);
  kvp::DcSelect selectBitmap(&mem, &bitmap);
  const CRect rc(*box);
  dc->BitBlt(rc.left + (rc.Width() - info.bmWidth) / 2, rc.top + (rc.Height() - info.bmHeight) / 2, info.bmWidth,
             info.bmHeight, &mem, 0, 0, SRCCOPY);
}

void CDlgPrintQueueView::CWndPrintedItem::OnCheck(BOOL newState, CXPCheckBtn* box) {
  CPrintQueue* queue = GetPrintQueue();
  HWND view = ::GetParent(m_hWnd);
  if (box == &m_BoxComment) {
    CPrintQueue::CPrintQueueItem* item = queue->GetItem(m_nId);
    if (!item || !item->data) return;
    CCommentDlg dlg;
    dlg.comment = item->data->GetComment();
    dlg.DoModal();  // whatever the answer: the dialog keeps the old text on cancel
    if ((item = queue->GetItem(m_nId)) && item->data) item->data->SetComment(dlg.comment);
    ::SendMessage(view, WM_PRINTITEMCHANGED, 0, 0);  // the item's height may have changed
    Redraw();
  } else if (box == &m_BoxRemove) {
    const GlobalProps& props = GetGlobalProps();
    if (MessageBox(props.GetText(kTextConfirmRemoveRecord), props.GetText(kTextRemovingTitle), MB_YESNO | MB_ICONQUESTION) == IDYES) {
      // Posted: this window goes only after its click handler has returned.
      ::PostMessage(view, WM_PRINTITEMREMOVE, static_cast<WPARAM>(m_nId), 0);
    }
  } else if (box == &m_BoxInclude) {
    if (m_nId >= 0 && m_nId < queue->CountFilled()) {
      if (CPrintQueue::CPrintQueueItem* item = queue->GetItem(m_nId)) item->include = newState ? 1 : 0;
    }
    Redraw();
  }
}

// ---- CDlgPrintQueueView ---------------------------------------------------------------------------

CDlgPrintQueueView::CDlgPrintQueueView(CWnd* parent) : CDialog((RegisterDialogTemplates(), IDD_PRINT_PREVIEW), parent) {
  m_hSmallIcon = ::LoadIcon(AfxGetInstanceHandle(), MAKEINTRESOURCE(kSmallIcon));
}

CDlgPrintQueueView::~CDlgPrintQueueView() = default;

BOOL CDlgPrintQueueView::OnInitDialog() {
  CDialog::OnInitDialog();
  const CPoint centre = PlacementRect(m_pParentWnd).CenterPoint();
  MoveWindow(centre.x - kWidth / 2, centre.y - kHeight / 2, kWidth, kHeight);

  // One window per queued item; the queued items come first, a pending one is always the last.
  const int queued = GetPrintQueue()->CountFilled();
  for (int i = 0; i < queued; ++i) {
    auto item = std::make_unique<CWndPrintedItem>();
    if (!item->Create("PrintedItem#X", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, CRect(0, 0, 1, 1), this,
                      static_cast<UINT>(i)))
      break;
    m_Items.push_back(std::move(item));
  }
  MakeArial(m_TitleFont, 30, FW_NORMAL);
  UpdateScrollRange();
  if (m_hSmallIcon) SetIcon(m_hSmallIcon, FALSE);
  SetWindowText(GetGlobalProps().GetText(kTextPrintQueuePreview));
  Layout(0);
  return TRUE;
}

int CDlgPrintQueueView::ColumnHeight() {
  CRect rc;
  GetClientRect(&rc);
  CClientDC dc(this);
  CPrintQueue* queue = GetPrintQueue();
  int total = kHeaderBand;
  for (size_t i = 0; i < m_Items.size(); ++i) {
    total += queue->GetItemHeight(&dc, queue->GetItem(static_cast<int>(i)), rc.Width() - 2 * kMargin, kItemFont) + kGap;
  }
  return total;
}

void CDlgPrintQueueView::UpdateScrollRange() {
  // Showing or hiding the bar changes the client width and with it the items' heights: a second
  // pass settles the range for the width the bar leaves.
  for (int pass = 0; pass < 2; ++pass) {
    CRect rc;
    GetClientRect(&rc);
    const int excess = ColumnHeight() - rc.Height();
    // Rounded up, so the end of the last item can always be reached.
    m_nScrollMax = excess > 0 ? (excess + kStep - 1) / kStep : 0;
    SetScrollRange(SB_VERT, 0, m_nScrollMax, FALSE);
    ShowScrollBar(SB_VERT, m_nScrollMax > 0);
  }
  const int pos = std::clamp(-m_nOffset / kStep, 0, m_nScrollMax);
  SetScrollPos(SB_VERT, pos);
  m_nOffset = -kStep * pos;
}

void CDlgPrintQueueView::Layout(int offset) {
  m_nOffset = offset;
  CRect rc;
  GetClientRect(&rc);
  CClientDC dc(this);
  CPrintQueue* queue = GetPrintQueue();
  const int width = rc.Width() - 2 * kMargin;
  int y = offset + kHeaderBand;
  for (size_t i = 0; i < m_Items.size(); ++i) {
    const int h = queue->GetItemHeight(&dc, queue->GetItem(static_cast<int>(i)), width, kItemFont);
    m_Items[i]->MoveWindow(rc.left + kMargin, y, width, h + kGap);
    y += h + kGap;
  }
  m_nColumnBottom = y;
}

BOOL CDlgPrintQueueView::OnEraseBkgnd(CDC*) { return TRUE; }

void CDlgPrintQueueView::OnPaint() {
  CPaintDC dc(this);
  if (!IsWindowVisible()) return;
  CMemDC mem(&dc);
  PaintView(&mem);
}

void CDlgPrintQueueView::RedrawNow() {
  if (!GetSafeHwnd()) return;
  CClientDC dc(this);
  CMemDC mem(&dc);
  PaintView(&mem);
}

void CDlgPrintQueueView::PaintView(CDC* dc) {
  CRect rc;
  GetClientRect(&rc);
  const COLORREF side = GetSchemeColor(kSchemeSide);
  dc->FillSolidRect(rc.left, rc.top, kMargin, rc.Height(), side);
  dc->FillSolidRect(rc.right - kMargin, rc.top, kMargin, rc.Height(), side);
  const CRect inner(rc.left + kMargin, rc.top, rc.right - kMargin, rc.bottom);
  const bool anyQueued = GetPrintQueue()->CountFilled() > 0;
  CRect white = inner;
  if (anyQueued) {
    // The item windows cover the column; the band above it and the room below a short column
    // are the view's.
    white.bottom = white.top + kHeaderBand;
    const CRect below(inner.left, std::max<int>(m_nColumnBottom, inner.top), inner.right, inner.bottom);
    if (!below.IsRectEmpty()) dc->FillSolidRect(&below, kWhite);
  }
  dc->FillSolidRect(&white, kWhite);

  const GlobalProps& props = GetGlobalProps();
  kvp::DcSelect selectFont(dc, &m_TitleFont);
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColour = dc->SetTextColor(RGB(0, 0, 0));
  const CString title = props.GetText(kTextPrintQueue);
  const CSize size = dc->GetTextExtent(title);
  CRect titleBox(inner.left, rc.top + m_nOffset, inner.right, rc.top + m_nOffset + size.cy);
  dc->DrawText(title, &titleBox, DT_CENTER | DT_TOP | DT_SINGLELINE);
  DottedLine(dc, rc.left, 38, rc.right);
  if (!anyQueued) {
    CRect middle = inner;
    dc->DrawText(props.GetText(kTextPrintQueueEmpty), &middle, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  dc->SetTextColor(oldColour);
  dc->SetBkMode(oldMode);
}

void CDlgPrintQueueView::ScrollTo(int pos) {
  SetScrollPos(SB_VERT, pos);
  Layout(-kStep * pos);
  Invalidate();
  UpdateWindow();
}

void CDlgPrintQueueView::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
  const int lo = 0, hi = m_nScrollMax;
  int p = GetScrollPos(SB_VERT);
  switch (code) {
    case SB_LINEUP: p = p > lo ? p - 1 : lo; break;
    case SB_LINEDOWN: p = p < hi ? p + 1 : hi; break;
    case SB_PAGEUP: p = p - 4 > lo ? p - 4 : lo; break;
    case SB_PAGEDOWN: p = p + 4 < hi ? p + 4 : hi; break;
    case SB_THUMBTRACK: p = std::clamp(static_cast<int>(pos), lo, hi); break;
    case SB_TOP: p = lo; break;
    case SB_BOTTOM: p = hi; break;
    default: break;  // other codes change nothing
  }
  ScrollTo(p);
  CDialog::OnVScroll(code, pos, bar);
}

BOOL CDlgPrintQueueView::OnMouseWheel(UINT, short delta, CPoint) {
  // One step per message, whatever the size of the turn.
  OnVScroll(delta > 0 ? SB_LINEUP : SB_LINEDOWN, 0, nullptr);
  return TRUE;
}

LRESULT CDlgPrintQueueView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PRINTITEMCHANGED) {
    UpdateScrollRange();
    Layout(m_nOffset);
    RedrawNow();
    return 0;
  }
  if (message == WM_PRINTITEMREMOVE) {
    const int index = static_cast<int>(wParam);
    // Only a shown item is removed: a stale index must not take the pending item.
    if (index >= 0 && index < static_cast<int>(m_Items.size())) {
      GetPrintQueue()->RemoveAt(index);
      m_Items[static_cast<size_t>(index)]->DestroyWindow();
      m_Items.erase(m_Items.begin() + index);
      for (size_t i = static_cast<size_t>(index); i < m_Items.size(); ++i) m_Items[i]->SetId(static_cast<int>(i));
    }
    UpdateScrollRange();
    Layout(m_nOffset);
    RedrawNow();
    return 0;
  }
  return CDialog::WindowProc(message, wParam, lParam);
}

INT_PTR CDlgPrintQueueView::DoModal() {
  const INT_PTR result = CDialog::DoModal();
  // The item windows went with the view's window; their objects go now, so the next View shows
  // the queue of that moment.
  m_Items.clear();
  return result;
}

void CDlgPrintQueueView::OnDestroy() {
  // The item windows are destroyed with the view (after this message); their objects live until
  // then, as the window system still sends them their own WM_DESTROY.
  CDialog::OnDestroy();
  m_TitleFont.DeleteObject();
}
