#include "Download.h"

#include <link/FirmwareVersion.h>

namespace kvlink::serial {

bool Download(const DownloadInputs& in, DownloadSteps& steps) {
  const bool reload = in.manualMode != 0 ? false : in.reload;
  bool loaded = false;
  if (!reload) {
    const bool forced = in.useFlash == 2 || in.useFlash == 3 || in.manualMode == 2;
    const int result = forced ? kVersionFileNewer : steps.Compare();
    if (result == kVersionSame || in.manualMode == 1) {
      if (forced) steps.ReadInfo();  // no comparison asked the board
      return true;
    }
    const bool flashAllowed = in.useFlash != 0 && (result == kVersionNoAnswer || result == kVersionFileNewer);
    if (flashAllowed || in.manualMode == 2) {
      if (steps.LoadFlash()) {
        steps.Wait(700);
        loaded = true;
      }
    }
  }
  // Reload asked for, flash not tried, or the flash load failed: into RAM.
  if (!loaded && !steps.LoadRam()) return false;
  steps.Wait(in.reloadWait);
  for (int i = 0; i < 6; ++i) {
    steps.Wait(100);
    if (steps.Compare() == kVersionSame) return true;
  }
  return false;
}

}  // namespace kvlink::serial
