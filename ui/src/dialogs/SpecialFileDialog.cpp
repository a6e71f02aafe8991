#include <ui/dialogs/SpecialFileDialog.h>

#include <ui/dialogs/DialogResources.h>

#include <platform/files.h>
#include <platform/process.h>
#include <platform/unique.h>

#include <algorithm>
#include <cstdio>

using namespace ui_dialogs;

CSpecialFileDialog::CSpecialFileDialog(BOOL openFileDialog, LPCSTR defExt, LPCSTR fileName, DWORD flags,
                                       LPCSTR filter, CWnd* parent)
    : CFileDialog(openFileDialog, defExt, fileName, flags, filter, parent) {
  RegisterDialogTemplates();
  m_ofn.Flags |= OFN_ENABLETEMPLATE;
  m_ofn.hInstance = 0;
  m_ofn.lpTemplateName = MAKEINTRESOURCE(IDD_FILE_EXTENSION);
}

CSpecialFileDialog::~CSpecialFileDialog() {
  if (m_KeyboardIcon) ::DestroyIcon(m_KeyboardIcon);
}

namespace {

// The standard controls may need more room than the placeholder gives them. As the system's file
// dialog does, the extension's controls below the placeholder then move down by the difference,
// so the keyboard button never lies under the standard controls.
void MoveBelowStandardControls(HWND extension) {
  HWND whole = ::GetParent(extension), placeholder = ::GetDlgItem(extension, IDC_FILE_PLACEHOLDER);
  if (!whole || !placeholder) return;
  RECT place;
  ::GetWindowRect(placeholder, &place);
  RECT margin{0, 0, 0, 6};
  ::MapDialogRect(extension, &margin);
  LONG needed = place.bottom;
  for (int id : {IDCANCEL, cmb1, chx1}) {
    RECT r;
    if (HWND c = ::GetDlgItem(whole, id); c && ::GetWindowRect(c, &r)) needed = std::max(needed, r.bottom + margin.bottom);
  }
  const LONG shift = needed - place.bottom;
  if (shift <= 0) return;
  for (HWND c = ::GetWindow(extension, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    RECT r;
    ::GetWindowRect(c, &r);
    if (c == placeholder || r.top < place.bottom) continue;
    POINT at{r.left, r.top + shift};
    ::ScreenToClient(extension, &at);
    ::SetWindowPos(c, 0, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

}  // namespace

BOOL CSpecialFileDialog::OnInitDialog() {
  CFileDialog::OnInitDialog();
  MoveBelowStandardControls(m_hWnd);
  char folder[MAX_PATH] = {};
  ::GetWindowsDirectory(folder, sizeof folder);
  std::snprintf(m_KeyboardPath, sizeof m_KeyboardPath, "%s\\system32\\osk.exe", folder);
  CWnd* button = GetDlgItem(IDC_KEYBOARD);
  const bool exists = ::GetFileAttributes(m_KeyboardPath) != INVALID_FILE_ATTRIBUTES;
  if (exists && !m_KeyboardIcon) ::ExtractIconEx(m_KeyboardPath, 0, &m_KeyboardIcon, nullptr, 1);
  if (button) button->ShowWindow(exists ? SW_SHOW : SW_HIDE);
  return TRUE;
}

BOOL CSpecialFileDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == IDC_KEYBOARD && HIWORD(wParam) == BN_CLICKED) {
    // Started without waiting; a failure to start leaves the dialog as it is.
    STARTUPINFO startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (::CreateProcess(m_KeyboardPath, nullptr, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
      kvp::UniqueHandle thread(process.hThread), program(process.hProcess);
    }
    return TRUE;
  }
  return CFileDialog::OnCommand(wParam, lParam);
}

void CSpecialFileDialog::OnDrawItem(int id, LPDRAWITEMSTRUCT dis) {
  CWnd* button = GetDlgItem(IDC_KEYBOARD);
  if (id == IDC_KEYBOARD && button && button->IsWindowVisible()) {
    CDC* dc = CDC::FromHandle(dis->hDC);
    CRect rc(dis->rcItem);
    const bool pressed = (dis->itemState & ODS_SELECTED) != 0;
    dc->DrawEdge(&rc, pressed ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    const CPoint centre = rc.CenterPoint();
    const int shift = pressed ? 1 : 0;
    if (m_KeyboardIcon) dc->DrawIcon(centre.x - 16 + shift, centre.y - 16 + shift, m_KeyboardIcon);
    if (dis->itemState & ODS_FOCUS) {
      CRect focus = rc;
      focus.DeflateRect(3, 3);
      dc->DrawFocusRect(&focus);
    }
  }
  CFileDialog::OnDrawItem(id, dis);
}
