// CAboutDlg: the about box the main window opens from its system menu (program icon, name, two
// lines of notice and OK). It has no code beyond its template.
#pragma once

#include <platform/afxwin.h>

class CAboutDlg : public CDialog {
 public:
  explicit CAboutDlg(CWnd* parent = nullptr);
};
