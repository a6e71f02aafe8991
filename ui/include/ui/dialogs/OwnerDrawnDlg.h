// COwnerDrawnDlg: the base of the program's owner-drawn dialogs (the print dialogs, the comment,
// the engine tester's messages and probe set-up). They share the scheme colours, the client-area
// cursor, the way a button caption is drawn on its face, and, for the dialogs that end with OK and
// Cancel, the two buttons and their faces. GUI thread only.
#pragma once

#include <ui/XPCtrlBtn.h>

#include <platform/afxwin.h>

class COwnerDrawnDlg : public CDialog, public CXPCtrlBtn::IDrawClbck, public CXPCtrlBtn::IBtnClbck {
 public:
  // The scheme colours of the dialogs: background, texts, button faces.
  static constexpr int kSchemeBackground = 6;
  static constexpr int kSchemeText = 8;
  static constexpr int kSchemeButton = 14;
  // The ids of the OK/Cancel pair.
  enum { ID_CANCEL = 0, ID_OK = 1 };

  // Where the dialog's own cursor applies: over the client area, elsewhere the dialog's default
  // (kClientArea); or over the client area, every other query answered with the cursor kept
  // (kEveryQuery).
  enum class CursorQueries { kClientArea, kEveryQuery };

  ~COwnerDrawnDlg() override;

  BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;

  // The OK/Cancel faces: the texts "OK" and "Cancel" of the language in m_Font.
  void Draw(CDC* dc, RECT* content, XPCtrlBtnData* data, CXPCtrlBtn* button) override;

  HCURSOR m_hCursor = 0;  // the shared client-area cursor
  CFont m_Font;           // the caption font of the OK/Cancel faces
  CXPCtrlBtn m_BtnCancel;
  CXPCtrlBtn m_BtnOK;

 protected:
  COwnerDrawnDlg(UINT templateId, CWnd* parent, CursorQueries cursor = CursorQueries::kClientArea);

  // Fills the client area with the scheme's background (for OnEraseBkgnd).
  BOOL FillBackground(CDC* dc);
  // Makes a button of the dialog, drawn and clicked through the dialog.
  BOOL CreateButton(CXPCtrlBtn& button, LPCSTR name, DWORD style, const RECT& rect, UINT id);
  // The OK/Cancel pair, Cancel left of OK.
  void CreateOkCancel(LPCSTR cancelName, const RECT& cancel, LPCSTR okName, const RECT& ok);
  // A caption on a button face: transparent, centred in `content` by `format`, in `font` and
  // `colour`; the DC is left as it was.
  static void DrawFace(CDC* dc, RECT* content, LPCSTR text, CFont* font, COLORREF colour,
                       UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  // The scheme's text colour.
  static COLORREF TextColor();

 private:
  CursorQueries cursor_;
};
