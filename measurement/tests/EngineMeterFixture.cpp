#include "EngineMeterFixture.h"

#include <cmath>

namespace kv310::testing {

void EngineMeterFixture::SetUp() {
  EngineTesterFixture::SetUp();
  AttachEngineTester(true);
  UseFirmware(FirmwareImage::WithRecords(2, "Version 2.05"), "Version 2.05");
  OpenAndStart();
  ASSERT_TRUE(EngineState().FirmwareChecked());
}

void EngineMeterFixture::UseEngine(const EngineSetup& e) {
  UpdateEngine([&](sim::EngineScenario& engine) {
    engine.rpm = e.rpm;
    engine.strokes = e.strokes;
    engine.cylinders = e.cylinders;
    engine.wastedSpark = e.coilType == 1;
    engine.advanceDegrees = e.advanceDegrees;
    engine.markOffsetDegrees = e.markOffsetDegrees;
    engine.dwellPercent = e.dwellPercent;
    engine.temperatureCelsius = e.temperatureCelsius;
  });
  EngineParameterBlock block{};
  ASSERT_EQ(Tester().GetDefaultParams(&block), kOk);
  block.engineType = e.engineType;
  if (e.engineType == 0) {
    block.sparkNumberCylinders = static_cast<uint8_t>(e.cylinders);
    block.sparkNumberMarks = e.numberMarks;
    block.sparkMarkOffset = static_cast<int16_t>(e.markOffsetDegrees);
    block.sparkStroke = static_cast<uint8_t>(e.strokes);
    block.sparkSpeedSensorType = e.speedSensorType;
    block.sparkCoilType = e.coilType;
  } else {
    block.dieselNumberCylinders = static_cast<uint8_t>(e.cylinders);
    block.dieselNumberMarks = e.numberMarks;
    block.dieselMarkOffset = static_cast<int16_t>(e.markOffsetDegrees);
    block.dieselStroke = static_cast<uint8_t>(e.strokes);
    block.dieselSpeedSensorType = e.speedSensorType;
  }
  ASSERT_EQ(Tester().SetAllParams(block), kOk);
}

std::vector<sim::Bytes> EngineMeterFixture::RequestsOf(uint8_t command) {
  std::vector<sim::Bytes> found;
  for (const sim::Bytes& request : Requests())
    if (!request.empty() && request[0] == command) found.push_back(request);
  return found;
}

double ValueOf(const ScaledValue& value) { return value.mantissa * std::pow(10.0, value.exponent); }

}  // namespace kv310::testing
