// The file dialog: GetOpenFileName / GetSaveFileName and the class library's CFileDialog.
//
// Our own modal dialog: the folder combo (the folder and its ancestors), an Up button, the list
// (folders first, then the files the filter matches, without regard to case), the name field, the
// type combo, Open/Save and Cancel. A typed name is relative to the shown folder or absolute (a
// Windows path through MapPath, or a Linux path); a typed folder opens it; a typed pattern becomes
// the filter; a name without extension gets the default one. Results are byte strings in the
// active code page; file names the code page cannot hold are not listed.
//
// With OFN_ENABLETEMPLATE, hInstance + lpTemplateName name a DS_CONTROL child template: its items
// keep their places, and the standard controls fill the rectangle of its placeholder static
// stc32 (1119). A CFileDialog is attached to that child dialog, so its OnInitDialog, OnCommand
// and OnDrawItem get the template's controls (GetParent() is the whole file dialog).
#pragma once

#include <platform/afxwin.h>

#define OFN_READONLY 0x00000001
#define OFN_OVERWRITEPROMPT 0x00000002
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_ENABLEHOOK 0x00000020
#define OFN_ENABLETEMPLATE 0x00000040
#define OFN_NOVALIDATE 0x00000100
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_CREATEPROMPT 0x00002000
#define OFN_NOREADONLYRETURN 0x00008000
#define OFN_EXPLORER 0x00080000
#define OFN_ENABLESIZING 0x00800000

// Control ids of the standard file dialog.
#define stc32 0x045f
#define chx1 0x0410
#define cmb1 0x0470
#define cmb2 0x0471
#define lst1 0x0460
#define edt1 0x0480
#define stc2 0x0441
#define stc3 0x0442
#define stc4 0x0443
#define psh1 0x0400

typedef UINT_PTR (*LPOFNHOOKPROC)(HWND, UINT, WPARAM, LPARAM);

struct OPENFILENAME {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;  // "Description\0pattern;pattern\0...\0\0"
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based; the chosen type on return
  LPSTR lpstrFile;     // in: initial name; out: the full path
  DWORD nMaxFile;
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  LPOFNHOOKPROC lpfnHook;
  LPCSTR lpTemplateName;
};
typedef OPENFILENAME* LPOPENFILENAME;

extern "C" {
// TRUE with the path in lpstrFile; FALSE for Cancel (or a result longer than nMaxFile).
PLATFORM_API BOOL GetOpenFileName(LPOPENFILENAME ofn);
PLATFORM_API BOOL GetSaveFileName(LPOPENFILENAME ofn);
}

class PLATFORM_API CFileDialog : public CDialog {
 public:
  // The filter in the class library's form "Description|pattern;pattern|...||".
  explicit CFileDialog(BOOL openFileDialog, LPCSTR defExt = nullptr, LPCSTR fileName = nullptr,
                       DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCSTR filter = nullptr,
                       CWnd* parent = nullptr);

  INT_PTR DoModal() override;
  CString GetPathName() const;
  CString GetFileName() const;
  CString GetFileTitle() const;
  CString GetFileExt() const;

  OPENFILENAME m_ofn{};

  // Runs the dialog for this object (the file dialog calls it; not for programs).
  bool RunForObject(bool open);
  BOOL m_bOpenFileDialog;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override {}

 private:
  char m_szFileName[MAX_PATH * 4] = {};
  std::string m_filter;
  std::string m_defExt;
};
