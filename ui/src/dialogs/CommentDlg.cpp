#include <ui/dialogs/CommentDlg.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/DialogPlacement.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>

#include <platform/dcscope.h>

using namespace ui_dialogs;

namespace {
constexpr int kSchemeBackground = 6;
constexpr int kSchemeText = 8;
constexpr int kSchemeButton = 14;
}  // namespace

CCommentDlg::CCommentDlg(CWnd* parent) : CDialog((RegisterDialogTemplates(), IDD_COMMENT), parent) {}

CCommentDlg::~CCommentDlg() = default;

BOOL CCommentDlg::OnInitDialog() {
  MakeArial(m_Font, 20, FW_BOLD);
  const COLORREF button = GetSchemeColor(kSchemeButton);
  m_Title = std::make_unique<CXPCtrlStaticWFont>(GetSchemeColor(kSchemeText), AdjustColor(button, 40), &m_Font, FALSE,
                                                 DT_CENTER, DT_VCENTER);
  m_Title->Create(GetGlobalProps().GetText(10093), WS_CHILD | WS_VISIBLE, CRect(10, 8, 360, 32), this, 0xFFFF);
  for (CXPCtrlBtn* b : {&m_BtnCancel, &m_BtnOK}) {
    b->btnClbck = this;
    b->drawClbck = this;
  }
  m_BtnCancel.Create("", WS_CHILD | WS_VISIBLE, CRect(190, 150, 270, 180), this, ID_CANCEL);
  m_BtnOK.Create("", WS_CHILD | WS_VISIBLE, CRect(280, 150, 360, 180), this, ID_OK);
  m_hCursor = AfxGetApp() ? AfxGetApp()->LoadCursor(IDC_CLIENT_CURSOR) : 0;

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

BOOL CCommentDlg::OnEraseBkgnd(CDC* dc) {
  CRect rc;
  GetClientRect(&rc);
  dc->FillSolidRect(&rc, GetSchemeColor(kSchemeBackground));
  return TRUE;
}

BOOL CCommentDlg::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (hitTest == HTCLIENT && m_hCursor) {
    ::SetCursor(m_hCursor);
    return TRUE;
  }
  return CDialog::OnSetCursor(wnd, hitTest, message);
}

void CCommentDlg::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  kvp::DcSelect selectFont(dc, &m_Font);
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColour = dc->SetTextColor(GetSchemeColor(kSchemeText));
  dc->DrawText(GetGlobalProps().GetText(data->id == ID_OK ? 10092 : 10087), content,
               DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dc->SetTextColor(oldColour);
  dc->SetBkMode(oldMode);
}

void CCommentDlg::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id == ID_CANCEL) {
    EndDialog(IDCANCEL);
  } else if (data->id == ID_OK) {
    GetDlgItemText(IDC_COMMENT_EDIT, comment);
    EndDialog(IDOK);
  }
}
