// The board's commands as data: one row per command and variant, one handler each. The board
// model answers a request with the first row of its command byte whose variant accepts it; a byte
// without a row gets the generic "not supported" reply (command byte, status 01), never a refusal
// or silence.
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
// Whether a variant of a command answers this request (the request itself, or the set-up before
// it); none = every request of the command.
using CommandVariant = bool (*)(const BoardContext& board, std::span<const uint8_t> request);

// One variant of one command. A command byte may have several rows: the engine-tester module's
// forms come before the measuring board's, and the first row whose variant accepts the request
// answers it.
struct CommandEntry {
  uint8_t command;
  const char* name;
  CommandVariant accepts;
  CommandHandler handle;
};

std::span<const CommandEntry> CommandTable();

// The row that answers a request; none for a command byte the board does not know.
const CommandEntry* FindCommand(const BoardContext& board, std::span<const uint8_t> request);

// Reply to a command the board does not know or a request it cannot use.
CommandReply NotSupported(uint8_t command);

// Variants.
bool ModuleAttached(const BoardContext& board, std::span<const uint8_t> request);
bool IsPolarityArming(const BoardContext& board, std::span<const uint8_t> request);       // 10
bool IsEngineScopeSetup(const BoardContext& board, std::span<const uint8_t> request);     // 10
bool AfterPolarityArming(const BoardContext& board, std::span<const uint8_t> request);    // 11
bool AfterEngineScopeSetup(const BoardContext& board, std::span<const uint8_t> request);  // 11
bool AfterHighVoltageSetup(const BoardContext& board, std::span<const uint8_t> request);  // 11
bool IsEngineVoltmeterSetup(const BoardContext& board, std::span<const uint8_t> request); // 20

// The measuring board's handlers.
CommandReply HandleBlockSize(BoardContext& board, std::span<const uint8_t> request);        // 01
CommandReply HandleBoardStatus(BoardContext& board, std::span<const uint8_t> request);      // 02
CommandReply HandleAbort(BoardContext& board, std::span<const uint8_t> request);            // 05
CommandReply HandleBusyPoll(BoardContext& board, std::span<const uint8_t> request);         // FD
CommandReply HandleSelectProbes(BoardContext& board, std::span<const uint8_t> request);     // C0
CommandReply HandleChannelProbes(BoardContext& board, std::span<const uint8_t> request);    // C1
CommandReply HandleQueryProbes(BoardContext& board, std::span<const uint8_t> request);      // C2
CommandReply HandleConfiguration(BoardContext& board, std::span<const uint8_t> request);    // 61
CommandReply HandleSetup(BoardContext& board, std::span<const uint8_t> request);            // 10
CommandReply HandleAcquisition(BoardContext& board, std::span<const uint8_t> request);      // 11
CommandReply HandleVoltmeterSetup(BoardContext& board, std::span<const uint8_t> request);    // 20
CommandReply HandleVoltmeterReading(BoardContext& board, std::span<const uint8_t> request);  // 21
CommandReply HandleOhmmeterSetup(BoardContext& board, std::span<const uint8_t> request);     // 30
CommandReply HandleOhmmeterReading(BoardContext& board, std::span<const uint8_t> request);   // 31
// The ohmmeter's reading bytes (sub-range, range, 16-bit counts), which the module's form of the
// reply carries too.
Bytes OhmmeterReadingFields(const BoardContext& board);

// The engine-tester module's handlers.
CommandReply HandleFirmwareService(BoardContext& board, std::span<const uint8_t> request);       // 60
CommandReply HandleEngineTesterOnly(BoardContext& board, std::span<const uint8_t> request);      // 12
CommandReply HandlePolarityArming(BoardContext& board, std::span<const uint8_t> request);        // 10
CommandReply HandleEngineFrame(BoardContext& board, std::span<const uint8_t> request);           // 11
CommandReply HandleEngineScopeSetup(BoardContext& board, std::span<const uint8_t> request);      // 10
CommandReply HandleEngineScopeRecord(BoardContext& board, std::span<const uint8_t> request);     // 11
CommandReply HandleHighVoltageFrame(BoardContext& board, std::span<const uint8_t> request);      // 11
CommandReply HandleEngineVoltmeterSetup(BoardContext& board, std::span<const uint8_t> request);  // 20
CommandReply HandleEngineVoltmeterReading(BoardContext& board, std::span<const uint8_t> request);// 21
CommandReply HandleLeakRecording(BoardContext& board, std::span<const uint8_t> request);         // 22
CommandReply HandleEngineOhmmeterReading(BoardContext& board, std::span<const uint8_t> request); // 31
// The meters answer with zero counts while the module is absent.
CommandReply HandleMeterStart(BoardContext& board, std::span<const uint8_t> request);  // 40
CommandReply HandleMeterRead(BoardContext& board, std::span<const uint8_t> request);   // 41

}  // namespace sim
