// Option flags and numeric option records: the range-checked setter and the repeat control's
// step rule.
#include <gtest/gtest.h>

#include <ui/OptionData.h>

#include <cmath>
#include <limits>

namespace {

TEST(OptionData, SetOptionSetsAndClearsBitsReturningThem) {
  OptionData o;
  EXPECT_EQ(o.flags, 0u);
  EXPECT_EQ(SetOption(o, 0x5, TRUE), 0x5u);
  EXPECT_EQ(o.flags, 0x5u);
  EXPECT_EQ(SetOption(o, 0x80000000u, TRUE), 0x80000000u) << "the top bit of the word too";
  EXPECT_EQ(SetOption(o, 0x4, FALSE), 0u);
  EXPECT_EQ(o.flags, 0x80000001u);
  EXPECT_TRUE(o.HasOption(0x1));
  EXPECT_FALSE(o.HasOption(0x4));
}

TEST(OptionData, InitRepeatDataAndCopyTakeEveryField) {
  NumericOptionRecord r{0, 1.0, 2.0, 3.0, -4.0, 5.0, 6, 7, 1};
  InitRepeatData(&r);
  EXPECT_EQ(r.enabled, 1);
  EXPECT_EQ(r.step, 0.0);
  EXPECT_EQ(r.bigStep, 0.0);
  EXPECT_EQ(r.value, 0.0);
  EXPECT_EQ(r.min, 0.0);
  EXPECT_EQ(r.max, 0.0);
  EXPECT_EQ(r.decimals, 0);
  EXPECT_EQ(r.accelAfter, -1);
  EXPECT_EQ(r.reversed, 0);

  const NumericOptionRecord source{0, 0.5, 1.5, 2.5, -1.0, 9.0, 2, 4, 1};
  CopyOptionRecord(&r, &source);
  EXPECT_EQ(r.enabled, 0);
  EXPECT_EQ(r.step, 0.5);
  EXPECT_EQ(r.bigStep, 1.5);
  EXPECT_EQ(r.value, 2.5);
  EXPECT_EQ(r.min, -1.0);
  EXPECT_EQ(r.max, 9.0);
  EXPECT_EQ(r.decimals, 2);
  EXPECT_EQ(r.accelAfter, 4);
  EXPECT_EQ(r.reversed, 1);
}

TEST(OptionData, SetValueInRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    const char* name;
    double value, x;
    BOOL stored;
    double after;
  } cases[] = {
      {"inside", 1.0, 2.0, TRUE, 2.0},
      {"equal to the value", 2.0, 2.0, FALSE, 2.0},
      {"at min", 1.0, -1.0, TRUE, -1.0},
      {"at max", 1.0, 3.0, TRUE, 3.0},
      {"below min", 1.0, -1.5, FALSE, 1.0},
      {"above max", 1.0, 3.5, FALSE, 1.0},
      {"NaN", 1.0, nan, FALSE, 1.0},
      {"infinity", 1.0, std::numeric_limits<double>::infinity(), FALSE, 1.0},
  };
  for (const Case& c : cases) {
    NumericOptionRecord r;
    r.min = -1.0;
    r.max = 3.0;
    r.value = c.value;
    EXPECT_EQ(SetValueInRange(&r, c.x), c.stored) << c.name;
    EXPECT_EQ(r.value, c.after) << c.name;
  }
}

TEST(OptionData, StepRule) {
  struct Case {
    const char* name;
    double value, min, max, step, amount;
    bool up;
    double after;
    BOOL changed;
  } cases[] = {
      {"up one step", 1.0, 0.0, 10.0, 1.0, 1.0, true, 2.0, TRUE},
      {"down one step", 1.0, 0.0, 10.0, 1.0, 1.0, false, 0.0, TRUE},
      {"big step cut to whole steps", 0.0, 0.0, 10.0, 0.5, 1.7, true, 1.5, TRUE},
      {"capped at max", 9.5, 0.0, 10.0, 1.0, 1.0, true, 10.0, TRUE},
      {"at max nothing", 10.0, 0.0, 10.0, 1.0, 1.0, true, 10.0, FALSE},
      {"above max nothing", 11.0, 0.0, 10.0, 1.0, 1.0, true, 11.0, FALSE},
      {"capped at min", 0.5, 0.0, 10.0, 1.0, 1.0, false, 0.0, TRUE},
      {"at min nothing", 0.0, 0.0, 10.0, 1.0, 1.0, false, 0.0, FALSE},
      {"negative step reverses up", 5.0, 0.0, 10.0, -1.0, -1.0, true, 4.0, TRUE},
      {"negative step reverses down", 5.0, 0.0, 10.0, -1.0, -1.0, false, 6.0, TRUE},
      {"step 0 keeps the value", 5.0, 0.0, 10.0, 0.0, 0.0, true, 5.0, FALSE},
      {"step 0 with a big amount", 5.0, 0.0, 10.0, 0.0, 2.0, false, 5.0, FALSE},
      {"amount below one step", 5.0, 0.0, 10.0, 1.0, 0.5, true, 5.0, FALSE},
  };
  for (const Case& c : cases) {
    NumericOptionRecord r;
    r.value = c.value;
    r.min = c.min;
    r.max = c.max;
    r.step = c.step;
    const BOOL changed = c.up ? StepValueUp(&r, c.amount) : StepValueDown(&r, c.amount);
    EXPECT_EQ(changed, c.changed) << c.name;
    EXPECT_DOUBLE_EQ(r.value, c.after) << c.name;
  }
}

}  // namespace
