// The signal files of the oscilloscope: the current format (.osg, written and read) and the older
// format (.osc, read only). A file is held as a SignalFile: the trigger and time-base settings of
// the screen and up to two channels with their samples. Parsers work on bytes already read and
// return a SignalFile only when the whole file is valid, so a failed read fills nothing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace scope {

inline constexpr uint16_t kOsgMagic = 0xFFCA;
inline constexpr uint8_t kOsgVersion = 16;
inline constexpr size_t kOsgSamplesOffset = 1000;
inline constexpr size_t kOsgChannelStride = 10000;
inline constexpr size_t kOsgItemSize = 9;
inline constexpr int kOsgMaxCount = 1111;  // the most items that fit between two sample blocks
inline constexpr int kOscMaxCount = 1000;
inline constexpr int kOscTimeBaseCount = 18;
inline constexpr int kTracePoints = 1000;

// Flag byte of a stored point: bit 7 = valid, bits 0..6 = clip code (1 and 2 = the two directions).
inline constexpr uint8_t kPointValid = 0x80;
inline constexpr uint8_t kClipCodeMask = 0x7F;

inline constexpr const char kOsgSaveFilter[] = "Oscilloscope signals (*.osg)|*.osg|All files (*.*)|*.*||";
inline constexpr const char kSignalOpenFilter[] =
    "All oscilloscope signals (*.osg, *.osc)|*.osg; *.osc|Older oscilloscope signals (*.osc)|*.osc|"
    "Oscilloscope signals (*.osg)|*.osg||";
inline constexpr const char kSignalDefaultName[] = "Save_%2d-%2d_%2dh%2dm";
inline constexpr const char kOscSignature[] = "Dravix";

struct SignalPoint {
  double m_dValue = 0.0;
  uint8_t m_nFlag = 0;
  bool operator==(const SignalPoint&) const = default;
};

struct SignalChannel {
  bool m_bPresent = false;
  uint8_t m_nCoupling = 0;
  double m_dPerDivision = 0.0;
  double m_dFullScale = 0.0;
  int32_t m_nUnit = -1;  // 0 volts, 1 amperes, -1 absent
  double m_dMin = 0.0;
  double m_dMax = 0.0;
  uint16_t m_nPosition = 50;
  std::vector<SignalPoint> m_Points;  // the stored count
  bool m_bClipNote1 = false;          // some point has clip bit 0
  bool m_bClipNote2 = false;          // some point has clip bit 1
  bool operator==(const SignalChannel&) const = default;
};

struct SignalFile {
  int m_nChannelsStored = 0;  // 0: the file loads nothing
  int32_t m_nSampleRate = 0;  // samples per second
  uint8_t m_bAngleMode = 0;
  uint8_t m_bModeSelectorFlag = 0;
  std::array<SignalChannel, 2> m_Channels;
  int32_t m_nTriggerSource = 0;
  int32_t m_nTriggerEdge = 0;
  int32_t m_nSweep = 0;
  int32_t m_nTriggerFilter = 0;
  double m_dTriggerLevel = 0.0;  // volts
  int32_t m_nTriggerUnit = 0;
  int32_t m_nModeSelector = 0;
  bool m_bOlderFormat = false;
  bool operator==(const SignalFile&) const = default;

  // Whether the trigger source's channel is missing from the file (0 and 2 belong to A, 1 and 3 to B).
  bool TriggerChannelMissing() const;
};

// The stored form of a displayed trace of `multiplier` ±1: kTracePoints points; point k valid →
// multiplier × value, flag clip | 0x80, else 0, 0 (a shorter trace is padded with invalid points).
// An inverted channel stores −max as minimum, −min as maximum and swaps clip codes 1 and 2.
void StoreTrace(SignalChannel& channel, std::span<const double> values, std::span<const uint8_t> valid,
                std::span<const uint8_t> clip, int multiplier, double min, double max);

std::vector<uint8_t> EncodeOsgFile(const SignalFile& file);
std::optional<SignalFile> ParseOsgFile(std::span<const uint8_t> bytes);
std::optional<SignalFile> ParseOscFile(std::span<const uint8_t> bytes);

}  // namespace scope
