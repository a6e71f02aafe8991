// CPrintHeaderDlg: asks for the report's two header texts, the vehicle (at most 60 characters)
// and the licence plate (at most 20). The report takes both texts whatever the button; a text
// over its limit is refused by the data exchange and the dialog stays open.
#pragma once

#include <ui/XPCtrlStaticWFont.h>
#include <ui/dialogs/OwnerDrawnDlg.h>

#include <platform/afxwin.h>

#include <memory>

class CPrintHeaderDlg : public COwnerDrawnDlg {
 public:
  enum { kVehicleChars = 60, kLicencePlateChars = 20 };

  // Without a parent the dialog is centred on the main window, without one on the screen.
  explicit CPrintHeaderDlg(CWnd* parent = nullptr);
  ~CPrintHeaderDlg() override;

  CString GetVehicle() const { return m_strVehicle; }
  CString GetLicencePlate() const { return m_strLicencePlate; }

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnEraseBkgnd(CDC* dc) override { return FillBackground(dc); }

  void OnClick(XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  CString m_strVehicle;
  CString m_strLicencePlate;
  std::unique_ptr<CXPCtrlStaticWFont> m_Title;
  std::unique_ptr<CXPCtrlStaticWFont> m_VehicleLabel;
  std::unique_ptr<CXPCtrlStaticWFont> m_LicenceLabel;
};
