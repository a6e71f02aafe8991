#include <ui/print/PrintHeaderDlg.h>

#include <ui/dialogs/DialogPlacement.h>
#include <ui/dialogs/DialogResources.h>

#include <core/ColorScheme.h>
#include <core/GlobalProps.h>
#include <core/NumberFormat.h>
#include <core/TextIds.h>

#include <platform/afxwin.h>
// After afxwin.h: the control wrappers derive from CWnd.
#include <platform/afxctrl.h>
#include <platform/dcscope.h>

using namespace ui_dialogs;

// Every cursor query is handled; the own cursor only over the client area.
CPrintHeaderDlg::CPrintHeaderDlg(CWnd* parent)
    : COwnerDrawnDlg((RegisterDialogTemplates(), IDD_PRINTHEADER), parent, CursorQueries::kEveryQuery) {}

CPrintHeaderDlg::~CPrintHeaderDlg() = default;

BOOL CPrintHeaderDlg::OnInitDialog() {
  MakeArial(m_Font, 20, FW_BOLD);
  const GlobalProps& props = GetGlobalProps();
  const COLORREF text = GetSchemeColor(kSchemeText);
  m_Title = std::make_unique<CXPCtrlStaticWFont>(text, AdjustColor(GetSchemeColor(kSchemeButton), 40), &m_Font, FALSE,
                                                 DT_CENTER, DT_VCENTER);
  m_Title->Create(props.GetText(kTextPrintHeaderTitle), WS_CHILD | WS_VISIBLE, CRect(10, 8, 360, 32), this, 0xFFFF);
  m_VehicleLabel = std::make_unique<CXPCtrlStaticWFont>(text, GetSchemeColor(kSchemeBackground), &m_Font, FALSE,
                                                        DT_RIGHT, DT_VCENTER);
  m_VehicleLabel->Create(props.GetText(kTextVehicle), WS_CHILD | WS_VISIBLE, CRect(10, 40, 130, 65), this, 0xFFFF);
  m_LicenceLabel = std::make_unique<CXPCtrlStaticWFont>(text, GetSchemeColor(kSchemeBackground), &m_Font, FALSE,
                                                        DT_RIGHT, DT_VCENTER);
  m_LicenceLabel->Create(props.GetText(kTextLicencePlate), WS_CHILD | WS_VISIBLE, CRect(10, 75, 130, 100), this, 0xFFFF);
  CreateOkCancel("Cancel", CRect(190, 110, 270, 140), "OK", CRect(280, 110, 360, 140));
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

void CPrintHeaderDlg::OnClick(XPCtrlBtnData* data, CXPCtrlBtn*) {
  if (data->id == ID_CANCEL) {
    OnCancel();
  } else if (data->id == ID_OK) {
    OnOK();  // the data exchange refuses a text over its limit and keeps the dialog open
  }
}
