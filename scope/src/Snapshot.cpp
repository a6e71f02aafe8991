#include <scope/Snapshot.h>

#include <core/ProbeKind.h>

#include <platform/byteorder.h>

#include <cmath>

namespace scope {

namespace {

namespace off = snapshot_offset;
using kvp::LoadLe;
using kvp::StoreLe;

void StoreBlock(uint8_t* p, size_t words, size_t channels, const DeviceBlock& block) {
  for (size_t i = 0; i < block.m_Words.size(); ++i) StoreLe<int32_t>(p + words + 4 * i, block.m_Words[i]);
  for (size_t i = 0; i < block.m_Channels.size(); ++i) StoreLe<int32_t>(p + channels + 4 * i, block.m_Channels[i]);
}

DeviceBlock LoadBlock(const uint8_t* p, size_t words, size_t channels) {
  DeviceBlock block;
  for (size_t i = 0; i < block.m_Words.size(); ++i) block.m_Words[i] = LoadLe<int32_t>(p + words + 4 * i);
  for (size_t i = 0; i < block.m_Channels.size(); ++i) block.m_Channels[i] = LoadLe<int32_t>(p + channels + 4 * i);
  return block;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

SnapshotBytes EncodeSnapshot(const SettingsSnapshot& s) {
  SnapshotBytes out{};
  uint8_t* p = out.data();
  StoreLe<double>(p + off::kTriggerPosition, s.m_dTriggerPosition);
  StoreLe<int32_t>(p + off::kLevel, s.m_nLevel);
  StoreLe<int32_t>(p + off::kEdge, s.m_nEdge);
  StoreLe<int32_t>(p + off::kTriggerMode, s.m_nTriggerMode);
  StoreLe<int32_t>(p + off::kRollMode, s.m_nRollMode);
  StoreLe<int32_t>(p + off::kSource, s.m_nSource);
  StoreLe<int32_t>(p + off::kSensitivity, s.m_nSensitivity);
  for (size_t ch = 0; ch < 2; ++ch) {
    StoreLe<int32_t>(p + off::kRange + 4 * ch, s.m_nRange[ch]);
    StoreLe<int32_t>(p + off::kPosition + 4 * ch, s.m_nPosition[ch]);
    StoreLe<int32_t>(p + off::kCoupling + 4 * ch, s.m_nCoupling[ch]);
    StoreLe<int32_t>(p + off::kOn + 4 * ch, s.m_nOn[ch]);
    StoreLe<int32_t>(p + off::kProbeWanted + 4 * ch, s.m_nProbeWanted[ch]);
  }
  StoreLe<int32_t>(p + off::kTimeBaseIndex, s.m_nTimeBaseIndex);
  StoreLe<int32_t>(p + off::kWindowOffset, s.m_nWindowOffset);
  StoreLe<int32_t>(p + off::kRunning, s.m_nRunning);
  StoreLe<int32_t>(p + off::kZoom, s.m_nZoom);
  StoreLe<int32_t>(p + off::kCursorsOn, s.m_nCursorsOn);
  StoreLe<int32_t>(p + off::kInversion, s.m_nInversion);
  StoreBlock(p, off::kBoardWords, off::kBoardChannels, s.m_Board);
  StoreBlock(p, off::kEngineTesterWords, off::kEngineTesterChannels, s.m_EngineTester);
  return out;
}

SettingsSnapshot DecodeSnapshot(std::span<const uint8_t, kSnapshotSize> bytes) {
  const uint8_t* p = bytes.data();
  SettingsSnapshot s;
  s.m_dTriggerPosition = LoadLe<double>(p + off::kTriggerPosition);
  s.m_nLevel = LoadLe<int32_t>(p + off::kLevel);
  s.m_nEdge = LoadLe<int32_t>(p + off::kEdge);
  s.m_nTriggerMode = LoadLe<int32_t>(p + off::kTriggerMode);
  s.m_nRollMode = LoadLe<int32_t>(p + off::kRollMode);
  s.m_nSource = LoadLe<int32_t>(p + off::kSource);
  s.m_nSensitivity = LoadLe<int32_t>(p + off::kSensitivity);
  for (size_t ch = 0; ch < 2; ++ch) {
    s.m_nRange[ch] = LoadLe<int32_t>(p + off::kRange + 4 * ch);
    s.m_nPosition[ch] = LoadLe<int32_t>(p + off::kPosition + 4 * ch);
    s.m_nCoupling[ch] = LoadLe<int32_t>(p + off::kCoupling + 4 * ch);
    s.m_nOn[ch] = LoadLe<int32_t>(p + off::kOn + 4 * ch);
    s.m_nProbeWanted[ch] = LoadLe<int32_t>(p + off::kProbeWanted + 4 * ch);
  }
  s.m_nTimeBaseIndex = LoadLe<int32_t>(p + off::kTimeBaseIndex);
  s.m_nWindowOffset = LoadLe<int32_t>(p + off::kWindowOffset);
  s.m_nRunning = LoadLe<int32_t>(p + off::kRunning);
  s.m_nZoom = LoadLe<int32_t>(p + off::kZoom);
  s.m_nCursorsOn = LoadLe<int32_t>(p + off::kCursorsOn);
  s.m_nInversion = LoadLe<int32_t>(p + off::kInversion);
  s.m_Board = LoadBlock(p, off::kBoardWords, off::kBoardChannels);
  s.m_EngineTester = LoadBlock(p, off::kEngineTesterWords, off::kEngineTesterChannels);
  return s;
}

bool IsValidSnapshot(const SettingsSnapshot& s) {
  if (!std::isfinite(s.m_dTriggerPosition) || s.m_dTriggerPosition < 0.0 || s.m_dTriggerPosition > 100.0)
    return false;
  const auto flag = [](int v) { return InRange(v, 0, 1); };
  if (!flag(s.m_nEdge) || !flag(s.m_nSensitivity) || !flag(s.m_nRunning) || !flag(s.m_nCursorsOn)) return false;
  if (!InRange(s.m_nTriggerMode, -1, 2) || !InRange(s.m_nRollMode, 0, 2) || !InRange(s.m_nSource, 0, 3) ||
      !InRange(s.m_nZoom, 0, 3))
    return false;
  for (size_t ch = 0; ch < 2; ++ch) {
    if (!flag(s.m_nCoupling[ch]) || !flag(s.m_nOn[ch]) || !InRange(s.m_nPosition[ch], 0, 100)) return false;
  }
  return true;
}

int DecodeRangeField(int rangeField, int probeWanted, int actualProbeKind) {
  if (probeWanted != kAnyClamp50A && probeWanted != kAnyClamp500A) return rangeField;
  return probekind::IsHighCurrentClamp(actualProbeKind) ? rangeField % 10 : rangeField / 100;
}

int WantedProbeKind(int probeWanted) {
  if (probeWanted == kAnyClamp50A) return probekind::kClamp50A;
  if (probeWanted == kAnyClamp500A) return probekind::kClamp500A;
  return probeWanted;
}

bool ProbeMatches(int probeWanted, int actualProbeKind) { return WantedProbeKind(probeWanted) == actualProbeKind; }

void CompleteDeviceAreas(SettingsSnapshot& s, bool boardPath, const int* recordingMode) {
  DeviceBlock& active = boardPath ? s.m_Board : s.m_EngineTester;
  DeviceBlock& other = boardPath ? s.m_EngineTester : s.m_Board;
  if (recordingMode) active.m_Words[0] = *recordingMode;
  other = active;
  other.m_Words[0] = 1;
  if (boardPath) other.m_Words[1] = static_cast<int32_t>(static_cast<uint32_t>(other.m_Words[1]) & 0xFFFFu);
}

int ClampLevel(int level) { return level < 0 ? 0 : level > 256 ? 256 : level; }

int NormalizeInversion(int inversion) { return InRange(inversion, 0, 3) ? inversion : 0; }

}  // namespace scope
