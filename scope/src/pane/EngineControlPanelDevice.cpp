// The control panel's library calls on the program's engine: the engine-tester probe list, the
// high-voltage channel, synchronisation, and the acquisition mode and continuous acquisition a
// recording through the recorder uses. A missing interface answers with an error code (-1).
#include <scope/pane/EngineControlPanelDevice.h>

#include <core/GlobalProps.h>
#include <core/KeloDll.h>
#include <core/MeasureEngine.h>

#include <kv310/Interfaces.h>

#include <platform/window.h>

#include <cstring>

namespace scope {

namespace {
constexpr int kNoInterface = -1;
}  // namespace

void CEngineControlPanelDevice::WaitLinkIdle() { m_Engine.WaitLinkIdle(); }

int CEngineControlPanelDevice::ReadProbeList(int channel, std::vector<ProbeEntry>& list) {
  list.clear();
  IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope();
  if (!osc) return kNoInterface;
  uint16_t count = 0;
  int rc = osc->GetProbeFactor(static_cast<uint16_t>(channel), &count);
  if (rc != 0 || count == 0) return rc;
  std::vector<ChannelProbeRecord> records(count);
  rc = osc->SetProbe(static_cast<uint16_t>(channel), records.data());
  if (rc != 0) return rc;
  for (const ChannelProbeRecord& r : records) {
    ProbeEntry e;
    e.m_nId = r.slot;
    // The name fills bytes 1..7 of the record, zero-terminated.
    char name[8] = {};
    std::memcpy(name, r.tag, sizeof(r.tag));
    std::memcpy(name + sizeof(r.tag), r.unused, sizeof(r.unused));
    e.m_strName.assign(name, strnlen(name, 7));
    e.m_nKind = r.probe.kind;
    e.m_Descriptor = r.probe;
    list.push_back(e);
  }
  return 0;
}

void CEngineControlPanelDevice::SelectProbeId(int channel, const ProbeEntry& probe) {
  if (IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope())
    osc->SetProbeFlag(static_cast<uint16_t>(channel), static_cast<uint8_t>(probe.m_nId));
  CChannelProps* props = GetGlobalProps().GetChannel(channel);
  if (!props) return;
  ApplyProbeInfo(props->m_Ranges, probe.m_Descriptor);
  CStringArrayEx errors;  // collected and dropped
  m_Engine.GetChannelRange(channel, *props, errors);
}

int CEngineControlPanelDevice::GetSelectedChannel() { return m_Engine.GetCurrentChannelMode(); }

void CEngineControlPanelDevice::SetSelectedChannel(int channel) {
  m_Engine.SetSelectedChannel(static_cast<SHORT>(channel));
}

void CEngineControlPanelDevice::Synchronise(bool toggle) {
  IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope();
  if (!osc) return;
  if (toggle) osc->ToggleOption();
  else osc->Rearm();
}

int CEngineControlPanelDevice::GetLinkState() {
  ICommunication_1* link = m_Engine.GetBinding().Communication();
  if (!link) return kNoInterface;
  // Between two requests of an acquisition the link is idle too: it is ready only once the
  // acquisition thread has ended its measurement.
  if (m_Engine.IsMeasuring()) return kv310::kLinkPending;
  return link->GetState();
}

int CEngineControlPanelDevice::GetAcquisitionMode(bool engineTester, int& mode) {
  int32_t m = 0;
  int rc = kNoInterface;
  if (engineTester) {
    if (IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope()) rc = osc->GetAcquisitionMode(&m);
  } else if (IOscilloscope_2* osc = m_Engine.GetBinding().Oscilloscope()) {
    rc = osc->GetAcquisitionMode(&m);
  }
  mode = m;
  return rc;
}

int CEngineControlPanelDevice::SetAcquisitionMode(bool engineTester, int mode) {
  if (engineTester) {
    IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope();
    return osc ? osc->SetAcquisitionMode(mode) : kNoInterface;
  }
  IOscilloscope_2* osc = m_Engine.GetBinding().Oscilloscope();
  return osc ? osc->SetAcquisitionMode(mode) : kNoInterface;
}

int CEngineControlPanelDevice::StartContinuous(bool engineTester) {
  if (engineTester) {
    IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope();
    return osc ? osc->CheckSettings() : kNoInterface;
  }
  IOscilloscope_2* osc = m_Engine.GetBinding().Oscilloscope();
  return osc ? osc->CheckSettings() : kNoInterface;
}

int CEngineControlPanelDevice::StopContinuous(bool engineTester, int& samples) {
  uint32_t count = 0;
  int rc = kNoInterface;
  if (engineTester) {
    if (IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope()) rc = osc->StopMeasurement(&count);
  } else if (IOscilloscope_2* osc = m_Engine.GetBinding().Oscilloscope()) {
    rc = osc->StopMeasurement(&count);
  }
  samples = static_cast<int>(count);
  return rc;
}

int CEngineControlPanelDevice::GetProbeOption(int channel, int& option) {
  IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope();
  uint8_t input = 0;
  const int rc = osc ? osc->GetProbeFlag(static_cast<uint16_t>(channel), &input) : kNoInterface;
  option = input;
  return rc;
}

int CEngineControlPanelDevice::SetProbeOption(int channel, int option) {
  IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope();
  return osc ? osc->SetProbeFlag(static_cast<uint16_t>(channel), static_cast<uint8_t>(option)) : kNoInterface;
}

void CEngineControlPanelDevice::Sleep(int ms) {
  // The acquisition thread may be inside a send to this thread with its last record: served
  // meanwhile, it can hand it over and see that the scope was stopped.
  kvp::WaitForObjectsServingSends(0, nullptr, static_cast<DWORD>(ms));
}

}  // namespace scope
