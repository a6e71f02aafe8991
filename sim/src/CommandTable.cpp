#include "CommandTable.h"

#include <array>

namespace sim {

namespace {

// Ordered by command byte; within a command, the module's variants before the board's.
constexpr std::array kCommands{
    CommandEntry{0x01, "block size", nullptr, HandleBlockSize},
    CommandEntry{0x02, "board status", nullptr, HandleBoardStatus},
    CommandEntry{0x05, "abort", nullptr, HandleAbort},
    CommandEntry{0x10, "polarity arming", IsPolarityArming, HandlePolarityArming},
    CommandEntry{0x10, "engine-tester oscilloscope set-up", IsEngineScopeSetup, HandleEngineScopeSetup},
    CommandEntry{0x10, "acquisition set-up", nullptr, HandleSetup},
    CommandEntry{0x11, "engine frame", AfterPolarityArming, HandleEngineFrame},
    CommandEntry{0x11, "engine-tester oscilloscope record", AfterEngineScopeSetup, HandleEngineScopeRecord},
    CommandEntry{0x11, "high-voltage frame", AfterHighVoltageSetup, HandleHighVoltageFrame},
    CommandEntry{0x11, "acquisition start and read", nullptr, HandleAcquisition},
    CommandEntry{0x12, "engine-tester oscilloscope", nullptr, HandleEngineTesterOnly},
    CommandEntry{0x20, "engine-tester voltmeter set-up", IsEngineVoltmeterSetup, HandleEngineVoltmeterSetup},
    CommandEntry{0x20, "voltmeter set-up", nullptr, HandleVoltmeterSetup},
    CommandEntry{0x21, "engine-tester voltmeter reading", ModuleAttached, HandleEngineVoltmeterReading},
    CommandEntry{0x21, "voltmeter reading", nullptr, HandleVoltmeterReading},
    CommandEntry{0x22, "leak recording", nullptr, HandleLeakRecording},
    CommandEntry{0x30, "ohmmeter set-up", nullptr, HandleOhmmeterSetup},
    CommandEntry{0x31, "engine-tester ohmmeter reading", ModuleAttached, HandleEngineOhmmeterReading},
    CommandEntry{0x31, "ohmmeter reading", nullptr, HandleOhmmeterReading},
    CommandEntry{0x40, "meter start", nullptr, HandleMeterStart},
    CommandEntry{0x41, "meter read", nullptr, HandleMeterRead},
    CommandEntry{0x60, "engine-tester firmware service", nullptr, HandleFirmwareService},
    CommandEntry{0x61, "configuration", nullptr, HandleConfiguration},
    CommandEntry{0xC0, "select probes", nullptr, HandleSelectProbes},
    CommandEntry{0xC1, "channel probes", nullptr, HandleChannelProbes},
    CommandEntry{0xC2, "query probes", nullptr, HandleQueryProbes},
    CommandEntry{0xFD, "busy poll", nullptr, HandleBusyPoll},
};

}  // namespace

std::span<const CommandEntry> CommandTable() { return kCommands; }

const CommandEntry* FindCommand(const BoardContext& board, std::span<const uint8_t> request) {
  for (const CommandEntry& entry : kCommands)
    if (entry.command == request[0] && (!entry.accepts || entry.accepts(board, request))) return &entry;
  return nullptr;
}

bool ModuleAttached(const BoardContext& board, std::span<const uint8_t>) { return board.EngineTester(); }

CommandReply NotSupported(uint8_t command) {
  // FD and FF in byte 0 mean busy and refusal to the host: those two cannot be echoed.
  const uint8_t echo = (command == 0xFD || command == 0xFF) ? 0x00 : command;
  return {{echo, 0x01}, {}};
}

}  // namespace sim
