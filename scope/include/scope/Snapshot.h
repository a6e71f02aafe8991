// The oscilloscope's settings snapshot: one 224-byte record holding every setting of the control
// panel with the two device setting blocks of the measurement library. The same bytes live in
// settings files, custom setting slots, the per-measure-type store and the built-in presets.
// The record is little-endian and is encoded and decoded field by field, never copied as a struct.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace scope {

inline constexpr size_t kSnapshotSize = 224;
inline constexpr int kMeasureTypeCount = 28;

// Probe-wanted values that stand for "any 50 A clamp" and "any 500 A clamp" (a kind otherwise).
inline constexpr int kAnyClamp50A = 254;
inline constexpr int kAnyClamp500A = 255;

// The probe kind a probe-wanted value asks for.
int WantedProbeKind(int probeWanted);

// Twelve setting words of a device path with its channel block (A on, A range, B on, B range).
struct DeviceBlock {
  std::array<int32_t, 12> m_Words{};
  std::array<int32_t, 4> m_Channels{};
  bool operator==(const DeviceBlock&) const = default;
};

struct SettingsSnapshot {
  double m_dTriggerPosition = 0.0;  // percent of the record
  int32_t m_nLevel = 0;             // trigger level step 0..256
  int32_t m_nEdge = 0;
  int32_t m_nTriggerMode = 0;
  int32_t m_nRollMode = 0;
  int32_t m_nSource = 0;
  int32_t m_nSensitivity = 0;
  std::array<int32_t, 2> m_nRange{};        // range index, or a range code with probe 254/255
  std::array<int32_t, 2> m_nPosition{};
  std::array<int32_t, 2> m_nCoupling{};
  std::array<int32_t, 2> m_nOn{};
  std::array<int32_t, 2> m_nProbeWanted{};
  int32_t m_nTimeBaseIndex = 0;
  int32_t m_nWindowOffset = 0;  // divisions, for the docked panel
  int32_t m_nRunning = 0;
  int32_t m_nZoom = 0;
  int32_t m_nCursorsOn = 0;
  int32_t m_nInversion = 0;  // InvertState
  DeviceBlock m_Board;         // IOscilloscope_2 SetAll words
  DeviceBlock m_EngineTester;  // IMTOscilloscope_7 SetAll words
  bool operator==(const SettingsSnapshot&) const = default;
};

using SnapshotBytes = std::array<uint8_t, kSnapshotSize>;

// Byte offsets of the record's fields.
namespace snapshot_offset {
inline constexpr size_t kTriggerPosition = 0, kLevel = 8, kEdge = 12, kTriggerMode = 16, kRollMode = 20,
                        kSource = 24, kSensitivity = 28, kRange = 32, kPosition = 40, kCoupling = 48,
                        kOn = 56, kProbeWanted = 64, kTimeBaseIndex = 72, kWindowOffset = 76,
                        kRunning = 80, kZoom = 84, kCursorsOn = 88, kInversion = 92, kBoardWords = 96,
                        kBoardChannels = 144, kEngineTesterWords = 160, kEngineTesterChannels = 208;
}  // namespace snapshot_offset

SnapshotBytes EncodeSnapshot(const SettingsSnapshot& s);
SettingsSnapshot DecodeSnapshot(std::span<const uint8_t, kSnapshotSize> bytes);

// A snapshot read from a file or a slot is applied only when its fields lie in their domains:
// a finite trigger position in 0..100, flags 0..1, trigger mode -1..2, roll mode 0..2, source 0..3,
// zoom 0..3, positions 0..100. Level, inversion, time base, ranges and offset are mended on apply.
bool IsValidSnapshot(const SettingsSnapshot& s);

// The range index a channel uses: with probe wanted 254/255 the field is a range code (hundreds =
// index for other probe kinds, units = index for kinds 2 and 3), else the field itself.
int DecodeRangeField(int rangeField, int probeWanted, int actualProbeKind);

// Whether a channel's actual probe kind matches what a snapshot wants (254: kind 2, 255: kind 3).
bool ProbeMatches(int probeWanted, int actualProbeKind);

// The level step a snapshot applies: clamped to 0..256.
int ClampLevel(int level);
// The inversion state a snapshot applies: 0..3, anything else 0.
int NormalizeInversion(int inversion);

// After the active path's GetAll filled its own area of a captured snapshot, the other area gets
// words 1..11 and the channel block, with word 0 = 1; on the board path the engine-tester word 1
// keeps only its low 16 bits. With `recordingMode` (a recording through the recorder runs) the
// active area's word 0 is the acquisition mode saved at the recording start.
void CompleteDeviceAreas(SettingsSnapshot& s, bool boardPath, const int* recordingMode = nullptr);

// Built-in preset of measure type 0..27 (outside: preset 0), with which device blocks are given.
struct MeasureTypePreset {
  SettingsSnapshot m_Snapshot;
  bool m_bBoardGiven = false;
  bool m_bEngineTesterGiven = false;
};
const MeasureTypePreset& GetMeasureTypePreset(int measureType);

}  // namespace scope
