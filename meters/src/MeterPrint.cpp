#include <meters/MeterPrint.h>

namespace {

struct PrintState {
  std::vector<MeterPrintItem> items;
  bool refuse = false;
  int dialogs = 0;
};

PrintState& State() {
  static PrintState state;
  return state;
}

BOOL Queue(const MeterPrintItem& item) {
  PrintState& s = State();
  if (s.refuse) return FALSE;
  s.items.push_back(item);
  ++s.dialogs;  // the modal print dialog over the main window
  return TRUE;
}

}  // namespace

BOOL PrintMeterValues(int type, double value, double min, double max, int ac, int minMax) {
  MeterPrintItem item;
  item.type = type;
  item.value = value;
  item.min = min;
  item.max = max;
  item.ac = ac;
  item.minMax = minMax;
  item.meterValues = true;
  return Queue(item);
}

BOOL PrintMeterValue1(int type, double value) {
  MeterPrintItem item;
  item.type = type;
  item.value = value;
  return Queue(item);
}

namespace meterprint {
std::vector<MeterPrintItem>& Items() { return State().items; }
void SetRefuse(bool refuse) { State().refuse = refuse; }
int DialogCount() { return State().dialogs; }
void Reset() { State() = PrintState{}; }
}  // namespace meterprint
