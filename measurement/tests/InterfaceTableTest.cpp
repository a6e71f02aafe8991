#include "Library.h"

#include <gtest/gtest.h>

#include <cstring>
#include <kv310/Kv310.h>
#include <set>
#include <vector>

namespace kv310 {
namespace {

// Callers reach the operations by position, so the position of each operation is checked from
// its member pointer: in the Itanium C++ ABI a pointer to a virtual member function holds
// 1 + the operation's byte offset in the table.
template <typename C, typename F>
long SlotOf(F C::*operation) {
  struct Raw {
    uintptr_t ptr;
    ptrdiff_t adjustment;
  } raw;
  static_assert(sizeof operation == sizeof raw);
  std::memcpy(&raw, &operation, sizeof raw);
  if ((raw.ptr & 1) == 0) return -1;  // not virtual
  return static_cast<long>((raw.ptr - 1) / sizeof(void*));
}

struct Slot {
  const char* name;
  long actual;
  long expected;
};
#define SLOT(Interface, Operation, expected) Slot{#Interface "::" #Operation, SlotOf(&Interface::Operation), expected}

TEST(InterfaceTable, OperationsSitInTheirSlots) {
  const std::vector<Slot> slots = {
      SLOT(IInfo_0, GetVersion, 0), SLOT(IInfo_0, GetBoardName, 1), SLOT(IInfo_0, GetMotortesterName, 2),
      SLOT(IInfo_0, GetBoardStatus, 3),
      SLOT(ICommunication_1, GetIdleEvent, 0), SLOT(ICommunication_1, GetState, 1), SLOT(ICommunication_1, Open, 2),
      SLOT(ICommunication_1, Close, 3), SLOT(ICommunication_1, Start, 4), SLOT(ICommunication_1, Stop, 5),
      SLOT(ICommunication_1, Recover, 6), SLOT(ICommunication_1, AbortRead, 7), SLOT(ICommunication_1, WaitIdle, 8),
      SLOT(ICommunication_1, SetNotification, 9),
      SLOT(IOscilloscope_2, Init, 0), SLOT(IOscilloscope_2, SetSampleRateIndex, 5), SLOT(IOscilloscope_2, SetRangeIndex, 11),
      SLOT(IOscilloscope_2, GetProbeInfo, 14), SLOT(IOscilloscope_2, SetTriggerPosition, 17),
      SLOT(IOscilloscope_2, SetTriggerSensitivity, 29), SLOT(IOscilloscope_2, GetAcquisitionMode, 30),
      SLOT(IOscilloscope_2, SetAcquisitionMode, 31), SLOT(IOscilloscope_2, SetAll, 32), SLOT(IOscilloscope_2, GetAll, 33),
      SLOT(IOscilloscope_2, StartMeasurement, 35), SLOT(IOscilloscope_2, GetData, 36),
      SLOT(IOscilloscope_2, GetMeasurements, 40), SLOT(IOscilloscope_2, CheckSettings, 41),
      SLOT(IOscilloscope_2, StopMeasurement, 42), SLOT(IOscilloscope_2, WaitData, 43),
      SLOT(IOscilloscope_2, ReadSaturationData, 44), SLOT(IOscilloscope_2, ConvertValue, 45),
      SLOT(IVoltmeter_3, GetChannelCount, 0), SLOT(IVoltmeter_3, GetAutoRangeIndex, 5), SLOT(IVoltmeter_3, ReadProbe, 9),
      SLOT(IVoltmeter_3, MeasureRms, 11),
      SLOT(IOhmmeter_4, GetAutoRangeIndex, 4), SLOT(IOhmmeter_4, SetRangeIndex, 5), SLOT(IOhmmeter_4, Measure, 6),
      SLOT(IDiodeTest_5, GetRange, 0), SLOT(IDiodeTest_5, Configure, 1), SLOT(IDiodeTest_5, Measure, 2),
      SLOT(IMotortester_6, Detect, 0), SLOT(IMotortester_6, SetAllParams, 1), SLOT(IMotortester_6, GetAllParams, 2),
      SLOT(IMotortester_6, GetDefaultParams, 3), SLOT(IMotortester_6, IsReady, 4), SLOT(IMotortester_6, GetInputCount, 5),
      SLOT(IMotortester_6, ReadProbes, 6), SLOT(IMotortester_6, FindReferenceProbe, 7),
      SLOT(IMotortester_6, SetEngineType, 8), SLOT(IMotortester_6, SetSparkNumberCylinders, 9),
      SLOT(IMotortester_6, SetSparkPolarityHVProbes, 17), SLOT(IMotortester_6, SetDieselNumberCylinders, 18),
      SLOT(IMotortester_6, SetDieselSpeedSensorType, 25), SLOT(IMotortester_6, GetEngineType, 26),
      SLOT(IMotortester_6, GetSparkNumberCylinders, 27), SLOT(IMotortester_6, GetSparkPolarityHVProbes, 35),
      SLOT(IMotortester_6, GetDieselNumberCylinders, 36), SLOT(IMotortester_6, GetDieselSensitivity, 42),
      SLOT(IMotortester_6, Measure, 44), SLOT(IMotortester_6, WaitReady, 45),
      SLOT(IMTOscilloscope_7, SetAngleRateIndex, 10), SLOT(IMTOscilloscope_7, GetChannelCount, 11),
      SLOT(IMTOscilloscope_7, GetProbeFactor, 19), SLOT(IMTOscilloscope_7, SetProbe, 20),
      SLOT(IMTOscilloscope_7, GetProbeFlag, 21), SLOT(IMTOscilloscope_7, SetProbeFlag, 22),
      SLOT(IMTOscilloscope_7, GetTriggerPositionLimits, 23), SLOT(IMTOscilloscope_7, SetTriggerSensitivity, 37),
      SLOT(IMTOscilloscope_7, Rearm, 38), SLOT(IMTOscilloscope_7, ToggleOption, 39),
      SLOT(IMTOscilloscope_7, GetAcquisitionMode, 40), SLOT(IMTOscilloscope_7, SetAcquisitionMode, 41),
      SLOT(IMTOscilloscope_7, SetAll, 42), SLOT(IMTOscilloscope_7, GetAll, 43), SLOT(IMTOscilloscope_7, StartMeasurement, 45),
      SLOT(IMTOscilloscope_7, GetCylinderInfo, 50), SLOT(IMTOscilloscope_7, GetEngineSamples, 51),
      SLOT(IMTOscilloscope_7, GetEngineSpeed, 53), SLOT(IMTOscilloscope_7, CheckSettings, 54),
      SLOT(IMTOscilloscope_7, StopMeasurement, 55), SLOT(IMTOscilloscope_7, WaitData, 56),
      SLOT(IMTOscilloscope_7, ReadSaturationData, 57), SLOT(IMTOscilloscope_7, ConvertValue, 58),
      SLOT(IMTOscilloscope_7, GetProbeInfo, 59),
      SLOT(IMTVoltmeter_8, GetRangeCount, 1), SLOT(IMTVoltmeter_8, GetRanges, 2), SLOT(IMTVoltmeter_8, SetMode, 8),
      SLOT(IMTVoltmeter_8, GetInputCount, 10), SLOT(IMTVoltmeter_8, ReadChannelProbes, 11),
      SLOT(IMTVoltmeter_8, SelectChannelInput, 12), SLOT(IMTVoltmeter_8, ReadStatistics, 15),
      SLOT(IMTVoltmeter_8, ReadStatisticsRms, 16), SLOT(IMTVoltmeter_8, GetEngineSpeed, 17),
      SLOT(IMTVoltmeter_8, ReadSampling, 19),
      SLOT(IMTOhmmeter_9, GetRangeIndex, 3), SLOT(IMTOhmmeter_9, Measure, 6),
      SLOT(IMTDiodeTest_10, Configure, 1), SLOT(IMTDiodeTest_10, Measure, 2),
      SLOT(IMTAdvancemeter_11, GetProbeKind, 0), SLOT(IMTAdvancemeter_11, GetProbeCount, 2),
      SLOT(IMTAdvancemeter_11, GetProbes, 3), SLOT(IMTAdvancemeter_11, SelectProbe, 4),
      SLOT(IMTAdvancemeter_11, ReadProbes, 5), SLOT(IMTAdvancemeter_11, Measure, 6),
      SLOT(IMTTemperaturemeter_12, GetTemperatureSensorClass, 0), SLOT(IMTTemperaturemeter_12, ReadProbes, 1),
      SLOT(IMTTemperaturemeter_12, Measure, 2),
      SLOT(IMTDwellanglemeter_13, SelectInput, 1), SLOT(IMTDwellanglemeter_13, ReadProbes, 2),
      SLOT(IMTDwellanglemeter_13, Measure, 3),
      SLOT(IMTHiVoltage_14, ReadProbe, 0), SLOT(IMTHiVoltage_14, GetMode, 1), SLOT(IMTHiVoltage_14, SetMode, 2),
      SLOT(IMTHiVoltage_14, Rearm, 3), SLOT(IMTHiVoltage_14, TogglePolarity, 4), SLOT(IMTHiVoltage_14, Arm, 5),
      SLOT(IMTHiVoltage_14, ReadFrame, 6), SLOT(IMTHiVoltage_14, GetCylinderRecordCount, 7),
      SLOT(IMTHiVoltage_14, GetCylinderValues, 8), SLOT(IMTHiVoltage_14, GetEngineSpeed, 9),
      SLOT(IMTLeakTest_15, SelectInput, 0), SLOT(IMTLeakTest_15, GetInput, 1), SLOT(IMTLeakTest_15, ReadProbe, 2),
      SLOT(IMTLeakTest_15, Start, 3), SLOT(IMTLeakTest_15, Read, 4),
  };
  for (const Slot& s : slots) EXPECT_EQ(s.actual, s.expected) << s.name;
}

TEST(InterfaceTable, LoadBuildsSixteenSingletonsAndUnloadDestroysThem) {
  LibraryAttach();
  std::set<void*> seen;
  for (unsigned id = 0; id < kInterfaceCount; ++id) {
    void* object = InterfaceOf(id);
    ASSERT_NE(object, nullptr) << id;
    EXPECT_EQ(InterfaceOf(id), object) << "same pointer on every call, id " << id;
    seen.insert(object);
  }
  EXPECT_EQ(seen.size(), 16u) << "sixteen distinct objects";
  EXPECT_EQ(InterfaceOf(16), nullptr);
  EXPECT_EQ(InterfaceOf(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(BoardMode(), 0);

  // The objects are deleted here; a leak checker (the address-sanitizer build) reports any that
  // are not.
  LibraryDetach();
  for (unsigned id = 0; id < kInterfaceCount; ++id) EXPECT_EQ(InterfaceOf(id), nullptr);
}

}  // namespace
}  // namespace kv310
