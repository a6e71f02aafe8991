// The program's acquisition engine on the real measurement library over the in-process simulated
// board, on the headless display with the real clock: what the end-to-end tests of the engine and
// of every pane above it start from. Construction opens the display, points the library at the
// simulated link (board reset, instant acquisitions) and installs a fresh engine as the device
// start-up; destruction shuts the engine down in the program's order and puts everything back.
#pragma once

#include <core/MeasureEngine.h>

#include <sim/BoardModel.h>

#include <memory>

namespace kv310::testing {
class ZlinkSimBoard;
}

namespace kvtest {

class EngineOnBoard {
 public:
  EngineOnBoard();
  ~EngineOnBoard();
  EngineOnBoard(const EngineOnBoard&) = delete;
  EngineOnBoard& operator=(const EngineOnBoard&) = delete;

  CMeasureEngine& Engine() { return *engine_; }
  sim::BoardModel& Board();

 private:
  std::unique_ptr<kv310::testing::ZlinkSimBoard> zlink_;
  std::unique_ptr<CMeasureEngine> engine_;
};

}  // namespace kvtest
