// The print entry of the multimeter panes, the one place of the meters that names the print
// queue: a pane's result becomes the queue's pending item, then the print dialog opens modally
// over the main window (Add queues the item with a comment, Print prints the queue, Cancel drops
// the item). When the queue refuses the item nothing opens. GUI thread.
#pragma once

#include <platform/afx.h>

#include <vector>

// Print item types of the meter panes.
enum : int { PRINT_ITEM_VOLTAGE = 0, PRINT_ITEM_CURRENT = 1, PRINT_ITEM_RESISTANCE = 2 };

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

namespace meterprint {
// What the panes handed to the queue, oldest first; the queue itself keeps only what the print
// dialog left in it.
std::vector<MeterPrintItem>& Items();
// Makes the queue refuse every item, as it does when it cannot make one.
void SetRefuse(bool refuse);
// Print dialogs opened.
int DialogCount();
void Reset();
}  // namespace meterprint
