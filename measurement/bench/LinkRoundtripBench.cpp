// Small requests per second through the library's link worker and the in-process link library
// with a board that answers at once: the cost the library adds to one board request (a caller
// hand-off to the worker and back). Compare with bench_sync's event ping-pong.
#include "CommandSet.h"
#include "ComPort.h"
#include "Library.h"
#include "LinkRequest.h"
#include "../tests/LinkTestSupport.h"

#include <benchmark/benchmark.h>

#include <kv310/ResultCodes.h>
#include <memory>

namespace {

using namespace kv310;

struct OpenLink {
  OpenLink() {
    testing::SetLinkLibrary("zlinksim.dll");
    zlink = std::make_unique<testing::ZlinkSimBoard>();
    zlink->Board().Reset();
    LibraryAttach();
    link = new CComPort();
    SetLink(link);
    started = link->Start() == kStateIdle;
  }
  ~OpenLink() {
    SetLink(nullptr);
    delete link;
    LibraryDetach();
  }
  std::unique_ptr<testing::ZlinkSimBoard> zlink;
  CComPort* link = nullptr;
  bool started = false;
};

// One full instrument request: link check, send, idle wait, link error, receive, decode.
void BM_ChannelProbeRequest(benchmark::State& state) {
  OpenLink open;
  if (!open.started) {
    state.SkipWithError("the link does not start");
    return;
  }
  ProbeDescriptor probe{};
  for (auto _ : state) {
    if (GetChannelProbe(0, &probe) != kOk) {
      state.SkipWithError("request failed");
      break;
    }
    open.zlink->Board().ClearLog();  // keep the board's request log from growing
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ChannelProbeRequest)->UseRealTime();

// The bare link: Send, WaitIdle, Receive.
void BM_LinkSendReceive(benchmark::State& state) {
  OpenLink open;
  if (!open.started) {
    state.SkipWithError("the link does not start");
    return;
  }
  const uint8_t request[2] = {0x02, 0x02};
  uint8_t reply[16];
  for (auto _ : state) {
    open.link->Send(request, sizeof request, 0);
    open.link->WaitIdle();
    benchmark::DoNotOptimize(open.link->Receive(reply, sizeof reply, 0));
    open.zlink->Board().ClearLog();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LinkSendReceive)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
