#include "PaneTable.h"
#include "RecorderRecordTarget.h"

#include <ui/WndHelp.h>
#include <ui/WndInfo.h>
#include <ui/WndSysTab.h>
#include <ui/dialogs/SpecialFileDialog.h>
#include <ui/WndStartScreen.h>

#include <scope/pane/ProgramControlPanel.h>
#include <scope/pane/WndOscPane.h>

#include <enginetester/Motortester.h>
#include <enginetester/SpecialTests.h>

#include <meters/RecordFile.h>
#include <meters/WndOhmeter.h>
#include <meters/WndVoltmeter.h>
#include <meters/analyzer/WndRecordAnalyzer.h>

#include <core/MeasureEngine.h>
#include <core/MotortesterData.h>

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

// The record files' path question, answered by the program's file dialog over the main window.
bool AskRecordPath(const RecordPathRequest& request, CString& path) {
  CSpecialFileDialog dialog(request.save ? FALSE : TRUE, request.defaultExtension, request.defaultName, request.flags,
                            request.filter, AfxGetMainWnd());
  if (dialog.DoModal() != IDOK) return false;
  path = dialog.GetPathName();
  return true;
}

// The scope on tab 0; the application's activation reaches its control panel's hot keys.
PaneEntry ScopeEntry() {
  PaneEntry entry =
      PaneEntryOf<scope::CWndOscPane>(0, "Oscilloscope", 1000, [] {
        // The scope records into the recorder's list; the binding outlives every pane.
        static CRecorderRecordTarget records;
        auto pane = std::make_unique<scope::CWndOscPane>(scope::MakeProgramControlPanel(GetMeasureEngine(), records));
        pane->SetMeasurementIdSink([](int id) { GetMotortesterDevice()->SetHelpMode(id); });
        return pane;
      });
  entry.hotKeys = [](CWnd& pane, BOOL active) {
    scope::IScopeControlPanel& panel = static_cast<scope::CWndOscPane&>(pane).ControlPanel();
    if (active) {
      panel.RegisterHotKeys();
    } else {
      panel.UnregisterHotKeys();
    }
  };
  return entry;
}

}  // namespace

PaneTable MakePaneTable() {
  PaneTable table;
  table.push_back(ScopeEntry());
  table.push_back(PaneEntryOf<CWndVoltmeter>(1, "Voltmeter", 1010, [] { return MeterPane(CWndVoltmeter::ROLE_VOLTMETER); }));
  table.push_back(PaneEntryOf<CWndVoltmeter>(2, "Amperemeter", 1011, [] { return MeterPane(CWndVoltmeter::ROLE_AMMETER); }));
  table.push_back(PaneEntryOf<CWndOhmeter>(3, "Ohmmeter", 1012, [] { return std::make_unique<CWndOhmeter>(); }));
  PaneEntry tester = PaneEntryOf<CWndMotortester>(4, "Motortester", 1015, [] { return std::make_unique<CWndMotortester>(); });
  tester.engineTester = true;
  table.push_back(std::move(tester));
  table.push_back(InfoEntry());
  table.push_back(SysTabEntry());
  table.push_back(HelpEntry());
  table.push_back(PaneEntryOf<CWndSpecialTests>(5, "SpecialTests", 1020, [] { return std::make_unique<CWndSpecialTests>(); }));
  table.push_back(PaneEntryOf<CWndRecordAnalyzer>(6, "RecordAnalyzer", 1021, [] {
    SetRecordPathAsker(AskRecordPath);
    return std::make_unique<CWndRecordAnalyzer>();
  }));
  table.push_back(StartScreenEntry());
  return table;
}
