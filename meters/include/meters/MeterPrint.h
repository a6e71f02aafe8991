// The print entry of the multimeter panes, the one place of the meters that names the print
// queue: a pane's result becomes the queue's pending item, then the print dialog opens modally
// over the main window (Add queues the item with a comment, Print prints the queue, Cancel drops
// the item). When the queue refuses the item nothing opens. GUI thread.
#pragma once

#include <ui/print/PrintItemType.h>

#include <platform/afx.h>

// What a pane hands to the queue.
struct MeterPrintItem {
  int type = 0;
  double value = 0.0;
  double min = 0.0;
  double max = 0.0;
  int ac = 0;
  int minMax = 0;
  CString comment;
  bool meterValues = false;  // SetMeterValues (voltage, current), else SetValue1 (resistance)
};

// Queues a voltmeter or ammeter item (SetMeterValues, empty comment) and opens the print dialog;
// FALSE (and no dialog) when the queue refuses the item.
BOOL PrintMeterValues(int type, double value, double min, double max, int ac, int minMax);
// Queues a resistance item holding one value (SetValue1, empty comment) and opens the print
// dialog; FALSE when refused.
BOOL PrintMeterValue1(int type, double value);

// The test seam of the print entry. An observer, when one is set, sees every item a pane hands
// over before it is queued and may refuse it (then nothing is queued and no dialog opens, as when
// the queue cannot make the item), and is told when the print dialog opens. The program sets
// none, so it keeps nothing of a print beyond the queue. GUI thread only.
class IMeterPrintObserver {
 public:
  virtual ~IMeterPrintObserver() = default;
  // FALSE refuses the item.
  virtual BOOL OnMeterPrint(const MeterPrintItem& item) = 0;
  virtual void OnPrintDialog() = 0;
};
// Sets the observer (null: none) and returns the one set before.
IMeterPrintObserver* SetMeterPrintObserver(IMeterPrintObserver* observer);
