// A dialog that records what its controls tell it, built from a template with every control
// family, and helpers to drive it with injected input.
#pragma once

#include <platform/afxwin.h>
#include <platform/display.h>
#include <platform/gdi_surface.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace kvtest {

enum : int {
  kIdDraw = 1010,
  kIdCheck = 1011,
  kIdThree = 1012,
  kIdGroup = 1013,
  kIdRed = 1014,
  kIdGreen = 1015,
  kIdBlue = 1016,
  kIdName = 1020,
  kIdNotes = 1021,
  kIdList = 1030,
  kIdCombo = 1031,
  kIdBar = 1040,
  kIdProgress = 1050,
  kIdLine = 1060,
  kIdIcon = 1061,
  kIdLabel = 1062,
  kIdDialog = 500,
  kIdIconResource = 300,
};

// Every control family, in tab order after the two push buttons.
inline kvp::DialogTemplate AllControls(const char* face = "MS Shell Dlg", int points = 8) {
  return kvp::DialogTemplate{
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | WS_VISIBLE,
      0, 10, 10, 240, 200, "All controls", nullptr, face, points,
      {
          {WC_BUTTON, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 180, 8, 50, 14},
          {WC_BUTTON, "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 0, 180, 26, 50, 14},
          {WC_BUTTON, "Draw", kIdDraw, BS_OWNERDRAW | WS_TABSTOP, 0, 180, 44, 50, 14},
          {WC_BUTTON, "&Check", kIdCheck, BS_AUTOCHECKBOX | WS_TABSTOP, 0, 8, 8, 80, 10},
          {WC_BUTTON, "Three", kIdThree, BS_AUTO3STATE | WS_TABSTOP, 0, 8, 20, 80, 10},
          {WC_BUTTON, "Colour", kIdGroup, BS_GROUPBOX, 0, 8, 34, 90, 50},
          {WC_BUTTON, "Red", kIdRed, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, 14, 46, 60, 10},
          {WC_BUTTON, "Green", kIdGreen, BS_AUTORADIOBUTTON, 0, 14, 58, 60, 10},
          {WC_BUTTON, "Blue", kIdBlue, BS_AUTORADIOBUTTON, 0, 14, 70, 60, 10},
          {WC_STATIC, "Name:", kIdLabel, SS_LEFT | WS_GROUP, 0, 100, 8, 70, 8},
          {WC_EDIT, "", kIdName, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 100, 18, 70, 12},
          {WC_EDIT, "", kIdNotes, ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 0, 100, 34, 70, 40},
          {WC_LISTBOX, "", kIdList, LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 0, 8, 90, 80, 50},
          {WC_COMBOBOX, "", kIdCombo, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0, 100, 90, 70, 60},
          {WC_SCROLLBAR, "", kIdBar, SBS_HORZ | WS_TABSTOP, 0, 8, 150, 160, 10},
          {PROGRESS_CLASS, "", kIdProgress, 0, 0, 8, 166, 160, 10},
          {WC_STATIC, "", kIdLine, SS_ETCHEDHORZ, 0, 8, 182, 160, 2},
          {WC_STATIC, "#300", kIdIcon, SS_ICON, 0, 200, 70, 20, 20},
      }};
}

struct Command {
  int id;
  int code;
  HWND from;
};

struct DrawItem {
  UINT action;
  UINT state;
};

struct Scroll {
  UINT msg;
  UINT code;
  int pos;
  HWND bar;
};

class RecordingDialog : public CDialog {
 public:
  explicit RecordingDialog(UINT id = kIdDialog) : CDialog(id) {}
  std::vector<Command> commands;
  std::vector<DrawItem> draws;
  std::vector<Scroll> scrolls;
  std::vector<HWND> contextMenus;
  int oks = 0;
  int cancels = 0;

  int Count(int id, int code) const {
    int n = 0;
    for (const Command& c : commands) n += c.id == id && c.code == code;
    return n;
  }
  HWND Item(int id) const { return ::GetDlgItem(m_hWnd, id); }
  POINT Centre(int id) const {
    RECT r;
    ::GetClientRect(Item(id), &r);
    return POINT{r.right / 2, r.bottom / 2};
  }

  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    commands.push_back(Command{LOWORD(wParam), HIWORD(wParam), static_cast<HWND>(lParam)});
    return CDialog::OnCommand(wParam, lParam);
  }
  void OnDrawItem(int id, LPDRAWITEMSTRUCT dis) override {
    draws.push_back(DrawItem{dis->itemAction, dis->itemState});
    CBrush face(dis->itemState & ODS_SELECTED ? RGB(0, 0, 160) : RGB(0, 160, 0));
    ::FillRect(dis->hDC, &dis->rcItem, static_cast<HBRUSH>(face.m_hObject));
    (void)id;
  }
  void OnVScroll(UINT code, UINT pos, CScrollBar* bar) override {
    scrolls.push_back(Scroll{WM_VSCROLL, code, static_cast<int>(pos), bar ? bar->m_hWnd : 0});
  }
  void OnHScroll(UINT code, UINT pos, CScrollBar* bar) override {
    const MSG* m = GetCurrentMessage();
    scrolls.push_back(Scroll{WM_HSCROLL, code, static_cast<int>(pos), m ? static_cast<HWND>(m->lParam) : 0});
    (void)bar;
  }
  void OnContextMenu(CWnd* wnd, CPoint) override { contextMenus.push_back(wnd ? wnd->m_hWnd : 0); }
  void OnOK() override {
    ++oks;
    CDialog::OnOK();
  }
  void OnCancel() override {
    ++cancels;
    CDialog::OnCancel();
  }
};

// A 32x32 icon picture: a red square on a transparent ground.
const std::vector<unsigned char>& IconPng();

// The folder for screenshots (build/<preset>/screenshots/platform), made on first use.
std::string ScreenshotPath(const char* name);

}  // namespace kvtest
