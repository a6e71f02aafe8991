#include "PaneTable.h"

#include <ui/StandInPane.h>
#include <ui/WndStartScreen.h>

#include <enginetester/Motortester.h>
#include <enginetester/SpecialTests.h>

#include <meters/WndOhmeter.h>
#include <meters/WndVoltmeter.h>

#include <core/ColorScheme.h>

namespace {

// An entry for a pane made by `make`, its window created hidden with an empty rectangle.
template <typename Pane>
PaneEntry PaneEntryOf(int tab, const char* name, UINT childId, std::function<std::unique_ptr<Pane>()> make) {
  PaneEntry entry;
  entry.tab = tab;
  entry.name = name;
  entry.childId = childId;
  entry.make = [make] { return std::unique_ptr<CWnd>(make().release()); };
  entry.create = [](CWnd& pane, const char* windowName, CWnd* parent, UINT id) {
    return static_cast<Pane&>(pane).Create(windowName, WS_CHILD | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), parent, id);
  };
  return entry;
}

std::unique_ptr<CWndVoltmeter> MeterPane(int role) {
  auto pane = std::make_unique<CWndVoltmeter>();
  pane->m_nMode = role;
  return pane;
}

}  // namespace

PaneTable MakePaneTable() {
  PaneTable table;
  table.push_back(StandInEntry(0, "Oscilloscope", 1000));
  table.push_back(PaneEntryOf<CWndVoltmeter>(1, "Voltmeter", 1010, [] { return MeterPane(CWndVoltmeter::ROLE_VOLTMETER); }));
  table.push_back(PaneEntryOf<CWndVoltmeter>(2, "Amperemeter", 1011, [] { return MeterPane(CWndVoltmeter::ROLE_AMMETER); }));
  table.push_back(PaneEntryOf<CWndOhmeter>(3, "Ohmmeter", 1012, [] { return std::make_unique<CWndOhmeter>(); }));
  PaneEntry tester = PaneEntryOf<CWndMotortester>(4, "Motortester", 1015, [] { return std::make_unique<CWndMotortester>(); });
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
  table.push_back(PaneEntryOf<CWndSpecialTests>(5, "SpecialTests", 1020, [] { return std::make_unique<CWndSpecialTests>(); }));
  table.push_back(StandInEntry(6, "RecordAnalyzer", 1021));
  table.push_back(StartScreenEntry());
  return table;
}
