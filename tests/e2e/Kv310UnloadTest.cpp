// The measurement library unloaded right after a failed Open: its link worker may make its first
// waits while the unload joins it, under the dynamic loader's lock. Many rounds in one process,
// since the moment is a matter of scheduling.
#include <gtest/gtest.h>

#include <kv310/Interfaces.h>
#include <kv310/Kv310.h>
#include <kv310/ResultCodes.h>
#include <platform/module.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <thread>

namespace {

TEST(Kv310Unload, AfterAFailedOpenNeverDeadlocks) {
  // No link library is named in this test's registry, so every Open fails.
  std::packaged_task<void()> rounds([] {
    for (int round = 0; round < 300; ++round) {
      HMODULE module = LoadLibrary("Kv310.dll");
      ASSERT_NE(module, 0u);
      auto query = reinterpret_cast<Kv310QueryInterfaceProc>(
          reinterpret_cast<void (*)()>(GetProcAddress(module, "QueryInterface")));
      ASSERT_NE(query, nullptr);
      void* object = nullptr;
      ASSERT_EQ(query(kv310::kCommunication, &object), 1);
      EXPECT_EQ(static_cast<ICommunication_1*>(object)->Open(), kv310::kOpenFailed);
      ASSERT_TRUE(FreeLibrary(module));
    }
  });
  std::future<void> done = rounds.get_future();
  std::thread(std::move(rounds)).detach();
  if (done.wait_for(std::chrono::minutes(2)) != std::future_status::ready) {
    // Stuck in the loader: end the process now rather than hang the suite.
    std::fprintf(stderr, "unloading Kv310 after a failed Open deadlocked\n");
    _exit(1);
  }
}

}  // namespace
