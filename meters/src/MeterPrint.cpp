#include <meters/MeterPrint.h>

#include <ui/print/PrintDlg.h>
#include <ui/print/PrintQueue.h>

#include <platform/afxwin.h>

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

// The new pending item's record, or null when the queue refuses it.
CPrintItemData* AddPending(int type) {
  if (State().refuse) return nullptr;
  int index = -1;
  return GetPrintQueue()->AddItem(type, &index, 0);
}

void OpenPrintDialog() {
  ++State().dialogs;
  CPrintDlg dlg(AfxGetMainWnd());
  dlg.DoModal();
}

}  // namespace

BOOL PrintMeterValues(int type, double value, double min, double max, int ac, int minMax) {
  CPrintItemData* data = AddPending(type);
  if (!data) return FALSE;
  data->SetMeterValues(value, min, max, ac, minMax, "");
  MeterPrintItem item;
  item.type = type;
  item.value = value;
  item.min = min;
  item.max = max;
  item.ac = ac;
  item.minMax = minMax;
  item.meterValues = true;
  State().items.push_back(item);
  OpenPrintDialog();
  return TRUE;
}

BOOL PrintMeterValue1(int type, double value) {
  CPrintItemData* data = AddPending(type);
  if (!data) return FALSE;
  data->SetValue1(value, "");
  MeterPrintItem item;
  item.type = type;
  item.value = value;
  State().items.push_back(item);
  OpenPrintDialog();
  return TRUE;
}

namespace meterprint {
std::vector<MeterPrintItem>& Items() { return State().items; }
void SetRefuse(bool refuse) { State().refuse = refuse; }
int DialogCount() { return State().dialogs; }
void Reset() { State() = PrintState{}; }
}  // namespace meterprint
