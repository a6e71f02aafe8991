// The request pattern every instrument operation follows: check that the link is started, send
// one frame, wait for the idle link, check the link error, read the reply.
#pragma once

#include <cstdint>

namespace kv310 {

class CComPortRaw;

// Before sending: true with kOk when the link is started and idle; otherwise false with kNoLink
// (no link object, or no link library), kLinkNotStarted (open but not started) or kLinkBusy (busy
// or in error).
bool CheckLinkReady(int* code);
bool CheckLinkReady(CComPortRaw* link, int* code);

// After the idle wait: true with kNoLink (no link object), kLinkTimeout (the last request timed
// out) or kLinkError (another link error); false when the last request ended without a link error.
bool TakeLinkError(int* code);
bool TakeLinkError(CComPortRaw* link, int* code);

// One synchronous exchange on the library's link, held under the operation lock (which the
// calling operation may already hold) from the send to the receive: sends `payload`, waits until the link is idle, takes the link
// error, and copies up to `capacity` reply bytes from position 0 into `reply` (their number into
// `received`). Returns kOk, or kNoLink, kLinkTimeout, kLinkError from the link; kBadReply when the link refused the request, in which case nothing is
// read, so an earlier reply can never pass for this one's.
int ExchangeWithBoard(const uint8_t* payload, int size, int extraMs, uint8_t* reply, int capacity, int* received);

}  // namespace kv310
