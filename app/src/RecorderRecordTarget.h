// CRecorderRecordTarget: the scope's recording command bound to the recorder's record list and
// engine. The scope and the meters do not know each other, so the program joins them here: the
// control panel's record command adds its records, sizes them, keeps the acquisition mode it
// changed and switches the engine's feed of the records' rings through this object.
//
// What the record command's fields mean to a record: the settings' coupling is 0 for AC and 1 for
// DC, a record's is 1 for AC and 0 for DC (the analyzer and the record file read it so); the roll
// flag is set for any roll mode; the direct flag says the recorder thread reads the board itself.
// GUI thread only.
#pragma once

#include <scope/pane/ScopeRecordTarget.h>

class CRecorder;

class CRecorderRecordTarget final : public scope::IScopeRecordTarget {
 public:
  // Where a recorder keeps the acquisition mode of each path.
  enum { BOARD_PATH = 0, ENGINE_TESTER_PATH = 1 };

  // The process-wide recorder unless a test names its own.
  explicit CRecorderRecordTarget(CRecorder* recorder = nullptr);

  void ClearRecordList() override;
  void AddRecord(const scope::ScopeRecordFields& fields) override;
  int GetRecordCount() const override;
  // Every record's ring emptied with room for `points` samples, and its point count `points`:
  // what the recorder thread reads back from the board after a recording through the recorder.
  void SizeRecords(int points) override;
  void SetOldAcquisitionMode(bool engineTester, int mode) override;
  int GetOldAcquisitionMode(bool engineTester) const override;
  // The recorder's ring feed on the engine: set once the records exist, cleared before the
  // question that ends a recording on the ring path.
  void StartRecorderFeed() override;
  void StopRecorderFeed() override;

 private:
  CRecorder& m_Recorder;
};
