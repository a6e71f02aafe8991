// The window ids of the scope control panel's controls, for the panel and for its parts (the
// recording, the file commands, the faces) that name a control without the panel's class. The
// panel inherits them, so CWndOsc_ControlPanel::kBtnRun names the same id.
#pragma once

namespace scope {

struct PanelControlIds {
  enum : int {
    kTriggerPos = 1000, kTriggerLevel, kTriggerUpDown, kTriggerMode, kTriggerSource, kTriggerSensitiv, kRollMode,
    kChAScale, kChAPos, kChAMode, kChAOnOff, kChBScale, kChBPos, kChBMode, kChBOnOff, kTimeScale, kTimePos,
    kBtnRun, kBtnZoom, kBtnCursor, kBtnAutoSet, kBtnOpen, kBtnSave, kBtnDelete, kBtnPrint, kTitle, kDialogs,
    kBtnCylFirst, kBtnCylSecond, kBtnCylThird, kBtnCylFourth, kBtnSynchro, kBtnCSave, kBtnCLoad, kBtnRecord,
    kBtnInvert, kBtnDock,
  };
};

}  // namespace scope
