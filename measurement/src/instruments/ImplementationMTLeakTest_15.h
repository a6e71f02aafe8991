// Leak test: the board records one block of 1024 starter-current samples while the engine is
// cranked, and the library relates the compression humps of the cylinders to each other.
//
// Start sends the recording request and returns at once; the caller waits for the link's idle
// event and then calls Read, which takes the recording and analyses it. With the engine-tester
// module (FirmwareChecked) the probe comes from an engine-tester input, else from a board channel.
#pragma once

#include "../LeakAnalysis.h"

#include <kv310/Kv310.h>

namespace kv310 {

class ImplementationMTLeakTest_15 final : public IMTLeakTest_15 {
 public:
  ImplementationMTLeakTest_15() = default;
  ~ImplementationMTLeakTest_15() = default;

  int SelectInput(uint8_t input) override;
  int GetInput(uint8_t* input) override;
  int ReadProbe(ProbeDescriptor* probe) override;
  int Start() override;
  int Read(uint8_t count, float* results) override;

 private:
  int SendLeakConfiguration();

  int32_t m_configurationId = 1;
  uint8_t m_inputCount = 1;
  uint8_t m_input = 0;
  int32_t m_dirty = 0;
  uint8_t m_percent[kLeakMaxCylinders] = {};
  uint16_t m_samples[kLeakSampleCount] = {};
  int16_t m_cylinders = 4;
  int16_t m_smallestDistance = 0;
  int16_t m_largestDistance = 0;
  int16_t m_lastDistance = 0;
};

}  // namespace kv310
