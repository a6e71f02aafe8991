#include <ui/print/PrintHeaderDlg.h>

#include <ui/dialogs/DialogPlacement.h>
#include <ui/dialogs/DialogResources.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>

#include <platform/afxwin.h>
// After afxwin.h: the control wrappers derive from CWnd.
#include <platform/afxctrl.h>
#include <platform/dcscope.h>

using namespace ui_dialogs;

namespace {
constexpr int kSchemeBackground = 6;
constexpr int kSchemeText = 8;
constexpr int kSchemeButton = 14;
}  // namespace

CPrintHeaderDlg::CPrintHeaderDlg(CWnd* parent) : CDialog((RegisterDialogTemplates(), IDD_PRINTHEADER), parent) {
  m_hCursor = AfxGetApp() ? AfxGetApp()->LoadCursor(IDC_CLIENT_CURSOR) : 0;
}

CPrintHeaderDlg::~CPrintHeaderDlg() = default;

BOOL CPrintHeaderDlg::OnInitDialog() {
  MakeArial(m_Font, 20, FW_BOLD);
  const GlobalProps& props = GetGlobalProps();
  const COLORREF text = GetSchemeColor(kSchemeText);
  m_Title = std::make_unique<CXPCtrlStaticWFont>(text, AdjustColor(GetSchemeColor(kSchemeButton), 40), &m_Font, FALSE,
                                                 DT_CENTER, DT_VCENTER);
  m_Title->Create(props.GetText(10142), WS_CHILD | WS_VISIBLE, CRect(10, 8, 360, 32), this, 0xFFFF);
  m_VehicleLabel = std::make_unique<CXPCtrlStaticWFont>(text, GetSchemeColor(kSchemeBackground), &m_Font, FALSE,
                                                        DT_RIGHT, DT_VCENTER);
  m_VehicleLabel->Create(props.GetText(10144), WS_CHILD | WS_VISIBLE, CRect(10, 40, 130, 65), this, 0xFFFF);
  m_LicenceLabel = std::make_unique<CXPCtrlStaticWFont>(text, GetSchemeColor(kSchemeBackground), &m_Font, FALSE,
                                                        DT_RIGHT, DT_VCENTER);
  m_LicenceLabel->Create(props.GetText(10143), WS_CHILD | WS_VISIBLE, CRect(10, 75, 130, 100), this, 0xFFFF);
  for (CXPCtrlBtn* b : {&m_BtnCancel, &m_BtnOK}) {
    b->btnClbck = this;
    b->drawClbck = this;
  }
  m_BtnCancel.Create("Cancel", WS_CHILD | WS_VISIBLE, CRect(190, 110, 270, 140), this, ID_CANCEL);
  m_BtnOK.Create("OK", WS_CHILD | WS_VISIBLE, CRect(280, 110, 360, 140), this, ID_OK);
  ::SendDlgItemMessage(m_hWnd, IDC_HEADER_VEHICLE, EM_LIMITTEXT, kVehicleChars, 0);
  ::SendDlgItemMessage(m_hWnd, IDC_HEADER_PLATE, EM_LIMITTEXT, kLicencePlateChars, 0);

  CDialog::OnInitDialog();

  const CPoint centre = PlacementRect(m_pParentWnd).CenterPoint();
  MoveWindow(centre.x - 190, centre.y - 75, 380, 150);
  if (CWnd* e = GetDlgItem(IDC_HEADER_VEHICLE)) e->MoveWindow(135, 40, 225, 25);
  if (CWnd* e = GetDlgItem(IDC_HEADER_PLATE)) e->MoveWindow(135, 75, 225, 25);
  return TRUE;
}

void CPrintHeaderDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_HEADER_VEHICLE, m_strVehicle);
  DDV_MaxChars(dx, m_strVehicle, kVehicleChars);
  DDX_Text(dx, IDC_HEADER_PLATE, m_strLicencePlate);
  DDV_MaxChars(dx, m_strLicencePlate, kLicencePlateChars);
}

BOOL CPrintHeaderDlg::OnEraseBkgnd(CDC* dc) {
  CRect rc;
  GetClientRect(&rc);
  dc->FillSolidRect(&rc, GetSchemeColor(kSchemeBackground));
  return TRUE;
}

BOOL CPrintHeaderDlg::OnSetCursor(CWnd*, UINT hitTest, UINT) {
  // Every query is handled; the own cursor only over the client area.
  if (hitTest == HTCLIENT && m_hCursor) ::SetCursor(m_hCursor);
  return TRUE;
}

void CPrintHeaderDlg::Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn*) {
  kvp::DcSelect selectFont(dc, &m_Font);
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldColour = dc->SetTextColor(GetSchemeColor(kSchemeText));
  dc->DrawText(GetGlobalProps().GetText(data->id == ID_OK ? 10092 : 10087), content,
               DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dc->SetTextColor(oldColour);
  dc->SetBkMode(oldMode);
}

void CPrintHeaderDlg::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id == ID_CANCEL) {
    OnCancel();
  } else if (data->id == ID_OK) {
    OnOK();  // the data exchange refuses a text over its limit and keeps the dialog open
  }
}
