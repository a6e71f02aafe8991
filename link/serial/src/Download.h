// The firmware decision of the serial start: whether the board is loaded, into flash or RAM, and
// how the load is checked. The steps are supplied by the loader (and by tests).
#pragma once

#include <cstdint>

namespace kvlink::serial {

class DownloadSteps {
 public:
  virtual ~DownloadSteps() = default;
  // kVersionNoAnswer / Same / FileNewer / BoardNewer.
  virtual int Compare() = 0;
  // Asks the board for its information record only (a start that leaves the firmware alone
  // without comparing still has the record to show).
  virtual void ReadInfo() = 0;
  virtual bool LoadFlash() = 0;
  virtual bool LoadRam() = 0;
  virtual void Wait(uint32_t ms) = 0;
};

struct DownloadInputs {
  bool reload = false;      // "ReloadFirmware"
  uint32_t useFlash = 0;    // "UseFlash"
  uint16_t manualMode = 0;  // SetManualFlashMode: 1 never load, 2 always load
  uint32_t reloadWait = 300;
};

// True when the board runs the firmware of the file (or is left alone by the settings).
bool Download(const DownloadInputs& in, DownloadSteps& steps);

}  // namespace kvlink::serial
