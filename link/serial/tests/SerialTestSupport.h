// A serial bench for tests: the serial board on a virtual COM port, its file set and link
// parameters in the registry, a virtual clock that moves on while someone waits on it, and the
// trace lines captured.
#pragma once

#include <sim/BoardModel.h>
#include <sim/HexBuilder.h>
#include <sim/SerialBoard.h>

#include <platform/types.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace serialtest {

inline constexpr int kComPort = 7;
inline constexpr const char* kLinkKey = "SOFTWARE\\Test\\SerialLink";

// Moves the virtual clock on by 1 ms whenever a thread waits on it, so code with long timed
// waits runs fast and its timing stays exact in virtual time.
class ClockDriver {
 public:
  ClockDriver();
  ~ClockDriver();

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  std::vector<std::string> Lines();
  int Count(const std::string& text);

 private:
  std::mutex mu_;
  std::vector<std::string> lines_;
};

struct RigOptions {
  sim::SerialBoardConfig board;
  std::string fileVersion = "3.10";   // version of the firmware file
  std::map<std::string, uint32_t> dwords;  // extra or replaced link parameters
  bool pacing = false;
  std::string key = kLinkKey;  // the key handed to Init
  size_t firmwareRecordBytes = 16;
  std::string firmwareInsert;  // record lines put after the firmware's first data record
};

// Everything a serial link needs: board model, serial board on COM7, files, registry.
class SerialRig {
 public:
  explicit SerialRig(RigOptions options = {});
  ~SerialRig();

  void SetDword(const std::string& name, uint32_t value);
  uint32_t GetDword(const std::string& name);

  sim::BoardModel model;
  std::shared_ptr<sim::SerialBoard> board;
  sim::hex::FileSet files;
  TraceCapture trace;

 private:
  std::string key_;
  ClockDriver clock_;
};

// A board frame around a payload: 01 00 LL LL payload 02.
std::vector<uint8_t> Frame(const std::vector<uint8_t>& payload);

}  // namespace serialtest
