// The print entry of the multimeter panes: one adapter in front of the print queue. Until the
// print queue and its dialog are part of the program, the adapter keeps the items it is handed
// (for the tests and the record of what was asked) and opens no dialog; a refusal can be set to
// see a pane do nothing more. GUI thread.
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

// Queues a voltmeter or ammeter item and opens the print dialog over the main window; FALSE
// (and no dialog) when the queue refuses the item.
BOOL PrintMeterValues(int type, double value, double min, double max, int ac, int minMax);
// Queues a resistance item holding one value; FALSE when refused.
BOOL PrintMeterValue1(int type, double value);

namespace meterprint {
// What the adapter was handed, oldest first; the refusal switch; the dialogs it would have opened.
std::vector<MeterPrintItem>& Items();
void SetRefuse(bool refuse);
int DialogCount();
void Reset();
}  // namespace meterprint
