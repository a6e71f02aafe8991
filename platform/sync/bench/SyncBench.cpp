// Round trips of an event ping-pong between two threads: the floor under every request the
// program makes of the board (a worker signals, the link thread answers through an event).
#include <platform/sync.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <thread>

namespace {

// The partner answers every ping with a pong; with waitAny it waits like the link threads do,
// on [stop event, data event].
void PingPong(benchmark::State& state, bool waitAny) {
  HANDLE ping = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  HANDLE pong = CreateEvent(nullptr, FALSE, FALSE, nullptr);
  HANDLE stop = CreateEvent(nullptr, TRUE, FALSE, nullptr);
  std::thread partner([&] {
    HANDLE wait[2] = {stop, ping};
    for (;;) {
      if (waitAny) {
        if (WaitForMultipleObjects(2, wait, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) break;
      } else {
        WaitForSingleObject(ping, INFINITE);
        if (WaitForSingleObject(stop, 0) == WAIT_OBJECT_0) break;
      }
      SetEvent(pong);
    }
  });
  for (auto _ : state) {
    SetEvent(ping);
    WaitForSingleObject(pong, INFINITE);
  }
  SetEvent(stop);
  SetEvent(ping);
  partner.join();
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  state.SetLabel("round trips");
  for (HANDLE h : {ping, pong, stop}) CloseHandle(h);
}

void BM_EventPingPong(benchmark::State& state) { PingPong(state, false); }
void BM_EventPingPongWaitAny(benchmark::State& state) { PingPong(state, true); }

BENCHMARK(BM_EventPingPong)->UseRealTime();
BENCHMARK(BM_EventPingPongWaitAny)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
