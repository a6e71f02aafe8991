// The program's control panel behind the pane's seam: the real CWndOsc_ControlPanel on the
// acquisition engine, with the pane as what the panel asks of it.
#pragma once

#include <scope/pane/ControlPanelSeam.h>

#include <memory>

class CMeasureEngine;

namespace scope {

class IScopeRecordTarget;

// A control panel on the engine that records into `records` (the program binds the recorder's
// record list). The engine and the target outlive the panel.
std::unique_ptr<IScopeControlPanel> MakeProgramControlPanel(CMeasureEngine& engine, IScopeRecordTarget& records);

}  // namespace scope
