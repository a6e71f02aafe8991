// The simulated measuring board at the payload level: a request payload goes in, and out comes a
// reply now, a busy reply now and the final reply after the polls, a refusal (NACK), no answer,
// or a broken frame. It knows nothing of transports: the in-process link library, the serial
// block protocol and the USB pipes all wrap it. Thread-safe: any thread may hand it requests,
// change the scenario or read the log.
#pragma once

#include <sim/BoardFrame.h>
#include <sim/BoardScenario.h>
#include <sim/RecentLog.h>

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace sim {

enum class Outcome {
  Reply,       // payload is the answer
  Busy,        // payload is FD tok ab; the final answer follows the polls
  Nack,        // payload is FF
  Silence,     // nothing goes out
  Malformed,   // a broken frame around payload goes out (defect)
  EmptyEvent,  // the data event fires with nothing to read
};

struct BoardResponse {
  Outcome outcome = Outcome::Silence;
  Bytes payload;
  FrameDefect defect = FrameDefect::BadEnd;
  uint32_t delayMs = 0;  // the answer is due this long after the request

  // The bytes a transport sends: the frame, a broken frame, or nothing.
  Bytes Frame() const;
};

// The oscilloscope's memory between requests: the rolling stream of partial records and the
// recording into board memory.
struct OscilloscopeState {
  bool rolling = false;      // a partial record has been sent since the last set-up
  double rollNextSeconds = 0;  // board time of the next sample of the rolling stream
  bool recording = false;    // a set-up of type 17/18/19 arrived: the board records
  bool recordingStopped = false;
  double recordingStartSeconds = 0;
  uint32_t recordedPerChannel = 0;  // samples per channel when the recording stopped
  uint32_t readBackPerChannel = 0;  // samples per channel already read back
};

// The meters' set-ups.
struct MeterState {
  // Voltmeter (20): per channel the coupling and range code, and whether the range is fixed.
  std::array<uint8_t, 2> voltCoupling{0, 0};
  std::array<uint8_t, 2> voltRangeCode{0, 0};
  std::array<bool, 2> voltFixed{false, false};
  // Ohmmeter / diode test (30): automatic, a fixed range 0..4, or the diode test.
  enum class OhmMode { Automatic, Fixed, Diode } ohmMode = OhmMode::Automatic;
  uint8_t ohmRange = 0;
};

// What the board remembers between requests.
struct BoardState {
  uint8_t blockSize = 64;                     // serial block size set by 01
  std::vector<uint8_t> selectedInputs;        // inputs of the last C0, reported by 61
  std::array<uint8_t, 11> lastConfiguration{};  // last 61 record
  bool configured = false;                    // a 61 has arrived since reset
  Bytes lastSetup;                            // last 10 payload
  OscilloscopeState oscilloscope;
  MeterState meters;
  EngineMeterState engineMeters;  // the engine-tester module's meters
  // Engine-tester firmware service.
  bool downloadMode = false;
  bool downloaded = false;                    // a download completed (60 05 after 60 04)
  int linesAccepted = 0;
  // Engine frames of the polarity detection.
  int engineFramesPending = 0;     // frame reads still answered "no new engine data"
  uint32_t engineFrameCount = 0;   // frames sent since reset
  // A request held behind busy replies.
  bool busyPending = false;
  uint8_t busyToken = 0;
  int pollsLeft = 0;
  bool abortable = true;
  Bytes heldReply;
};

struct LoggedRequest {
  uint64_t number = 0;  // 1-based since Reset
  uint64_t timeMs = 0;  // platform clock
  Bytes payload;
  Outcome outcome = Outcome::Silence;
  Bytes reply;          // the payload answered (empty for silence)
};

// Calls the transports report, so tests can see how the link library was driven.
struct LinkRecord {
  int initCalls = 0;
  int deinitCalls = 0;
  std::string lastInitKey;
  int serialBlocksize = -1;  // last SetSerialBlocksize; -1 = never called
  int badFrames = 0;         // writes that held no well-formed frame (the board ignores them)
};

class BoardModel {
 public:
  BoardModel();
  BoardModel(const BoardModel&) = delete;
  BoardModel& operator=(const BoardModel&) = delete;

  // One request payload in, the board's answer out. Every call is logged.
  BoardResponse Handle(std::span<const uint8_t> payload);

  BoardScenario Scenario() const;
  void SetScenario(const BoardScenario& scenario);
  // Changes the scenario in place under the lock: board.Update([](BoardScenario& s) { ... });
  template <class F>
  void Update(F&& change) {
    std::lock_guard lock(mutex_);
    change(scenario_);
  }

  // Back to power-up: default scenario, fresh board state, empty logs.
  void Reset();

  BoardState State() const;

  // The most recent requests (a test that needs all since the last clear calls KeepWholeLog).
  std::vector<LoggedRequest> Requests() const;
  std::vector<Bytes> RequestPayloads() const;
  // Requests with this command since the last clear, whether or not the log still holds them.
  size_t CountRequests(uint8_t command) const;
  void ClearLog();
  void KeepWholeLog(bool whole = true);
  // Called with every request as it is logged, under the board's lock (it must not call back into
  // the board); an empty function removes it. The plug-in writes its request-log file with it.
  void SetRequestObserver(std::function<void(const LoggedRequest&)> observer);

  void NoteLinkInit(const char* key);
  void NoteLinkDeinit();
  void NoteSerialBlocksize(int size);
  void NoteBadFrame();
  LinkRecord Link() const;

 private:
  // The fault for this request, if any: by its number first, else by its command (counted down).
  Fault TakeFault(uint64_t number, uint8_t command);

  mutable std::mutex mutex_;
  BoardScenario scenario_;
  BoardState state_;
  RecentLog<LoggedRequest> log_;
  std::array<size_t, 256> commandCounts_{};  // since the last clear
  uint64_t requestCount_ = 0;
  uint8_t nextToken_ = 1;
  LinkRecord link_;
  std::function<void(const LoggedRequest&)> observer_;
};

}  // namespace sim
