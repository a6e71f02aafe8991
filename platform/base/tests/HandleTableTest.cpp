// The table itself is compiled into this test (its symbols stay inside the library); handles of
// the library are reached through the public calls.
#include "base/HandleTable.h"

#include <platform/sync.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

struct Plain : kvp::KernelObject {};
struct Other : kvp::KernelObject {};

TEST(HandleTable, HandlesAreNonZero32BitValuesWithTopBitClear) {
  kvp::HandleTable table;
  std::set<HANDLE> seen;
  for (int i = 0; i < 1000; ++i) {
    HANDLE h = table.Insert(std::make_shared<Plain>());
    ASSERT_NE(h, 0u);
    ASSERT_EQ(h & 0x80000000u, 0u) << "collides with predefined keys and pseudo handles";
    ASSERT_TRUE(seen.insert(h).second);
  }
  EXPECT_EQ(table.Count(), 1000u);
}

TEST(HandleTable, StaleHandlesFailAfterTheirSlotsAreReused) {
  kvp::HandleTable table;
  std::vector<HANDLE> old;
  for (int i = 0; i < 200; ++i) old.push_back(table.Insert(std::make_shared<Plain>()));
  for (HANDLE h : old) ASSERT_NE(table.Remove(h), nullptr);
  // Enough new objects to reuse every freed slot.
  std::vector<HANDLE> fresh;
  for (int i = 0; i < 400; ++i) fresh.push_back(table.Insert(std::make_shared<Plain>()));
  for (HANDLE h : old) {
    EXPECT_EQ(table.Get(h), nullptr);
    EXPECT_EQ(table.Remove(h), nullptr);
  }
  for (HANDLE h : fresh) EXPECT_NE(table.Get(h), nullptr);
  EXPECT_EQ(table.Count(), 400u);
}

TEST(HandleTable, LookupChecksTheKind) {
  kvp::HandleTable table;
  HANDLE h = table.Insert(std::make_shared<Plain>());
  EXPECT_NE(table.GetAs<Plain>(h), nullptr);
  EXPECT_EQ(table.GetAs<Other>(h), nullptr);
}

TEST(HandleTable, ConcurrentUseKeepsEveryHandleDistinct) {
  kvp::HandleTable table;
  constexpr int kThreads = 4, kRounds = 2000;
  std::vector<std::vector<HANDLE>> kept(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        HANDLE h = table.Insert(std::make_shared<Plain>());
        if (i % 2)
          kept[t].push_back(h);
        else
          table.Remove(h);
      }
    });
  for (auto& th : threads) th.join();
  std::set<HANDLE> all;
  for (auto& v : kept)
    for (HANDLE h : v) {
      EXPECT_NE(table.Get(h), nullptr);
      EXPECT_TRUE(all.insert(h).second);
    }
  EXPECT_EQ(table.Count(), all.size());
}

TEST(CloseHandle, FailsCleanlyOnAnythingButAnOpenHandle) {
  HANDLE closed = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(CloseHandle(closed));
  const struct {
    const char* what;
    HANDLE h;
  } cases[] = {
      {"closed", closed},
      {"zero", 0},
      {"INVALID_HANDLE_VALUE", INVALID_HANDLE_VALUE},
      {"never given out", 0x7FF12345u},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(c.h)) << c.what;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE)) << c.what;
  }
}

TEST(LastError, IsKeptPerThread) {
  SetLastError(ERROR_ACCESS_DENIED);
  DWORD seenByOther = 1;
  std::thread([&] {
    seenByOther = GetLastError();
    SetLastError(ERROR_TIMEOUT);
  }).join();
  EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

}  // namespace
