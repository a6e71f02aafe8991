#include <ui/print/PrintDlg.h>

#include <ui/dialogs/CommentDlg.h>
#include <ui/dialogs/DialogPlacement.h>
#include <ui/dialogs/DialogResources.h>
#include <ui/print/DlgPrintQueueView.h>
#include <ui/print/PrintQueue.h>

#include "QueuePictures.h"

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>

using namespace ui_dialogs;

namespace {
constexpr COLORREF kTransparent = RGB(255, 0, 0);
}  // namespace

// Every cursor query is handled; the own cursor only over the client area.
CPrintDlg::CPrintDlg(CWnd* parent)
    : COwnerDrawnDlg((RegisterDialogTemplates(), IDD_PRINT), parent, CursorQueries::kEveryQuery) {}

CPrintDlg::~CPrintDlg() = default;

BOOL CPrintDlg::OnInitDialog() {
  MakeArial(m_BtnFont, 20, FW_BOLD);
  MakeArial(m_TitleFont, 30, FW_BOLD);
  MakeArial(m_CountFont, 15, FW_BOLD);
  const COLORREF text = GetSchemeColor(kSchemeText), back = AdjustColor(GetSchemeColor(kSchemeButton), 40);
  m_Title = std::make_unique<CXPCtrlStaticWFont>(text, back, &m_TitleFont, FALSE, DT_CENTER, DT_VCENTER);
  m_Title->Create(GetGlobalProps().GetText(kTextPrintQueue), WS_CHILD | WS_VISIBLE, CRect(20, 10, 340, 40), this, 0xFFFF);
  m_Count = std::make_unique<CXPCtrlStaticWFont>(text, back, &m_CountFont, FALSE, DT_CENTER, DT_VCENTER);
  m_Count->Create("", WS_CHILD | WS_VISIBLE, CRect(20, 40, 340, 60), this, 0xFFFF);
  struct Button {
    CXPCtrlBtn* button;
    const char* name;
    CRect rect;
    int id;
  };
  const Button buttons[] = {{&m_BtnCancel, "Cancel", CRect(247, 180, 337, 210), ID_CANCEL},
                            {&m_BtnPrint, "Print", CRect(210, 80, 290, 160), ID_PRINT},
                            {&m_BtnAdd, "AddTo", CRect(70, 80, 150, 160), ID_ADD},
                            {&m_BtnView, "View", CRect(22, 180, 112, 210), ID_VIEW},
                            {&m_BtnClear, "Clear", CRect(134, 180, 224, 210), ID_CLEAR}};
  for (const Button& b : buttons) CreateButton(*b.button, b.name, WS_CHILD | WS_VISIBLE, b.rect, static_cast<UINT>(b.id));
  UpdateCount();

  CDialog::OnInitDialog();

  const CPoint centre = PlacementRect(m_pParentWnd).CenterPoint();
  MoveWindow(centre.x - 180, centre.y - 115, 360, 230);
  CPrintQueue* queue = GetPrintQueue();
  if (queue->CountFilled() == 0) Enable(m_BtnPrint, false);
  // Add needs a pending item to queue: the last one, not yet queued.
  const CPrintQueue::CPrintQueueItem* last = queue->GetLastItem();
  Enable(m_BtnAdd, last && last->data && !last->queued);
  ui_print::LoadQueuePicture(m_PrintPicture, IDB_PRINT);
  ui_print::LoadQueuePicture(m_AddPicture, IDB_ADD);
  return TRUE;
}

void CPrintDlg::Enable(CXPCtrlBtn& button, bool enable) {
  button.data.enabled = enable ? 1 : 0;
  button.EnableWindow(enable ? TRUE : FALSE);
  button.Redraw();
}

void CPrintDlg::UpdateCount() {
  CString count;
  count.Format("%s: %d", GetGlobalProps().GetText(kTextPrintQueueCount), GetPrintQueue()->CountFilled());
  m_Count->SetWindowText(count);
  m_Count->Redraw();
}

void CPrintDlg::DropPending() {
  CPrintQueue* queue = GetPrintQueue();
  const CPrintQueue::CPrintQueueItem* last = queue->GetLastItem();
  if (last && !last->queued) queue->RemoveLast();
}

void CPrintDlg::OnCancel() {
  DropPending();
  EndDialog(IDCANCEL);
}

void CPrintDlg::OnDestroy() {
  CDialog::OnDestroy();
  m_PrintPicture.DeleteObject();
  m_AddPicture.DeleteObject();
}

void CPrintDlg::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) {
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const bool enabled = data->enabled != 0;
  if (data->id == ID_PRINT || data->id == ID_ADD) {
    // The picture centred in the button, pure red left out; a disabled button shows it faded.
    CBitmap& picture = data->id == ID_PRINT ? m_PrintPicture : m_AddPicture;
    BITMAP info{};
    if (picture.GetSafeHandle() && picture.GetBitmap(&info)) {
      CRect rc;
      button->GetClientRect(&rc);
      const int x = rc.left + (rc.Width() - info.bmWidth) / 2, y = rc.top + (rc.Height() - info.bmHeight) / 2;
      CDC mem;
      mem.CreateCompatibleDC(dc);
      kvp::DcSelect selectBitmap(&mem, &picture);
      for (int py = 0; py < info.bmHeight; ++py) {
        for (int px = 0; px < info.bmWidth; ++px) {
          const COLORREF c = ::GetPixel(mem.GetSafeHdc(), px, py);
          if (c == kTransparent) continue;
          ::SetPixel(dc->GetSafeHdc(), x + px, y + py, enabled ? c : AdjustColor(c, 110));
        }
      }
    }
  } else {
    const int text = data->id == ID_CANCEL ? 10087 : data->id == ID_VIEW ? 10088 : 10089;
    DrawFace(dc, content, GetGlobalProps().GetText(text), &m_BtnFont, enabled ? TextColor() : RGB(150, 150, 150));
  }
  dc->SetBkMode(oldMode);
}

void CPrintDlg::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  CPrintQueue* queue = GetPrintQueue();
  switch (data->id) {
    case ID_CANCEL:
      OnCancel();
      break;
    case ID_PRINT:
      if (!data->enabled) break;
      queue->PrintReport();
      DropPending();
      EndDialog(IDOK);
      break;
    case ID_ADD: {
      CPrintQueue::CPrintQueueItem* last = queue->GetLastItem();
      if (!data->enabled || !last || !last->data || last->queued) break;
      CCommentDlg comment;
      comment.DoModal();  // whatever the answer, the item is added with the dialog's text
      last = queue->GetLastItem();
      if (!last || !last->data) break;
      last->data->SetComment(comment.comment);
      last->queued = 1;
      Enable(m_BtnPrint, true);
      Enable(m_BtnAdd, false);
      EndDialog(IDOK);
      break;
    }
    case ID_VIEW:
      if (m_ShowPreview) {
        m_ShowPreview(this);
      } else {
        CDlgPrintQueueView view(this);
        view.DoModal();
      }
      UpdateCount();
      if (queue->CountFilled() == 0) Enable(m_BtnPrint, false);
      break;
    case ID_CLEAR: {
      queue->RemoveQueued();
      const CPrintQueue::CPrintQueueItem* last = queue->GetLastItem();
      Enable(m_BtnAdd, last && last->data && !last->queued);
      Enable(m_BtnPrint, false);
      UpdateCount();
      break;
    }
    default:
      break;
  }
}
