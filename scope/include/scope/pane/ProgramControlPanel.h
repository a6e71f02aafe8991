// The program's control panel behind the pane's seam: the real CWndOsc_ControlPanel on the
// acquisition engine, with the pane as what the panel asks of it.
#pragma once

#include <scope/pane/ControlPanelSeam.h>

#include <memory>

class CMeasureEngine;

namespace scope {

// A control panel on the engine (the program's engine by default).
std::unique_ptr<IScopeControlPanel> MakeProgramControlPanel(CMeasureEngine* engine = nullptr);

}  // namespace scope
