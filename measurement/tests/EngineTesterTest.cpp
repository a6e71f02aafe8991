// IMotortester_6 against the board model: detection, engine parameters, the probes on the ten
// inputs, the reference probe, the values the meters configure with, and WaitReady.
#include "EngineTesterFixture.h"
#include "ProbeTable.h"

#include <array>
#include <cstring>
#include <functional>

namespace kv310::testing {
namespace {

using sim::BoardScenario;
using sim::Bytes;

const Bytes kStopRecord{0x61, 0x00, 0x00, 0xC8, 0xE8, 0x48, 0x18, 0x00, 0x00, 0x00, 0x00};

class EngineTesterTest : public EngineTesterFixture {
 protected:
  bool StartsLink() const override { return true; }
};

// ---- detection -------------------------------------------------------------------------------------

TEST_F(EngineTesterTest, Detect) {
  struct Case {
    const char* what;
    bool attached;
    uint8_t identity;
    int code;
    bool ready;
  } cases[] = {
      {"module code 7", true, 7, kOk, true},
      {"module code 23", true, 23, kOk, true},
      {"a base board answers with its channel A probe", false, 7, kNoEngineTester, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    AttachEngineTester(c.attached, c.identity);
    EngineState().SetFirmwareChecked(true);
    EngineState().SetEngineTesterReady(!c.ready);
    EXPECT_EQ(Tester().Detect(), c.code);
    EXPECT_EQ(Tester().IsReady(), c.ready);
    EXPECT_EQ(EngineState().FirmwareChecked(), c.ready) << "no module: the firmware is checked again next time";
    EXPECT_EQ(Requests().back(), (Bytes{0xC1, 0x00}));
  }
  CloseLink();
  Board().ClearLog();
  EXPECT_EQ(Tester().Detect(), kNoLink);
  EXPECT_TRUE(Requests().empty());
}

// ---- parameters ------------------------------------------------------------------------------------

TEST_F(EngineTesterTest, DefaultParameters) {
  EngineParameterBlock defaults;
  ASSERT_EQ(Tester().GetDefaultParams(&defaults), kOk);
  const std::array<uint32_t, 12> words = {0, 0x00010004, 0x03040000, 0, 0, 0, 0x01010101, 0x00010004, 0x0B040000,
                                          1, 3, 2};
  EXPECT_EQ(std::memcmp(&defaults, words.data(), sizeof defaults), 0);
  EXPECT_EQ(Tester().GetDefaultParams(nullptr), kBadArgument);
}

TEST_F(EngineTesterTest, SetAllParamsTakesFieldsInOrderUntilOneIsRefused) {
  EngineParameterBlock spark = EngineState().DefaultParams();
  spark.engineType = 0;
  spark.sparkNumberCylinders = 6;
  spark.sparkNumberMarks = 61;
  spark.sparkMarkOffset = -359;
  spark.sparkStroke = 2;
  spark.sparkSensitivity = 10;
  spark.sparkSpeedSensorType = 3;
  spark.sparkCoilType = 1;
  spark.sparkHiVoltageTypeProbe = 1;
  spark.sparkPolarityHVProbes[2] = 0;

  EngineParameterBlock diesel = EngineState().DefaultParams();
  diesel.engineType = 1;
  diesel.dieselNumberCylinders = 8;
  diesel.dieselNumberMarks = 12;
  diesel.dieselMarkOffset = 90;
  diesel.dieselStroke = 2;
  diesel.dieselComparativeLevel = 12;  // refused: 11 or 15
  diesel.dieselPressureSensorType = 0;

  EngineParameterBlock badType = spark;
  badType.engineType = 2;
  EngineParameterBlock badStroke = spark;
  badStroke.sparkStroke = 3;

  struct Case {
    const char* what;
    EngineParameterBlock block;
    int code;
    std::function<void(const EngineParameterBlock&)> check;
  } cases[] = {
      {"a spark set with 61 marks", spark, kOk,
       [](const EngineParameterBlock& p) {
         EXPECT_EQ(p.engineType, 0);
         EXPECT_EQ(p.sparkNumberMarks, 61);
         EXPECT_EQ(p.sparkCoilType, 1);
         EXPECT_EQ(p.sparkPolarityHVProbes[2], 0);
         EXPECT_EQ(p.sparkHiVoltageTypeProbe, 0) << "follows the reference probe, not the set";
       }},
      {"a diesel set refused at its comparative level", diesel, kBadArgument,
       [](const EngineParameterBlock& p) {
         EXPECT_EQ(p.engineType, 0) << "the engine type stays";
         EXPECT_EQ(p.dieselNumberCylinders, 8);
         EXPECT_EQ(p.dieselNumberMarks, 12);
         EXPECT_EQ(p.dieselMarkOffset, 90);
         EXPECT_EQ(p.dieselStroke, 2);
         EXPECT_EQ(p.dieselPressureSensorType, 1) << "fields after the refused one stay";
       }},
      {"engine type 2", badType, kBadEngineType, [](const EngineParameterBlock& p) { EXPECT_EQ(p.sparkNumberCylinders, 4); }},
      {"a spark set refused at its stroke", badStroke, kBadArgument,
       [](const EngineParameterBlock& p) {
         EXPECT_EQ(p.sparkMarkOffset, -359);
         EXPECT_EQ(p.sparkStroke, 4);
         EXPECT_EQ(p.sparkSensitivity, 3);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ReloadLibrary();
    EngineState().SetParamsChanged(false);
    EXPECT_EQ(Tester().SetAllParams(c.block), c.code);
    c.check(EngineState().CurrentParams());
    EXPECT_EQ(EngineState().ParamsChanged(), c.code != kBadEngineType) << "stored fields are changes";
  }
}

TEST_F(EngineTesterTest, GetAllParamsFillsTheSelectedSet) {
  EngineParameterBlock set = EngineState().DefaultParams();
  set.engineType = 1;
  set.dieselNumberCylinders = 5;
  set.dieselSpeedSensorType = 3;
  ASSERT_EQ(Tester().SetAllParams(set), kOk);

  EngineParameterBlock out{};
  std::memset(&out, 0xEE, sizeof out);
  out.engineType = 0;
  ASSERT_EQ(Tester().GetAllParams(&out), kOk);
  EXPECT_EQ(out.engineType, 1) << "word 0 returns the current engine type";
  EXPECT_EQ(out.sparkNumberCylinders, 4);
  EXPECT_EQ(out.sparkHiVoltageTypeProbe, 0);
  EXPECT_EQ(out.dieselNumberCylinders, 0xEE) << "the other set is left alone";

  out.engineType = 1;
  ASSERT_EQ(Tester().GetAllParams(&out), kOk);
  EXPECT_EQ(out.dieselNumberCylinders, 5);
  EXPECT_EQ(out.dieselSpeedSensorType, 3);

  out.engineType = 7;
  EXPECT_EQ(Tester().GetAllParams(&out), kBadEngineType);
  EXPECT_EQ(Tester().GetAllParams(nullptr), kBadArgument);
}

TEST_F(EngineTesterTest, SettersCheckTheirRanges) {
  ImplementationMotortester_6& t = Tester();
  struct Case {
    const char* what;
    std::function<int(int)> set;
    std::vector<int> accepted;
    std::vector<int> refused;
    bool marksChanged = true;
  } cases[] = {
      {"engine type", [&](int v) { return t.SetEngineType(v); }, {0, 1}, {-1, 2}},
      {"spark cylinders", [&](int v) { return t.SetSparkNumberCylinders(v); }, {1, 8}, {0, 9}},
      {"spark marks", [&](int v) { return t.SetSparkNumberMarks(v); }, {1, 60}, {0, 61}},
      {"spark mark offset", [&](int v) { return t.SetSparkMarkOffset(v); }, {-359, 359}, {-360, 360}},
      {"spark stroke", [&](int v) { return t.SetSparkStroke(v); }, {2, 4}, {0, 3, 5}},
      {"spark sensitivity", [&](int v) { return t.SetSparkSensitivity(v); }, {1, 10}, {0, 11}},
      {"spark speed sensor", [&](int v) { return t.SetSparkSpeedSensorType(v); }, {0, 1, 3}, {2, 4, -1}},
      {"spark coil type", [&](int v) { return t.SetSparkCoilType(v); }, {0, 1}, {2}},
      {"spark high-voltage probe type", [&](int v) { return t.SetSparkHiVoltageTypeProbe(v); }, {0, 1}, {2}, false},
      {"spark polarities", [&](int v) { return t.SetSparkPolarityHVProbes(v); }, {0, 0x01000100, -1}, {}},
      {"diesel cylinders", [&](int v) { return t.SetDieselNumberCylinders(v); }, {1, 8}, {0, 9}},
      {"diesel marks", [&](int v) { return t.SetDieselNumberMarks(v); }, {1, 60}, {0, 61}},
      {"diesel mark offset", [&](int v) { return t.SetDieselMarkOffset(v); }, {-359, 359}, {-360, 360}},
      {"diesel stroke", [&](int v) { return t.SetDieselStroke(v); }, {2, 4}, {1, 3}},
      {"diesel comparative level", [&](int v) { return t.SetDieselComparativeLevel(v); }, {11, 15}, {10, 12, 16}},
      {"diesel pressure sensor", [&](int v) { return t.SetDieselPressureSensorType(v); }, {0, 1}, {2}},
      {"diesel sensitivity", [&](int v) { return t.SetDieselSensitivity(v); }, {1, 10}, {0, 11}},
      {"diesel speed sensor", [&](int v) { return t.SetDieselSpeedSensorType(v); }, {0, 3}, {4, -1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int v : c.accepted) {
      EngineState().SetParamsChanged(false);
      EXPECT_EQ(c.set(v), kOk) << v;
      EXPECT_EQ(EngineState().ParamsChanged(), c.marksChanged) << v;
    }
    for (int v : c.refused) {
      const EngineParameterBlock before = EngineState().CurrentParams();
      EngineState().SetParamsChanged(false);
      EXPECT_EQ(c.set(v), kBadArgument) << v;
      EXPECT_FALSE(EngineState().ParamsChanged()) << v;
      const EngineParameterBlock after = EngineState().CurrentParams();
      EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0) << v;
    }
  }
}

TEST_F(EngineTesterTest, GettersReadTheCurrentSet) {
  ImplementationMotortester_6& t = Tester();
  ASSERT_EQ(t.SetSparkMarkOffset(-12), kOk);
  ASSERT_EQ(t.SetSparkPolarityHVProbes(0x00010001), kOk);
  ASSERT_EQ(t.SetDieselSensitivity(7), kOk);
  int16_t offset = 0;
  uint32_t polarities = 0;
  uint8_t sensitivity[2] = {0, 0xEE};
  EXPECT_EQ(t.GetSparkMarkOffset(&offset), kOk);
  EXPECT_EQ(t.GetSparkPolarityHVProbes(&polarities), kOk);
  EXPECT_EQ(t.GetDieselSensitivity(sensitivity), kOk);
  EXPECT_EQ(offset, -12);
  EXPECT_EQ(polarities, 0x00010001u);
  EXPECT_EQ(sensitivity[0], 7);
  EXPECT_EQ(sensitivity[1], 0xEE) << "one byte is written";
  int16_t inputs = 0;
  EXPECT_EQ(t.GetInputCount(&inputs), kOk);
  EXPECT_EQ(inputs, 10);
  EXPECT_EQ(t.GetInputCount(nullptr), kBadArgument);
  EXPECT_EQ(t.GetSparkStroke(nullptr), kBadArgument);
  EXPECT_EQ(t.GetDieselSpeedSensorType(nullptr), kBadArgument);
}

TEST_F(EngineTesterTest, DegreesPerMarkAndPolarityByte) {
  struct DegreesCase {
    int engineType;
    int stroke;
    int sensitivity;
    int degrees;
  } degrees[] = {{0, 4, 5, 60}, {0, 2, 10, 45}, {0, 4, 1, 40}, {0, 2, 1, 0}, {1, 2, 1, 60}};
  for (const DegreesCase& c : degrees) {
    SCOPED_TRACE(::testing::Message() << c.engineType << "/" << c.stroke << "/" << c.sensitivity);
    ASSERT_EQ(Tester().SetEngineType(c.engineType), kOk);
    ASSERT_EQ(Tester().SetSparkStroke(c.stroke), kOk);
    ASSERT_EQ(Tester().SetSparkSensitivity(c.sensitivity), kOk);
    uint8_t out = 0xEE;
    EXPECT_EQ(Tester().GetDegreesPerMark(&out), kOk);
    EXPECT_EQ(out, c.degrees);
  }

  struct PolarityCase {
    int coil;
    uint32_t polarities;  // probe 1 in the low byte
    int mode;
    uint8_t byte;
  } polarity[] = {
      {1, 0x01010101, 0, 0xA0}, {1, 0x00000000, 0, 0xF5}, {1, 0x01000100, 0, 0xB1}, {1, 0x00010001, 9, 0xE4},
      {1, 0x00000000, 1, 0x55}, {1, 0x00000001, 1, 0x00}, {1, 0x00000100, 2, 0x00}, {1, 0x00010000, 3, 0xAA},
      {1, 0x00000000, 3, 0xFF}, {1, 0x01000000, 4, 0xAA}, {0, 0x01010101, 1, 0x55}, {0, 0x01010101, 2, 0x55},
      {0, 0x01010101, 3, 0xFF}, {0, 0x00000000, 4, 0xFF}, {0, 0x00000000, 0, 0xF5},
  };
  for (const PolarityCase& c : polarity) {
    SCOPED_TRACE(::testing::Message() << c.coil << "/" << std::hex << c.polarities << "/" << c.mode);
    ASSERT_EQ(Tester().SetSparkCoilType(c.coil), kOk);
    ASSERT_EQ(Tester().SetSparkPolarityHVProbes(c.polarities), kOk);
    uint8_t out = 0;
    EXPECT_EQ(Tester().GetPolarityByte(&out, c.mode), kOk);
    EXPECT_EQ(out, c.byte);
  }
}

// ---- probes ---------------------------------------------------------------------------------------

TEST_F(EngineTesterTest, ReadProbesMarksTheKindsEachInputAccepts) {
  struct Case {
    int input;
    uint8_t code;
    int kind;
    bool valid;
  } cases[] = {
      {0, 3, 1, true},    {0, 4, 2, true},    {0, 5, 3, true},   {0, 2, 14, true},  {0, 0, 0, true},
      {0, 36, 11, false}, {1, 3, 1, true},    {1, 2, 14, true},  {1, 4, 2, false},  {2, 132, 2, true},
      {2, 133, 3, true},  {2, 3, 1, false},   {3, 5, 3, true},   {3, 52, 6, false}, {4, 36, 11, true},
      {4, 84, 11, true},  {4, 67, 11, true},  {4, 3, 1, false},  {5, 52, 6, true},  {5, 68, 8, false},
      {6, 68, 8, true},   {6, 52, 6, false},  {7, 19, 9, true},  {7, 51, 9, true},  {7, 37, 7, false},
      {8, 37, 7, true},   {8, 53, 10, true},  {8, 35, 12, true}, {8, 19, 9, false}, {9, 69, 5, true},
      {9, 85, 13, true},  {9, 20, 15, false}, {9, 0, 0, true},
  };
  AttachEngineTester(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "input " << c.input << " code " << int(c.code));
    Board().Update([&](BoardScenario& s) { s.inputProbeCodes[c.input] = c.code; });
    SetBoardMode(9);
    const uint8_t input = static_cast<uint8_t>(c.input);
    ProbeInputRecord record{};
    ASSERT_EQ(Tester().ReadProbes(1, &input, &record), kOk);
    EXPECT_EQ(record.input, c.input);
    EXPECT_EQ(record.probe.kind, c.kind);
    EXPECT_EQ(record.valid, c.valid ? 1 : 0);
    EXPECT_EQ(BoardMode(), 0) << "the query leaves the board in another configuration";
  }
}

TEST_F(EngineTesterTest, ReadProbesRefusals) {
  const uint8_t inputs[11] = {0, 1, 12, 3, 4, 5, 6, 7, 8, 9, 0};
  ProbeInputRecord records[11];
  for (ProbeInputRecord& r : records) r.input = 0xEE;

  AttachEngineTester(true);
  EXPECT_EQ(Tester().ReadProbes(11, inputs, records), kBadArgument);
  EXPECT_EQ(Tester().ReadProbes(1, nullptr, records), kBadArgument);
  EXPECT_EQ(Tester().ReadProbes(1, inputs, nullptr), kBadArgument);
  EXPECT_TRUE(Requests().empty());

  EXPECT_EQ(Tester().ReadProbes(4, inputs, records), kBadArgument) << "input 12 ends the list";
  EXPECT_EQ(records[0].input, 0);
  EXPECT_EQ(records[1].input, 1);
  EXPECT_EQ(records[2].input, 0xEE) << "nothing from the bad input on";

  AttachEngineTester(false);
  SetBoardMode(9);
  EXPECT_EQ(Tester().ReadProbes(2, inputs, records), kNoEngineTester);
  EXPECT_EQ(BoardMode(), 0) << "also after a failed query";
  EXPECT_FALSE(Tester().IsReady());
}

TEST_F(EngineTesterTest, FindReferenceProbe) {
  struct Case {
    const char* what;
    int input;  // -1: none
    uint8_t code;
    int result;
    int32_t reference;
    int32_t hvProbeType;
  } cases[] = {
      {"code 36 on input 4", 4, 36, kOk, 110, 0},
      {"code 84 on input 4", 4, 84, kOk, 111, 1},
      {"code 67 on input 4", 4, 67, kOk, 112, 0},
      {"on input 2", 2, 84, kProbeOnWrongInput, 111, 1},
      {"on input 9", 9, 36, kProbeOnWrongInput, 110, 0},
      {"none", -1, 0, kNoReferenceProbe, 0, -1},
  };
  AttachEngineTester(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Board().ClearLog();
    Board().Update([&](BoardScenario& s) {
      s.inputProbeCodes = {3, 3, 4, 4, 0, 52, 68, 19, 37, 69};
      if (c.input >= 0) s.inputProbeCodes[c.input] = c.code;
    });
    SetReferenceProbeCode(kReferenceProbeNone);
    EngineState().SetHiVoltageProbeType(-1);
    SetBoardMode(12);
    int32_t reference = -1;
    EXPECT_EQ(Tester().FindReferenceProbe(&reference), c.result);
    EXPECT_EQ(reference, c.reference);
    EXPECT_EQ(EngineState().CurrentParams().sparkHiVoltageTypeProbe, c.hvProbeType);
    EXPECT_EQ(BoardMode(), 0);
    // One input at a time, from input 0 up to the probe found.
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), static_cast<size_t>(c.input >= 0 ? c.input + 1 : 10));
    for (size_t i = 0; i < requests.size(); ++i)
      EXPECT_EQ(requests[i], (Bytes{0xC2, 0x81, static_cast<uint8_t>(i)}));
  }
  EXPECT_EQ(Tester().FindReferenceProbe(nullptr), kBadArgument);

  AttachEngineTester(false);
  int32_t reference = -1;
  EXPECT_EQ(Tester().FindReferenceProbe(&reference), kNoEngineTester);
  EXPECT_EQ(reference, 0);
}

// ---- WaitReady -----------------------------------------------------------------------------------------

TEST_F(EngineTesterTest, WaitReady) {
  const FirmwareImage image = FirmwareImage::WithRecords(1, "Version 2.05");
  struct Case {
    const char* what;
    bool attached;
    bool firmwareChecked;
    std::function<void()> before;  // leaves the link in some state
    int code;
    std::vector<uint8_t> commands;  // what reaches the board, in order
  } cases[] = {
      {"a started link, firmware already checked", true, true, nullptr, kOk, {0x61}},
      {"the firmware check runs first", true, false, nullptr, kOk, {0x60, 0x60, 0x61}},
      {"the firmware check fails on a base board", false, false, nullptr, kFirmwareVersionStatus, {0x60}},
      {"a link in error is recovered", true, true,
       [this] {
         Board().Update([](BoardScenario& s) { s.commandFaults[0xC1] = {{sim::FaultKind::Silence}, 1}; });
         auto detect = InBackground([this] { return Tester().Detect(); });
         AdvanceUntilReady(detect, 100);
         detect.get();
       },
       kOk, {0x01, 0x61}},
      {"a link that cannot be restarted", true, true,
       [this] {
         Board().Update([](BoardScenario& s) { s.commandFaults[0xC1] = {{sim::FaultKind::Silence}, 1}; });
         auto detect = InBackground([this] { return Tester().Detect(); });
         AdvanceUntilReady(detect, 100);
         detect.get();
         Board().Update([](BoardScenario& s) { s.linkInitResult = -1; });
       },
       kLinkBusy, {}},
      {"a link that is not started", true, true, [this] { m_link->Stop(); }, kLinkNotStarted, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CloseLink();
    Board().Reset();
    OpenLink();
    ASSERT_EQ(m_link->Start(), kStateIdle);
    AttachEngineTester(c.attached);
    UseFirmware(image, "Version 2.05");
    EngineState().SetFirmwareChecked(c.firmwareChecked);
    if (c.before) c.before();
    Board().ClearLog();
    EngineState().SetParamsChanged(true);
    SetBoardMode(9);
    auto wait = InBackground([this] { return Tester().WaitReady(); });
    AdvanceUntilReady(wait, 10);
    EXPECT_EQ(wait.get(), c.code);
    EXPECT_EQ(Commands(), c.commands);
    if (c.code == kOk) {
      EXPECT_EQ(Requests().back(), kStopRecord);
      EXPECT_EQ(BoardMode(), 0);
      EXPECT_FALSE(EngineState().ParamsChanged());
      EXPECT_TRUE(EngineState().FirmwareChecked());
      uint8_t last[kConfigurationLength];
      GetLastConfiguration(last);
      EXPECT_EQ(Bytes(last, last + kConfigurationLength), kStopRecord);
    }
  }
}

TEST_F(EngineTesterTest, WaitReadyGivesABusyLinkThreeHundredMilliseconds) {
  struct Case {
    uint32_t replyDelayMs;  // of the request that keeps the link busy
    int code;
    bool stillBusy;  // the request is still pending when WaitReady returns
  } cases[] = {{250, kOk, false}, {450, kLinkBusy, true}};
  AttachEngineTester(true);
  EngineState().SetFirmwareChecked(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replyDelayMs);
    Board().Update([&](BoardScenario& s) { s.replyDelayMs = c.replyDelayMs; });
    const uint8_t request[2] = {0xC1, 0x00};
    const size_t sent = Board().CountRequests(0xC1);
    ASSERT_EQ(m_link->Send(request, sizeof request, 0), 2);  // answered after the delay
    while (Board().CountRequests(0xC1) == sent) std::this_thread::sleep_for(std::chrono::microseconds(200));
    Board().Update([](BoardScenario& s) { s.replyDelayMs = 0; });
    auto wait = InBackground([this] { return Tester().WaitReady(); });
    // The clock moves only while WaitReady sleeps between its looks at the link (the link
    // worker and the reply's delivery wait as well), or once the reply is in.
    while (!Ready(wait)) {
      const size_t waiters = kvp::ClockTimedWaiters();
      if (waiters >= 3 || (waiters >= 1 && m_link->GetState() == kStateIdle)) {
        kvp::ClockAdvance(10);
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    }
    EXPECT_EQ(wait.get(), c.code);
    EXPECT_EQ(m_link->GetState() == kStateBusy, c.stillBusy);
    auto idle = InBackground([this] {
      m_link->WaitIdle();
      return 0;
    });
    AdvanceUntilReady(idle, 10);
  }
}

}  // namespace
}  // namespace kv310::testing
