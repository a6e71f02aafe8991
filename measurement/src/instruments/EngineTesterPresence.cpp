#include "EngineTesterPresence.h"

#include "../Library.h"
#include "../ProbeTable.h"
#include "ImplementationMotortester_6.h"

namespace kv310 {

bool EngineTesterFound(int channelAProbeCode) {
  ProbeDescriptor probe;
  LookupProbeDescriptor(&probe, channelAProbeCode);
  ImplementationMotortester_6* tester = EngineTester();
  if (probe.probeClass == kEngineTesterClass) {
    if (tester) {
      tester->SetFirmwareChecked(true);
      tester->SetEngineTesterReady(true);
    }
    SetBoardMode(0);
    return true;
  }
  if (tester) tester->ClearEngineTesterFlags();
  return false;
}

}  // namespace kv310
