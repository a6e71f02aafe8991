// IOscClbck: the acquisition engine's four callbacks into the scope pane. They are made on the
// acquisition thread; the scope pane marshals each to the GUI thread (WM_OSCMEASURE sent
// synchronously), so the thread waits until the pane has copied settings or data.
#pragma once

#include <core/EngineRecords.h>

class IOscClbck {
 public:
  // Slot 0: the error lines of one wake-up of the thread. Returns 0.
  virtual int OnOscError(MeterResult& result) = 0;
  // Slot 1: a message (not called by the engine).
  virtual int OnOscMessage(int code, LPARAM data) = 0;
  // Slot 2: fill the record's settings with the pane's current ones; non-zero starts a measurement.
  virtual int OnOscQuerySettings(CMeasureProps& settings, int command) = 0;
  // Slot 3: a complete record; 1 makes the engine start the next measurement at once.
  virtual int OnOscData(AcquisitionRecord& record) = 0;

 protected:
  ~IOscClbck() = default;
};
