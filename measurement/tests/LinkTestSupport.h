// Helpers for tests and benchmarks that run the library's link in-process against a link
// library loaded by name: registry values, the board model behind "zlinksim.dll", and driving
// the virtual clock while the link worker waits.
#pragma once

#include <platform/types.h>

#include <cstdint>
#include <sim/BoardModel.h>

namespace kv310::testing {

// Writes the machine-wide "DLL name" under the link's key; an empty name removes the value.
void SetLinkLibrary(const char* dllName);
// Writes (or, for a negative value, removes) "SerialBlockSize" under the link's "Parameter" key.
void SetSerialBlockSizeValue(int64_t value);

// Keeps "zlinksim.dll" loaded and hands out its board model (the same instance the link binds).
class ZlinkSimBoard {
 public:
  ZlinkSimBoard();
  ~ZlinkSimBoard();
  ZlinkSimBoard(const ZlinkSimBoard&) = delete;
  ZlinkSimBoard& operator=(const ZlinkSimBoard&) = delete;

  sim::BoardModel& Board() { return *m_board; }

 private:
  HMODULE m_module = 0;
  sim::BoardModel* m_board = nullptr;
};

// Waits (in real time) until at least `waiters` threads sit in a timed wait on the virtual clock,
// then moves the clock forward by `ms`.
void AdvanceWhenWaiting(uint64_t ms, size_t waiters = 1);

}  // namespace kv310::testing
