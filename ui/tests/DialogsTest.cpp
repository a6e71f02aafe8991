// The program's own small dialogs: the about box, the engine-test notice and its registry value,
// the probe message with its geometry from the parent and its OK that checks again, and the
// comment editor that keeps the old text on cancel. Each runs modally on the headless display;
// the test acts from inside the modal loop.
#include <gtest/gtest.h>

#include "UiTest.h"

#include <ui/dialogs/AboutDlg.h>
#include <ui/dialogs/CommentDlg.h>
#include <ui/dialogs/DialogResources.h>
#include <ui/dialogs/DlgTurnOn.h>
#include <ui/dialogs/MessageDlg.h>

#include <core/Reg.h>

#include <kvtest/CoreGlobals.h>

#include <platform/registry.h>

#include <filesystem>

using namespace uitest;

namespace {

class DialogTest : public kvtest::CoreTest {
 protected:
  kvp::HeadlessWorld world;
  Host parent;
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    ASSERT_TRUE(parent.CreateTop(50, 40, 800, 600));
    hl::Pump();
  }
};

CRect RelativeTo(HWND window, const CWnd& origin) {
  CRect r, o;
  ::GetWindowRect(window, &r);
  origin.GetWindowRect(&o);
  r.OffsetRect(-o.left, -o.top);
  return r;
}

POINT Centre(HWND w) {
  RECT r;
  ::GetClientRect(w, &r);
  return POINT{r.right / 2, r.bottom / 2};
}

void Screenshot(HWND w, const char* name) {
  std::filesystem::create_directories(KV_SCREENSHOT_DIR);
  hl::Pump();  // the pending paints first
  EXPECT_TRUE(kvp::SaveWindowPng(w, ScreenshotPath(name).c_str())) << name;
}

// ---- CMessageDlg -----------------------------------------------------------------------------

TEST_F(DialogTest, MessageSitsOnItsParentAndItsOkFollowsTheProbeCheck) {
  struct Case {
    const char* name;
    BOOL probesThere;
    INT_PTR result;
  };
  const Case cases[] = {{"probes connected now", TRUE, IDOK}, {"still missing", FALSE, IDCANCEL}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMessageDlg dlg(&parent);
    int checks = 0;
    dlg.SetProbeCheck([&] {
      ++checks;
      return c.probesThere;
    });
    CRect placed;
    hl::RunInLoop([&] {
      placed = RelativeTo(dlg.GetSafeHwnd(), parent);
      Screenshot(dlg.GetSafeHwnd(), "message-open.png");
      EXPECT_EQ(checks, 0) << "nothing is checked before OK";
      hl::Click(dlg.m_BtnOK.GetSafeHwnd(), Centre(dlg.m_BtnOK.GetSafeHwnd()));
    });
    EXPECT_EQ(dlg.DoModal(), c.result);
    EXPECT_EQ(checks, 1);
    EXPECT_EQ(placed, CRect(200, 180, 600, 420));
  }
}

TEST_F(DialogTest, MessageButtonSizesFollowTheClient) {
  CMessageDlg dlg(&parent);
  dlg.SetProbeCheck([] { return TRUE; });
  CRect button;
  hl::RunInLoop([&] {
    button = RelativeTo(dlg.m_BtnOK.GetSafeHwnd(), dlg);
    dlg.EndDialog(IDCANCEL);
  });
  dlg.DoModal();
  // Client 400 x 240: width int(400 / 3.8) = 105 centred, top 240 - 20 - 40, height 40.
  EXPECT_EQ(button, CRect(200 - 52, 180, 200 - 52 + 105, 220));
}

TEST_F(DialogTest, MessageWithoutAParentSitsOnTheScreen) {
  CMessageDlg dlg;
  dlg.SetProbeCheck([] { return TRUE; });
  CRect placed;
  hl::RunInLoop([&] {
    ::GetWindowRect(dlg.GetSafeHwnd(), &placed);
    dlg.EndDialog(IDCANCEL);
  });
  dlg.DoModal();
  // The 1024 x 768 headless screen.
  EXPECT_EQ(placed, CRect(512 - 256, 384 - 153, 512 - 256 + 512, 384 - 153 + 307));
}

// ---- CDlgTurnOn ------------------------------------------------------------------------------

int ReadShowMessage(DWORD& value) {
  return CReg().ReadDword(HKEY_CURRENT_USER, CDlgTurnOn::kBehaviourKey, CDlgTurnOn::kShowMessage, value);
}

TEST_F(DialogTest, NoticeWritesShowMessageOnlyWhenTheBoxIsTicked) {
  struct Case {
    const char* name;
    int check;  // BST_ state before OK; -1: ticked by a click
    bool writes;
  };
  const Case cases[] = {{"left unchecked", BST_UNCHECKED, false},
                        {"ticked by a click", -1, true},
                        {"indeterminate", BST_INDETERMINATE, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HKEY key = 0;
    if (::RegOpenKeyEx(HKEY_CURRENT_USER, CDlgTurnOn::kBehaviourKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
      ::RegDeleteValue(key, CDlgTurnOn::kShowMessage);
      ::RegCloseKey(key);
    }
    CDlgTurnOn dlg(&parent);
    CString text, check;
    hl::RunInLoop([&] {
      dlg.GetDlgItemText(ui_dialogs::IDC_TURNON_TEXT, text);
      dlg.m_Check.GetWindowText(check);
      if (c.check < 0) {
        hl::Click(dlg.m_Check.GetSafeHwnd(), POINT{4, 4});
      } else {
        dlg.m_Check.SetCheck(c.check);
      }
      Screenshot(dlg.GetSafeHwnd(), "notice-open.png");
      HWND ok = ::GetDlgItem(dlg.GetSafeHwnd(), IDOK);
      hl::Click(ok, Centre(ok));
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_STREQ(text, "NOTICE\nThe engine muss not start up.\nYou should disable fuel supply etc..");
    EXPECT_STREQ(check, "Don\xB4t show this dialog next time.");
    DWORD value = 7;
    EXPECT_EQ(ReadShowMessage(value) == CReg::OK, c.writes);
    if (c.writes) {
      EXPECT_EQ(value, 0u);
    }
  }
}

// ---- CCommentDlg -----------------------------------------------------------------------------

TEST_F(DialogTest, CommentIsTakenOnOkAndKeptOnCancel) {
  struct Case {
    const char* name;
    int button;  // CCommentDlg id, or -1 for Escape
    INT_PTR result;
    const char* comment;
  };
  const Case cases[] = {{"OK takes the edit", CCommentDlg::ID_OK, IDOK, "old text!"},
                        {"Cancel keeps the old text", CCommentDlg::ID_CANCEL, IDCANCEL, "old text"},
                        {"Escape keeps the old text", -1, IDCANCEL, "old text"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CCommentDlg dlg(&parent);
    dlg.comment = "old text";
    CRect placed, edit;
    hl::RunInLoop([&] {
      placed = RelativeTo(dlg.GetSafeHwnd(), parent);
      edit = RelativeTo(::GetDlgItem(dlg.GetSafeHwnd(), ui_dialogs::IDC_COMMENT_EDIT), dlg);
      ::SetFocus(::GetDlgItem(dlg.GetSafeHwnd(), ui_dialogs::IDC_COMMENT_EDIT));
      ::SendDlgItemMessage(dlg.GetSafeHwnd(), ui_dialogs::IDC_COMMENT_EDIT, EM_SETSEL, 8, 8);
      hl::PressKey('1', 0, '!');
      Screenshot(dlg.GetSafeHwnd(), "comment-open.png");
      if (c.button < 0) {
        hl::PressKey(VK_ESCAPE);
      } else {
        CXPCtrlBtn& b = c.button == CCommentDlg::ID_OK ? dlg.m_BtnOK : dlg.m_BtnCancel;
        hl::Click(b.GetSafeHwnd(), Centre(b.GetSafeHwnd()));
      }
    });
    EXPECT_EQ(dlg.DoModal(), c.result);
    EXPECT_STREQ(dlg.comment, c.comment);
    EXPECT_EQ(placed, CRect(400 - 190, 300 - 90, 400 + 190, 300 + 100));
    EXPECT_EQ(edit, CRect(10, 40, 360, 140));
  }
}

// ---- CAboutDlg -------------------------------------------------------------------------------

TEST_F(DialogTest, AboutShowsTheProgramAndClosesWithOk) {
  CAboutDlg dlg(&parent);
  CString caption;
  hl::RunInLoop([&] {
    dlg.GetWindowText(caption);
    Screenshot(dlg.GetSafeHwnd(), "about-open.png");
    hl::PressKey(VK_RETURN);
  });
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_STREQ(caption, "About Dravix\xAE Scope ...");
}

}  // namespace
