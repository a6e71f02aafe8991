#include "Library.h"
#include "ProbeTable.h"
#include "EngineTesterState.h"

#include <gtest/gtest.h>

namespace kv310 {
namespace {

class ProbeTableTest : public ::testing::Test {
 protected:
  void SetUp() override { LibraryAttach(); }
  void TearDown() override { LibraryDetach(); }
};

TEST_F(ProbeTableTest, CodesMapToKinds) {
  struct Case {
    int code;
    int kind;
  } cases[] = {
      {2, 14},  {130, 14}, {3, 1},   {131, 1},  {4, 2},   {132, 2},  {5, 3},   {133, 3},  {7, 4},  {23, 4},
      {18, 16}, {19, 9},   {51, 9},  {20, 15},  {35, 12}, {36, 11}, {67, 11}, {84, 11}, {37, 7}, {52, 6},
      {53, 10}, {68, 8},   {69, 5},  {85, 13},  {0, 0},   {1, 0},   {6, 0},   {255, 0}, {8, 0},  {134, 0},
      {0x103, 1},  // only the low byte of a code counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(ProbeKindOfCode(c.code), c.kind);
    ProbeDescriptor d{};
    LookupProbeDescriptor(&d, c.code);
    EXPECT_EQ(d.kind, c.kind);
  }
}

TEST_F(ProbeTableTest, DescriptorsOfTheKinds) {
  struct Row {
    int kind, probeClass, codeA, codeB, mantissa, exponent, low, high;
  } rows[] = {
      {0, 0, 0, 0, 1, 0, 9, 0},      {1, 0, 4, 2, 1, 0, 9, 0},   {2, 1, 5, 1, 125, -2, 7, 2},
      {3, 1, 5, 2, 125, -1, 6, 2},   {4, 2, 0, 0, 0, 0, 0, 0},   {5, 3, 0, 0, 9, 0, 0, 0},
      {6, 0, 4, 2, 1, 0, 9, 0},      {7, 6, 0, 0, 9, 0, 0, 0},   {8, 0, 15, 1, 1, 0, 9, 0},
      {9, 5, 0, 0, 9, 0, 0, 0},      {10, 8, 0, 0, 9, 0, 0, 0},  {11, 0, 25, 3, 1, 4, 9, 6},
      {12, 9, 0, 0, 9, 0, 0, 0},     {13, 3, 0, 0, 9, 0, 0, 0},  {14, 0, 4, 2, 1, 0, 9, 0},
      {15, 1, 5, 0, 125, -3, 5, 2},  {16, 0, 25, 3, 25, 2, 7, 4},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.kind);
    const ProbeDescriptor d = DescriptorOfKind(r.kind);
    EXPECT_EQ(d.kind, r.kind);
    EXPECT_EQ(d.probeClass, r.probeClass);
    EXPECT_EQ(d.codeA, r.codeA);
    EXPECT_EQ(d.codeB, r.codeB);
    EXPECT_EQ(d.scaleMantissa, r.mantissa);
    EXPECT_EQ(static_cast<int8_t>(d.scaleExponent & 0xFF), r.exponent);
    EXPECT_EQ(d.rangeWindow & 0xFFFF, r.low);
    EXPECT_EQ((d.rangeWindow >> 16) & 0xFFFF, r.high);
  }
  EXPECT_EQ(DescriptorOfKind(17).kind, 0);
  EXPECT_TRUE(IsEngineTesterModule(7));
  EXPECT_TRUE(IsEngineTesterModule(23));
  EXPECT_FALSE(IsEngineTesterModule(3));
}

TEST_F(ProbeTableTest, ReferenceProbesRecordTheirVariantAndProbeType) {
  const EngineTesterState& tester = EngineState();
  EXPECT_EQ(ReferenceProbeCode(), 255) << "none seen since load";
  struct Case {
    int code;
    int32_t reference;
    int32_t hvProbeType;
  } cases[] = {{84, 111, 1}, {36, 110, 0}, {84, 111, 1}, {67, 112, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    ProbeDescriptor d{};
    LookupProbeDescriptor(&d, c.code);
    EXPECT_EQ(d.kind, 11);
    EXPECT_EQ(ReferenceProbeCode(), c.reference);
    EXPECT_EQ(tester.CurrentParams().sparkHiVoltageTypeProbe, c.hvProbeType);
    EXPECT_FALSE(tester.ParamsChanged()) << "the probe type follows the probe; it is no setting change";
  }
  ProbeDescriptor d{};
  LookupProbeDescriptor(&d, 3);
  EXPECT_EQ(ReferenceProbeCode(), 112) << "other codes leave it alone";
}

}  // namespace
}  // namespace kv310
