#include "EngineTesterPresence.h"

#include "../Library.h"
#include "../ProbeTable.h"
#include "../EngineTesterState.h"

namespace kv310 {

bool EngineTesterFound(int channelAProbeCode) {
  ProbeDescriptor probe;
  LookupProbeDescriptor(&probe, channelAProbeCode);
  if (probe.probeClass == kEngineTesterClass) {
    EngineState().SetFirmwareChecked(true);
    EngineState().SetEngineTesterReady(true);
    SetBoardMode(0);
    return true;
  }
  EngineState().ClearEngineTesterFlags();
  return false;
}

}  // namespace kv310
