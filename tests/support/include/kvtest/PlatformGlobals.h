// One reset for the platform's process-wide state that tests change: a test that changes any of it
// derives its fixture from PlatformTest (or VirtualClockTest) instead of undoing it by hand.
//
// What an owner object sets is left to that owner: a HeadlessWorld owns the clock while its
// display is open, a SoundRecording the sound sink, a capture its debug sink.
#pragma once

#include <gtest/gtest.h>

namespace kvtest {

// No message-box responder, the Windows-1252 code page, and the real clock unless a display is
// open.
void ResetPlatformGlobals();

// A fixture that runs a reset before and after every test.
template <void (*Reset)()>
class ResetAroundEachTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
};

using PlatformTest = ResetAroundEachTest<&ResetPlatformGlobals>;

// As PlatformTest, on the virtual clock; the clock is real again after the test.
class VirtualClockTest : public PlatformTest {
 protected:
  void SetUp() override;
};

}  // namespace kvtest
