// The engine-tester data object and the polled readers against the real measurement library,
// talking to the simulated board through the in-process link "zlinksim.dll": the engine tester
// attached with its default probes and the engine at 3000 rpm.
#include <core/KeloDll.h>
#include <core/MotortesterData.h>
#include <core/MotortesterReaders.h>
#include <core/Reg.h>

#include <platform/module.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <kvtest/CoreGlobals.h>
#include <kvtest/TesterFirmware.h>

#include <sim/ZlinkSim.h>

#include <fstream>
#include <string>
#include <unistd.h>

namespace {

class EngineTesterOnTheBoard : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    kvtest::SetMachineString("Software\\KELO\\Kv310", "DLL name", "zlinksim.dll");
    // The firmware file names the version the simulated module runs, so no download happens.
    kvtest::InstallTesterFirmware();

    m_hSim = LoadLibrary(sim::kZlinkSimModule);
    ASSERT_NE(m_hSim, 0u);
    m_pKnob = reinterpret_cast<sim::ZlinkSimSetProc>(
        reinterpret_cast<void (*)()>(GetProcAddress(m_hSim, sim::kZlinkSimSetExport)));
    ASSERT_NE(m_pKnob, nullptr);
    Knob("engineTester", 1);
    Knob("rpm", 3000);
    for (const char* key : {"SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel"})
      RegDeleteKey(HKEY_CURRENT_USER, key);
  }
  void TearDown() override {
    Close();
    if (m_hSim) FreeLibrary(m_hSim);
    kvtest::CoreTest::TearDown();
  }

  void Knob(const char* name, double value) { ASSERT_EQ(m_pKnob(name, value), 0) << name; }

  // The library loaded, the link started, the engine tester detected, the data object bound.
  void Open() {
    ASSERT_EQ(m_Kelo.Load(), 1);
    ASSERT_EQ(m_Kelo.Communication()->Open(), 0);
    ASSERT_EQ(m_Kelo.Communication()->Start(), 0);
    ASSERT_EQ(m_Kelo.Motortester()->Detect(), 0);
    data().SetInterfaces(m_Kelo.Motortester(), m_Kelo.MTVoltmeter(), m_Kelo.Communication(), m_Kelo.Oscilloscope());
  }
  void Close() {
    data().SetInterfaces(nullptr, nullptr, nullptr, nullptr);
    m_Kelo.Unload();
  }
  static CMotortesterData& data() { return *GetMotortesterDevice(); }

  CKelo_DLL m_Kelo;
  HMODULE m_hSim = 0;
  sim::ZlinkSimSetProc m_pKnob = nullptr;
};

TEST_F(EngineTesterOnTheBoard, ProbeCheckPerMeasurement) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_TRUE(data().IsReady());
  // The board's default probes suit every measurement of the engine-tester pane and the leak check.
  for (int id : {4, 5, 9, 10, 11, 12, 13, 14, 16, 17, 18, 20, 43}) EXPECT_TRUE(data().WaitMotortesterReady(id)) << id;
  // The leak check wants the 500 A clamp: not with a 50 A clamp in its place.
  Knob("probe3", 4);
  EXPECT_FALSE(data().WaitMotortesterReady(43));
  Knob("probe6", 0);  // the temperature sensor unplugged
  EXPECT_FALSE(data().WaitMotortesterReady(9));
}

TEST_F(EngineTesterOnTheBoard, VoltageAndSpeed) {
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_EQ(data().LoadMotortesterParams(), 1);
  ASSERT_TRUE(data().StartVoltCurrent());
  const CMotortesterData::StatusRecord& status = data().ReadVoltCurrent();
  EXPECT_EQ(status.m_nStatus[0], 1);
  EXPECT_NEAR(data().GetChannel(0).m_Reading.m_dValue, 13.8, 0.2);
  double speed = 0;
  EXPECT_EQ(data().ReadVoltCurrentSpeed(speed).m_nStatus[0], 1);
  EXPECT_NEAR(speed, 3000.0, 30.0);
}

TEST_F(EngineTesterOnTheBoard, PolledReaders) {
  Knob("advance", 12);
  Knob("dwell", 40);
  Knob("temperature", 85);
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_EQ(data().LoadMotortesterParams(), 1);

  CAdvanceReader advance;
  advance.SetInterfaces(m_Kelo.MTAdvancemeter(), m_Kelo.Communication());
  advance.Start();
  EXPECT_EQ(advance.GetSelectedKind(), 9);
  EXPECT_TRUE(advance.HasSpeedProbe());
  int speed = 0, statuses[3] = {};
  double degrees = 0, temperature = 0;
  BOOL hold = FALSE;
  advance.Read(speed, degrees, temperature, statuses, hold);
  EXPECT_EQ(statuses[CAdvanceReader::SPEED], 1);
  EXPECT_EQ(statuses[CAdvanceReader::ADVANCE], 1);
  EXPECT_NEAR(speed, 3000, 30);
  EXPECT_NEAR(degrees, 12.0, 0.5);
  EXPECT_NEAR(temperature, 85.0, 1.0);

  CDwellReader dwell;
  dwell.SetInterfaces(m_Kelo.MTDwellanglemeter(), m_Kelo.Communication());
  dwell.Start();
  double angle = 0;
  int two[2] = {};
  dwell.Read(speed, angle, temperature, two);
  EXPECT_EQ(two[CDwellReader::DWELL], 1);
  EXPECT_NEAR(angle, 40.0, 1.0);

  CTemperatureReader thermometer;
  thermometer.SetInterfaces(m_Kelo.MTTemperaturemeter(), m_Kelo.Communication());
  thermometer.Start();
  int celsius = 0;
  thermometer.Read(speed, celsius, two);
  EXPECT_EQ(two[CTemperatureReader::TEMPERATURE], 1);
  EXPECT_EQ(celsius, 85);
  EXPECT_NEAR(speed, 3000, 30);
}

TEST_F(EngineTesterOnTheBoard, LoadAndSaveAgainstTheLibrary) {
  CReg reg;
  reg.WriteDword(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "NumberCylinders", 12);
  reg.WriteDword(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "MarkOffset", 0xFFFFFFE2u);
  reg.WriteDword(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel", "NumberCylinders", 6);
  reg.WriteDword(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel", "ComparativeLevel", 15);
  ASSERT_NO_FATAL_FAILURE(Open());
  ASSERT_EQ(data().LoadMotortesterParams(), 1);
  IMotortester_6* tester = m_Kelo.Motortester();
  int32_t type = -1;
  tester->GetEngineType(&type);
  EXPECT_EQ(type, 0);
  uint8_t cylinders = 0, level = 0;
  int16_t offset = 0;
  tester->GetSparkNumberCylinders(&cylinders);
  tester->GetSparkMarkOffset(&offset);
  EXPECT_EQ(cylinders, 4);  // 12 is outside 1..8: the default
  EXPECT_EQ(offset, -30);
  tester->GetDieselNumberCylinders(&cylinders);
  tester->GetDieselComparativeLevel(&level);
  EXPECT_EQ(cylinders, 6);
  EXPECT_EQ(level, 15);

  data().SetNumberCylinders(0, 8);
  EXPECT_EQ(data().ApplyMotortesterParams(0), 0);
  data().SetStroke(0, 3);  // the library refuses a stroke of 3
  EXPECT_NE(data().ApplyMotortesterParams(0), 0);
  ASSERT_TRUE(data().SaveMotortesterParams());
  DWORD v = 0;
  reg.ReadDword(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "NumberCylinders", v);
  EXPECT_EQ(v, 8u);
  reg.ReadDword(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel", "NumberCylinders", v);
  EXPECT_EQ(v, 6u);
  reg.ReadDword(HKEY_CURRENT_USER, "SOFTWARE\\KELO\\KV310\\Parameter\\Spark", "MarkOffset", v);
  EXPECT_EQ(v, 0xFFFFFFE2u);
}

}  // namespace
