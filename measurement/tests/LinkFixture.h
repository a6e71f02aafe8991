// A started link on the board model of "zlinksim.dll", with the library loaded in-process and
// the virtual clock in charge of every time-out and poll delay.
#pragma once

#include "ComPort.h"
#include "Library.h"
#include "LinkTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <platform/clock.h>
#include <thread>

namespace kv310::testing {

class LinkFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    kvp::ClockUseVirtual(true);
    SetLinkLibrary("zlinksim.dll");
    SetSerialBlockSizeValue(-1);
    m_zlink = std::make_unique<ZlinkSimBoard>();
    Board().Reset();
    LibraryAttach();
    if (StartsLink()) {
      OpenLink();
      ASSERT_EQ(m_link->Start(), kStateIdle);
      Board().Reset();  // the test's first request is request 1
    }
  }

  void TearDown() override {
    CloseLink();
    LibraryDetach();
    m_zlink.reset();
    kvp::ClockUseVirtual(false);
  }

  virtual bool StartsLink() const { return true; }

  void OpenLink() {
    m_link = new CComPort();
    SetLink(m_link);
  }

  void CloseLink() {
    SetLink(nullptr);
    delete m_link;
    m_link = nullptr;
  }

  sim::BoardModel& Board() { return m_zlink->Board(); }

  // Runs `call` on another thread, for requests that wait while the test moves the clock.
  template <typename F>
  static auto InBackground(F call) {
    return std::async(std::launch::async, call);
  }

  template <typename T>
  static bool Ready(const std::future<T>& f) {
    return f.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
  }

  // Keeps advancing the clock in steps while the worker waits, until `f` is ready.
  template <typename T>
  static void AdvanceUntilReady(const std::future<T>& f, uint64_t stepMs) {
    while (!Ready(f)) {
      if (kvp::ClockTimedWaiters() > 0) {
        kvp::ClockAdvance(stepMs);
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
  }

  CComPort* m_link = nullptr;
  std::unique_ptr<ZlinkSimBoard> m_zlink;
};

}  // namespace kv310::testing
