// IScopeRecordTarget: the record list and the recorder engine as the control panel's recording
// uses them. The program binds the recorder's record list (app/), tests an in-memory stand-in
// (<kvtest/ScopeStandIns.h>).
#pragma once

#include <scope/pane/ScopeRecordFields.h>

namespace scope {

class IScopeRecordTarget {
 public:
  virtual void ClearRecordList() = 0;
  virtual void AddRecord(const ScopeRecordFields& fields) = 0;
  virtual int GetRecordCount() const = 0;
  // Every record's raw ring and value arrays sized to `points`.
  virtual void SizeRecords(int points) = 0;
  // The acquisition mode before a recording through the recorder, one place per path; a
  // snapshot capture reads it back while that recording's settings are still to be restored.
  virtual void SetOldAcquisitionMode(bool engineTester, int mode) = 0;
  virtual int GetOldAcquisitionMode(bool engineTester) const = 0;
  // The engine's feed of the raw rings while a recording on the ring path runs.
  virtual void StartRecorderFeed() = 0;
  virtual void StopRecorderFeed() = 0;

 protected:
  ~IScopeRecordTarget() = default;
};

}  // namespace scope
