// Several threads using the one link at once, as the program's GUI timers, acquisition thread
// and engine-tester workers do. Run under ThreadSanitizer as well.
#include "CommandSet.h"
#include "LinkFixture.h"

#include <algorithm>
#include <kv310/ResultCodes.h>
#include <thread>
#include <vector>

namespace kv310::testing {
namespace {

using sim::Bytes;

constexpr int kThreads = 3;
constexpr int kRounds = 200;

class ConcurrentRequestsTest : public LinkFixture {};

TEST_F(ConcurrentRequestsTest, EveryCallerGetsItsOwnReply) {
  Board().Update([](sim::BoardScenario& s) { s.engineTesterAttached = true; });
  // Each thread asks for a different number of inputs; a reply meant for another thread would
  // carry another count and be refused, or carry other probes.
  const uint8_t inputs[3][3] = {{4}, {9, 8}, {0, 2, 5}};
  const int kinds[3][3] = {{11}, {13, 7}, {1, 2, 6}};
  std::vector<int> failures(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        ProbeDescriptor probes[3] = {};
        const int count = t + 1;
        if (QueryProbes(inputs[t], count, probes) != kOk) {
          ++failures[t];
          continue;
        }
        for (int i = 0; i < count; ++i) failures[t] += probes[i].kind != kinds[t][i];
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[t], 0) << "thread " << t;
  EXPECT_EQ(Board().CountRequests(0xC2), static_cast<size_t>(kThreads * kRounds));
}

TEST_F(ConcurrentRequestsTest, SimultaneousSendsNeverShareTheTransmitBuffer) {
  // Plain Send calls without the operation lock: each must still go out as its own frame.
  std::vector<Bytes> sent;
  for (int t = 0; t < kThreads; ++t) {
    for (int round = 0; round < kRounds; ++round) {
      sent.push_back({0x02, 0x02, static_cast<uint8_t>(t), static_cast<uint8_t>(round), static_cast<uint8_t>(round >> 8)});
    }
  }
  std::vector<std::thread> threads;
  std::vector<int> refused(kThreads, 0);
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        const Bytes& payload = sent[static_cast<size_t>(t * kRounds + round)];
        if (m_link->Send(payload.data(), static_cast<int>(payload.size()), 0) != static_cast<int>(payload.size())) {
          ++refused[t];
        }
        m_link->WaitIdle();
        uint8_t reply[8];
        m_link->Receive(reply, sizeof reply, 0);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(refused[t], 0);
  EXPECT_EQ(Board().Link().badFrames, 0);
  std::vector<Bytes> logged = Board().RequestPayloads();
  std::sort(logged.begin(), logged.end());
  std::sort(sent.begin(), sent.end());
  EXPECT_EQ(logged, sent) << "every payload went out once, whole";
  EXPECT_EQ(m_link->GetState(), kStateIdle);
}

}  // namespace
}  // namespace kv310::testing
