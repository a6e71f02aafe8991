#include <ui/dialogs/CustomSettingsDlg.h>

#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/SpecialFileDialog.h>

#include <ui/dialogs/DialogPlacement.h>

#include <core/Reg.h>

// After afxwin.h: the control wrappers derive from CWnd.
#include <platform/afxctrl.h>

using namespace ui_dialogs;

namespace {

constexpr const char* kSettingsExtension = "oss";
constexpr const char* kSettingsFilter = "Oscilloscope settings (*.oss)|*.oss|";

CString CaptionValueName(int slot) {
  CString name;
  name.Format("Save%d", slot);
  return name;
}

// Moves a dialog so its centre is the centre of its parent (or of the main window, or the screen).
void CentreOn(CWnd& dlg, CWnd* parent) {
  CRect own;
  dlg.GetWindowRect(&own);
  const CPoint centre = PlacementRect(parent).CenterPoint();
  dlg.MoveWindow(centre.x - own.Width() / 2, centre.y - own.Height() / 2, own.Width(), own.Height());
}

}  // namespace

// ---- CCustomSlotsDlg ---------------------------------------------------------------------------

CCustomSlotsDlg::CCustomSlotsDlg(int templateId, const int (&slotIds)[10], int fileId, BOOL openFile,
                                 DWORD fileFlags, COLORREF background, CWnd* parent)
    : CDialog((RegisterDialogTemplates(), templateId), parent),
      m_SlotIds(slotIds),
      m_FileId(fileId),
      m_OpenFile(openFile),
      m_FileFlags(fileFlags) {
  m_Brush.CreateSolidBrush(background);
}

int CCustomSlotsDlg::SlotOfControl(int id) const {
  for (int i = 0; i < kSlots; ++i) {
    if (m_SlotIds[i] == id) return i + 1;
  }
  return 0;
}

bool CCustomSlotsDlg::ReadCaption(int slot, CString& caption) {
  return CReg().ReadString(HKEY_CURRENT_USER, kCaptionKey, CaptionValueName(slot), caption) == CReg::OK;
}

BOOL CCustomSlotsDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  for (int slot = 1; slot <= kSlots; ++slot) {
    CString caption;
    if (!ReadCaption(slot, caption)) caption.Format("Save setting %d", slot);
    SetDlgItemText(m_SlotIds[slot - 1], caption);
  }
  CentreOn(*this, m_pParentWnd);
  return TRUE;
}

BOOL CCustomSlotsDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  const int id = LOWORD(wParam);
  // A click carries the button's window; Escape and the close box send IDCANCEL without one. The
  // save dialog's slots 4 and 8 share the ids 2 and 3 with IDCANCEL and IDABORT, so only the
  // notifying control tells a slot click from a cancel.
  const HWND from = static_cast<HWND>(lParam);
  if (from && HIWORD(wParam) == BN_CLICKED && ::GetParent(from) == m_hWnd) {
    if (const int slot = SlotOfControl(id); slot && from == ::GetDlgItem(m_hWnd, id)) {
      result = slot;
      EndDialog(IDOK);
      return TRUE;
    }
    if (id == m_FileId) {
      CSpecialFileDialog file(m_OpenFile, kSettingsExtension, nullptr, m_FileFlags, kSettingsFilter, this);
      if (file.DoModal() == IDOK) {
        path = file.GetPathName();
        result = kFileResult;
        EndDialog(IDOK);
      }
      return TRUE;
    }
  }
  return CDialog::OnCommand(wParam, lParam);
}

HBRUSH CCustomSlotsDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor == CTLCOLOR_DLG) return static_cast<HBRUSH>(m_Brush.GetSafeHandle());
  return CDialog::OnCtlColor(dc, wnd, ctlColor);
}

// ---- CCustomLoadDlg / CCustomSaveDlg -------------------------------------------------------------

CCustomLoadDlg::CCustomLoadDlg(CWnd* parent)
    : CCustomSlotsDlg(IDD_CUSTOM_LOAD, kLoadSlotIds, IDC_LOAD_FILE, TRUE,
                      OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY, RGB(86, 137, 194), parent) {}

CCustomSaveDlg::CCustomSaveDlg(CWnd* parent)
    : CCustomSlotsDlg(IDD_CUSTOM_SAVE, kSaveSlotIds, IDC_SAVE_FILE, FALSE, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                      RGB(248, 133, 120), parent) {}

void CCustomSaveDlg::OnContextMenu(CWnd* wnd, CPoint) {
  if (!wnd || ::GetParent(wnd->GetSafeHwnd()) != m_hWnd) return;
  const int slot = SlotOfControl(wnd->GetDlgCtrlID());
  if (!slot) return;  // the file button and the dialog itself have nothing to rename
  CString caption;
  if (!ReadCaption(slot, caption)) caption.Format("Save settings %d", slot);
  CRenameDlg rename(this);
  rename.SetText(caption);
  if (rename.DoModal() != IDOK) return;
  m_Caption = rename.GetText();
  // A failed write is not reported here: the button shows the new text until the dialog closes.
  CReg().WriteString(HKEY_CURRENT_USER, kCaptionKey, CaptionValueName(slot), m_Caption);
  wnd->SetWindowText(m_Caption);
}

// ---- CRenameDlg --------------------------------------------------------------------------------

CRenameDlg::CRenameDlg(CWnd* parent) : CDialog((RegisterDialogTemplates(), IDD_RENAME), parent) {
  m_Brush.CreateSolidBrush(RGB(28, 32, 190));
}

void CRenameDlg::SetText(const CString& value) { text = value.GetLength() > kMaxChars ? value.Left(kMaxChars) : value; }

BOOL CRenameDlg::OnInitDialog() {
  ::SendDlgItemMessage(m_hWnd, IDC_RENAME_EDIT, EM_LIMITTEXT, kMaxChars, 0);
  CDialog::OnInitDialog();  // loads `text` into the edit
  CentreOn(*this, m_pParentWnd);
  MakeArial(m_Font, -16, FW_NORMAL);
  if (CWnd* edit = GetDlgItem(IDC_RENAME_EDIT)) {
    edit->SendMessage(WM_SETFONT, static_cast<WPARAM>(m_Font.GetSafeHandle()), TRUE);
    edit->SetFocus();
    edit->SendMessage(EM_SETSEL, 0, -1);
    edit->SendMessage(EM_SCROLLCARET, 0, 0);
  }
  return FALSE;  // the focus is set
}

void CRenameDlg::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Text(dx, IDC_RENAME_EDIT, text);
  DDV_MaxChars(dx, text, kMaxChars);
}

HBRUSH CRenameDlg::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor == CTLCOLOR_DLG) return static_cast<HBRUSH>(m_Brush.GetSafeHandle());
  return CDialog::OnCtlColor(dc, wnd, ctlColor);
}

void CRenameDlg::OnDestroy() {
  CDialog::OnDestroy();
  m_Font.DeleteObject();
}
