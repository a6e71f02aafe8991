// The meter panes' print entry seen from a test: while it lives, a MeterPrintLog is the entry's
// observer; it keeps what the panes handed over, counts the print dialogs that opened and refuses
// every item while `refuse` is set, as the queue does when it cannot make one.
#pragma once

#include <meters/MeterPrint.h>

#include <vector>

namespace meterstest {

class MeterPrintLog : public IMeterPrintObserver {
 public:
  MeterPrintLog() : previous_(SetMeterPrintObserver(this)) {}
  ~MeterPrintLog() override { SetMeterPrintObserver(previous_); }
  MeterPrintLog(const MeterPrintLog&) = delete;
  MeterPrintLog& operator=(const MeterPrintLog&) = delete;

  BOOL OnMeterPrint(const MeterPrintItem& item) override {
    if (refuse) return FALSE;
    items.push_back(item);
    return TRUE;
  }
  void OnPrintDialog() override { ++dialogs; }
  void Clear() {
    items.clear();
    refuse = false;
    dialogs = 0;
  }

  std::vector<MeterPrintItem> items;  // oldest first
  bool refuse = false;
  int dialogs = 0;

 private:
  IMeterPrintObserver* previous_;
};

}  // namespace meterstest
