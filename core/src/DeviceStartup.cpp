#include <core/DeviceStartup.h>

#include <core/GlobalProps.h>

#include <platform/window.h>

namespace {

IDeviceStartup* g_deviceStartup = nullptr;

constexpr const char kCaption[] = "Dravix Scope";

}  // namespace

void SetDeviceStartup(IDeviceStartup* startup) { g_deviceStartup = startup; }

BOOL RunDeviceStartup(GlobalProps& props, HWND owner) {
  if (props.m_bInitialized) return TRUE;
  props.PrepareStartupDefaults();

  IDeviceStartup* device = g_deviceStartup;
  props.m_bInitialized = device ? device->OpenMeasuringDevice(owner) : 0;
  const bool opened = props.m_bInitialized != 0;
  if (opened) {
    device->SetAcquisitionMode(1);
    CStringArrayEx lines;
    const BOOL read = device->ReadChannelInfo(props, lines);
    if (!read) MessageBox(owner, JoinStrings(lines, "\n"), kCaption, MB_OK | MB_ICONEXCLAMATION);
    props.AdoptDeviceChannels(read);
  }
  props.m_bInitialized = opened ? device->StartAcquisitionThread() : 0;

  props.ApplyStartupDefaults(opened ? TRUE : FALSE);
  return props.m_bInitialized;
}
