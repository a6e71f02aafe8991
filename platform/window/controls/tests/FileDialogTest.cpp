// The file dialog driven only by injected keys and clicks in a temporary folder.
#include "ControlFixture.h"

#include <platform/filedialog.h>

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace hl = kvp::headless;
using namespace kvtest;

namespace {

constexpr const char* kFilter = "Scope files (*.osg; *.osc)|*.osg; *.osc|All files (*.*)|*.*||";

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kvfiledlg-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    for (const char* name : {"a.osg", "B.OSC", "c.txt"}) std::ofstream(folder + "/" + name) << "x";
    mkdir((folder + "/sub").c_str(), 0755);
    std::ofstream(folder + "/sub/inner.osg") << "x";
  }
  void TearDown() override {
    kvp::SetMessageBoxResponder(nullptr);
    std::remove((folder + "/sub/inner.osg").c_str());
    rmdir((folder + "/sub").c_str());
    for (const char* name : {"a.osg", "B.OSC", "c.txt"}) std::remove((folder + "/" + name).c_str());
    rmdir(folder.c_str());
  }

  static HWND Dialog() { return ::GetActiveWindow(); }
  static std::vector<std::string> ListItems() {
    HWND list = ::GetDlgItem(Dialog(), lst1);
    std::vector<std::string> out;
    const int n = static_cast<int>(::SendMessage(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      char text[256] = {};
      ::SendMessage(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
      out.push_back(text);
    }
    return out;
  }
  static void Type(const char* text) {
    for (const char* p = text; *p; ++p) hl::PressKey('A', 0, *p);
  }
  static void DoubleClickItem(int index) {
    HWND list = ::GetDlgItem(Dialog(), lst1);
    const int h = static_cast<int>(::SendMessage(list, LB_GETITEMHEIGHT, 0, 0));
    const POINT at{10, 2 + index * h + h / 2};
    hl::Click(list, at);
    hl::Click(list, at);
  }

  kvp::HeadlessWorld world;
  std::string folder;
};

TEST_F(FileDialogTest, FilterListsFoldersFirstThenMatchingFilesAndEscapeCancels) {
  CFileDialog dlg(TRUE, "osg", nullptr, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST, kFilter);
  dlg.m_ofn.lpstrInitialDir = folder.c_str();
  bool checked = false;
  hl::RunInLoop([&] {
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"[sub]", "a.osg", "B.OSC"}));
    EXPECT_EQ(::GetDlgItem(Dialog(), chx1), 0u);  // OFN_HIDEREADONLY: no read-only box at all
    EXPECT_EQ(::GetFocus(), ::GetDlgItem(Dialog(), edt1));
    ::UpdateWindow(Dialog());
    hl::Pump();
    EXPECT_TRUE(kvp::SaveWindowPng(Dialog(), ScreenshotPath("file-open.png").c_str()));
    // The other type lists everything.
    ::SetFocus(::GetDlgItem(Dialog(), cmb1));
    hl::PressKey(VK_DOWN);
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"[sub]", "a.osg", "B.OSC", "c.txt"}));
    // A typed pattern becomes the filter.
    ::SetFocus(::GetDlgItem(Dialog(), edt1));
    Type("*.TXT");
    hl::PressKey(VK_RETURN, 0, '\r');
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"[sub]", "c.txt"}));
    checked = true;
    hl::PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(checked);
}

TEST_F(FileDialogTest, SaveAddsTheDefaultExtensionAndAsksBeforeReplacing) {
  {
    CFileDialog dlg(FALSE, "osg", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter);
    dlg.m_ofn.lpstrInitialDir = folder.c_str();
    hl::RunInLoop([&] {
      Type("new");
      hl::PressKey(VK_RETURN, 0, '\r');
    });
    ASSERT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(std::string(dlg.GetPathName()), folder + "/new.osg");
    EXPECT_EQ(std::string(dlg.GetFileName()), "new.osg");
    EXPECT_EQ(std::string(dlg.GetFileTitle()), "new");
    EXPECT_EQ(std::string(dlg.GetFileExt()), "osg");
  }
  // An existing name: No keeps the dialog, Yes takes the name.
  std::vector<std::string> prompts;
  int answers = 0;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    prompts.push_back(call.text);
    if (answers++ == 0) {
      // The picture for people: the dialog with its prompt over it.
      RECT d, b;
      ::UpdateWindow(call.box);
      hl::Pump();
      ::GetWindowRect(::GetWindow(call.box, GW_OWNER), &d);
      ::GetWindowRect(call.box, &b);
      cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, d.right - d.left, d.bottom - d.top);
      cairo_t* cr = cairo_create(out);
      cairo_set_source_surface(cr, kvp::WindowSurface(::GetWindow(call.box, GW_OWNER)), 0, 0);
      cairo_paint(cr);
      cairo_set_source_surface(cr, kvp::WindowSurface(call.box), b.left - d.left, b.top - d.top);
      cairo_paint(cr);
      cairo_destroy(cr);
      cairo_surface_write_to_png(out, ScreenshotPath("file-save-overwrite.png").c_str());
      cairo_surface_destroy(out);
      return IDNO;
    }
    return IDYES;
  });
  CFileDialog dlg(FALSE, "osg", nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kFilter);
  dlg.m_ofn.lpstrInitialDir = folder.c_str();
  bool stayed = false;
  hl::RunInLoop([&] {
    Type("a");
    hl::PressKey(VK_RETURN, 0, '\r');
    stayed = ::IsWindowVisible(Dialog()) && prompts.size() == 1;
    hl::PressKey(VK_RETURN, 0, '\r');
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(stayed);
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_EQ(prompts[0], "a.osg already exists.\nDo you want to replace it?");
  EXPECT_EQ(std::string(dlg.GetPathName()), folder + "/a.osg");
}

TEST_F(FileDialogTest, OpenOfAMissingFileShowsTheBoxAndStays) {
  std::vector<std::string> boxes;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    boxes.push_back(call.text);
    return IDOK;
  });
  OPENFILENAME ofn{};
  char file[MAX_PATH] = {};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = "Scope files\0*.osg;*.osc\0\0";
  ofn.lpstrFile = file;
  ofn.nMaxFile = sizeof file;
  ofn.lpstrInitialDir = folder.c_str();
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
  ofn.lpstrDefExt = "osg";
  bool stayed = false;
  hl::RunInLoop([&] {
    Type("missing");
    hl::PressKey(VK_RETURN, 0, '\r');
    stayed = ::IsWindowVisible(Dialog()) != FALSE;
    ::SetDlgItemText(Dialog(), edt1, "");
    ::SetFocus(::GetDlgItem(Dialog(), edt1));
    Type("a");
    hl::PressKey(VK_RETURN, 0, '\r');
  });
  ASSERT_TRUE(GetOpenFileName(&ofn));
  EXPECT_TRUE(stayed);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "missing.osg\nFile not found.");
  EXPECT_EQ(std::string(file), folder + "/a.osg");
  EXPECT_EQ(ofn.nFileOffset, folder.size() + 1);
}

TEST_F(FileDialogTest, DoubleClickIntoAFolderAndUpBack) {
  CFileDialog dlg(TRUE, "osg", nullptr, OFN_HIDEREADONLY, kFilter);
  dlg.m_ofn.lpstrInitialDir = folder.c_str();
  bool checked = false;
  hl::RunInLoop([&] {
    DoubleClickItem(0);
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"inner.osg"}));
    char shown[512] = {};
    ::GetWindowText(::GetDlgItem(Dialog(), cmb2), shown, sizeof shown);
    EXPECT_EQ(std::string(shown), folder + "/sub");
    hl::Click(::GetDlgItem(Dialog(), psh1 + 0x20), POINT{5, 5});
    EXPECT_EQ(ListItems(), (std::vector<std::string>{"[sub]", "a.osg", "B.OSC"}));
    // Double-clicking a file opens it.
    checked = true;
    DoubleClickItem(1);
  });
  ASSERT_EQ(dlg.DoModal(), IDOK);
  EXPECT_TRUE(checked);
  EXPECT_EQ(std::string(dlg.GetPathName()), folder + "/a.osg");
}

// An extension template like the program's: an owner-drawn button the derived class shows, draws
// and, when clicked, starts a program while the dialog stays open.
constexpr int kIdExtension = 169;
constexpr int kIdStart = 1200;
const kvp::DialogTemplate kExtension{
    WS_CHILD | DS_CONTROL | DS_SETFONT | WS_CLIPSIBLINGS, 0, 0, 0, 340, 190, "", nullptr, "MS Shell Dlg", 8,
    {{WC_STATIC, "", stc32, SS_LEFT, 0, 0, 0, 280, 170},
     {WC_BUTTON, "Keyboard", kIdStart, BS_OWNERDRAW, 0, 286, 20, 48, 40}}};

class ExtendedFileDialog : public CFileDialog {
 public:
  using CFileDialog::CFileDialog;
  int draws = 0;
  std::vector<std::string> started;
  bool initSawButton = false;
  BOOL OnInitDialog() override {
    CFileDialog::OnInitDialog();
    initSawButton = GetDlgItem(kIdStart) != nullptr && GetParent() && ::GetDlgItem(GetParent()->m_hWnd, lst1);
    GetDlgItem(kIdStart)->ShowWindow(SW_SHOW);
    return TRUE;
  }
  void OnDrawItem(int id, LPDRAWITEMSTRUCT dis) override {
    if (id != kIdStart) return CFileDialog::OnDrawItem(id, dis);
    ++draws;
    CBrush brush(RGB(0, 128, 255));
    ::FillRect(dis->hDC, &dis->rcItem, static_cast<HBRUSH>(brush.m_hObject));
  }
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    if (LOWORD(wParam) == kIdStart && HIWORD(wParam) == BN_CLICKED) {
      started.push_back("osk");  // the program's launcher would start the on-screen keyboard here
      return TRUE;
    }
    return CFileDialog::OnCommand(wParam, lParam);
  }
};

TEST_F(FileDialogTest, ExtensionTemplateControlsReachTheDerivedClass) {
  static struct Registered {
    Registered() { kvp::RegisterDialogTemplate(0, kIdExtension, &kExtension); }
  } registered;
  ExtendedFileDialog dlg(TRUE, "osg", nullptr, OFN_HIDEREADONLY | OFN_ENABLETEMPLATE, kFilter);
  dlg.m_ofn.hInstance = 0;
  dlg.m_ofn.lpTemplateName = MAKEINTRESOURCE(kIdExtension);
  dlg.m_ofn.lpstrInitialDir = folder.c_str();
  bool checked = false;
  hl::RunInLoop([&] {
    EXPECT_TRUE(dlg.initSawButton);
    HWND button = dlg.GetDlgItem(kIdStart)->m_hWnd;
    ::UpdateWindow(Dialog());
    hl::Pump();
    EXPECT_GT(dlg.draws, 0);
    EXPECT_TRUE(kvp::SaveWindowPng(Dialog(), ScreenshotPath("file-open-extension.png").c_str()));
    // The standard controls fill the placeholder; the button keeps its place to the right.
    RECT list, start;
    ::GetWindowRect(::GetDlgItem(Dialog(), lst1), &list);
    ::GetWindowRect(button, &start);
    EXPECT_LT(list.right, start.left);
    hl::Click(button, POINT{5, 5});
    EXPECT_EQ(dlg.started, (std::vector<std::string>{"osk"}));
    EXPECT_TRUE(::IsWindowVisible(Dialog()));
    checked = true;
    hl::PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_TRUE(checked);
  EXPECT_EQ(dlg.m_hWnd, 0u);
}

}  // namespace
