#include "PaneTable.h"

#include <ui/StandInPane.h>
#include <ui/WndStartScreen.h>

#include <core/ColorScheme.h>

PaneTable MakePaneTable() {
  PaneTable table;
  table.push_back(StandInEntry(0, "Oscilloscope", 1000));
  table.push_back(StandInEntry(1, "Voltmeter", 1010));
  table.push_back(StandInEntry(2, "Amperemeter", 1011));
  table.push_back(StandInEntry(3, "Ohmmeter", 1012));
  PaneEntry tester = StandInEntry(4, "Motortester", 1015);
  tester.engineTester = true;
  table.push_back(std::move(tester));
  table.push_back(StandInEntry(8, "Info", 1014));
  PaneEntry sysTab = StandInEntry(9, "SysTab", 1017);
  auto create = sysTab.create;
  sysTab.create = [create](CWnd& pane, const char* name, CWnd* parent, UINT id) {
    static_cast<CXPWndBaseColor&>(pane).SetColor(GetSchemeColor(6));
    return create(pane, name, parent, id);
  };
  table.push_back(std::move(sysTab));
  table.push_back(StandInEntry(7, "Help", 1019));
  table.push_back(StandInEntry(5, "SpecialTests", 1020));
  table.push_back(StandInEntry(6, "RecordAnalyzer", 1021));
  table.push_back(StartScreenEntry());
  return table;
}
