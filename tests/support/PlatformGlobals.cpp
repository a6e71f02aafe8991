#include <kvtest/PlatformGlobals.h>

#include <platform/clock.h>
#include <platform/codepage.h>
#include <platform/display.h>
#include <platform/gdi_surface.h>
#include <platform/wholefile.h>

namespace kvtest {

void ResetPlatformGlobals() {
  kvp::SetMessageBoxResponder(nullptr);
  kvp::SetActiveCodePage(1252);
  kvp::testing::FailReplaceFileWritesAfter(-1);
  kvp::SetFarPointCutting(true);
  kvp::SetDirectLineFill(true);
  if (!kvp::DisplayIsOpen()) kvp::ClockUseVirtual(false);
}

void VirtualClockTest::SetUp() {
  PlatformTest::SetUp();
  kvp::ClockUseVirtual(true);
}

}  // namespace kvtest
