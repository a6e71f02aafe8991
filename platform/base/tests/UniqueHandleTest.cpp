// The handle owners: what they hold is closed exactly once, when they end, are reset or are
// moved over; a handle given up with release stays open.
#include <platform/registry.h>
#include <platform/sync.h>
#include <platform/unique.h>

#include <gtest/gtest.h>

#include <utility>

namespace {

bool IsOpen(HANDLE h) { return WaitForSingleObject(h, 0) != WAIT_FAILED; }

TEST(UniqueHandle, ClosesWhatItHoldsOnce) {
  HANDLE a = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  HANDLE b = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  {
    kvp::UniqueHandle first(a);
    kvp::UniqueHandle second(b);
    second = std::move(first);  // b closed, a now held by second
    EXPECT_FALSE(IsOpen(b));
    EXPECT_TRUE(IsOpen(a));
    EXPECT_FALSE(first);
  }
  EXPECT_FALSE(IsOpen(a));

  kvp::UniqueHandle kept(CreateEvent(nullptr, TRUE, FALSE, nullptr));
  const HANDLE given = kept.release();
  EXPECT_FALSE(kept);
  EXPECT_TRUE(IsOpen(given));
  CloseHandle(given);

  // The failure value of file opens counts as empty.
  kvp::UniqueHandle failed(INVALID_HANDLE_VALUE);
  EXPECT_FALSE(failed);
}

TEST(UniqueHKey, OpenedThroughPutAndClosedAtTheEnd) {
  HKEY raw = 0;
  {
    kvp::UniqueHKey key;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, "Software\\UniqueHKeyTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                             key.put(), nullptr),
              ERROR_SUCCESS);
    raw = key.get();
    EXPECT_NE(raw, 0u);
  }
  const DWORD v = 1;
  EXPECT_NE(RegSetValueEx(raw, "x", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v), ERROR_SUCCESS)
      << "the key was closed";
}

}  // namespace
