// The value-text helpers: the decimals by magnitude, the engine speed with its unit drawn on an
// image surface, and the alarm as one synchronous play of the program's sound.
#include <core/Sound.h>
#include <core/ValueText.h>

#include <platform/sound.h>

#include <gtest/gtest.h>

#include <kvtest/Canvas.h>
#include <kvtest/CoreGlobals.h>
#include <kvtest/Screenshots.h>

#include <cairo.h>

namespace {

using gditest::Canvas;

TEST(FormatValueByMagnitude, DecimalsFollowTheSize) {
  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {2.5, "2.500"},  {-12.5, "-12.50"}, {150.0, "150.0"}, {300.0, "300"}, {0.5, "500m"},
      {1.0, "1.000"},  {3.0, "3.00"},     {29.994, "29.99"}, {-299.94, "-299.9"}, {1234.0, "1234"},
      {0.0042, "4m"},
  };
  for (const Case& c : cases) EXPECT_STREQ((LPCSTR)FormatValueByMagnitude(c.value), c.text) << c.value;
}

constexpr COLORREF kInk = RGB(255, 255, 255);
constexpr RECT kBox{10, 10, 310, 90};  // H = 80: large font 40 px, "-1" 20 px above the bottom

struct Drawn {
  int stripInk;     // in the last 6 columns, where only the exponent can be
  RECT stripBounds;
  int textInk;
};

Drawn Draw(Canvas& canvas, const char* unit, double ratio, const char* picture = nullptr) {
  CDC* dc = CDC::FromHandle(canvas.dc());
  SetTextColor(canvas.dc(), kInk);
  SetBkMode(canvas.dc(), TRANSPARENT);
  DrawValueWithUnit("3000", unit, kBox.left, kBox.top, kBox.right, kBox.bottom, dc, ratio);
  if (picture) cairo_surface_write_to_png(canvas.surface(), kvtest::ScreenshotPath(picture).c_str());
  Drawn d{};
  d.stripInk = canvas.CountInk(RECT{kBox.right - 6, kBox.top, kBox.right, kBox.bottom}, gditest::kBackground, &d.stripBounds);
  d.textInk = canvas.CountInk(RECT{kBox.left, kBox.top, kBox.right - 30, kBox.bottom});
  return d;
}

TEST(DrawValueWithUnit, ExponentOnlyForUnitsOtherThanRpm) {
  Canvas withExponent(320, 100), rpm(320, 100);
  const Drawn minutes = Draw(withExponent, "min", 1.5, "value_text_min");
  const Drawn plain = Draw(rpm, "RPM", 1.5, "value_text_rpm");
  EXPECT_GT(minutes.stripInk, 0);
  EXPECT_EQ(plain.stripInk, 0);
  EXPECT_GT(plain.textInk, 0);
  // The exponent is raised: it ends a quarter of the height above the bottom.
  EXPECT_LE(minutes.stripBounds.bottom, kBox.bottom - 20 + 1);
}

TEST(DrawValueWithUnit, SmallerExponentWithRatioTwo) {
  Canvas a(320, 100), b(320, 100);
  const Drawn normal = Draw(a, "min", 1.5);
  const Drawn thermometer = Draw(b, "min", 2.0, "value_text_ratio2");
  ASSERT_GT(thermometer.stripInk, 0);
  EXPECT_LT(thermometer.stripBounds.bottom - thermometer.stripBounds.top,
            normal.stripBounds.bottom - normal.stripBounds.top);
}

TEST(DrawValueWithUnit, RestoresTheFontAndLeavesColours) {
  Canvas canvas(320, 100);
  const HGDIOBJ before = GetCurrentObject(canvas.dc(), OBJ_FONT);
  SetTextColor(canvas.dc(), RGB(1, 2, 3));
  DrawValueWithUnit("---", "RPM", 0, 0, 300, 80, CDC::FromHandle(canvas.dc()));
  EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_FONT), before);
  EXPECT_EQ(GetTextColor(canvas.dc()), RGB(1, 2, 3));
}

TEST(PlayAlarmSound, OneSynchronousPlayOfTheAlarm) {
  GetSound();  // its resources exist before the recording starts
  kvp::SoundRecording recording;
  PlayAlarmSound();
  const auto events = recording.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, kvp::SoundEvent::Kind::Play);
  EXPECT_EQ(events[0].source, "resource:148");
  EXPECT_FALSE(events[0].async);
  EXPECT_FALSE(events[0].loop);
}

}  // namespace
