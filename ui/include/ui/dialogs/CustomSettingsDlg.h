// The scope's custom-settings dialogs. CCustomLoadDlg and CCustomSaveDlg let the user pick one of
// ten named slots or a settings file ("*.oss"); they only choose, the caller then loads or saves:
// `result` is 0 when nothing was chosen (Escape, the close box), 1..10 a slot, 11 a file whose
// full path is in `path`. Slot captions are the user's string values "Save1".."Save10" under
// "SOFTWARE\KELO\KV310\Caption"; a right click on a slot of the save dialog renames it through
// CRenameDlg.
#pragma once

#include <platform/afxwin.h>

// What both selection dialogs share: the slot buttons with their registry captions, the file
// button and the background.
class CCustomSlotsDlg : public CDialog {
 public:
  static constexpr const char* kCaptionKey = "SOFTWARE\\KELO\\KV310\\Caption";
  enum { kSlots = 10, kFileResult = 11 };

  int result = 0;  // 0 nothing, 1..10 the slot, 11 a file
  CString path;    // the chosen file when result is 11
  CBrush m_Brush;  // the dialog's background

  // The slot (1..10) of a control id of this dialog, 0 for any other control.
  int SlotOfControl(int id) const;
  // The stored caption of a slot; false when it cannot be read.
  static bool ReadCaption(int slot, CString& caption);

  BOOL OnInitDialog() override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;

 protected:
  CCustomSlotsDlg(int templateId, const int (&slotIds)[10], int fileId, BOOL openFile, DWORD fileFlags,
                  COLORREF background, CWnd* parent);

 private:
  const int (&m_SlotIds)[10];
  int m_FileId;
  BOOL m_OpenFile;
  DWORD m_FileFlags;
};

// Which slot or file to load (template 183).
class CCustomLoadDlg : public CCustomSlotsDlg {
 public:
  explicit CCustomLoadDlg(CWnd* parent = nullptr);
};

// Which slot or file to save to (template 182); a right click on a slot renames it.
class CCustomSaveDlg : public CCustomSlotsDlg {
 public:
  explicit CCustomSaveDlg(CWnd* parent = nullptr);

  // The last caption the user confirmed in the rename dialog; empty when none was.
  CString GetCaption() const { return m_Caption; }

  void OnContextMenu(CWnd* wnd, CPoint screenPoint) override;

 private:
  CString m_Caption;
};

// The new caption of a slot (template 186): at most 20 characters.
class CRenameDlg : public CDialog {
 public:
  enum { kMaxChars = 20 };

  explicit CRenameDlg(CWnd* parent = nullptr);

  // Keeps at most the first 20 characters.
  void SetText(const CString& text);
  CString GetText() const { return text; }

  BOOL OnInitDialog() override;
  void DoDataExchange(CDataExchange* dx) override;
  HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
  void OnDestroy() override;

  CString text;
  CBrush m_Brush;
  CFont m_Font;  // the edit's "Arial" -16
};
