#include <core/Measure.h>
#include <core/MeasureType.h>
#include <core/Notify.h>
#include <core/Reg.h>
#include <core/ResourceHolder.h>
#include <core/SavedScope.h>
#include <core/Sound.h>

#include <platform/sound.h>

#include <kvtest/CoreGlobals.h>

#include <gtest/gtest.h>

namespace {

class Layout : public kvtest::CoreTest {};
class TraceList : public kvtest::CoreTest {};
class Notify : public kvtest::CoreTest {};
class MeasureTypeTest : public kvtest::CoreTest {};

// Occupies the first n saved-scope slots with one signal each.
void Occupy(int n) {
  for (int i = 0; i < kSavedScopeSlots; ++i) GetSavedScopes()[i].RemoveAllSignals();
  for (int i = 0; i < n; ++i) {
    GetSavedScopes()[i].m_Signals.Add(new CSavedSignal);
    GetSavedScopes()[i].m_bEmpty = 0;
  }
}

RECT Area(ScreenArea area) {
  RECT r{-7, -7, -7, -7};
  LayoutScreenArea(area, r);
  return r;
}

void ExpectRect(const RECT& r, LONG l, LONG t, LONG rr, LONG b, int area) {
  EXPECT_EQ(r.left, l) << "area " << area;
  EXPECT_EQ(r.top, t) << "area " << area;
  EXPECT_EQ(r.right, rr) << "area " << area;
  EXPECT_EQ(r.bottom, b) << "area " << area;
}

}  // namespace

TEST_F(Layout, ScreenAreasOfA1000By700Client) {
  CResourceHolder& h = GetResourceHolder();
  h.m_rcClient = CRect(0, 0, 1000, 700);
  h.m_bNarrowChart = 1;
  // W 1000: D 20, E 572; H 670: V 24, A 33; (B-T)*0.005 = 3.
  struct Case {
    ScreenArea area;
    LONG l, t, r, b;
  } cases[] = {
      {ScreenArea::Chart, 35, 84, 607, 555},  // top 33 + 48 + 3; bottom + 670 / 1.422 = 471
      {ScreenArea::TextStrip, 33, 0, 609, 24},
      {ScreenArea::TopStrip, 33, 24, 609, 45},
      {ScreenArea::TimeRuler, 33, 45, 609, 78},
      {ScreenArea::BottomStrip, 35, 558, 607, 582},
      {ScreenArea::MeasuresStrip, 34, 582, 608, 656},  // + 670 / 9 = 74
      {ScreenArea::CursorPanel, 34, 582, 608, 660},    // + 670 / 8.5 = 78
      {ScreenArea::LevelRuler, 5, 84, 32, 555},
      {ScreenArea::TabStrip, 0, 0, 1000, 30},
      {ScreenArea::PaneArea, 0, 30, 1000, 700},
      {ScreenArea::MinimizePanel, 980, 32, 1000, 668},
      {ScreenArea::ControlPanel, 613, 32, 1000, 668},  // 5 + 6 + 1000 + 572 - 1000 + 30
      {ScreenArea::SavedCD, 34, 659, 608, 683},
      {ScreenArea::SavedEF, 34, 659, 608, 683},
      {ScreenArea::ManualButton, 1, 4, 32, 35},
  };
  for (const Case& c : cases) ExpectRect(Area(c.area), c.l, c.t, c.r, c.b, static_cast<int>(c.area));
  const RECT untouched = Area(static_cast<ScreenArea>(15));
  ExpectRect(untouched, -7, -7, -7, -7, 15);

  // Undocked: the chart widens and the control panel moves left by one step.
  h.m_bNarrowChart = 0;
  ExpectRect(Area(ScreenArea::Chart), 35, 84, 35 + 1000 - 6 - 5 - 20 - 30, 555, 0);
  EXPECT_EQ(Area(ScreenArea::ControlPanel).left, 613 - 20);
}

TEST_F(Layout, ControlPanelLeftIsTruncatedOnce) {
  // left = M + W * 0.006 + right + W * 0.572 - R + 30 as one number: where the two products'
  // fractions add up to a pixel, truncating each of them on its own lands one pixel short.
  struct Case {
    LONG width;
    int narrow;
    LONG left;
  } cases[] = {
      {1000, 1, 613},       // 6 + 572: no fractions
      {1150, 1, 699},       // 6.9 + 657.8 = 664.7 (664, not 6 + 657 = 663)
      {1150, 0, 699 - 23},  // undocked: one step (1150 / 50) further left
      {1100, 1, 670},       // 6.6 + 629.2 = 635.8: the fractions stay below a pixel
  };
  CResourceHolder& h = GetResourceHolder();
  for (const Case& c : cases) {
    h.m_rcClient = CRect(0, 0, c.width, 700);
    h.m_bNarrowChart = c.narrow;
    EXPECT_EQ(Area(ScreenArea::ControlPanel).left, c.left) << c.width << " narrow " << c.narrow;
  }
}

TEST_F(Layout, SavedScopesShortenTheChart) {
  GetResourceHolder().m_rcClient = CRect(0, 0, 1000, 700);
  EXPECT_EQ(GetSavedScopeCount(), 0);
  const RECT none = Area(ScreenArea::Chart);
  Occupy(2);
  EXPECT_EQ(GetSavedScopeCount(), 2);
  const RECT two = Area(ScreenArea::Chart);
  EXPECT_EQ(none.bottom - two.bottom, 2 * 24);
  EXPECT_EQ(two.top, none.top);
  GetSavedScopes()[0].RemoveAllSignals();
  EXPECT_EQ(GetSavedScopeCount(), 1);
  EXPECT_EQ(GetSavedScopes()[0].m_Signals.GetSize(), 0);
  EXPECT_EQ(GetSavedScopes()[1].m_nSlot, 1);
}

TEST_F(Layout, CopyRectIfDifferent) {
  RECT target{1, 2, 3, 4};
  CopyRectIfDifferent(target, RECT{5, 6, 7, 8});
  ExpectRect(target, 5, 6, 7, 8, -1);
}

TEST_F(TraceList, AddAndFreeTwice) {
  int index = -1;
  CMeasure* a = AddTrace(&index);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(a->m_crColor, 0x00FF00u);
  EXPECT_EQ(a->m_nStyle, 3);
  EXPECT_EQ(a->m_nWidth, 2);
  EXPECT_EQ(a->m_nLowerRaw, -32768);
  EXPECT_EQ(a->m_nMultiplier, 1);
  AddTrace(&index);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(GetTraceList().GetSize(), 2);
  FreeTraceList();
  FreeTraceList();
  EXPECT_EQ(GetTraceList().GetSize(), 0);
}

namespace {
struct Sink : ISystemNotify {
  int calls = 0;
  void OnSystemNotify(notify::Sender, notify::Code, int) override { ++calls; }
};
}  // namespace

TEST_F(Notify, RegisterReplaceAndLeave) {
  EXPECT_EQ(GetSystemNotify(), nullptr);
  Sink first, second;
  SetSystemNotify(&first);
  SetSystemNotify(&second);
  UnregisterSystemNotify(&first);  // replaced meanwhile: stays
  EXPECT_EQ(GetSystemNotify(), &second);
  UnregisterSystemNotify(&second);
  EXPECT_EQ(GetSystemNotify(), nullptr);
}

TEST_F(MeasureTypeTest, ManualPaths) {
  HKEY key = 0;
  MeasureType& preset = GetMeasureType();
  char buffer[64] = "untouched";
  // The stores outlive a run: start without "Path".
  if (RegOpenKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", &key) == ERROR_SUCCESS) {
    RegDeleteValue(key, "Path");
    RegCloseKey(key);
  }
  preset.m_nMeasureType = 13;
  EXPECT_EQ(preset.GetManualPath(buffer, sizeof(buffer)), 0);  // no "Path" yet
  EXPECT_STREQ(buffer, "untouched");

  ASSERT_EQ(RegCreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\KELO\\KV310", &key), ERROR_SUCCESS);
  const char path[] = "C:\\Prog\\";
  RegSetValueEx(key, "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof(path));
  RegCloseKey(key);
  struct Case {
    int type, result;
    const char* text;
  } cases[] = {
      {13, 1, "C:\\Prog\\Manuals\\Injector"},
      {27, 1, "C:\\Prog\\Manuals\\NeedleStrokeSensor"},
      {10, 0, "untouched"},
      {28, 0, "untouched"},
  };
  for (const Case& c : cases) {
    std::strcpy(buffer, "untouched");
    preset.m_nMeasureType = c.type;
    EXPECT_EQ(preset.GetManualPath(buffer, sizeof(buffer)), c.result) << c.type;
    EXPECT_STREQ(buffer, c.text) << c.type;
    EXPECT_EQ(preset.IsComponentTestType(), c.type >= 11 && c.type <= 27) << c.type;
  }
  // Bounded by the buffer.
  char small[10];
  preset.m_nMeasureType = 13;
  EXPECT_EQ(preset.GetManualPath(small, sizeof(small)), 1);
  EXPECT_STREQ(small, "C:\\Prog\\M");
}

TEST(Sound, SlotsFlagsAndTheMissingResource) {
  kvp::SoundRecording rec;
  CSound& sound = GetSound();
  struct Case {
    int index;
    BOOL loop, async, allowDefault;
    int result;
    const char* source;  // null: nothing played
    bool wantAsync, wantLoop;
  } cases[] = {
      {0, FALSE, TRUE, FALSE, 1, "resource:148", true, false},
      {1, TRUE, TRUE, FALSE, 1, "resource:149", true, true},
      {0, TRUE, FALSE, FALSE, 1, "resource:148", false, false},  // loop without async: once
      {2, FALSE, TRUE, TRUE, 1, "default", true, false},        // 155 is not there
      {2, FALSE, TRUE, FALSE, 1, nullptr, false, false},
      {3, FALSE, TRUE, TRUE, 0, nullptr, false, false},
      {-1, FALSE, TRUE, TRUE, 0, nullptr, false, false},
  };
  for (const Case& c : cases) {
    const size_t before = rec.Events().size();
    EXPECT_EQ(sound.Play(c.index, c.loop, c.async, c.allowDefault), c.result) << c.index;
    const auto events = rec.Events();
    if (!c.source) {
      EXPECT_EQ(events.size(), before) << c.index;
      continue;
    }
    ASSERT_EQ(events.size(), before + 1) << c.index;
    EXPECT_EQ(events.back().source, c.source);
    EXPECT_EQ(events.back().async, c.wantAsync);
    EXPECT_EQ(events.back().loop, c.wantLoop);
  }
  sound.Stop();
  ASSERT_FALSE(rec.Events().empty());
  EXPECT_EQ(rec.Events().back().kind, kvp::SoundEvent::Kind::Stop);
  // Two seconds of our own 16-bit mono sound at 22050 Hz, about 88 KB.
  EXPECT_EQ(rec.Events()[0].dataBytes, 88200u);
}
