// The tray object of the USB link: a notification thread that Shutdown has to abandon keeps the
// object, its events and its window class until it has ended.
#include "../src/TrayNotify.h"

#include <platform/window.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using kvlink::usb::ClearTrayNotify;
using kvlink::usb::CTrayNotify;

std::promise<void> gEntered;
std::promise<void> gRelease;

LRESULT StuckHandler(WPARAM, LPARAM) {
  gEntered.set_value();
  gRelease.get_future().wait();
  return 1;
}

TEST(TrayNotify, AnAbandonedThreadKeepsItsObjectUntilItEnds) {
  std::weak_ptr<CTrayNotify> weak;
  {
    const std::shared_ptr<CTrayNotify> tray = CTrayNotify::Make();
    ASSERT_TRUE(tray->Create());
    tray->RegisterFilter(&GUID_DEVINTERFACE_USB_DEVICE, StuckHandler);
    ASSERT_TRUE(PostMessage(tray->Window(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, 0));
    gEntered.get_future().wait();
    tray->Shutdown();  // waits its bound, then abandons the stuck thread
    ClearTrayNotify();
    weak = tray;
  }
  EXPECT_FALSE(weak.expired()) << "the abandoned thread still uses its object";
  gRelease.set_value();
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!weak.expired() && std::chrono::steady_clock::now() < limit)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(weak.expired()) << "the thread let go of its object when it ended";

  // Everything it held is given back: the next tray object starts.
  const std::shared_ptr<CTrayNotify> next = CTrayNotify::Make();
  EXPECT_TRUE(next->Create());
  EXPECT_TRUE(next->Shutdown());
  ClearTrayNotify();
}

}  // namespace
