#include <ui/dialogs/CommentDlg.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/DialogPlacement.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>

#include <platform/dcscope.h>

using namespace ui_dialogs;

CCommentDlg::CCommentDlg(CWnd* parent) : COwnerDrawnDlg((RegisterDialogTemplates(), IDD_COMMENT), parent) {}

CCommentDlg::~CCommentDlg() = default;

BOOL CCommentDlg::OnInitDialog() {
  MakeArial(m_Font, 20, FW_BOLD);
  const COLORREF button = GetSchemeColor(kSchemeButton);
  m_Title = std::make_unique<CXPCtrlStaticWFont>(GetSchemeColor(kSchemeText), AdjustColor(button, 40), &m_Font, FALSE,
                                                 DT_CENTER, DT_VCENTER);
  m_Title->Create(GetGlobalProps().GetText(kTextPrintItemComment), WS_CHILD | WS_VISIBLE, CRect(10, 8, 360, 32), this, 0xFFFF);
  CreateOkCancel("", CRect(190, 150, 270, 180), "", CRect(280, 150, 360, 180));

  CDialog::OnInitDialog();  // loads `comment` into the edit

  const CRect parent = PlacementRect(m_pParentWnd);
  const CPoint centre = parent.CenterPoint();
  MoveWindow(centre.x - 190, centre.y - 90, 380, 190);
  if (CWnd* edit = GetDlgItem(IDC_COMMENT_EDIT)) edit->MoveWindow(10, 40, 350, 100);
  return TRUE;
}

void CCommentDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_COMMENT_EDIT, comment);
}

void CCommentDlg::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id == ID_CANCEL) {
    EndDialog(IDCANCEL);
  } else if (data->id == ID_OK) {
    GetDlgItemText(IDC_COMMENT_EDIT, comment);
    EndDialog(IDOK);
  }
}
