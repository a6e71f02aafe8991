// Records, the record list and the recorder's view state: the raw ring, the values derived from
// it, zoom and amplitude steps, texts, the position and the view window.
#include <meters/Recorder.h>

#include <core/ColorScheme.h>
#include <core/MeasureEngine.h>
#include <core/Notify.h>
#include <core/NumberFormat.h>

#include <kvtest/CoreGlobals.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class RecordTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    ClearRecordList();
  }
  void TearDown() override {
    ClearRecordList();
    kvtest::CoreTest::TearDown();
  }

  // A first record of `points` points at `rate`, its ring filled with zeros.
  static CRecord* MakeRecord(int points, double rate = 1000.0, int angle = 0) {
    CRecord* r = AddNewRecord(nullptr);
    r->m_nPointCount = points;
    r->m_dSampleRate = rate;
    r->m_bAngle = angle;
    r->m_Ring.init(points);
    for (int i = 0; i < points; ++i) r->m_Ring.append(0);
    return r;
  }
};

struct SinkLog : IAnalyzerNotify {
  void OnAnalyzerNotify(int sender, int code, int value) override { calls.push_back({sender, code, value}); }
  std::vector<std::vector<int>> calls;
};

TEST_F(RecordTest, RingReadsFromTheOldestAndCompactsToItsLength) {
  CNxRoundShortIntArray ring;
  ring.init(5);
  for (SHORT v = 1; v <= 7; ++v) ring.append(v);
  std::vector<SHORT> read;
  for (int i = -1; i <= 5; ++i) read.push_back(ring.get(i));
  EXPECT_EQ(read, (std::vector<SHORT>{0, 3, 4, 5, 6, 7, 0})) << "wrapped twice, out of range reads 0";
  ring.Compact();
  EXPECT_EQ(ring.GetCapacity(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ring.GetAt(i), i + 3) << "slot " << i << " in logical order";

  CNxRoundShortIntArray partial;
  partial.init(10);
  for (SHORT v : {9, 8, 7}) partial.append(v);
  partial.Compact();
  EXPECT_EQ(partial.GetCapacity(), 3);
  EXPECT_EQ(partial.GetCount(), 3);
  EXPECT_EQ(partial.get(2), 7);
  partial.init(2);
  EXPECT_EQ(partial.GetCount(), 0);
  EXPECT_EQ(partial.get(0), 0);
}

TEST_F(RecordTest, PointsDeriveFromTheRawSamples) {
  CRecord r;
  r.m_dFullScale = 10.0;
  r.m_nRawUpper = 20000;
  r.m_nRawLower = -20000;
  r.m_nPointCount = 10;
  r.m_Ring.init(10);
  const std::vector<SHORT> raw = {20000, 19999, -20000, -19999, 0, -32768, 32767, 100};
  for (SHORT v : raw) r.m_Ring.append(v);
  struct Case {
    int i;
    bool valid;
    double value;
    int clip;
  } cases[] = {
      {0, true, 10.0 * 20000 / 32767, CRecord::CLIP_UPPER},
      {1, true, 10.0 * 19999 / 32767, CRecord::CLIP_NONE},
      {2, true, -10.0 * 20000 / 32767, CRecord::CLIP_LOWER},
      {3, true, -10.0 * 19999 / 32767, CRecord::CLIP_NONE},
      {4, true, 0.0, CRecord::CLIP_NONE},
      {5, true, 0.0, CRecord::CLIP_NONE},  // gap marker: both points zero
      {6, true, 0.0, CRecord::CLIP_NONE},
      {7, true, 10.0 * 100 / 32767, CRecord::CLIP_NONE},
      {8, false, 0.0, CRecord::CLIP_NONE},  // past the stored samples
      {9, false, 0.0, CRecord::CLIP_NONE},
      {10, false, 0.0, CRecord::CLIP_NONE},  // past the point count
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.i);
    EXPECT_EQ(r.IsPointValid(c.i), c.valid);
    EXPECT_DOUBLE_EQ(r.GetPointValue(c.i), c.value);
    EXPECT_EQ(r.GetClipCode(c.i), c.clip);
  }
  EXPECT_TRUE(r.IsGap(5));
  EXPECT_TRUE(r.IsGap(6));
  EXPECT_FALSE(r.IsGap(4));
  r.UpdateContinuous();
  EXPECT_EQ(r.m_bContinuous, 0);
}

TEST_F(RecordTest, GapPointsTakeTheClipCodeOfRawZero) {
  struct Case {
    const char* what;
    SHORT upper, lower;
    int clip;
  } cases[] = {
      {"limits around zero", 20000, -20000, CRecord::CLIP_NONE},
      {"upper limit at zero", 0, -20000, CRecord::CLIP_UPPER},
      {"upper limit below zero", -5, -20000, CRecord::CLIP_UPPER},
      {"lower limit at zero", 32767, 0, CRecord::CLIP_LOWER},
      {"lower limit above zero", 32767, 10, CRecord::CLIP_LOWER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CRecord r;
    r.m_dFullScale = 1.0;
    r.m_nRawUpper = c.upper;
    r.m_nRawLower = c.lower;
    r.m_nPointCount = 4;
    r.m_Ring.init(4);
    for (SHORT v : {5, -32768, 32767, -32768}) r.m_Ring.append(v);
    EXPECT_EQ(r.GetClipCode(1), c.clip);
    EXPECT_EQ(r.GetClipCode(2), c.clip);
    EXPECT_FALSE(r.IsGap(3)) << "a lone -32768 at the end is a sample";
    EXPECT_EQ(r.GetClipCode(3), -32768 <= c.lower ? CRecord::CLIP_LOWER : CRecord::CLIP_NONE);
  }
}

TEST_F(RecordTest, SetPointAppendsTheNextSampleOnly) {
  CRecord r;
  r.m_nPointCount = 3;
  r.m_Ring.init(3);
  EXPECT_EQ(r.SetPoint(1, 7), -1);
  EXPECT_EQ(r.SetPoint(0, 7), 0);
  EXPECT_EQ(r.SetPoint(1, 8), 1);
  EXPECT_EQ(r.SetPoint(3, 9), -1);
  EXPECT_EQ(r.GetSampleCount(), 2);
  EXPECT_EQ(r.GetRaw(1), 8);
}

TEST_F(RecordTest, ScaleRunsFromFiveDivisionsAboveToFiveBelow) {
  CRecord r;
  r.m_dPerDivision = 2.5;
  r.SetScale(400);
  EXPECT_EQ(r.m_Scale.m_nDivisions, 10);
  EXPECT_DOUBLE_EQ(r.m_Scale.m_dDirection, -1.0);
  EXPECT_DOUBLE_EQ(r.m_Scale.m_dSpan, 25.0);
  EXPECT_DOUBLE_EQ(r.m_Scale.m_dOrigin, 0.0);
  EXPECT_DOUBLE_EQ(r.m_Scale.m_dFirstValue, 12.5);
  EXPECT_DOUBLE_EQ(r.m_Scale.m_dLastValue, -12.5);
  EXPECT_EQ(r.m_Scale.ValueToPixel(12.5), 0);
  EXPECT_EQ(r.m_Scale.ValueToPixel(0.0), 200);
  EXPECT_EQ(r.m_Scale.ValueToPixel(-12.5), 400);
}

TEST_F(RecordTest, StartValuesAndTheLookOfAFinishedRecord) {
  CRecord fresh;
  EXPECT_EQ(fresh.m_nRawUpper, 0x7FFF);
  EXPECT_EQ(fresh.m_nRawLower, -0x8000);
  EXPECT_EQ(fresh.m_crColor, 0x00FF00u);
  EXPECT_EQ(fresh.m_nPenStyle, 2);
  EXPECT_EQ(fresh.m_nStyle2, 3);
  EXPECT_EQ(fresh.m_nUnit, 10);
  EXPECT_EQ(fresh.GetCount(), 0) << "the base buffer's arrays stay empty";
  EXPECT_TRUE(fresh.m_Style.m_strName.IsEmpty());

  for (int index : {0, 1}) {
    SCOPED_TRACE(index);
    CRecord r;
    r.m_dPerDivision = 1.0;
    r.FinishLook(index, 300);
    EXPECT_EQ(std::string(r.m_Style.m_strName), std::to_string(index + 1));
    EXPECT_EQ(r.m_crColor, GetSchemeColor(index));
    EXPECT_EQ(r.m_crColor2, AdjustColor(GetSchemeColor(index), 170));
    EXPECT_EQ(r.GetTraceWidth(), GetDefaultDecimals(index));
    EXPECT_EQ(r.GetPatternKind(), 3);
    EXPECT_EQ(r.m_Style.m_nFlags & CRecordStyle::VALID, CRecordStyle::VALID);
    EXPECT_TRUE(r.m_Level.IsShown());
    EXPECT_EQ(r.m_Level.m_dValue, 0.0);
    EXPECT_EQ(r.m_Level.m_pScale, &r.m_Scale);
    EXPECT_EQ(r.m_Level.m_crColor, r.m_crColor2);
    EXPECT_EQ(r.m_bContinuous, 1);
    EXPECT_EQ(r.m_Scale.m_nPixelTo, 300);
  }
}

TEST_F(RecordTest, ListAddsWithIndexAndClearsWithOneNotification) {
  SinkLog sink;
  SetAnalyzerNotify(&sink);
  const uint64_t g0 = GetRecordListGeneration();
  int index = -1;
  ASSERT_NE(AddNewRecord(&index), nullptr);
  EXPECT_EQ(index, 0);
  ASSERT_NE(AddNewRecord(&index), nullptr);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(GetRecordList().GetSize(), 2);
  const uint64_t g1 = GetRecordListGeneration();
  EXPECT_NE(g1, g0);
  EXPECT_TRUE(sink.calls.empty());
  ClearRecordList();
  EXPECT_EQ(GetRecordList().GetSize(), 0);
  EXPECT_NE(GetRecordListGeneration(), g1);
  EXPECT_EQ(sink.calls, (std::vector<std::vector<int>>{{16, 76, 0}}));
  UnregisterAnalyzerNotify(&sink);
}

TEST_F(RecordTest, CursorsStartHiddenAndInitCursorsPlacesThem) {
  CRecorder recorder;
  EXPECT_EQ(recorder.m_bCursorsHidden, 1);
  EXPECT_EQ(recorder.m_View.m_nZoom, 1);
  EXPECT_EQ(recorder.m_View.m_nStepValue, 10);
  EXPECT_EQ(recorder.InitCursors(), 1);
  const CursorRecord& l = recorder.m_Cursors[0];
  const CursorRecord& r = recorder.m_Cursors[1];
  EXPECT_EQ(std::string(l.m_strName), "L");
  EXPECT_EQ(std::string(r.m_strName), "R");
  EXPECT_EQ(l.m_dValue, 300.0);
  EXPECT_EQ(r.m_dValue, 500.0);
  EXPECT_EQ(l.m_crColor, GetSchemeColor(10));
  EXPECT_EQ(r.m_crColor, GetSchemeColor(11));
  EXPECT_EQ(l.Kind(), 4);
  EXPECT_EQ(r.Kind(), 5);
  EXPECT_FALSE(l.IsShown());
  EXPECT_FALSE(r.IsShown());
  EXPECT_EQ(recorder.m_bCursorsHidden, 1);
}

TEST_F(RecordTest, ZoomStepsOnRecordsOfEverySize) {
  struct Case {
    int points, from, outTo, outResult, inTo, inResult;
  } cases[] = {
      {1000, 0, 0, 0, 1, 0},     {1000, 1, 0, 0, 1, 0},     {1000, 2, 0, 0, 1, 0},     {1000, 5, 0, 0, 1, 0},
      {1000, 10, 0, 0, 1, 0},    {1000, 20, 0, 0, 1, 0},    {10000, 0, 0, 0, 10, 1},   {10000, 1, 2, 1, 1, 0},
      {10000, 2, 5, 1, 1, 0},    {10000, 5, 10, 1, 2, 1},   {10000, 10, 0, 0, 5, 1},   {10000, 20, 0, 0, 10, 1},
      {100000, 0, 0, 0, 20, 1},  {100000, 1, 2, 1, 1, 0},   {100000, 2, 5, 1, 1, 0},   {100000, 5, 10, 1, 2, 1},
      {100000, 10, 20, 0, 5, 1}, {100000, 20, 20, 0, 10, 1},
  };
  int made = -1;
  CRecorder recorder;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.points << " points from zoom " << c.from);
    if (made != c.points) {
      ClearRecordList();
      MakeRecord(c.points);
      made = c.points;
    }
    recorder.m_View.m_nZoom = c.from;
    EXPECT_EQ(recorder.ZoomOut(), c.outResult);
    EXPECT_EQ(recorder.m_View.m_nZoom, c.outTo);
    recorder.m_View.m_nZoom = c.from;
    EXPECT_EQ(recorder.ZoomIn(), c.inResult);
    EXPECT_EQ(recorder.m_View.m_nZoom, c.inTo);
  }
}

TEST_F(RecordTest, AmplitudeSteps) {
  struct Case {
    bool up;
    int record, from, to, result;
  } cases[] = {
      {true, 0, 1, 2, 1},  {true, 1, 2, 3, 1},  {true, 2, 3, 4, 1},  {true, 3, 4, 5, 0}, {true, 0, 5, 5, 0},
      {true, 0, 0, 1, 1},  {true, 0, 9, 1, 1},  {false, 0, 5, 4, 1}, {false, 3, 2, 1, 1}, {false, 0, 1, 1, 0},
      {false, 0, 0, 1, 0}, {false, 0, 9, 1, 0},
  };
  CRecorder recorder;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.up ? "up" : "down") << " from " << c.from);
    recorder.m_View.m_nAmplitudeStep[c.record] = c.from;
    EXPECT_EQ(c.up ? recorder.AmplitudeStepUp(c.record) : recorder.AmplitudeStepDown(c.record), c.result);
    EXPECT_EQ(recorder.m_View.m_nAmplitudeStep[c.record], c.to);
  }
  for (int bad : {-1, 4}) {
    EXPECT_EQ(recorder.AmplitudeStepUp(bad), 1);
    EXPECT_EQ(recorder.AmplitudeStepDown(bad), 1);
  }
}

TEST_F(RecordTest, LengthPositionAndIndexTexts) {
  CRecorder recorder;
  EXPECT_EQ(std::string(recorder.GetLengthText()), "0:00.000'");
  EXPECT_EQ(std::string(recorder.GetPositionText()), "0:00.000'");
  EXPECT_EQ(std::string(recorder.GetLastIndexText()), "0");
  EXPECT_EQ(recorder.GetLength(), 0.0);

  MakeRecord(61234, 1000.0);
  EXPECT_DOUBLE_EQ(recorder.GetLength(), 61234.0);
  EXPECT_EQ(std::string(recorder.GetLengthText()), "1:01.234'");
  EXPECT_EQ(std::string(recorder.GetLastIndexText()), "61233");
  struct Case {
    int p;
    long long ms;
    const char* text;
  } cases[] = {{-5, 0, "0:00.000'"}, {0, 0, "0:00.000'"}, {30000, 30000, "0:30.000'"}, {61233, 61234, "1:01.234'"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.p);
    recorder.SetPosition(c.p);
    EXPECT_GE(recorder.m_View.m_nPosition, 0);
    EXPECT_EQ(recorder.GetPositionTime(), c.ms);
    EXPECT_EQ(std::string(recorder.GetPositionText()), c.text);
  }

  ClearRecordList();
  MakeRecord(720, 2.0, 1);
  EXPECT_EQ(std::string(recorder.GetLengthText()), "360\xB0");

  ClearRecordList();
  MakeRecord(1000, 0.0);
  EXPECT_EQ(recorder.GetLength(), 0.0) << "rate 0";
  ClearRecordList();
  MakeRecord(1, 1000.0);
  recorder.SetPosition(5);
  EXPECT_EQ(recorder.GetPositionTime(), 0) << "last index 0";
}

TEST_F(RecordTest, ViewWindowAndTimeAxis) {
  CRecorder recorder;
  MakeRecord(10000);
  struct Case {
    const char* what;
    int zoom, position, width;
    int start, end, n;
    double slope;
  } cases[] = {
      {"whole record", 0, 1234, 800, 0, 9999, 9999, 9999.0 / 800},
      {"centred", 1, 5000, 800, 4600, 5399, 800, 1.0},
      {"end clamp", 2, 9900, 800, 8399, 9999, 1600, 2.0},
      {"start below 0", 1, 100, 800, -300, 499, 800, 1.0},
      {"width 0", 5, 5000, 0, 3000, 6999, 4000, 1.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    recorder.m_View.m_nZoom = c.zoom;
    recorder.SetPosition(c.position);
    recorder.UpdateTimeAxis(c.width);
    const RecorderViewWindow w = recorder.GetViewWindow();
    EXPECT_EQ(w.start, c.start);
    EXPECT_EQ(w.end, c.end);
    EXPECT_EQ(w.n, c.n);
    EXPECT_DOUBLE_EQ(w.slope, c.slope);
    EXPECT_DOUBLE_EQ(recorder.m_View.m_TimeAxis.m_dSlope, c.slope);
    EXPECT_DOUBLE_EQ(recorder.m_View.m_TimeAxis.m_dX2, c.n);
  }
  recorder.m_View.m_nZoom = 2;
  recorder.UpdateTimeAxis(800);
  EXPECT_EQ(recorder.CursorPixel(300.0), 150);
  EXPECT_EQ(recorder.CursorPixel(1600.0), 800);
}

}  // namespace

namespace {

TEST_F(RecordTest, TheFeedNeedsARecordAndHandsTheEngineTheRecordsRings) {
  CMeasureEngine engine;
  CRecorder recorder;
  recorder.SetFeedEngine(&engine);
  EXPECT_EQ(recorder.SetRingFeed(1), 0);
  EXPECT_FALSE(engine.IsRecorderFed());
  CRecord* a = MakeRecord(10);
  CRecord* b = MakeRecord(10);
  EXPECT_EQ(recorder.SetRingFeed(1), 1);
  EXPECT_TRUE(engine.IsRecorderFed());
  EXPECT_EQ(recorder.GetRecordCount(), 2);
  EXPECT_EQ(recorder.GetSampleRing(0), &a->m_Ring);
  EXPECT_EQ(recorder.GetSampleRing(1), &b->m_Ring);
  EXPECT_EQ(recorder.GetSampleRing(2), nullptr);
  EXPECT_EQ(recorder.SetRingFeed(0), 1);
  EXPECT_FALSE(engine.IsRecorderFed());
}

}  // namespace
