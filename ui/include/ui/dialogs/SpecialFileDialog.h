// CSpecialFileDialog: the program's open/save file dialog. Below the standard controls it shows a
// button that starts the on-screen keyboard, so file names can be typed on a touch screen; the
// button appears only when the keyboard program exists, and starting it leaves the dialog open.
// Callers pass their own filter, default extension and flags and read the chosen path after
// DoModal with the file dialog's accessors (GetPathName).
#pragma once

#include <platform/afxwin.h>
#include <platform/filedialog.h>

class CSpecialFileDialog : public CFileDialog {
 public:
  // The filter in the class library's form "Description|pattern|...|"; the extension template
  // with the keyboard button is always added.
  CSpecialFileDialog(BOOL openFileDialog, LPCSTR defExt = nullptr, LPCSTR fileName = nullptr,
                     DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR filter = nullptr,
                     CWnd* parent = nullptr);
  ~CSpecialFileDialog() override;

  // The keyboard program: the Windows folder + "\system32\osk.exe" (the platform maps it to the
  // configured on-screen keyboard).
  char m_KeyboardPath[1024] = {};
  HICON m_KeyboardIcon = 0;

 protected:
  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  void OnDrawItem(int id, LPDRAWITEMSTRUCT dis) override;
};
