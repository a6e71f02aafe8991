#include <ui/dialogs/DlgTurnOn.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/DialogPlacement.h>

#include <core/GlobalProps.h>
#include <core/Reg.h>
#include <core/TextIds.h>

using namespace ui_dialogs;

CDlgTurnOn::CDlgTurnOn(CWnd* parent) : CDialog((RegisterDialogTemplates(), IDD_TURNON), parent) {}

BOOL CDlgTurnOn::OnInitDialog() {
  CDialog::OnInitDialog();
  m_Check.SubclassDlgItem(IDC_TURNON_CHECK, this);
  const GlobalProps& props = GetGlobalProps();
  SetDlgItemText(IDC_TURNON_TEXT, props.GetText(kTextEngineMustNotStart));
  m_Check.SetWindowText(props.GetText(kTextDontShowAgain));
  MakeArial(m_TextFont, -16, FW_BOLD);
  MakeArial(m_CheckFont, -12, FW_NORMAL);
  SendDlgItemMessage(IDC_TURNON_TEXT, WM_SETFONT, static_cast<WPARAM>(m_TextFont.GetSafeHandle()), TRUE);
  m_Check.SendMessage(WM_SETFONT, static_cast<WPARAM>(m_CheckFont.GetSafeHandle()), TRUE);
  return TRUE;
}

void CDlgTurnOn::OnOK() {
  // Checked or indeterminate: the user asked not to see the notice again.
  if (m_Check.GetCheck() != BST_UNCHECKED) {
    CReg().WriteDword(HKEY_CURRENT_USER, kBehaviourKey, kShowMessage, 0);
  }
  EndDialog(IDOK);
}

void CDlgTurnOn::OnDestroy() {
  CDialog::OnDestroy();
  m_TextFont.DeleteObject();
  m_CheckFont.DeleteObject();
}
