// The message box window: its buttons, keys, owner and log.
#include "Probe.h"

#include <gtest/gtest.h>

#include <kvtest/PlatformGlobals.h>
#include <kvtest/Screenshots.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace hl = kvp::headless;

namespace {

struct BoxCase {
  const char* name;
  UINT type;
  UINT key;
  int expected;  // IDNO below for a key that must not answer the box (the test answers it then)
};

// Each test installs its own responder; the fixture takes it out again.
class BoxKeys : public kvtest::PlatformTest, public ::testing::WithParamInterface<BoxCase> {};
class MessageBoxes : public kvtest::PlatformTest {};

TEST_P(BoxKeys, AnswerAsTheButtonsSay) {
  const BoxCase& c = GetParam();
  kvp::HeadlessWorld world;
  kvtest::Probe owner;
  owner.CreateTop(CRect(0, 0, 500, 400));
  bool ownerWasDisabled = false;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    ownerWasDisabled = !owner.IsWindowEnabled();
    hl::PressKey(c.key);
    return IsWindow(call.box) ? IDNO : 0;
  });
  int result = ::MessageBox(owner.m_hWnd, "Do you really want to quit the application?", "Dravix Scope", c.type);
  EXPECT_EQ(result, c.expected);
  EXPECT_TRUE(ownerWasDisabled);
  EXPECT_TRUE(owner.IsWindowEnabled());
  auto log = kvp::MessageBoxLog();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(log[0].caption, "Dravix Scope");
  EXPECT_EQ(log[0].type, c.type);
  EXPECT_EQ(log[0].box, 0u);  // closed
  EXPECT_EQ(log[0].result, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, BoxKeys,
    ::testing::Values(BoxCase{"OkEnter", MB_OK | MB_ICONINFORMATION, VK_RETURN, IDOK},
                      BoxCase{"OkEscape", MB_OK | MB_ICONERROR, VK_ESCAPE, IDOK},
                      BoxCase{"YesNoEnterIsYes", MB_YESNO | MB_ICONQUESTION, VK_RETURN, IDYES},
                      BoxCase{"YesNoEscapeDoesNotAnswer", MB_YESNO | MB_ICONEXCLAMATION, VK_ESCAPE, IDNO},
                      BoxCase{"TopmostWarning", MB_OK | MB_ICONWARNING | MB_TOPMOST, VK_SPACE, IDOK}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MessageBoxes, WithoutResponderHeadlessTakesTheDefaultButtonAndTheBoxIsDrawn) {
  kvp::HeadlessWorld world;
  HWND seenBox = 0;
  COLORREF face = 0;
  kvp::SetMessageBoxResponder([&](const kvp::MessageBoxCall& call) {
    seenBox = call.box;
    hl::Pump();
    face = kvp::WindowPixel(call.box, 2, 2);
    EXPECT_TRUE(kvp::SaveWindowPng(call.box, kvtest::ScreenshotPath("message_box").c_str()));
    HWND box = call.box;
    hl::RunInLoop([box] { kvp::AnswerMessageBox(box, IDNO); });  // answered later, from the loop
    return 0;
  });
  EXPECT_EQ(::MessageBox(0, "Remove?", nullptr, MB_YESNO | MB_ICONQUESTION), IDNO);
  EXPECT_EQ(face, GetSysColor(COLOR_3DFACE));
  EXPECT_FALSE(kvp::AnswerMessageBox(seenBox, IDYES));  // closed boxes take no answer

  kvp::SetMessageBoxResponder(nullptr);
  EXPECT_EQ(::MessageBox(0, "Remove?", "Q", MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(::MessageBox(0, "Done", "Q", MB_OK), IDOK);
}

}  // namespace

namespace {

// KV_MESSAGEBOX_LOG: one line per answered box, on the display and without one.
TEST_F(MessageBoxes, LogFileGetsOneLinePerBox) {
  const std::string path = ::testing::TempDir() + "kv_boxes_" + std::to_string(getpid()) + ".log";
  std::remove(path.c_str());
  setenv("KV_MESSAGEBOX_LOG", path.c_str(), 1);
  {
    kvp::HeadlessWorld world;
    kvp::SetMessageBoxResponder([](const kvp::MessageBoxCall&) { return IDNO; });
    ::MessageBox(0, "Do you really want\nto quit?", "Dravix Scope", MB_YESNO | MB_ICONQUESTION);
    kvp::SetMessageBoxResponder(nullptr);
    ::MessageBox(0, "Path C:\\KV310\tdone", "KV310 Error", MB_OK | MB_ICONERROR);
  }
  ::MessageBox(0, "No display", "Note", MB_YESNO);  // answered with its default button
  unsetenv("KV_MESSAGEBOX_LOG");
  ::MessageBox(0, "not logged", "Note", MB_OK);
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  EXPECT_EQ(lines, (std::vector<std::string>{"Dravix Scope\tDo you really want\\nto quit?\tNo",
                                             "KV310 Error\tPath C:\\\\KV310\\tdone\tOK", "Note\tNo display\tYes"}));
  std::remove(path.c_str());
}

}  // namespace
