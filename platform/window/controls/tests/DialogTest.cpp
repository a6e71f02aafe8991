// Template dialogs: pixel geometry from dialog units, tab order, the dialog keys and the default
// button, colours, context menus and data exchange with validation.
#include "ControlFixture.h"

#include <gtest/gtest.h>

#include <string>

namespace hl = kvp::headless;
using namespace kvtest;

namespace {

RECT ChildRect(HWND dialog, HWND child) {
  RECT r;
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(0, dialog, reinterpret_cast<LPPOINT>(&r), 2);
  return r;
}

// The worked example with the fixed test metrics: MS Shell Dlg 8 is 11 pixels high, every
// character 5.5 pixels wide, so the base units are 6 x 11.
TEST(DialogUnits, WorkedExampleWithFixedMetrics) {
  const kvp::TextMetricsProvider* before = kvp::SetDefaultTextMetrics(&kvp::FixedTextMetrics());
  {
    kvp::HeadlessWorld world;
    static const kvp::DialogTemplate example{
        WS_POPUP | DS_SETFONT, 0, 0, 0, 200, 200, "", nullptr, "MS Shell Dlg", 8,
        {{WC_BUTTON, "OK", IDOK, BS_PUSHBUTTON | WS_TABSTOP, 0, 18, 150, 34, 27}}};
    const SIZE base = kvp::DialogBaseUnitsOf(kvp::DialogTemplateFont(example));
    EXPECT_EQ(base.cx, 6);
    EXPECT_EQ(base.cy, 11);
    HWND dlg = ::CreateDialogIndirect(0, &example, 0, nullptr);
    ASSERT_NE(dlg, 0u);
    const RECT r = ChildRect(dlg, ::GetDlgItem(dlg, IDOK));
    EXPECT_EQ(r.left, 27);
    EXPECT_EQ(r.top, 206);
    EXPECT_EQ(r.right - r.left, 51);
    EXPECT_EQ(r.bottom - r.top, 37);
    RECT client;
    ::GetClientRect(dlg, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 275);
    // No caption: an undecorated popup, the same size.
    EXPECT_FALSE(::GetWindowLong(dlg, GWL_STYLE) & WS_CAPTION);
    ::DestroyWindow(dlg);
  }
  kvp::SetDefaultTextMetrics(before);
}

struct FontCase {
  const char* face;
  int points;
};

class TemplateGeometry : public ::testing::TestWithParam<FontCase> {};

// Every control sits where its dialog units say, with base units measured here on our own.
TEST_P(TemplateGeometry, ControlsSitAtTheirDialogUnits) {
  kvp::HeadlessWorld world;
  static kvp::DialogTemplate t;
  t = AllControls(GetParam().face, GetParam().points);
  HWND dlg = ::CreateDialogIndirect(0, &t, 0, nullptr);
  ASSERT_NE(dlg, 0u);
  HDC dc = CreateCompatibleDC(0);
  HFONT font = CreateFont(-MulDiv(GetParam().points, 96, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                          GetParam().face);
  HGDIOBJ old = SelectObject(dc, font);
  SIZE extent{};
  GetTextExtentPoint32(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &extent);
  TEXTMETRIC tm{};
  GetTextMetrics(dc, &tm);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  const int bx = (extent.cx / 26 + 1) / 2, by = tm.tmHeight;
  ASSERT_GT(bx, 3);
  ASSERT_GT(by, 8);
  RECT client;
  ::GetClientRect(dlg, &client);
  EXPECT_EQ(client.right, MulDiv(t.cx, bx, 4));
  EXPECT_EQ(client.bottom, MulDiv(t.cy, by, 8));
  for (const kvp::DialogItem& item : t.items) {
    HWND h = ::GetDlgItem(dlg, item.id);
    ASSERT_NE(h, 0u) << item.id;
    const RECT r = ChildRect(dlg, h);
    EXPECT_EQ(r.left, MulDiv(item.x, bx, 4)) << item.id;
    EXPECT_EQ(r.top, MulDiv(item.y, by, 8)) << item.id;
    EXPECT_EQ(r.right - r.left, MulDiv(item.cx, bx, 4)) << item.id;
    // A combo box is one field high; its template height is the dropped list's.
    if (std::string(item.windowClass) != WC_COMBOBOX) {
      EXPECT_EQ(r.bottom - r.top, MulDiv(item.cy, by, 8)) << item.id;
    }
  }
  ::DestroyWindow(dlg);
}

INSTANTIATE_TEST_SUITE_P(Fonts, TemplateGeometry,
                         ::testing::Values(FontCase{"MS Shell Dlg", 8}, FontCase{"Arial", 10}),
                         [](const ::testing::TestParamInfo<FontCase>& info) {
                           return std::string(info.param.face[0] == 'M' ? "ShellDlg" : "Arial") +
                                  std::to_string(info.param.points);
                         });

TEST(TemplateDialog, CreationOrderFontsAndFirstFocus) {
  kvp::HeadlessWorld world;
  class Ordered : public RecordingDialog {
   public:
    std::vector<std::string> order;
    int OnCreate(LPCREATESTRUCT cs) override {
      order.push_back(::GetWindow(m_hWnd, GW_CHILD) ? "create-after-controls" : "create");
      return CDialog::OnCreate(cs);
    }
    BOOL OnInitDialog() override {
      order.push_back(::GetDlgItem(m_hWnd, kIdIcon) ? "init" : "init-before-controls");
      return CDialog::OnInitDialog();
    }
  } dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  hl::Pump();
  EXPECT_EQ(dlg.order, (std::vector<std::string>{"create", "init"}));
  const HFONT font = static_cast<HFONT>(::SendMessage(dlg.m_hWnd, WM_GETFONT, 0, 0));
  ASSERT_NE(font, 0u);
  EXPECT_EQ(static_cast<HFONT>(::SendMessage(dlg.Item(kIdName), WM_GETFONT, 0, 0)), font);
  EXPECT_EQ(::GetFocus(), dlg.Item(IDOK));
  // The icon static shows the icon resource named "#300".
  EXPECT_NE(::SendMessage(dlg.Item(kIdIcon), STM_GETICON, 0, 0), 0);
  EXPECT_EQ(kvp::WindowPixel(dlg.Item(kIdIcon), 10, 10), RGB(255, 0, 0));
  // Picture for people: every control family.
  ::SendMessage(dlg.Item(kIdList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("First item"));
  ::SendMessage(dlg.Item(kIdList), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Second item"));
  ::SendMessage(dlg.Item(kIdList), LB_SETCURSEL, 1, 0);
  ::SendMessage(dlg.Item(kIdCombo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Choice"));
  ::SendMessage(dlg.Item(kIdCombo), CB_SETCURSEL, 0, 0);
  ::SetWindowText(dlg.Item(kIdName), "Text \xB5\xB0");
  ::SetWindowText(dlg.Item(kIdNotes), "Two\r\nlines");
  ::CheckDlgButton(dlg.m_hWnd, kIdCheck, BST_CHECKED);
  ::CheckDlgButton(dlg.m_hWnd, kIdThree, BST_INDETERMINATE);
  ::CheckDlgButton(dlg.m_hWnd, kIdGreen, BST_CHECKED);
  ::SetScrollRange(dlg.Item(kIdBar), SB_CTL, 0, 10, TRUE);
  ::SetScrollPos(dlg.Item(kIdBar), SB_CTL, 4, TRUE);
  ::SendMessage(dlg.Item(kIdProgress), PBM_SETRANGE, 0, 0x60000);
  ::SendMessage(dlg.Item(kIdProgress), PBM_SETPOS, 4, 0);
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(dlg.m_hWnd, ScreenshotPath("template-dialog.png").c_str()));
}

TEST(TemplateDialog, TabFollowsTemplateOrderSkippingHiddenAndDisabled) {
  kvp::HeadlessWorld world;
  RecordingDialog dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  hl::Pump();
  ::EnableWindow(dlg.Item(kIdThree), FALSE);
  ::ShowWindow(dlg.Item(kIdNotes), SW_HIDE);
  const int forward[] = {IDCANCEL, kIdDraw, kIdCheck, kIdRed, kIdName, kIdList, kIdCombo, kIdBar, IDOK};
  ASSERT_EQ(::GetFocus(), dlg.Item(IDOK));
  for (int id : forward) {
    hl::PressKey(VK_TAB);
    EXPECT_EQ(::GetFocus(), dlg.Item(id)) << id;
  }
  hl::PressKey(VK_TAB, MOD_SHIFT);
  EXPECT_EQ(::GetFocus(), dlg.Item(kIdBar));
}

struct KeyCase {
  const char* name;
  int focusId;      // 0: leave the first focus
  int defId;        // 0: the template's default
  bool disableDefault;
  UINT vk;
  int commandId;    // the WM_COMMAND the dialog gets (0: none)
  int oks, cancels;
};

class DialogKeys : public ::testing::TestWithParam<KeyCase> {};

TEST_P(DialogKeys, EnterAndEscape) {
  const KeyCase& c = GetParam();
  kvp::HeadlessWorld world;
  RecordingDialog dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  hl::Pump();
  if (c.defId) dlg.SetDefID(static_cast<UINT>(c.defId));
  if (c.disableDefault) ::EnableWindow(dlg.Item(c.defId ? c.defId : IDOK), FALSE);
  if (c.focusId) ::SetFocus(dlg.Item(c.focusId));
  dlg.commands.clear();
  hl::PressKey(c.vk, 0, c.vk == VK_RETURN ? '\r' : 0);
  if (c.commandId) {
    ASSERT_FALSE(dlg.commands.empty());
    EXPECT_EQ(dlg.commands.front().id, c.commandId);
  } else {
    EXPECT_TRUE(dlg.commands.empty());
  }
  EXPECT_EQ(dlg.oks, c.oks);
  EXPECT_EQ(dlg.cancels, c.cancels);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DialogKeys,
    ::testing::Values(KeyCase{"EnterOnEditGivesDefault", kIdName, 0, false, VK_RETURN, IDOK, 1, 0},
                      KeyCase{"EnterOnFocusedPushButton", IDCANCEL, 0, false, VK_RETURN, IDCANCEL, 0, 1},
                      KeyCase{"EnterGivesSetDefault", kIdName, kIdDraw, false, VK_RETURN, kIdDraw, 0, 0},
                      KeyCase{"EnterOnDisabledDefault", kIdName, 0, true, VK_RETURN, 0, 0, 0},
                      KeyCase{"EnterInMultiLineStays", kIdNotes, 0, false, VK_RETURN, kIdNotes, 0, 0},
                      KeyCase{"EscapeCancels", kIdName, 0, false, VK_ESCAPE, IDCANCEL, 0, 1}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(TemplateDialog, SetDefIdMovesTheDefaultLook) {
  kvp::HeadlessWorld world;
  RecordingDialog dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  EXPECT_EQ(dlg.GetDefID(), static_cast<DWORD>(MAKELONG(IDOK, DC_HASDEFID)));
  dlg.SetDefID(IDCANCEL);
  EXPECT_EQ(dlg.GetDefID(), static_cast<DWORD>(MAKELONG(IDCANCEL, DC_HASDEFID)));
  EXPECT_EQ(::GetWindowLong(dlg.Item(IDOK), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  EXPECT_EQ(::GetWindowLong(dlg.Item(IDCANCEL), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
}

TEST(TemplateDialog, CloseBoxCancelsAndContextMenuReachesTheDialog) {
  kvp::HeadlessWorld world;
  RecordingDialog dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  hl::Click(dlg.Item(kIdCheck), dlg.Centre(kIdCheck), hl::Button::Right);
  ASSERT_EQ(dlg.contextMenus.size(), 1u);
  EXPECT_EQ(dlg.contextMenus[0], dlg.Item(kIdCheck));
  ::SendMessage(dlg.m_hWnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(dlg.cancels, 1);
}

TEST(TemplateDialog, ControlsAskTheDialogForTheirColours) {
  kvp::HeadlessWorld world;
  class Coloured : public RecordingDialog {
   public:
    CBrush brush{RGB(200, 220, 255)};
    std::vector<UINT> kinds;
    HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT kind) override {
      kinds.push_back(kind);
      if (kind == CTLCOLOR_STATIC || kind == CTLCOLOR_DLG) {
        dc->SetTextColor(RGB(0, 0, 200));
        return static_cast<HBRUSH>(brush.m_hObject);
      }
      return CDialog::OnCtlColor(dc, wnd, kind);
    }
  } dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  hl::Pump();
  auto asked = [&](UINT kind) { return std::count(dlg.kinds.begin(), dlg.kinds.end(), kind) > 0; };
  EXPECT_TRUE(asked(CTLCOLOR_DLG));
  EXPECT_TRUE(asked(CTLCOLOR_STATIC));
  EXPECT_TRUE(asked(CTLCOLOR_BTN));
  EXPECT_TRUE(asked(CTLCOLOR_EDIT));
  EXPECT_TRUE(asked(CTLCOLOR_LISTBOX));
  RECT r;
  ::GetClientRect(dlg.Item(kIdLabel), &r);
  EXPECT_EQ(kvp::WindowPixel(dlg.Item(kIdLabel), r.right - 1, r.bottom - 1), RGB(200, 220, 255));
  EXPECT_EQ(kvp::WindowPixel(dlg.m_hWnd, 2, 2), RGB(200, 220, 255));
}

// ------------------------------------------------------------------------------------------------
// Data exchange

class NameDialog : public RecordingDialog {
 public:
  CString m_name = "start";
  CEdit m_edit;
  int editChars = 0;
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, kIdName, m_edit);
    DDX_Text(dx, kIdName, m_name);
    DDV_MaxChars(dx, m_name, 20);
  }
};

class CountingEdit : public CEdit {
 public:
  int chars = 0;
  void OnChar(UINT ch, UINT repeat, UINT flags) override {
    ++chars;
    CEdit::OnChar(ch, repeat, flags);
  }
};

TEST(DataExchange, MaxCharsRefusesALongerTextAndKeepsTheDialogOpen) {
  kvp::HeadlessWorld world;
  std::vector<kvp::MessageBoxCall> boxes;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    boxes.push_back(call);
    return IDOK;
  });
  NameDialog dlg;
  bool checked = false;
  hl::RunInLoop([&] {
    HWND edit = dlg.Item(kIdName);
    char text[32] = {};
    ::GetWindowText(edit, text, sizeof text);
    EXPECT_STREQ(text, "start");
    EXPECT_EQ(::SendMessage(edit, EM_GETLIMITTEXT, 0, 0), 20);
    EXPECT_EQ(dlg.m_edit.m_hWnd, edit);
    // The limit stops typing, but a program can still put a longer text in.
    ::SetWindowText(edit, "123456789012345678901");
    hl::PressKey(VK_RETURN, 0, '\r');
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Please enter no more than 20 characters.");
    EXPECT_EQ(boxes[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
    EXPECT_TRUE(::IsWindowVisible(dlg.m_hWnd));
    EXPECT_EQ(::GetFocus(), edit);
    DWORD a = 0, b = 0;
    ::SendMessage(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&a), reinterpret_cast<LPARAM>(&b));
    EXPECT_EQ(a, 0u);
    EXPECT_EQ(b, 21u);
    ::SetWindowText(edit, "12345678901234567890");
    checked = true;
    hl::PressKey(VK_RETURN, 0, '\r');
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(checked);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(dlg.m_name, "12345678901234567890");
  kvp::SetMessageBoxResponder(nullptr);
}

TEST(DataExchange, ControlObjectGetsTheControlsMessages) {
  kvp::HeadlessWorld world;
  class Dlg : public RecordingDialog {
   public:
    CountingEdit m_edit;
    void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, kIdName, m_edit); }
  } dlg;
  ASSERT_TRUE(dlg.Create(kIdDialog));
  dlg.UpdateData(FALSE);
  ::SetFocus(dlg.Item(kIdName));
  hl::PressKey('A', 0, 'a');
  hl::PressKey('B', 0, 'b');
  EXPECT_EQ(dlg.m_edit.chars, 2);
  char text[8] = {};
  ::GetWindowText(dlg.Item(kIdName), text, sizeof text);
  EXPECT_STREQ(text, "ab");
}

}  // namespace
