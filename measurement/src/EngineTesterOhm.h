// What the engine-tester ohmmeter and diode test share: the probe selection and board
// configuration before their 0x30 configuration, and the 0x31 reading with its checks.
#pragma once

#include <cstdint>

namespace kv310 {

inline constexpr int kBoardModeMTOhmmeter = 7;
inline constexpr int kBoardModeMTDiodeTest = 8;

// Selects input 0, runs the firmware check when needed, sends configuration record 1 and then
// the 0x30 request. kBadReply for a short or refused reply, kBoardNotReady (board mode 0) for
// status 2, kNoEngineTester (engine tester's flags cleared) when the module does not answer; else
// the board mode becomes `boardMode` and kOk is returned. The link codes as usual.
int ConfigureEngineTesterOhm(const uint8_t* request, int size, int boardMode);

struct EngineTesterOhmReading {
  int32_t probeKind = 0;  // kind of the test-lead descriptor
  uint8_t subRange = 0;
  uint8_t rangeIndex = 0;
  uint16_t raw = 0;  // the board's reading c
};

// Configures first when the board mode is not `boardMode`, then reads (31 94). kBadReply for a short
// or refused reply, kBoardNotReady (board mode 0) for status 2, kBoardErrorStatus for an error
// status, kNoEngineTester without the module, kWrongProbe when the test leads are not connected
// (the kind is still filled in), else kOk.
int ReadEngineTesterOhm(int boardMode, const uint8_t* configuration, int configurationSize, EngineTesterOhmReading* out);

}  // namespace kv310
