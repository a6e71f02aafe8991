// The scope's record command bound to the recorder: the fields of a record from the command's
// (with the coupling turned from the settings' meaning into the record's), the sizing after a
// recording through the recorder, the acquisition mode kept per path, and the engine's feed of
// the records' rings.
#include "RecorderRecordTarget.h"

#include <meters/Record.h>
#include <meters/Recorder.h>

#include <core/MeasureEngine.h>

#include <kvtest/CoreGlobals.h>

#include <gtest/gtest.h>

namespace {

class RecorderRecordTargetTest : public kvtest::CoreTest {
 protected:
  void SetUp() override {
    kvtest::CoreTest::SetUp();
    ::ClearRecordList();
    recorder.SetFeedEngine(&engine);
  }
  void TearDown() override {
    engine.StopRecorderFeed();
    ::ClearRecordList();
    kvtest::CoreTest::TearDown();
  }

  CMeasureEngine engine;
  CRecorder recorder;
  CRecorderRecordTarget target{&recorder};
};

TEST_F(RecorderRecordTargetTest, RecordsTakeTheCommandsFieldsWithTheRecordsCouplingMeaning) {
  struct Case {
    const char* name;
    int channel;
    Coupling given;
    int roll, ring, through, angle, unit;
    // The record.
    int coupling, rollFlag, direct, capacity;
  } cases[] = {
      {"ring path, A, AC", 0, Coupling::AC, 0, 400000, 0, 0, 0, /*coupling*/ 1, 0, 0, 400000},
      {"through the recorder, B, DC", 1, Coupling::DC, 0, 0, 1, 0, 1, /*coupling*/ 0, 0, 1, 0},
      {"roll mode 2, angle axis", 1, Coupling::AC, 2, 400000, 1, 1, 0, /*coupling*/ 1, 1, 1, 400000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    target.ClearRecordList();
    scope::ScopeRecordFields f;
    f.m_nChannel = c.channel;
    f.m_crColor = 0x123456;
    f.m_nPenStyle = 2;
    f.m_nRollMode = c.roll;
    f.m_nRingCapacity = c.ring;
    f.m_bThroughRecorder = c.through;
    f.m_bAngleMode = c.angle;
    f.m_nUnit = c.unit;
    f.m_dSampleRate = 200000.0;
    f.m_dPerDivision = 5.0;
    f.m_dFullScale = 40.0;
    f.m_Coupling = c.given;
    target.AddRecord(f);
    ASSERT_EQ(target.GetRecordCount(), 1);
    const CRecord& r = *GetRecordList()[0];
    EXPECT_EQ(r.m_nChannel, c.channel);
    EXPECT_EQ(r.m_crColor, 0x123456u);
    EXPECT_EQ(r.m_nPenStyle, 2);
    EXPECT_EQ(r.m_nCoupling, c.coupling);
    EXPECT_EQ(r.GetCoupling(), c.given);
    EXPECT_EQ(r.m_bRoll, c.rollFlag);
    EXPECT_EQ(r.m_bDirect, c.direct);
    EXPECT_EQ(r.m_Ring.GetCapacity(), c.capacity);
    EXPECT_EQ(r.m_Ring.GetCount(), 0);
    EXPECT_EQ(r.m_bAngle, c.angle);
    EXPECT_EQ(r.m_nUnit, c.unit);
    EXPECT_EQ(r.m_dSampleRate, 200000.0);
    EXPECT_EQ(r.m_dPerDivision, 5.0);
    EXPECT_EQ(r.m_dFullScale, 40.0);
    EXPECT_EQ(r.m_bTransferPending, 1) << "the recorder thread still has to take it";
    EXPECT_EQ(r.m_bSaved, 0);
  }
}

// After a recording through the recorder every record is emptied and sized to its share of the
// samples the board took; the recorder reads that many back.
TEST_F(RecorderRecordTargetTest, SizingEmptiesEveryRingToTheShareOfTheSamples) {
  for (int ch = 0; ch < 2; ++ch) {
    scope::ScopeRecordFields f;
    f.m_nChannel = ch;
    f.m_nRingCapacity = 16;
    target.AddRecord(f);
    GetRecordList()[ch]->m_Ring.Add(1234);
  }
  target.SizeRecords(500);
  for (int k = 0; k < 2; ++k) {
    SCOPED_TRACE(k);
    const CRecord& r = *GetRecordList()[k];
    EXPECT_EQ(r.m_Ring.GetCapacity(), 500);
    EXPECT_EQ(r.GetSampleCount(), 0);
    EXPECT_EQ(r.GetPointCount(), 500);
  }
  target.SizeRecords(-3);
  EXPECT_EQ(GetRecordList()[0]->GetPointCount(), 0);
}

TEST_F(RecorderRecordTargetTest, TheOldAcquisitionModeIsKeptInTheRecordersPlaceOfItsPath) {
  target.SetOldAcquisitionMode(false, 3);
  target.SetOldAcquisitionMode(true, 5);
  EXPECT_EQ(recorder.m_nPrevAcquisitionMode[CRecorderRecordTarget::BOARD_PATH], 3);
  EXPECT_EQ(recorder.m_nPrevAcquisitionMode[CRecorderRecordTarget::ENGINE_TESTER_PATH], 5);
  EXPECT_EQ(target.GetOldAcquisitionMode(false), 3);
  EXPECT_EQ(target.GetOldAcquisitionMode(true), 5);
}

// The engine's feed of the rings needs records to feed.
TEST_F(RecorderRecordTargetTest, FeedGoesOnWithRecordsAndOffAgain) {
  target.StartRecorderFeed();
  EXPECT_FALSE(engine.IsRecorderFed()) << "no record to feed";
  scope::ScopeRecordFields f;
  f.m_nRingCapacity = 8;
  target.AddRecord(f);
  target.StartRecorderFeed();
  EXPECT_TRUE(engine.IsRecorderFed());
  target.StopRecorderFeed();
  EXPECT_FALSE(engine.IsRecorderFed());
}

}  // namespace
