#include "CommandTable.h"
#include "commands/EngineSynchronous.h"

#include <array>

namespace sim {

namespace {

// Ordered by command byte. Measurement commands answer with well-formed placeholder replies that
// carry the identity until their instruments' board side is modelled.
constexpr std::array kCommands{
    CommandEntry{0x01, "block size", HandleBlockSize},
    CommandEntry{0x02, "board status", HandleBoardStatus},
    CommandEntry{0x05, "abort", HandleAbort},
    CommandEntry{0x10, "acquisition set-up", HandleEngineScopeSetupOrOther},
    CommandEntry{0x11, "acquisition start and read", HandleEngineScopeOrAcquisition},
    CommandEntry{0x12, "engine-tester oscilloscope", HandleEngineTesterOnly},
    CommandEntry{0x20, "voltmeter set-up", HandleVoltmeterSetupOrEngine},
    CommandEntry{0x21, "voltmeter reading", HandleVoltmeterReadingOrEngine},
    CommandEntry{0x22, "leak recording", HandleLeakRecording},
    CommandEntry{0x30, "ohmmeter set-up", HandleOhmmeterSetup},
    CommandEntry{0x31, "ohmmeter reading", HandleOhmmeterReadingOrEngine},
    CommandEntry{0x40, "meter start", HandleMeterStart},
    CommandEntry{0x41, "meter read", HandleMeterRead},
    CommandEntry{0x60, "engine-tester firmware service", HandleFirmwareService},
    CommandEntry{0x61, "configuration", HandleConfiguration},
    CommandEntry{0xC0, "select probes", HandleSelectProbes},
    CommandEntry{0xC1, "channel probes", HandleChannelProbes},
    CommandEntry{0xC2, "query probes", HandleQueryProbes},
    CommandEntry{0xFD, "busy poll", HandleBusyPoll},
};

}  // namespace

std::span<const CommandEntry> CommandTable() { return kCommands; }

CommandReply NotSupported(uint8_t command) {
  // FD and FF in byte 0 mean busy and refusal to the host: those two cannot be echoed.
  const uint8_t echo = (command == 0xFD || command == 0xFF) ? 0x00 : command;
  return {{echo, 0x01}, {}};
}

}  // namespace sim
