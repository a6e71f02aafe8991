// The custom-settings dialogs and the file dialog they open: slot captions from the user's
// registry with their fallbacks, the slot and file choices, the save dialog's slots that share
// ids with the cancel commands, renaming a slot by a right click, and the file dialog's keyboard
// button. Nested dialogs are answered from inside their modal loops.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/dialogs/CustomSettingsDlg.h>
#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/SpecialFileDialog.h>

#include <core/Reg.h>

#include <kvtest/CoreGlobals.h>

#include <platform/process.h>
#include <platform/registry.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

using namespace uitest;
using namespace ui_dialogs;

namespace {

constexpr const char* kKeyboardProgram = "C:\\Windows\\system32\\osk.exe";
constexpr const char* kProgramsKey = "SOFTWARE\\KV310Platform\\Programs";
const char kLongCaption[] = "Idle speed at 20 degrees!";  // 25 characters

void Screenshot(HWND w, const char* name) {
  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  ::UpdateWindow(w);
  hl::Pump();
  EXPECT_TRUE(kvp::SaveWindowPng(w, ScreenshotPath(name).c_str())) << name;
}

CString ButtonText(CWnd& dlg, int id) {
  CString s;
  dlg.GetDlgItemText(id, s);
  return s;
}

void ClickControl(HWND control, hl::Button button = hl::Button::Left) {
  RECT r;
  ::GetClientRect(control, &r);
  hl::Click(control, POINT{r.right / 2, r.bottom / 2}, button);
}

// A click posted as the mouse messages the control gets. A nested dialog the click opens then
// starts after work queued before it, while the test's check of the active window (WhenActive)
// waits its turn behind the click instead of running ahead of the input.
void PostClick(HWND control, hl::Button button = hl::Button::Left) {
  RECT r;
  ::GetClientRect(control, &r);
  const LPARAM at = MAKELPARAM(r.right / 2, r.bottom / 2);
  if (button == hl::Button::Right) {
    ::PostMessage(control, WM_RBUTTONDOWN, MK_RBUTTON, at);
    ::PostMessage(control, WM_RBUTTONUP, 0, at);
  } else {
    ::PostMessage(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessage(control, WM_LBUTTONUP, 0, at);
  }
}

// Runs fn once the active window is one `accept` takes (a nested dialog opens inside a click
// handler, after work queued before it); gives up after a bounded number of turns of the loop.
void WhenActive(std::function<bool(HWND)> accept, std::function<void(HWND)> fn, int turns = 50) {
  hl::RunInLoop([accept, fn, turns] {
    HWND active = ::GetActiveWindow();
    if (accept(active)) {
      fn(active);
    } else if (turns > 0) {
      WhenActive(accept, fn, turns - 1);
    } else {
      ADD_FAILURE() << "the nested dialog did not open";
    }
  });
}

void WhenRenameOpen(std::function<void(CRenameDlg&)> fn) {
  WhenActive([](HWND w) { return dynamic_cast<CRenameDlg*>(CWnd::FromHandlePermanent(w)) != nullptr; },
             [fn](HWND w) { fn(*dynamic_cast<CRenameDlg*>(CWnd::FromHandlePermanent(w))); });
}

bool IsFileDialog(HWND w) { return w && ::GetDlgItem(w, lst1) && ::GetDlgItem(w, edt1); }

void WhenFileDialogOpen(std::function<void(HWND)> fn) { WhenActive(IsFileDialog, fn); }

void Type(const std::string& text) {
  for (char c : text) hl::PressKey('A', 0, c);
}

class CustomSettingsTest : public kvtest::CoreTest {
 protected:
  kvp::HeadlessWorld world;
  Host parent;
  std::string folder;

  void SetUp() override {
    kvtest::CoreTest::SetUp();
    ClearCaptions();
    folder = std::string(std::getenv("HOME")) + "/custom-settings";
    std::filesystem::create_directories(folder);
    ASSERT_TRUE(parent.CreateTop(50, 40, 800, 600));
    hl::Pump();
  }
  void TearDown() override {
    ClearCaptions();
    kvp::RecordLaunches(false);
    kvtest::CoreTest::TearDown();
  }
  static void ClearCaptions() {
    HKEY key = 0;
    if (::RegOpenKeyEx(HKEY_CURRENT_USER, CCustomSlotsDlg::kCaptionKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      for (int slot = 1; slot <= 10; ++slot) ::RegDeleteValue(key, ("Save" + std::to_string(slot)).c_str());
      ::RegCloseKey(key);
    }
    ::RegDeleteKey(HKEY_CURRENT_USER, CCustomSlotsDlg::kCaptionKey);
  }
  static void StoreCaption(int slot, const char* text) {
    ASSERT_EQ(CReg().WriteString(HKEY_CURRENT_USER, CCustomSlotsDlg::kCaptionKey,
                                 ("Save" + std::to_string(slot)).c_str(), text),
              CReg::OK);
  }
  static bool StoredCaption(int slot, CString& text) { return CCustomSlotsDlg::ReadCaption(slot, text); }
};

// ---- Captions -------------------------------------------------------------------------------

TEST_F(CustomSettingsTest, SlotsShowTheStoredCaptionsAndTheBuiltInTextsForTheRest) {
  StoreCaption(1, "Cold start");
  StoreCaption(3, kLongCaption);
  StoreCaption(8, "");
  struct Case {
    const char* name;
    bool save;
    const char* screenshot;
    COLORREF background;
  };
  const Case cases[] = {{"load", false, "load-open.png", RGB(86, 137, 194)},
                        {"save", true, "save-open.png", RGB(248, 133, 120)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCustomLoadDlg load(&parent);
    CCustomSaveDlg save(&parent);
    CCustomSlotsDlg& dlg = c.save ? static_cast<CCustomSlotsDlg&>(save) : load;
    const int* ids = c.save ? kSaveSlotIds : kLoadSlotIds;
    CString texts[10], file;
    CRect placed;
    COLORREF background = 0;
    hl::RunInLoop([&] {
      for (int i = 0; i < 10; ++i) texts[i] = ButtonText(dlg, ids[i]);
      file = ButtonText(dlg, c.save ? IDC_SAVE_FILE : IDC_LOAD_FILE);
      dlg.GetWindowRect(&placed);
      Screenshot(dlg.GetSafeHwnd(), c.screenshot);
      background = Pixel(dlg, 2, 2);
      hl::PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_STREQ(texts[0], "Cold start");
    EXPECT_STREQ(texts[1], "Save setting 2");
    EXPECT_STREQ(texts[2], kLongCaption) << "a long caption shows whole on its button";
    EXPECT_STREQ(texts[7], "") << "a stored empty caption is a caption";
    EXPECT_STREQ(texts[9], "Save setting 10");
    EXPECT_STREQ(file, c.save ? "Save to file" : "Load from file");
    EXPECT_EQ(placed.CenterPoint(), CPoint(50 + 400, 40 + 300)) << "centred on the parent";
    EXPECT_EQ(background, c.background) << Hex(background);
  }
}

// ---- Choosing ---------------------------------------------------------------------------------

TEST_F(CustomSettingsTest, ASlotClickChoosesItsSlotAndEscapeOrTheCloseBoxChoosesNothing) {
  struct Case {
    const char* name;
    bool save;
    int slot;     // 1..10: its button is clicked; 0: Escape; -1: the close box
    INT_PTR end;
  };
  const Case cases[] = {
      {"load slot 1", false, 1, IDOK},   {"load slot 10", false, 10, IDOK},
      {"save slot 1", true, 1, IDOK},    {"save slot 4 (id 2)", true, 4, IDOK},
      {"save slot 8 (id 3)", true, 8, IDOK}, {"save slot 10", true, 10, IDOK},
      {"load Escape", false, 0, IDCANCEL},   {"save Escape", true, 0, IDCANCEL},
      {"save close box", true, -1, IDCANCEL}, {"load close box", false, -1, IDCANCEL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCustomLoadDlg load(&parent);
    CCustomSaveDlg save(&parent);
    CCustomSlotsDlg& dlg = c.save ? static_cast<CCustomSlotsDlg&>(save) : load;
    const int* ids = c.save ? kSaveSlotIds : kLoadSlotIds;
    hl::RunInLoop([&] {
      if (c.slot > 0) {
        ClickControl(::GetDlgItem(dlg.GetSafeHwnd(), ids[c.slot - 1]));
      } else if (c.slot == 0) {
        hl::PressKey(VK_ESCAPE);
      } else {
        dlg.SendMessage(WM_CLOSE);
      }
    });
    EXPECT_EQ(dlg.DoModal(), c.end);
    EXPECT_EQ(dlg.result, c.slot > 0 ? c.slot : 0);
    EXPECT_STREQ(dlg.path, "");
  }
  CString any;
  EXPECT_FALSE(StoredCaption(4, any)) << "choosing writes no caption";
}

TEST_F(CustomSettingsTest, TheFileButtonChoosesAFileAndACancelledFileDialogKeepsTheChoiceOpen) {
  const std::string existing = folder + "/bench.oss";
  std::ofstream(existing) << "settings";
  struct Case {
    const char* name;
    bool save;
    std::string typed;     // empty: the file dialog is cancelled
    std::string expected;  // the path chosen
    bool asked = false;    // the file dialog asks before replacing
  };
  kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDYES; });
  const Case cases[] = {{"load an existing file", false, existing, existing},
                        {"save adds the extension", true, folder + "/new", folder + "/new.oss"},
                        {"save over an existing file asks first", true, existing, existing, true},
                        {"load, file dialog cancelled", false, "", ""},
                        {"save, file dialog cancelled", true, "", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCustomLoadDlg load(&parent);
    CCustomSaveDlg save(&parent);
    CCustomSlotsDlg& dlg = c.save ? static_cast<CCustomSlotsDlg&>(save) : load;
    bool stayedOpen = false;
    std::string title;
    const size_t boxesBefore = kvp::MessageBoxLog().size();
    hl::RunInLoop([&] {
      PostClick(::GetDlgItem(dlg.GetSafeHwnd(), c.save ? IDC_SAVE_FILE : IDC_LOAD_FILE));
      WhenFileDialogOpen([&](HWND file) {
        char text[64] = {};
        ::GetDlgItemText(file, IDOK, text, sizeof text);
        title = text;
        ::SetFocus(::GetDlgItem(file, edt1));
        if (c.typed.empty()) {
          hl::PressKey(VK_ESCAPE);
        } else {
          Type(c.typed);
          hl::PressKey(VK_RETURN, 0, '\r');
        }
      });
      hl::Pump();
      if (c.typed.empty()) {
        stayedOpen = ::IsWindowVisible(dlg.GetSafeHwnd()) && ::GetActiveWindow() == dlg.GetSafeHwnd();
        hl::PressKey(VK_ESCAPE);
      }
    });
    const INT_PTR end = dlg.DoModal();
    EXPECT_EQ(title, c.save ? "&Save" : "&Open");
    EXPECT_EQ(kvp::MessageBoxLog().size() > boxesBefore, c.asked);
    if (c.typed.empty()) {
      EXPECT_TRUE(stayedOpen);
      EXPECT_EQ(end, IDCANCEL);
      EXPECT_EQ(dlg.result, 0);
    } else {
      EXPECT_EQ(end, IDOK);
      EXPECT_EQ(dlg.result, CCustomSlotsDlg::kFileResult);
      EXPECT_EQ(std::string(dlg.path), c.expected);
    }
  }
}

TEST_F(CustomSettingsTest, LoadingAMissingFileIsRefusedByTheFileDialog) {
  kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDOK; });
  CCustomLoadDlg dlg(&parent);
  bool fileDialogStillOpen = false;
  hl::RunInLoop([&] {
    PostClick(::GetDlgItem(dlg.GetSafeHwnd(), IDC_LOAD_FILE));
    WhenFileDialogOpen([&](HWND file) {
      ::SetFocus(::GetDlgItem(file, edt1));
      Type(folder + "/missing.oss");
      hl::PressKey(VK_RETURN, 0, '\r');
      fileDialogStillOpen = IsFileDialog(::GetActiveWindow());
      hl::PressKey(VK_ESCAPE);
    });
    hl::Pump();
    hl::PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(fileDialogStillOpen);
  EXPECT_EQ(dlg.result, 0);
}

// ---- Renaming -----------------------------------------------------------------------------------

TEST_F(CustomSettingsTest, ARightClickOnASlotRenamesItInTheRegistryAndOnTheButton) {
  struct Case {
    const char* name;
    int slot;
    const char* stored;    // null: no caption stored
    const char* offered;   // what the rename dialog shows
    const char* typed;     // replaces the selected text
  };
  const Case cases[] = {
      {"a 25-character caption is offered cut to 20", 3, kLongCaption, "Idle speed at 20 deg", "Warm idle"},
      {"no caption: the rename fallback, the key is created", 5, nullptr, "Save settings 5", "Full load"},
      {"slot 4 (id 2) renames, it does not cancel", 4, "Old four", "Old four", "New four"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClearCaptions();
    if (c.stored) StoreCaption(c.slot, c.stored);
    CCustomSaveDlg dlg(&parent);
    const int id = kSaveSlotIds[c.slot - 1];
    CString offered, selected, onButton;
    COLORREF renameBack = 0;
    hl::RunInLoop([&] {
      PostClick(::GetDlgItem(dlg.GetSafeHwnd(), id), hl::Button::Right);
      WhenRenameOpen([&](CRenameDlg& rename) {
        rename.GetDlgItemText(IDC_RENAME_EDIT, offered);
        const LRESULT sel = ::SendDlgItemMessage(rename.GetSafeHwnd(), IDC_RENAME_EDIT, EM_GETSEL, 0, 0);
        selected = offered.Mid(LOWORD(sel), HIWORD(sel) - LOWORD(sel));
        EXPECT_EQ(::GetFocus(), ::GetDlgItem(rename.GetSafeHwnd(), IDC_RENAME_EDIT));
        if (c.slot == 3) Screenshot(rename.GetSafeHwnd(), "rename-open.png");
        ::UpdateWindow(rename.GetSafeHwnd());
        hl::Pump();
        renameBack = Pixel(rename, 2, 2);
        Type(c.typed);  // replaces the whole selection
        hl::PressKey(VK_RETURN, 0, '\r');
      });
      hl::Pump();
      onButton = ButtonText(dlg, id);
      EXPECT_EQ(::GetActiveWindow(), dlg.GetSafeHwnd()) << "the save dialog stays open after a rename";
      hl::PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.result, 0);
    EXPECT_STREQ(offered, c.offered);
    EXPECT_STREQ(selected, c.offered) << "the whole caption is selected";
    EXPECT_EQ(renameBack, RGB(28, 32, 190)) << Hex(renameBack);
    EXPECT_STREQ(onButton, c.typed);
    EXPECT_STREQ(dlg.GetCaption(), c.typed);
    CString stored;
    ASSERT_TRUE(StoredCaption(c.slot, stored));
    EXPECT_STREQ(stored, c.typed);
  }
}

TEST_F(CustomSettingsTest, NoRenameForTheFileButtonOrACancelledRename) {
  StoreCaption(2, "Kept");
  CCustomSaveDlg dlg(&parent);
  bool fileButtonOpenedNothing = false;
  CString afterCancel;
  hl::RunInLoop([&] {
    ClickControl(::GetDlgItem(dlg.GetSafeHwnd(), IDC_SAVE_FILE), hl::Button::Right);
    fileButtonOpenedNothing = ::GetActiveWindow() == dlg.GetSafeHwnd();
    // Right click on the background: nothing either.
    hl::Click(dlg.GetSafeHwnd(), POINT{2, 2}, hl::Button::Right);
    fileButtonOpenedNothing = fileButtonOpenedNothing && ::GetActiveWindow() == dlg.GetSafeHwnd();
    PostClick(::GetDlgItem(dlg.GetSafeHwnd(), kSaveSlotIds[1]), hl::Button::Right);
    WhenRenameOpen([](CRenameDlg&) {
      Type("Discarded");
      hl::PressKey(VK_ESCAPE);
    });
    hl::Pump();
    afterCancel = ButtonText(dlg, kSaveSlotIds[1]);
    hl::PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(fileButtonOpenedNothing);
  EXPECT_STREQ(afterCancel, "Kept");
  EXPECT_STREQ(dlg.GetCaption(), "");
  CString stored;
  ASSERT_TRUE(StoredCaption(2, stored));
  EXPECT_STREQ(stored, "Kept");
}

TEST(RenameDlgText, SetTextKeepsAtMostTwentyCharacters) {
  struct Case {
    const char* given;
    const char* kept;
  };
  const Case cases[] = {{"", ""}, {"Short", "Short"}, {"Exactly twenty chars", "Exactly twenty chars"},
                        {kLongCaption, "Idle speed at 20 deg"}};
  for (const Case& c : cases) {
    CRenameDlg dlg;
    dlg.SetText(c.given);
    EXPECT_STREQ(dlg.GetText(), c.kept) << c.given;
  }
}

// ---- The file dialog's keyboard button ----------------------------------------------------------

class SpecialFileDialogTest : public CustomSettingsTest {
 protected:
  static void MapKeyboard(const char* linuxProgram) {
    HKEY key = 0;
    ASSERT_EQ(::RegCreateKeyEx(HKEY_LOCAL_MACHINE, kProgramsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (linuxProgram) {
      ::RegSetValueEx(key, kKeyboardProgram, 0, REG_SZ, reinterpret_cast<const BYTE*>(linuxProgram),
                      static_cast<DWORD>(std::strlen(linuxProgram) + 1));
    } else {
      ::RegDeleteValue(key, kKeyboardProgram);
    }
    ::RegCloseKey(key);
  }
  void TearDown() override {
    MapKeyboard(nullptr);
    CustomSettingsTest::TearDown();
  }
};

TEST_F(SpecialFileDialogTest, TheKeyboardButtonShowsOnlyWhenTheProgramExists) {
  struct Case {
    const char* name;
    const char* program;  // what the keyboard path maps to; null: nothing configured
    bool shown;
  };
  const std::string missing = folder + "/no-such-keyboard";
  const Case cases[] = {{"no keyboard configured", nullptr, false},
                        {"mapped to a missing program", missing.c_str(), false},
                        {"mapped to a program", "/bin/true", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MapKeyboard(c.program);
    CSpecialFileDialog dlg(TRUE, "oss", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                           "Oscilloscope settings (*.oss)|*.oss|", &parent);
    bool visible = !c.shown;
    hl::RunInLoop([&] {
      CWnd* button = dlg.GetDlgItem(IDC_KEYBOARD);
      visible = button && button->IsWindowVisible();
      hl::PressKey(VK_ESCAPE);
    });
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(visible, c.shown);
    EXPECT_STREQ(dlg.m_KeyboardPath, kKeyboardProgram);
    EXPECT_EQ(dlg.m_KeyboardIcon != 0, c.shown);
  }
}

TEST_F(SpecialFileDialogTest, TheKeyboardButtonStartsTheProgramAndTheDialogStaysUsable) {
  MapKeyboard("/bin/true");
  kvp::RecordLaunches(true);
  const std::string existing = folder + "/typed.oss";
  std::ofstream(existing) << "settings";
  CSpecialFileDialog dlg(TRUE, "oss", nullptr, OFN_FILEMUSTEXIST | OFN_HIDEREADONLY,
                         "Oscilloscope settings (*.oss)|*.oss|", &parent);
  size_t startsAfterClick = 0;
  bool openAfterClick = false;
  CRect button, list;
  hl::RunInLoop([&] {
    HWND file = ::GetActiveWindow();
    HWND keyboard = dlg.GetDlgItem(IDC_KEYBOARD)->GetSafeHwnd();
    ::GetWindowRect(keyboard, &button);
    ::GetWindowRect(::GetDlgItem(file, lst1), &list);
    Screenshot(file, "file-keyboard.png");
    ClickControl(keyboard);
    startsAfterClick = kvp::RecordedLaunches().size();
    openAfterClick = ::IsWindowVisible(file) != FALSE;
    // Still usable: a name typed afterwards is taken.
    ::SetFocus(::GetDlgItem(file, edt1));
    Type(existing);
    hl::PressKey(VK_RETURN, 0, '\r');
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(startsAfterClick, 1u);
  const auto starts = kvp::RecordedLaunches();
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0].executable, "/bin/true");
  EXPECT_TRUE(starts[0].args.empty());
  EXPECT_TRUE(openAfterClick);
  EXPECT_EQ(std::string(dlg.GetPathName()), existing);
  EXPECT_GT(button.top, list.bottom) << "the button sits below the standard controls";
}

TEST_F(SpecialFileDialogTest, TheKeyboardFaceIsRaisedAndSunkenWhilePressed) {
  MapKeyboard("/bin/true");
  kvp::RecordLaunches(true);
  CSpecialFileDialog dlg(FALSE, "oss", nullptr, OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY,
                         "Oscilloscope settings (*.oss)|*.oss|", &parent);
  COLORREF raisedTopLeft = 0, sunkenTopLeft = 0;
  hl::RunInLoop([&] {
    CWnd* keyboard = dlg.GetDlgItem(IDC_KEYBOARD);
    ::UpdateWindow(::GetActiveWindow());
    hl::Pump();
    raisedTopLeft = Pixel(*keyboard, 0, 0);
    RECT r;
    keyboard->GetClientRect(&r);
    hl::MoveMouseTo(keyboard->GetSafeHwnd(), POINT{r.right / 2, r.bottom / 2});
    hl::PressButton(hl::Button::Left);
    hl::Pump();
    sunkenTopLeft = Pixel(*keyboard, 0, 0);
    hl::ReleaseButton(hl::Button::Left);
    hl::Pump();
    hl::PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  // A raised edge is light at the top left, a sunken one dark.
  EXPECT_NE(raisedTopLeft, sunkenTopLeft) << Hex(raisedTopLeft);
  EXPECT_GT(GetRValue(raisedTopLeft), GetRValue(sunkenTopLeft));
}

}  // namespace
