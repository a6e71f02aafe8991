// What the board ohmmeter and the board diode test share: the configuration command 0x30 and
// the reading command 0x31 with its checks.
#pragma once

#include <cstdint>

namespace kv310 {

inline constexpr int kBoardModeOhmmeter = 3;
inline constexpr int kBoardModeDiodeTest = 4;

// Sends one 0x30 configuration and checks the reply: kBadReply for a short or refused reply,
// kBoardNotReady (board mode 0) for status 2, kLinkError when the engine-tester board answers;
// else the board mode becomes `boardMode` and kOk is returned. The link codes as usual.
int ConfigureOhmBoard(const uint8_t* request, int size, int boardMode);

struct OhmRawReading {
  int32_t probeKind = 0;  // kind of the test-lead descriptor
  uint8_t subRange = 0;
  uint8_t rangeIndex = 0;
  uint16_t raw = 0;  // the board's reading c
};

// Configures first when the board mode is not `boardMode`, then reads (31 14). Returns kBadReply
// for a short or refused reply, kBoardNotReady (board mode 0) for status 2, kLinkError when the
// engine-tester board answers, kWrongProbe when the test leads are not connected (the kind is
// still filled in), else kOk.
int ReadOhmBoard(int boardMode, const uint8_t* configuration, int configurationSize, OhmRawReading* out);

}  // namespace kv310
