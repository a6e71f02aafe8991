// Library version, the texts that name the measuring board and the engine-tester board, and the
// board's hardware type.
//
// The texts live in two stores of this object, overwritten by each call and valid until the next
// one; callers copy them. The stores are not guarded: the program calls these one at a time.
#pragma once

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationInfo_0 final : public IInfo_0 {
 public:
  ImplementationInfo_0() = default;
  ~ImplementationInfo_0() = default;

  int GetVersion(uint16_t* major, uint16_t* buildHigh, uint16_t* buildLow) override;
  const char* GetBoardName() override;
  const char* GetMotortesterName() override;
  int GetBoardStatus(uint8_t* hardwareType) override;

 private:
  static constexpr int kBoardNameLength = 14;
  char m_boardName[64] = {};
  char m_motortesterName[128] = {};
};

}  // namespace kv310
