#include "ImplementationInfo_0.h"

#include "../ComPort.h"
#include "../CommandSet.h"
#include "../EngineTesterFirmware.h"
#include "../Library.h"
#include "../LinkRequest.h"

#include <cstdio>
#include <string>

namespace kv310 {

namespace {

constexpr uint16_t kVersionMajor = 11;
constexpr uint16_t kVersionBuildHigh = 7;
constexpr uint16_t kVersionBuildLow = 1;

// Hardware byte of the status reply -> hardware type: 0 the full board (1), 1 the reduced
// variant (2), anything else unknown (0).
uint8_t HardwareType(uint8_t hardwareByte) {
  switch (hardwareByte) {
    case 0: return 1;
    case 1: return 2;
    default: return 0;
  }
}

}  // namespace

int ImplementationInfo_0::GetVersion(uint16_t* major, uint16_t* buildHigh, uint16_t* buildLow) {
  if (major) *major = kVersionMajor;
  if (buildHigh) *buildHigh = kVersionBuildHigh;
  if (buildLow) *buildLow = kVersionBuildLow;
  return kOk;
}

const char* ImplementationInfo_0::GetBoardName() {
  CComPort* link = Link();
  if (!link) {
    std::snprintf(m_boardName, sizeof m_boardName, "Error reading Board Name");
    return m_boardName;
  }
  char name[kBoardNameLength + 1];
  link->GetBoardName(name, kBoardNameLength);
  if (name[0] == '\0') {
    std::snprintf(m_boardName, sizeof m_boardName, "Measurement board KV310 error ");
  } else {
    std::snprintf(m_boardName, sizeof m_boardName, "Measurement board KV310 version %s", name);
  }
  return m_boardName;
}

const char* ImplementationInfo_0::GetMotortesterName() {
  if (!Link()) {
    std::snprintf(m_motortesterName, sizeof m_motortesterName, "Error reading Motortester Name");
    return m_motortesterName;
  }
  std::string version;
  if (EngineTesterFirmware::ReadBoardFirmwareVersion(&version) != kOk) {
    std::snprintf(m_motortesterName, sizeof m_motortesterName, "Motortester board error");
    return m_motortesterName;
  }
  // "Version 2.05" gives " 2.05": the text after its first 'n'. A text without one is shown
  // whole, after a blank.
  const size_t n = version.find('n');
  const std::string shown = n != std::string::npos ? version.substr(n + 1) : " " + version;
  std::snprintf(m_motortesterName, sizeof m_motortesterName, "Measurement board Motortester version%s", shown.c_str());
  return m_motortesterName;
}

int ImplementationInfo_0::GetBoardStatus(uint8_t* hardwareType) {
  if (!hardwareType) return kBadArgument;
  *hardwareType = 0;
  if (!Link()) return kNoData;
  const uint8_t request[2] = {kCmdBoardStatus, 0x02};
  uint8_t reply[10];
  int received = 0;
  const int code = ExchangeWithBoard(request, sizeof request, 0, reply, sizeof reply, &received);
  if (code != kOk) return code;
  // A reply without its hardware byte cannot say which board this is.
  if (received < 3 || reply[0] != kCmdBoardStatus || reply[1] != 0) return kBadReply;
  *hardwareType = HardwareType(reply[2]);
  return kOk;
}

}  // namespace kv310
