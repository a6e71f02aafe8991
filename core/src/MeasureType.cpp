#include <core/MeasureType.h>

#include <core/Reg.h>

#include <cstdio>

namespace {

const char* const kManualNames[] = {
    "StartingCurrentAndVoltage",      // 11
    "OxygenSensor",                   // 12
    "Injector",                       // 13
    "FuelTankVentValve",              // 14
    "HallSensor",                     // 15
    "InductiveSensor",                // 16
    "HallAndInductiveSensor",         // 17
    "ThrottleActuator",               // 18
    "ThrottlePotOneTrack",            // 19
    "ThrottlePotTwoTracks",           // 20
    "IntakeManifoldPressureSensor",   // 21
    "AirVolumeSensor",                // 22
    "SignalOfGeneratorIgnition",      // 23
    "PrimaryWindingCurrentAndVoltage",  // 24
    "ChargingCurrentAndVoltage",      // 25
    "AlternatorRipple",               // 26
    "NeedleStrokeSensor",             // 27
};
constexpr int kFirstComponentTest = measure::ToInt(measure::kFirstComponentTest);
constexpr int kLastComponentTest = measure::ToInt(measure::kLastMeasureType);
static_assert(sizeof(kManualNames) / sizeof(kManualNames[0]) == kLastComponentTest - kFirstComponentTest + 1);

}  // namespace

const char* GetManualName(int measureType) {
  if (measureType < kFirstComponentTest || measureType > kLastComponentTest) return nullptr;
  return kManualNames[measureType - kFirstComponentTest];
}

int MeasureType::IsComponentTestType() const {
  const int type = m_nMeasureType.load();
  return type >= kFirstComponentTest && type <= kLastComponentTest ? 1 : 0;
}

int MeasureType::GetManualPath(char* buffer, int size) const {
  CString path;
  if (CReg().ReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", "Path", path) != CReg::OK) return 0;
  const char* name = GetManualName(m_nMeasureType.load());
  if (!name || !buffer || size <= 0) return 0;
  std::snprintf(buffer, static_cast<size_t>(size), "%sManuals\\%s", (LPCSTR)path, name);
  return 1;
}

MeasureType& GetMeasureType() {
  static MeasureType preset;
  return preset;
}
