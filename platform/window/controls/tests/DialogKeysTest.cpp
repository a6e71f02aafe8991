// The dialog manager's keys beyond Enter, Escape and Tab: arrows within a group (radio buttons
// take the check), Alt+letter and the letter alone for the control whose text has that mnemonic,
// and fields that keep their own keys.
#include "ControlFixture.h"

#include <platform/dialogtemplate.h>

#include <gtest/gtest.h>

#include <string>

namespace hl = kvp::headless;
using namespace kvtest;

namespace {

enum : int {
  kIdKeysDialog = 501,
  kIdApply = 1101,
  kIdOption = 1102,
  kIdBeep = 1103,
  kIdSizeBox = 1104,
  kIdSmall = 1105,
  kIdLarge = 1106,
  kIdHuge = 1107,
  kIdNameLabel = 1108,
  kIdNameField = 1109,
  kIdAmpersand = 1110,
};

// Push buttons, a group of two check boxes, a group box with a radio group, a label with its
// field, and a label whose "&&" is an ampersand, not a mnemonic.
const kvp::DialogTemplate& KeysTemplate() {
  static const kvp::DialogTemplate dialog{
      WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT | WS_VISIBLE,
      0, 10, 10, 200, 140, "Keys", nullptr, "MS Shell Dlg", 8,
      {
          {WC_BUTTON, "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, 0, 140, 8, 50, 14},
          {WC_BUTTON, "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 0, 140, 26, 50, 14},
          {WC_BUTTON, "&Apply", kIdApply, BS_PUSHBUTTON | WS_TABSTOP, 0, 140, 44, 50, 14},
          {WC_BUTTON, "&Option", kIdOption, BS_AUTOCHECKBOX | WS_TABSTOP | WS_GROUP, 0, 8, 8, 80, 10},
          {WC_BUTTON, "&Beep", kIdBeep, BS_AUTOCHECKBOX | WS_TABSTOP, 0, 8, 20, 80, 10},
          {WC_BUTTON, "&Size", kIdSizeBox, BS_GROUPBOX | WS_GROUP, 0, 8, 34, 90, 50},
          {WC_BUTTON, "S&mall", kIdSmall, BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 0, 14, 46, 60, 10},
          {WC_BUTTON, "&Large", kIdLarge, BS_AUTORADIOBUTTON, 0, 14, 58, 60, 10},
          {WC_BUTTON, "&Huge", kIdHuge, BS_AUTORADIOBUTTON, 0, 14, 70, 60, 10},
          {WC_STATIC, "&Name:", kIdNameLabel, SS_LEFT | WS_GROUP, 0, 8, 92, 40, 8},
          {WC_EDIT, "", kIdNameField, ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 0, 50, 90, 80, 12},
          {WC_STATIC, "R&&D only", kIdAmpersand, SS_LEFT | WS_GROUP, 0, 8, 110, 80, 8},
      }};
  return dialog;
}

struct Registration {
  Registration() { kvp::RegisterDialogTemplate(0, kIdKeysDialog, &KeysTemplate()); }
} registration;

class DialogKeys : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dlg.Create(kIdKeysDialog));
    hl::Pump();
  }
  HWND Item(int id) const { return dlg.Item(id); }
  int Checked() const {
    for (int id : {kIdOption, kIdBeep, kIdSmall, kIdLarge, kIdHuge}) {
      if (::IsDlgButtonChecked(dlg.m_hWnd, id) == BST_CHECKED) return id;
    }
    return 0;
  }
  // The ids that said BN_CLICKED.
  std::vector<int> Clicked() const {
    std::vector<int> ids;
    for (const Command& c : dlg.commands) {
      if (c.code == BN_CLICKED) ids.push_back(c.id);
    }
    return ids;
  }

  kvp::HeadlessWorld world;
  RecordingDialog dlg{kIdKeysDialog};
};

struct ArrowCase {
  const char* name;
  int focus;
  UINT vk;
  int focusAfter;
  int checkedAfter;  // the one checked button afterwards (0: none)
};

TEST_F(DialogKeys, ArrowsMoveWithinTheGroupAndRadioButtonsTakeTheCheck) {
  const ArrowCase cases[] = {
      {"down in the radio group checks the next", kIdSmall, VK_DOWN, kIdLarge, kIdLarge},
      {"up from the first radio button wraps to the last", kIdSmall, VK_UP, kIdHuge, kIdHuge},
      {"right from the last wraps to the first", kIdHuge, VK_RIGHT, kIdSmall, kIdSmall},
      {"down from a check box goes to the next of its group, unchecked", kIdOption, VK_DOWN, kIdBeep, 0},
      {"down from the group's last check box wraps to its first", kIdBeep, VK_DOWN, kIdOption, 0},
      {"left between push buttons", IDCANCEL, VK_LEFT, IDOK, 0},
      {"up from the first push button wraps in its group", IDOK, VK_UP, kIdApply, 0},
  };
  for (const ArrowCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (int id : {kIdOption, kIdBeep, kIdSmall, kIdLarge, kIdHuge}) ::CheckDlgButton(dlg.m_hWnd, id, BST_UNCHECKED);
    ::SetFocus(Item(c.focus));
    hl::PressKey(c.vk);
    EXPECT_EQ(::GetFocus(), Item(c.focusAfter));
    EXPECT_EQ(Checked(), c.checkedAfter);
  }
}

TEST_F(DialogKeys, AFieldKeepsItsArrows) {
  ::SetDlgItemText(dlg.m_hWnd, kIdNameField, "abc");
  ::SetFocus(Item(kIdNameField));
  ::SendMessage(Item(kIdNameField), EM_SETSEL, 3, 3);
  for (UINT vk : {VK_LEFT, VK_UP, VK_DOWN}) {
    SCOPED_TRACE(vk);
    hl::PressKey(vk);
    EXPECT_EQ(::GetFocus(), Item(kIdNameField));
  }
  DWORD start = 0, end = 0;
  ::SendMessage(Item(kIdNameField), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 2u);  // the caret went left by one
}

struct MnemonicCase {
  const char* name;
  int focus;
  UINT vk;
  UINT modifiers;
  char ch;
  int disabled;       // a control disabled first (0: none)
  int focusAfter;     // 0: not checked
  int clicked;        // the control that says BN_CLICKED (0: none)
  int checkedAfter;
  const char* field;  // the name field's text afterwards
};

TEST_F(DialogKeys, MnemonicsActivateTheirControl) {
  const MnemonicCase cases[] = {
      {"Alt+A clicks the push button", kIdNameField, 'A', MOD_ALT, 'a', 0, 0, kIdApply, 0, ""},
      {"Alt+O focuses and checks the check box", kIdNameField, 'O', MOD_ALT, 'o', 0, kIdOption, kIdOption, kIdOption,
       ""},
      {"Alt+Shift+O: capitals are the same letter", IDOK, 'O', MOD_ALT | MOD_SHIFT, 'O', 0, kIdOption, kIdOption,
       kIdOption, ""},
      {"Alt+L selects the radio button", IDOK, 'L', MOD_ALT, 'l', 0, kIdLarge, kIdLarge, kIdLarge, ""},
      {"Alt+M: the letter after the ampersand", IDOK, 'M', MOD_ALT, 'm', 0, kIdSmall, kIdSmall, kIdSmall, ""},
      {"Alt+N on a label moves to its field", IDOK, 'N', MOD_ALT, 'n', 0, kIdNameField, 0, 0, ""},
      {"Alt+S on a group box moves to its first item", IDOK, 'S', MOD_ALT, 's', 0, kIdSmall, 0, 0, ""},
      {"the letter alone outside a field", IDOK, 'H', 0, 'h', 0, kIdHuge, kIdHuge, kIdHuge, ""},
      {"the letter alone in a field is typed", kIdNameField, 'H', 0, 'h', 0, kIdNameField, 0, 0, "h"},
      {"a doubled ampersand is no mnemonic", IDOK, 'D', MOD_ALT, 'd', 0, IDOK, 0, 0, ""},
      {"a letter of no control does nothing", IDOK, 'Z', MOD_ALT, 'z', 0, IDOK, 0, 0, ""},
      {"a disabled control's mnemonic does nothing", IDOK, 'A', MOD_ALT, 'a', kIdApply, IDOK, 0, 0, ""},
  };
  for (const MnemonicCase& c : cases) {
    SCOPED_TRACE(c.name);
    for (int id : {kIdOption, kIdBeep, kIdSmall, kIdLarge, kIdHuge}) ::CheckDlgButton(dlg.m_hWnd, id, BST_UNCHECKED);
    ::SetDlgItemText(dlg.m_hWnd, kIdNameField, "");
    if (c.disabled) ::EnableWindow(Item(c.disabled), FALSE);
    ::SetFocus(Item(c.focus));
    dlg.commands.clear();
    hl::PressKey(c.vk, c.modifiers, c.ch);
    if (c.focusAfter) {
      EXPECT_EQ(::GetFocus(), Item(c.focusAfter)) << ::GetDlgCtrlID(::GetFocus());
    }
    EXPECT_EQ(Clicked(), c.clicked ? std::vector<int>{c.clicked} : std::vector<int>{});
    EXPECT_EQ(Checked(), c.checkedAfter);
    char text[16] = {};
    ::GetDlgItemText(dlg.m_hWnd, kIdNameField, text, sizeof text);
    EXPECT_STREQ(text, c.field);
    if (c.disabled) ::EnableWindow(Item(c.disabled), TRUE);
  }
  EXPECT_EQ(dlg.oks, 0);
  EXPECT_EQ(dlg.cancels, 0);
}

}  // namespace
