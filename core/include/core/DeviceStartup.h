// The program's start-up of the measuring device, run once on the start-up worker before the main
// window exists: the settings' defaults, the device opened and its channel information read into
// the settings, the acquisition thread started, then the trigger and time-base defaults. The
// settings object (GlobalProps) only holds and derives settings; opening the device, showing the
// box of channel errors and starting the thread live here.
#pragma once

#include <core/ValueArrays.h>

#include <platform/types.h>

class CMeasureProps;
class GlobalProps;

// What the start-up needs of the acquisition engine and the measurement library.
class IDeviceStartup {
 public:
  virtual ~IDeviceStartup() = default;
  // Opens the library and the link; returns the device-present flag.
  virtual int OpenMeasuringDevice(HWND owner) = 0;
  // Acquisition mode of the active oscilloscope interface; TRUE when the library accepted it.
  virtual BOOL SetAcquisitionMode(int mode) = 0;
  // Reads rates, channels, probes and ranges into the settings; TRUE without error lines.
  virtual BOOL ReadChannelInfo(CMeasureProps& settings, CStringArrayEx& lines) = 0;
  // Returns the thread-running flag.
  virtual int StartAcquisitionThread() = 0;
};
// Registers the engine's start-up services (null: none, the start-up then fails).
void SetDeviceStartup(IDeviceStartup* startup);

// The start-up, once: a later call returns TRUE at once while the acquisition thread runs. The
// device's channel errors are shown together in one box owned by `owner`. Without a device the
// settings still get their defaults (the scope reads them either way). TRUE when the acquisition
// thread runs; the result is also kept in props.m_bInitialized.
BOOL RunDeviceStartup(GlobalProps& props, HWND owner);
