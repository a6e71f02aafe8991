#include <sim/BoardScenario.h>

namespace sim {

HwSwInfo DefaultHwSwInfo() {
  HwSwInfo info{};
  info.boardId = 0x0310;
  info.serialNumber = 31000123;
  SetHwSwText(info.boardName, "K310");
  SetHwSwText(info.firmwareText, "3.10");
  SetHwSwText(info.description1, "KV310 measuring");
  SetHwSwText(info.description2, "board, rev. B");
  info.productionDate = 2026;
  info.boardStatus = kHwSwStatusApplication | kHwSwStatusCompare;
  info.firmwareVersion = 0x030A;
  return info;
}

}  // namespace sim
