// The board's commands as data: one entry per command byte, one handler each. The board model
// looks a request's command byte up in this table; a byte without an entry gets the generic
// "not supported" reply (command byte, status 01), never a refusal or silence.
#pragma once

#include <sim/BoardModel.h>

#include <span>

namespace sim {

// What a handler sees: the scenario (read only) and the board's memory.
struct BoardContext {
  const BoardScenario& scenario;
  BoardState& state;

  bool EngineTester() const { return scenario.engineTesterAttached; }
  // The code in byte 2 of every reply that carries an identity: the engine-tester module's own
  // probe code when it is attached, else the probe on channel A.
  uint8_t Identity() const {
    return scenario.engineTesterAttached ? scenario.engineTesterIdentity : scenario.channelProbeCodes[0];
  }
};

struct CommandReply {
  Bytes payload;
  BusyPlan busy;  // a handler may ask for busy replies before this one (slow operations)
  uint32_t delayMs = 0;  // the answer takes this long (an acquisition in progress)
};

using CommandHandler = CommandReply (*)(BoardContext& board, std::span<const uint8_t> request);

struct CommandEntry {
  uint8_t command;
  const char* name;
  CommandHandler handle;
};

std::span<const CommandEntry> CommandTable();

// Reply to a command the board does not know or a request it cannot use.
CommandReply NotSupported(uint8_t command);

// Handlers, grouped by concern.
CommandReply HandleBlockSize(BoardContext& board, std::span<const uint8_t> request);        // 01
CommandReply HandleBoardStatus(BoardContext& board, std::span<const uint8_t> request);      // 02
CommandReply HandleAbort(BoardContext& board, std::span<const uint8_t> request);            // 05
CommandReply HandleBusyPoll(BoardContext& board, std::span<const uint8_t> request);         // FD
CommandReply HandleSelectProbes(BoardContext& board, std::span<const uint8_t> request);     // C0
CommandReply HandleChannelProbes(BoardContext& board, std::span<const uint8_t> request);    // C1
CommandReply HandleQueryProbes(BoardContext& board, std::span<const uint8_t> request);      // C2
CommandReply HandleConfiguration(BoardContext& board, std::span<const uint8_t> request);    // 61
CommandReply HandleFirmwareService(BoardContext& board, std::span<const uint8_t> request);  // 60
CommandReply HandleSetup(BoardContext& board, std::span<const uint8_t> request);            // 10
CommandReply HandleAcquisition(BoardContext& board, std::span<const uint8_t> request);      // 11
// The engine-tester module's polarity arming and engine frames, else the two above.
CommandReply HandleSetupOrArming(BoardContext& board, std::span<const uint8_t> request);             // 10
CommandReply HandleAcquisitionOrEngineFrame(BoardContext& board, std::span<const uint8_t> request);  // 11
CommandReply HandleVoltmeterSetup(BoardContext& board, std::span<const uint8_t> request);    // 20
CommandReply HandleVoltmeterReading(BoardContext& board, std::span<const uint8_t> request);  // 21
CommandReply HandleOhmmeterSetup(BoardContext& board, std::span<const uint8_t> request);     // 30
CommandReply HandleOhmmeterReading(BoardContext& board, std::span<const uint8_t> request);   // 31
CommandReply HandleEngineTesterOnly(BoardContext& board, std::span<const uint8_t> request); // 12
// The engine-tester module's meters, high-voltage frames and its forms of the voltmeter and
// ohmmeter replies; each hands the measuring board's requests on to the handlers above.
CommandReply HandleMeterStart(BoardContext& board, std::span<const uint8_t> request);                // 40
CommandReply HandleMeterRead(BoardContext& board, std::span<const uint8_t> request);                 // 41
CommandReply HandleAcquisitionOrHighVoltage(BoardContext& board, std::span<const uint8_t> request);  // 11
CommandReply HandleVoltmeterSetupOrEngine(BoardContext& board, std::span<const uint8_t> request);    // 20
CommandReply HandleVoltmeterReadingOrEngine(BoardContext& board, std::span<const uint8_t> request);  // 21
CommandReply HandleOhmmeterReadingOrEngine(BoardContext& board, std::span<const uint8_t> request);   // 31
CommandReply HandleMeasurement(BoardContext& board, std::span<const uint8_t> request);      // 20..41

}  // namespace sim
