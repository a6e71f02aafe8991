#include <meters/MeterPrint.h>

#include <ui/print/PrintDlg.h>
#include <ui/print/PrintQueue.h>

#include <platform/afxwin.h>

namespace {

IMeterPrintObserver* g_observer = nullptr;  // GUI thread only

// The new pending item's record, or null when the item is refused.
CPrintItemData* AddPending(const MeterPrintItem& item) {
  if (g_observer && !g_observer->OnMeterPrint(item)) return nullptr;
  int index = -1;
  return GetPrintQueue()->AddItem(item.type, &index, 0);
}

void OpenPrintDialog() {
  if (g_observer) g_observer->OnPrintDialog();
  CPrintDlg dlg(AfxGetMainWnd());
  dlg.DoModal();
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
  CPrintItemData* data = AddPending(item);
  if (!data) return FALSE;
  data->SetMeterValues(value, min, max, ac, minMax, item.comment);
  OpenPrintDialog();
  return TRUE;
}

BOOL PrintMeterValue1(int type, double value) {
  MeterPrintItem item;
  item.type = type;
  item.value = value;
  CPrintItemData* data = AddPending(item);
  if (!data) return FALSE;
  data->SetValue1(value, item.comment);
  OpenPrintDialog();
  return TRUE;
}

IMeterPrintObserver* SetMeterPrintObserver(IMeterPrintObserver* observer) {
  IMeterPrintObserver* previous = g_observer;
  g_observer = observer;
  return previous;
}
