// The message box window: its buttons, keys, owner and log.
#include "Probe.h"

#include <gtest/gtest.h>

#include <kvtest/PlatformGlobals.h>
#include <kvtest/Screenshots.h>

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
