// The engine-tester board's interface: detection, the engine parameters all engine-tester meters
// read, the probes on its ten inputs, the high-voltage reference probe, the wait until the board
// is ready, and the automatic polarity detection of the four high-voltage probes. What it keeps
// lives in the library's shared engine-tester state (EngineTesterState.h), which the instruments
// read directly.
#pragma once

#include "../EngineTesterState.h"
#include "../Library.h"

#include <kv310/Kv310.h>


namespace kv310 {

class ImplementationMotortester_6 final : public IMotortester_6 {
 public:
  static constexpr int kInputCount = EngineTesterState::kInputCount;

  ImplementationMotortester_6() = default;
  ~ImplementationMotortester_6() = default;

  // Degrees per mark of the engine: 60 for diesel; 20 (stroke 2) or 60 (stroke 4) plus
  // 5 x (Sensitivity - 5) for spark. kBadArgument for another stroke, kBadEngineType for another
  // engine type.
  int GetDegreesPerMark(uint8_t* value) const;
  // The configuration byte that sets the high-voltage probes' polarities for a meter mode
  // (0 = all four probes).
  int GetPolarityByte(uint8_t* value, int mode) const;

  // The polarity detection's board set-up: probes, configuration, oscilloscope arming.
  int ArmEngineMeasurement();
  // One engine frame: `length` data bytes after the frame's header; `arm` restarts the board's
  // acquisition. kBadReply, kNoEngineTester, kNoData (no data yet), kBoardErrorStatus.
  int ReadEngineFrame(uint8_t* destination, int length, bool arm);

  // ---- IMotortester_6 ----
  int Detect() override;
  int SetAllParams(EngineParameterBlock block) override;
  int GetAllParams(EngineParameterBlock* block) override;
  int GetDefaultParams(EngineParameterBlock* block) override;
  bool IsReady() override { return EngineState().EngineTesterReady(); }
  int GetInputCount(int16_t* count) override;
  int ReadProbes(uint16_t count, const uint8_t* inputs, ProbeInputRecord* records) override;
  int FindReferenceProbe(int32_t* referenceCode) override;
  int SetEngineType(int32_t type) override;
  int SetSparkNumberCylinders(uint8_t value) override;
  int SetSparkNumberMarks(uint16_t value) override;
  int SetSparkMarkOffset(int16_t value) override;
  int SetSparkStroke(uint8_t value) override;
  int SetSparkSensitivity(uint8_t value) override;
  int SetSparkSpeedSensorType(int32_t value) override;
  int SetSparkCoilType(int32_t value) override;
  int SetSparkHiVoltageTypeProbe(int32_t value) override;
  int SetSparkPolarityHVProbes(uint32_t value) override;
  int SetDieselNumberCylinders(uint8_t value) override;
  int SetDieselNumberMarks(uint16_t value) override;
  int SetDieselMarkOffset(int16_t value) override;
  int SetDieselStroke(uint8_t value) override;
  int SetDieselComparativeLevel(uint8_t value) override;
  int SetDieselPressureSensorType(int32_t value) override;
  int SetDieselSensitivity(int32_t value) override;
  int SetDieselSpeedSensorType(int32_t value) override;
  int GetEngineType(int32_t* type) override;
  int GetSparkNumberCylinders(uint8_t* value) override;
  int GetSparkNumberMarks(uint16_t* value) override;
  int GetSparkMarkOffset(int16_t* value) override;
  int GetSparkStroke(uint8_t* value) override;
  int GetSparkSensitivity(uint8_t* value) override;
  int GetSparkSpeedSensorType(int32_t* value) override;
  int GetSparkCoilType(int32_t* value) override;
  int GetSparkHiVoltageTypeProbe(int32_t* value) override;
  int GetSparkPolarityHVProbes(uint32_t* value) override;
  int GetDieselNumberCylinders(uint8_t* value) override;
  int GetDieselNumberMarks(uint16_t* value) override;
  int GetDieselMarkOffset(int16_t* value) override;
  int GetDieselStroke(uint8_t* value) override;
  int GetDieselComparativeLevel(uint8_t* value) override;
  int GetDieselPressureSensorType(int32_t* value) override;
  int GetDieselSensitivity(uint8_t* value) override;
  int GetDieselSpeedSensorType(int32_t* value) override;
  int Measure() override;
  int WaitReady() override;

 private:
  // Stores one parameter field when `valid`; 12 otherwise. Setting changes mark ParamsChanged.
  template <typename Field, typename Value>
  int Store(Field EngineParameterBlock::*field, Value value, bool valid, bool marksChanged = true);
  template <typename Field, typename Out>
  int Load(Field EngineParameterBlock::*field, Out* out) const;
  // SetAllParams' fields of the block's engine type into `current`; whether all were valid.
  static bool TakeParams(const EngineParameterBlock& block, EngineParameterBlock& current);

  // The link check of WaitReady: a busy or failed link is given 300 ms (recovering a failed one).
  int WaitLinkReady();

};

}  // namespace kv310
