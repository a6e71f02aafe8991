#include <ui/dialogs/AboutDlg.h>

#include <ui/dialogs/DialogResources.h>

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog((ui_dialogs::RegisterDialogTemplates(), ui_dialogs::IDD_ABOUTBOX), parent) {}
