#include <core/Sound.h>

#include <platform/module.h>
#include <platform/sound.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

constexpr uint32_t kRate = 22050;

// Two seconds of 16-bit mono sound each, made here: 148 a falling two-tone alarm, 149 a soft
// pulsing tone.
std::vector<int16_t> MakeAlarm() {
  std::vector<int16_t> s(kRate * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double freq = (static_cast<int>(t * 4) % 2) ? 740.0 : 988.0;
    const double envelope = 0.6 + 0.4 * std::cos(2.0 * M_PI * 4.0 * t);
    s[i] = static_cast<int16_t>(8000.0 * envelope * std::sin(2.0 * M_PI * freq * t));
  }
  return s;
}

std::vector<int16_t> MakePulse() {
  std::vector<int16_t> s(kRate * 2);
  for (size_t i = 0; i < s.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    const double phase = std::fmod(t, 0.5);
    const double envelope = phase < 0.2 ? std::sin(M_PI * phase / 0.2) : 0.0;
    s[i] = static_cast<int16_t>(7000.0 * envelope * std::sin(2.0 * M_PI * 523.25 * t));
  }
  return s;
}

const std::vector<uint8_t>& Wave148() {
  static const std::vector<uint8_t> wave = kvp::MakeWave(MakeAlarm(), kRate);
  return wave;
}

const std::vector<uint8_t>& Wave149() {
  static const std::vector<uint8_t> wave = kvp::MakeWave(MakePulse(), kRate);
  return wave;
}

}  // namespace

CSound::CSound() {
  const HMODULE program = GetModuleHandle(nullptr);
  kvp::RegisterSoundResource(program, 148, Wave148().data(), Wave148().size());
  kvp::RegisterSoundResource(program, 149, Wave149().data(), Wave149().size());
}

int CSound::Play(int index, BOOL loop, BOOL async, BOOL allowDefault) {
  if (index < 0 || index >= COUNT || m_nIds[index] == 0) return 0;
  DWORD flags = SND_RESOURCE;
  if (!allowDefault) flags |= SND_NODEFAULT;
  if (async) flags |= SND_ASYNC;
  if (loop && async) flags |= SND_LOOP;
  PlaySound(reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(m_nIds[index])), GetModuleHandle(nullptr), flags);
  return 1;
}

void CSound::Stop() { PlaySound(nullptr, 0, 0); }

CSound& GetSound() {
  static CSound sound;
  return sound;
}
