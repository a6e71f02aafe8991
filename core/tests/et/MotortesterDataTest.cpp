// The engine-tester data object against scripted library interfaces: the probe check per
// measurement on both paths, the state loop on the virtual clock, the user codes, the voltage and
// current reads, the registry keeping of both parameter sets, and the three polled readers.
#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>
#include <core/MotortesterReaders.h>
#include <core/ProbeConnection.h>
#include <core/Reg.h>

#include <platform/clock.h>
#include <platform/registry.h>

#include <gtest/gtest.h>

#include <kvtest/CoreGlobals.h>

#include "Kv310Stubs.h"

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

using ettest::StubCommunication_1;
using ettest::StubMotortester_6;
using ettest::StubMTAdvancemeter_11;
using ettest::StubMTDwellanglemeter_13;
using ettest::StubMTTemperaturemeter_12;
using ettest::StubMTVoltmeter_8;
using ettest::StubOscilloscope_2;

constexpr int kReady = 1, kBoard = 0;

// ---- scripted interfaces ---------------------------------------------------------------------

struct FakeCommunication : StubCommunication_1 {
  std::vector<int> states{2};  // answered in turn, the last one for ever
  size_t next = 0;
  int aborts = 0, recovers = 0;
  int GetState() override {
    const int s = states[next < states.size() ? next : states.size() - 1];
    ++next;
    return s;
  }
  int AbortRead() override { return ++aborts, 0; }
  int Recover() override { return ++recovers, 0; }
};

// The engine-tester board's probes and a library-like parameter store: SetAllParams takes only the
// selected set, validated field by field; GetAllParams fills the asked set.
struct FakeTester : StubMotortester_6 {
  bool ready = true;
  int kinds[10] = {1, 1, 3, 3, 11, 6, 8, 9, 7, 13};
  int referenceRc = 0;
  int32_t referenceCode = 110;
  int failSlot = 0;  // 5, 6 or 7 fail
  EngineParameterBlock defaults{};
  EngineParameterBlock current{};
  int setCalls = 0;

  FakeTester() {
    defaults.engineType = 0;
    defaults.sparkNumberCylinders = 4;
    defaults.sparkNumberMarks = 1;
    defaults.sparkStroke = 4;
    defaults.sparkSensitivity = 3;
    std::memset(defaults.sparkPolarityHVProbes, 1, 4);
    defaults.dieselNumberCylinders = 4;
    defaults.dieselNumberMarks = 1;
    defaults.dieselStroke = 4;
    defaults.dieselComparativeLevel = 11;
    defaults.dieselPressureSensorType = 1;
    defaults.dieselSensitivity = 3;
    defaults.dieselSpeedSensorType = 2;
    current = defaults;
  }
  bool IsReady() override { return ready; }
  int GetInputCount(int16_t* count) override {
    if (failSlot == 5) return 14;
    *count = 10;
    return 0;
  }
  int ReadProbes(uint16_t n, const uint8_t* inputs, ProbeInputRecord* records) override {
    if (failSlot == 6) return 14;
    for (int i = 0; i < n; ++i) {
      records[i] = ProbeInputRecord{};
      records[i].input = inputs[i];
      records[i].probe.kind = kinds[inputs[i]];
    }
    return 0;
  }
  int FindReferenceProbe(int32_t* code) override {
    if (failSlot == 7) return 14;
    *code = referenceRc == 0 ? referenceCode : 0;
    return referenceRc;
  }
  int GetDefaultParams(EngineParameterBlock* block) override { return *block = defaults, 0; }
  int SetAllParams(EngineParameterBlock b) override {
    ++setCalls;
    if (b.engineType == 0) {
      if (b.sparkNumberCylinders < 1 || b.sparkNumberCylinders > 8) return 12;
      std::memcpy(&current.sparkNumberCylinders, &b.sparkNumberCylinders, 20);
      std::memcpy(current.sparkPolarityHVProbes, b.sparkPolarityHVProbes, 4);
    } else if (b.engineType == 1) {
      if (b.dieselNumberCylinders < 1 || b.dieselNumberCylinders > 8) return 12;
      std::memcpy(&current.dieselNumberCylinders, &b.dieselNumberCylinders, 20);
    } else {
      return 29;
    }
    current.engineType = b.engineType;
    return 0;
  }
  int GetAllParams(EngineParameterBlock* b) override {
    if (b->engineType == 0) {
      std::memcpy(&b->sparkNumberCylinders, &current.sparkNumberCylinders, 24);
    } else if (b->engineType == 1) {
      std::memcpy(&b->dieselNumberCylinders, &current.dieselNumberCylinders, 20);
    } else {
      return 29;
    }
    b->engineType = current.engineType;
    return 0;
  }
  int GetSparkPolarityHVProbes(uint32_t* value) override { return *value = 0x01000100u, 0; }
};

struct FakeOscilloscope : StubOscilloscope_2 {
  int kinds[2] = {1, 2};
  bool fail = false;
  int GetProbeInfo(uint16_t channel, ProbeDescriptor* probe) override {
    if (fail) return 14;
    *probe = ProbeDescriptor{};
    probe->kind = kinds[channel];
    return 0;
  }
};

ProbeDescriptor Probe(int kind, int probeClass) {
  ProbeDescriptor p{};
  p.kind = kind;
  p.probeClass = probeClass;
  return p;
}

ScaledValue Scaled(int32_t mantissa, int8_t exponent = 0) {
  ScaledValue v{};
  v.mantissa = mantissa;
  v.exponent = exponent;
  return v;
}

// Voltage channel: a test lead (kind 1, class 0) with ranges 2, 20 and 200 V; current channel: a
// 50 A clamp (kind 2, class 1) with one 40 A range, which the clamp scale makes 50 A.
struct FakeVoltmeter : StubMTVoltmeter_8 {
  DualVoltmeterReading reading{};
  int readRc = 0;
  int plainReads = 0, rmsReads = 0;
  int setModeRc = 0;
  MeasuredValue speed{};
  int speedRc = 0;
  FakeVoltmeter() {
    reading.probe0 = Probe(1, 0);
    reading.probe1 = Probe(2, 1);
    reading.rangeIndex0 = 1;
  }
  int SetMode(int32_t) override { return setModeRc; }
  int ReadProbe(uint16_t channel, ProbeDescriptor* probe) override {
    return *probe = channel ? reading.probe1 : reading.probe0, 0;
  }
  int GetRangeCount(uint16_t channel, uint16_t* count) override { return *count = channel ? 1 : 3, 0; }
  int GetRanges(uint16_t channel, uint16_t count, ScaledValue* ranges) override {
    if (channel) {
      ranges[0] = Scaled(40);
    } else {
      ranges[0] = Scaled(2);
      ranges[1] = Scaled(20);
      ranges[2] = Scaled(200);
    }
    return 0;
  }
  int ReadStatistics(DualVoltmeterReading* r) override { return ++plainReads, *r = reading, readRc; }
  int ReadStatisticsRms(DualVoltmeterReading* r) override { return ++rmsReads, *r = reading, readRc; }
  int GetEngineSpeed(MeasuredValue* v) override { return *v = speed, speedRc; }
};

// ---- fixture ---------------------------------------------------------------------------------

class EngineTesterData : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    data().SetInterfaces(&tester, &volt, &comm, &osc);
  }
  static CMotortesterData& data() { return *GetMotortesterDevice(); }

  FakeTester tester;
  FakeVoltmeter volt;
  FakeCommunication comm;
  FakeOscilloscope osc;
};

// ---- probe check -----------------------------------------------------------------------------

struct ReadyCase {
  int id;
  int path;  // kReady: engine-tester board, kBoard: measuring board
  std::vector<std::pair<int, int>> kinds;  // input -> kind changed from the full set
  int referenceRc;
  int32_t referenceCode;
  int coil;
  BOOL expected;
};

TEST_F(EngineTesterData, WaitMotortesterReadyPerMeasurement) {
  const ReadyCase cases[] = {
      // outside 4..43: at once
      {3, kReady, {{0, 0}, {9, 0}}, 0, 110, 0, TRUE},
      {44, kReady, {{0, 0}}, 0, 110, 0, TRUE},
      // engine-tester path
      {4, kReady, {}, 0, 110, 0, TRUE},
      {4, kReady, {{7, 0}, {8, 0}, {9, 0}}, 0, 110, 0, FALSE},
      {4, kReady, {{7, 0}, {8, 0}}, 0, 110, 0, TRUE},
      {5, kReady, {}, 0, 110, 0, TRUE},
      {5, kReady, {{2, 0}, {3, 15}}, 0, 110, 0, TRUE},   // the 5 A clamp fits as current
      {5, kReady, {{2, 0}, {3, 0}}, 0, 110, 0, FALSE},
      {5, kReady, {{0, 14}}, 0, 110, 0, FALSE},          // voltage only on input 0 for id 5
      {6, kReady, {{0, 0}, {6, 0}}, 0, 110, 0, TRUE},
      {9, kReady, {}, 0, 110, 0, TRUE},
      {9, kReady, {{6, 0}}, 0, 110, 0, FALSE},
      {10, kReady, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, 0, 110, 0, TRUE},  // the reference probe on 4
      {10, kReady, {{0, 0}, {1, 0}, {2, 0}, {3, 0}}, 35, 0, 0, FALSE},
      {11, kReady, {}, 0, 110, 0, TRUE},
      {11, kReady, {}, 0, 111, 0, TRUE},
      {11, kReady, {{9, 0}}, 0, 110, 0, FALSE},
      {11, kReady, {}, 0, 112, 0, FALSE},                // N4 is not listed for mode 11
      {12, kReady, {{8, 12}}, 0, 112, 1, TRUE},          // N4 with the SYNC1 pick-up, coil 1
      {12, kReady, {{8, 12}}, 0, 112, 0, FALSE},         // coil 0: N4 not listed
      {13, kReady, {}, 31, 0, 0, FALSE},                 // reference found off input 4
      {14, kReady, {}, 35, 0, 0, FALSE},
      {17, kReady, {{5, 0}, {7, 0}}, 0, 110, 0, TRUE},
      {19, kReady, {{5, 0}}, 0, 110, 0, FALSE},
      {23, kReady, {{3, 0}}, 0, 110, 0, TRUE},
      {23, kReady, {{2, 0}}, 0, 110, 0, FALSE},
      {26, kReady, {}, 0, 110, 0, TRUE},
      {26, kReady, {{2, 2}, {3, 2}}, 0, 110, 0, FALSE},  // wants the 500 A clamp
      {30, kReady, {{5, 0}, {8, 0}, {9, 0}}, 0, 110, 0, FALSE},
      {32, kReady, {{1, 0}}, 0, 110, 0, FALSE},
      {35, kReady, {{5, 0}, {8, 0}, {9, 0}}, 0, 110, 0, TRUE},
      {39, kReady, {{2, 2}, {3, 2}}, 0, 110, 0, TRUE},
      {39, kReady, {}, 0, 110, 0, FALSE},                // wants the 50 A clamp
      {43, kReady, {{0, 0}}, 0, 110, 0, TRUE},
      {43, kReady, {{2, 2}, {3, 2}}, 0, 110, 0, FALSE},  // 50 A clamps only
      // board path: channels as inputs 0 and 1
      {4, kBoard, {{0, 0}, {1, 0}}, 0, 0, 0, TRUE},
      {21, kBoard, {{0, 0}, {1, 0}}, 0, 0, 0, TRUE},
      {10, kBoard, {{0, 0}}, 0, 0, 0, TRUE},
      {10, kBoard, {{0, 0}, {1, 0}}, 0, 0, 0, FALSE},
      {43, kBoard, {{0, 2}, {1, 3}}, 0, 0, 0, TRUE},
      {43, kBoard, {{0, 1}, {1, 2}}, 0, 0, 0, FALSE},
      {23, kBoard, {{1, 1}}, 0, 0, 0, FALSE},
      {23, kBoard, {{0, 0}, {1, 15}}, 0, 0, 0, TRUE},
      {26, kBoard, {{0, 1}, {1, 3}}, 0, 0, 0, TRUE},
      {26, kBoard, {{0, 1}, {1, 2}}, 0, 0, 0, FALSE},
      {22, kBoard, {{0, 2}}, 0, 0, 0, FALSE},
      {33, kBoard, {{0, 1}, {1, 0}}, 0, 0, 0, TRUE},
  };
  for (const ReadyCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "id " << c.id << (c.path == kReady ? " engine tester" : " board"));
    FakeTester t;
    FakeOscilloscope o;
    o.kinds[0] = 1;
    o.kinds[1] = 1;
    t.ready = c.path == kReady;
    for (auto [input, kind] : c.kinds) (c.path == kReady ? t.kinds[input] : o.kinds[input]) = kind;
    t.referenceRc = c.referenceRc;
    t.referenceCode = c.referenceCode;
    data().SetInterfaces(&t, &volt, &comm, &o);
    data().m_nSparkCoilType = c.coil;
    EXPECT_EQ(data().WaitMotortesterReady(c.id), c.expected);
  }
}

TEST_F(EngineTesterData, FailingProbeQueriesGiveFalse) {
  for (int slot : {5, 6, 7}) {
    SCOPED_TRACE(slot);
    tester.failSlot = slot;
    EXPECT_FALSE(data().WaitMotortesterReady(6));
  }
  tester.ready = false;
  osc.fail = true;
  EXPECT_FALSE(data().WaitMotortesterReady(4));
}

TEST_F(EngineTesterData, StateLoopRecoversAndWaitsOnTheClock) {
  kvp::ClockUseVirtual(true);
  struct Case {
    std::vector<int> states;
    int aborts, recovers;
    uint64_t waitedMs;
  } cases[] = {
      {{2}, 0, 0, 0},
      {{3, 4, 1, 2}, 1, 1, 750},
      {{4}, 0, 8, 2000},  // never idle: eight polls, then the probes are asked anyway
  };
  for (const Case& c : cases) {
    FakeCommunication link;
    link.states = c.states;
    data().SetInterfaces(&tester, &volt, &link, &osc);
    const uint64_t begin = kvp::ClockNowMs();
    std::atomic<bool> done{false};
    std::thread clock([&] {
      while (!done) {
        if (kvp::ClockTimedWaiters() > 0) kvp::ClockAdvance(250);
        std::this_thread::yield();
      }
    });
    EXPECT_TRUE(data().WaitMotortesterReady(6));
    done = true;
    clock.join();
    EXPECT_EQ(link.aborts, c.aborts);
    EXPECT_EQ(link.recovers, c.recovers);
    EXPECT_EQ(kvp::ClockNowMs() - begin, c.waitedMs);
  }
}

// A request holding the link (a leak test recording) is waited for, at most its own time, and its
// pending read is never ended: the state loop then polls without aborting.
TEST_F(EngineTesterData, StateLoopNeverAbortsAReservedLink) {
  kvp::ClockUseVirtual(true);
  FakeCommunication link;
  link.states = {3};
  data().SetInterfaces(&tester, &volt, &link, &osc);
  CMeasureEngine& engine = GetMeasureEngine();
  const unsigned token = engine.ReserveLink(1000);
  const uint64_t begin = kvp::ClockNowMs();
  std::atomic<bool> done{false};
  std::thread clock([&] {
    while (!done) {
      if (kvp::ClockTimedWaiters() > 0) kvp::ClockAdvance(250);
      std::this_thread::yield();
    }
  });
  data().WaitMotortesterReady(6);
  done = true;
  clock.join();
  engine.ReleaseLink(token);
  EXPECT_EQ(link.aborts, 0);
  EXPECT_EQ(kvp::ClockNowMs() - begin, 1000u + 2000u) << "the reservation's time, then the eight polls";
}

// ---- accessors -------------------------------------------------------------------------------

TEST_F(EngineTesterData, SpeedSensorAndPressureUserCodes) {
  struct Case {
    int kind, user, stored;
  } sensors[] = {{0, 1, 0}, {0, 2, 1}, {0, 3, 3}, {1, 2, 1}, {1, 3, 3}, {1, 4, 2}};
  for (const Case& c : sensors) {
    SCOPED_TRACE(testing::Message() << c.kind << "/" << c.user);
    EXPECT_EQ(data().SetSpeedSensorType(c.kind, c.user), 0);
    EXPECT_EQ((c.kind ? data().m_nDieselSpeedSensorType : data().m_nSparkSpeedSensorType).load(), c.stored);
    EXPECT_EQ(data().GetSpeedSensorType(c.kind), c.user);
  }
  data().m_nSparkSpeedSensorType = 2;
  data().m_nDieselSpeedSensorType = 0;
  EXPECT_EQ(data().GetSpeedSensorType(0), -1);
  EXPECT_EQ(data().GetSpeedSensorType(1), -1);
  EXPECT_EQ(data().GetSpeedSensorType(2), -1);
  EXPECT_EQ(data().SetSpeedSensorType(0, 4), -1);
  EXPECT_EQ(data().SetSpeedSensorType(3, 1), 2);

  EXPECT_EQ(data().SetPressureSensorType(1, 2), 0);
  EXPECT_EQ(data().GetParamBlock().dieselPressureSensorType, 1);
  EXPECT_EQ(data().GetPressureSensorType(1), 2);
  EXPECT_EQ(data().GetPressureSensorType(0), -1);
  EXPECT_EQ(data().SetPressureSensorType(0, 1), -1);

  EXPECT_EQ(data().GetCoilType(), -1);
  data().SetCoilType(0, 1);
  EXPECT_EQ(data().GetCoilType(), 1);
  data().m_nSparkCoilType = 5;
  EXPECT_EQ(data().GetCoilType(), -1);
  EXPECT_EQ(data().SetCoilType(1, 0), 0 /* kind 1 - 1 */);
  EXPECT_EQ(data().m_nSparkCoilType.load(), 5);

  data().SetNumberCylinders(1, 0x106);
  EXPECT_EQ(data().GetNumberCylinders(1), 6);
  data().SetMarkOffset(0, -30);
  EXPECT_EQ(data().GetMarkOffset(0), -30);
  EXPECT_EQ(data().GetStroke(2), -1);
  EXPECT_EQ(data().TogglePolarity(2), 1);
  EXPECT_EQ(data().GetPolarity(2), 1);
  EXPECT_EQ(data().TogglePolarity(5), 0);
  EXPECT_TRUE(data().ReadPolarities());
  EXPECT_EQ(data().GetPolarity(1), 0);
  EXPECT_EQ(data().GetPolarity(2), 1);
  EXPECT_EQ(data().GetPolarity(4), 1);
}

TEST_F(EngineTesterData, ConstructionValues) {
  EXPECT_EQ(data().GetEngineType(), 2);
  EXPECT_EQ(data().GetHelpMode(), 10);
  EXPECT_EQ(data().m_bAveraging.load(), 1);
  EXPECT_EQ(data().m_bFirstRead.load(), 1);
  EXPECT_EQ(data().GetEngineModeFlag(), 0);
}

TEST_F(EngineTesterData, ReloadDefaultsByEngineType) {
  data().SetNumberCylinders(0, 7);
  data().SetNumberCylinders(1, 7);
  data().SetEngineType(1);
  EXPECT_EQ(data().ReloadDefaults(), 0);
  EXPECT_EQ(data().GetNumberCylinders(0), 7);
  EXPECT_EQ(data().GetNumberCylinders(1), 4);
  EXPECT_EQ(data().GetSpeedSensorType(1), 4);
  data().SetEngineType(0);
  data().ReloadDefaults();
  EXPECT_EQ(data().GetNumberCylinders(0), 4);
  EXPECT_EQ(data().GetCoilType(), 0);
}

// ---- voltage and current ---------------------------------------------------------------------

TEST_F(EngineTesterData, VoltageMapAndClampScale) {
  struct Case {
    int16_t raw;
    double voltage;  // range 20 V
    double current;  // range 40 A x 1.25
  } cases[] = {{-32768, -20.0, -50.0}, {32767, 20.0, 50.0}, {0, 20.0 / 65535, 50.0 / 65535}};
  EXPECT_TRUE(data().StartVoltCurrent());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.raw);
    volt.reading.values0[0] = c.raw;
    volt.reading.values1[0] = c.raw;
    const auto& status = data().ReadVoltCurrent();
    EXPECT_EQ(status.m_nStatus[0], 1);
    EXPECT_EQ(status.m_nStatus[1], 1);
    EXPECT_NEAR(data().GetChannel(0).m_dValues[0], c.voltage, 1e-9);
    EXPECT_NEAR(data().GetChannel(1).m_dValues[0], c.current, 1e-9);
  }
  EXPECT_EQ(data().GetChannel(0).m_Reading.GetDisplayMode(), 1);
  EXPECT_EQ(data().GetChannel(1).m_Reading.GetDisplayMode(), 2);
  // Another range index re-maps: 2 V.
  volt.reading.rangeIndex0 = 0;
  volt.reading.values0[0] = 32767;
  data().ReadVoltCurrent();
  EXPECT_NEAR(data().GetChannel(0).m_dValues[0], 2.0, 1e-9);
}

TEST_F(EngineTesterData, StatusesOtherThanOneRecover) {
  struct Case {
    const char* what;
    ProbeDescriptor probe1;
    int readRc;
    int status0, status1;
  } cases[] = {
      {"all fine", Probe(2, 1), 0, 1, 1},
      {"no clamp", Probe(0, 0), 0, 1, 2},
      {"test lead on the clamp input", Probe(1, 0), 0, 1, 3},
      {"read failed", Probe(2, 1), 14, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeVoltmeter v;
    v.reading.probe1 = c.probe1;
    v.readRc = c.readRc;
    FakeCommunication link;
    data().SetInterfaces(&tester, &v, &link, &osc);
    const auto& status = data().ReadVoltCurrent();
    EXPECT_EQ(status.m_nStatus[0], c.status0);
    EXPECT_EQ(status.m_nStatus[1], c.status1);
    // One recovery before the read, one more when anything is not fine (two after a failed read).
    EXPECT_EQ(link.recovers, 1 + (c.readRc ? 2 : (c.status1 != 1)));
  }
  tester.ready = false;
  const auto& status = data().ReadVoltCurrent();
  EXPECT_EQ(status.m_nStatus[0], 1);
  EXPECT_EQ(volt.plainReads, 0);
}

TEST_F(EngineTesterData, AcSwitchRestartsStatistics) {
  volt.reading.values0[0] = 1000;
  data().ReadVoltCurrent();
  volt.reading.values0[0] = 2000;
  data().ReadVoltCurrent();
  MeterReading& r = data().GetChannel(0).m_Reading;
  EXPECT_TRUE(r.m_bMinMaxSet);
  EXPECT_LT(r.m_dMin, r.m_dMax);
  data().SetACMode(1);
  EXPECT_FALSE(r.m_bMinMaxSet);
  data().ReadVoltCurrent();
  EXPECT_EQ(volt.rmsReads, 1);
  EXPECT_EQ(r.m_dMin, r.m_dMax);
  data().SetACMode(1);  // unchanged: the statistics go on
  EXPECT_TRUE(r.m_bMinMaxSet);
}

TEST_F(EngineTesterData, SpeedNeedsTheConfiguredSensor) {
  struct Case {
    int engineType;
    int kind;
    int spark, diesel;  // stored sensor types
    int status;
  } cases[] = {
      {0, 5, 0, 1, 1}, {0, 13, 0, 1, 1}, {0, 7, 1, 1, 1}, {0, 10, 3, 1, 1}, {0, 7, 0, 1, 3},
      {1, 6, 0, 2, 1}, {1, 7, 0, 1, 1},  {1, 5, 0, 1, 3}, {0, 0, 0, 1, 2},  {2, 5, 0, 1, 0},
      {0, 8, 0, 1, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.engineType << "/" << c.kind);
    data().SetEngineType(c.engineType);
    data().m_nSparkSpeedSensorType = c.spark;
    data().m_nDieselSpeedSensorType = c.diesel;
    volt.speed.probe.kind = c.kind;
    volt.speed.value = Scaled(3000);
    double speed = -5;
    EXPECT_EQ(data().ReadVoltCurrentSpeed(speed).m_nStatus[0], c.status);
    EXPECT_EQ(speed, c.status == 1 ? 3000.0 : -5.0);
  }
}

// ---- registry --------------------------------------------------------------------------------

constexpr const char* kSpark = "SOFTWARE\\KELO\\KV310\\Parameter\\Spark";
constexpr const char* kDiesel = "SOFTWARE\\KELO\\KV310\\Parameter\\Diesel";

class EngineTesterParams : public EngineTesterData {
 protected:
  void SetUp() override {
    EngineTesterData::SetUp();
    RegDeleteKey(HKEY_CURRENT_USER, kSpark);
    RegDeleteKey(HKEY_CURRENT_USER, kDiesel);
  }
  static DWORD Stored(const char* key, const char* name) {
    DWORD v = 0xDEADBEEF;
    CReg().ReadDword(HKEY_CURRENT_USER, key, name, v);
    return v;
  }
  static void Store(const char* key, const char* name, DWORD v) { CReg().WriteDword(HKEY_CURRENT_USER, key, name, v); }
};

TEST_F(EngineTesterParams, LoadSetSaveKeepsBothSets) {
  Store(kSpark, "NumberCylinders", 6);
  Store(kDiesel, "NumberCylinders", 5);
  Store(kDiesel, "ComparativeLevel", 15);
  EXPECT_EQ(data().LoadMotortesterParams(), 1);
  EXPECT_EQ(tester.current.engineType, 0);
  EXPECT_EQ(tester.current.dieselNumberCylinders, 5);
  EXPECT_EQ(tester.current.sparkNumberCylinders, 6);

  data().SetNumberCylinders(0, 3);
  EXPECT_EQ(data().ApplyMotortesterParams(0), 0);
  EXPECT_TRUE(data().SaveMotortesterParams());
  EXPECT_EQ(Stored(kSpark, "NumberCylinders"), 3u);
  EXPECT_EQ(Stored(kDiesel, "NumberCylinders"), 5u);
  EXPECT_EQ(Stored(kDiesel, "ComparativeLevel"), 15u);
  EXPECT_EQ(Stored(kDiesel, "SpeedSensorType"), 2u);
  EXPECT_EQ(Stored(kSpark, "PolarityHVProbe_3"), 1u);
}

TEST_F(EngineTesterParams, MarkOffsetIsStoredSignExtended) {
  data().LoadMotortesterParams();
  data().SetMarkOffset(0, -30);
  data().ApplyMotortesterParams(0);
  ASSERT_TRUE(data().SaveMotortesterParams());
  EXPECT_EQ(Stored(kSpark, "MarkOffset"), 0xFFFFFFE2u);
  data().Reset();
  data().SetInterfaces(&tester, &volt, &comm, &osc);
  data().LoadMotortesterParams();
  EXPECT_EQ(data().GetMarkOffset(0), -30);
}

TEST_F(EngineTesterParams, MissingOrBadValuesKeepTheirDefaultOnly) {
  Store(kSpark, "NumberMarks", 60);
  Store(kSpark, "NumberCylinders", 12);  // outside 1..8
  Store(kSpark, "Stroke", 0x102);        // truncated to its byte: 2
  Store(kDiesel, "Sensitivity", 7);
  // "MarkOffset" and the rest are missing
  EXPECT_EQ(data().LoadMotortesterParams(), 1);
  EXPECT_EQ(data().GetNumberCylinders(0), 4);
  EXPECT_EQ(data().GetNumberMarks(0), 60);
  EXPECT_EQ(data().GetStroke(0), 2);
  EXPECT_EQ(data().GetMarkOffset(0), 0);
  EXPECT_EQ(data().GetParamBlock().dieselSensitivity, 7);
  EXPECT_EQ(tester.current.sparkNumberMarks, 60);
  EXPECT_EQ(tester.current.dieselSensitivity, 7);
  EXPECT_EQ(data().GetEngineType(), 0);
}

TEST_F(EngineTesterParams, WithoutLibraryNothingIsSaved) {
  data().SetInterfaces(nullptr, nullptr, nullptr, nullptr);
  EXPECT_FALSE(data().SaveMotortesterParams());
  EXPECT_EQ(Stored(kSpark, "NumberCylinders"), 0xDEADBEEFu);
}

// ---- probe-connection lists ------------------------------------------------------------------

TEST(ProbeConnectionLists, TextsAndCodes) {
  struct Case {
    int input, mode;
    BOOL engineTester;
    int coil;
    const char* text;
    std::vector<int> codes;
  } cases[] = {
      {0, 5, TRUE, 0, "voltage", {1}},
      {0, 10, TRUE, 0, "voltage, current, indication", {1, 15, 2, 3, 14, 16}},
      {1, 3, TRUE, 0, "voltage, indication", {1, 14, 16}},
      {2, 43, TRUE, 0, "current 500A", {3}},
      {3, 39, TRUE, 0, "current 50A", {2}},
      {4, 11, TRUE, 0, "high-voltage N, C4", {111, 110}},
      {4, 12, TRUE, 1, "high-voltage C4, N4", {110, 112}},
      {4, 12, TRUE, 0, "high-voltage N, C4", {111, 110}},
      {4, 20, TRUE, 0, "high-voltage N, C4, N4", {111, 110, 112}},
      {6, 9, TRUE, 0, "tempereture", {8}},
      {8, 13, TRUE, 0, "SYNC1", {12}},
      {8, 4, TRUE, 0, "inductive, semiconduct, SYNC1", {7, 10, 12}},
      {9, 12, TRUE, 0, "ignition 2x", {13}},
      {9, 4, TRUE, 0, "ignition, ignition 2x", {13, 5}},
      {0, 43, FALSE, 0, "current 500A", {3}},
      {1, 23, FALSE, 0, "current", {2, 3, 15}},
      {1, 35, FALSE, 0, "voltage", {1}},
      {1, 10, FALSE, 0, "voltage, current, indication", {1, 15, 2, 3, 14, 16}},
      {2, 10, FALSE, 0, "", {}},
      {10, 10, TRUE, 0, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.input << "/" << c.mode);
    ProbeConnection out;
    out.m_strText = "old";
    EXPECT_EQ(FormatProbeConnection(c.input, c.mode, c.engineTester, c.coil, out), c.codes.empty() ? FALSE : TRUE);
    EXPECT_STREQ((LPCSTR)out.m_strText, c.text);
    EXPECT_EQ(std::vector<int>(out.m_nCodes, out.m_nCodes + out.m_nCodeCount), c.codes);
  }
}

// ---- polled readers --------------------------------------------------------------------------

MeasuredValue Measured(int kind, int32_t value, bool valid = true) {
  MeasuredValue v{};
  v.probe.kind = kind;
  v.value = Scaled(value);
  v.valid = valid ? 1 : 0;
  return v;
}

struct FakeAdvance : StubMTAdvancemeter_11 {
  AdvanceReading reading{};
  int rc = 0;
  int selectRc = 0;
  int speedKind = 5;
  int Measure(AdvanceReading* r) override { return *r = reading, rc; }
  int SelectProbe(int32_t) override { return selectRc; }
  int ReadProbes(ProbeDescriptor*, ProbeDescriptor* speed, ProbeDescriptor*) override {
    return speed->kind = speedKind, 0;
  }
};

TEST_F(EngineTesterData, AdvanceReaderMarkers) {
  struct Case {
    const char* what;
    MeasuredValue speed, advance, temperature;
    int selected;
    int rc;
    int statuses[3];
    int speedOut;
    double advanceOut, temperatureOut;
  } cases[] = {
      {"all valid", Measured(5, 3000), Measured(9, 12), Measured(8, 85), 9, 0, {1, 1, 1}, 3000, 12.0, 85.0},
      {"not valid", Measured(13, 3000, false), Measured(9, 12, false), Measured(8, 85, false), 9, 0, {1, 1, 1}, -1, -1000.0, -1.0},
      {"no probes", Measured(0, 1), Measured(0, 1), Measured(0, 1), 9, 0, {2, 2, 2}, 7, 7.0, 7.0},
      {"wrong probes", Measured(8, 1), Measured(5, 1), Measured(5, 1), 9, 0, {3, 3, 3}, 7, 7.0, 7.0},
      {"advance probe not selected", Measured(6, 800), Measured(7, 5), Measured(8, 20), 9, 0, {1, 3, 1}, 800, 7.0, 20.0},
      {"read failed", Measured(5, 1), Measured(9, 1), Measured(8, 1), 9, 14, {0, 0, 0}, 7, 7.0, 7.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeAdvance meter;
    meter.reading.speed = c.speed;
    meter.reading.advance = c.advance;
    meter.reading.temperature = c.temperature;
    meter.rc = c.rc;
    FakeCommunication link;
    CAdvanceReader reader;
    reader.SetInterfaces(&meter, &link);
    reader.Start();
    EXPECT_EQ(reader.GetSelectedKind(), 9);
    int speed = 7, statuses[3] = {};
    double advance = 7, temperature = 7;
    BOOL hold = FALSE;
    reader.Read(speed, advance, temperature, statuses, hold);
    EXPECT_EQ(std::vector<int>(statuses, statuses + 3), std::vector<int>(c.statuses, c.statuses + 3));
    EXPECT_EQ(speed, c.speedOut);
    EXPECT_EQ(advance, c.advanceOut);
    EXPECT_EQ(temperature, c.temperatureOut);
    const bool allOk = c.statuses[0] == 1 && c.statuses[1] == 1 && c.statuses[2] == 1;
    EXPECT_EQ(link.recovers, allOk ? 0 : 1);
  }
}

TEST_F(EngineTesterData, AdvanceSelectionNeedsTheBoard) {
  FakeAdvance meter;
  CAdvanceReader reader;
  tester.ready = false;
  reader.SetInterfaces(&meter, &comm);
  reader.Start();
  EXPECT_EQ(reader.GetSelectedKind(), 0);
  tester.ready = true;
  reader.Start();  // only the first start selects
  EXPECT_EQ(reader.GetSelectedKind(), 0);
  for (int kind : {5, 6, 7, 10, 13}) {
    meter.speedKind = kind;
    EXPECT_TRUE(reader.HasSpeedProbe()) << kind;
  }
  meter.speedKind = 8;
  EXPECT_FALSE(reader.HasSpeedProbe());
}

TEST_F(EngineTesterData, HoldFlagTogglesOnButtonPressesOnly) {
  FakeAdvance meter;
  meter.reading.speed = Measured(5, 1000);
  meter.reading.advance = Measured(9, 10);
  meter.reading.temperature = Measured(8, 80);
  CAdvanceReader reader;
  reader.SetInterfaces(&meter, &comm);
  reader.Start();
  struct Step {
    int button;
    int32_t speed;
    BOOL hold;
    int shown;
  } steps[] = {{0, 1000, FALSE, 1000}, {1, 1100, TRUE, 1000}, {1, 1200, TRUE, 1000}, {0, 1300, TRUE, 1000},
               {1, 1400, FALSE, 1400}, {0, 1500, FALSE, 1500}, {1, 1600, TRUE, 1500}};
  int speed = 1000, statuses[3];
  double advance = 0, temperature = 0;
  BOOL hold = FALSE;
  for (const Step& s : steps) {
    meter.reading.flag = s.button;
    meter.reading.speed = Measured(5, s.speed);
    reader.Read(speed, advance, temperature, statuses, hold);
    EXPECT_EQ(hold, s.hold) << s.speed;
    EXPECT_EQ(speed, s.shown) << s.speed;
  }
}

struct FakeDwell : StubMTDwellanglemeter_13 {
  DwellReading reading{};
  int rc = 0;
  int Measure(DwellReading* r) override { return *r = reading, rc; }
};

TEST_F(EngineTesterData, DwellReaderMarkers) {
  struct Case {
    const char* what;
    ProbeDescriptor dwellProbe;
    bool valid;
    MeasuredValue temperature;
    int rc;
    int statuses[2];
    int speedOut;
    double dwellOut, temperatureOut;
  } cases[] = {
      {"valid", Probe(1, 0), true, Measured(8, 90), 0, {1, 1}, 3000, 45.0, 90.0},
      {"not valid", Probe(1, 0), false, Measured(8, 90, false), 0, {1, 1}, -1, -1.0, -1.0},
      {"no probe", Probe(0, 0), true, Measured(0, 90), 0, {2, 2}, 7, 7.0, 7.0},
      {"wrong class", Probe(2, 1), true, Measured(5, 90), 0, {3, 3}, 7, 7.0, 7.0},
      {"failed", Probe(1, 0), true, Measured(8, 90), 14, {0, 0}, 7, 7.0, 7.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDwell meter;
    meter.reading.dwellProbe = c.dwellProbe;
    meter.reading.dwell = Scaled(450, -1);
    meter.reading.speed = Scaled(3000);
    meter.reading.valid = c.valid;
    meter.reading.temperature = c.temperature;
    meter.rc = c.rc;
    FakeCommunication link;
    CDwellReader reader;
    reader.SetInterfaces(&meter, &link);
    reader.Start();
    int speed = 7, statuses[2] = {};
    double dwell = 7, temperature = 7;
    reader.Read(speed, dwell, temperature, statuses);
    EXPECT_EQ(statuses[0], c.statuses[0]);
    EXPECT_EQ(statuses[1], c.statuses[1]);
    EXPECT_EQ(speed, c.speedOut);
    EXPECT_DOUBLE_EQ(dwell, c.dwellOut);
    EXPECT_EQ(temperature, c.temperatureOut);
    EXPECT_EQ(link.recovers, c.statuses[0] == 1 && c.statuses[1] == 1 ? 0 : 1);
  }
}

struct FakeTemperature : StubMTTemperaturemeter_12 {
  SpeedTemperatureReading reading{};
  int rc = 0;
  int Measure(SpeedTemperatureReading* r) override { return *r = reading, rc; }
};

TEST_F(EngineTesterData, TemperatureReaderMarkers) {
  struct Case {
    MeasuredValue speed, temperature;
    int rc;
    int statuses[2];
    int speedOut, temperatureOut;
  } cases[] = {
      {Measured(7, 2500), Measured(8, 853), 0, {1, 1}, 2500, 853},
      {Measured(10, 2500, false), Measured(8, 85, false), 0, {1, 1}, -1, -1},
      {Measured(0, 1), Measured(0, 1), 0, {2, 2}, 7, 7},
      {Measured(9, 1), Measured(5, 1), 0, {3, 3}, 7, 7},
      {Measured(5, 1), Measured(8, 1), 14, {0, 0}, 7, 7},
  };
  for (const Case& c : cases) {
    FakeTemperature meter;
    meter.reading.speed = c.speed;
    meter.reading.temperature = c.temperature;
    meter.rc = c.rc;
    CTemperatureReader reader;
    reader.SetInterfaces(&meter, &comm);
    reader.Start();
    int speed = 7, temperature = 7, statuses[2] = {};
    reader.Read(speed, temperature, statuses);
    EXPECT_EQ(statuses[0], c.statuses[0]);
    EXPECT_EQ(statuses[1], c.statuses[1]);
    EXPECT_EQ(speed, c.speedOut);
    EXPECT_EQ(temperature, c.temperatureOut);
  }
  // Whole degrees: 85.9 reads 85.
  FakeTemperature meter;
  meter.reading.speed = Measured(5, 800);
  meter.reading.temperature = Measured(8, 859);
  meter.reading.temperature.value.exponent = -1;
  CTemperatureReader reader;
  reader.SetInterfaces(&meter, &comm);
  int speed = 0, temperature = 0, statuses[2];
  reader.Read(speed, temperature, statuses);
  EXPECT_EQ(temperature, 85);
}

}  // namespace
