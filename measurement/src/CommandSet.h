// The board's command set: command bytes, the built-in table of the 29 board configurations
// (command 0x61), and the probe commands 0xC0 to 0xC2 that the engine-tester instruments share.
#pragma once

#include <kv310/Records.h>

#include <cstdint>

namespace kv310 {

// Payload byte 0 of a request; the reply repeats it.
enum BoardCommand : uint8_t {
  kCmdBlockSize = 0x01,
  kCmdBoardStatus = 0x02,
  kCmdAbort = 0x05,
  kCmdOscConfiguration = 0x10,
  kCmdAcquisition = 0x11,
  kCmdAngleRate = 0x12,
  kCmdVoltConfiguration = 0x20,
  kCmdVoltReading = 0x21,
  kCmdLeakRecording = 0x22,
  kCmdOhmConfiguration = 0x30,
  kCmdOhmReading = 0x31,
  kCmdMeterStart = 0x40,
  kCmdMeterReading = 0x41,
  kCmdFirmware = 0x60,
  kCmdConfiguration = 0x61,
  kCmdSelectProbes = 0xC0,
  kCmdChannelProbes = 0xC1,
  kCmdQueryProbes = 0xC2,
};

// Reply byte 0 values the link worker handles itself.
inline constexpr uint8_t kReplyBusy = 0xFD;
inline constexpr uint8_t kReplyRefused = 0xFF;

inline constexpr int kConfigurationRecordCount = 29;

// The record of measurement id 0..28 (the record of id k is the k-th entry); record 0 for an id
// outside the table.
const ConfigurationRecord& GetConfigurationRecord(int id);

// Selects up to 9 engine-tester inputs (0xC0): kBadArgument for a null list or more than 9, the
// link codes, kBadReply for a short or refused reply; a reply without the engine-tester module
// clears the engine tester's flags and gives kNoEngineTester, else the engine tester is marked ready.
int SelectProbes(const uint8_t* inputs, int count);

// The probe on board channel 0 or 1 (0xC1): kBadArgument for a bad channel or no output, the
// link codes, kBadReply for a short or refused reply.
int GetChannelProbe(int channel, ProbeDescriptor* probe);

// The probes on up to 10 engine-tester inputs (0xC2), one descriptor per input in order:
// kBadArgument for bad arguments, the link codes, kBadReply for a short reply or a count other
// than asked, kNoEngineTester without the engine-tester module (flags cleared), kBoardErrorStatus
// or kBadReply for a refusal.
int QueryProbes(const uint8_t* inputs, int count, ProbeDescriptor* probes);

// Sends an 11-byte board configuration (command 0x61) without extra reply time, with bit 7 of
// byte 1 set when `engineTester` (the engine-tester instruments ask for the probe report that
// way), and checks the reply as the engine-tester instruments do: 0x61 and status 0 (kBoardErrorStatus
// when the status has bit 7, else kBadReply), the probe count equal to `inputCount` and one probe code per input;
// each code's descriptor goes to the engine tester's store of input `inputs[i]`. At most
// `replyCapacity` reply bytes are taken. Returns kOk, the link codes, kBadReply or kBoardErrorStatus.
int SendConfiguration(const uint8_t configuration[11], bool engineTester, const uint8_t* inputs, int inputCount,
                      int replyCapacity);

}  // namespace kv310
