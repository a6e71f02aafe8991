#include "LinkRequest.h"

#include "ComPort.h"
#include "Library.h"

#include <kv310/ResultCodes.h>

namespace kv310 {

bool CheckLinkReady(CComPortRaw* link, int* code) {
  int result = kOk;
  if (!link) {
    result = kNoLink;
  } else {
    switch (link->GetState()) {
      case kStateIdle: result = kOk; break;
      case kStateReady: result = kLinkNotStarted; break;
      case kStateBusy:
      case kStateError: result = kLinkBusy; break;
      default: result = kNoLink; break;
    }
  }
  *code = result;
  return result == kOk;
}

bool CheckLinkReady(int* code) { return CheckLinkReady(Link(), code); }

bool TakeLinkError(CComPortRaw* link, int* code) {
  if (!link) {
    *code = kNoLink;
    return true;
  }
  if (link->GetState() == kStateError) {
    *code = link->GetLastError() == kErrorTimeout ? kLinkTimeout : kLinkError;
    return true;
  }
  *code = kOk;
  return false;
}

bool TakeLinkError(int* code) { return TakeLinkError(Link(), code); }

int ExchangeWithBoard(const uint8_t* payload, int size, int extraMs, uint8_t* reply, int capacity, int* received) {
  *received = 0;
  std::lock_guard<std::recursive_mutex> hold(OperationLock());
  CComPort* link = Link();
  if (!link) return kNoLink;
  const bool sent = link->Send(payload, size, extraMs) > 0;
  link->WaitIdle();
  int code;
  if (TakeLinkError(link, &code)) return code;
  if (!sent) return kBadReply;
  *received = link->Receive(reply, capacity, 0);
  return kOk;
}

}  // namespace kv310
