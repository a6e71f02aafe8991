#include <scope/ApplySnapshot.h>

#include <scope/ScopeState.h>
#include <scope/SnapshotCapture.h>

#include <core/GlobalProps.h>
#include <core/Measure.h>
#include <core/MeasureEngine.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>
#include <core/Notify.h>
#include <core/OscScale.h>
#include <core/ResourceHolder.h>

#include <algorithm>
#include <cmath>

namespace scope {

namespace {

constexpr notify::Sender kSender = notify::kFromSnapshot;
constexpr double kMaxTriggerPosition = 90.0;

bool IsEngineTesterScreenType(int t) { return measure::IsEngineTesterScreen(measure::MeasureType{t}); }

// Sections and buttons by measure type.
void ShowSectionsFor(int t, ISnapshotControls& controls, const ISnapshotDevice& device) {
  const bool synchro = device.GetCoilType() == 1;
  switch (t) {
    case 3:
    case 6:
      controls.ShowEngineTesterSections(0);
      controls.EnableAutoset(false);
      controls.EnableZoom(true);
      controls.ShowSynchro(false);
      break;
    case 7:
      controls.ShowEngineTesterSections(0);
      controls.EnableAutoset(false);
      controls.EnableZoom(true);
      controls.ShowSynchro(synchro);
      break;
    case 8:
    case 10:
      controls.ShowEngineTesterSections(0);
      controls.EnableAutoset(false);
      controls.EnableZoom(false);
      controls.ShowSynchro(synchro);
      break;
    case 9:
      controls.ShowEngineTesterSections(1);
      controls.EnableAutoset(false);
      controls.EnableZoom(true);
      controls.ShowSynchro(synchro);
      break;
    default:
      controls.ShowEngineTesterSections(0);
      controls.EnableAutoset(true);
      controls.EnableZoom(true);
      controls.ShowSynchro(false);
      break;
  }
}

CMeasure* DisplayTrace(int channel) {
  CMeasureList& traces = GetTraceList();
  return channel < traces.GetSize() ? traces[channel] : nullptr;
}

bool WantsAnyProbe(int probeWanted) { return probeWanted == kAnyClamp50A || probeWanted == kAnyClamp500A; }

void RefreshShownChannels(GlobalProps& props) {
  int shown = 0;
  for (int ch = 0; ch < 2; ++ch)
    if (props.m_Channels[ch].m_nModeEnable && props.m_Channels[ch].m_bEnabled) shown |= 1 << ch;
  props.m_nShownChannels = shown;
}

void ApplyProbesAndChannels(const SettingsSnapshot& s, int t, bool engineTester, GlobalProps& props,
                            ISnapshotControls& controls, ISnapshotDevice& device) {
  if (engineTester) {
    CTraceStyle& levelMark = props.m_Styles[GlobalProps::STYLE_TRIGGER_LEVEL];
    const measure::MeasureType type{t};
    if (type == measure::MeasureType::kPrimaryVoltage || type == measure::MeasureType::kPressureSensor) {
      controls.ShowChannelBOnOff(true, false);
    } else if (IsEngineTesterScreenType(t)) {
      controls.ShowChannelBOnOff(false, false);
      SetFlagBits(levelMark.m_nFlags, 1, FALSE);
    } else {
      controls.ShowChannelBOnOff(true, true);
      SetFlagBits(levelMark.m_nFlags, 1, TRUE);
    }
    controls.SelectProbe(0, s.m_nProbeWanted[0]);
    controls.SelectProbe(1, s.m_nProbeWanted[1]);
    controls.RefreshProbeControls(0);
    controls.RefreshProbeControls(1);
    device.Notify(kSender, notify::kChannelOnOffA);
    device.Notify(kSender, notify::kChannelOnOffB);
    return;
  }
  for (int ch = 0; ch < 2; ++ch) device.ReadProbe(ch, props.m_Channels[ch]);
  device.Notify(kSender, notify::kChannelRangeA);
  device.Notify(kSender, notify::kChannelRangeB);
  const bool componentTest = measure::IsComponentTest(measure::MeasureType{t});
  for (int ch = 0; ch < 2; ++ch) {
    CChannelProps& c = props.m_Channels[ch];
    int on = s.m_nOn[ch] != 0 ? 1 : 0;
    if (componentTest && !ProbeMatches(s.m_nProbeWanted[ch], c.m_Ranges.m_nKind)) on = 0;
    c.SetChannelOption(on);
  }
  RefreshShownChannels(props);
  if (!IsEngineTesterScreenType(t)) controls.RefreshChannelControls();
  device.Notify(kSender, notify::kChannelOnOffA);
  device.Notify(kSender, notify::kChannelOnOffB);
}

}  // namespace

int ApplySnapshot(SettingsSnapshot s, ISnapshotControls& controls, ISnapshotDevice& device,
                  const ApplyOptions& options) {
  GlobalProps& props = GetGlobalProps();
  const int t = GetMeasureType().m_nMeasureType.load();

  // 1. Nothing on screen belongs to the new settings.
  for (int ch = 0; ch < 2; ++ch)
    if (CMeasure* trace = DisplayTrace(ch)) trace->Reset();

  // 2. Sections by measure type; without a device that is all.
  ShowSectionsFor(t, controls, device);
  if (!device.HasOpenDevice()) return 0;
  const bool engineTester = device.IsEngineTesterPath();

  // 3. Trigger mode.
  props.SetTriggerMode(s.m_nTriggerMode);
  controls.ShowTriggerMode();

  // 4. Time base: an index outside the table keeps the current one.
  int timeBase = s.m_nTimeBaseIndex;
  if (timeBase < 0 || timeBase >= props.m_TimeBase.m_Rates.GetSize()) timeBase = props.GetTimeBaseIndex();
  props.RequestTimeBaseIndex(timeBase);
  props.SetTimeBaseIndex(timeBase, TRUE, FALSE);
  controls.RebuildTimeScaleRange(1);

  // 5. Roll mode, then the slow-rate rule of the new time base.
  props.SetSlowRateModifier(s.m_nRollMode);
  props.UpdateSlowRateTriggerMode();
  device.Notify(kSender, notify::kRollModeChanged);
  device.Notify(kSender, notify::kTimeBaseChanged);

  // 6. Inversion: the state and the signs of the two display traces.
  const int inversion = NormalizeInversion(s.m_nInversion);
  GetScopeState().InvertState = inversion;
  if (CMeasure* a = DisplayTrace(0)) a->m_nMultiplier = (inversion & 1) ? -1 : 1;
  if (CMeasure* b = DisplayTrace(1)) b->m_nMultiplier = (inversion & 2) ? -1 : 1;
  controls.RepaintInvertButton();

  // 7. The traces' time maps: 1000 points over 0..1000/r.
  const double rate = props.m_TimeBase.GetValueOrZero();
  for (int ch = 0; ch < 2; ++ch) {
    CMeasure* trace = DisplayTrace(ch);
    if (!trace || !(rate > 0.0)) continue;
    trace->SetTimeBase(rate);
  }

  // 8. The pane's copy of the settings.
  controls.RefreshPaneSettings();

  // 9. Cursors.
  props.SetCursorsOn(s.m_nCursorsOn);
  controls.ShowMeasuresOrCursors();
  if (props.m_Styles[GlobalProps::STYLE_CURSOR_LEFT].m_dValue == 0.0 &&
      props.m_Styles[GlobalProps::STYLE_CURSOR_RIGHT].m_dValue == 0.0)
    device.Notify(kSender, notify::kCursorsPlaced);
  controls.SetCursorButton(s.m_nCursorsOn);

  // 10. Probes and channels.
  ApplyProbesAndChannels(s, t, engineTester, props, controls, device);

  // 11. Ranges: range codes decoded by the actual probe, indices kept inside what the probe
  // accepts (a snapshot taken with another probe may hold a range this one refuses).
  for (int ch = 0; ch < 2; ++ch) {
    CChannelProps& c = props.m_Channels[ch];
    if (WantsAnyProbe(s.m_nProbeWanted[ch]))
      s.m_nRange[ch] = DecodeRangeField(s.m_nRange[ch], s.m_nProbeWanted[ch], c.m_Ranges.m_nKind);
    const int index = c.AllowedRangeIndex(s.m_nRange[ch]);
    props.SetChannelRangeIndex(ch, index, FALSE, FALSE);
    props.UpdateChannelVoltScale(ch, TRUE, -1);
  }
  device.Notify(kSender, notify::kChannelRangeA);
  device.Notify(kSender, notify::kChannelRangeB);

  // 12. Vertical positions.
  for (int ch = 0; ch < 2; ++ch)
    if (props.SetChannelPosition(ch, s.m_nPosition[ch])) device.Notify(kSender, notify::Nth(notify::kChannelPositionA, ch));

  // 13. Zoom and the window offset (a floating panel shows twice the divisions). The offset stays
  // inside the record at the zoom just applied: its divisions less the shown ones.
  controls.ShowZoom(s.m_nZoom);
  GetResourceHolder().SetZoomFactor(s.m_nZoom);
  const CStepScale& grid = GetTimeStepScale();
  const int lastOffset = std::max(0, grid.m_nSteps - grid.m_nCurrentStep);
  const int offset = std::clamp(controls.IsDocked() ? s.m_nWindowOffset : 2 * s.m_nWindowOffset, 0, lastOffset);
  GetOscScale().SetTimeOffset(offset);
  device.Notify(kSender, notify::kTimePositionChanged);
  props.RecomputeTimeBase(TRUE, FALSE);
  device.Notify(kSender, notify::kZoomChanged);

  // 14. Couplings.
  props.m_Channels[0].SetChannelMode(s.m_nCoupling[0]);
  device.Notify(kSender, notify::kChannelModeA);
  controls.ShowChannelMode(0);
  props.m_Channels[1].SetChannelMode(s.m_nCoupling[1]);
  device.Notify(kSender, notify::kChannelModeB);
  controls.ShowChannelMode(1);

  // 15. Trigger source; the level map follows the trigger channel.
  props.SetTriggerSource(s.m_nSource);
  props.SetTriggerChannel((s.m_nSource == 1 || s.m_nSource == 3) ? 1 : 0);
  controls.ShowTriggerSource();
  device.Notify(kSender, notify::kTriggerChannelChanged);
  props.UpdateTriggerScale();

  // 16. Trigger position (the notification carries the position in whole per cent).
  const double position = std::min(s.m_dTriggerPosition, kMaxTriggerPosition);
  props.SetTriggerPosition(position);
  device.Notify(kSender, notify::kTriggerPositionChanged, static_cast<int>(position));

  // 17. Edge and sensitivity ("Full" / "Noise"). The edge is stored before its face is shown,
  // so the face shows the snapshot's edge.
  props.SetTriggerEdge(s.m_nEdge);
  controls.ShowTriggerEdge();
  device.Notify(kSender, notify::kTriggerEdgeChanged);
  props.SetTriggerFilter(s.m_nSensitivity, Send::Always);
  controls.ShowSensitivity();
  device.Notify(kSender, notify::kTriggerFilterChanged);

  // 18. Level (the setter keeps it to its 256 steps).
  props.SetTriggerLevelIndex(s.m_nLevel);
  device.Notify(kSender, notify::kTriggerLevelChanged);
  // The pane's copy once more, now that every setting is in: a scope standing still gets no
  // record to bring the couplings, ranges and trigger to its strips and probe check.
  controls.RefreshPaneSettings();

  // 19. The device gets the snapshot's own block instead of the single changes; without a
  // block for this path the next run sends the settings.
  const bool blockGiven = engineTester ? options.m_bEngineTesterBlockGiven : options.m_bBoardBlockGiven;
  const bool engineTesterScreen = engineTester && IsEngineTesterScreenType(t);
  if (blockGiven)
    props.ClearChanges();
  else
    props.MarkAllChanged(engineTesterScreen);

  // 20. Trigger controls: the engine-tester screens trigger by themselves.
  controls.EnableTriggerControls(!IsEngineTesterScreenType(t));

  // 21. A decoded range code goes into the range words of both channel blocks; so does the
  // applied range where the block to be sent holds one the channel's probe refuses (the board
  // would refuse the whole block).
  DeviceBlock& sent = engineTester ? s.m_EngineTester : s.m_Board;
  for (int ch = 0; ch < 2; ++ch) {
    const CChannelProps& c = props.m_Channels[ch];
    const int32_t index = c.m_nRangeIndex & 0xFFFF;
    const size_t word = static_cast<size_t>(2 * ch + 1);
    if (WantsAnyProbe(s.m_nProbeWanted[ch])) {
      s.m_Board.m_Channels[word] = index;
      s.m_EngineTester.m_Channels[word] = index;
    } else if (c.AllowedRangeIndex(sent.m_Channels[word]) != sent.m_Channels[word]) {
      sent.m_Channels[word] = index;
    }
  }

  // 22. The device block; after a refused block the next run sends the settings.
  if (blockGiven && !device.SetAll(engineTester, sent)) props.MarkAllChanged(engineTesterScreen);

  // 23. Run.
  if (s.m_nRunning == 1) {
    if (options.m_bFromStorage) GetMeasureType().m_bStartRetry = 1;
    device.StartMeasurement();
    props.m_bRunning = 1;
  }
  return 1;
}

int ApplyMeasureTypePreset(const CMeasureTypeStore& store, ISnapshotControls& controls, ISnapshotDevice& device) {
  const int t = GetMeasureType().m_nMeasureType.load();
  ApplyOptions options;
  options.m_bBoardBlockGiven = store.BoardBlockGiven(t);
  options.m_bEngineTesterBlockGiven = store.EngineTesterBlockGiven(t);
  return ApplySnapshot(store.SnapshotFor(t), controls, device, options);
}

SettingsSnapshot CaptureCurrentSnapshot(const ISnapshotControls& controls, ISnapshotDevice& device) {
  const GlobalProps& props = GetGlobalProps();
  CapturePanelState panel;
  panel.m_bBoardPath = !device.IsEngineTesterPath();
  for (int ch = 0; ch < 2; ++ch) {
    const CChannelProps& c = props.m_Channels[ch];
    panel.m_nOn[static_cast<size_t>(ch)] = c.m_nModeEnable;
    panel.m_nProbeKind[static_cast<size_t>(ch)] = c.m_Ranges.m_nKind;
    panel.m_bProbeOff[static_cast<size_t>(ch)] = controls.GetProbeName(ch) == "OFF";
  }
  panel.m_nTimeAxisOffset = GetOscScale().m_nHorizontalOffset;
  panel.m_bDocked = controls.IsDocked();
  panel.m_nZoom = controls.GetZoom();
  panel.m_nInversion = GetScopeState().InvertState;
  panel.m_nRunning = props.m_bRunning;
  panel.m_nCursorsOn = props.m_bCursorsOn;
  DeviceBlock block;
  const bool read = device.GetAll(!panel.m_bBoardPath, block);
  const int recordingMode = controls.GetRecordingAcquisitionMode();
  const bool recording = GetScopeState().RecordingThroughRecorder.load() != 0;
  return CaptureSettingsSnapshot(props, panel, read ? &block : nullptr, recording ? &recordingMode : nullptr);
}

void CaptureMeasureTypeSnapshot(CMeasureTypeStore& store, const ISnapshotControls& controls,
                                ISnapshotDevice& device) {
  store.Store(GetMeasureType().m_nMeasureType.load(), CaptureCurrentSnapshot(controls, device));
}

// ---- files and slots ---------------------------------------------------------------------------

namespace {

FileOutcome ApplyLoaded(const SettingsSnapshot& s, ISnapshotControls& controls, ISnapshotDevice& device) {
  device.StopMeasurement();
  ApplyOptions options;
  options.m_bFromStorage = true;
  ApplySnapshot(s, controls, device, options);
  return FileOutcome::Ok();
}

FileOutcome SlotRefusal() { return FileOutcome::Fail(kMsgSlotRefused, MB_ICONINFORMATION | MB_TOPMOST); }

}  // namespace

FileOutcome SaveSettingsFile(const char* path, const ISnapshotControls& controls, ISnapshotDevice& device) {
  return WriteSettingsFile(path, CaptureCurrentSnapshot(controls, device));
}

FileOutcome LoadSettingsFile(const char* path, ISnapshotControls& controls, ISnapshotDevice& device) {
  SettingsSnapshot s;
  FileOutcome read = ReadSettingsFile(path, s);
  if (!read.m_bOk) return read;
  return ApplyLoaded(s, controls, device);
}

FileOutcome SaveCustomSet(const char* file, int slot, const ISnapshotControls& controls, ISnapshotDevice& device) {
  if (IsCustomSetRefused(GetMeasureType().m_nMeasureType.load())) return SlotRefusal();
  return SaveCustomSlot(file, slot, CaptureCurrentSnapshot(controls, device));
}

FileOutcome LoadCustomSet(const char* file, int slot, ISnapshotControls& controls, ISnapshotDevice& device) {
  if (IsCustomSetRefused(GetMeasureType().m_nMeasureType.load())) return SlotRefusal();
  SettingsSnapshot s;
  FileOutcome read = LoadCustomSlot(file, slot, s);
  if (!read.m_bOk) return read;
  return ApplyLoaded(s, controls, device);
}

// ---- device blocks ----------------------------------------------------------------------------

namespace {

uint16_t Low16(int32_t word) { return static_cast<uint16_t>(static_cast<uint32_t>(word) & 0xFFFF); }
uint16_t High16(int32_t word) { return static_cast<uint16_t>(static_cast<uint32_t>(word) >> 16); }
int32_t Join16(uint16_t low, uint16_t high) {
  return static_cast<int32_t>(static_cast<uint32_t>(low) | (static_cast<uint32_t>(high) << 16));
}

// A scaled value's second word: the exponent byte and the three unused bytes above it.
ScaledValue ToScaled(int32_t mantissa, int32_t word) {
  ScaledValue v{};
  v.mantissa = mantissa;
  const uint32_t bits = static_cast<uint32_t>(word);
  v.exponent = static_cast<int8_t>(bits & 0xFF);
  for (int i = 0; i < 3; ++i) v.unused[i] = static_cast<uint8_t>(bits >> (8 * (i + 1)));
  return v;
}
int32_t ScaledWord(const ScaledValue& v) {
  uint32_t bits = static_cast<uint8_t>(v.exponent);
  for (int i = 0; i < 3; ++i) bits |= static_cast<uint32_t>(v.unused[i]) << (8 * (i + 1));
  return static_cast<int32_t>(bits);
}

template <class Settings>
void FillSettings(Settings& s, const DeviceBlock& block, OscChannelSetting (&channels)[2]) {
  const auto& w = block.m_Words;
  s.acquisitionMode = w[0];
  s.sampleRateIndex = Low16(w[1]);
  s.triggerPosition = static_cast<uint32_t>(w[2]);
  s.triggerMode = w[3];
  s.triggerLevel = ToScaled(w[4], w[5]);
  s.triggerEdge = w[6];
  s.triggerSource = w[7];
  s.triggerSourceChannel = Low16(w[8]);
  s.unused2 = High16(w[8]);
  s.triggerFilter = w[9];
  s.triggerSensitivity = ToScaled(w[10], w[11]);
  for (size_t ch = 0; ch < 2; ++ch) {
    channels[ch].mode = block.m_Channels[2 * ch];
    channels[ch].rangeIndex = Low16(block.m_Channels[2 * ch + 1]);
  }
  s.channelCount = 2;
  s.channels = channels;
}

template <class Settings>
DeviceBlock ReadSettings(const Settings& s, uint16_t rateHigh, const OscChannelSetting (&channels)[2]) {
  DeviceBlock block;
  auto& w = block.m_Words;
  w[0] = s.acquisitionMode;
  w[1] = Join16(s.sampleRateIndex, rateHigh);
  w[2] = static_cast<int32_t>(s.triggerPosition);
  w[3] = s.triggerMode;
  w[4] = s.triggerLevel.mantissa;
  w[5] = ScaledWord(s.triggerLevel);
  w[6] = s.triggerEdge;
  w[7] = s.triggerSource;
  w[8] = Join16(s.triggerSourceChannel, s.unused2);
  w[9] = s.triggerFilter;
  w[10] = s.triggerSensitivity.mantissa;
  w[11] = ScaledWord(s.triggerSensitivity);
  for (size_t ch = 0; ch < 2; ++ch) {
    block.m_Channels[2 * ch] = channels[ch].mode;
    block.m_Channels[2 * ch + 1] = channels[ch].rangeIndex;
  }
  return block;
}

}  // namespace

OscSettings ToOscSettings(const DeviceBlock& block, OscChannelSetting (&channels)[2]) {
  OscSettings s{};
  FillSettings(s, block, channels);
  s.unused1 = High16(block.m_Words[1]);
  return s;
}

MTOscSettings ToMTOscSettings(const DeviceBlock& block, OscChannelSetting (&channels)[2]) {
  MTOscSettings s{};
  FillSettings(s, block, channels);
  s.angleRateIndex = High16(block.m_Words[1]);
  return s;
}

DeviceBlock FromOscSettings(const OscSettings& s, const OscChannelSetting (&channels)[2]) {
  return ReadSettings(s, s.unused1, channels);
}

DeviceBlock FromMTOscSettings(const MTOscSettings& s, const OscChannelSetting (&channels)[2]) {
  return ReadSettings(s, s.angleRateIndex, channels);
}

// ---- the real device ----------------------------------------------------------------------------

CEngineSnapshotDevice::CEngineSnapshotDevice(CMeasureEngine& engine) : m_Engine(engine) {}

bool CEngineSnapshotDevice::HasOpenDevice() const { return m_Engine.IsDevicePresent() != FALSE; }

bool CEngineSnapshotDevice::IsEngineTesterPath() const {
  const CMotortesterData* data = GetMotortesterDevice();
  return data && data->IsReady();
}

int CEngineSnapshotDevice::GetCoilType() const {
  const CMotortesterData* data = GetMotortesterDevice();
  return data ? data->GetCoilType() : -1;
}

void CEngineSnapshotDevice::ReadProbe(int channel, CChannelProps& props) {
  IOscilloscope_2* osc = m_Engine.GetBinding().Oscilloscope();
  if (!osc) return;
  ProbeDescriptor probe{};
  if (osc->GetProbeInfo(static_cast<uint16_t>(channel), &probe) != 0) return;
  ApplyProbeInfo(props.m_Ranges, probe);
  CStringArrayEx lines;
  m_Engine.GetChannelRange(channel, props, lines);
}

bool CEngineSnapshotDevice::SetAll(bool engineTester, const DeviceBlock& block) {
  OscChannelSetting channels[2]{};
  if (engineTester) {
    IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope();
    return osc && osc->SetAll(ToMTOscSettings(block, channels)) == 0;
  }
  IOscilloscope_2* osc = m_Engine.GetBinding().Oscilloscope();
  return osc && osc->SetAll(ToOscSettings(block, channels)) == 0;
}

bool CEngineSnapshotDevice::GetAll(bool engineTester, DeviceBlock& block) {
  OscChannelSetting channels[2]{};
  if (engineTester) {
    IMTOscilloscope_7* osc = m_Engine.GetBinding().MTOscilloscope();
    MTOscSettings s{};
    if (!osc || osc->GetAll(&s, 2, channels) != 0) return false;
    block = FromMTOscSettings(s, channels);
    return true;
  }
  IOscilloscope_2* osc = m_Engine.GetBinding().Oscilloscope();
  OscSettings s{};
  if (!osc || osc->GetAll(&s, 2, channels) != 0) return false;
  block = FromOscSettings(s, channels);
  return true;
}

void CEngineSnapshotDevice::StartMeasurement() { ::StartMeasurement(m_Engine); }

void CEngineSnapshotDevice::StopMeasurement() { ::StopMeasurement(m_Engine); }

void CEngineSnapshotDevice::Notify(notify::Sender sender, notify::Code code, int value) {
  NotifySystem(sender, code, value);
}

}  // namespace scope
