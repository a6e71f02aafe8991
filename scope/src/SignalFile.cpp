#include <scope/SignalFile.h>

#include <platform/byteorder.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string_view>

namespace scope {

namespace {

using Reader = kvp::LeReader;
using Writer = kvp::LeWriter;

constexpr size_t kOsgHeaderSize = 244;

// Header offsets of the .osg format.
namespace osg {
constexpr size_t kMagic = 0, kVersion = 5, kChannels = 10, kPresent = 12, kSampleRate = 20, kAngle = 30,
                 kModeFlag = 32, kPerDivision = 40, kCoupling = 48, kUnit = 60, kMin = 80, kMax = 90,
                 kFullScale = 120, kCount = 140, kPosition = 160, kSource = 180, kEdge = 190, kSweep = 200,
                 kFilter = 210, kLevel = 220, kTriggerUnit = 230, kModeSelector = 240;
// Per-channel strides: 10 bytes between A and B for every field but minimum and maximum (20).
constexpr size_t kStride = 10, kMinMaxStride = 20, kPresentStride = 2;
}  // namespace osg

// Clip notes of a trace: whether some point carries clip bit 0, bit 1.
void NoteClips(SignalChannel& channel) {
  channel.m_bClipNote1 = channel.m_bClipNote2 = false;
  for (const SignalPoint& p : channel.m_Points) {
    channel.m_bClipNote1 |= (p.m_nFlag & 0x01) != 0;
    channel.m_bClipNote2 |= (p.m_nFlag & 0x02) != 0;
  }
}

// A double that must become a 32-bit integer (truncated); out of range or not finite fails.
std::optional<int32_t> TruncateToInt(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  const double t = std::trunc(value);
  if (t < static_cast<double>(std::numeric_limits<int32_t>::min()) ||
      t > static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::nullopt;
  return static_cast<int32_t>(t);
}

}  // namespace

bool SignalFile::TriggerChannelMissing() const {
  const bool onA = m_nTriggerSource == 0 || m_nTriggerSource == 2;
  const bool onB = m_nTriggerSource == 1 || m_nTriggerSource == 3;
  return !((onA && m_Channels[0].m_bPresent) || (onB && m_Channels[1].m_bPresent));
}

void StoreTrace(SignalChannel& channel, std::span<const double> values, std::span<const uint8_t> valid,
                std::span<const uint8_t> clip, int multiplier, double min, double max) {
  const bool inverted = multiplier < 0;
  channel.m_Points.assign(kTracePoints, SignalPoint{});
  const size_t n = std::min({values.size(), valid.size(), static_cast<size_t>(kTracePoints)});
  for (size_t k = 0; k < n; ++k) {
    if (!valid[k]) continue;
    uint8_t code = k < clip.size() ? static_cast<uint8_t>(clip[k] & kClipCodeMask) : 0;
    if (inverted) code = code == 1 ? 2 : code == 2 ? 1 : 0;
    channel.m_Points[k] = {multiplier * values[k], static_cast<uint8_t>(code | kPointValid)};
  }
  channel.m_dMin = inverted ? -max : min;
  channel.m_dMax = inverted ? -min : max;
  NoteClips(channel);
}

std::vector<uint8_t> EncodeOsgFile(const SignalFile& file) {
  Writer w(kOsgHeaderSize);
  w.Put<uint16_t>(osg::kMagic, kOsgMagic);
  w.Put<uint8_t>(osg::kVersion, kOsgVersion);
  int stored = 0;
  for (size_t i = 0; i < 2; ++i) {
    const SignalChannel& ch = file.m_Channels[i];
    const bool hasData = ch.m_bPresent && !ch.m_Points.empty();
    w.Put<uint8_t>(osg::kPresent + osg::kPresentStride * i, ch.m_bPresent ? 1 : 0);
    w.Put<uint8_t>(osg::kCoupling + osg::kStride * i, ch.m_bPresent ? ch.m_nCoupling : 0);
    w.Put<int32_t>(osg::kUnit + osg::kStride * i, hasData ? ch.m_nUnit : -1);
    w.Put<uint16_t>(osg::kPosition + osg::kStride * i, hasData ? ch.m_nPosition : 50);
    if (!hasData) continue;
    ++stored;
    w.Put<double>(osg::kPerDivision + osg::kStride * i, ch.m_dPerDivision);
    w.Put<double>(osg::kMin + osg::kMinMaxStride * i, ch.m_dMin);
    w.Put<double>(osg::kMax + osg::kMinMaxStride * i, ch.m_dMax);
    w.Put<double>(osg::kFullScale + osg::kStride * i, ch.m_dFullScale);
    const size_t count = std::min(ch.m_Points.size(), static_cast<size_t>(kOsgMaxCount));
    w.Put<uint16_t>(osg::kCount + osg::kStride * i, static_cast<uint16_t>(count));
    const size_t base = kOsgSamplesOffset + kOsgChannelStride * i;
    for (size_t k = 0; k < count; ++k) {
      w.Put<double>(base + kOsgItemSize * k, ch.m_Points[k].m_dValue);
      w.Put<uint8_t>(base + kOsgItemSize * k + 8, ch.m_Points[k].m_nFlag);
    }
  }
  w.Put<uint8_t>(osg::kChannels, static_cast<uint8_t>(stored));
  w.Put<int32_t>(osg::kSampleRate, file.m_nSampleRate);
  w.Put<uint8_t>(osg::kAngle, file.m_bAngleMode);
  w.Put<uint8_t>(osg::kModeFlag, file.m_bModeSelectorFlag);
  w.Put<int32_t>(osg::kSource, file.m_nTriggerSource);
  w.Put<int32_t>(osg::kEdge, file.m_nTriggerEdge);
  w.Put<int32_t>(osg::kSweep, file.m_nSweep);
  w.Put<int32_t>(osg::kFilter, file.m_nTriggerFilter);
  w.Put<double>(osg::kLevel, file.m_dTriggerLevel);
  w.Put<int32_t>(osg::kTriggerUnit, file.m_nTriggerUnit);
  w.Put<int32_t>(osg::kModeSelector, file.m_nModeSelector);
  return std::move(w.Data());
}

std::optional<SignalFile> ParseOsgFile(std::span<const uint8_t> bytes) {
  Reader r(bytes);
  SignalFile file;
  r.Get<uint16_t>(osg::kMagic);  // read, never tested
  r.Get<uint8_t>(osg::kVersion);
  file.m_nChannelsStored = r.Get<uint8_t>(osg::kChannels);
  file.m_nSampleRate = r.Get<int32_t>(osg::kSampleRate);
  file.m_bAngleMode = r.Get<uint8_t>(osg::kAngle);
  file.m_bModeSelectorFlag = r.Get<uint8_t>(osg::kModeFlag);
  file.m_nTriggerSource = r.Get<int32_t>(osg::kSource);
  file.m_nTriggerEdge = r.Get<int32_t>(osg::kEdge);
  file.m_nSweep = r.Get<int32_t>(osg::kSweep);
  file.m_nTriggerFilter = r.Get<int32_t>(osg::kFilter);
  file.m_dTriggerLevel = r.Get<double>(osg::kLevel);
  file.m_nTriggerUnit = r.Get<int32_t>(osg::kTriggerUnit);
  file.m_nModeSelector = r.Get<int32_t>(osg::kModeSelector);
  for (size_t i = 0; i < 2; ++i) {
    SignalChannel& ch = file.m_Channels[i];
    ch.m_bPresent = r.Get<uint8_t>(osg::kPresent + osg::kPresentStride * i) != 0;
    ch.m_nCoupling = r.Get<uint8_t>(osg::kCoupling + osg::kStride * i);
    ch.m_dPerDivision = r.Get<double>(osg::kPerDivision + osg::kStride * i);
    ch.m_nUnit = r.Get<int32_t>(osg::kUnit + osg::kStride * i);
    ch.m_dMin = r.Get<double>(osg::kMin + osg::kMinMaxStride * i);
    ch.m_dMax = r.Get<double>(osg::kMax + osg::kMinMaxStride * i);
    ch.m_dFullScale = r.Get<double>(osg::kFullScale + osg::kStride * i);
    ch.m_nPosition = r.Get<uint16_t>(osg::kPosition + osg::kStride * i);
  }
  if (r.Failed()) return std::nullopt;
  if (file.m_nChannelsStored == 0) {
    for (SignalChannel& ch : file.m_Channels) ch = SignalChannel{};
    return file;
  }
  for (size_t i = 0; i < 2; ++i) {
    SignalChannel& ch = file.m_Channels[i];
    if (!ch.m_bPresent) continue;
    const size_t count = r.Get<uint16_t>(osg::kCount + osg::kStride * i);
    const size_t base = kOsgSamplesOffset + kOsgChannelStride * i;
    // A channel switched on without data has no block: nothing to read (the file may end before).
    if (count > kOsgMaxCount || (count > 0 && !r.Has(base, count * kOsgItemSize))) return std::nullopt;
    ch.m_Points.resize(count);
    for (size_t k = 0; k < count; ++k)
      ch.m_Points[k] = {r.Get<double>(base + kOsgItemSize * k), r.Get<uint8_t>(base + kOsgItemSize * k + 8)};
    NoteClips(ch);
  }
  if (r.Failed()) return std::nullopt;
  return file;
}

namespace {

// Where a channel's fields lie in a .osc file, relative to the file's base.
struct OscChannelLayout {
  size_t position, coupling, present, unit;  // offsets already including B (and S for channel B)
  size_t zero, samples, count, bounds, perDivision;
};

OscChannelLayout OscLayout(size_t channel, size_t b, ptrdiff_t s) {
  const auto at = [&](ptrdiff_t shifts, size_t offset) {
    return static_cast<size_t>(static_cast<ptrdiff_t>(b) + shifts * s + static_cast<ptrdiff_t>(offset));
  };
  if (channel == 0) return {at(0, 148), at(0, 152), at(0, 156), at(0, 160), at(1, 384), at(1, 388), at(1, 8388),
                            at(1, 8400), at(1, 8408)};
  return {at(1, 8520), at(1, 8524), at(1, 8528), at(1, 8532), at(2, 8756), at(2, 8760), at(2, 16760),
          at(2, 16772), at(2, 16780)};
}

bool ReadOscChannel(Reader& r, const OscChannelLayout& at, SignalChannel& ch) {
  ch.m_nPosition = r.Get<uint16_t>(at.position);
  ch.m_nCoupling = r.Get<uint8_t>(at.coupling);
  ch.m_bPresent = r.Get<uint8_t>(at.present) != 0;
  ch.m_nUnit = r.Get<int32_t>(at.unit);
  ch.m_dPerDivision = r.Get<double>(at.perDivision);
  ch.m_dFullScale = 10.0 * ch.m_dPerDivision;
  const int count = r.Get<uint16_t>(at.count);
  if (r.Failed() || count > kOscMaxCount || !r.Has(at.samples, static_cast<size_t>(count) * 8)) return false;

  // Two-point map of raw values to volts: the raw bounds widened by half their span map to
  // +10 and −10 divisions.
  const int64_t lower = r.Get<int32_t>(at.bounds);
  const int64_t upper = r.Get<int32_t>(at.bounds + 4);
  const int64_t half = (upper - lower) / 2;
  const double x1 = static_cast<double>(lower - half);
  const double x2 = static_cast<double>(upper + half);
  const double y1 = 10.0 * ch.m_dPerDivision;
  const double y2 = -10.0 * ch.m_dPerDivision;
  double slope = y2 == y1 ? 1.0 : (x2 - x1) / (y2 - y1);
  if (slope == 0.0 || !std::isfinite(slope)) slope = 1.0;
  const auto map = [&](int32_t raw) { return (static_cast<double>(raw) - x1) / slope + y1; };
  const double zero = map(r.Get<int32_t>(at.zero));

  ch.m_Points.resize(static_cast<size_t>(count));
  for (size_t k = 0; k < ch.m_Points.size(); ++k)
    ch.m_Points[k] = {map(r.Get<int32_t>(at.samples + 8 * k + 4)) - zero, kPointValid};
  if (!ch.m_Points.empty()) {
    const auto [lo, hi] = std::minmax_element(ch.m_Points.begin(), ch.m_Points.end(),
                                              [](const SignalPoint& a, const SignalPoint& b) {
                                                return a.m_dValue < b.m_dValue;
                                              });
    ch.m_dMin = lo->m_dValue;
    ch.m_dMax = hi->m_dValue;
  } else {
    ch.m_dMin = ch.m_dMax = 0.0;
  }
  return !r.Failed();
}

bool HasOscSignature(std::span<const uint8_t> bytes) {
  const size_t window = std::min<size_t>(bytes.size(), 40);
  size_t length = 0;
  while (length < window && bytes[length] != 0) ++length;
  length = std::min<size_t>(length, 10);
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), length) == kOscSignature;
}

}  // namespace

std::optional<SignalFile> ParseOscFile(std::span<const uint8_t> bytes) {
  Reader r(bytes);
  const bool signature = HasOscSignature(bytes);
  const size_t b = signature ? 0 : 216;
  const ptrdiff_t s = signature ? 0 : -4;
  SignalFile file;
  file.m_bOlderFormat = true;
  file.m_nChannelsStored = r.Get<uint8_t>(b + 40);
  if (r.Failed()) return std::nullopt;
  if (file.m_nChannelsStored == 0) return file;

  if (!ReadOscChannel(r, OscLayout(0, b, s), file.m_Channels[0])) return std::nullopt;
  const int32_t index = r.Get<int32_t>(b + 216);
  if (r.Failed() || index < 0 || index >= kOscTimeBaseCount) return std::nullopt;
  const std::optional<int32_t> timeBase = TruncateToInt(r.Get<double>(b + 224 + 8 * static_cast<size_t>(index)));
  if (!timeBase) return std::nullopt;
  file.m_bAngleMode = signature ? r.Get<uint8_t>(b + 372) : 0;
  file.m_nModeSelector = r.Get<int32_t>(b + 72);
  file.m_bModeSelectorFlag = file.m_nModeSelector != 0;

  // The sample rate of a short record is scaled to the screen it was taken for.
  const size_t n = file.m_Channels[0].m_Points.size();
  double scaled = *timeBase;
  if (n >= 90 && n <= 110) scaled *= 5.0;
  else if (n >= 190 && n <= 210) scaled *= 2.5;
  else if (n >= 990 && n <= 1000) scaled *= 0.5;
  const std::optional<int32_t> adjusted = TruncateToInt(scaled);
  if (!adjusted) return std::nullopt;
  file.m_nSampleRate = *adjusted;

  const int32_t rawLevel = r.Get<int32_t>(b + 60);
  file.m_nTriggerEdge = r.Get<int32_t>(b + 64);
  file.m_nSweep = r.Get<int32_t>(b + 68);
  file.m_nTriggerSource = r.Get<int32_t>(b + 76);
  file.m_nTriggerFilter = r.Get<int32_t>(b + 80);
  const double y1 = r.Get<double>(b + 96 + 8);
  const double x1 = r.Get<double>(b + 96 + 24);
  const double factor = r.Get<double>(b + 96 + 40);
  file.m_dTriggerLevel = (static_cast<double>(rawLevel) - x1) * factor + y1;
  file.m_nTriggerUnit = file.m_Channels[0].m_nUnit;
  if (r.Failed()) return std::nullopt;

  if (file.m_nChannelsStored == 2) {
    if (!ReadOscChannel(r, OscLayout(1, b, s), file.m_Channels[1])) return std::nullopt;
    if (file.m_nTriggerSource == 1) file.m_nTriggerUnit = file.m_Channels[1].m_nUnit;
  }
  // Only the channels the file marks present carry a trace.
  for (SignalChannel& ch : file.m_Channels)
    if (!ch.m_bPresent) ch = SignalChannel{};
  return file;
}

}  // namespace scope
