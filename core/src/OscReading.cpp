// The engine's requests for the oscilloscope: sending the changed settings, starting a
// measurement, reading the channel information and reading a finished record. Each request goes
// to the engine-tester oscilloscope when its board is ready, else to the board oscilloscope; both
// take the same arguments for the same operations.
#include <core/MeasureEngine.h>
#include <core/ProbeKind.h>

#include <core/Messages.h>
#include <core/MeasureType.h>
#include <core/MotortesterData.h>
#include <core/NumberFormat.h>
#include <core/Texts.h>

#include <platform/afxwin.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>


// The same operation on the path in use (`mt`).
#define OSC(call) (mt ? m_pMTOscilloscope->call : m_pOscilloscope->call)

namespace {

constexpr int kNoEngineTester = 28;
constexpr int kFastRate = 50000;

bool IsEngineTesterType(int type) { return measure::IsEngineTesterScreen(measure::MeasureType{type}); }

const char* Letter(int channel) { return GetChannelText(channel); }

CString Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
CString Line(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return CString(buffer);
}

// Raw -32768..32767 onto -r..r.
CLinearMap RawMap(double r) {
  CLinearMap map;
  map.Set(-r, r, -32768.0, 32767.0);
  return map;
}

int16_t Clamp(int16_t sample, int16_t lower, int16_t upper) {
  return sample > upper ? upper : (sample < lower ? lower : sample);
}

// out[i] = valueOf(i) for i < n. Every sample of every record passes through these loops, so they
// run in blocks of a fixed count, which the compiler turns into vector instructions at the
// build's optimisation level (a loop whose count is known only at run time stays one sample at a
// time there). A block is made apart from `out` and then copied, so no store can change what
// valueOf reads next (valueOf takes its inputs by value, so they stay in registers from block to
// block); the samples past the last whole block go one by one.
constexpr int kBlock = 16;

template <typename T, typename F>
void FillSamples(T* out, int n, F valueOf) {
  int i = 0;
  for (; i + kBlock <= n; i += kBlock) {
    T block[kBlock];
    for (int j = 0; j < kBlock; ++j) block[j] = valueOf(i + j);
    std::memcpy(out + i, block, sizeof block);
  }
  for (; i < n; ++i) out[i] = valueOf(i);
}

// Keeps the first n samples within the board's saturation limits.
void ClampSamples(int16_t* samples, int n, int16_t lower, int16_t upper) {
  FillSamples(samples, n, [=](int i) { return Clamp(samples[i], lower, upper); });
}

// Stores n samples as SetPoint would store each after SetSize(n) (value by the map, point flag,
// saturation flag by the signal's raw limits). Every element of the four arrays is written, so
// none is zeroed first.
void StoreSamples(CSignalData& signal, const int16_t* samples, int n, const CLinearMap& map) {
  signal.Resize(n);
  if (n <= 0) return;

  FillSamples(signal.m_Values.GetData(), n, [samples, map](int i) { return map.ToValue(samples[i]); });
  std::memcpy(signal.m_Raw.GetData(), samples, static_cast<size_t>(n) * sizeof(SHORT));
  std::memset(signal.m_PointFlags.GetData(), 1, static_cast<size_t>(n));
  const SHORT upper = signal.m_nUpperRaw;
  const SHORT lower = signal.m_nLowerRaw;
  FillSamples(signal.m_SaturationFlags.GetData(), n,
              [=](int i) { return CSignalData::SaturationOf(samples[i], lower, upper); });
}

bool SameProbe(const ProbeDescriptor& a, const ProbeDescriptor& b) {
  return a.kind == b.kind && a.probeClass == b.probeClass && a.codeA == b.codeA && a.codeB == b.codeB &&
         a.scaleMantissa == b.scaleMantissa && a.scaleExponent == b.scaleExponent && a.rangeWindow == b.rangeWindow;
}

}  // namespace

bool CMeasureEngine::UseEngineTester() const {
  return m_pMTOscilloscope != nullptr && GetMotortesterDevice()->IsReady();
}

BOOL CMeasureEngine::ApplyDeviceSettings(CMeasureProps& settings, CStringArrayEx& lines) {
  lines.RemoveAll();
  if (!settings.IsChanged()) return TRUE;
  const bool mt = UseEngineTester();
  if (!m_bDevicePresent.load() || (!mt && !m_pOscilloscope)) {
    lines.Add("Oscilloscope dll Error");
    return FALSE;
  }
  CWaitCursor wait;  // over the program's windows while the settings go to the board
  const MeasureType& preset = GetMeasureType();
  const bool angle = preset.m_nAngleMode.load() != 0;
  const int measureType = preset.m_nMeasureType.load();

  const int channels = angle ? 1 : 2;
  for (int ch = 0; ch < channels; ++ch) {
    CChannelProps& c = settings.m_Channels[ch];
    if (c.m_Ranges.m_nKind == probekind::kNone) continue;
    const int flags = c.m_nChangeFlags;
    auto setRange = [&] {
      const int rc = OSC(SetRangeIndex(static_cast<uint16_t>(ch), static_cast<uint16_t>(c.m_nRangeIndex)));
      if (rc != 0)
        AddError(lines, Line("Error Channel %s - cannot set channel range:%f(%d) [err code:%d]", Letter(ch),
                             c.m_Ranges.GetValueOrZero(c.m_nRangeIndex), c.m_nRangeIndex, rc));
    };
    if (flags & CHN_RANGE) setRange();
    if (flags & (CHN_ON | CHN_COUPLING)) {
      const int mode = c.m_nModeEnable == 0 ? 0 : (c.GetCoupling() == Coupling::DC ? 2 : 1);
      const int rc = OSC(SetChannelMode(static_cast<uint16_t>(ch), mode));
      if (rc != 0) AddError(lines, Line("Error Channel %s - cannot set channel mode:%d [err code:%d]", Letter(ch), mode, rc));
    }
    if (flags & (CHN_ON | CHN_RANGE)) setRange();
  }

  if (settings.m_TimeBase.m_nFlags & TB_INDEX_CHANGED) {
    const int index = settings.m_TimeBase.m_nSelected;
    int rc;
    if (angle) {
      rc = mt ? m_pMTOscilloscope->SetAngleRateIndex(static_cast<uint16_t>(index)) : kNoEngineTester;
    } else {
      rc = OSC(SetSampleRateIndex(static_cast<uint16_t>(index)));
    }
    if (rc != 0)
      AddError(lines, Line("Error - cannot set SAMPLE RATE:%f(%d) [err code:%d]",
                           settings.m_TimeBase.m_Rates.GetValueOrZero(index), index, rc));
  }

  const int flags = settings.m_nChangeFlags;
  if (flags & (CHG_TRIGGER_CHANNEL | CHG_TRIGGER_SOURCE)) {
    const int source = settings.m_nTriggerSourceKind == 2 || settings.m_nTriggerSourceKind == 3 ? 1 : 0;
    const int rc = OSC(SetTriggerSource(source, static_cast<uint16_t>(settings.m_nTriggerChannel)));
    if (rc != 0)
      AddError(lines, Line("Error - cannot set TRIGGER SOURCE OR MODE:%d [err code:%d]", settings.m_nTriggerChannel, rc));
  }
  if (flags & CHG_TRIGGER_EDGE) {
    const int edge = settings.m_nTriggerEdge == 0 ? 1 : 0;
    const int rc = OSC(SetTriggerEdge(edge));
    if (rc != 0) AddError(lines, Line("Error - cannot set TRIGGER EDGE:%d [err code:%d]", edge, rc));
  }
  if (flags & CHG_TRIGGER_MODE) {
    int mode;
    if (settings.m_nSlowRateModifier == 1) {
      mode = 3;
    } else if (settings.m_nSlowRateModifier != 0) {
      mode = 4;
    } else {
      mode = settings.m_nTriggerMode == -1 ? 0 : (settings.m_nTriggerMode == 1 ? 2 : 1);
    }
    const int rc = OSC(SetTriggerMode(mode));
    if (rc != 0) AddError(lines, Line("Error - cannot set TRIGGER MODE:%d [err code:%d]", mode, rc));
  }
  if (flags & CHG_TRIGGER_SENSITIVITY) {
    ScaledValue sensitivity{};
    DoubleToScaledValue(settings.m_dTriggerSensitivity, sensitivity);
    OSC(SetTriggerSensitivity(sensitivity));
  }
  if (flags & CHG_TRIGGER_FILTER) {
    const int filter = settings.m_nTriggerFilter != 0 ? 1 : 0;
    const int rc = OSC(SetTriggerFilter(filter));
    if (rc != 0) AddError(lines, Line("Error - cannot set TRIGGER FILTER:%d [err code:%d]", filter, rc));
  }
  if (flags & CHG_TRIGGER_POSITION) {
    const int position = static_cast<int>(settings.m_dTriggerPosition * settings.m_nRecordLength / 100.0);
    if (!(mt && IsEngineTesterType(measureType))) {
      const int rc = OSC(SetTriggerPosition(static_cast<uint32_t>(position)));
      if (rc != 0) AddError(lines, Line("Error - cannot set TRIGGER POSITION:%d [err code:%d]", position, rc));
    }
  }
  if ((flags & CHG_TRIGGER_LEVEL) && !IsEngineTesterType(measureType)) {
    const double level = settings.m_TriggerLevelMap.ToValue(settings.m_nTriggerLevel);
    ScaledValue scaled{};
    DoubleToScaledValue(level, scaled);
    const int rc = OSC(SetTriggerLevel(scaled));
    if (rc != 0)
      AddError(lines, Line("Error - cannot set TRIGGER LEVEL:%.5f (%.5f) [%d; %d] [err code:%d]", level, level,
                           scaled.mantissa, static_cast<int>(scaled.exponent), rc));
  }
  return lines.GetSize() == 0 ? TRUE : FALSE;
}

void CMeasureEngine::RefuseHighVoltage() {
  // Once stopping, the thread shows nothing more.
  if (m_bStopping.load()) return;
  ShowBox(10097, MB_ICONEXCLAMATION);
  if (m_bStopping.load()) return;
  if (HWND tester = m_hEngineTesterWnd.load()) SendMessage(tester, WM_KVREFUSED, 0, 0);
  if (HWND main = m_hMainWnd.load()) SendMessage(main, WM_SELECTTAB, 4, 0);
}

int CMeasureEngine::StartMeasurementCmd(CMeasureProps& settings, CStringArrayEx& lines) {
  lines.RemoveAll();
  if (!m_bDevicePresent.load() || m_bMeasuring.load()) return m_bMeasuring.load();
  const bool mt = UseEngineTester();
  if (!mt && !m_pOscilloscope) return m_bMeasuring.load();
  const uint32_t count = static_cast<uint32_t>(settings.m_nRecordLength + 1);
  std::atomic<int>& retry = GetMeasureType().m_bStartRetry;
  int rc = 0;
  for (int tries = 0;;) {
    rc = OSC(StartMeasurement(count));
    if (rc == 0 || !retry.load() || ++tries >= START_TRIES) break;
  }
  retry.store(0);

  if (rc == 0) {
    m_bMeasuring.store(1);
  } else if (rc == 18) {
    if (m_bRecorderFeed.load()) return m_bMeasuring.load();
    AddError(lines, Line("Error - cannot START MEASUREMENT [err code:%d]", rc));
  } else if (rc == 34) {
    RefuseHighVoltage();
  } else {
    AddError(lines, Line("Error - cannot START MEASUREMENT [err code:%d]", rc));
  }
  return m_bMeasuring.load();
}

void CMeasureEngine::DescribeProbe(int channel, const ProbeDescriptor& probe, CNxDoubleArray& description) {
  std::lock_guard<std::mutex> lock(m_probeLookLock);
  ProbeLook& look = m_ProbeLooks[channel == 1 ? 1 : 0];
  if (!look.valid || !SameProbe(look.probe, probe)) {
    ApplyProbeInfo(look.description, probe);
    look.probe = probe;
    look.valid = true;
  }
  description.CopyFrom(look.description);
}

void CMeasureEngine::UpdateDescription(int channel, CChannelProps& props, const ProbeDescriptor& probe,
                                       CNxDoubleArray& description, CStringArrayEx& lines) {
  DescribeProbe(channel, probe, description);
  if (!description.IsSameScale(props.m_Ranges)) {
    props.m_Ranges.CopyFrom(description);
    GetChannelRange(channel, props, lines);
    props.m_Ranges.m_nChangeMark = 1;
  }
}

BOOL CMeasureEngine::ReadBoardSignals(AcquisitionRecord& record, CStringArrayEx& lines) {
  lines.RemoveAll();
  const bool mt = UseEngineTester();
  if (!m_bDevicePresent.load() || !m_bMeasuring.load() || (!mt && !m_pOscilloscope)) {
    m_bMeasuring.store(0);
    return FALSE;
  }
  CMeasureProps& settings = record.m_Settings;
  int rc = OSC(GetData());
  if (rc == 15) {
    AddError(lines, "Error - GET DATA [err code: ERR_DATASYNC]");
  } else if (rc != 0) {
    AddError(lines, Line("Error - GET DATA [err code:%d]", rc));
  }

  const int length = std::max(settings.m_nRecordLength, 0);
  std::vector<int16_t> buffer(static_cast<size_t>(length) + 1, 0);
  OscTimeInfo time{};
  rc = OSC(GetTimeInfo(&time));
  if (rc == 0) {
    const bool append = m_bAppend.load() != 0;
    if (!append) {
      record.m_bTriggered = time.triggerState == 0 ? 1 : 0;
      record.m_nTriggerIndex = time.triggerState == 0 ? time.triggerIndex : -1;
    } else if (!record.m_bTriggered && time.triggerState == 0) {
      record.m_bTriggered = 1;
      record.m_nTriggerIndex = record.m_Signal[0].GetCount() + time.triggerIndex;
    }

    const MeasureType& preset = GetMeasureType();
    const bool angle = preset.m_nAngleMode.load() != 0;
    const bool fed = m_bRecorderFeed.load() != 0;
    for (int ch = 0; ch < 2; ++ch) {
      CSignalData& signal = record.m_Signal[ch];
      CChannelProps& props = settings.m_Channels[ch];
      signal.m_bValid = 0;
      if (ch == settings.m_nTriggerChannel) {
        double value = 0.0;
        if (ReadChannelMeasurement(value)) signal.m_dMeasuredValue = value;
      }
      OscChannelInfo info{};
      rc = OSC(GetChannelInfo(static_cast<uint16_t>(ch), &info));
      CNxDoubleArray description;
      if (props.m_nModeEnable != 1) {
        signal.Reset();
        if (rc == 0) UpdateDescription(ch, props, info.probe, description, lines);
        continue;
      }
      if (rc != 0) continue;  // the samples stay, not valid
      UpdateDescription(ch, props, info.probe, description, lines);
      if (description.m_nKind == probekind::kNone || lines.GetSize() > 0 || info.sampleCount < 1) {
        signal.Reset();
        continue;
      }
      // No more than the buffer holds: the record of this settings copy may be shorter than 1000.
      const int n = static_cast<int>(std::min<uint32_t>({info.sampleCount, MAX_SAMPLES, static_cast<uint32_t>(length)}));
      const CLinearMap map = RawMap(props.GetRangeValue());
      int16_t upper = 0x7FFF, lower = -0x8000;
      rc = OSC(ReadSaturationData(static_cast<uint16_t>(ch), &upper, &lower));
      if (rc != 0) {
        AddError(lines, Line("Error Channel %s - Probe:%s - cannot READ SATURATION DATA [err code:%d]", Letter(ch),
                             (LPCSTR)description.m_strLabel, rc));
        continue;
      }
      signal.m_nUpperRaw = upper;
      signal.m_nLowerRaw = lower;
      signal.m_dUpperLimit = map.ToValue(upper);
      signal.m_dLowerLimit = map.ToValue(lower);
      rc = OSC(GetSamples(static_cast<uint16_t>(ch), static_cast<uint32_t>(length), buffer.data()));
      if (rc != 0) {
        AddError(lines, Line("Error Channel %s - Probe:%s - cannot STORE DATA [err code:%d]", Letter(ch),
                             (LPCSTR)description.m_strLabel, rc));
        continue;
      }
      ClampSamples(buffer.data(), n, lower, upper);

      // The recorder keeps one record per switched-on channel, in channel order.
      const int ring = ch == 1 && settings.m_Channels[0].m_nModeEnable == 1 ? 1 : 0;
      const bool invert = props.m_bInverted != 0;
      if (settings.m_nSlowRateModifier != 0 && fed) FeedRing(ring, buffer.data(), n, invert, false);
      if (m_bAppend.load()) {
        CSignalData part;
        part.m_nUpperRaw = upper;
        part.m_nLowerRaw = lower;
        part.m_dUpperLimit = signal.m_dUpperLimit;
        part.m_dLowerLimit = signal.m_dLowerLimit;
        StoreSamples(part, buffer.data(), n, map);
        signal.Append(part, -1, -1);
      } else {
        const bool fast = settings.m_TimeBase.GetValueOrZero() > kFastRate || (mt && angle);
        if (fast && fed) FeedRing(ring, buffer.data(), n, invert, true);
        StoreSamples(signal, buffer.data(), n, map);
        signal.m_bValid = 1;
      }
    }
  }
  m_bMeasuring.store(0);
  return lines.GetSize() == 0 ? TRUE : FALSE;
}

BOOL CMeasureEngine::ReadEngineSignals(int highVoltageChannel, AcquisitionRecord& record, CStringArrayEx& lines) {
  return ReadEngineSamples(highVoltageChannel, false, record, lines);
}

BOOL CMeasureEngine::ReadEngineCylinderSignals(AcquisitionRecord& record, CStringArrayEx& lines) {
  return ReadEngineSamples(0, true, record, lines);
}

BOOL CMeasureEngine::ReadEngineSamples(int cylinder, bool cylinderRead, AcquisitionRecord& record,
                                       CStringArrayEx& lines) {
  lines.RemoveAll();
  IMTOscilloscope_7* osc = m_pMTOscilloscope;
  if (!m_bDevicePresent.load() || !m_bMeasuring.load() || !osc) {
    m_bMeasuring.store(0);
    return FALSE;
  }
  const measure::MeasureType type = GetMeasureType().Type();
  if (cylinderRead) {
    uint16_t cylinders = 0;
    SHORT count = osc->GetCylinderInfo(&cylinders) == 0 ? static_cast<SHORT>(cylinders) : 4;
    if (type == measure::MeasureType::kSecondaryDoubleCoil) count = 2;
    m_nCylinderCount.store(count);
  }
  int rc = osc->GetData();
  if (rc == 15) {
    AddError(lines, "Error - GET DATA [err code: ERR_DATASYNC]");
  } else if (rc != 0) {
    AddError(lines, Line("Error - GET DATA [err code:%d]", rc));
  }

  CMeasureProps& settings = record.m_Settings;
  const int length = std::max(settings.m_nRecordLength, 0);
  std::vector<int16_t> buffer(static_cast<size_t>(length) + 1, 0);  // zeroed: the record is stored whole
  CSignalData& signal = record.m_Signal[0];
  CChannelProps& props = settings.m_Channels[0];
  signal.m_bValid = 0;
  OscChannelInfo info{};
  rc = osc->GetChannelInfo(0, &info);
  CNxDoubleArray description;
  if (props.m_nModeEnable != 1) {
    signal.Reset();
    if (rc == 0) UpdateDescription(0, props, info.probe, description, lines);
  } else if (rc == 0) {
    UpdateDescription(0, props, info.probe, description, lines);
    if (description.m_nKind == probekind::kNone || lines.GetSize() > 0 || info.sampleCount < 1) {
      signal.Reset();
    } else {
      // No more than the buffer holds: the record of this settings copy may be shorter than 1000.
      const int n = static_cast<int>(std::min<uint32_t>({info.sampleCount, MAX_SAMPLES, static_cast<uint32_t>(length)}));
      const CLinearMap map = RawMap(props.GetRangeValue());
      int16_t upper = 0x7FFF, lower = -0x8000;
      EngineSampleRecord samples{};
      samples.samples = buffer.data();
      if ((rc = osc->ReadSaturationData(0, &upper, &lower)) != 0) {
        AddError(lines, Line("Error Channel %s - Probe:%s - cannot READ SATURATION DATA [err code:%d]", Letter(0),
                             (LPCSTR)description.m_strLabel, rc));
      } else if ((rc = osc->GetEngineSamples(static_cast<int16_t>(cylinder), static_cast<uint32_t>(length), &samples)) != 0) {
        AddError(lines, Line("Error Channel %s - Probe:%s - cannot STORE DATA [err code:%d]", Letter(0),
                             (LPCSTR)description.m_strLabel, rc));
      } else {
        signal.m_nUpperRaw = upper;
        signal.m_nLowerRaw = lower;
        signal.m_dUpperLimit = map.ToValue(upper);
        signal.m_dLowerLimit = map.ToValue(lower);
        ClampSamples(buffer.data(), n, lower, upper);
        StoreSamples(signal, buffer.data(), length, map);
        signal.m_bValid = 1;
        if (m_bRecorderFeed.load()) FeedRing(0, buffer.data(), n, props.m_bInverted != 0, true);
        if (GetMotortesterDevice()->GetCoilType() == 1 && (cylinderRead || type == measure::MeasureType::kSecondarySelected)) RearmCheck(samples.peak);
      }
    }
  }
  m_bMeasuring.store(0);
  return lines.GetSize() == 0 ? TRUE : FALSE;
}

int CMeasureEngine::ReadProbeDescriptor(bool mt, int channel, ProbeDescriptor& probe) {
  probe = ProbeDescriptor{};
  const uint16_t ch = static_cast<uint16_t>(channel);
  if (!mt) {
    if (GetLinkState() != kv310::kLinkIdle) Recover();
    return m_pOscilloscope->GetProbeInfo(ch, &probe);
  }
  uint16_t inputs = 0;
  int rc = m_pMTOscilloscope->GetProbeFactor(ch, &inputs);
  if (rc != 0) return rc;
  if (inputs == 0) return 0;  // no probe inputs: the no-probe description
  std::vector<ChannelProbeRecord> records(std::max<size_t>(inputs, 16));
  for (int tries = 1;; ++tries) {
    rc = m_pMTOscilloscope->SetProbe(ch, records.data());
    if (rc != kv310::kLinkBusy || tries >= PROBE_TRIES) break;
    WaitLinkIdle();
  }
  if (rc != 0) return rc;
  for (uint16_t i = 0; i < inputs; ++i) {
    if (records[i].probe.kind != probekind::kNone) {
      probe = records[i].probe;
      return m_pMTOscilloscope->SetProbeFlag(ch, records[i].slot);
    }
  }
  probe = records[inputs - 1].probe;
  return 0;
}

BOOL CMeasureEngine::ReadChannelInfo(CMeasureProps& settings, CStringArrayEx& lines) {
  lines.RemoveAll();
  if (!m_bDevicePresent.load()) return TRUE;
  const bool mt = UseEngineTester();
  if (!mt && !m_pOscilloscope) {
    lines.Add("Oscilloscope dll Error");
    return FALSE;
  }
  const bool angle = GetMeasureType().m_nAngleMode.load() != 0;
  CNxDoubleArray& rates = settings.m_TimeBase.m_Rates;
  rates.RemoveAll();

  uint16_t count = 0;
  int rc = angle ? (mt ? m_pMTOscilloscope->GetAngleRateCount(&count) : kNoEngineTester) : OSC(GetSampleRateCount(&count));
  if (rc != 0) {
    AddError(lines, Line("Cannot get sample rate items count [err code:%d]", rc));
    return FALSE;
  }
  if (angle) {
    std::vector<ScaledValue> values(count);
    rc = count ? m_pMTOscilloscope->GetAngleRates(count, values.data()) : 0;
    if (rc == 0)
      for (const ScaledValue& v : values) rates.Add(ScaledValueToDouble(v));
  } else {
    std::vector<int32_t> values(count);
    rc = count ? OSC(GetSampleRates(count, values.data())) : 0;
    if (rc == 0)
      for (int32_t v : values) rates.Add(static_cast<double>(static_cast<uint32_t>(v)));
  }
  if (rc != 0) {
    AddError(lines, Line("Cannot get sample rate items values [err code:%d]", rc));
    return FALSE;
  }
  uint16_t index = 0;
  rc = angle ? m_pMTOscilloscope->GetAngleRateIndex(&index) : OSC(GetSampleRateIndex(&index));
  if (rc != 0) {
    AddError(lines, Line("Cannot get current sample rate index [err code:%d]", rc));
    return FALSE;
  }
  settings.SetTimeBaseIndex(index, FALSE, FALSE);

  uint16_t channels = 0;
  rc = OSC(GetChannelCount(&channels));
  if (rc != 0) {
    AddError(lines, Line("Cannot get number of channels [err code:%d]", rc));
    return FALSE;
  }
  channels = std::min<uint16_t>(channels, 2);
  for (int ch = 0; ch < channels; ++ch) {
    CChannelProps& props = settings.m_Channels[ch];
    ProbeDescriptor probe{};
    rc = ReadProbeDescriptor(mt, ch, probe);
    if (rc != 0) {
      AddError(lines, Line("Error Channel %s - cannot get probe info [err code:%d]", Letter(ch), rc));
      continue;
    }
    ApplyProbeInfo(props.m_Ranges, probe);
    props.m_bEnabled = props.m_Ranges.m_nKind != probekind::kNone ? 1 : 0;
    GetChannelRange(ch, props, lines);
    int32_t state = 0;
    rc = OSC(GetChannelMode(static_cast<uint16_t>(ch), &state));
    if (rc != 0) {
      AddError(lines, Line("Error Channel %s - cannot get channel info [err code:%d]", Letter(ch), rc));
      continue;
    }
    if (state == 0) {
      props.SetChannelOption(0);
    } else if (state == 1) {
      props.SetChannelMode(0);
    } else if (state == 2) {
      props.SetChannelMode(1);
    }
  }
  return lines.GetSize() == 0 ? TRUE : FALSE;
}

BOOL CMeasureEngine::GetChannelRange(int channel, CChannelProps& props, CStringArrayEx& lines) {
  if (props.m_Ranges.m_nKind == probekind::kNone) return TRUE;
  const bool mt = UseEngineTester();
  if (!mt && !m_pOscilloscope) return FALSE;
  const uint16_t ch = static_cast<uint16_t>(channel);
  props.m_Ranges.RemoveAll();
  uint16_t count = 0;
  int rc = OSC(GetRangeCount(ch, &count));
  if (rc != 0) {
    AddError(lines, Line("Error Channel %s - cannot get channel range items [err code:%d]", Letter(channel), rc));
    return FALSE;
  }
  std::vector<ScaledValue> values(count);
  rc = count ? OSC(GetRanges(ch, count, values.data())) : 0;
  if (rc != 0) {
    AddError(lines, Line("Error Channel %s - cannot get channel range values [err code:%d]", Letter(channel), rc));
    return FALSE;
  }
  for (const ScaledValue& v : values) props.m_Ranges.Add(ScaledValueToDouble(v) * props.m_Ranges.m_dMultiplier);
  uint16_t index = 0;
  rc = OSC(GetRangeIndex(ch, &index));
  if (rc != 0) {
    AddError(lines, Line("Error Channel %s - cannot get current channel range [err code:%d]", Letter(channel), rc));
    return FALSE;
  }
  props.m_nRangeIndex = index;
  // After a probe change the library keeps the range of the probe before, which the new probe may
  // refuse: the channel gets a range the probe accepts before anything else is sent.
  const int allowed = props.AllowedRangeIndex(index);
  if (allowed == index) return TRUE;
  rc = OSC(SetRangeIndex(ch, static_cast<uint16_t>(allowed)));
  if (rc != 0) {
    AddError(lines, Line("Error Channel %s - cannot set channel range:%f(%d) [err code:%d]", Letter(channel),
                         props.m_Ranges.GetValueOrZero(allowed), allowed, rc));
    return FALSE;
  }
  props.m_nRangeIndex = allowed;
  return TRUE;
}

int CMeasureEngine::ReadChannelMeasurement(double& value) {
  const bool mt = UseEngineTester();
  if (!mt && !m_pOscilloscope) return 0;
  OscMeasurements measured{};
  if (OSC(GetMeasurements(&measured)) != 0) return 0;
  value = (measured.valid & 0xFF) ? ScaledValueToDouble(measured.value) : -1.0;
  return 1;
}

int CMeasureEngine::ReadEngineSpeed(double& value) {
  if (!m_pMTOscilloscope) return 1;
  Recover();
  MeasuredValue speed{};
  if (m_pMTOscilloscope->GetEngineSpeed(&speed) != 0) {
    value = -1.0;
    return 0;
  }
  if (!speed.valid) {
    value = -1.0;
    return 1;
  }
  const int kind = speed.probe.kind;
  const measure::MeasureType type = GetMeasureType().Type();
  bool fits;
  if (measure::IsTesterSetUp(type)) {
    fits = kind == probekind::kVoltage || kind == probekind::kIgnitionPickup || kind == probekind::kPressure ||
           kind == probekind::kSync1 || kind == probekind::kIgnitionPickupDouble;
  } else {
    const CMotortesterData* tester = GetMotortesterDevice();
    if (tester->m_nEngineType.load() == CMotortesterData::ENGINE_DIESEL) {
      switch (tester->m_nDieselSpeedSensorType.load()) {
        case 1: fits = kind == probekind::kInductive; break;
        case 2: fits = kind == probekind::kPressure; break;
        case 3: fits = kind == probekind::kSemiconductor; break;
        default: fits = kind == probekind::kNone; break;
      }
    } else {
      switch (tester->m_nSparkSpeedSensorType.load()) {
        case 0: fits = kind == probekind::kIgnitionPickup || kind == probekind::kIgnitionPickupDouble; break;
        case 1: fits = kind == probekind::kInductive; break;
        case 3: fits = kind == probekind::kSemiconductor; break;
        default: fits = kind == probekind::kNone; break;
      }
    }
  }
  value = fits ? ScaledValueToDouble(speed.value) : -1.0;
  return 1;
}
