// Fuzz target of the window server's wire: the first byte picks the reader (request, answer or
// window list), the rest is the payload another process sent. Whatever the bytes, a reader
// returns; what it accepts encodes again to the same bytes and is accepted again.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "window/DesktopWire.h"

#include <kvtest/FuzzReplay.h>

namespace wire = kvp::desktop::wire;

namespace {

// A request, an answer and a list, each as the server or client writes them.
#define REQUEST_LIST "\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xE8\x03\x00\x00\x00\x00\x00\x00"
#define REQUEST_SETTEXT "\x00\x05\x00\x00\x00\x07\x00\x00\x00\x0C\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\xE8\x03\x00\x00\x03\x00\x00\x00" "abc"
#define ANSWER_TEXT "\x01\x01\x00\x00\x00\x05\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x05\x00\x00\x00Title"
#define LIST_ONE "\x02\x01\x00\x00\x00\x07\x00\x00\x00\x01\x00\x00\x00\x01\x00\x00\x00\x03\x00\x00\x00" "Cls\x05\x00\x00\x00Title"

}  // namespace

extern const FuzzSeed kFuzzSeedBytes[] = {
    KV_FUZZ_SEED(REQUEST_LIST),
    KV_FUZZ_SEED(REQUEST_SETTEXT),
    KV_FUZZ_SEED(ANSWER_TEXT),
    KV_FUZZ_SEED(LIST_ONE),
    {nullptr, 0},
};
extern const FuzzReplaySettings kFuzzReplay = {500, 1, 64};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string payload(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 3) {
    case 0: {
      wire::Request request;
      if (!wire::DecodeRequest(payload, &request)) return 0;
      wire::CarriageOf(request.msg, request.wParam, request.lParam, request.op == wire::Op::Post);
      wire::Request again;
      if (wire::EncodeRequest(request) != payload || !wire::DecodeRequest(payload, &again)) abort();
      break;
    }
    case 1: {
      wire::Answer answer;
      if (!wire::DecodeAnswer(payload, &answer)) return 0;
      if (wire::EncodeAnswer(answer) != payload) abort();
      break;
    }
    default: {
      std::vector<wire::WindowRecord> windows;
      if (!wire::DecodeList(payload, &windows)) return 0;
      if (wire::EncodeList(windows) != payload) abort();
      break;
    }
  }
  return 0;
}
